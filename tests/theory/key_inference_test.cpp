// Tests of key inference, its likelihood term and minor-scale inference.
#include "theory/key_inference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "key_samples.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"

namespace quillex {
namespace {

using testing::kAMelodic;
using testing::kANatural;
using testing::kCMajor;

WeightedChord wc(const char* symbol, double weight = 1.0) {
    std::optional<Chord> chord = parseChordSymbol(symbol);
    EXPECT_TRUE(chord.has_value()) << symbol;
    return WeightedChord{chord->root, chord->quality, chord->bass, weight};
}

std::vector<WeightedChord> weightedChords(std::initializer_list<const char*> symbols, double weight = 1.0) {
    std::vector<WeightedChord> result;
    for (const char* s : symbols) result.push_back(wc(s, weight));
    return result;
}

KeyInferenceChord kc(PitchClass root, const char* quality) { return KeyInferenceChord{root, quality, {}}; }

// ---- Minor scale type

TEST(InferMinorScaleType, MelodicVotesMustOutweighNaturalOnes) {
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(9, "mM7"), kc(2, "7")}, 0), 1);
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(9, "m"), kc(2, "m")}, 0), 0);
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(9, "m"), kc(2, "m")}, 1), 1);
    // E7 sits on degree 5, which never votes.
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(4, "7")}, 0), 0);
    // Equal totals keep the default.
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(11, "m"), kc(5, "6")}, 0), 0);
    // A major key keeps its own type; an empty list gives the default.
    EXPECT_EQ(inferMinorScaleType(MusicalKey{0, kMajorMode, 1}, {kc(0, "mM7")}, 0), 1);
    EXPECT_EQ(inferMinorScaleType(kANatural, {}, 1), 1);
}

TEST(InferMinorScaleType, ParsedMajorTriadVotesLikeTheEmptyQuality) {
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(11, "m")}, 0), 1);
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(11, "m"), kc(5, "maj")}, 0), 0);
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(11, "m"), kc(5, "")}, 0), 0);
    // Degree 7 major triad gives only one natural vote.
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(11, "m"), kc(7, "maj")}, 0), 1);
    // The raised sixth and seventh count as degrees 6 and 7.
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(6, "m7b5")}, 0), 1);
    EXPECT_EQ(inferMinorScaleType(kANatural, {kc(8, "dim")}, 0), 1);
}

// ---- Likelihood

TEST(ScoreProgressionLikelihood, MatchesTheTablesForOneTonicChord) {
    const double sum = -0.91567 + -1.16667 + -1.31402 + 0.65 * -0.08591;
    EXPECT_NEAR(scoreProgressionLikelihood(kCMajor, weightedChords({"C"})), sum / 3.65 * 30.0, 1e-9);
}

TEST(ScoreProgressionLikelihood, UsesTransitionsAndTheMinorHalf) {
    // Am (i, minor) then E7 (V, dominant) in A minor.
    const double sum =
        -0.86834 + -1.66131 + (-1.25955 + 0.65 * -0.00202) + (-1.84229 + 0.65 * -1.00708) + 0.85 * -2.43757;
    const double norm = 2.0 + 2 * 1.65 + 0.85;
    EXPECT_NEAR(scoreProgressionLikelihood(kANatural, weightedChords({"Am", "E7"})), sum / norm * 30.0, 1e-9);
    EXPECT_NEAR(scoreProgressionLikelihood(kAMelodic, weightedChords({"Am", "E7"})), sum / norm * 30.0, 1e-9);
}

TEST(ScoreProgressionLikelihood, SkipsChordsWithoutPositiveWeight) {
    EXPECT_EQ(scoreProgressionLikelihood(kCMajor, {}), 0.0);
    EXPECT_EQ(scoreProgressionLikelihood(kCMajor, weightedChords({"C", "G"}, 0.0)), 0.0);
    std::vector<WeightedChord> list = {wc("F#", -1.0), wc("C"), wc("Db", 0.0)};
    EXPECT_DOUBLE_EQ(scoreProgressionLikelihood(kCMajor, list),
                     scoreProgressionLikelihood(kCMajor, weightedChords({"C"})));
}

// ---- Candidate score

TEST(ScoreKeyCandidate, SingleTonicTriadAddsEveryTonicTerm) {
    // Fit 0.35 x (2.4 + 2.0 + 0.8), degree 0.55, match 1.5, tonic 4 + 3, first 2,
    // last 1.2, short list 4.5; tonic weight 0.8; starts and ends on the tonic 5.
    const double expected = 0.35 * 5.2 + 0.55 + 1.5 + 7.0 + 2.0 + 1.2 + 4.5 + 0.8 + 5.0 +
                            scoreProgressionLikelihood(kCMajor, weightedChords({"C"}));
    KeyCandidate c = scoreKeyCandidate(weightedChords({"C"}), kCMajor);
    EXPECT_EQ(c.key, kCMajor);
    EXPECT_NEAR(c.score, expected, 1e-9);
}

