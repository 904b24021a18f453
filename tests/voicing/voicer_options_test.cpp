// Solver option defaults, style profiles, effective learned weights and option equality.
#include "voicing/voicer_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillex {
namespace {

VoicerOptions optionsFor(VoicingStyle style) {
    VoicerOptions options;
    const VoicerStyleProfile profile = defaultVoicerOptionsForStyle(style);
    options.ruleTerms() = profile.ruleTerms;
    options.middleWeightScale = profile.middleWeightScale;
    options.bottomWeightScale = profile.bottomWeightScale;
    options.style = style;
    return options;
}

TEST(VoicerOptionDefaults, FreshRecordHoldsTheDocumentedValues) {
    const VoicerOptions o;
    EXPECT_EQ(o.lowOctaveOffset, -2);
    EXPECT_EQ(o.highOctaveOffset, 1);
    EXPECT_FALSE(o.allowBassChanges);
    EXPECT_TRUE(o.allowDoubling);
    EXPECT_EQ(o.minNotes, 1);
    EXPECT_EQ(o.maxNotes, 4);
    EXPECT_EQ(o.maxSpan, 127);
    EXPECT_EQ(o.top, 72);
    EXPECT_EQ(o.middle, 60);
    EXPECT_EQ(o.bottom, 48);
    EXPECT_EQ(o.targetNotes, 4);
    EXPECT_EQ(o.style, VoicingStyle::Closed);
    EXPECT_EQ(o.bassOctaveLeapWeight, -1000.0);
    EXPECT_EQ(o.lowIntervalStyles, 0x2C);
    EXPECT_EQ(o.splitFifthCeiling, 62);
    EXPECT_EQ(o.bassSeventhFactor, 4.0);
    EXPECT_EQ(o.wideSpanStyles, 0x00);
    EXPECT_EQ(o.upperGapStyles, 0x00);
    for (const LearnedWeightOverride& override : o.learnedWeightOverrides) {
        EXPECT_EQ(override, (LearnedWeightOverride{1.0, 0x00}));
    }
}

TEST(VoicerStyleProfiles, EachStyleChangesOnlyItsOwnValues) {
    const double inversion[] = {-1.5, -2.5, -5.0, -7.0, -2.5, -4.0};
    for (const VoicingStyle style : kAllVoicingStyles) {
        const VoicerStyleProfile p = defaultVoicerOptionsForStyle(style);
        EXPECT_EQ(p.ruleTerms.inversionWeight, inversion[static_cast<int>(style)]);
        EXPECT_EQ(p.topMargin, style == VoicingStyle::Anthem ? 2 : 4);
        EXPECT_EQ(p.extraNotes, style == VoicingStyle::Closed ? 0 : 1);
        EXPECT_EQ(p.bottomMargin, 5);
        EXPECT_EQ(p.noteCap, 12);
        EXPECT_EQ(p.fixedMaxSpan, -1);
        const bool guide = style == VoicingStyle::GuideColor;
        EXPECT_EQ(p.ruleTerms.lowClusterWeight, guide ? -22.0 : -18.0);
        EXPECT_EQ(p.ruleTerms.lowClusterStyles, guide ? 0x10 : 0x01);
        EXPECT_EQ(p.ruleTerms.lowClusterMin, guide ? 5 : 3);
    }
    const VoicerStyleProfile unknown = defaultVoicerOptionsForStyle(static_cast<VoicingStyle>(9));
    EXPECT_EQ(unknown.ruleTerms.inversionWeight, 0.0);
    EXPECT_EQ(unknown.topMargin, 4);
}

TEST(VoicerStyleProfiles, LowClusterAppliesOnlyToClosedAndGuideColor) {
    for (const VoicingStyle style : kAllVoicingStyles) {
        const VoicerOptions o = optionsFor(style);
        const bool applies = ruleTermApplies(o.lowClusterWeight, o.lowClusterStyles, style);
        EXPECT_EQ(applies, style == VoicingStyle::Closed || style == VoicingStyle::GuideColor);
        EXPECT_FALSE(ruleTermApplies(o.wideSpanWeight, o.wideSpanStyles, style));
        EXPECT_FALSE(ruleTermApplies(o.upperGapWeight, o.upperGapStyles, style));
    }
    EXPECT_FALSE(ruleTermApplies(0.0, kAllStyles, VoicingStyle::Closed));
}

TEST(EffectiveWeights, CommonProfileScalesOnlyBottomAndMiddle) {
    for (const VoicingStyle style : kAllVoicingStyles) {
        const LearnedWeights w = effectiveCostWeights(optionsFor(style));
        for (std::size_t i = 0; i < kLearnedWeightCount; ++i) {
            const double factor = i == 4 ? 1.5 : i == 5 ? 2.0 : 1.0;
            EXPECT_EQ(w[i], kLearnedWeightBase[i] * factor) << i;
        }
    }
    EXPECT_EQ(kLearnedWeightBase[7], -8.65279702164732);
    EXPECT_EQ(kLearnedWeightBase[1], 0.00770292873839696);
}

TEST(EffectiveWeights, OverridesApplyOnlyToTheirStyles) {
    VoicerOptions o;
    o.style = VoicingStyle::Split;
    o.learnedWeightOverrides[7] = {0.5, 0x08};
    o.learnedWeightOverrides[8] = {3.0, 0x01};
    o.learnedWeightOverrides[3] = {2.0, 0xFF};
    o.topWeightScale = 1.5;
    const LearnedWeights w = effectiveCostWeights(o);
    EXPECT_EQ(w[7], kLearnedWeightBase[7] * 0.5);
    EXPECT_EQ(w[8], kLearnedWeightBase[8]);
    EXPECT_EQ(w[3], kLearnedWeightBase[3] * 2.0 * 1.5);
}

TEST(VoicerOptionEquality, EveryFieldCountsAndDoublesCompareNumerically) {
    const VoicerOptions a;
    VoicerOptions b;
    EXPECT_EQ(a, b);
    b.style = VoicingStyle::Anthem;
    EXPECT_NE(a, b);
    b = a;
    b.sameTopWeight = -3.0000001;
    EXPECT_NE(a, b);
    b = a;
    b.learnedWeightOverrides[11].styles = 0x01;
    EXPECT_NE(a, b);
    b = a;
    b.inversionWeight = -0.0;
    EXPECT_EQ(a, b) << "0.0 equals -0.0";
    b.inversionWeight = std::numeric_limits<double>::quiet_NaN();
    VoicerOptions c = b;
    EXPECT_NE(b, c) << "NaN equals nothing";
}

}  // namespace
}  // namespace quillex
