// Voice leading at its worst: rich progressions through the progression request, every style, cold and warm.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "voicing/progression_voicing_request.h"
#include "voicing/voicer_port.h"
#include "voicing/voicer_solve.h"
#include "voicing/voicing_anchors.h"

namespace quillex {
namespace {

using nlohmann::json;

constexpr std::string_view kStyles[] = {"closed", "shell", "anthem", "split", "guide-color", "tessaro"};

// An altered dominant on a black-key root first (its candidate list reaches the
// cap), then ninths, elevenths and thirteenths over changing slash basses.
constexpr std::string_view kWorst[] = {"Eb7#9",   "Ab13/C",  "Dbmaj9/F", "Gb7#11", "Bm11/E",  "E13b9/G#",
                                       "Am9/C",   "D7alt",   "Gmaj13",   "C#m11",  "F#7#9#5", "Bb13sus4",
                                       "Ebm9/Gb", "Ab7b9/C", "Db13#11",  "F9/A",   "Cm11/Eb", "G13/B"};

json worstRequest(std::size_t length, std::string_view style, bool bassChanges) {
    json slots = json::array();
    for (std::size_t i = 0; i < length; ++i) {
        slots.push_back({{"chord", std::string(kWorst[i % std::size(kWorst)])}, {"style", std::string(style)}});
    }
    return json{{"slots", std::move(slots)},
                {"key", {{"root", "Eb"}}},
                {"auto_voice_lead", true},
                {"allow_bass_changes", bassChanges}};
}

void args(benchmark::internal::Benchmark* b) {
    for (const std::int64_t length : {16, 64}) {
        for (std::int64_t style = 0; style < 6; ++style) {
            for (const std::int64_t bass : {0, 1}) b->Args({length, style, bass});
        }
    }
    b->ArgNames({"chords", "style", "bass"})->Unit(benchmark::kMillisecond);
}

// A fresh port every iteration, as the first resolve of a document.
void BM_WorstCaseCold(benchmark::State& state) {
    const json request = worstRequest(static_cast<std::size_t>(state.range(0)),
                                      kStyles[static_cast<std::size_t>(state.range(1))], state.range(2) != 0);
    for (auto _ : state) {
        VoicerPort port;
        benchmark::DoNotOptimize(handleProgressionVoicings(request, &port));
    }
}

// The same request through one port after a first solve: every position reused.
void BM_WorstCaseWarm(benchmark::State& state) {
    const json request = worstRequest(static_cast<std::size_t>(state.range(0)),
                                      kStyles[static_cast<std::size_t>(state.range(1))], state.range(2) != 0);
    VoicerPort port;
    handleProgressionVoicings(request, &port);
    for (auto _ : state) benchmark::DoNotOptimize(handleProgressionVoicings(request, &port));
}

AvlSegment worstSegment(std::size_t length, VoicingStyle style, bool bassChanges) {
    std::vector<VoicingSlot> slots(length);
    for (std::size_t i = 0; i < length; ++i) {
        slots[i].chord = parseChordSymbol(kWorst[i % std::size(kWorst)]).value();
        slots[i].style = style;
    }
    AnchorNotes anchors;
    return buildAvlSegments(slots, anchors, bassChanges).front();
}

// The solver alone, cold, with its counters: candidates, moves scored, time per move, cache hit rates.
void BM_WorstCaseSolve(benchmark::State& state) {
    const AvlSegment s = worstSegment(static_cast<std::size_t>(state.range(0)),
                                      static_cast<VoicingStyle>(state.range(1)), state.range(2) != 0);
    VoicerSolveStats stats;
    VoicerSolveSettings settings{kBeamWidth, &stats, static_cast<std::size_t>(state.range(3))};
    double hits = 0.0;
    double lookups = 0.0;
    for (auto _ : state) {
        VoicerPort port;
        benchmark::DoNotOptimize(voicerSolve(s.chords, s.options, s.fixedChords, &port, settings));
        hits = static_cast<double>(port.cacheState->roughness.hits());
        lookups = hits + static_cast<double>(port.cacheState->roughness.misses());
    }
    const double chords = static_cast<double>(s.chords.size());
    state.counters["raw_per_chord"] = static_cast<double>(stats.rawCandidates) / chords;
    state.counters["capped_per_chord"] = static_cast<double>(stats.cappedCandidates) / chords;
    state.counters["moves_scored"] = static_cast<double>(stats.transitionsEvaluated);
    state.counters["ns_per_move"] =
        benchmark::Counter(static_cast<double>(stats.transitionsEvaluated),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["rough_hit_rate"] = lookups > 0 ? hits / lookups : 0.0;
}

void solveArgs(benchmark::internal::Benchmark* b) {
    for (const std::int64_t length : {16, 64}) {
        for (std::int64_t style = 0; style < 6; ++style) {
            for (const std::int64_t bass : {0, 1}) {
                for (const std::int64_t threads : {1, 4}) b->Args({length, style, bass, threads});
            }
        }
    }
    b->ArgNames({"chords", "style", "bass", "threads"})->Unit(benchmark::kMillisecond);
}

// What a port keeps after voicing 1,024 chords: candidate lists, scores and back-pointers.
void BM_WorstCasePortMemory(benchmark::State& state) {
    const AvlSegment s = worstSegment(1024, static_cast<VoicingStyle>(state.range(0)), true);
    std::size_t bytes = 0;
    for (auto _ : state) {
        VoicerPort port;
        benchmark::DoNotOptimize(voicerSolve(s.chords, s.options, s.fixedChords, &port));
        bytes = 0;
        for (std::size_t i = 0; i < port.previousCandidates.size(); ++i) {
            bytes += port.previousScores[i].capacity() * sizeof(double);
            bytes += port.previousBacks[i].capacity() * sizeof(std::int32_t);
        }
        // Capped lists are the solve's own; cached ones are shared with the cache.
        std::vector<const CandidateList*> seen;
        for (const SharedCandidateList& list : port.previousCandidates) {
            if (std::find(seen.begin(), seen.end(), list.get()) != seen.end()) continue;
            seen.push_back(list.get());
            for (const CandidateVoicing& v : *list) bytes += sizeof(v) + v.capacity() * sizeof(std::int32_t);
        }
    }
    state.counters["port_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_WorstCaseCold)->Apply(args);
BENCHMARK(BM_WorstCaseWarm)->Apply(args);
BENCHMARK(BM_WorstCaseSolve)->Apply(solveArgs);
BENCHMARK(BM_WorstCasePortMemory)->Arg(3)->Arg(5)->ArgName("style")->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace quillex
