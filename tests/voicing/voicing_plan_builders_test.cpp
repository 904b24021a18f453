// Tests of the anthem, guide-color and tessaro plan builders.
#include "voicing/voicing_plan_builders.h"

#include <gtest/gtest.h>

#include "chord_samples.h"

namespace quillex {
namespace {

using Offsets = std::vector<std::int32_t>;

using testing::tonesOf;

Offsets rawOffsets(const VoicingPlan& plan) {
    Offsets out;
    for (const auto& t : plan.tones) out.push_back(t.offset);
    return out;
}

TEST(AnthemBuilder, MajorTriadGivesTheFullPlanAlone) {
    auto plans = anthemPlans(tonesOf({0, 4, 7}));
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].name, "anthem-full");
    EXPECT_EQ(rawOffsets(plans[0]), (Offsets{-12, 0, 4, 7, 12, 16}));
    EXPECT_EQ(normalizeVoicingPlan(plans[0]), (Offsets{-12, 0, 4, 7, 12, 16}));
    auto dense = buildAnthemPlans(tonesOf({0, 4, 7}), true);
    ASSERT_TRUE(dense);
    EXPECT_EQ(normalizeVoicingPlan(*dense), normalizeVoicingPlan(plans[0]));
}

TEST(AnthemBuilder, MajorNinthStopsAtSixTones) {
    auto full = buildAnthemPlans(tonesOf({0, 4, 7, 11, 14}), false);
    ASSERT_TRUE(full);
    EXPECT_EQ(rawOffsets(*full), (Offsets{-12, 0, 4, 7, 11, 14}));
    EXPECT_EQ(full->tones.back().layer, RegisterLayer::Top);
}

TEST(AnthemBuilder, DominantThirteenthPutsDensePlanFirst) {
    auto plans = anthemPlans(tonesOf({0, 4, 7, 10, 14, 21}));
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].name, "anthem-dense");
    EXPECT_EQ(rawOffsets(plans[0]), (Offsets{-12, 4, 7, 10, 14, 21}));
    EXPECT_EQ(plans[1].name, "anthem-full");
    EXPECT_EQ(rawOffsets(plans[1]), (Offsets{-12, 0, 4, 10, 14, 21}));
    EXPECT_EQ(plans[0].tones.back().layer, RegisterLayer::Top);
    EXPECT_EQ(plans[0].tones[4].layer, RegisterLayer::Color);
}

TEST(AnthemBuilder, DeclinesWithoutThirdGroup) {
    EXPECT_TRUE(anthemPlans(tonesOf({0, 7})).empty());
    EXPECT_TRUE(anthemPlans(tonesOf({})).empty());
}

TEST(GuideColorBuilder, DominantSeventhDoublesTheThird) {
    auto plan = buildGuideColorSimplePlan(tonesOf({0, 4, 7, 10}));
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->name, "guide-color-simple");
    EXPECT_EQ(rawOffsets(*plan), (Offsets{0, 4, 10, 16}));
    EXPECT_EQ(plan->registerCentre, 59.0);
    EXPECT_TRUE(plan->colorVariant);
}

TEST(GuideColorBuilder, DeclinesOnTensionAlteredFifthOrMissingSeventh) {
    EXPECT_FALSE(buildGuideColorSimplePlan(tonesOf({0, 4, 7, 10, 14})));
    EXPECT_FALSE(buildGuideColorSimplePlan(tonesOf({0, 4, 6, 10})));
    EXPECT_FALSE(buildGuideColorSimplePlan(tonesOf({0, 4, 7})));
}

TEST(TessaroBuilder, DominantNinthSplitsHands) {
    auto plan = buildTessaroPlan(tonesOf({0, 4, 7, 10, 14}));
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->name, "tessaro");
    EXPECT_FALSE(plan->colorVariant);
    EXPECT_EQ(normalizeVoicingPlan(*plan), (Offsets{0, 7, 14, 16, 22}));
}

TEST(TessaroBuilder, LeavesOutTheFifthAtSixTones) {
    // 13#11 with ninth: others 18 and 21, ninth 14: count 3 + 2 + 1 = 6.
    auto plan = buildTessaroPlan(tonesOf({0, 4, 7, 10, 14, 18, 21}));
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->tones.size(), 6u);
    for (const auto& t : plan->tones) EXPECT_NE(t.offset, 7);
    EXPECT_EQ(normalizeVoicingPlan(*plan), (Offsets{0, 14, 16, 18, 21, 22}));
}

TEST(TessaroBuilder, DeclinesAboveSixTones) {
    // Altered fifth, ninth and three others: 3 + 1 + 1 + 3 = 8.
    EXPECT_FALSE(buildTessaroPlan(tonesOf({0, 4, 6, 10, 14, 17, 18, 21})));
    EXPECT_FALSE(buildTessaroPlan(tonesOf({0, 4, 7})));
}

TEST(TessaroBuilder, AlteredFifthIsARequiredLowTone) {
    auto plan = buildTessaroPlan(tonesOf({0, 4, 8, 10}));
    ASSERT_TRUE(plan);
    bool found = false;
    for (const auto& t : plan->tones) {
        if (t.offset == 8) {
            EXPECT_EQ(t.layer, RegisterLayer::Low);
            EXPECT_TRUE(t.required);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace quillex
