// Voicing and transition scores against hand-computed terms; roughness against a direct computation.
#include "voicing/voicing_scores.h"
#include "chord_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace quillex {
namespace {

using testing::chordOf;

VoicerOptions optionsFor(VoicingStyle style) {
    VoicerOptions options;
    options.ruleTerms() = defaultVoicerOptionsForStyle(style).ruleTerms;
    options.style = style;
    return options;
}

using Notes = std::vector<std::int32_t>;
const LearnedWeights& w = kLearnedWeightBase;

TEST(VoicingCost, SumsCountRegisterRoughnessAndRulesTermByTerm) {
    VoicerOptions options;  // closed, target 4, top 72, bottom 48, middle 60
    VoicerPortCacheState cache;
    const Notes v{48, 52, 55};
    const double expected =
        1.0 * w[2] + 0.0 * w[3] + 0.0 * w[4] + std::fabs(155.0 / 3.0 - 60.0) * w[5] + computeRoughness(v) * w[7] + 0.0;
    EXPECT_DOUBLE_EQ(voicingCost(v, chordOf("C"), options, w, cache), expected);

    // Above top and below bottom, five notes.
    const Notes wide{40, 52, 55, 64, 76};
    const double wideExpected =
        1.0 * w[2] + 4.0 * w[3] + 8.0 * w[4] + std::fabs(287.0 / 5.0 - 60.0) * w[5] + computeRoughness(wide) * w[7];
    EXPECT_DOUBLE_EQ(voicingCost(wide, chordOf("C"), options, w, cache), wideExpected);
    EXPECT_DOUBLE_EQ(voicingCost(Notes{}, chordOf("C"), options, w, cache), 4.0 * w[2]);
}

TEST(ChordToneRules, LowIntervalCostsTwentyFivePerMissingSemitoneInWideStyles) {
    for (const VoicingStyle style : {VoicingStyle::Anthem, VoicingStyle::Split, VoicingStyle::Tessaro}) {
        EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{60, 61, 67}, optionsFor(style)) -
                             (style == VoicingStyle::Split ? -18.0 : 0.0),
                         -100.0);
    }
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{59, 60, 67}, optionsFor(VoicingStyle::GuideColor)), -88.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{60, 61, 67}, optionsFor(VoicingStyle::GuideColor)), 0.0);
}

TEST(ChordToneRules, SplitFifthWantsTheFifthAboveARootBass) {
    const VoicerOptions split = optionsFor(VoicingStyle::Split);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{48, 52, 67}, split), -18.0 - 25.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{48, 55, 64}, split), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{48, 64, 67}, split), 0.0) << "second note above 62";
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C/E"), Notes{52, 60, 67}, split), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("Csus2"), Notes{48, 50, 67}, split), -18.0 - 75.0);
}

TEST(ChordToneRules, LowClusterDiffersBetweenClosedAndGuideColor) {
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{50, 52, 55}, optionsFor(VoicingStyle::Closed)), -18.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{50, 53, 60}, optionsFor(VoicingStyle::GuideColor)), -44.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{50, 53, 60}, optionsFor(VoicingStyle::Closed)), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{59, 60, 64}, optionsFor(VoicingStyle::Closed)), -36.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{61, 62, 64}, optionsFor(VoicingStyle::Closed)), 0.0)
        << "second note above the ceiling";
}

TEST(ChordToneRules, LowTensionsInAnthemSpareTheNaturalNinthAndAnExplicitBass) {
    const VoicerOptions anthem = optionsFor(VoicingStyle::Anthem);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C7b9"), Notes{49, 58, 64, 67}, anthem), -8.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C9"), Notes{50, 58, 64, 67}, anthem), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C7b9/Db"), Notes{49, 58, 64, 67}, anthem), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C7b9/Db"), Notes{49, 61, 64, 70}, anthem), -8.0);
}

TEST(ChordToneRules, BassRulesOnlyWithBassChanges) {
    VoicerOptions closed = optionsFor(VoicingStyle::Closed);  // inversion -1.5
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{52, 55, 60}, closed), 0.0);
    closed.allowBassChanges = true;
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{52, 55, 60}, closed), -1.5);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{43, 52, 60}, closed), -1.5 - 4.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C7"), Notes{58, 64, 67, 72}, closed), -1.5 - 16.0 - 15.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{36, 52, 55}, closed), -72.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C/E"), Notes{52, 55, 60}, closed), 0.0);
    EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C6"), Notes{45, 52, 55, 60}, closed), -1.5 - 16.0);
}

