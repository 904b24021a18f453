// Tests of the descriptor catalogue, layer placement and descriptor plans.
#include "voicing/voicing_descriptor.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

using Offsets = std::vector<std::int32_t>;

std::vector<std::string> idsOf(VoicingStyle style) {
    std::vector<std::string> ids;
    for (const auto& d : voicingDescriptorCatalogue(style)) ids.push_back(d.id);
    return ids;
}

const VoicingDescriptor& descriptor(VoicingStyle style, std::string_view id) {
    for (const auto& d : voicingDescriptorCatalogue(style)) {
        if (d.id == id) return d;
    }
    throw std::logic_error("no such descriptor");
}

TEST(DescriptorCatalogue, ListsDescriptorsPerStyleInOrder) {
    using Ids = std::vector<std::string>;
    EXPECT_TRUE(voicingDescriptorCatalogue(VoicingStyle::Closed).empty());
    EXPECT_TRUE(voicingDescriptorCatalogue(VoicingStyle::Shell).empty());
    EXPECT_EQ(idsOf(VoicingStyle::Anthem), (Ids{"anthem"}));
    EXPECT_EQ(idsOf(VoicingStyle::Split), (Ids{"drop24", "drop24-color"}));
    EXPECT_EQ(idsOf(VoicingStyle::GuideColor), (Ids{"guide-color", "guide-color-inner"}));
    EXPECT_EQ(idsOf(VoicingStyle::Tessaro), (Ids{"tessaro", "tessaro-color"}));
}

TEST(RoleCandidates, FollowPreferenceOrderAndChordContent) {
    Offsets tones{0, 4, 5, 7, 10, 14, 21};
    EXPECT_EQ(roleCandidateIntervals(ToneRole::ThirdOrSus, tones), (Offsets{5, 4}));
    EXPECT_EQ(roleCandidateIntervals(ToneRole::Tension, tones), (Offsets{21, 14, 5}));
    EXPECT_EQ(roleCandidateIntervals(ToneRole::UpperDescending, tones), (Offsets{21, 14, 10}));
    EXPECT_EQ(roleCandidateIntervals(ToneRole::Root, Offsets{}), (Offsets{0}));
    EXPECT_EQ(roleCandidateIntervals(ToneRole::Octave, Offsets{}), (Offsets{12}));
    EXPECT_TRUE(roleCandidateIntervals(ToneRole::Sixth, tones).empty());
}

TEST(LayerPlacement, CollidingOffsetTakesNextCandidate) {
    Offsets tones{0, 4, 7, 14};
    std::set<std::int32_t> used{14};
    DescriptorLayer layer{RegisterLayer::Top, {ToneRole::Ninth, ToneRole::Fifth}, 0, false, false, true};
    auto tone = placeDescriptorLayer(tones, layer, used);
    ASSERT_TRUE(tone);
    EXPECT_EQ(tone->offset, 7);
    EXPECT_EQ(tone->slot, 6u);
    EXPECT_TRUE(used.count(7));
    used.insert(0);
    DescriptorLayer rootOnly{RegisterLayer::Root, {ToneRole::Root}, 0, true, false, true};
    EXPECT_FALSE(placeDescriptorLayer(tones, rootOnly, used));
}

TEST(LayerPlacement, FoldsLargeIntervalsIntoWindow) {
    Offsets tones{0, 50};
    std::set<std::int32_t> used;
    DescriptorLayer layer{RegisterLayer::Top, {ToneRole::UpperDescending}, 0, false, false, true};
    auto tone = placeDescriptorLayer(tones, layer, used);
    ASSERT_TRUE(tone);
    EXPECT_EQ(tone->offset, 26);
}

TEST(DescriptorPlans, NoPlanWithoutAThird) {
    for (VoicingStyle s : kAllVoicingStyles) {
        EXPECT_TRUE(descriptorPlansForStyle(Offsets{}, s).empty());
        EXPECT_TRUE(descriptorPlansForStyle(Offsets{0, 7}, s).empty());
    }
}

TEST(DescriptorPlans, Drop24OnMajorTriad) {
    auto plan =
        evaluateVoicingDescriptor(descriptor(VoicingStyle::Split, "drop24"), VoicingStyle::Split, Offsets{0, 4, 7});
    ASSERT_EQ(plan.tones.size(), 4u);
    EXPECT_EQ(plan.tones[0].offset, -12);
    EXPECT_EQ(plan.tones[1].offset, -5);
    EXPECT_EQ(plan.tones[2].offset, 4);
    EXPECT_EQ(plan.tones[3].offset, 12);
    EXPECT_EQ(plan.tones[3].slot, 0u);
    EXPECT_EQ(plan.tones[3].layer, RegisterLayer::Top);
    EXPECT_EQ(plan.name, "drop24");
    EXPECT_EQ(plan.registerCentre, 59.0);
    EXPECT_EQ(normalizeVoicingPlan(plan), (Offsets{-12, -5, 4, 12}));
    // drop24-color has no colour tone to add, so it yields a plan too.
    EXPECT_EQ(descriptorPlansForStyle(Offsets{0, 4, 7}, VoicingStyle::Split).size(), 2u);
}

TEST(DescriptorPlans, SusFourthWinsOverMajorThird) {
    auto plans = descriptorPlansForStyle(Offsets{0, 4, 5, 7}, VoicingStyle::GuideColor);
    ASSERT_FALSE(plans.empty());
    bool found = false;
    for (const auto& t : plans.front().tones) {
        if (t.layer == RegisterLayer::Third) {
            EXPECT_EQ(t.offset, 5);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST(DescriptorPlans, FailedRequiredLayerEmptiesThePlan) {
    // Tessaro asks for a major or minor third or a sus tone.
    auto plan = evaluateVoicingDescriptor(descriptor(VoicingStyle::Tessaro, "tessaro"), VoicingStyle::Tessaro,
                                          Offsets{0, 6, 10});
    EXPECT_TRUE(plan.tones.empty());
    EXPECT_EQ(plan.name, "tessaro");
}

}  // namespace
}  // namespace quillex
