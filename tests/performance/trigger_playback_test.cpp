// Live trigger playback: hand-derived starts and horizons, and properties on seeded random tables.
#include "performance/trigger_playback.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "performance_samples.h"
#include "trigger_samples.h"

namespace quillex {
namespace {

using testing::chordRow;
using testing::pageOf;
using testing::rhythmRow;
using testing::setSpread;

#ifdef QUILLEX_SANITIZED
constexpr int kPlaybackScale = 10;
#else
constexpr int kPlaybackScale = 1;
#endif

struct Playback {
    std::unique_ptr<TriggerRowTable> table = std::make_unique<TriggerRowTable>();
    std::unique_ptr<TriggerPlaybackState> state = std::make_unique<TriggerPlaybackState>();
    std::vector<MidiTransportEvent> events = std::vector<MidiTransportEvent>(kMaximumScheduledEventsPerBlock);
    std::size_t count = 0;

    explicit Playback(std::initializer_list<TriggerRow> rows, double totalLength = 8.0) {
        table->valid = true;
        table->totalLength = totalLength;
        std::size_t i = 0;
        for (const TriggerRow& row : rows) table->rows[i++] = row;
    }

    std::uint8_t start(std::uint64_t row = 0, std::int32_t velocity = 100, std::uint64_t keyBase = 0,
                       std::size_t capacity = kMaximumScheduledEventsPerBlock) {
        return startTriggerPlayback(*state, *table, row, velocity, keyBase, events.data(), capacity, count);
    }

    bool horizon(double from, double through, std::size_t capacity = kMaximumScheduledEventsPerBlock) {
        return renderTriggerHorizon(*state, from, through, events.data(), capacity, count);
    }

