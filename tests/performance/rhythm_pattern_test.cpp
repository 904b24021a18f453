// The built-in rhythm-pattern catalogue: counts, order, lookups and event invariants.
#include "performance/rhythm_pattern.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

namespace quillex {
namespace {

TEST(RhythmPatternCatalogue, HoldsFortyPatternsInCatalogueOrder) {
    const auto& patterns = builtInRhythmPatterns();
    ASSERT_EQ(patterns.size(), 40u);
    EXPECT_EQ(patterns.front().id, "whole");
    EXPECT_EQ(patterns.back().id, "split-reggae");

    std::vector<std::pair<std::string, int>> runs;
    for (const auto& p : patterns) {
        if (runs.empty() || runs.back().first != p.category) runs.push_back({p.category, 0});
        ++runs.back().second;
    }
    const std::vector<std::pair<std::string, int>> expected{
        {"Basic", 7}, {"Groove", 8}, {"Electronic", 10}, {"Hip Hop & Latin", 5}, {"Split Voice", 10}};
    EXPECT_EQ(runs, expected);

    std::set<std::string> ids;
    for (const auto& p : patterns) ids.insert(p.id);
    EXPECT_EQ(ids.size(), 40u);
    EXPECT_EQ(findBuiltInRhythmPattern("funk-2")->name, "Funk - Ferrolt");
}

TEST(RhythmPatternCatalogue, EventTotalsPerPart) {
    std::map<std::string, int> perPart;
    int total = 0;
    for (const auto& p : builtInRhythmPatterns()) {
        for (const auto& e : p.events) {
            ++perPart[e.part];
            ++total;
        }
    }
    EXPECT_EQ(total, 531);
    EXPECT_EQ(perPart["bass"], 176);
    EXPECT_EQ(perPart["middle"], 177);
    EXPECT_EQ(perPart["top"], 178);
    EXPECT_EQ(perPart.size(), 3u);
}

TEST(RhythmPatternCatalogue, EventsStayInsideTheCycleWithoutSamePartOverlap) {
    for (const auto& p : builtInRhythmPatterns()) {
        EXPECT_EQ(p.lengthSteps, 16) << p.id;
        std::map<std::string, std::vector<bool>> busy;
        for (const auto& e : p.events) {
            EXPECT_EQ(e.velocity, 100) << p.id;
            EXPECT_GE(e.duration, 1) << p.id;
            EXPECT_GE(e.offset, 0) << p.id;
            ASSERT_LE(e.offset + e.duration, 16) << p.id;
            auto& steps = busy.try_emplace(e.part, std::vector<bool>(16, false)).first->second;
            for (int s = e.offset; s < e.offset + e.duration; ++s) {
                EXPECT_FALSE(steps[s]) << p.id << " " << e.part << " step " << s;
                steps[s] = true;
            }
        }
    }
}

TEST(RhythmPatternCatalogue, LookupIsExactAndCaseSensitive) {
    const auto* quarter = findBuiltInRhythmPattern("quarter");
    ASSERT_NE(quarter, nullptr);
    ASSERT_EQ(quarter->events.size(), 12u);
    const char* parts[] = {"bass", "middle", "top"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(quarter->events[i], (RhythmEvent{4 * (i / 3), 4, parts[i % 3], 100}));
    }
    EXPECT_EQ(findBuiltInRhythmPattern("Quarter"), nullptr);
    EXPECT_EQ(findBuiltInRhythmPattern("quarter "), nullptr);
    EXPECT_EQ(findBuiltInRhythmPattern(""), nullptr);
    EXPECT_EQ(findBuiltInRhythmPattern("none"), nullptr);

    const auto* down = findBuiltInRhythmPattern("split-arp-down");
    ASSERT_NE(down, nullptr);
    const std::vector<RhythmEvent> expected{{0, 4, "top", 100}, {4, 4, "middle", 100}, {8, 8, "bass", 100}};
    EXPECT_EQ(down->events, expected);

    const auto* gospel = findBuiltInRhythmPattern("split-5");
    ASSERT_NE(gospel, nullptr);
    const std::vector<RhythmEvent> gospelEvents{{0, 6, "bass", 100}, {2, 4, "middle", 100}, {2, 4, "top", 100},
                                                {8, 4, "bass", 100}, {8, 4, "top", 100},    {12, 4, "middle", 100},
                                                {12, 4, "top", 100}};
    EXPECT_EQ(gospel->events, gospelEvents);
}

}  // namespace
}  // namespace quillex
