// The rhythm-pattern catalogue request: the built-in patterns keyed by id, in catalogue order.
#include "performance/rhythm_patterns_request.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillex {
namespace {

using nlohmann::json;

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