    std::vector<MidiTransportEvent> got() const { return {events.begin(), events.begin() + count}; }
};

MidiTransportEvent on(double time, std::uint64_t key, int pitch, int velocity = 100, int continuation = 0) {
    return {time,
            key,
            static_cast<std::uint8_t>(pitch),
            static_cast<std::uint8_t>(velocity),
            1,
            static_cast<std::uint8_t>(continuation)};
}

MidiTransportEvent off(double time, std::uint64_t key, int pitch) {
    return {time, key, static_cast<std::uint8_t>(pitch), 0, 0, 0};
}

std::uint64_t key(std::uint64_t ordinal, std::uint64_t note, std::uint64_t cycle = 0, std::uint64_t base = 0) {
    return triggerVoiceKey(ordinal, note, base, cycle);
}

TEST(TriggerStart, AnswersEachStatus) {
    Playback p({chordRow({pageOf({60})}), TriggerRow{}});
    p.table->valid = false;
    EXPECT_EQ(p.start(500), kTriggerDisabled);
    p.table->valid = true;
    EXPECT_EQ(p.start(128), kTriggerInvalid);
    EXPECT_EQ(p.start(0, 0), kTriggerInvalid);
    EXPECT_EQ(p.start(0, 128), kTriggerInvalid);
    EXPECT_EQ(p.start(1), kTriggerIgnored);
    p.table->totalLength = 0.0;
    EXPECT_EQ(p.start(0), kTriggerInvalid);
    p.table->totalLength = std::numeric_limits<double>::infinity();
    EXPECT_EQ(p.start(0), kTriggerInvalid);
    p.table->totalLength = 8.0;
    p.table->rows[0].pageCount = 0;
    EXPECT_EQ(p.start(0), kTriggerInvalid);
    p.table->rows[0].pageCount = 9;
    EXPECT_EQ(p.start(0), kTriggerInvalid);
    EXPECT_EQ(p.state->table, nullptr);
    p.table->rows[0].pageCount = 1;
    EXPECT_EQ(p.start(0), kTriggerStarted);
    EXPECT_EQ(p.state->row, &p.table->rows[0]);
}

TEST(TriggerStart, HoldChordSoundsNoteOnsOnly) {
    TriggerRow row = chordRow({pageOf({67, 60, 64, 72}, {0.75, 0.0, 0.5, 0.25})});
    setSpread(row, 0.1);
    Playback p({row});
    ASSERT_EQ(p.start(0, 90, 3), kTriggerStarted);
    const std::vector<MidiTransportEvent> expected = {
        on(0.0, key(0, 1, 0, 3), 60, 90), on(0.025, key(0, 3, 0, 3), 72, 90), on(0.05, key(0, 2, 0, 3), 64, 90),
        on(0.075, key(0, 0, 0, 3), 67, 90)};
    ASSERT_EQ(p.count, 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(p.events[i].time, expected[i].time, 1e-12);
        EXPECT_EQ(p.events[i].voiceKey, expected[i].voiceKey);
        EXPECT_EQ(p.events[i].pitch, expected[i].pitch);
        EXPECT_EQ(p.events[i].noteOn, 1);
    }
    // A horizon has nothing to do for a chord row.
    EXPECT_FALSE(p.horizon(0.0, 4.0));
}

TEST(TriggerStart, StepChordEndsEachNoteAtTheNextOnset) {
    TriggerRow row = chordRow({pageOf({60, 64, 67, 72}, {0.0, 0.25, 0.5, 0.75})}, 4.0, true);
    setSpread(row, 1.0);
    Playback p({row});
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_EQ(p.got(),
              (std::vector<MidiTransportEvent>{
                  on(0.0, key(0, 0), 60), off(0.25, key(0, 0), 60), on(0.25, key(0, 1), 64), off(0.5, key(0, 1), 64),
                  on(0.5, key(0, 2), 67), off(0.75, key(0, 2), 67), on(0.75, key(0, 3), 72), off(8.0, key(0, 3), 72)}));
    // Eight events do not fit in seven: the start fails whole and leaves the state idle.
    EXPECT_EQ(p.start(0, 100, 0, 7), kTriggerInvalid);
    EXPECT_EQ(p.count, 0u);
    EXPECT_EQ(p.state->row, nullptr);
}

TEST(TriggerStart, ChordPagesTurnRoundRobinPerGeneration) {
    Playback p({chordRow({pageOf({60}), pageOf({62}), pageOf({64})})});
    std::vector<int> pitches;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(p.start(), kTriggerStarted);
        pitches.push_back(p.events[0].pitch);
    }
    EXPECT_EQ(pitches, (std::vector<int>{60, 62, 64, 60}));
    p.state->pageOverride = 2;
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_EQ(p.events[0].pitch, 64);
    EXPECT_EQ(p.state->roundRobin, 4u);  // an override does not turn it
    p.state->pageOverride = -1;
    p.table->generation = 9;
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_EQ(p.events[0].pitch, 60);
    EXPECT_EQ(p.state->generation, 9u);
}

TEST(TriggerHorizon, LoopsEveryCycleWithoutRetrigger) {
    Playback p({rhythmRow({pageOf({60})}, 4.0, 8.0, {0.0, 2.0}, 1.0)});
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_EQ(p.count, 0u);
    EXPECT_EQ(p.state->loopLength, 4.0);
    EXPECT_EQ(p.state->preparedCount, 2u);
    ASSERT_TRUE(p.horizon(0.0, 4.0));
    EXPECT_EQ(p.got(), (std::vector<MidiTransportEvent>{on(0, key(0, 0), 60), off(1, key(0, 0), 60),
                                                        on(2, key(1, 0), 60), off(3, key(1, 0), 60)}));
    ASSERT_TRUE(p.horizon(4.0, 8.0));
    EXPECT_EQ(p.got(), (std::vector<MidiTransportEvent>{on(4, key(0, 0, 1), 60), off(5, key(0, 0, 1), 60),
                                                        on(6, key(1, 0, 1), 60), off(7, key(1, 0, 1), 60)}));
}

TEST(TriggerHorizon, RetriggerLoopsEverySlotAndCarriesNoteOffsIntoTheNextWindow) {
    Playback p({rhythmRow({pageOf({60})}, 4.0, 6.0, {0.0, 2.0}, 3.0)});
    p.table->retriggerOnBlock = true;
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_EQ(p.state->loopLength, 6.0);
    ASSERT_TRUE(p.horizon(6.0, 12.0));
    // Cycle 0's third hit (at 4, cut at 6) ends in this window; the grid restarts at 6.
    EXPECT_EQ(p.got(), (std::vector<MidiTransportEvent>{off(6, key(2, 0), 60), on(6, key(0, 0, 1), 60),
                                                        on(8, key(1, 0, 1), 60), off(9, key(0, 0, 1), 60),
                                                        on(10, key(2, 0, 1), 60), off(11, key(1, 0, 1), 60)}));
}

TEST(TriggerHorizon, EventAtTheWindowEdgeBelongsToTheNextWindow) {
    Playback p({rhythmRow({pageOf({60})}, 4.0, 4.0, {2.5 - kTriggerBeatEpsilon}, 1.0)});
    ASSERT_EQ(p.start(), kTriggerStarted);
    ASSERT_TRUE(p.horizon(0.0, 2.5));
    EXPECT_EQ(p.count, 0u);
    ASSERT_TRUE(p.horizon(2.5, 4.0));
    EXPECT_EQ(p.count, 2u);
}

TEST(TriggerHorizon, LegatoTiesTheSamePitchAcrossCycles) {
    Playback p({rhythmRow({pageOf({60, 64})}, 4.0, 4.0, {0.0}, 4.0)});
    p.table->legato = true;
    ASSERT_EQ(p.start(), kTriggerStarted);
    ASSERT_TRUE(p.horizon(0.0, 8.0));
    EXPECT_EQ(p.got(),
              (std::vector<MidiTransportEvent>{on(0, key(0, 0), 60), on(0, key(0, 1), 64),
                                               on(4, key(0, 0, 1), 60, 100, 1), on(4, key(0, 1, 1), 64, 100, 1)}));
    p.table->legato = false;
    ASSERT_TRUE(p.horizon(0.0, 8.0));
    EXPECT_EQ(p.count, 6u);
}

TEST(TriggerHorizon, VoiceKeysDifferByCycleAndPlayback) {
    EXPECT_NE(key(0, 0, 0, 1), key(0, 0, 1, 1));
    EXPECT_NE(key(0, 0, 0, 1), key(0, 0, 0, 2));
    EXPECT_EQ(key(0, 0, 0, 1) & 0xff, 1u);
}

TEST(TriggerHorizon, OverflowAndRefusalsLeaveAnEmptyBuffer) {
    Playback p({rhythmRow({pageOf({60})}, 4.0, 4.0, {0.0, 1.0, 2.0, 3.0}, 0.5)});
    EXPECT_FALSE(p.horizon(0.0, 4.0));  // idle
    ASSERT_EQ(p.start(), kTriggerStarted);
    EXPECT_TRUE(p.horizon(0.0, 4.0, 8));
    EXPECT_EQ(p.count, 8u);
    EXPECT_FALSE(p.horizon(0.0, 4.0, 7));
    EXPECT_EQ(p.count, 0u);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [from, through] : std::vector<std::pair<double, double>>{
             {nan, 4.0}, {0.0, nan}, {0.0, inf}, {-1.0, 4.0}, {5.0, 4.0}, {0.0, 1e300}, {1e300, 1e300}, {1e17, 1e17}}) {
        p.count = 99;
        EXPECT_FALSE(p.horizon(from, through)) << from << " " << through;
        EXPECT_EQ(p.count, 0u);
    }
    EXPECT_TRUE(p.horizon(4.0, 4.0));
    EXPECT_EQ(p.count, 0u);
    // Far along, but still counted cycle by cycle.
    ASSERT_TRUE(p.horizon(4e12, 4e12 + 4.0));
    ASSERT_EQ(p.count, 8u);
    EXPECT_EQ(p.events[0].voiceKey, key(0, 0, 1000000000000ull));
    EXPECT_EQ(p.events[0].time, 4e12);

