// Benchmarks of Roman numeral derivation per chord and resolution per numeral.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace {

const quillex::KeyContext kEbMajor{{3, quillex::kMajorMode, quillex::kNaturalMinorScale}, "Eb"};

std::vector<quillex::Chord> mixedChords() {
    std::vector<quillex::Chord> chords;
    for (const char* symbol :
         {"Ebmaj7", "Fm7", "Gm7", "Abmaj7", "Bb7", "Cm7", "Dm7b5", "Ddim7", "Bb7/D", "Gb", "E9", "Absus4/Bb"}) {
        chords.push_back(*quillex::parseChordSymbol(symbol));
    }
    return chords;
}

// One parsed chord to its numeral (the per-chord cost of key-relative replies).
void BM_DeriveRomanNumeralPerChord(benchmark::State& state) {
    const std::vector<quillex::Chord> chords = mixedChords();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillex::deriveRomanNumeral(chords[i], kEbMajor));
        i = (i + 1) % chords.size();
    }
}
BENCHMARK(BM_DeriveRomanNumeralPerChord);

void BM_RomanNumeralToChordPerNumeral(benchmark::State& state) {
    const std::vector<std::string> numerals = {"Imaj7",     "iim7", "V7/vii", "vii\u00F8",
                                               "\u266DVII", "ii9",  "IV/V",   "\u266Fiv\u00B07"};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillex::romanNumeralToChord(numerals[i], kEbMajor.key));
        i = (i + 1) % numerals.size();
    }
}
BENCHMARK(BM_RomanNumeralToChordPerNumeral);

}  // namespace
