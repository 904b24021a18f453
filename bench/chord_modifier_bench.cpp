// Cost of listing and applying chord modifiers, as the modifier requests do.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "theory/chord_modifier.h"

namespace quillex {
namespace {

const std::vector<Chord>& sampleChords() {
    static const std::vector<Chord> chords = [] {
        std::vector<Chord> built;
        for (const char* symbol : {"C", "Dm7", "G13", "F6", "Bm7b5", "Ebsus4", "A7alt", "Cmaj9/E"}) {
            built.push_back(*parseChordSymbol(symbol));
        }
        return built;
    }();
    return chords;
}

void BM_DescribeChordModifiers(benchmark::State& state) {
    const auto& chords = sampleChords();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(describeChordModifiers(chords[i++ % chords.size()], {}));
    }
}
BENCHMARK(BM_DescribeChordModifiers);

void BM_ToggleAndApplyModifier(benchmark::State& state) {
    const Chord chord = *parseChordSymbol("G7");
    const std::vector<std::string> current{"third-major", "fifth-perfect", "seventh-flat7"};
    const auto& definitions = modifierDefinitions();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto toggled = toggleModifier(current, definitions[i++ % definitions.size()].id);
        benchmark::DoNotOptimize(applyModifiersToQuality(chord, toggled));
    }
}
BENCHMARK(BM_ToggleAndApplyModifier);

}  // namespace
}  // namespace quillex
