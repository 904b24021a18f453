// Cost of the performance plan for 128 slots (targets: attack off under 1 ms, eight-page advanced under 5 ms),
// of building the trigger row table (under 2 ms) and of installing it by copy (under 1 ms).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "performance/performance_plan.h"
#include "performance/trigger_row_table.h"
#include "tests/performance/performance_samples.h"

namespace quillex {
namespace {

struct PlanInput {
    ProjectDocument document;
    ResolvedVoicings voicings;
};

PlanInput sixteenthPlanInput(const AttackSettings& attack, int notes) {
    std::vector<ProgressionSlot> slots(128, testing::chordSlot(attack));
    ResolvedVoicing voicing{testing::spreadVoicing(notes), 8, std::nullopt, {}};
    return {testing::documentOf(std::move(slots), testing::rhythmOf("sixteenth")), ResolvedVoicings(128, voicing)};
}

void BM_PlanAttackOffSixteenth5Notes(benchmark::State& state) {
    const PlanInput input = sixteenthPlanInput(AttackSettings{}, 5);
    for (auto _ : state) benchmark::DoNotOptimize(compilePerformancePlan(input.document, input.voicings));
}
BENCHMARK(BM_PlanAttackOffSixteenth5Notes)->Unit(benchmark::kMicrosecond);

void BM_PlanAdvancedEightPagesSixteenth8Notes(benchmark::State& state) {
    const PlanInput input = sixteenthPlanInput(testing::advancedAttack(8, true), 8);
    for (auto _ : state) benchmark::DoNotOptimize(compilePerformancePlan(input.document, input.voicings));
}
BENCHMARK(BM_PlanAdvancedEightPagesSixteenth8Notes)->Unit(benchmark::kMicrosecond);

void BM_BuildTriggerRowTable128Rows(benchmark::State& state) {
    const PlanInput input = sixteenthPlanInput(testing::advancedAttack(8, true), 8);
    const auto plan = compilePerformancePlan(input.document, input.voicings);
    for (auto _ : state) benchmark::DoNotOptimize(buildTriggerRowTable(*plan, 1));
}
BENCHMARK(BM_BuildTriggerRowTable128Rows)->Unit(benchmark::kMicrosecond);

// What the host does when it installs a finished build into the table it plays.
void BM_InstallTriggerRowTableCopy(benchmark::State& state) {
    const auto source = std::make_unique<TriggerRowTable>();
    const auto installed = std::make_unique<TriggerRowTable>();
    for (auto _ : state) {
        *installed = *source;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * sizeof(TriggerRowTable));
}
BENCHMARK(BM_InstallTriggerRowTableCopy)->Unit(benchmark::kMicrosecond);

// For scale: the voicing step of the same 128 slots, closed style, without voice leading.
void BM_VoicingStep128ClosedSlots(benchmark::State& state) {
    std::vector<ProgressionSlot> slots;
    const char* chords[] = {"Cmaj7", "Am7", "Dm9", "G13", "Fmaj7#11", "E7b9", "Bm7b5", "C/E"};
    for (int i = 0; i < 128; ++i) {
        ProgressionSlot slot = testing::chordSlot();
        slot.chord.original = chords[i % 8];
        slots.push_back(slot);
    }
    const ProjectDocument document = testing::documentOf(std::move(slots));
    const UserSettingsSection settings{"fifths", false, true};
    VoicerPort port;
    for (auto _ : state) benchmark::DoNotOptimize(compilePerformanceVoicings(document, settings, port));
}
BENCHMARK(BM_VoicingStep128ClosedSlots)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillex
