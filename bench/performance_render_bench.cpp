// Live playback and clip rendering, each with its heap allocations per call. Targets: worst-case horizon
// (16 notes, "sixteenth", 8 pages) under 15/50/200 µs for 1/4/16 beats; rhythmic start of 256 notes under
// 50 µs; 16-note step chord start under 5 µs; "clip_payload" of 128 four-beat slots under 15 ms with the
// phrase render under 5 ms; "preview" under 100 µs.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "session/document_session.h"
#include "session/render_performance_request.h"
#include "performance/trigger_playback.h"
#include "tests/support/document_samples.h"
#include "tests/performance/allocation_counter.h"
#include "tests/performance/performance_samples.h"

namespace quillex {
namespace {

void reportAllocations(benchmark::State& state, const testing::AllocationScope& scope) {
    state.counters["allocs_per_call"] = static_cast<double>(scope.count()) /
                                        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

struct LiveRig {
    std::unique_ptr<TriggerRowTable> table = std::make_unique<TriggerRowTable>();
    std::unique_ptr<TriggerPlaybackState> state = std::make_unique<TriggerPlaybackState>();
    std::vector<MidiTransportEvent> events = std::vector<MidiTransportEvent>(kMaximumScheduledEventsPerBlock);
    std::size_t count = 0;

    LiveRig(const AttackSettings& attack, int notes, const char* pattern) {
        table->valid = true;
        table->totalLength = 16.0;
        table->rows[0] =
            compileTriggerRow(testing::chordSlot(attack), testing::spreadVoicing(notes), testing::rhythmOf(pattern));
    }

    std::uint8_t start() {
        return startTriggerPlayback(*state, *table, 0, 100, 1, events.data(), events.size(), count);
    }
};

void BM_TriggerHorizonWorstCase(benchmark::State& state) {
    LiveRig rig(testing::advancedAttack(8, true), 16, "sixteenth");
    if (rig.start() != kTriggerStarted) state.SkipWithError("start failed");
    const double beats = static_cast<double>(state.range(0));
    testing::AllocationScope scope;
    for (auto _ : state) {
        if (!renderTriggerHorizon(*rig.state, 4.0, 4.0 + beats, rig.events.data(), rig.events.size(), rig.count)) {
            state.SkipWithError("horizon failed");
        }
        benchmark::DoNotOptimize(rig.count);
    }
    reportAllocations(state, scope);
    state.counters["events"] = static_cast<double>(rig.count);
}
BENCHMARK(BM_TriggerHorizonWorstCase)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_TriggerStartRhythmic256Notes(benchmark::State& state) {
    LiveRig rig(AttackSettings{}, 16, "sixteenth");
    testing::AllocationScope scope;
    for (auto _ : state) {
        if (rig.start() != kTriggerStarted) state.SkipWithError("start failed");
    }
    reportAllocations(state, scope);
    state.counters["prepared"] = static_cast<double>(rig.state->preparedCount);
}
BENCHMARK(BM_TriggerStartRhythmic256Notes)->Unit(benchmark::kMicrosecond);

void BM_TriggerStartStepChord16Notes(benchmark::State& state) {
    LiveRig rig(testing::advancedAttack(8, true), 16, "none");
    testing::AllocationScope scope;
    for (auto _ : state) {
        if (rig.start() != kTriggerStarted) state.SkipWithError("start failed");
        benchmark::DoNotOptimize(rig.count);
    }
    reportAllocations(state, scope);
    state.counters["events"] = static_cast<double>(rig.count);
}
BENCHMARK(BM_TriggerStartStepChord16Notes)->Unit(benchmark::kMicrosecond);

// 128 four-beat chord slots under "sixteenth" with legato, resolved once.
struct RenderRig {
    DocumentSession session;
    RevisionPtr revision;

    RenderRig() {
        nlohmann::json document = testing::documentWithSlots(128);
        for (nlohmann::json& slot : document["progression"]["slots"]) slot["duration"] = 4.0;
        document["rhythm"]["pattern"] = "sixteenth";
        document["rhythm"]["legato"] = true;
        revision = session.restoreProjectSnapshot(document, {"fifths", false, true}, "bench").revision;
    }
};

void BM_RenderClipPayload128Slots(benchmark::State& state) {
    RenderRig rig;
    if (!rig.revision) return state.SkipWithError("no revision");
    const nlohmann::json request = {{"request_id", "b"},
                                    {"operation", "clip_payload"},
                                    {"documentRevision", rig.revision->revision},
                                    {"bassDisposition", "duplicate"}};
    std::size_t notes = 0;
    testing::AllocationScope scope;
    for (auto _ : state) {
        const BridgeReply reply = handleRenderPerformance(request, rig.session);
        if (reply.type != "performance_rendered") state.SkipWithError("render failed");
        notes = reply.payload["notesFlat"].size();
    }
    reportAllocations(state, scope);
    state.counters["notes"] = static_cast<double>(notes);
}
BENCHMARK(BM_RenderClipPayload128Slots)->Unit(benchmark::kMillisecond);

void BM_RenderPhrase128Slots(benchmark::State& state) {
    RenderRig rig;
    if (!rig.revision) return state.SkipWithError("no revision");
    testing::AllocationScope scope;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            renderSessionPhrase(*rig.revision->document, "fifths", *rig.revision->plan, BassDisposition::duplicate));
    }
    reportAllocations(state, scope);
}
BENCHMARK(BM_RenderPhrase128Slots)->Unit(benchmark::kMillisecond);

void BM_RenderPreview(benchmark::State& state) {
    const DocumentSession session;
    const nlohmann::json request = {{"request_id", "b"},
                                    {"operation", "preview"},
                                    {"preview",
                                     {{"notes", {48, 55, 60, 64, 67, 71}},
                                      {"attack", testing::fullAttackJson()},
                                      {"attackOrders", testing::attackOrdersJson()},
                                      {"velocity", 96},
                                      {"hitOrdinal", 2}}}};
    testing::AllocationScope scope;
    for (auto _ : state) {
        const BridgeReply reply = handleRenderPerformance(request, session);
        if (reply.type != "performance_rendered") state.SkipWithError("preview failed");
    }
    reportAllocations(state, scope);
}
BENCHMARK(BM_RenderPreview)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillex
