// Benchmark of voiceChordInStyle per style over every chord quality.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "theory/chord_quality_table.h"
#include "voicing/chord_voicing.h"

namespace {

using namespace quillex;

// Every quality once, on rotating roots, a few with a slash bass.
const std::vector<Chord>& qualityMix() {
    static const std::vector<Chord> chords = [] {
        std::vector<std::string> names;
        for (const auto& entry : canonicalQualityTable()) names.push_back(entry.first);
        std::sort(names.begin(), names.end());
        std::vector<Chord> out;
        for (std::size_t i = 0; i < names.size(); ++i) {
            Chord chord{static_cast<PitchClass>((i * 7) % 12), names[i], canonicalQualityTable().at(names[i]),
                        std::nullopt, ""};
            if (i % 5 == 0) chord.bass = static_cast<PitchClass>((i * 7 + 4) % 12);
            out.push_back(std::move(chord));
        }
        return out;
    }();
    return chords;
}

void BM_VoiceChordInStyle(benchmark::State& state) {
    const auto style = static_cast<VoicingStyle>(state.range(0));
    const std::vector<Chord>& chords = qualityMix();
    std::size_t i = 0;
    for (auto _ : state) {
        const Chord& chord = chords[i];
        const ChordVoicingOptions options{0, (i & 1) != 0, static_cast<std::int32_t>(i % 3) - 1};
        benchmark::DoNotOptimize(voiceChordInStyle(chord, style, 4, options));
        i = (i + 1) % chords.size();
    }
    state.SetLabel(std::string(voicingStyleId(style)));
}

BENCHMARK(BM_VoiceChordInStyle)->DenseRange(0, 5);

}  // namespace
