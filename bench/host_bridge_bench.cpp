// Cost of the host object's bridge: a request as a host message against its service, and long texts cut into frames.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/quillex_ext.h"
#include "theory/catalogue_requests.h"
#include "voicing/voicing_catalogue_requests.h"

namespace {

using nlohmann::json;

// One object of the registered class, with outlet output dropped.
quillex::quillex_ext& benchObject() {
    static quillex::quillex_ext* object = [] {
        const auto folder = std::filesystem::temp_directory_path() / "quillex-bench-appdata";
        std::filesystem::create_directories(folder);
        ::setenv("APPDATA", folder.c_str(), 1);
        vessa_claim_main_thread();
        quillex::registerQuillexClass();
        vessa_set_outlet_hook([](void*, void*, t_symbol*, long, t_atom*) {}, nullptr);
        vessa_set_console_hook([](void*, void*, int, const char*) {}, nullptr);
        void* created = vessa_object_new(vessa_class_find("quillex"), 0, nullptr);
        return static_cast<quillex::quillex_ext*>(static_cast<q37::lyra::object_base*>(created));
    }();
    return *object;
}

constexpr const char* kParseChordText = R"({"chord":"Bbm7b5/E","request_id":"bench"})";

void BM_ParseChordService(benchmark::State& state) {
    for (auto _ : state) {
        const json payload = json::parse(kParseChordText);
        benchmark::DoNotOptimize(quillex::handleParseChord(payload));
    }
}
BENCHMARK(BM_ParseChordService);

// The whole road: atom text, parse, table, envelope, service, page message, wire text, outlet.
void BM_ParseChordHostMessage(benchmark::State& state) {
    void* object = static_cast<q37::lyra::object_base*>(&benchObject());
    t_symbol text{kParseChordText};
    t_atom atom{};
    atom.a_type = A_SYM;
    atom.a_w.w_sym = &text;
    for (auto _ : state) vessa_object_send(object, "parse_chord", 1, &atom);
}
BENCHMARK(BM_ParseChordHostMessage);

void BM_PageMessageOfOneMegabyteAsFrames(benchmark::State& state) {
    const json payload = {{"text", std::string(1 << 20, 'p')}};
    for (auto _ : state) benchObject().sendToPage("bench_page", payload);
}
BENCHMARK(BM_PageMessageOfOneMegabyteAsFrames)->Unit(benchmark::kMillisecond);

void BM_BridgeTextOfOneMegabyteAsFrames(benchmark::State& state) {
    const json value = {{"text", std::string(1 << 20, 'b')}};
    for (auto _ : state) benchObject().emitToBridge("bench_bridge", value);
}
BENCHMARK(BM_BridgeTextOfOneMegabyteAsFrames)->Unit(benchmark::kMillisecond);

}  // namespace
