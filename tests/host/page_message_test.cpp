// Page-message envelope, wire text, chunk frames and the outlet roads of the host object.
#include "host/page_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "host_harness.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

TEST(PageMessage, OkFollowsTypeSuccessAndErrorRules) {
    struct Case {
        const char* type;
        json payload;
        bool ok;
    };
    const std::vector<Case> cases{
        {"error", json::object(), false},
        {"parse_error", json::object(), false},
        {"_error", json::object(), true},
        {"x_error", json::object(), false},
        {"document_revision", {{"success", false}}, false},
        {"document_revision", {{"success", "false"}}, true},
        {"document_revision", {{"success", true}}, true},
        {"document_revision", {{"error", nullptr}}, false},
        {"version", json::array({1}), true},
    };
    for (const Case& c : cases) EXPECT_EQ(buildPageMessage(c.type, c.payload)["ok"], c.ok) << c.type << c.payload;
}

TEST(PageMessage, RequestIdMovesOnlyWhenAString) {
    const json moved = buildPageMessage("t", {{"request_id", "r"}, {"a", 1}});
    EXPECT_EQ(moved, (json{{"type", "t"}, {"ok", true}, {"request_id", "r"}, {"payload", {{"a", 1}}}}));
    const json kept = buildPageMessage("t", {{"request_id", 7}});
    EXPECT_FALSE(kept.contains("request_id"));
    EXPECT_EQ(kept["payload"], (json{{"request_id", 7}}));
}

TEST(PageMessage, ErrorIsCopiedAndNonObjectsAreWrapped) {
    const json error = {{"code", "c"}, {"message", "m"}};
    const json message = buildPageMessage("t", {{"error", error}});
    EXPECT_EQ(message["error"], error);
    EXPECT_EQ(message["payload"]["error"], error);
    EXPECT_EQ(buildPageMessage("t", json::array({1, 2}))["payload"], (json{{"value", {1, 2}}}));
}

TEST(PageMessage, WireTextIsSortedCompactAsciiAndRepaired) {
    const json message = buildPageMessage("t", {{"s", "\xC3\xA9\xF0\x9F\x98\x80"}});
    EXPECT_EQ(writeWireText(message), R"({"ok":true,"payload":{"s":"\u00e9\ud83d\ude00"},"type":"t"})");
    EXPECT_EQ(writeWireText(json{{"s", "\xFF"}}), R"({"s":"\ufffd"})");
}

// The wire writer against the library's own strict ASCII dump, over random values.
TEST(PageMessage, WireTextIsTheLibrarysAsciiDumpForRandomValues) {
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto randomText = [&] {
        std::string text;
        for (int i = pick(12); i > 0; --i) {
            const int kind = pick(5);
            std::uint32_t point = kind == 0   ? static_cast<std::uint32_t>(pick(0x80))
                                  : kind == 1 ? 0x80 + static_cast<std::uint32_t>(pick(0x780))
                                  : kind == 2 ? 0x800 + static_cast<std::uint32_t>(pick(0xF800))
                                  : kind == 3 ? 0x10000 + static_cast<std::uint32_t>(pick(0x100000))
                                              : static_cast<std::uint32_t>(32 + pick(95));
            if (point >= 0xD800 && point <= 0xDFFF) point = 0xE000;
            if (point < 0x80) {
                text += static_cast<char>(point);
            } else if (point < 0x800) {
                text += static_cast<char>(0xC0 | (point >> 6));
                text += static_cast<char>(0x80 | (point & 0x3F));
            } else if (point < 0x10000) {
                text += static_cast<char>(0xE0 | (point >> 12));
                text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (point & 0x3F));
            } else {
                text += static_cast<char>(0xF0 | (point >> 18));
                text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
                text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
                text += static_cast<char>(0x80 | (point & 0x3F));
            }
        }
        return text;
    };
    std::function<json(int)> randomValue = [&](int depth) -> json {
        switch (pick(depth > 3 ? 6 : 8)) {
            case 0:
                return randomText();
            case 1:
                return static_cast<std::int64_t>(random()) - (1LL << 31);
            case 2:
                return static_cast<std::uint64_t>(random()) << 32 | random();
            case 3:
                return std::ldexp(static_cast<double>(random()), pick(200) - 100) * (pick(2) ? 1 : -1);
            case 4:
                return pick(2) == 0;
            case 5:
                return nullptr;
            case 6: {
                json array = json::array();
                for (int i = pick(4); i > 0; --i) array.push_back(randomValue(depth + 1));
                return array;
            }
            default: {
                json object = json::object();
                for (int i = pick(4); i > 0; --i) object[randomText()] = randomValue(depth + 1);
                return object;
            }
        }
    };
    for (int round = 0; round < 2000; ++round) {
        const json value = randomValue(0);
        ASSERT_EQ(writeWireText(value), value.dump(-1, ' ', true, json::error_handler_t::strict)) << round;
    }
    // Each byte outside a well-formed UTF-8 sequence is written as U+FFFD, in values and keys.
    const std::string r = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> repairs{
        {"plain", "plain"},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80"},
        {"\xFF", r},
        {"a\xC3", "a" + r},                   // cut short
        {"\xC0\xAF", r + r},                  // overlong
        {"\xED\xA0\x80", r + r + r},          // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xE2\x82", r + r},
        {"\xE2\x99x", r + r + "x"},
    };
    for (const auto& [bad, repaired] : repairs) {
        EXPECT_EQ(writeWireText(json{{"k", bad}}), (json{{"k", repaired}}).dump(-1, ' ', true)) << bad;
        EXPECT_EQ(writeWireText(json{{bad, 1}}), (json{{repaired, 1}}).dump(-1, ' ', true)) << bad;
    }
}

