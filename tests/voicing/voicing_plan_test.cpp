// Tests of degree slots, plan tone ordering and plan normalisation.
#include "voicing/voicing_plan.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

using Offsets = std::vector<std::int32_t>;

PlacedTone at(RegisterLayer layer, std::int32_t offset, DegreeSlot slot = 0) {
    return PlacedTone{layer, slot, offset, false, false, {}};
}

VoicingPlan planOf(VoicingStyle style, std::vector<PlacedTone> tones) {
    VoicingPlan plan;
    plan.style = style;
    plan.tones = std::move(tones);
    return plan;
}

TEST(DegreeSlots, OtherIntervalsFallBackOnTruncatedRemainder) {
    EXPECT_EQ(intervalToneSlot(26), 12u);
    EXPECT_EQ(intervalToneSlot(29), 14u);
    EXPECT_EQ(intervalToneSlot(33), 17u);
    for (std::int32_t i : {1, 12, 16, 19, 24, -1, -10}) EXPECT_EQ(intervalToneSlot(i), 6u) << i;
}

TEST(RegisterWindow, FoldsByWholeOctaves) {
    EXPECT_EQ(foldIntoRegisterWindow(50), 26);
    EXPECT_EQ(foldIntoRegisterWindow(36), 36);
    EXPECT_EQ(foldIntoRegisterWindow(37), 25);
    EXPECT_EQ(foldIntoRegisterWindow(-12), -12);
    EXPECT_EQ(foldIntoRegisterWindow(-13), -1);
    EXPECT_EQ(foldIntoRegisterWindow(-100), -4);
}

TEST(PlanTones, SortByOffsetThenLayer) {
    std::vector<PlacedTone> tones{at(RegisterLayer::Top, 4), at(RegisterLayer::Root, 0), at(RegisterLayer::Third, 4)};
    sortPlanTones(tones);
    EXPECT_EQ(tones[0].layer, RegisterLayer::Root);
    EXPECT_EQ(tones[1].layer, RegisterLayer::Third);
    EXPECT_EQ(tones[2].layer, RegisterLayer::Top);
}

TEST(PlanNormalisation, LiftsMiddleAboveLowAndTopAboveMiddle) {
    auto plan = planOf(VoicingStyle::Split,
                       {at(RegisterLayer::Root, -12), at(RegisterLayer::Low, 7), at(RegisterLayer::Third, 4),
                        at(RegisterLayer::Seventh, 7), at(RegisterLayer::Top, 2)});
    // Third 4 <= 7 goes to 16, seventh 7 to 19, top 2 above 19 to 26.
    EXPECT_EQ(normalizeVoicingPlan(plan), (Offsets{-12, 7, 16, 19, 26}));
}

TEST(PlanNormalisation, WithoutLowGroupNothingInTheMiddleMoves) {
    auto plan = planOf(VoicingStyle::GuideColor, {at(RegisterLayer::Third, -20), at(RegisterLayer::Color, 2)});
    EXPECT_EQ(normalizeVoicingPlan(plan), (Offsets{-20, 2}));
    EXPECT_TRUE(normalizeVoicingPlan(VoicingPlan{}).empty());
}

TEST(PlanNormalisation, TessaroBringsHighTopTensionsDownOnce) {
    auto tones = std::vector<PlacedTone>{at(RegisterLayer::Root, 0), at(RegisterLayer::Top, 26, 12),
                                         at(RegisterLayer::Top, 21, 8)};
    EXPECT_EQ(normalizeVoicingPlan(planOf(VoicingStyle::Tessaro, tones)), (Offsets{0, 14, 21}));
    EXPECT_EQ(normalizeVoicingPlan(planOf(VoicingStyle::GuideColor, tones)), (Offsets{0, 21, 26}));
}

TEST(PlanNormalisation, EqualOffsetsAppearOnce) {
    auto plan = planOf(VoicingStyle::Anthem,
                       {at(RegisterLayer::Root, 0), at(RegisterLayer::Third, 12), at(RegisterLayer::Color, 12)});
    EXPECT_EQ(normalizeVoicingPlan(plan), (Offsets{0, 12}));
}

}  // namespace
}  // namespace quillex