TEST(ScoreKeyCandidate, TonicTestsReadTheClassAsAModeCondition) {
    // Weightless chords leave only the positional terms.
    const std::vector<WeightedChord> eMinor = {wc("Em", 0.0)};
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(eMinor, MusicalKey{4, kMinorMode, 0}).score, 5.0 + 1.2);
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(eMinor, MusicalKey{4, kMinorMode, 1}).score, -1.0 + 5.0 + 1.2);
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(eMinor, MusicalKey{4, kMajorMode, 0}).score, 0.0);
    const std::vector<WeightedChord> eMajor = {wc("E", 0.0)};
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(eMajor, MusicalKey{4, kMajorMode, 0}).score, 5.0);
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(eMajor, MusicalKey{4, kMinorMode, 0}).score, 0.0);
    const std::vector<WeightedChord> dSus = {wc("Dsus4", 0.0)};
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(dSus, MusicalKey{2, kMajorMode, 0}).score, 5.0);
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(dSus, MusicalKey{2, kMinorMode, 0}).score, 6.2);
}

TEST(ScoreKeyCandidate, MinorCadenceNeedsADominantFunctionOnTheFifth) {
    auto positional = [](const char* before) {
        return scoreKeyCandidate({wc(before, 0.0), wc("Am", 0.0)}, kANatural).score;
    };
    EXPECT_DOUBLE_EQ(positional("E7"), 1.2 + 6.0);
    EXPECT_DOUBLE_EQ(positional("E"), 1.2 + 6.0);
    EXPECT_DOUBLE_EQ(positional("Esus4"), 1.2 + 6.0);
    EXPECT_DOUBLE_EQ(positional("Emaj7"), 1.2);
    EXPECT_DOUBLE_EQ(positional("Em"), 1.2);
    EXPECT_DOUBLE_EQ(positional("D7"), 1.2);
}

TEST(ScoreKeyCandidate, ThreeChordsWithoutTonicArePenalised) {
    // Weightless Dm G F: no tonic chord, three chords, nothing else applies.
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(weightedChords({"Dm", "G", "F"}, 0.0), kCMajor).score, -3.2);
    EXPECT_DOUBLE_EQ(scoreKeyCandidate(weightedChords({"Dm", "G"}, 0.0), kCMajor).score, 0.0);
}

TEST(ScoreKeyCandidate, WeightlessChordsStillActAsNeighbours) {
    // G7 before a weightless C still earns its resolution terms.
    const double withNeighbour = scoreKeyCandidate({wc("G7"), wc("C", 0.0)}, kCMajor).score;
    const double alone = scoreKeyCandidate({wc("G7")}, kCMajor).score;
    EXPECT_GT(withNeighbour, alone + 4.0);
}

// ---- Ranking

TEST(InferKey, EmptyListGivesCMajorWithoutConfidence) {
    KeyInferenceResult r = inferKey({});
    EXPECT_EQ(r.key, kCMajor);
    EXPECT_EQ(r.score, 0.0);
    EXPECT_EQ(r.confidence, 0.0);
}

TEST(InferKey, EqualScoresRankMajorThenLowerRoot) {
    // A weightless power chord scores 0 for every major and natural-minor key.
    KeyInferenceResult r = inferKey({wc("D5", 0.0)});
    EXPECT_EQ(r.key, kCMajor);
    EXPECT_EQ(r.score, 0.0);
    EXPECT_EQ(r.confidence, 0.0);

    KeyInferenceResult sus = inferKey({wc("Dsus4", 0.0)});
    EXPECT_EQ(sus.key, (MusicalKey{2, kMinorMode, kNaturalMinorScale}));
}

TEST(InferKey, FindsCommonKeys) {
    EXPECT_EQ(inferKey(weightedChords({"C", "F", "G7", "C"})).key, kCMajor);
    EXPECT_EQ(inferKey(weightedChords({"Dm7", "G7", "Cmaj7"})).key, kCMajor);
    EXPECT_EQ(inferKey(weightedChords({"Am", "Dm", "E7", "Am"})).key, kANatural);
    EXPECT_EQ(inferKey(weightedChords({"Ebmaj7", "Cm7", "Fm7", "Bb7", "Ebmaj7"})).key,
              (MusicalKey{3, kMajorMode, kNaturalMinorScale}));
    EXPECT_EQ(inferKey(weightedChords({"AmM7", "Bm7", "D7", "E7", "AmM7"})).key, kAMelodic);
}

TEST(InferKey, BluesProgressionStaysInItsTonic) {
    KeyInferenceResult r = inferKey(weightedChords({"A7", "D7", "A7", "E7", "D7", "A7"}));
    EXPECT_EQ(r.key, (MusicalKey{9, kMajorMode, kNaturalMinorScale}));
}

// ---- Properties over random progressions

