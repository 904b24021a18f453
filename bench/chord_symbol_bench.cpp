// Throughput of chord-symbol parsing over a mix of everyday spellings.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "theory/chord_symbol.h"

namespace {

// 1,000 symbols: triads, sevenths, extensions, altered and aliased spellings,
// about one in six over a slash bass.
std::vector<std::string> symbolMix() {
    static constexpr std::array<std::string_view, 17> roots = {"C", "C#", "Db", "D",  "Eb", "E", "F", "F#", "Gb",
                                                               "G", "Ab", "A",  "Bb", "B",  "c", "g", "f#"};
    static constexpr std::array<std::string_view, 48> qualities = {
        "",        "",        "",      "m",     "m",       "7",     "7",       "maj7",   "m7",   "m7",
        "m7b5",    "dim",     "dim7",  "sus4",  "sus2",    "7sus4", "9",       "m9",     "maj9", "11",
        "13",      "6",       "m6",    "6/9",   "add9",    "madd9", "7b9",     "7#9",    "7#11", "7alt",
        "13b9",    "aug",     "+",     "mM7",   "m(maj7)", "M7",    "\u03947", "\u0394", "-7",   "min7",
        "\u00F87", "\u00B07", "7(b9)", "9sus4", "maj7#11", "m11",   "7b5",     "5"};
    static constexpr std::array<std::string_view, 7> basses = {"E", "G", "Bb", "F#", "D", "A", "C"};
    std::mt19937 rng(2026);
    std::vector<std::string> symbols;
    symbols.reserve(1000);
    while (symbols.size() < 1000) {
        std::string symbol(roots[rng() % roots.size()]);
        const std::string_view quality = qualities[rng() % qualities.size()];
        symbol += quality;
        // Qualities that hold their own slash stay without a bass, as in everyday charts.
        if (rng() % 6 == 0 && quality.find('/') == std::string_view::npos) {
            symbol.append("/").append(basses[rng() % basses.size()]);
        }
        symbols.push_back(std::move(symbol));
    }
    return symbols;
}

void BM_ParseChordSymbolMix(benchmark::State& state) {
    const std::vector<std::string> symbols = symbolMix();
    std::size_t parsed = 0;
    for (const std::string& symbol : symbols) parsed += quillex::parseChordSymbol(symbol) ? 1 : 0;
    if (parsed != symbols.size()) state.SkipWithError("a symbol of the mix did not parse");
    for (auto _ : state) {
        for (const std::string& symbol : symbols) {
            auto chord = quillex::parseChordSymbol(symbol);
            benchmark::DoNotOptimize(chord);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * symbols.size()));
}
BENCHMARK(BM_ParseChordSymbolMix);

// One 1 MB symbol: a root and a long run of one glyph that normalisation rewrites or drops.
void BM_ParseMegabyteSymbol(benchmark::State& state) {
    static constexpr std::array<std::string_view, 6> runs = {"\u266F", "\u266D", "\u25B3", "(", ")", "6/9/"};
    const std::string_view unit = runs[static_cast<std::size_t>(state.range(0))];
    std::string symbol = "C";
    while (symbol.size() + unit.size() <= (std::size_t{1} << 20)) symbol += unit;
    state.SetLabel("run of \"" + std::string(unit) + "\"");
    for (auto _ : state) {
        auto chord = quillex::parseChordSymbol(symbol);
        benchmark::DoNotOptimize(chord);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * symbol.size()));
}
BENCHMARK(BM_ParseMegabyteSymbol)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace
