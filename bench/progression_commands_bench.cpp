// Cost of the progression commands on a 128-slot document (targets: edits, text, generated progression
// under 1 ms and a transposition under 2 ms with a stand-in resolver; a chord edit under 10 ms end to end).
#include <benchmark/benchmark.h>

#include "session/document_command.h"
#include "tests/support/document_samples.h"
#include "tests/session/session_support.h"

namespace quillex {
namespace {

using nlohmann::json;

const std::vector<std::string> kCycle = {"C", "Am7", "F/A", "G7", "Em", "Dm7", "Bb", "E7sus4"};

json benchDocument() {
    json document = testing::minimalDocumentJson();
    document["voicing"]["defaultStyle"] = "closed";
    json slots = json::array();
    std::string input;
    for (int i = 0; i < 128; ++i) {
        const std::string& chord = kCycle[i % kCycle.size()];
        slots.push_back({{"id", "b" + std::to_string(i)},
                         {"duration", 2.0},
                         {"chord", {{"original", chord}}},
                         {"voicingStyle", "closed"},
                         {"velocity", 100},
                         {"attack", {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}}},
                         {"attackOrders", json::array()}});
        input += (i ? " " : "") + chord;
    }
    document["progression"] = {{"input", input}, {"slots", slots}};
    document["gesture"] = {{"newChordVelocity", 100},
                           {"newChordAttack", {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}}},
                           {"newChordAttackOrders", json::array()}};
    return document;
}

// A session holding the bench document; each command gets a fresh ID and the current base.
struct BenchSession {
    explicit BenchSession(bool realResolver)
        : session(realResolver ? std::make_unique<DocumentSession>()
                               : std::make_unique<DocumentSession>(std::make_shared<testing::StandInResolver>())) {
        run({{"type", "restore_project_snapshot"}, {"documentState", benchDocument()}}, false);
    }
    BridgeReply run(json command, bool withBase = true) {
        const auto current = session->currentRevision();
        std::optional<std::uint64_t> base;
        if (withBase) base = current->revision;
        auto reply = executeDocumentCommand(
            testing::commandRequest("b" + std::to_string(next++), std::move(command), base), settings, *session);
        // Settle at once so unsettled revisions do not pile up.
        const auto now = session->currentRevision();
        session->commitRevision(now->revision, now->originatingTransactionId);
        return reply;
    }
    std::unique_ptr<DocumentSession> session;
    std::shared_ptr<const UserSettingsSection> settings = testing::sharedUserSettings();
    std::uint64_t next = 0;
};

void runCommands(benchmark::State& state, BenchSession& bench, const std::vector<json>& commands) {
    std::size_t i = 0;
    for (auto _ : state) {
        auto reply = bench.run(commands[i++ % commands.size()]);
        if (reply.type != "document_revision") state.SkipWithError(reply.payload.dump().c_str());
        benchmark::DoNotOptimize(reply);
    }
}

json chordEdit(const std::string& symbol) {
    return {{"type", "apply_slot_edits"}, {"edits", {{{"type", "chord"}, {"slotId", "b127"}, {"symbol", symbol}}}}};
}

void BM_ChordEditOfLastSlot(benchmark::State& state) {
    BenchSession bench(false);
    runCommands(state, bench, {chordEdit("D7"), chordEdit("Cmaj7")});
}
BENCHMARK(BM_ChordEditOfLastSlot)->Unit(benchmark::kMicrosecond);

void BM_DurationEdit(benchmark::State& state) {
    BenchSession bench(false);
    std::vector<json> commands;
    for (const double duration : {1.0, 3.0}) {
        commands.push_back({{"type", "apply_slot_edits"},
                            {"edits", {{{"type", "duration"}, {"slotIds", {"b64"}}, {"duration", duration}}}}});
    }
    runCommands(state, bench, commands);
}
BENCHMARK(BM_DurationEdit)->Unit(benchmark::kMicrosecond);

void BM_TextReplacementKeepingEverySlot(benchmark::State& state) {
    BenchSession bench(false);
    const std::string text = bench.session->currentRevision()->document->progression->input;
    runCommands(state, bench, {{{"type", "replace_progression_text"}, {"text", text}}});
}
BENCHMARK(BM_TextReplacementKeepingEverySlot)->Unit(benchmark::kMicrosecond);

void BM_GeneratedProgression128Items(benchmark::State& state) {
    BenchSession bench(false);
    json items = json::array();
    for (int i = 0; i < 128; ++i) items.push_back({{"type", "chord"}, {"chord", {{"symbol", kCycle[(i + 3) % 8]}}}});
    runCommands(state, bench,
                {{{"type", "apply_generated_progression"},
                  {"requestId", "g"},
                  {"items", items},
                  {"key", {{"root", "C"}, {"mode", "major"}}}}});
}
BENCHMARK(BM_GeneratedProgression128Items)->Unit(benchmark::kMicrosecond);

void BM_TranspositionWithService(benchmark::State& state) {
    BenchSession bench(false);
    runCommands(state, bench,
                {{{"type", "transpose_progression"}, {"semitones", 2}},
                 {{"type", "transpose_progression"}, {"semitones", -2}}});
}
BENCHMARK(BM_TranspositionWithService)->Unit(benchmark::kMicrosecond);

// End to end: the performance resolver voices and compiles; the port is warm after the first edit.
void BM_ChordEditOfLastSlotRealResolver(benchmark::State& state) {
    BenchSession bench(true);
    bench.run(chordEdit("D7"));
    runCommands(state, bench, {chordEdit("Cmaj7"), chordEdit("D7")});
}
BENCHMARK(BM_ChordEditOfLastSlotRealResolver)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillex
