// SHA-256 throughput over 1 MiB (target: at least 200 MB/s).
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "digest/sha256.h"

namespace quillex {
namespace {

void BM_Sha256OneMebibyte(benchmark::State& state) {
    std::vector<std::uint8_t> input(1 << 20);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i * 31 + 7);
    std::uint8_t digest[kSha256DigestSize];
    for (auto _ : state) {
        sha256(input.data(), input.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_Sha256OneMebibyte)->Unit(benchmark::kMillisecond);

// A revision digest: the hexadecimal text of a short compact JSON text.
void BM_Sha256HexOfShortText(benchmark::State& state) {
    const std::string text = R"({"id":"user-strum","name":"Strum","payload":{"mode":"advanced","spread":"1/32"}})";
    std::uint8_t digest[kSha256DigestSize];
    for (auto _ : state) {
        sha256(text.data(), text.size(), digest);
        benchmark::DoNotOptimize(toLowerHex(digest, sizeof digest));
    }
}
BENCHMARK(BM_Sha256HexOfShortText);

}  // namespace
}  // namespace quillex
