// Cost of the nesting limit: parseJsonText against the library's own parse on 1 MB request texts.
#include <benchmark/benchmark.h>

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"

namespace {

// About 1 MB of progression slots, the shape of a large page request.
std::string megabyteRequest() {
    nlohmann::json slots = nlohmann::json::array();
    std::string text;
    for (int i = 0; text.size() < (std::size_t{1} << 20); ++i) {
        slots.push_back(
            {{"chord", "Cmaj7#11/G"}, {"style", "tessaro"}, {"octave", 4}, {"manual_midi", {55, 60, 64, 71}}});
        if (i % 256 == 0) text = nlohmann::json{{"slots", slots}, {"key", {{"root", "C"}}}}.dump();
    }
    return text;
}

void BM_ParseJsonTextMegabyte(benchmark::State& state) {
    const std::string text = megabyteRequest();
    for (auto _ : state) benchmark::DoNotOptimize(quillex::parseJsonText(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseJsonTextMegabyte)->Unit(benchmark::kMillisecond);

void BM_LibraryParseMegabyte(benchmark::State& state) {
    const std::string text = megabyteRequest();
    for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LibraryParseMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace
