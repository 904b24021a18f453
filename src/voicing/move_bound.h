// Upper bounds of a move's score from a few facts of its two voicings, so the search can skip hopeless moves.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>

#include "voicing/voicer_options.h"
#include "voicing/voicing_scores.h"

namespace quillex {

// What the bounds read of one candidate voicing, worked out once per candidate list.
struct VoicingOutline {
    std::span<const std::int32_t> notes;
    std::int32_t front = 0;
    std::int32_t back = 0;
    bool tabled = false;  // every note lies in 0..127 and `nearest` holds
    // Distance from each MIDI note to the nearest note of the voicing, at most 255.
    std::array<std::uint8_t, 128> nearest{};
};

VoicingOutline outlineOf(std::span<const std::int32_t> notes);

// The least total movement of any alignment of the two voicings: the
// alignment matches every note of each list at least once, at no less than
// the distance to the nearest note of the other.
std::int64_t movementLowerBound(const VoicingOutline& previous, const VoicingOutline& next);

// The weights the bounds read, worked out once per solve.
struct MoveBoundWeights {
    LearnedWeights learned{};
    double alignedTerms = 0.0;  // most the alignment-based terms (parallels, overlap) can add
    // Most the terms the quick bound leaves out can add: every positive weight
    // at its largest; infinite when one of them has no largest.
    double quickSlack = 0.0;
    bool bounded = false;  // the movement weight is a penalty, so its lower bound bounds it
    bool quick = false;    // the motion of the outer notes is a penalty too

    MoveBoundWeights() = default;
    MoveBoundWeights(const LearnedWeights& weights, const VoicerOptions& options, std::int64_t largestCountChange);
};

// A bound of the move score that is never below transitionCost for the same
// voicings, and the sum of the magnitudes of its terms (for rounding margins).
struct MoveScoreBound {
    double value = 0.0;
    double magnitude = 0.0;
};

// From the outer notes alone: the lowest notes are always paired and the top
// notes' motion is a term of its own. Infinite when the weights allow no bound.
inline MoveScoreBound quickMoveBound(const VoicingOutline& previous, const VoicingOutline& next,
                                     const MoveBoundWeights& weights) {
    if (!weights.quick || previous.notes.empty() || next.notes.empty()) {
        return {std::numeric_limits<double>::infinity(), 0.0};
    }
    const double bassMotion = next.front > previous.front ? next.front - previous.front : previous.front - next.front;
    const double topMotion = next.back > previous.back ? next.back - previous.back : previous.back - next.back;
    const double bass = bassMotion * weights.learned[11];
    const double top = topMotion * weights.learned[8];
    return {weights.quickSlack + bass + top, weights.quickSlack - bass - top};
}

// Every term the outer notes decide exactly, the rest bounded.
MoveScoreBound moveScoreUpperBound(const VoicingOutline& previous, const VoicingOutline& next,
                                   const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord,
                                   const VoicerOptions& options, const MoveBoundWeights& weights);

}  // namespace quillex
