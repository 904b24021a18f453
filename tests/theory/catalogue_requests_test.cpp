// Chord parsing and catalogue requests: payloads, error replies and request-id echo.
#include "theory/catalogue_requests.h"

#include <gtest/gtest.h>

#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::pageOk;

json parse(const char* text) { return handleParseChord(json{{"chord", text}}).payload; }

TEST(ParseChordRequest, NamesRootAndBassFromOneTable) {
    EXPECT_EQ(parse("Bb7"), (json{{"root", "Bb"}, {"quality", "7"}, {"symbol", "Bb7"}, {"category", "dominant"}}));
    EXPECT_EQ(parse("A#m")["root"], "A#");
    EXPECT_EQ(parse("A#m")["category"], "minor");
    EXPECT_EQ(parse("Cb")["root"], "B");
    const json gm7b5 = parse("Gm7b5");
    EXPECT_EQ(gm7b5["root"], "G");
    EXPECT_EQ(gm7b5["quality"], "m7b5");
    EXPECT_EQ(gm7b5["category"], "half-diminished");
    EXPECT_EQ(parse("Ebm7b5")["root"], "Eb");
    EXPECT_EQ(parse("C#m7b5")["root"], "C#");
    // Without an accidental on the root, a flat five without a perfect fifth picks flats.
    EXPECT_EQ(handleParseChord(json{{"chord", "Gbm7b5"}}).payload["root"], "Gb");
    EXPECT_EQ(parse("C/Gb")["bass"], "F#");
    EXPECT_EQ(parse("Db/F")["root"], "Db");
    EXPECT_EQ(parse("Db/F")["bass"], "F");
    const json blank = parse(" Bb7");
    EXPECT_EQ(blank["symbol"], "Bb7");
    EXPECT_EQ(blank["root"], "A#");
    EXPECT_FALSE(parse("C").contains("bass"));
}

TEST(ParseChordRequest, ErrorReplies) {
    const auto expectError = [](const json& request, const char* message) {
        const BridgeReply reply = handleParseChord(request);
        EXPECT_EQ(reply.type, "parse_error");
        EXPECT_EQ(reply.payload, (json{{"message", message}}));
        EXPECT_FALSE(pageOk(reply.type, reply.payload));
    };
    expectError(json{{"chord", ""}}, "Invalid chord");
    expectError(json{{"chord", "C/"}}, "Invalid chord");
    expectError(json{{"chord", "   "}}, "Invalid chord");
    expectError(json::object(), "Missing chord");
    expectError(json::array({"C"}), "Missing chord");
    expectError(json("C"), "Missing chord");
    // parse_chord never echoes a request id.
    EXPECT_FALSE(handleParseChord(json{{"chord", "C"}, {"request_id", "r1"}}).payload.contains("request_id"));
    EXPECT_TRUE(pageOk("parse_result", parse("C")));
}

TEST(ParseChordRequest, WrongChordTypeRaisesTheLibraryError) {
    const std::string expected = testing::libraryTypeErrorText<std::string>(json(5));
    try {
        handleParseChord(json{{"chord", 5}});
        FAIL();
    } catch (const json::type_error& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }
    EXPECT_THROW(handleGetRelevantVoicings(json{{"chord", nullptr}}), json::type_error);
}

std::vector<std::string> relevant(const json& request) {
    return handleGetRelevantVoicings(request).payload.at("styles").get<std::vector<std::string>>();
}

TEST(RelevantVoicingsRequest, FollowsChordThenIntervals) {
    using V = std::vector<std::string>;
    const V full{"closed", "anthem", "split", "guide-color", "tessaro"};
    const V none{"closed", "tessaro"};
    EXPECT_EQ(relevant(json{{"chord", "C"}}), full);
    EXPECT_EQ(relevant(json{{"chord", "C5"}}), (V{"closed", "anthem", "guide-color", "tessaro"}));
    EXPECT_EQ(relevant(json{{"chord", "xyz"}, {"intervals", {0, 4, 7}}}), none);
    EXPECT_EQ(relevant(json::object()), none);
    EXPECT_EQ(relevant(json{{"intervals", "0 4 7"}}), none);
    EXPECT_EQ(relevant(json::array()), none);
    EXPECT_EQ(relevant(json{{"intervals", {0, 4}}}), (V{"closed", "anthem", "guide-color", "tessaro"}));
    EXPECT_EQ(relevant(json{{"intervals", {0, 4.9, true}}}), full);
    EXPECT_EQ(relevant(json{{"chord", "C"}, {"intervals", {0}}}), full);
    EXPECT_THROW(relevant(json{{"intervals", {0, "4"}}}), json::type_error);
}