const std::vector<std::string>& qualityPool() {
    static const std::vector<std::string> pool = {"maj",   "m",   "7",   "m7", "maj7", "dim",  "m7b5", "sus4",
                                                  "7sus4", "aug", "mM7", "6",  "9",    "add9", "dim7", "5"};
    return pool;
}

std::vector<WeightedChord> randomProgression(std::mt19937& rng) {
    std::vector<WeightedChord> list(1 + rng() % 8);
    for (WeightedChord& c : list) {
        c.root = static_cast<PitchClass>(rng() % 12);
        c.quality = qualityPool()[rng() % qualityPool().size()];
        if (rng() % 5 == 0) c.bass = static_cast<PitchClass>(rng() % 12);
        c.weight = (rng() % 7 == 0) ? 0.0 : 0.5 + (rng() % 4) * 0.5;
    }
    return list;
}

bool bestIsUnique(const std::vector<WeightedChord>& list, const KeyInferenceResult& best) {
    for (int root = 0; root < 12; ++root) {
        for (auto [mode, type] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
            MusicalKey key{static_cast<PitchClass>(root), static_cast<std::uint8_t>(mode),
                           static_cast<std::uint8_t>(type)};
            if (key == best.key) continue;
            if (scoreKeyCandidate(list, key).score >= best.score) return false;
        }
    }
    return true;
}

TEST(InferKeyProperties, TransposingEveryChordTransposesTheKey) {
    std::mt19937 rng(2026);
    int checked = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<WeightedChord> list = randomProgression(rng);
        KeyInferenceResult base = inferKey(list);
        if (!bestIsUnique(list, base)) continue;
        ++checked;
        for (std::int32_t n : {1, 5, 7, 11, -1, -13, 1000003}) {
            std::vector<WeightedChord> moved = list;
            for (WeightedChord& c : moved) {
                c.root = transposePitchClass(c.root, n);
                if (c.bass) c.bass = transposePitchClass(*c.bass, n);
            }
            KeyInferenceResult r = inferKey(moved);
            EXPECT_EQ(r.key.root, transposePitchClass(base.key.root, n));
            EXPECT_EQ(r.key.mode, base.key.mode);
            EXPECT_EQ(r.key.minorScaleType, base.key.minorScaleType);
            EXPECT_DOUBLE_EQ(r.score, base.score);
            EXPECT_DOUBLE_EQ(r.confidence, base.confidence);
        }
    }
    EXPECT_GT(checked, 200);
}

TEST(InferKeyProperties, ConfidenceStaysInUnitRangeAndMatchesTheMargin) {
    std::mt19937 rng(99);
    for (int round = 0; round < 500; ++round) {
        std::vector<WeightedChord> list = randomProgression(rng);
        KeyInferenceResult r = inferKey(list);
        EXPECT_GE(r.confidence, 0.0);
        EXPECT_LE(r.confidence, 1.0);
        EXPECT_DOUBLE_EQ(r.score, scoreKeyCandidate(list, r.key).score);
    }
}

TEST(InferKeyProperties, NonFiniteWeightsNeverBreakTheRanking) {
    std::vector<WeightedChord> list = weightedChords({"C", "F", "G"});
    list[1].weight = INFINITY;
    KeyInferenceResult r = inferKey(list);
    EXPECT_GE(r.confidence, 0.0);
    EXPECT_LE(r.confidence, 1.0);
    list[1].weight = NAN;  // NaN is not positive: the chord takes no part
    r = inferKey(list);
    EXPECT_TRUE(std::isfinite(r.score));
}

// Huge finite weights (and infinite ones) count as the largest weight: every
// score stays finite, and the answer is the one that weight gives.
TEST(InferKeyProperties, HugeWeightsKeepEveryScoreFinite) {
    std::mt19937 rng(5);
    const double extremes[] = {1e308, -1e308, INFINITY, -INFINITY, NAN, kMaxKeyInferenceWeight, 1.0};
    for (int round = 0; round < 200; ++round) {
        std::vector<WeightedChord> list = randomProgression(rng);
        std::vector<WeightedChord> capped = list;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (rng() % 2 == 0) continue;
            list[i].weight = extremes[rng() % std::size(extremes)];
            capped[i].weight = list[i].weight > kMaxKeyInferenceWeight ? kMaxKeyInferenceWeight : list[i].weight;
        }
        const KeyInferenceResult r = inferKey(list);
        ASSERT_TRUE(std::isfinite(r.score));
        EXPECT_GE(r.confidence, 0.0);
        EXPECT_LE(r.confidence, 1.0);
        EXPECT_EQ(r, inferKey(capped));
        for (int root = 0; root < 12; ++root) {
            const MusicalKey key{static_cast<PitchClass>(root), static_cast<std::uint8_t>(root % 2),
                                 kNaturalMinorScale};
            EXPECT_TRUE(std::isfinite(scoreKeyCandidate(list, key).score));
            EXPECT_TRUE(std::isfinite(scoreProgressionLikelihood(key, list)));
        }
    }
}

}  // namespace
}  // namespace quillex
