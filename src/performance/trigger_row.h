// The fixed-size trigger program records (page, hit, row) and the compilation of one slot into a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "document/progression_slot.h"
#include "document/rhythm_section.h"
#include "performance/attack_timing.h"
#include "performance/rhythm_pattern.h"

namespace quillex {

inline constexpr std::size_t kTriggerPagesPerRow = 8;
inline constexpr std::size_t kTriggerHitsPerRow = 16;
inline constexpr std::size_t kTriggerNotesPerPage = 16;
inline constexpr double kTriggerBeatEpsilon = 0.0001;

// One attack page: the notes of one strike with their strum offsets and velocity multipliers.
// Plain bytes: value-initialise (`TriggerPage page{}`) or reset before use.
struct TriggerPage {
    std::array<std::uint8_t, kTriggerNotesPerPage> pitches;
    std::array<double, kTriggerNotesPerPage> onsetOffsets;         // in units of the spread
    std::array<double, kTriggerNotesPerPage> velocityMultipliers;  // 1.0 = unchanged
    std::uint8_t noteCount;

    void reset();
    friend bool operator==(const TriggerPage&, const TriggerPage&) = default;
};

// One rhythm hit within the cycle, with its own attack pages over its own notes.
struct TriggerHit {
    double onset;  // beats within the cycle, after shift and swing
    std::array<std::uint8_t, kTriggerNotesPerPage> pitches;
    std::array<double, kTriggerNotesPerPage> lengths;  // beats from the contributing event's onset
    std::array<double, kTriggerNotesPerPage> velocityFactors;
    std::array<TriggerPage, kTriggerPagesPerRow> pages;
    std::uint8_t noteCount;
    std::uint8_t pageCount;

    void reset();
    friend bool operator==(const TriggerHit&, const TriggerHit&) = default;
};

// One compiled slot. A default row is a reset row: what a rest and an unused table position hold.
struct TriggerRow {
    std::uint8_t enabled;
    std::uint8_t rhythmic;
    std::uint8_t step;
    std::uint8_t globalFollow;
    std::array<TriggerPage, kTriggerPagesPerRow> pages;  // new-chord pages over the whole voicing
    double spreadAtSoftest;
    double spreadAtMiddle;
    double spreadAtHardest;
    double firstBend;
    double secondBend;
    std::uint8_t midPosition;
    std::array<TriggerHit, kTriggerHitsPerRow> hits;  // ascending onset
    std::uint8_t pageCount;
    std::uint8_t hitCount;
    double cycleLength;
    double duration;
    std::uint8_t velocity;

    TriggerRow() { reset(); }
    // Zeroes every byte, padding included, so equal rows are equal byte for byte,
    // then sets midPosition 50, cycleLength 4.0, duration 4.0 and velocity 100.
    void reset();
    friend bool operator==(const TriggerRow&, const TriggerRow&) = default;
};

static_assert(std::is_trivially_copyable_v<TriggerPage>);
static_assert(std::is_trivially_copyable_v<TriggerHit>);
static_assert(std::is_trivially_copyable_v<TriggerRow>);

// The rhythm a row is built from.
struct ResolvedRhythmPattern {
    std::int32_t lengthSteps = 16;
    std::vector<RhythmEvent> events;

    friend bool operator==(const ResolvedRhythmPattern&, const ResolvedRhythmPattern&) = default;
};

ResolvedRhythmPattern resolveRhythmPattern(const RhythmSection& rhythm);

// The notes a rhythm part sounds: "bass", "middle" or "top" of the sorted voicing.
std::vector<std::int32_t> selectRhythmPartNotes(std::span<const std::int32_t> voicedNotes, std::string_view part);

// Copies notes and timing into the page after checking count and pitches.
void fillTriggerPage(TriggerPage& page, std::span<const std::int32_t> notes, const AttackPageTiming& timing);

// One chord slot with its voiced notes under the document's rhythm. Throws std::runtime_error.
TriggerRow compileTriggerRow(const ProgressionSlot& slot, std::span<const std::int32_t> voicedNotes,
                             const RhythmSection& rhythm);

// As compileTriggerRow, into a row that is freshly reset; on failure the row is unusable and must be discarded.
void compileTriggerRowInto(TriggerRow& row, const ProgressionSlot& slot, std::span<const std::int32_t> voicedNotes,
                           const RhythmSection& rhythm);

// Spread in beats for a hit velocity (clamped to 1..127), from the row's spread contour.
double velocityToSpreadBeats(const TriggerRow& row, std::int32_t velocity);

}  // namespace quillex