TEST(CatalogueRequests, ListFixedCataloguesAndEchoRequestIds) {
    const BridgeReply styles = handleGetVoicingStyles(json{{"request_id", "r7"}});
    EXPECT_EQ(styles.type, "voicing_styles");
    ASSERT_EQ(styles.payload["styles"].size(), 5u);
    EXPECT_EQ(styles.payload["styles"][0],
              (json{{"id", "closed"}, {"name", "Closed"}, {"description", "Tight voicing within one octave"}}));
    EXPECT_EQ(styles.payload["styles"][4]["name"], "Open");
    std::vector<std::string> ids;
    for (const json& s : styles.payload["styles"]) ids.push_back(s["id"]);
    EXPECT_EQ(ids, (std::vector<std::string>{"closed", "anthem", "split", "guide-color", "tessaro"}));
    EXPECT_EQ(styles.payload["request_id"], "r7");

    for (const json& request : {json{{"request_id", ""}}, json{{"request_id", 12}}, json::array(), json(nullptr)}) {
        EXPECT_FALSE(handleGetVoicingStyles(request).payload.contains("request_id"));
        EXPECT_FALSE(handleGetRangePresets(request).payload.contains("request_id"));
        EXPECT_FALSE(handleGetRhythmPatterns(request).payload.contains("request_id"));
    }

    const json presets = handleGetRangePresets(json::object()).payload["presets"];
    EXPECT_EQ(presets.size(), 4u);
    EXPECT_EQ(presets["compact"], (json{{"name", "Compact (1 oct)"}, {"min", 46}, {"max", 70}, {"center", 58}}));
    EXPECT_EQ(presets["wide"]["center"], 59);
    EXPECT_EQ(presets["auto"], (json{{"name", "Auto"}, {"min", 36}, {"max", 84}, {"center", 60}}));
}

TEST(SupportedQualitiesRequest, ListsEveryQualityInByteOrder) {
    const BridgeReply reply = handleGetSupportedQualities(json{{"request_id", "q"}});
    EXPECT_EQ(reply.type, "supported_qualities");
    const json& qualities = reply.payload["qualities"];
    ASSERT_EQ(qualities.size(), 382u);
    EXPECT_EQ(qualities[0]["symbol"], "11");
    EXPECT_EQ(qualities[1]["symbol"], "11#11");
    EXPECT_EQ(qualities[2]["symbol"], "11#5");
    EXPECT_EQ(qualities[379]["symbol"], "sus4#5");
    EXPECT_EQ(qualities[381]["symbol"], "sus4b9");
    for (std::size_t i = 1; i < qualities.size(); ++i) {
        EXPECT_LT(qualities[i - 1]["symbol"].get<std::string>(), qualities[i]["symbol"].get<std::string>());
    }
    EXPECT_EQ(handleGetSupportedQualities(json::object()).payload["qualities"], qualities);
    EXPECT_EQ(reply.payload["request_id"], "q");
}

TEST(RhythmPatternsRequest, WritesTheCatalogueKeyedById) {
    const BridgeReply reply = handleGetRhythmPatterns(json{{"request_id", "p"}});
    EXPECT_EQ(reply.type, "rhythm_patterns");
    EXPECT_EQ(reply.payload["request_id"], "p");
    const json& patterns = reply.payload["patterns"];
    ASSERT_EQ(patterns.size(), 40u);
    const json& whole = patterns["whole"];
    EXPECT_EQ(whole["order"], 0);
    EXPECT_EQ(whole["name"], "Whole Notes");
    EXPECT_EQ(whole["category"], "Basic");
    EXPECT_EQ(whole["lengthSteps"], 16);
    EXPECT_FALSE(whole.contains("id"));
    ASSERT_EQ(whole["pattern"].size(), 3u);
    const char* parts[] = {"bass", "middle", "top"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(whole["pattern"][i], (json{{"offset", 0}, {"duration", 16}, {"part", parts[i]}, {"velocity", 100}}));
    }
    EXPECT_EQ(patterns["split-reggae"]["order"], 39);
    const std::string text = reply.payload.dump();
    EXPECT_LT(text.find("\"bossa\""), text.find("\"whole\""));

    std::size_t events = 0;
    std::vector<bool> seenOrder(40, false);
    for (const auto& [id, entry] : patterns.items()) {
        events += entry["pattern"].size();
        seenOrder.at(entry["order"].get<std::size_t>()) = true;
    }
    EXPECT_EQ(events, 531u);
    EXPECT_EQ(std::count(seenOrder.begin(), seenOrder.end(), true), 40);
}

}  // namespace
}  // namespace quillex
