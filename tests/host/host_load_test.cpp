// Load through the host program: many mixed requests, ids echoed once and in order, memory flat.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host_harness.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kRequests = 10000;
#else
constexpr int kRequests = 100000;
#endif

// One request line per kind, each carrying the request id; every reply echoes it.
std::string requestLine(int n) {
    const std::string id = "\"request_id\":\"L" + std::to_string(n) + "\"";
    switch (n % 8) {
        case 0:
            return "get_version {" + id + "}";
        case 1:
            return "fromJweb\tready\t{" + id + "}";
        case 2:
            return "get_range_presets {" + id + "}";
        case 3:
            return "get_diatonic_chords {\"root\":\"" + std::string(n % 16 < 8 ? "A" : "Eb") +
                   "\",\"mode\":\"minor\"," + id + "}";
        case 4:
            return "apply_modifiers {\"chord\":\"C\",\"modifiers\":[\"seventh-flat7\"]," + id + "}";
        case 5:
            return "fromJweb no_such_type {" + id + "}";
        case 6:
            return "get_version {\"type\":\"ready\",\"payload\":{}," + id + "}";
        default:
            return "fromJweb\tget_version\t{\"type\":\"get_version\",\"payload\":{}," + id + "}";
    }
}

// Runs the host program over `count` requests; returns its output lines.
std::vector<std::string> runHost(int count, const std::filesystem::path& folder) {
    const auto input = folder / "in.txt";
    const auto output = folder / "out.txt";
    {
        std::ofstream in(input);
        for (int n = 0; n < count; ++n) in << requestLine(n) << '\n';
    }
    EXPECT_EQ(testing::runHostProgram({"--appdata", folder.string()}, input, output), 0);
    std::vector<std::string> lines;
    std::ifstream out(output);
    for (std::string line; std::getline(out, line);) lines.push_back(std::move(line));
    return lines;
}

TEST(HostLoad, MixedRequestsThroughTheHostProgram) {
    const std::filesystem::path folder = testing::scratchAppData();
    runHost(kRequests / 10, folder);
    const long smallPeak = testing::hostProgramPeakKilobytes();
    const auto lines = runHost(kRequests, folder);
    const long largePeak = testing::hostProgramPeakKilobytes();

    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kRequests));
    for (int n = 0; n < kRequests; ++n) {
        const std::string& line = lines[static_cast<std::size_t>(n)];
        const auto parts = testing::splitOutletLine(line);
        ASSERT_EQ(parts.selector, "toJweb") << line;
        ASSERT_LE(parts.text.size(), 12000u) << line;
        for (char c : parts.text) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << line;
        const json message = json::parse(parts.text);
        ASSERT_EQ(message["request_id"], "L" + std::to_string(n)) << line;
        ASSERT_FALSE(message["payload"].contains("request_id")) << line;
        const bool error = n % 8 == 5 || n % 8 == 6;
        ASSERT_EQ(message["ok"], !error) << line;
        ASSERT_EQ(parts.type, message["type"]) << line;
    }
#ifndef QUILLEX_SANITIZED
    // Ten times the requests may not take noticeably more memory. (Under the
    // sanitizers freed memory sits in quarantine; the leak check at the host
    // program's exit stands in for this.)
    EXPECT_LT(largePeak, smallPeak + 16 * 1024) << "peak KiB " << smallPeak << " then " << largePeak;
#else
    (void)smallPeak;
    (void)largePeak;
#endif
}

}  // namespace
}  // namespace quillex
