// The beam search against an exact dynamic programme, its reuse of the previous solve, and its lines.
#include "voicing/voicer_solve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <random>
#include <stdexcept>

#include "chord_samples.h"
#include "protocol/diagnostic_trace.h"
#include "voicing/voicing_anchors.h"
#include "voicing/voicing_candidates.h"
#include "voicing/voicing_scores.h"

namespace quillex {
namespace {

using testing::chordOf;

#ifdef QUILLEX_SANITIZED
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif

constexpr std::string_view kSymbols[] = {"C",     "Am",     "F",   "G7",   "Dm7",   "Em",  "Cmaj7",  "A7",
                                         "Bb",    "Ebmaj7", "Fm6", "D7b9", "G13",   "C/E", "F/G",    "Am9",
                                         "Bm7b5", "E7#9",   "Ab",  "Db9",  "Gsus4", "C6",  "F#dim7", "G7/B"};

struct Segment {
    std::vector<Chord> chords;
    VoicerOptions options;
    std::vector<FixedNotes> fixed;
};

// A seeded progression cut into its first segment, as the voice leading does.
Segment randomSegment(std::mt19937& rng, std::size_t minLength, std::size_t maxLength) {
    const std::size_t length = minLength + rng() % (maxLength - minLength + 1);
    std::vector<VoicingSlot> slots(length);
    const auto style = static_cast<VoicingStyle>(std::array{0, 2, 3, 4, 5}[rng() % 5]);
    for (std::size_t i = 0; i < length; ++i) {
        slots[i].chord = chordOf(kSymbols[rng() % std::size(kSymbols)]);
        slots[i].style = style;
    }
    if (length > 2 && rng() % 3 == 0) slots.back().autoVoiced = false;
    AnchorNotes anchors;
    const std::vector<AvlSegment> segments = buildAvlSegments(slots, anchors, rng() % 2 == 0);
    EXPECT_FALSE(segments.empty());
    return {segments.front().chords, segments.front().options, segments.front().fixedChords};
}

// Rich chords in wide styles, so that most steps hold more candidates than the beam.
Segment randomRichSegment(std::mt19937& rng) {
    constexpr std::string_view rich[] = {"Cmaj9",  "Am11", "D7b9", "G13",   "Fmaj7#11", "E7#9",  "Bbm9", "Eb13",
                                         "Abmaj9", "Db9",  "Gm9",  "C7alt", "F#m7b5",   "B7b13", "Em9",  "A13sus4"};
    const std::size_t length = 3 + rng() % 2;
    std::vector<VoicingSlot> slots(length);
    const auto style = static_cast<VoicingStyle>(std::array{2, 3, 4, 5}[rng() % 4]);
    for (std::size_t i = 0; i < length; ++i) {
        slots[i].chord = chordOf(rich[rng() % std::size(rich)]);
        slots[i].style = style;
    }
    AnchorNotes anchors;
    const std::vector<AvlSegment> segments = buildAvlSegments(slots, anchors, rng() % 2 == 0);
    return {segments.front().chords, segments.front().options, segments.front().fixedChords};
}

double pathScore(const Segment& s, const std::vector<CandidateVoicing>& path) {
    VoicerPortCacheState cache;
    const LearnedWeights w = effectiveCostWeights(s.options);
    double total = 0.0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        total += voicingCost(path[i], s.chords[i], s.options, w, cache);
        if (i > 0) total += transitionCost(path[i - 1], path[i], s.chords[i - 1], s.chords[i], s.options, w);
    }
    return total;
}

struct Optimum {
    double score = 0.0;
    int truncatedSteps = 0;  // steps with more predecessors than the beam holds
};

// Exact optimum over the same capped candidates: every predecessor, no beam.
Optimum exactOptimum(const Segment& s) {
    Optimum result;
    std::vector<ChordScoreFacts> facts;
    for (const Chord& chord : s.chords) facts.push_back(chordScoreFacts(chord));
    VoicerPortCacheState cache;
    const LearnedWeights w = effectiveCostWeights(s.options);
    std::vector<double> previousScore;
    CandidateList previous;
    for (std::size_t i = 0; i < s.chords.size(); ++i) {
        const CandidateList all = *generateCandidateVoicings(s.chords[i], s.options, cache, s.fixed[i]).list;
        std::vector<double> own;
        for (const auto& v : all) own.push_back(voicingCost(v, s.chords[i], s.options, w, cache));
        CandidateList list = all;
        if (all.size() > kCandidateCap) {
            list.clear();
            std::vector<double> kept;
            for (const std::int32_t index : selectHighestScores(own, kCandidateCap)) {
                list.push_back(all[index]);
                kept.push_back(own[index]);
            }
            own = kept;
        }
        std::vector<double> score(list.size(), -std::numeric_limits<double>::infinity());
        if (i > 0 && previous.size() > kBeamWidth) ++result.truncatedSteps;
        for (std::size_t c = 0; c < list.size(); ++c) {
            if (i == 0) {
                score[c] = own[c];
                continue;
            }
            for (std::size_t q = 0; q < previous.size(); ++q) {
                score[c] =
                    std::max(score[c], previousScore[q] + own[c] +
                                           transitionCost(previous[q], list[c], facts[i - 1], facts[i], s.options, w));
            }
        }
        previous = std::move(list);
        previousScore = std::move(score);
    }
    result.score = *std::max_element(previousScore.begin(), previousScore.end());
    return result;
}

TEST(VoicerSolveExactness, UnlimitedBeamFindsTheExactOptimum) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 40 / kScale + 2; ++round) {
        const Segment s = randomSegment(rng, 2, 4);
        VoicerSolveSettings settings;
        settings.beamWidth = std::numeric_limits<std::size_t>::max();
        const auto path = voicerSolve(s.chords, s.options, s.fixed, nullptr, settings);
        const double optimum = exactOptimum(s).score;
        EXPECT_NEAR(pathScore(s, path), optimum, 1e-9 * std::max(1.0, std::fabs(optimum))) << round;
    }
}

