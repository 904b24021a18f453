// Move score bounds: exact terms from the outer notes, bounds for the terms that need the full alignment.
#include "voicing/move_bound.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "theory/pitch_class.h"

namespace quillex {
namespace {

double positive(double x) { return std::max(x, 0.0); }

// Sum over `from` of the distance to the nearest note of `to`.
std::int64_t nearestDistanceSum(const VoicingOutline& from, const VoicingOutline& to) {
    std::int64_t sum = 0;
    if (to.tabled && from.tabled) {
        for (const std::int32_t x : from.notes) sum += to.nearest[static_cast<std::size_t>(x)];
        return sum;
    }
    for (const std::int32_t x : from.notes) {
        std::int64_t best = std::numeric_limits<std::int64_t>::max();
        for (const std::int32_t y : to.notes) best = std::min<std::int64_t>(best, std::llabs(std::int64_t{x} - y));
        sum += best;
    }
    return sum;
}

}  // namespace

VoicingOutline outlineOf(std::span<const std::int32_t> notes) {
    VoicingOutline outline;
    outline.notes = notes;
    if (notes.empty()) return outline;
    outline.front = notes.front();
    outline.back = notes.back();
    outline.tabled = std::all_of(notes.begin(), notes.end(), [](std::int32_t n) { return n >= 0 && n < 128; });
    if (outline.tabled) {
        for (std::int32_t x = 0; x < 128; ++x) {
            std::int32_t best = 255;
            for (const std::int32_t y : notes) best = std::min(best, std::abs(x - y));
            outline.nearest[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(best);
        }
    }
    return outline;
}

std::int64_t movementLowerBound(const VoicingOutline& previous, const VoicingOutline& next) {
    if (previous.notes.empty() || next.notes.empty()) return 0;
    return std::max(nearestDistanceSum(previous, next), nearestDistanceSum(next, previous));
}

MoveBoundWeights::MoveBoundWeights(const LearnedWeights& w, const VoicerOptions& o, std::int64_t largestCountChange)
    : learned(w), alignedTerms(positive(w[0]) + positive(w[10])), bounded(w[11] <= 0.0) {
    const auto gated = [&](double weight, StyleMask styles) {
        return ruleTermApplies(weight, styles, o.style) ? weight : 0.0;
    };
    quick = bounded && w[8] <= 0.0 && gated(o.closedGapWeight, o.closedGapStyles) <= 0.0;
    quickSlack = alignedTerms + positive(w[1]) * static_cast<double>(std::max<std::int64_t>(largestCountChange, 0)) +
                 positive(w[6]) + positive(w[9]) + positive(gated(o.sameTopWeight, o.sameTopStyles));
    if (o.allowBassChanges) {
        quickSlack += positive(gated(o.sameBassWeight, o.sameBassStyles)) +
                      positive(gated(o.bassOctaveLeapWeight, o.bassOctaveLeapStyles));
    }
    if (!quick) quickSlack = std::numeric_limits<double>::infinity();
}

MoveScoreBound moveScoreUpperBound(const VoicingOutline& a, const VoicingOutline& b,
                                   const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord,
                                   const VoicerOptions& o, const MoveBoundWeights& bound) {
    if (!bound.bounded) return {std::numeric_limits<double>::infinity(), 0.0};
    const LearnedWeights& w = bound.learned;
    MoveScoreBound result;
    const auto add = [&](double term) {
        result.value += term;
        result.magnitude += std::fabs(term);
    };
    const std::int64_t aSize = static_cast<std::int64_t>(a.notes.size());
    const std::int64_t bSize = static_cast<std::int64_t>(b.notes.size());
    add(static_cast<double>(std::llabs(bSize - aSize)) * w[1]);
    if (aSize > 0 && bSize > 0) add(static_cast<double>(std::llabs(std::int64_t{b.back} - a.back)) * w[8]);
    if (aSize >= 2 && bSize >= 2) {
        const std::int64_t outer = std::int64_t{a.back} - a.front;
        const std::int32_t r = reducePitchClass(outer);
        if ((r == 0 || r == 7) && std::int64_t{b.back} - b.front == outer && b.front != a.front) add(w[9]);
        const std::int64_t nextOuter = std::int64_t{b.back} - b.front;
        const std::int64_t t = std::int64_t{b.back} - a.back;
        const std::int64_t u = std::int64_t{b.front} - a.front;
        if (nextOuter >= 1 && nextOuter % 12 == 0 && t * u >= 1 && std::llabs(t) >= 3 && std::llabs(u) >= 3) add(w[6]);
    }
    add(static_cast<double>(movementLowerBound(a, b)) * w[11]);
    add(bound.alignedTerms);
    add(transitionRuleCost(a.notes, b.notes, previousChord, nextChord, o));
    return result;
}

}  // namespace quillex
