// Loading the shipped corpus files: read from disk, decipher, parse and build the models.
#include <benchmark/benchmark.h>

#include "generation/chord_transition_model.h"
#include "generation/corpus_loader.h"
#include "generation/progression_corpus.h"

namespace {

using namespace quillex;

std::vector<std::uint8_t> shippedFile(const char* name) {
    std::vector<std::uint8_t> bytes;
    readWholeFile(getOwnModuleDirectory() + "/" + name, bytes);
    return bytes;
}

void BM_LoadBothCorpusFiles(benchmark::State& state) {
    const std::string folder = getOwnModuleDirectory();
    for (auto _ : state) {
        ProgressionCorpus corpus;
        ChordTransitionModel model;
        const auto status = loadRequiredCorpora(folder, corpus, model);
        if (!status.message.empty()) state.SkipWithError(status.message.c_str());
        benchmark::DoNotOptimize(corpus);
        benchmark::DoNotOptimize(model);
    }
}
BENCHMARK(BM_LoadBothCorpusFiles)->Unit(benchmark::kMillisecond);

void BM_ParseProgressionCorpus(benchmark::State& state) {
    const auto bytes = shippedFile("pc.bin");
    for (auto _ : state) {
        ProgressionCorpus corpus;
        benchmark::DoNotOptimize(loadProgressionCorpus(corpus, bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseProgressionCorpus)->Unit(benchmark::kMillisecond);

void BM_ParseChordTransitionCorpus(benchmark::State& state) {
    const auto bytes = shippedFile("cc.bin");
    for (auto _ : state) {
        ChordTransitionModel model;
        benchmark::DoNotOptimize(loadChordTransitionCorpus(model, bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseChordTransitionCorpus)->Unit(benchmark::kMillisecond);

}  // namespace
