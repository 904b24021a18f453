// Tests of the plan templates, their scores and template matching.
#include "voicing/voicing_template.h"

#include <gtest/gtest.h>

#include "chord_samples.h"

namespace quillex {
namespace {

using Offsets = std::vector<std::int32_t>;

using testing::tonesOf;

const VoicingPlanTemplate& only(VoicingStyle style) {
    const auto& list = planTemplatesForStyle(style);
    EXPECT_EQ(list.size(), 1u);
    return list.front();
}

struct Tone {
    RegisterLayer layer;
    std::int32_t offset;
    bool operator==(const Tone&) const = default;
};

std::vector<Tone> layout(const VoicingPlan& plan) {
    std::vector<Tone> out;
    for (const auto& t : plan.tones) out.push_back({t.layer, t.offset});
    return out;
}

TEST(PlanTemplates, OneTemplatePerPlanStyle) {
    EXPECT_TRUE(planTemplatesForStyle(VoicingStyle::Closed).empty());
    EXPECT_TRUE(planTemplatesForStyle(VoicingStyle::Shell).empty());
    EXPECT_EQ(only(VoicingStyle::Anthem).name, "anthem");
    EXPECT_EQ(only(VoicingStyle::Split).extraLayers.size(), 1u);
    EXPECT_EQ(only(VoicingStyle::GuideColor).name, "guide-color");
    EXPECT_TRUE(only(VoicingStyle::Tessaro).extraLayers.empty());
}

TEST(TemplateScores, FollowGroupLayerAndSlotRules) {
    const auto& split = only(VoicingStyle::Split);
    const TemplateCandidate root{0, 0, 0, true};
    const TemplateCandidate third{4, 3, 1, true};
    const TemplateCandidate fifth{7, 6, 3, false};
    EXPECT_EQ(scoreTemplateCandidate(split, split.mainLayers[0], 0, false, root), 580.0);
    EXPECT_EQ(scoreTemplateCandidate(split, split.mainLayers[2], 2, false, third), 259.0);
    EXPECT_EQ(scoreTemplateCandidate(split, split.mainLayers[1], 1, false, fifth), 164.5);
    EXPECT_EQ(scoreTemplateCandidate(split, split.extraLayers[0], 5, true, fifth), -37.5 + 25 + 59);
    const auto& gc = only(VoicingStyle::GuideColor);
    const TemplateCandidate thirteenth{21, 17, 4, true};
    const TemplateCandidate ninth{14, 12, 4, true};
    EXPECT_EQ(scoreTemplateCandidate(gc, gc.mainLayers[4], 4, false, thirteenth), 249.0);
    EXPECT_EQ(scoreTemplateCandidate(gc, gc.mainLayers[3], 3, false, ninth), 183.5);
    const auto& anthem = only(VoicingStyle::Anthem);
    const TemplateCandidate octaveRoot{12, 0, 0, false};
    EXPECT_EQ(scoreTemplateCandidate(anthem, anthem.mainLayers[5], 5, false, octaveRoot), 67.5);
    const TemplateCandidate lowRoot{0, 0, 0, true};
    EXPECT_EQ(scoreTemplateCandidate(anthem, anthem.mainLayers[5], 5, false, lowRoot), -2.5 - 250 + 50);
}

TEST(TemplateMatching, SplitMajorTriadFillsFifthIntoLowLayer) {
    auto plan = evaluatePlanTemplate(only(VoicingStyle::Split), tonesOf({0, 4, 7}), VoicingStyle::Split);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->name, "split");
    EXPECT_EQ(layout(*plan),
              (std::vector<Tone>{{RegisterLayer::Root, -12}, {RegisterLayer::Low, -5}, {RegisterLayer::Third, 4}}));
    EXPECT_TRUE(plan->tones[0].essential);
    EXPECT_FALSE(plan->tones[1].required);
    EXPECT_FALSE(plan->tones[2].essential);
}

TEST(TemplateMatching, AnthemTriadStopsWhenNoLayerTakesTheRaisedThird) {
    auto plan = evaluatePlanTemplate(only(VoicingStyle::Anthem), tonesOf({0, 4, 7}), VoicingStyle::Anthem);
    ASSERT_TRUE(plan);
    EXPECT_EQ(layout(*plan), (std::vector<Tone>{{RegisterLayer::Root, -12},
                                                {RegisterLayer::Third, 4},
                                                {RegisterLayer::Fifth, 7},
                                                {RegisterLayer::Top, 12}}));
    EXPECT_EQ(plan->tones[3].slot, 0u);
    EXPECT_EQ(normalizeVoicingPlan(*plan), (Offsets{-12, 4, 7, 12}));
}

TEST(TemplateMatching, GuideColorPutsThirteenthOnTop) {
    auto plan =
        evaluatePlanTemplate(only(VoicingStyle::GuideColor), tonesOf({0, 4, 7, 10, 14, 21}), VoicingStyle::GuideColor);
    ASSERT_TRUE(plan);
    EXPECT_EQ(layout(*plan), (std::vector<Tone>{{RegisterLayer::Root, 0},
                                                {RegisterLayer::Third, 4},
                                                {RegisterLayer::Seventh, 10},
                                                {RegisterLayer::Color, 14},
                                                {RegisterLayer::Top, 21}}));
}

TEST(TemplateMatching, TieBetweenLayersKeepsTheLowerIndex) {
    // The ninth scores 135.5 in the low layer (index 1) and in the extra colour
    // layer (index 5): the low layer is tried first and the equal total kept.
    auto plan = evaluatePlanTemplate(only(VoicingStyle::Split), tonesOf({0, 4, 7, 10, 14, 21}), VoicingStyle::Split);
    ASSERT_TRUE(plan);
    EXPECT_EQ(layout(*plan), (std::vector<Tone>{{RegisterLayer::Root, -12},
                                                {RegisterLayer::Low, 2},
                                                {RegisterLayer::Third, 4},
                                                {RegisterLayer::Seventh, 10},
                                                {RegisterLayer::Top, 21}}));
    EXPECT_EQ(normalizeVoicingPlan(*plan), (Offsets{-12, 2, 4, 10, 21}));
}

TEST(TemplateMatching, DeclinesWithTooManyRequiredTonesOrNoAssignment) {
    // Seven distinct tones besides the fifth for six layers.
    EXPECT_FALSE(
        evaluatePlanTemplate(only(VoicingStyle::Split), tonesOf({0, 2, 4, 6, 10, 13, 17}), VoicingStyle::Split));
    // Sixth and seventh both need the one seventh layer.
    EXPECT_FALSE(evaluatePlanTemplate(only(VoicingStyle::Split), tonesOf({0, 4, 9, 10}), VoicingStyle::Split));
}

TEST(TemplateMatching, SusToneTakesTheThirdLayer) {
    auto plan = evaluatePlanTemplate(only(VoicingStyle::Tessaro), tonesOf({0, 5, 7}), VoicingStyle::Tessaro);
    ASSERT_TRUE(plan);
    bool found = false;
    for (const auto& t : plan->tones) {
        if (t.layer == RegisterLayer::Third) {
            EXPECT_EQ(t.offset, 5);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace quillex
