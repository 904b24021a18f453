// Voicing-style, relevant-voicing and range-preset requests: payloads and request-id echo.
#include "voicing/voicing_catalogue_requests.h"

#include <gtest/gtest.h>

#include "performance/rhythm_patterns_request.h"

namespace quillex {
namespace {

using nlohmann::json;

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

}  // namespace
}  // namespace quillex