    // More than 2048 notes in one loop: 9 cycles of 256 notes.
    TriggerRow dense = testing::randomRhythmRow(*std::make_unique<std::mt19937>(1));
    dense.pageCount = 1;
    dense.hitCount = 16;
    for (std::size_t h = 0; h < 16; ++h) {
        dense.hits[h] = dense.hits[0];
        dense.hits[h].onset = 0.25 * static_cast<double>(h);
        dense.hits[h].noteCount = 16;
        dense.hits[h].pageCount = 1;
        dense.hits[h].pages[0] = pageOf({30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45});
        for (std::size_t k = 0; k < 16; ++k) dense.hits[h].lengths[k] = 0.25;
        for (std::size_t k = 0; k < 16; ++k) dense.hits[h].velocityFactors[k] = 1.0;
    }
    setSpread(dense, 0.0);
    dense.cycleLength = 4.0;
    dense.duration = 32.0;
    Playback q({dense});
    q.table->retriggerOnBlock = true;
    EXPECT_EQ(q.start(), kTriggerStarted);
    EXPECT_EQ(q.state->preparedCount, 2048u);
    q.table->rows[0].duration = 36.0;
    EXPECT_EQ(q.start(), kTriggerInvalid);
    EXPECT_EQ(q.state->row, nullptr);
}