TEST(VoicerSolveExactness, SpecifiedBeamShortfallOnSeededProgressions) {
    std::mt19937 rng(160);
    const int rounds = 200 / kScale;
    int shortfalls = 0;
    int truncated = 0;
    double worst = 0.0;
    double sum = 0.0;
    for (int round = 0; round < rounds; ++round) {
        const Segment s = randomRichSegment(rng);
        const auto path = voicerSolve(s.chords, s.options, s.fixed, nullptr);
        const Optimum exact = exactOptimum(s);
        truncated += exact.truncatedSteps > 0 ? 1 : 0;
        const double optimum = exact.score;
        const double gap = optimum - pathScore(s, path);
        ASSERT_GE(gap, -1e-9 * std::max(1.0, std::fabs(optimum))) << "the beam cannot beat the optimum";
        if (gap > 1e-9 * std::max(1.0, std::fabs(optimum))) {
            ++shortfalls;
            worst = std::max(worst, gap);
            sum += gap;
        }
    }
    std::cout << "[beam 160] " << truncated << " of " << rounds << " progressions had a step wider than the beam; "
              << shortfalls << " of " << rounds << " progressions below the exact optimum; worst " << worst
              << ", mean over those " << (shortfalls ? sum / shortfalls : 0.0) << "\n";
    RecordProperty("beam_shortfalls", shortfalls);
}