TEST(ChordToneRules, WideSpanAndUpperGapNeverCountWithBuiltInProfiles) {
    for (const VoicingStyle style : kAllVoicingStyles) {
        VoicerOptions options = optionsFor(style);
        EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{48, 67, 88}, options) -
                             chordToneRoleCost(chordOf("C"), Notes{48, 67, 72}, options),
                         0.0);
        options.wideSpanStyles = kAllStyles;
        options.upperGapStyles = kAllStyles;
        EXPECT_DOUBLE_EQ(chordToneRoleCost(chordOf("C"), Notes{48, 67, 88}, options) -
                             chordToneRoleCost(chordOf("C"), Notes{48, 67, 72}, options),
                         (40.0 - 24.0) * -1.0 + (21.0 - 5.0) * -2.0);
    }
}

TEST(VoiceMatching, AlignsSmoothMotionVoiceByVoice) {
    const VoiceMatch match = matchVoices(Notes{48, 52, 55}, Notes{48, 53, 57});
    EXPECT_EQ(match.movement, 3);
    EXPECT_EQ(match.pairs, (std::vector<std::pair<std::int32_t, std::int32_t>>{{48, 48}, {52, 53}, {55, 57}}));
}

TEST(VoiceMatching, OneNotePairsWithEveryNoteOfTheOther) {
    const VoiceMatch match = matchVoices(Notes{60}, Notes{48, 52, 55});
    EXPECT_EQ(match.movement, 25);
    EXPECT_EQ(match.pairs, (std::vector<std::pair<std::int32_t, std::int32_t>>{{60, 48}, {60, 52}, {60, 55}}));
    EXPECT_EQ(matchVoices(Notes{}, Notes{60}), VoiceMatch{});
}

TEST(VoiceMatching, LongManualVoicingsAreMatchedWithoutLimit) {
    Notes a;
    Notes b;
    for (int i = 0; i < 40; ++i) {
        a.push_back(20 + 2 * i);
        b.push_back(21 + 2 * i);
    }
    const VoiceMatch match = matchVoices(a, b);
    EXPECT_EQ(match.movement, 40);
    EXPECT_EQ(match.pairs.size(), 40u);
    Notes shorter(b.begin(), b.begin() + 10);
    EXPECT_GE(matchVoices(a, shorter).pairs.size(), 40u);
}

TEST(TransitionCost, SmoothMoveCostsTopMotionAndMovement) {
    const VoicerOptions options;
    EXPECT_DOUBLE_EQ(transitionCost(Notes{48, 52, 55}, Notes{48, 53, 57}, chordOf("C"), chordOf("F"), options, w),
                     2.0 * w[8] + 3.0 * w[11]);
}

TEST(TransitionCost, ParallelFifthsAndParallelOuterVoices) {
    const VoicerOptions options;
    EXPECT_DOUBLE_EQ(transitionCost(Notes{48, 55}, Notes{50, 57}, chordOf("C5"), chordOf("D5"), options, w),
                     w[0] + 2.0 * w[8] + w[9] + 4.0 * w[11]);
}

TEST(TransitionCost, HiddenOctaveRewardsSimilarLeapsIntoAnOctave) {
    const VoicerOptions options;
    EXPECT_DOUBLE_EQ(transitionCost(Notes{40, 55}, Notes{45, 69}, chordOf("E"), chordOf("A"), options, w),
                     14.0 * w[8] + 19.0 * w[11] + w[6]);
}

TEST(TransitionCost, CountChangeAndOverlap) {
    const VoicerOptions options;
    // 60 -> 48 52 55: every note paired with 60, count change 2; 52 lies
    // below the 60 it follows, which counts as an overlap.
    EXPECT_DOUBLE_EQ(transitionCost(Notes{60}, Notes{48, 52, 55}, chordOf("C"), chordOf("C"), options, w),
                     2.0 * w[1] + 5.0 * w[8] + w[10] + 25.0 * w[11]);
}

TEST(TransitionRules, IdenticalVoicingsKeepTopAndBass) {
    VoicerOptions options;
    const Notes v{48, 52, 55};
    EXPECT_DOUBLE_EQ(transitionCost(v, v, chordOf("C"), chordOf("C"), options, w), -3.0);
    options.allowBassChanges = true;
    EXPECT_DOUBLE_EQ(transitionCost(v, v, chordOf("C"), chordOf("C"), options, w), -3.0 - 12.0);
    EXPECT_DOUBLE_EQ(transitionCost(v, v, chordOf("C/E"), chordOf("C"), options, w), -3.0);
}

