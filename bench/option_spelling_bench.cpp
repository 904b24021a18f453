// Cost of spelling quality options back into a quality name.
#include <vector>

#include <benchmark/benchmark.h>

#include "theory/option_spelling.h"

namespace quillex {
namespace {

void BM_SpellQualityOptionsByKey(benchmark::State& state) {
    std::vector<QualityOptions> selections;
    for (const auto& [name, row] : qualityOptionTable()) {
        if (auto options = lookupQualityOptions(name)) {
            options->suffix.reset();
            selections.push_back(*options);
        }
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(spellQualityOptions(selections[i++ % selections.size()]));
    }
}
BENCHMARK(BM_SpellQualityOptionsByKey);

}  // namespace
}  // namespace quillex