TEST(TriggerHorizon, StalePreparationFollowsTheNewPageAndResetKeepsCounters) {
    // The pages of a hit share its pitches; the second page plays at half velocity.
    TriggerPage soft = pageOf({60});
    soft.velocityMultipliers[0] = 0.5;
    Playback p({rhythmRow({pageOf({60}), soft}, 4.0, 4.0, {0.0, 1.0})});
    ASSERT_EQ(p.start(0, 90, 7), kTriggerStarted);
    ASSERT_TRUE(p.horizon(0.0, 4.0));
    EXPECT_EQ(p.events[0].velocity, 90);
    EXPECT_EQ(p.events[2].velocity, 45);
    p.state->pageOverride = 1;
    p.state->prepared = false;
    ASSERT_TRUE(p.horizon(0.0, 4.0));
    EXPECT_EQ(p.events[0].velocity, 45);
    EXPECT_EQ(p.events[2].velocity, 45);

    p.state->roundRobin = 5;
    resetTriggerPlayback(*p.state);
    EXPECT_EQ(p.state->table, nullptr);
    EXPECT_EQ(p.state->row, nullptr);
    EXPECT_EQ(p.state->keyBase, 0u);
    EXPECT_EQ(p.state->loopLength, 0.0);
    EXPECT_EQ(p.state->preparedCount, 0u);
    EXPECT_FALSE(p.state->prepared);
    EXPECT_EQ(p.state->velocity, 90u);
    EXPECT_EQ(p.state->roundRobin, 5u);
    EXPECT_EQ(p.state->pageOverride, 1);
    EXPECT_FALSE(p.horizon(0.0, 4.0));
}

// --- properties on seeded random tables ---

// The horizon as first written: every cycle of the window, one append at a time.
bool plainHorizon(const TriggerPlaybackState& state, double from, double through, std::vector<MidiTransportEvent>& out,
                  std::size_t capacity) {
    out.clear();
    const double loop = state.loopLength;
    const auto firstCycle = static_cast<std::int64_t>(std::max(std::floor(from / loop) - 1, 0.0));
    const auto lastCycle =
        std::max(static_cast<std::int64_t>(std::floor((through - kTriggerBeatEpsilon) / loop)), firstCycle);
    for (std::int64_t c = firstCycle; c <= lastCycle; ++c) {
        const double base = static_cast<double>(c) * loop;
        for (std::uint64_t n = 0; n < state.preparedCount; ++n) {
            const ExpandedNote& note = state.preparedNotes[n];
            const std::uint64_t k =
                triggerVoiceKey(note.hitOrdinal, note.noteIndex, state.keyBase, static_cast<std::uint64_t>(c));
            if (from - kTriggerBeatEpsilon <= base + note.onset && base + note.onset < through - kTriggerBeatEpsilon) {
                if (out.size() >= capacity) return out.clear(), false;
                out.push_back({base + note.onset, k, note.pitch, note.velocity, 1, 0});
            }
            if (from - kTriggerBeatEpsilon <= base + note.end && base + note.end < through - kTriggerBeatEpsilon) {
                if (out.size() >= capacity) return out.clear(), false;
                out.push_back({base + note.end, k, note.pitch, 0, 0, 0});
            }
        }
    }
    sortMidiTransportEvents(out.data(), out.data() + out.size());
    if (!state.table->legato) return true;
    std::vector<bool> removed(out.size(), false);
    for (std::size_t g = 0; g < out.size();) {
        std::size_t end = g + 1;
        while (end < out.size() && std::fabs(out[end].time - out[g].time) <= kTriggerBeatEpsilon) ++end;
        for (std::size_t i = g; i < end; ++i) {
            if (!out[i].noteOn) continue;
            for (std::size_t j = g; j < end; ++j) {
                if (!out[j].noteOn && !removed[j] && out[j].pitch == out[i].pitch) {
                    removed[j] = true;
                    out[i].continuation = 1;
                    break;
                }
            }
        }
        g = end;
    }
    std::vector<MidiTransportEvent> kept;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!removed[i]) kept.push_back(out[i]);
    }
    out = kept;
    return true;
}