// The beam search with every predecessor of the beam scanned (no early exit).
std::vector<CandidateVoicing> plainBeamSearch(const Segment& s) {
    std::vector<ChordScoreFacts> facts;
    for (const Chord& chord : s.chords) facts.push_back(chordScoreFacts(chord));
    VoicerPortCacheState cache;
    const LearnedWeights w = effectiveCostWeights(s.options);
    std::vector<CandidateList> lists;
    std::vector<std::vector<double>> score;
    std::vector<std::vector<std::int32_t>> back;
    for (std::size_t i = 0; i < s.chords.size(); ++i) {
        CandidateList list = *generateCandidateVoicings(s.chords[i], s.options, cache, s.fixed[i]).list;
        std::vector<double> own;
        for (const auto& v : list) own.push_back(voicingCost(v, s.chords[i], s.options, w, cache));
        if (list.size() > kCandidateCap) {
            CandidateList capped;
            std::vector<double> kept;
            for (const std::int32_t index : selectHighestScores(own, kCandidateCap)) {
                capped.push_back(list[index]);
                kept.push_back(own[index]);
            }
            list = std::move(capped);
            own = std::move(kept);
        }
        std::vector<double> sc(list.size(), -std::numeric_limits<double>::infinity());
        std::vector<std::int32_t> bk(list.size(), -1);
        if (i == 0) {
            sc = own;
        } else {
            // The beam's order when it truncates, index order otherwise.
            std::vector<std::int32_t> order;
            if (score.back().size() > kBeamWidth) {
                order = selectHighestScores(score.back(), kBeamWidth);
            } else {
                for (std::size_t q = 0; q < score.back().size(); ++q) order.push_back(static_cast<std::int32_t>(q));
            }
            for (std::size_t c = 0; c < list.size(); ++c) {
                for (const std::int32_t q : order) {
                    const double v = own[c] + score.back()[q] +
                                     transitionCost(lists.back()[q], list[c], facts[i - 1], facts[i], s.options, w);
                    if (v > sc[c]) {
                        sc[c] = v;
                        bk[c] = q;
                    }
                }
            }
        }
        lists.push_back(std::move(list));
        score.push_back(std::move(sc));
        back.push_back(std::move(bk));
    }
    std::vector<CandidateVoicing> path(lists.size());
    auto index =
        static_cast<std::int32_t>(std::max_element(score.back().begin(), score.back().end()) - score.back().begin());
    for (std::size_t i = lists.size(); i-- > 0;) {
        path[i] = lists[i][index];
        index = back[i][index];
    }
    return path;
}

TEST(VoicerSolveExactness, EarlyExitNeverChangesTheVoicings) {
    std::mt19937 rng(99);
    for (int round = 0; round < 200 / kScale; ++round) {
        const Segment s = randomSegment(rng, 2, 5);
        EXPECT_EQ(voicerSolve(s.chords, s.options, s.fixed, nullptr), plainBeamSearch(s)) << round;
    }
}

TEST(VoicerSolveBasics, OneChordIsItsBestOwnVoicing) {
    VoicerOptions options;
    options.style = VoicingStyle::Tessaro;
    options.maxNotes = 6;
    const Chord chord = chordOf("Cmaj9");
    VoicerPortCacheState cache;
    const CandidateList list = *generateCandidateVoicings(chord, options, cache, std::nullopt).list;
    const LearnedWeights w = effectiveCostWeights(options);
    std::size_t best = 0;
    std::vector<double> own;
    for (std::size_t i = 0; i < list.size(); ++i) {
        own.push_back(voicingCost(list[i], chord, options, w, cache));
        if (own[i] > own[best]) best = i;
    }
    const std::vector<std::int32_t> order = selectHighestScores(own, kCandidateCap);
    const CandidateVoicing expected = list.size() > kCandidateCap ? list[order.front()] : list[best];
    EXPECT_EQ(voicerSolve({chord}, options, {}, nullptr), std::vector<CandidateVoicing>{expected});
}

TEST(VoicerSolveBasics, AnchorsComeBackExactly) {
    VoicerOptions options;
    const std::vector<Chord> chords{chordOf("C"), chordOf("F"), chordOf("G")};
    const std::vector<FixedNotes> fixed{std::vector<std::int32_t>{48, 52, 55}, std::nullopt,
                                        std::vector<std::int32_t>{55, 59, 50}};
    const auto path = voicerSolve(chords, options, fixed, nullptr);
    EXPECT_EQ(path.front(), (CandidateVoicing{48, 52, 55}));
    EXPECT_EQ(path.back(), (CandidateVoicing{55, 59, 50}));
}

