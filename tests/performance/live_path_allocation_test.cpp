// The live path allocates nothing: start, prepare, horizon, expansion and walk under a counting scope.
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "performance/trigger_playback.h"
#include "performance_samples.h"

namespace quillex {
namespace {

struct CountingSink {
    std::size_t notes = 0;
    static bool sink(void* context, const ExpandedNote&) noexcept {
        ++static_cast<CountingSink*>(context)->notes;
        return true;
    }
};

TEST(LivePathAllocation, StartPrepareHorizonExpandAndWalkAllocateNothing) {
    auto table = std::make_unique<TriggerRowTable>();
    table->valid = true;
    table->totalLength = 16.0;
    table->legato = true;
    const ProgressionSlot step = testing::chordSlot(testing::advancedAttack(8, true));
    table->rows[0] = compileTriggerRow(step, testing::spreadVoicing(16), testing::rhythmOf("sixteenth"));
    table->rows[1] = compileTriggerRow(step, testing::spreadVoicing(16), testing::rhythmOf("none"));
    auto state = std::make_unique<TriggerPlaybackState>();
    std::vector<MidiTransportEvent> events(kMaximumScheduledEventsPerBlock);
    std::size_t count = 0;
    CountingSink sink;

    testing::AllocationScope scope;
    EXPECT_EQ(startTriggerPlayback(*state, *table, 1, 100, 1, events.data(), events.size(), count), kTriggerStarted);
    EXPECT_GT(count, 0u);
    EXPECT_EQ(startTriggerPlayback(*state, *table, 0, 100, 2, events.data(), events.size(), count), kTriggerStarted);
    EXPECT_TRUE(renderTriggerHorizon(*state, 0.0, state->loopLength, events.data(), events.size(), count));
    EXPECT_GT(count, 0u);
    state->pageOverride = 3;
    state->prepared = false;
    EXPECT_TRUE(renderTriggerHorizon(*state, 4.0, 8.0, events.data(), events.size(), count));
    EXPECT_TRUE(prepareRhythmicTrigger(*state));
    EXPECT_FALSE(renderTriggerHorizon(*state, 0.0, 1e6, events.data(), events.size(), count));
    EXPECT_TRUE(
        renderTriggerRows(table->rows.data(), 2, 8.0, nullptr, true, false, nullptr, 0, -1, &sink, CountingSink::sink));
    resetTriggerPlayback(*state);
    const std::size_t allocations = scope.count();
    EXPECT_EQ(allocations, 0u);
    EXPECT_GT(sink.notes, 0u);
}

TEST(LivePathAllocation, TheScopeCountsOnlyItsOwnThreadWhileOpen) {
    auto outside = std::make_unique<int>(1);
    testing::AllocationScope scope;
    auto inside = std::make_unique<int>(2);
    std::vector<int> more(10);
    EXPECT_EQ(scope.count(), 2u);
    EXPECT_EQ(*outside + *inside + static_cast<int>(more.size()), 13);
}

}  // namespace
}  // namespace quillex