// A row compiled from a built-in pattern with a random attack, or a random hand row.
TriggerRow randomTableRow(std::mt19937& rng) {
    if (rng() % 2 == 0) return testing::randomRhythmRow(rng);
    const auto& patterns = builtInRhythmPatterns();
    const std::string& id = patterns[rng() % patterns.size()].id;
    const AttackSettings attack = rng() % 2 ? testing::advancedAttack(1 + rng() % 8, rng() % 2 == 0) : AttackSettings{};
    ProgressionSlot slot = testing::chordSlot(attack, 0.25 * static_cast<double>(1 + rng() % 32));
    slot.velocity = static_cast<std::int32_t>(1 + rng() % 127);
    return compileTriggerRow(slot, testing::spreadVoicing(1 + static_cast<int>(rng() % 8)),
                             testing::rhythmOf(id, static_cast<std::int32_t>(rng() % 5)));
}

struct RandomPlayback : Playback {
    explicit RandomPlayback(std::mt19937& rng) : Playback({randomTableRow(rng)}) {
        table->retriggerOnBlock = rng() % 2 == 0;
        table->legato = rng() % 3 == 0;
        state->pageOverride = static_cast<std::int8_t>(rng() % 3 == 0 ? static_cast<int>(rng() % 8) : -1);
    }
};

// Sorted: the times cut into runs (each run's times within the tolerance of its earliest)
// appear run by run, and inside a run note-offs come first, then pitch, then voice key.
bool sortedInRuns(const std::vector<MidiTransportEvent>& events) {
    std::vector<double> times;
    for (const MidiTransportEvent& e : events) times.push_back(e.time);
    std::sort(times.begin(), times.end());
    const auto keyOf = [](const MidiTransportEvent& e) { return std::make_tuple(e.noteOn, e.pitch, e.voiceKey); };
    for (std::size_t i = 0; i < times.size();) {
        std::size_t end = i + 1;
        while (end < times.size() && times[end] - times[i] <= kTriggerBeatEpsilon) ++end;
        std::vector<double> got;
        for (std::size_t j = i; j < end; ++j) {
            got.push_back(events[j].time);
            if (j > i && keyOf(events[j]) < keyOf(events[j - 1])) return false;
        }
        std::sort(got.begin(), got.end());
        if (!std::equal(got.begin(), got.end(), times.begin() + static_cast<std::ptrdiff_t>(i))) return false;
        i = end;
    }
    return true;
}

