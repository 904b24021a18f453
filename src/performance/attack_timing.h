// Attack building blocks: note-value lengths, contours, spread by velocity, swing, page order and page timing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "document/attack_settings.h"
#include "document/rhythm_section.h"

namespace quillex {

// Onset offsets (in units of the spread) and velocity multipliers of one attack
// page, in the page's note order.
struct AttackPageTiming {
    std::vector<double> onsetOffsets;
    std::vector<double> velocityMultipliers;

    friend bool operator==(const AttackPageTiming&, const AttackPageTiming&) = default;
};

// Beats of a note value "1/N" with an optional "D" or "T"; throws std::runtime_error.
double parseAttackSpreadNoteValue(std::string_view text);

// The six-point contour at x in 0..1.
double evaluateContour(const AttackContour& contour, double x);

// Spread in beats at a velocity position (0 softest, 1 hardest), from the velocity-rate curve.
double spreadBeatsAtVelocityPosition(const AttackSettings& attack, double x);

// The time moved by the rhythm section's swing within its cycle.
double applySwing(double time, double cycleLength, const RhythmSection& rhythm);

// Indices into the chord's notes sorted ascending, in the order the page strikes them.
std::vector<std::size_t> resolveAttackPageOrder(const AttackSettings& attack, const AttackOrders& orders,
                                                std::size_t noteCount, std::size_t page);

// Strum offsets and velocity multipliers of `pageNotes`, each note ranked within `chordNotes`.
AttackPageTiming compileTriggerPage(std::span<const std::int32_t> pageNotes, std::span<const std::int32_t> chordNotes,
                                    const AttackSettings& attack, const AttackOrders& orders, std::size_t page);

// The seeded velocity hash: lowbias32 of (chordIndex + golden ratio) xor seed, as 0..1.
double attackVelocityHashUnit(std::uint32_t chordIndex, std::uint32_t seed);

namespace attack_detail {

// The contour's six values as floats, shared by the typed and the JSON forms.
struct ContourValues {
    double start = 0, mid = 0, midPosition = 50, end = 0, firstBend = 0, secondBend = 0;
};

ContourValues contourValues(const AttackContour& contour);
double evaluateContourValues(const ContourValues& contour, double x);
double spreadBeatsAtLevel(double level);
// Exponent shaping of a local position by a bend in percent.
double shapeByBend(double local, double bend);
// Note indices in strike order for a page's order kind: "down" reverses;
// "custom" takes the listed indices first (each once, others skipped), then
// the rest ascending; any other kind keeps the notes ascending.
std::vector<std::size_t> pageStrikeOrder(std::string_view kind, std::size_t noteCount,
                                         std::span<const std::uint64_t> custom);

// What page timing reads of an advanced attack once the page order is known.
struct PageTimingInputs {
    bool includeBass = true;
    std::int64_t minimum = 100;
    std::int64_t maximum = 100;
    std::uint32_t velocitySeed = 1;
    ContourValues rateContour;
    ContourValues velocityCurve;
    bool perNote = false;
};

// Onset offsets and velocity-curve factors by strike position for a sequence of some length:
// the same for every page of an attack, whatever the order and seed.
struct StrikeShape {
    std::vector<double> offsets;
    std::vector<double> curveFactors;
};

StrikeShape strikeShape(std::size_t count, const PageTimingInputs& inputs);

// Strike shapes by sequence length, for the pages of one slot's attack.
class StrikeShapeCache {
public:
    const StrikeShape& get(std::size_t count, const PageTimingInputs& inputs);

private:
    std::vector<std::optional<StrikeShape>> shapes_;
};

AttackPageTiming timePage(std::span<const std::int32_t> pageNotes, const std::vector<std::int32_t>& sortedChord,
                          const std::vector<std::size_t>& order, const PageTimingInputs& inputs,
                          StrikeShapeCache* cache = nullptr);

// compileTriggerPage on a chord already sorted, sharing strike shapes through the cache.
AttackPageTiming compileSortedTriggerPage(std::span<const std::int32_t> pageNotes,
                                          const std::vector<std::int32_t>& sortedChord, const AttackSettings& attack,
                                          const AttackOrders& orders, std::size_t page, StrikeShapeCache& cache);

}  // namespace attack_detail

}  // namespace quillex