TEST(TransitionRules, BassOctaveLeapIsRuledOut) {
    VoicerOptions options;
    options.allowBassChanges = true;
    const ChordScoreFacts c = chordScoreFacts(chordOf("C"));
    EXPECT_DOUBLE_EQ(transitionRuleCost(Notes{48, 52, 55}, Notes{60, 64, 67}, c, c, options), -1000.0);
    options.allowBassChanges = false;
    EXPECT_DOUBLE_EQ(transitionRuleCost(Notes{48, 52, 55}, Notes{60, 64, 67}, c, c, options), 0.0);
}

TEST(TransitionRules, ClosedGapOnlyInClosedStyle) {
    const ChordScoreFacts c = chordScoreFacts(chordOf("C"));
    EXPECT_DOUBLE_EQ(transitionRuleCost(Notes{48, 52, 55}, Notes{48, 52, 60}, c, c, optionsFor(VoicingStyle::Closed)),
                     -15.0);
    EXPECT_DOUBLE_EQ(transitionRuleCost(Notes{48, 52, 55}, Notes{48, 52, 60}, c, c, optionsFor(VoicingStyle::Anthem)),
                     0.0);
}

// Partials and their sum written out directly, without any table.
double directRoughness(const Notes& notes) {
    if (notes.size() < 2) return 0.0;
    struct P {
        double f, a;
    };
    std::vector<P> ps;
    for (const int m : notes) {
        for (int k = 0; k <= 10; ++k) {
            const double pitch = std::round((m + 12.0 * std::log2(k + 1.0)) * 1e6) / 1e6;
            ps.push_back({440.0 * std::pow(2.0, (pitch - 69.0) / 12.0), 1.0 / (k + 1)});
        }
    }
    std::stable_sort(ps.begin(), ps.end(), [](const P& x, const P& y) { return x.f < y.f; });
    std::vector<P> kept;
    for (const P& p : ps) {
        if (!kept.empty() && std::fabs(p.f - kept.back().f) < 1e-9) {
            kept.back().a += p.a;
        } else {
            kept.push_back(p);
        }
    }
    double s2 = 0.0;
    for (const P& p : kept) s2 += p.a * p.a;
    double sum = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        for (std::size_t j = i + 1; j < kept.size(); ++j) {
            const double s = (kept[j].f - kept[i].f) / (1.72 * std::pow((kept[i].f + kept[j].f) / 2.0, 0.65));
            if (s > 1.2) break;
            const double g = 4.0 * s * std::exp(1.0 - 4.0 * s);
            sum += kept[i].a * kept[j].a * (g * g);
        }
    }
    return sum / s2;
}

TEST(Roughness, TableAndCacheGiveExactlyTheDirectValue) {
    std::mt19937 rng(42);
    VoicerPortCacheState cache;
    for (int round = 0; round < 3000; ++round) {
        Notes v;
        const int count = 1 + static_cast<int>(rng() % 6);
        int note = static_cast<int>(rng() % 100);
        for (int i = 0; i < count && note < 128; ++i) {
            v.push_back(note);
            note += 1 + static_cast<int>(rng() % (round % 3 == 0 ? 12 : 7));
            if (round % 5 == 0) note = v.back() + 12;
        }
        const double direct = directRoughness(v);
        EXPECT_EQ(computeRoughness(v), direct) << round;
        EXPECT_EQ(roughnessCost(v, cache), direct) << round;
        EXPECT_EQ(roughnessCost(v, cache), direct) << round;
    }
}

TEST(Roughness, DissonanceOrderingAndMergedOctaves) {
    VoicerPortCacheState cache;
    EXPECT_EQ(roughnessCost(Notes{60}, cache), 0.0);
    EXPECT_GT(roughnessCost(Notes{60, 61}, cache), roughnessCost(Notes{60, 67}, cache));
    EXPECT_GT(roughnessCost(Notes{60, 67}, cache), roughnessCost(Notes{60, 72}, cache));
    // The octave's partials coincide with the lower note's even partials.
    EXPECT_EQ(roughnessCost(Notes{60, 72}, cache), directRoughness({60, 72}));
    EXPECT_GE(roughnessCost(Notes{60, 72}, cache), 0.0);
    EXPECT_EQ(cache.roughness.size(), 3u) << "single notes are never cached";
    EXPECT_EQ(roughnessCost(Notes{-5, 60}, cache), directRoughness({-5, 60}));
}

}  // namespace
}  // namespace quillex
