// Live trigger playback: a slot row of the installed table turned into ordered MIDI events, window by window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "performance/hit_expansion.h"
#include "performance/trigger_row_table.h"

namespace quillex {

// The event buffer the host hands to a start or a horizon.
inline constexpr std::size_t kMaximumScheduledEventsPerBlock = 4096;
inline constexpr std::size_t kTriggerPreparedNoteCapacity = 2048;

struct MidiTransportEvent {
    double time;             // beats from the trigger start
    std::uint64_t voiceKey;  // pairs a note-off with its note-on; never 0
    std::uint8_t pitch;
    std::uint8_t velocity;      // 1..127 on a note-on, 0 on a note-off
    std::uint8_t noteOn;        // 1 note-on, 0 note-off
    std::uint8_t continuation;  // 1 on a note-on that continues a note tied under legato

    friend bool operator==(const MidiTransportEvent&, const MidiTransportEvent&) = default;
};

// A note of a strike begun before the page changed, at its beats from the trigger start
// and with the voice key it was sent with: it plays out as it began.
struct CarriedNote {
    double onset;
    double end;
    std::uint64_t voiceKey;
    std::uint8_t pitch;
    std::uint8_t velocity;

    friend bool operator==(const CarriedNote&, const CarriedNote&) = default;
};

// One per host object, about 180 KB: the owner keeps it on the heap. It points into the
// table it was started on, which must stay in place while it plays.
struct TriggerPlaybackState {
    const TriggerRowTable* table = nullptr;
    const TriggerRow* row = nullptr;
    std::uint32_t velocity = 100;
    std::uint64_t keyBase = 0;      // the playback number, mixed into every voice key
    std::uint64_t generation = 0;   // the table generation roundRobin belongs to
    std::uint64_t roundRobin = 0;   // page counter of non-rhythmic starts
    std::int8_t pageOverride = -1;  // the host clears `prepared` when it changes this
    double loopLength = 0.0;
    std::array<ExpandedNote, kTriggerPreparedNoteCapacity> preparedNotes{};
    std::uint64_t preparedCount = 0;
    bool prepared = false;
    // Strikes from this beat on play from the prepared notes; earlier ones, struck on an
    // earlier page, from the carried notes. 0 until the page changes during a loop.
    double preparedFrom = 0.0;
    std::array<CarriedNote, kTriggerPreparedNoteCapacity> carriedNotes{};
    std::uint64_t carriedCount = 0;
};

// Start statuses, worded "started", "ignored", "disabled" and "invalid" by the host.
inline constexpr std::uint8_t kTriggerStarted = 0;
inline constexpr std::uint8_t kTriggerIgnored = 1;
inline constexpr std::uint8_t kTriggerDisabled = 2;
inline constexpr std::uint8_t kTriggerInvalid = 3;

// Sink context writing notes as events with the key of cycle 0.
struct TriggerEventSink {
    MidiTransportEvent* events = nullptr;
    std::size_t capacity = 0;
    std::size_t count = 0;
    std::uint64_t keyBase = 0;
    bool withNoteOffs = false;
};

// Sink context copying notes into a fixed note buffer.
struct PreparedNoteSink {
    ExpandedNote* notes = nullptr;
    std::size_t capacity = 0;
    std::uint64_t count = 0;
};

bool emitTriggerMidiEvents(void* context, const ExpandedNote& note) noexcept;
bool storePreparedNote(void* context, const ExpandedNote& note) noexcept;

// The voice key of a note in loop cycle `cycle` (0 outside a loop).
std::uint64_t triggerVoiceKey(std::uint64_t hitOrdinal, std::uint64_t noteIndex, std::uint64_t keyBase,
                              std::uint64_t cycle) noexcept;

// Plays a row: a chord row's events at once, a rhythmic row's loop prepared for the horizons.
std::uint8_t startTriggerPlayback(TriggerPlaybackState& state, const TriggerRowTable& table, std::uint64_t rowIndex,
                                  std::int32_t velocity, std::uint64_t keyBase, MidiTransportEvent* events,
                                  std::size_t capacity, std::size_t& count) noexcept;

// Renders one loop of the playing rhythmic row into the prepared notes.
bool prepareRhythmicTrigger(TriggerPlaybackState& state) noexcept;

// The events of [fromBeat, throughBeat); false (and no events) when refused or over capacity.
// A stale preparation (a changed page) is made again for the strikes from fromBeat on; the
// strikes begun before it keep their page, so every note-on keeps the note-off it was sent with.
bool renderTriggerHorizon(TriggerPlaybackState& state, double fromBeat, double throughBeat, MidiTransportEvent* events,
                          std::size_t capacity, std::size_t& count) noexcept;

void resetTriggerPlayback(TriggerPlaybackState& state) noexcept;

// By time; events within the tolerance of a run's first time: note-offs first, then pitch, then voice key.
void sortMidiTransportEvents(MidiTransportEvent* first, MidiTransportEvent* last) noexcept;

}  // namespace quillex
