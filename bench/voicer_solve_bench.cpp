// Voice-leading solve times: 16 and 64 rich chords in every style, cold, unchanged and last chord edited.
#include <benchmark/benchmark.h>

#include <string_view>
#include <vector>

#include "voicing/voicer_solve.h"
#include "voicing/voicing_anchors.h"

namespace quillex {
namespace {

constexpr std::string_view kRich[] = {"Cmaj9", "Am11",    "D7b9",  "G13", "Fmaj7#11", "E7#9",    "Bbm9",
                                      "Eb13",  "Abmaj9",  "Db9",   "Gm9", "C7alt",    "F#m7b5",  "B7b13",
                                      "Em9",   "A13sus4", "Dm7/G", "C/E", "G7/B",     "Ebmaj7#5"};

AvlSegment progression(std::size_t length, VoicingStyle style, std::string_view lastSymbol = {}) {
    std::vector<VoicingSlot> slots(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::string_view symbol = kRich[(i * 7 + i / 3) % std::size(kRich)];
        if (i + 1 == length && !lastSymbol.empty()) symbol = lastSymbol;
        slots[i].chord = parseChordSymbol(symbol).value();
        slots[i].style = style;
    }
    AnchorNotes anchors;
    return buildAvlSegments(slots, anchors, false).front();
}

void report(benchmark::State& state, const VoicerSolveStats& stats, const VoicerPort& port) {
    state.counters["raw_cands"] = static_cast<double>(stats.rawCandidates);
    state.counters["capped_cands"] = static_cast<double>(stats.cappedCandidates);
    state.counters["transitions"] = static_cast<double>(stats.transitionsEvaluated);
    state.counters["prefix"] = static_cast<double>(stats.reusedPrefix);
    const auto rate = [](std::uint64_t hits, std::uint64_t misses) {
        return hits + misses == 0 ? 0.0 : static_cast<double>(hits) / static_cast<double>(hits + misses);
    };
    if (port.cacheState) {
        state.counters["cand_hit_rate"] =
            rate(port.cacheState->candidates.hits(), port.cacheState->candidates.misses());
        state.counters["rough_hit_rate"] = rate(port.cacheState->roughness.hits(), port.cacheState->roughness.misses());
    }
}

// A new port every iteration: nothing cached, nothing reused.
void BM_SolveCold(benchmark::State& state) {
    const AvlSegment s =
        progression(static_cast<std::size_t>(state.range(0)), static_cast<VoicingStyle>(state.range(1)));
    VoicerSolveStats stats;
    VoicerPort last;
    for (auto _ : state) {
        VoicerPort port;
        benchmark::DoNotOptimize(voicerSolve(s.chords, s.options, s.fixedChords, &port, {kBeamWidth, &stats}));
        state.PauseTiming();
        last = std::move(port);
        state.ResumeTiming();
    }
    report(state, stats, last);
}

// The same progression re-solved through the same port.
void BM_SolveUnchanged(benchmark::State& state) {
    const AvlSegment s =
        progression(static_cast<std::size_t>(state.range(0)), static_cast<VoicingStyle>(state.range(1)));
    VoicerSolveStats stats;
    VoicerPort port;
    voicerSolve(s.chords, s.options, s.fixedChords, &port);
    for (auto _ : state) {
        benchmark::DoNotOptimize(voicerSolve(s.chords, s.options, s.fixedChords, &port, {kBeamWidth, &stats}));
    }
    report(state, stats, port);
}

// The last chord alternates between two symbols: every earlier position is reused.
void BM_SolveLastChordEdited(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    const auto style = static_cast<VoicingStyle>(state.range(1));
    const AvlSegment a = progression(length, style, "Bb13");
    const AvlSegment b = progression(length, style, "E7b9");
    VoicerSolveStats stats;
    VoicerPort port;
    voicerSolve(a.chords, a.options, a.fixedChords, &port);
    bool flip = false;
    for (auto _ : state) {
        const AvlSegment& s = flip ? a : b;
        flip = !flip;
        benchmark::DoNotOptimize(voicerSolve(s.chords, s.options, s.fixedChords, &port, {kBeamWidth, &stats}));
    }
    report(state, stats, port);
}

void styles(benchmark::internal::Benchmark* b) {
    for (const std::int64_t length : {16, 64}) {
        for (std::int64_t style = 0; style < 6; ++style) b->Args({length, style});
    }
    b->ArgNames({"chords", "style"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SolveCold)->Apply(styles);
BENCHMARK(BM_SolveUnchanged)->Apply(styles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveLastChordEdited)->Apply(styles);

}  // namespace
}  // namespace quillex