TEST(VoicerSolveBasics, RefusesMismatchedFixedNotesAndChordsWithoutCandidates) {
    VoicerOptions options;
    try {
        voicerSolve({chordOf("C"), chordOf("F")}, options, {std::nullopt}, nullptr);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "fixedChords must be empty or match chords length");
    }
    options.lowOctaveOffset = 1;
    options.bottom = 72;
    options.top = 74;
    try {
        voicerSolve({chordOf("C/E")}, options, {}, nullptr);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "no legal revoicings found");
    }
    EXPECT_TRUE(voicerSolve({}, options, {}, nullptr).empty());
}

TEST(VoicerSolveBasics, HeapSelectionKeepsTheHighestBestFirst) {
    std::mt19937 rng(5);
    for (int round = 0; round < 50; ++round) {
        std::vector<double> scores(1 + rng() % 700);
        for (double& s : scores)
            s = static_cast<double>(rng() % 100000) / 7.0 + static_cast<double>(rng() % 1000) * 1e-7;
        const std::size_t k = 1 + rng() % 600;
        const std::vector<std::int32_t> got = selectHighestScores(scores, k);
        std::vector<std::int32_t> expected(scores.size());
        for (std::size_t i = 0; i < scores.size(); ++i) expected[i] = static_cast<std::int32_t>(i);
        std::stable_sort(expected.begin(), expected.end(), [&](auto a, auto b) { return scores[a] > scores[b]; });
        expected.resize(std::min(k, scores.size()));
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(scores[got[i]], scores[expected[i]]);
    }
    // Equal scores: the earliest indices stay, and the result is repeatable.
    const std::vector<double> flat(10, 1.0);
    std::vector<std::int32_t> kept = selectHighestScores(flat, 4);
    EXPECT_EQ(kept, selectHighestScores(flat, 4));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST(VoicerSolveBasics, LargeCandidateListsAreCappedAtFiveHundred) {
    VoicerOptions options;
    options.style = VoicingStyle::Tessaro;
    options.maxNotes = 6;
    options.minNotes = 4;
    options.bottom = 36;
    options.top = 83;
    const Chord chord = chordOf("C9");
    VoicerPortCacheState cache;
    ASSERT_GT(generateCandidateVoicings(chord, options, cache, std::nullopt).list->size(), kCandidateCap);
    VoicerPort port;
    VoicerSolveStats stats;
    VoicerSolveSettings settings;
    settings.stats = &stats;
    clearAvlDebugLines();
    setAvlDebugEnabled(true);
    voicerSolve({chord, chordOf("F")}, options, {}, &port, settings);
    const std::vector<std::string> lines = takeAvlDebugLines();
    setAvlDebugEnabled(false);
    ASSERT_EQ(port.previousCandidates.front()->size(), kCandidateCap);
    const LearnedWeights w = effectiveCostWeights(options);
    double previous = std::numeric_limits<double>::infinity();
    for (const auto& v : *port.previousCandidates.front()) {
        const double own = voicingCost(v, chord, options, w, cache);
        EXPECT_LE(own, previous);
        previous = own;
    }
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[2].rfind("AVL beam candidates=500/", 0), 0u) << lines[2];
    EXPECT_EQ(lines[0].rfind("AVL chord[0] C9 unique=5 min=5 max=6 raw=", 0), 0u);
    EXPECT_NE(lines[0].find(" cache=miss"), std::string::npos);
}

struct TraceOn {
    TraceOn() {
        resetDiagnosticTrace();
        setDiagnosticTraceEnabled(true);
    }
    ~TraceOn() { resetDiagnosticTrace(); }
};

