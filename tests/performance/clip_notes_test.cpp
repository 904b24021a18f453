// Clip note writers: compact numbers against an independent formatter, the compact text and its fingerprint.
#include "performance/clip_notes.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/file_testing.h"

namespace quillex {
namespace {

#ifdef QUILLEX_SANITIZED
constexpr int kClipNotesScale = 10;
#else
constexpr int kClipNotesScale = 1;
#endif

// std::llround of x × 10000 (range-checked first), then printf of the whole and the fraction.
std::string referenceCompact(double x) {
    const double scaled = x * 10000.0;
    long long n = 0;
    const double rounded = std::round(scaled);
    if (rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0) n = std::llround(scaled);
    if (n == 0) return "0";
    const unsigned long long magnitude = n < 0 ? 0ull - static_cast<unsigned long long>(n) : n;
    char text[64];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", n < 0 ? "-" : "", magnitude / 10000, magnitude % 10000);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

TEST(CompactNumber, WritesTheDocumentedExamples) {
    EXPECT_EQ(formatCompactNumber(1.5), "1.5");
    EXPECT_EQ(formatCompactNumber(0.25), "0.25");
    EXPECT_EQ(formatCompactNumber(-0.125), "-0.125");
    EXPECT_EQ(formatCompactNumber(2.00004), "2");
    EXPECT_EQ(formatCompactNumber(0.00005), "0.0001");
    EXPECT_EQ(formatCompactNumber(-0.00005), "-0.0001");
    EXPECT_EQ(formatCompactNumber(0.00004), "0");
    EXPECT_EQ(formatCompactNumber(-0.00004), "0");
    EXPECT_EQ(formatCompactNumber(3), "3");
    EXPECT_EQ(formatCompactNumber(1.0001), "1.0001");
    EXPECT_EQ(formatCompactNumber(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(formatCompactNumber(std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(formatCompactNumber(1e300), "0");
}

TEST(CompactNumber, EqualsAnIndependentFormatterOnRandomValues) {
    std::mt19937_64 rng(0xc0ffeeu);
    std::uniform_real_distribution<double> exponent(-8.0, 16.0);
    const double specials[] = {0.5e-4,
                               -0.5e-4,
                               1.5e-4,
                               2.5e-4,
                               -0.0,
                               9.22e14,
                               -9.22e14,
                               9.3e14,
                               -9.3e14,
                               4.5e-5,
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::infinity()};
    for (int i = 0; i < 1000000 / kClipNotesScale; ++i) {
        double x;
        switch (i % 4) {
            case 0:  // halves of the last place
                x = (static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) + 0.5) / 10000.0;
                break;
            case 1:
                x = std::pow(10.0, exponent(rng)) * (rng() % 2 ? 1 : -1);
                break;
            case 2:
                x = specials[rng() % std::size(specials)];
                break;
            default:
                x = std::bit_cast<double>(rng());
        }
        ASSERT_EQ(formatCompactNumber(x), referenceCompact(x)) << std::hexfloat << x;
    }
}

TEST(CompactNotes, TextAndFingerprint) {
    EXPECT_EQ(writeNotesCompactText({}), "[]");
    const std::vector<PhraseNote> one = {{60, 0.0, 1.0, 100, 0.0}};
    EXPECT_EQ(writeNotesCompactText(one), R"([{"pitch":60,"start_time":0,"duration":1,"velocity":100}])");
    const std::vector<PhraseNote> two = {{60, 1.00001, 0.5, 90, 0.0}, {-3, -0.25, 2.5, -1, 0.0}};
    EXPECT_EQ(writeNotesCompactText(two), R"([{"pitch":60,"start_time":1,"duration":0.5,"velocity":90},)"
                                          R"({"pitch":-3,"start_time":-0.25,"duration":2.5,"velocity":-1}])");
    std::vector<PhraseNote> near = two;
    near[0].start = 1.00004;
    EXPECT_EQ(computeNotesFingerprint(near), computeNotesFingerprint(two));
    near[0].start = 1.00005;
    EXPECT_NE(computeNotesFingerprint(near), computeNotesFingerprint(two));
    EXPECT_EQ(computeNotesFingerprint({}), "4f53cda18c2baa0c0354bb5f9a3ecbe5ed12ab4d8e11ba873c2f11161202b945");
}

// The digest tool on disk, where the system has one.
TEST(CompactNotes, FingerprintEqualsTheSystemDigestTool) {
    if (std::system("command -v sha256sum > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sha256sum";
    testing::TempFolder dir;
    std::vector<PhraseNote> notes;
    for (int i = 0; i < 50; ++i) notes.push_back({40 + i, i * 0.33333, 0.123456 * i, 1 + i * 2, 0.0});
    const std::string path = dir / "notes.txt";
    testing::putFile(path, writeNotesCompactText(notes));
    FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char digest[65] = {};
    ASSERT_EQ(std::fread(digest, 1, 64, pipe), 64u);
    pclose(pipe);
    EXPECT_EQ(computeNotesFingerprint(notes), std::string(digest));
}

TEST(ClipPayload, NotesFlatAndPayloadShapes) {
    const std::vector<PhraseNote> notes = {{60, 0.5, 1.25, 90, 0.0}};
    EXPECT_EQ(writeNotesFlat(notes), nlohmann::json::parse("[[60, 0.5, 1.25, 90]]"));
    EXPECT_EQ(buildClipPayload(notes, 8.0, "QX [C]"),
              nlohmann::json::parse(R"({"notes": [{"pitch": 60, "start_time": 0.5, "duration": 1.25, "velocity": 90}],
                                        "length": 8.0, "metadata": {"clipLabel": "QX [C]"}})"));
    EXPECT_EQ(writeClipNotesJson({}), nlohmann::json::array());
}

}  // namespace
}  // namespace quillex
