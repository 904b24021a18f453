// "generate_local_progression" per style and length: first request of a process, later requests, twelve recent attempts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
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

constexpr const char* kChildVariable = "QUILLEX_FIRST_REQUEST_CHILD";

// Runs in a new process started by the benchmark below: loads the corpus,
// answers one request with every lazily built table still cold, and writes the
// seconds it took (negative on failure) to the inherited pipe.
void firstRequestChild(benchmark::State& state) {
    int style = 0;
    int length = 4;
    int fd = -1;
    if (std::sscanf(std::getenv(kChildVariable), "%d %d %d", &style, &length, &fd) != 3) std::_Exit(2);
    for (auto _ : state) {
        ensureCorporaInitialized();
        const json request{{"genre", kStyles[static_cast<std::size_t>(style) % kStyles.size()]},
                           {"length", length},
                           {"key", {{"root", "Eb"}, {"mode", length == 6 ? "minor" : "major"}}},
                           {"temperature", 0.5}};
        const auto start = std::chrono::steady_clock::now();
        const BridgeReply reply = handleGenerateLocalProgression(request);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (reply.type != "local_progression_result") seconds = -1.0;
        if (write(fd, &seconds, sizeof seconds) != static_cast<ssize_t>(sizeof seconds)) std::_Exit(3);
    }
}

// Registered only in the child process, so ordinary runs never list it.
const bool kChildRegistered = [] {
    if (std::getenv(kChildVariable) != nullptr) {
        benchmark::RegisterBenchmark("FirstRequestChild", firstRequestChild)->Iterations(1);
    }
    return true;
}();

// Each iteration starts this binary afresh (fork and exec) and takes the time
// the child reports for its first request.
void BM_FirstRequestOfAFreshProcess(benchmark::State& state) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe failed");
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const std::string spec =
                std::to_string(state.range(0)) + " " + std::to_string(state.range(1)) + " " + std::to_string(fds[1]);
            setenv(kChildVariable, spec.c_str(), 1);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            execl("/proc/self/exe", "quillex_bench", "--benchmark_filter=^FirstRequestChild/", nullptr);
            _exit(1);
        }
        close(fds[1]);
        double seconds = -1.0;
        const ssize_t got = read(fds[0], &seconds, sizeof seconds);
        close(fds[0]);
        waitpid(child, nullptr, 0);
        if (got != static_cast<ssize_t>(sizeof seconds) || seconds < 0.0) {
            state.SkipWithError("the first request failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstRequestOfAFreshProcess)
    ->Apply(styleAndLengthArgs)
    ->UseManualTime()
    ->Iterations(3)
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
