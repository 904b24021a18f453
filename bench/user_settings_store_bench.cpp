// Settings store on this machine's disk (targets: write median under 2 ms, 99th percentile under 5 ms; a load
// that rewrites nothing under 150 µs), beside the bare durable replace it is built on.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/file_system.h"
#include "storage/user_settings_store.h"

namespace quillex {
namespace {

// A scratch folder in the working folder, so the disk is the real one and not a memory file system.
class BenchFolder {
public:
    BenchFolder() : path_(std::filesystem::current_path() / ("quillex-bench-settings-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~BenchFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Times each iteration and reports the median and the 99th percentile in microseconds.
class Percentiles {
public:
    void start() { begin_ = std::chrono::steady_clock::now(); }
    void stop() {
        samples_.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin_).count());
    }
    void report(benchmark::State& state) {
        if (samples_.empty()) return;
        std::sort(samples_.begin(), samples_.end());
        state.counters["median_us"] = samples_[samples_.size() / 2];
        state.counters["p99_us"] = samples_[std::min(samples_.size() - 1, samples_.size() * 99 / 100)];
    }

private:
    std::chrono::steady_clock::time_point begin_;
    std::vector<double> samples_;
};

void BM_WriteUserSettings(benchmark::State& state) {
    BenchFolder folder;
    const UserSettingsPaths paths{folder / "Quillex/user_settings.json", ""};
    if (!loadUserSettings(paths).ok) {
        state.SkipWithError("first load failed");
        return;
    }
    const char* themes[] = {"\"arctic\"", "\"deep-ocean\""};
    Percentiles timing;
    int i = 0;
    for (auto _ : state) {
        timing.start();
        const UserSettingsResult result = writeUserSettings(paths, "theme", themes[++i % 2]);
        timing.stop();
        if (!result.ok) state.SkipWithError(result.message.c_str());
    }
    timing.report(state);
}
BENCHMARK(BM_WriteUserSettings)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

void BM_LoadUserSettingsUnchanged(benchmark::State& state) {
    BenchFolder folder;
    const UserSettingsPaths paths{folder / "Quillex/user_settings.json", folder / "Quillex.user_settings.json"};
    if (!loadUserSettings(paths).ok) {
        state.SkipWithError("first load failed");
        return;
    }
    Percentiles timing;
    for (auto _ : state) {
        timing.start();
        const UserSettingsResult result = loadUserSettings(paths);
        timing.stop();
        if (!result.ok || result.rewritten) state.SkipWithError("the load changed the file");
    }
    timing.report(state);
}
BENCHMARK(BM_LoadUserSettingsUnchanged)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The floor: write and sync a temporary file, rename it over the target, sync the folder.
void BM_BareDurableReplace(benchmark::State& state) {
    BenchFolder folder;
    const std::string path = folder / "file.json";
    const std::string text(1100, 'x');
    Percentiles timing;
    for (auto _ : state) {
        timing.start();
        const bool ok =
            platform::writeTemporaryFile(path + ".tmp", text).ok() && platform::installFile(path + ".tmp", path).ok();
        timing.stop();
        if (!ok) state.SkipWithError("replace failed");
    }
    timing.report(state);
}
BENCHMARK(BM_BareDurableReplace)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

}  // namespace
}  // namespace quillex
