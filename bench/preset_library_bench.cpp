// Preset store costs on this machine's disk, fsyncs included (targets: create into an empty library
// under 2 ms, into 255 presets of 8 events under 25 ms, list of 256 presets of 48 events under 40 ms).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "storage/gesture_preset_codec.h"
#include "storage/native_preset_file_system.h"
#include "storage/preset_library.h"
#include "storage/rhythm_preset_codec.h"
#include "tests/storage/preset_samples.h"
#include "tests/support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;

// Every event of a pattern of `count` events spread over 16 steps and the three parts.
json eventsOf(int count) {
    static const char* parts[] = {"bass", "middle", "top"};
    json events = json::array();
    for (int i = 0; i < count; ++i) events.push_back(testing::rhythmEvent(i / 3, 1, parts[i % 3], 1 + (i * 7) % 100));
    return events;
}

std::string idOf(int index) {
    const std::string digits = std::to_string(index);
    return "00000000-0000-4000-8000-" + std::string(12 - digits.size(), '0') + digits;
}

json rhythmLibraryOf(int presets, int events) {
    std::vector<json> entries;
    const json payload = {{"lengthSteps", 16}, {"events", eventsOf(events)}};
    for (int i = 0; i < presets; ++i) {
        entries.push_back(makeRhythmPresetEntry(idOf(i), "Pattern " + std::to_string(i), payload));
    }
    return testing::presetLibrary(3, entries);
}

json gestureLibraryOf(int presets) {
    std::vector<json> entries;
    for (int i = 0; i < presets; ++i) {
        entries.push_back(makeGesturePresetEntry(idOf(i), "Gesture " + std::to_string(i), testing::advancedGesture()));
    }
    return testing::presetLibrary(1, entries);
}

const std::string kPayload = json{{"lengthSteps", 16}, {"events", eventsOf(8)}}.dump();

void BM_DecodeRhythmLibrary256x48(benchmark::State& state) {
    const json library = rhythmLibraryOf(256, 48);
    for (auto _ : state) benchmark::DoNotOptimize(decodeRhythmPresetLibrary(library));
}
BENCHMARK(BM_DecodeRhythmLibrary256x48)->Unit(benchmark::kMillisecond);

void BM_DecodeGestureLibrary256(benchmark::State& state) {
    const json library = gestureLibraryOf(256);
    for (auto _ : state) benchmark::DoNotOptimize(decodeGesturePresetLibrary(library));
}
BENCHMARK(BM_DecodeGestureLibrary256)->Unit(benchmark::kMillisecond);

// For scale: parsing the full library's text alone.
void BM_ParseRhythmLibraryText256x48(benchmark::State& state) {
    const std::string text = rhythmLibraryOf(256, 48).dump();
    state.counters["bytes"] = static_cast<double>(text.size());
    for (auto _ : state) benchmark::DoNotOptimize(json::parse(text));
}
BENCHMARK(BM_ParseRhythmLibraryText256x48)->Unit(benchmark::kMillisecond);

void BM_CreateIntoEmptyLibrary(benchmark::State& state) {
    testing::TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    PresetLibrary store(rhythmPresetLibraryDefinition(), path, host::makeNativePresetFileSystem());
    long transaction = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        const auto result = store.create(std::to_string(transaction++), "Beat", kPayload);
        if (!result.ok) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_CreateIntoEmptyLibrary)->Unit(benchmark::kMillisecond);

void BM_CreateInto255PresetsOf8Events(benchmark::State& state) {
    testing::TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    const std::string full = rhythmLibraryOf(255, 8).dump();
    PresetLibrary store(rhythmPresetLibraryDefinition(), path, host::makeNativePresetFileSystem());
    store.list();  // makes the folder
    long transaction = 0;
    for (auto _ : state) {
        state.PauseTiming();
        testing::putFile(path, full);
        state.ResumeTiming();
        const auto result = store.create(std::to_string(transaction++), "Beat", kPayload);
        if (!result.ok) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_CreateInto255PresetsOf8Events)->Unit(benchmark::kMillisecond);

void BM_ListFullLibrary256x48(benchmark::State& state) {
    testing::TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    PresetLibrary store(rhythmPresetLibraryDefinition(), path, host::makeNativePresetFileSystem());
    store.list();
    testing::putFile(path, rhythmLibraryOf(256, 48).dump());
    for (auto _ : state) {
        const auto result = store.list();
        if (!result.ok) state.SkipWithError(result.message.c_str());
    }
}
BENCHMARK(BM_ListFullLibrary256x48)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillex
