// "generate_local_progression" per style and length: first request of a process, later requests, twelve recent attempts.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <chrono>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/local_progression_request.h"
#include "generation/recent_progression_history.h"

namespace {

using namespace quillex;
using nlohmann::json;

constexpr std::array<const char*, 6> kStyles{
    "Classical", "Pop + EDM", "Rock", "Jazz + Neo Soul", "Modal Colors: Dark & Exotic", "Modal Colors: Light & Dreamy"};

json requestFor(const benchmark::State& state) {
    return json{{"genre", kStyles[static_cast<std::size_t>(state.range(0))]},
                {"length", state.range(1)},
                {"key", {{"root", "Eb"}, {"mode", state.range(1) == 6 ? "minor" : "major"}}},
                {"temperature", 0.5}};
}

void styleAndLengthArgs(benchmark::internal::Benchmark* b) {
    for (int style = 0; style < 6; ++style) {
        for (int length : {4, 6, 8}) b->Args({style, length});
    }
}

// A forked child loads the corpus, answers one request with every lazily built
// table still cold, and reports the seconds that request took.
void BM_FirstRequestOfAFreshProcess(benchmark::State& state) {
    const json request = requestFor(state);
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe failed");
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            ensureCorporaInitialized();
            const auto start = std::chrono::steady_clock::now();
            const BridgeReply reply = handleGenerateLocalProgression(request);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (reply.type != "local_progression_result") seconds = -1.0;
            const ssize_t written = write(fds[1], &seconds, sizeof seconds);
            _exit(written == sizeof seconds ? 0 : 1);
        }
        close(fds[1]);
        double seconds = -1.0;
        const ssize_t got = read(fds[0], &seconds, sizeof seconds);
        close(fds[0]);
        waitpid(child, nullptr, 0);
        if (got != sizeof seconds || seconds < 0.0) {
            state.SkipWithError("the first request failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstRequestOfAFreshProcess)
    ->Apply(styleAndLengthArgs)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Device-seeded requests one after another, the history filling as it would.
void BM_LaterRequest(benchmark::State& state) {
    ensureCorporaInitialized();
    const json request = requestFor(state);
    clearRecentProgressionsForTesting();
    for (auto _ : state) {
        const BridgeReply reply = handleGenerateLocalProgression(request);
        if (reply.type != "local_progression_result") state.SkipWithError("no progression");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_LaterRequest)->Apply(styleAndLengthArgs)->Unit(benchmark::kMicrosecond);

// A sequential request repeated: every attempt is recent, the twelfth is taken.
void BM_TwelveRecentAttempts(benchmark::State& state) {
    ensureCorporaInitialized();
    json request = requestFor(state);
    request["debug_sequential"] = true;
    clearRecentProgressionsForTesting();
    (void)handleGenerateLocalProgression(request);
    for (auto _ : state) {
        const BridgeReply reply = handleGenerateLocalProgression(request);
        if (reply.type != "local_progression_result") state.SkipWithError("no progression");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_TwelveRecentAttempts)->Apply(styleAndLengthArgs)->Unit(benchmark::kMicrosecond);

}  // namespace