TEST(VoicerSolveReuse, UnchangedProgressionReusesEveryPosition) {
    std::mt19937 rng(3);
    const Segment s = randomSegment(rng, 5, 5);
    VoicerPort port;
    const auto first = voicerSolve(s.chords, s.options, s.fixed, &port);
    TraceOn trace;
    VoicerSolveStats stats;
    VoicerSolveSettings settings;
    settings.stats = &stats;
    clearAvlDebugLines();
    setAvlDebugEnabled(true);
    EXPECT_EQ(voicerSolve(s.chords, s.options, s.fixed, &port, settings), first);
    const std::vector<std::string> debug = takeAvlDebugLines();
    setAvlDebugEnabled(false);
    EXPECT_EQ(stats.reusedPrefix, s.chords.size());
    ASSERT_EQ(debug.size(), s.chords.size() + 2);
    const std::string expectedTail = " raw=" + std::to_string(port.previousCandidates[1]->size()) + " cache=retained";
    EXPECT_EQ(debug[1].substr(debug[1].size() - expectedTail.size()), expectedTail);
    EXPECT_EQ(debug[1].rfind("AVL chord[1] " + formatChordSymbol(s.chords[1]) + " unique=", 0), 0u);
    const std::vector<std::string> lines = diagnosticTraceLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("voicer_solve chords=5 gen_ms=", 0), 0u);
    EXPECT_NE(lines[0].find(" prefix=5 cands="), std::string::npos);
    EXPECT_NE(lines[0].find(" thread="), std::string::npos);
}

TEST(VoicerSolveReuse, EditedLastChordReusesTheRestAndMatchesAFreshSolve) {
    std::mt19937 rng(4);
    Segment s = randomSegment(rng, 5, 5);
    s.fixed.back() = std::nullopt;
    VoicerPort port;
    voicerSolve(s.chords, s.options, s.fixed, &port);
    s.chords.back() = chordOf(s.chords.back().symbol == "E7#9" ? "Db9" : "E7#9");
    VoicerSolveStats stats;
    VoicerSolveSettings settings;
    settings.stats = &stats;
    const auto edited = voicerSolve(s.chords, s.options, s.fixed, &port, settings);
    EXPECT_EQ(stats.reusedPrefix, s.chords.size() - 1);
    EXPECT_EQ(edited, voicerSolve(s.chords, s.options, s.fixed, nullptr));
}

TEST(VoicerSolveReuse, ChangedOptionsOrNoPortReuseNothing) {
    std::mt19937 rng(8);
    Segment s = randomSegment(rng, 4, 4);
    VoicerPort port;
    voicerSolve(s.chords, s.options, s.fixed, &port);
    s.options.style = s.options.style == VoicingStyle::Anthem ? VoicingStyle::Split : VoicingStyle::Anthem;
    VoicerSolveStats stats;
    VoicerSolveSettings settings;
    settings.stats = &stats;
    voicerSolve(s.chords, s.options, s.fixed, &port, settings);
    EXPECT_EQ(stats.reusedPrefix, 0u);

    voicerSolve(s.chords, s.options, s.fixed, nullptr, settings);
    EXPECT_EQ(stats.reusedPrefix, 0u);
    voicerSolve(s.chords, s.options, s.fixed, nullptr, settings);
    EXPECT_EQ(stats.reusedPrefix, 0u);
    EXPECT_GT(stats.candidateCacheHits, 0u) << "the thread's cache serves the second solve";
}

TEST(VoicerSolveReuse, FailedSolveLeavesThePortAsItWas) {
    VoicerOptions options;
    VoicerPort port;
    const std::vector<Chord> chords{chordOf("C"), chordOf("F")};
    voicerSolve(chords, options, {}, &port);
    const std::vector<std::string> symbols = port.previousSymbols;
    EXPECT_THROW(voicerSolve(chords, options, {std::nullopt}, &port), std::runtime_error);
    EXPECT_EQ(port.previousSymbols, symbols);
    EXPECT_TRUE(port.hasPrevious);
}

}  // namespace
}  // namespace quillex
