// Benchmark of key inference on an eight-chord progression.
#include <benchmark/benchmark.h>

#include <vector>

#include "theory/chord_symbol.h"
#include "theory/key_inference.h"

namespace {

std::vector<quillex::WeightedChord> eightChords() {
    std::vector<quillex::WeightedChord> list;
    for (const char* symbol : {"Cmaj7", "Am7", "Dm7", "G7", "Em7", "A7", "Dm7/G", "Cmaj7"}) {
        const quillex::Chord chord = *quillex::parseChordSymbol(symbol);
        list.push_back(quillex::WeightedChord{chord.root, chord.quality, chord.bass, 1.0});
    }
    return list;
}

void BM_InferKeyEightChords(benchmark::State& state) {
    const std::vector<quillex::WeightedChord> chords = eightChords();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillex::inferKey(chords));
    }
}
BENCHMARK(BM_InferKeyEightChords);

}  // namespace
