// Cost of the live transport and the incoming frames: a horizon of 128 events and a 1 MB request from its frames.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/quillex_ext.h"
#include "host/to_core_chunk_assembler.h"
#include "tests/support/document_samples.h"

namespace {

using nlohmann::json;

quillex::quillex_ext& transportObject() {
    static quillex::quillex_ext* object = [] {
        const auto folder = std::filesystem::temp_directory_path() / "quillex-bench-appdata";
        std::filesystem::create_directories(folder);
        ::setenv("APPDATA", folder.c_str(), 1);
        vessa_claim_main_thread();
        if (vessa_class_find("quillex") == nullptr) quillex::registerQuillexClass();
        vessa_set_outlet_hook([](void*, void*, t_symbol*, long, t_atom*) {}, nullptr);
        vessa_set_console_hook([](void*, void*, int, const char*) {}, nullptr);
        void* created = vessa_object_new(vessa_class_find("quillex"), 0, nullptr);
        auto* ext = static_cast<quillex::quillex_ext*>(static_cast<q37::lyra::object_base*>(created));
        ext->routeTransportMessage("set_user_setting",
                                   R"({"transactionId":"bench","key":"midiTriggersUseRhythm","value":true})");
        const json restore = {
            {"schemaVersion", 1},
            {"transactionId", "bench-doc"},
            {"command",
             {{"type", "restore_project_snapshot"}, {"documentState", quillex::testing::fullDocumentJson()}}}};
        ext->routeTransportMessage("document_command", restore.dump());
        vessa_settle(10.0);
        return ext;
    }();
    return *object;
}

// A rhythmic playback and the window that holds 128 of its events.
struct Window {
    json envelope;
    double from = 0.0;
    double through = 0.0;
};

Window startAndSizeWindow() {
    quillex::quillex_ext& ext = transportObject();
    const std::uint64_t generation = ext.currentTriggerGeneration();
    ext.routeTransportMessage("trigger_start", json{{"transportSchemaVersion", 3},
                                                    {"requestId", 1},
                                                    {"generation", generation},
                                                    {"playback", 5},
                                                    {"row", 0},
                                                    {"velocity", 100},
                                                    {"pageOverride", -1}}
                                                   .dump());
    vessa_settle(10.0);
    Window window;
    const double loop = ext.playbackState().loopLength;
    auto state = std::make_unique<quillex::TriggerPlaybackState>(ext.playbackState());
    std::vector<quillex::MidiTransportEvent> events(quillex::kMaximumScheduledEventsPerBlock);
    // Grow the window a loop at a time until it holds 128 events.
    window.from = loop;
    for (window.through = 2 * loop;; window.through += loop) {
        std::size_t count = 0;
        quillex::renderTriggerHorizon(*state, window.from, window.through, events.data(), events.size(), count);
        if (count >= 128) break;
    }
    window.envelope = {
        {"transportSchemaVersion", 3}, {"requestId", 2},          {"generation", generation},     {"playback", 5},
        {"pageOverride", -1},          {"fromBeat", window.from}, {"throughBeat", window.through}};
    return window;
}

void BM_HorizonRendererAlone(benchmark::State& state) {
    const Window window = startAndSizeWindow();
    auto playback = std::make_unique<quillex::TriggerPlaybackState>(transportObject().playbackState());
    std::vector<quillex::MidiTransportEvent> events(quillex::kMaximumScheduledEventsPerBlock);
    std::size_t count = 0;
    for (auto _ : state) {
        quillex::renderTriggerHorizon(*playback, window.from, window.through, events.data(), events.size(), count);
        benchmark::DoNotOptimize(count);
    }
    state.counters["events"] = static_cast<double>(count);
}
BENCHMARK(BM_HorizonRendererAlone)->Unit(benchmark::kMicrosecond);

// The whole road: host message, envelope, rendering, event items, queue, timer run, bridge text.
void BM_HorizonHostMessageToBridgeText(benchmark::State& state) {
    const Window window = startAndSizeWindow();
    void* object = static_cast<q37::lyra::object_base*>(&transportObject());
    const std::string text = window.envelope.dump();
    t_symbol symbol{text.c_str()};
    t_atom atom{};
    atom.a_type = A_SYM;
    atom.a_w.w_sym = &symbol;
    for (auto _ : state) {
        vessa_object_send(object, "trigger_horizon", 1, &atom);
        vessa_settle(10.0);
    }
}
BENCHMARK(BM_HorizonHostMessageToBridgeText)->Unit(benchmark::kMicrosecond);

// A 1 MB get_version request cut into frames of 12000 bytes, reassembled and routed.
void BM_OneMegabyteRequestFromItsFrames(benchmark::State& state) {
    quillex::quillex_ext& ext = transportObject();
    const std::string text = json{{"request_id", "big"}, {"pad", std::string(1 << 20, 'q')}}.dump();
    const std::size_t total = (text.size() + 11999) / 12000;
    std::vector<std::string> frames;
    for (std::size_t i = 0; i < total; ++i) {
        frames.push_back(json{{"id", "bench"},
                              {"type", "get_version"},
                              {"index", i},
                              {"total", total},
                              {"chunk", text.substr(i * 12000, 12000)}}
                             .dump());
    }
    for (auto _ : state) {
        for (const std::string& frame : frames) ext.acceptToCoreChunk(frame);
    }
    state.counters["frames"] = static_cast<double>(total);
}
BENCHMARK(BM_OneMegabyteRequestFromItsFrames)->Unit(benchmark::kMillisecond);

}  // namespace