TEST(TriggerHorizonProperties, SplitWindowsPairedNotesAndSortedEvents) {
    std::mt19937 rng(0x51a7e5u);
    int split = 0;
    for (int round = 0; round < 400 / kPlaybackScale; ++round) {
        RandomPlayback p(rng);
        if (p.start(0, static_cast<std::int32_t>(1 + rng() % 127), rng() % 4) != kTriggerStarted) continue;
        const double loop = p.state->loopLength;
        const double a = std::uniform_real_distribution<double>(0.0, 4.0 * loop)(rng);
        const double b = a + std::uniform_real_distribution<double>(0.0, 2.0 * loop)(rng);
        const double c = b + std::uniform_real_distribution<double>(0.0, 2.0 * loop)(rng);
        if (!p.horizon(a, c)) continue;  // over capacity
        const std::vector<MidiTransportEvent> whole = p.got();

        // Sorted, paired, and split invariance unless an event lies near b: all judged before legato ties.
        const bool legato = p.table->legato;
        p.table->legato = false;
        ASSERT_TRUE(p.horizon(a, c));
        EXPECT_TRUE(sortedInRuns(p.got()));
        const bool nearB = std::any_of(p.events.begin(), p.events.begin() + p.count, [&](const MidiTransportEvent& e) {
            return std::fabs(e.time - b) <= 3 * kTriggerBeatEpsilon;
        });
        // Pairing without legato: each note-off has one earlier note-on of its key.
        std::map<std::uint64_t, std::pair<int, int>> byKey;
        for (std::size_t i = 0; i < p.count; ++i) {
            const MidiTransportEvent& e = p.events[i];
            auto& [ons, offs] = byKey[e.voiceKey];
            if (e.noteOn) {
                ++ons;
            } else {
                ++offs;
                if (e.time >= a + loop) {
                    EXPECT_EQ(ons, 1) << "note-off before its note-on";
                }
            }
            EXPECT_LE(ons, 1);
            EXPECT_LE(offs, 1);
        }
        p.table->legato = legato;
        if (nearB) continue;
        std::vector<MidiTransportEvent> joined;
        ASSERT_TRUE(p.horizon(a, b));
        joined = p.got();
        ASSERT_TRUE(p.horizon(b, c));
        const std::vector<MidiTransportEvent> second = p.got();
        joined.insert(joined.end(), second.begin(), second.end());
        ASSERT_EQ(joined, whole) << a << " " << b << " " << c;
        ++split;
    }
    EXPECT_GT(split, 100 / kPlaybackScale);
}

TEST(TriggerHorizonProperties, EarlyAnswersEqualThePlainLoop) {
    std::mt19937 rng(0xea51u);
    std::vector<MidiTransportEvent> expected;
    int windows = 0;
    while (windows < 10000 / kPlaybackScale) {
        RandomPlayback p(rng);
        if (rng() % 8 == 0) p.table->rows[0].hitCount = 0;  // nothing prepared
        if (p.start(0, static_cast<std::int32_t>(1 + rng() % 127), rng() % 4) != kTriggerStarted) continue;
        for (int w = 0; w < 20; ++w, ++windows) {
            const double loop = p.state->loopLength;
            const double from = std::uniform_real_distribution<double>(0.0, 64.0 * loop)(rng);
            const double span = std::pow(2.0, std::uniform_real_distribution<double>(-8.0, 12.0)(rng)) * loop;
            const double through = from + span;
            const std::size_t capacity = std::vector<std::size_t>{4096, 700, 64, 1}[rng() % 4];
            const bool ok = p.horizon(from, through, capacity);
            const bool plain = plainHorizon(*p.state, from, through, expected, capacity);
            ASSERT_EQ(ok, plain) << from << " " << through << " " << capacity;
            ASSERT_EQ(p.got(), expected) << from << " " << through;
        }
    }
}

// --- page changes while a loop plays ---

// Hears a whole event stream: each token struck once and silenced once, no pitch struck while
// it sounds (a legato continuation takes the sounding note over), and at the stop nothing
// struck more than a loop ago still sounds, since no note is longer.
struct PageChangeListener {
    std::map<int, std::pair<std::uint64_t, double>> sounding;  // pitch: token, struck at
    std::set<std::uint64_t> struck;
    std::string fault;  // the first wrong thing heard

    void hear(const MidiTransportEvent& e) {
        const auto playing = sounding.find(e.pitch);
        const bool sounds = playing != sounding.end();
        std::string wrong;
        if (!e.noteOn) {
            if (!sounds || playing->second.first != e.voiceKey) wrong = "note-off of a silent token";
            if (wrong.empty()) sounding.erase(playing);
        } else if (!struck.insert(e.voiceKey).second) {
            wrong = "token struck twice";
        } else if ((e.continuation != 0) != sounds) {
            wrong = sounds ? "pitch struck while it sounds" : "continuation of a silent pitch";
        } else {
            sounding[e.pitch] = {e.voiceKey, e.time};
        }
        if (fault.empty() && !wrong.empty()) fault = wrong + " at " + std::to_string(e.time);
    }
    void stop(double at, double loop) {
        for (const auto& [pitch, token] : sounding) {
            if (fault.empty() && token.second < at - loop - kTriggerBeatEpsilon) {
                fault = "stuck since " + std::to_string(token.second);
            }
        }
    }
};

