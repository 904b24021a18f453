// Chord parsing and supported-qualities requests: payloads, error replies and request-id echo.
#include "theory/catalogue_requests.h"

#include <gtest/gtest.h>

#include "support/page_reply.h"
#include "voicing/voicing_catalogue_requests.h"

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

}  // namespace
}  // namespace quillex
