// Live trigger playback on fixed buffers: no allocation, no exception, no lock.
#include "performance/trigger_playback.h"

#include <algorithm>
#include <cmath>
#include <compare>

namespace quillex {
namespace {

constexpr double kEpsilon = kTriggerBeatEpsilon;

void clearPlayback(TriggerPlaybackState& state) {
    state.table = nullptr;
    state.row = nullptr;
    state.keyBase = 0;
    state.loopLength = 0.0;
    state.preparedCount = 0;
    state.prepared = false;
    state.preparedFrom = 0.0;
    state.carriedCount = 0;
}

// Exact times in IEEE total order, so even a NaN cannot break the sort.
bool earlier(const MidiTransportEvent& a, const MidiTransportEvent& b) { return std::strong_order(a.time, b.time) < 0; }

// Within one run of nearly equal times.
bool beforeInRun(const MidiTransportEvent& a, const MidiTransportEvent& b) {
    if (a.noteOn != b.noteOn) return a.noteOn < b.noteOn;
    if (a.pitch != b.pitch) return a.pitch < b.pitch;
    if (a.voiceKey != b.voiceKey) return a.voiceKey < b.voiceKey;
    if (a.velocity != b.velocity) return a.velocity < b.velocity;
    if (a.continuation != b.continuation) return a.continuation < b.continuation;
    return earlier(a, b);
}

bool prepareLoop(TriggerPlaybackState& state) {
    state.preparedCount = 0;
    state.prepared = false;
    PreparedNoteSink sink{state.preparedNotes.data(), state.preparedNotes.size(), 0};
    const bool ok = renderTriggerRows(state.row, 1, state.loopLength, nullptr, true, state.table->retriggerOnBlock,
                                      state.row, state.velocity, state.pageOverride, &sink, storePreparedNote);
    if (!ok) return false;
    state.preparedCount = sink.count;
    state.prepared = true;
    return true;
}

// Carried notes whose note-off lies before a window from `fromBeat` are wholly sent.
void dropSentCarriedNotes(TriggerPlaybackState& state, double fromBeat) {
    const double low = fromBeat - kEpsilon;
    std::uint64_t kept = 0;
    for (std::uint64_t n = 0; n < state.carriedCount; ++n) {
        if (state.carriedNotes[n].end >= low) state.carriedNotes[kept++] = state.carriedNotes[n];
    }
    state.carriedCount = kept;
}

// Before the loop is prepared again for a window from `fromBeat`: the strikes of the current
// preparation that began before the window are carried with their notes still to be sent, so
// they end as they were struck whatever the new page's timing.
bool carryBegunStrikes(TriggerPlaybackState& state, double fromBeat) {
    if (fromBeat <= state.preparedFrom) return true;
    const double low = fromBeat - kEpsilon;

    // A note lasts at most a loop: only this cycle and the one before hold notes still sounding.
    const double loop = state.loopLength;
    const double lastCycle = std::floor(fromBeat / loop);
    if (!(lastCycle < kLargestExactCycle)) return true;  // the horizon refuses such a window
    const double struckFrom = state.preparedFrom - kEpsilon;
    for (double c = std::max(lastCycle - 1.0, 0.0); c <= lastCycle; c += 1.0) {
        const double base = c * loop;
        const auto cycle = static_cast<std::uint64_t>(c);
        for (std::uint64_t n = 0; n < state.preparedCount; ++n) {
            const ExpandedNote& note = state.preparedNotes[n];
            const double struck = base + note.hitStart;
            if (struck < struckFrom || struck >= low || base + note.end < low) continue;
            if (state.carriedCount >= state.carriedNotes.size()) return false;
            state.carriedNotes[state.carriedCount++] = {
                base + note.onset, base + note.end,
                triggerVoiceKey(note.hitOrdinal, note.noteIndex, state.keyBase, cycle), note.pitch, note.velocity};
        }
    }
    return true;
}

struct HorizonWriter {
    MidiTransportEvent* events;
    std::size_t capacity;
    double low;  // the window, widened by the beat epsilon
    double high;
    std::size_t count = 0;

    bool append(const MidiTransportEvent& event) {
        if (count >= capacity) return false;
        events[count++] = event;
        return true;
    }