// Plays as the host does: the start's window [0, loop), then windows of `width` beats up to
// six loops, window k asking for page pageAt(k) (a change prepares the loop again), then the
// stop. Gives each window's events; the listener hears them all.
template <typename PageAt>
std::vector<std::vector<MidiTransportEvent>> playPages(Playback& p, std::int32_t velocity, double width, PageAt pageAt,
                                                       PageChangeListener& listener, std::vector<double>& edges) {
    std::vector<std::vector<MidiTransportEvent>> windows;
    p.state->pageOverride = static_cast<std::int8_t>(pageAt(0));
    EXPECT_EQ(p.start(0, velocity, 5), kTriggerStarted);
    const double loop = p.state->loopLength;
    edges = {0.0};
    for (double edge = loop; edge < 6.0 * loop + kTriggerBeatEpsilon; edge += width) edges.push_back(edge);
    for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
        if (pageAt(k) != p.state->pageOverride) {
            p.state->pageOverride = static_cast<std::int8_t>(pageAt(k));
            p.state->prepared = false;
        }
        EXPECT_TRUE(p.horizon(edges[k], edges[k + 1]));
        windows.push_back(p.got());
        for (const MidiTransportEvent& e : windows.back()) listener.hear(e);
    }
    listener.stop(edges.back(), loop);
    resetTriggerPlayback(*p.state);
    return windows;
}

// Strummed programs (hold and step gates, legato on and off, cycle and slot loops, long and
// short strums over two or three pages): round robin, page 1 from one window boundary, page 0
// two windows later, at every boundary of the first three loops.
TEST(TriggerPageChange, EveryNoteKeepsItsNoteOffAndTheNewPageTakesOverAfterALoop) {
    int changes = 0;
    for (const char* pattern : {"eighth", "split-5", "funk-4"}) {
        for (int flags = 0; flags < 16; ++flags) {
            AttackSettings attack = testing::advancedAttack(flags & 8 ? 3 : 2, true);
            attack.gate = flags & 1 ? "step" : "hold";
            const bool retrigger = (flags & 4) != 0;
            Playback p({compileTriggerRow(testing::chordSlot(attack, retrigger ? 6.0 : 4.0), testing::spreadVoicing(5),
                                          testing::rhythmOf(pattern))});
            p.table->legato = (flags & 2) != 0;
            p.table->retriggerOnBlock = retrigger;
            const std::int32_t velocity = flags & 8 ? 90 : 20;  // a short strum, a long one
            for (const double width : {1.0, 0.3}) {
                std::vector<double> edges;
                PageChangeListener alone;
                const auto onlyPage0 = [](std::size_t) { return 0; };
                const auto page0 = playPages(p, velocity, width, onlyPage0, alone, edges);
                ASSERT_EQ(alone.fault, "") << pattern << " flags " << flags;
                const double loop = edges[1];
                for (std::size_t j = 1; edges[j] < 3.0 * loop; ++j, ++changes) {
                    PageChangeListener listener;
                    const auto pageAt = [j](std::size_t k) { return k < j ? -1 : (k < j + 2 ? 1 : 0); };
                    const auto windows = playPages(p, velocity, width, pageAt, listener, edges);
                    ASSERT_EQ(listener.fault, "") << pattern << " flags " << flags << " change at " << edges[j];
                    // A loop after the last change the stream is page 0's alone.
                    for (std::size_t k = j + 2; k < windows.size(); ++k) {
                        if (edges[k] > edges[j + 2] + loop + 0.01) {
                            ASSERT_EQ(windows[k], page0[k]) << edges[k];
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(changes, 1000);
}

}  // namespace
}  // namespace quillex
