// Hit expansion and the row walk: every note of a phrase, a preview or live playback is made here.
#pragma once

#include <cstdint>

#include "performance/trigger_row.h"

namespace quillex {

// One note handed to a sink.
struct ExpandedNote {
    double onset;  // beats
    double end;    // beats, always more than the tolerance after onset
    double hitStart;
    std::uint64_t hitOrdinal;
    std::uint64_t noteIndex;  // 0..15 within the hit
    std::uint64_t rowSequence;
    std::uint8_t pitch;
    std::uint8_t velocity;  // 1..127

    friend bool operator==(const ExpandedNote&, const ExpandedNote&) = default;
};

// One strike of one page. Points into records owned by the caller.
struct HitExpansionRequest {
    const TriggerRow* row = nullptr;    // step flag and spread contour
    const TriggerPage* page = nullptr;  // onset offsets, velocity multipliers, note count
    const std::uint8_t* pitches = nullptr;
    const double* lengths = nullptr;  // beats from the hit start
    const double* velocityFactors = nullptr;
    std::uint64_t noteCount = 0;
    std::uint32_t velocity = 0;
    double hitStart = 0.0;
    double end = 0.0;  // no note passes it
    std::uint64_t hitOrdinal = 0;
    std::uint64_t rowSequence = 0;
};

// Receives each note as it is made; false stops the whole expansion. Never throws.
using NoteSink = bool (*)(void* context, const ExpandedNote& note) noexcept;

// Hands the hit's notes to the sink; false when the request is refused or the sink stopped.
// `emitted` tells whether at least one note reached the sink.
bool expandTriggerHit(const HitExpansionRequest& request, void* context, NoteSink sink, bool& emitted) noexcept;

// A whole page struck once: every note held `length` beats from the hit start, at
// full velocity factor. Chords, previews and live starts play their rows this way.
struct HeldPageHit {
    const TriggerRow* row = nullptr;
    const TriggerPage* page = nullptr;
    std::uint32_t velocity = 0;
    double hitStart = 0.0;
    double length = 0.0;
    double end = 0.0;  // no note passes it
    std::uint64_t hitOrdinal = 0;
    std::uint64_t rowSequence = 0;
};

// expandTriggerHit for a held page.
bool expandHeldPage(const HeldPageHit& hit, void* context, NoteSink sink, bool& emitted) noexcept;

// Walks `rowCount` rows from beat 0 over `length` beats, places each rhythmic row's hits
// cycle by cycle, picks each hit's page and expands it. `rowDurations` (optional, one per
// row) replaces the rows' durations; `contentRow` (optional) plays in every visited row;
// `velocityOverride` 0 keeps the row velocity; `pageOverride` -1 turns the round robin.
// False when the input is refused or an expansion failed.
bool renderTriggerRows(const TriggerRow* rows, std::uint64_t rowCount, double length, const double* rowDurations,
                       bool loop, bool restartPerRow, const TriggerRow* contentRow, std::uint32_t velocityOverride,
                       std::int32_t pageOverride, void* context, NoteSink sink) noexcept;

// A row visit may span at most this many rhythm cycles.
inline constexpr double kMaximumCyclesPerRowVisit = 1048576.0;
// Above this a double no longer counts cycles one by one.
inline constexpr double kLargestExactCycle = 9007199254740992.0;

}  // namespace quillex
