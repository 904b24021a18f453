// Move score bounds never fall below the move's score, for any voicings and any weights.
#include "voicing/move_bound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "voicing/solver_team.h"

namespace quillex {
namespace {

std::vector<std::int32_t> randomVoicing(std::mt19937& rng, bool sorted) {
    std::vector<std::int32_t> notes(1 + rng() % 7);
    for (std::int32_t& note : notes) note = 24 + static_cast<std::int32_t>(rng() % 72);
    if (sorted) {
        std::sort(notes.begin(), notes.end());
        notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
    }
    return notes;
}

TEST(MoveBound, BoundsHoldOnRandomVoicingsAndWeights) {
    std::mt19937 rng(42);
    const ChordScoreFacts plain = chordScoreFacts(parseChordSymbol("C7").value());
    const ChordScoreFacts slash = chordScoreFacts(parseChordSymbol("D7/F#").value());
    int bounded = 0;
    for (int round = 0; round < 20000; ++round) {
        VoicerOptions o;
        o.style = static_cast<VoicingStyle>(rng() % 6);
        o.allowBassChanges = rng() % 2 == 0;
        LearnedWeights w = kLearnedWeightBase;
        // Flip some signs, including the ones the bounds depend on.
        for (double& weight : w) {
            if (rng() % 5 == 0) weight = -weight;
        }
        if (rng() % 4 == 0) o.sameTopWeight = 2.0;
        if (rng() % 4 == 0) o.sameBassWeight = 3.0;
        if (rng() % 6 == 0) o.closedGapWeight = 1.0;
        // Anchors may be given in any order; candidates are ascending.
        const std::vector<std::int32_t> a = randomVoicing(rng, rng() % 4 != 0);
        const std::vector<std::int32_t> b = randomVoicing(rng, rng() % 4 != 0);
        const ChordScoreFacts& fa = rng() % 2 ? plain : slash;
        const ChordScoreFacts& fb = rng() % 2 ? plain : slash;
        const VoicingOutline oa = outlineOf(a);
        const VoicingOutline ob = outlineOf(b);
        ASSERT_LE(movementLowerBound(oa, ob), matchVoices(a, b).movement) << round;
        const std::int64_t change =
            std::llabs(static_cast<std::int64_t>(a.size()) - static_cast<std::int64_t>(b.size()));
        const MoveBoundWeights weights(w, o, change + static_cast<std::int64_t>(rng() % 3));
        const double actual = transitionCost(a, b, fa, fb, o, w);
        const MoveScoreBound quick = quickMoveBound(oa, ob, weights);
        const MoveScoreBound full = moveScoreUpperBound(oa, ob, fa, fb, o, weights);
        ASSERT_GE(quick.value, actual - 1e-9) << round;
        ASSERT_GE(full.value, actual - 1e-9) << round;
        bounded += full.value < std::numeric_limits<double>::infinity() ? 1 : 0;
    }
    EXPECT_GT(bounded, 10000);  // the bounds are finite for most weights, or they would skip nothing
}

TEST(SolverTeam, EveryChunkRunsOnceAndTheFirstFailureReachesTheCaller) {
    for (const std::size_t threads : {1, 3}) {
        SolverTeam team(threads);
        for (const std::size_t count : {0, 1, 7, 1000}) {
            std::vector<int> visits(count, 0);
            team.forEachChunk(count, 8, [&](std::size_t begin, std::size_t end) {
                for (std::size_t i = begin; i < end; ++i) ++visits[i];
            });
            EXPECT_TRUE(std::all_of(visits.begin(), visits.end(), [](int v) { return v == 1; })) << count;
        }
        EXPECT_THROW(team.forEachChunk(100, 4,
                                       [](std::size_t begin, std::size_t) {
                                           if (begin == 40) throw std::runtime_error("chunk failed");
                                       }),
                     std::runtime_error);
        // The team still serves after a failure.
        std::atomic<int> total{0};
        team.forEachChunk(10, 1, [&](std::size_t, std::size_t) { ++total; });
        EXPECT_EQ(total.load(), 10);
    }
}

}  // namespace
}  // namespace quillex