    // The note's on and off, each when it falls in the window; false when full.
    bool appendNote(double on, double off, std::uint64_t key, std::uint8_t pitch, std::uint8_t velocity) {
        if (low <= on && on < high && !append({on, key, pitch, velocity, 1, 0})) return false;
        return !(low <= off && off < high) || append({off, key, pitch, 0, 0, 0});
    }
};

// Drops each note-off that a same-pitch note-on at the same moment continues.
std::size_t tieLegatoNotes(MidiTransportEvent* events, std::size_t count) {
    // A removed note-off is marked by a zero voice key, which no event carries.
    std::size_t group = 0;
    while (group < count) {
        std::size_t end = group + 1;
        while (end < count && std::fabs(events[end].time - events[group].time) <= kEpsilon) ++end;
        for (std::size_t on = group; on < end; ++on) {
            if (!events[on].noteOn) continue;
            for (std::size_t off = group; off < end; ++off) {
                MidiTransportEvent& candidate = events[off];
                if (candidate.noteOn || candidate.voiceKey == 0 || candidate.pitch != events[on].pitch) continue;
                candidate.voiceKey = 0;
                events[on].continuation = 1;
                break;
            }
        }
        group = end;
    }
    const auto kept =
        std::remove_if(events, events + count, [](const MidiTransportEvent& e) { return e.voiceKey == 0; });
    return static_cast<std::size_t>(kept - events);
}

}  // namespace

std::uint64_t triggerVoiceKey(std::uint64_t hitOrdinal, std::uint64_t noteIndex, std::uint64_t keyBase,
                              std::uint64_t cycle) noexcept {
    return ((hitOrdinal + 1) << 8) ^ (noteIndex + 1) ^ (keyBase << 40) ^ ((cycle + 1) << 24);
}

bool emitTriggerMidiEvents(void* context, const ExpandedNote& note) noexcept {
    auto& sink = *static_cast<TriggerEventSink*>(context);
    const std::uint64_t key = triggerVoiceKey(note.hitOrdinal, note.noteIndex, sink.keyBase, 0);
    if (sink.count >= sink.capacity) return false;
    sink.events[sink.count++] = {note.onset, key, note.pitch, note.velocity, 1, 0};
    if (sink.withNoteOffs) {
        if (sink.count >= sink.capacity) return false;
        sink.events[sink.count++] = {note.end, key, note.pitch, 0, 0, 0};
    }
    return true;
}

bool storePreparedNote(void* context, const ExpandedNote& note) noexcept {
    auto& sink = *static_cast<PreparedNoteSink*>(context);
    if (sink.count >= sink.capacity) return false;
    sink.notes[sink.count++] = note;
    return true;
}

std::uint8_t startTriggerPlayback(TriggerPlaybackState& state, const TriggerRowTable& table, std::uint64_t rowIndex,
                                  std::int32_t velocity, std::uint64_t keyBase, MidiTransportEvent* events,
                                  std::size_t capacity, std::size_t& count) noexcept {
    count = 0;
    clearPlayback(state);
    if (!table.valid) return kTriggerDisabled;
    if (rowIndex >= kTriggerTableRows || velocity < 1 || velocity > 127) return kTriggerInvalid;
    if (!std::isfinite(table.totalLength) || table.totalLength <= kEpsilon) return kTriggerInvalid;
    const TriggerRow& row = table.rows[rowIndex];
    if (!row.enabled) return kTriggerIgnored;
    if (row.pageCount == 0 || row.pageCount > kTriggerPagesPerRow) return kTriggerInvalid;
    if (table.generation != state.generation) {
        state.generation = table.generation;
        state.roundRobin = 0;
    }
    state.table = &table;
    state.row = &row;
    state.velocity = static_cast<std::uint32_t>(velocity);
    state.keyBase = keyBase;

    if (row.rhythmic) {
        state.loopLength = table.retriggerOnBlock ? row.duration : row.cycleLength;
        if (!std::isfinite(state.loopLength) || state.loopLength <= kEpsilon || !prepareLoop(state)) {
            clearPlayback(state);
            return kTriggerInvalid;
        }
        return kTriggerStarted;
    }

    const std::uint64_t pageNumber =
        state.pageOverride >= 0 ? static_cast<std::uint64_t>(state.pageOverride) : state.roundRobin;
    const TriggerPage& page = row.pages[pageNumber % row.pageCount];
    const HeldPageHit hit{&row, &page, state.velocity, 0.0, table.totalLength, table.totalLength, 0, rowIndex};
    TriggerEventSink sink{events, capacity, 0, keyBase, row.step != 0};
    bool emitted = false;
    if (!expandHeldPage(hit, &sink, emitTriggerMidiEvents, emitted)) {
        clearPlayback(state);
        count = 0;
        return kTriggerInvalid;
    }
    if (state.pageOverride < 0 && emitted) ++state.roundRobin;
    sortMidiTransportEvents(events, events + sink.count);
    count = sink.count;
    return kTriggerStarted;
}

bool prepareRhythmicTrigger(TriggerPlaybackState& state) noexcept {
    state.preparedCount = 0;
    state.prepared = false;
    if (!state.table || !state.row || !state.row->rhythmic) return false;
    if (!std::isfinite(state.loopLength) || state.loopLength <= kEpsilon) return false;
    if (!prepareLoop(state)) {
        state.preparedCount = 0;
        return false;
    }
    return true;
}

bool renderTriggerHorizon(TriggerPlaybackState& state, double fromBeat, double throughBeat, MidiTransportEvent* events,
                          std::size_t capacity, std::size_t& count) noexcept {
    count = 0;
    if (!state.table || !state.row || !state.row->rhythmic) return false;
    if (!std::isfinite(fromBeat) || !std::isfinite(throughBeat) || fromBeat < 0.0 || fromBeat > throughBeat) {
        return false;
    }
    dropSentCarriedNotes(state, fromBeat);
    if (!state.prepared) {
        if (!carryBegunStrikes(state, fromBeat) || !prepareRhythmicTrigger(state)) return false;
        state.preparedFrom = std::max(state.preparedFrom, fromBeat);
    }
    if (state.preparedCount == 0 && state.carriedCount == 0) return true;

    const double loop = state.loopLength;
    const double firstCycle = std::max(std::floor(fromBeat / loop) - 1.0, 0.0);
    const double lastCycle = std::max(std::floor((throughBeat - kEpsilon) / loop), firstCycle);
    if (!(lastCycle < kLargestExactCycle)) return false;
    // Every note-on of a cycle lying wholly inside the window is written, so a window
    // holding more full cycles than the buffer takes overflows; two cycles spare absorb
    // rounding at the window's edges.
    const double fullCycles = std::floor(throughBeat / loop) - std::ceil(fromBeat / loop) - 2.0;
    if (fullCycles > 0.0 && fullCycles * static_cast<double>(state.preparedCount) > static_cast<double>(capacity)) {
        return false;
    }

    HorizonWriter writer{events, capacity, fromBeat - kEpsilon, throughBeat - kEpsilon};
    const double struckFrom = state.preparedFrom - kEpsilon;
    for (double c = firstCycle; c <= lastCycle; c += 1.0) {
        const double base = c * loop;
        const auto cycle = static_cast<std::uint64_t>(c);
        const bool wholeCycle = base >= struckFrom;
        for (std::uint64_t n = 0; n < state.preparedCount; ++n) {
            const ExpandedNote& note = state.preparedNotes[n];
            if (!wholeCycle && base + note.hitStart < struckFrom) continue;  // struck on an earlier page
            const std::uint64_t key = triggerVoiceKey(note.hitOrdinal, note.noteIndex, state.keyBase, cycle);
            if (!writer.appendNote(base + note.onset, base + note.end, key, note.pitch, note.velocity)) return false;
        }
    }
    for (std::uint64_t n = 0; n < state.carriedCount; ++n) {
        const CarriedNote& note = state.carriedNotes[n];
        if (!writer.appendNote(note.onset, note.end, note.voiceKey, note.pitch, note.velocity)) return false;
    }
    sortMidiTransportEvents(events, events + writer.count);
    count = state.table->legato ? tieLegatoNotes(events, writer.count) : writer.count;
    return true;
}

void resetTriggerPlayback(TriggerPlaybackState& state) noexcept { clearPlayback(state); }

void sortMidiTransportEvents(MidiTransportEvent* first, MidiTransportEvent* last) noexcept {
    std::sort(first, last, earlier);
    while (first != last) {
        MidiTransportEvent* run = first + 1;
        while (run != last && run->time - first->time <= kEpsilon) ++run;
        std::sort(first, run, beforeInRun);
        first = run;
    }
}

}  // namespace quillex