TEST(ChunkFrames, PiecesJoinBackByteForByte) {
    std::string text;
    for (int i = 0; i < 9001; ++i) text += static_cast<char>('a' + i % 26);
    const auto frames = buildChunkFrames("big", text, "qx_chunk_9", 4000);
    ASSERT_EQ(frames.size(), 3u);
    std::string joined;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const json frame = json::parse(frames[i]);
        EXPECT_EQ(frame["index"], i);
        EXPECT_EQ(frame["total"], 3);
        EXPECT_EQ(frame["id"], "qx_chunk_9");
        EXPECT_EQ(frame["type"], "big");
        joined += frame["chunk"].get<std::string>();
    }
    EXPECT_EQ(joined, text);
}

TEST(ChunkFrames, FrameTextsAreTheLibrarysOwn) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += static_cast<char>(i % 128);  // quotes, backslashes, controls
    const auto frames = buildChunkFrames("t\"q", text, "id\\1", 700);
    ASSERT_EQ(frames.size(), 5u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const json frame = {
            {"chunk", text.substr(i * 700, 700)}, {"id", "id\\1"}, {"index", i}, {"total", 5}, {"type", "t\"q"}};
        EXPECT_EQ(frames[i], writeWireText(frame)) << i;
    }
    // Text beyond ASCII goes through the wire writer, bad bytes repaired.
    EXPECT_EQ(buildChunkFrames("t", "\xFF", "id", 700),
              std::vector<std::string>{R"({"chunk":"\ufffd","id":"id","index":0,"total":1,"type":"t"})"});
}

// A "version" reply whose text is exactly `length` characters, through the request_id.
std::string versionRequestOfLength(std::size_t length) {
    const std::size_t base =
        writeWireText(buildPageMessage("version", {{"version", "1.3.1"}, {"request_id", ""}})).size();
    return "get_version {\"request_id\":\"" + std::string(length - base, 'r') + "\"}";
}

TEST(OutletRoads, PageTextsOfTwelveThousandGoWholeAndOneMoreIsCut) {
    HostHarness host;
    const auto whole = host.run(versionRequestOfLength(12000));
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(splitOutletLine(whole[0]).text.size(), 12000u);

    const auto cut = host.run(versionRequestOfLength(12001));
    ASSERT_EQ(cut.size(), 2u);
    std::string joined;
    std::string id;
    for (std::size_t i = 0; i < cut.size(); ++i) {
        const auto line = splitOutletLine(cut[i]);
        EXPECT_EQ(line.selector, "toJweb");
        EXPECT_EQ(line.type, "__qx_chunk");
        const json frame = line.json();
        EXPECT_EQ(frame["index"], i);
        EXPECT_EQ(frame["total"], 2);
        EXPECT_EQ(frame["type"], "version");
        id = frame["id"];
        joined += frame["chunk"].get<std::string>();
    }
    EXPECT_EQ(joined.size(), 12001u);
    EXPECT_EQ(json::parse(joined)["type"], "version");
    EXPECT_TRUE(id.starts_with("qx_chunk_"));

    // The counter is process-wide and counts only cut messages.
    const std::uint64_t before = std::stoull(id.substr(9));
    host.run(versionRequestOfLength(100));
    const auto next = host.run(versionRequestOfLength(30000));
    ASSERT_EQ(next.size(), 3u);
    EXPECT_EQ(splitOutletLine(next[0]).json()["id"], "qx_chunk_" + std::to_string(before + 1));
}

TEST(OutletRoads, BridgeTextsAreCutInFourThousands) {
    HostHarness host;
    // A bare value whose compact text is exactly 12000 or 12001 characters: "\"" + n x 'b' + "\"".
    testing::withObject(host, [](quillex_ext& ext) {
        ext.emitToBridge("b", json(std::string(11998, 'b')));
        ext.emitToBridge("b", json(std::string(11999, 'b')));
    });
    const auto out = host.take();
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(splitOutletLine(out[0]).selector, "toBridge");
    EXPECT_EQ(splitOutletLine(out[0]).text.size(), 12000u);
    std::string joined;
    const std::vector<std::size_t> sizes{4000, 4000, 4000, 1};
    for (std::size_t i = 1; i < out.size(); ++i) {
        const auto line = splitOutletLine(out[i]);
        EXPECT_EQ(line.type, "__qx_native_to_bridge_chunk");
        const json frame = line.json();
        EXPECT_TRUE(frame["id"].get<std::string>().starts_with("qx_native_bridge_"));
        EXPECT_EQ(frame["chunk"].get<std::string>().size(), sizes[i - 1]);
        joined += frame["chunk"].get<std::string>();
    }
    EXPECT_EQ(joined, "\"" + std::string(11999, 'b') + "\"");
}

}  // namespace
}  // namespace quillex
