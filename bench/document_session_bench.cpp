// Document side of session commands on a 128-slot document of rich chords, and set_key end to end.
#include <benchmark/benchmark.h>

#include "session/document_command.h"
#include "tests/support/document_samples.h"
#include "tests/session/session_support.h"

namespace quillex {
namespace {

using nlohmann::json;

const json& richDocument() {
    static const json document = testing::documentWithSlots(128);
    return document;
}

// A session restored from the rich document whose resolver hands back ready results,
// so only the document side is measured.
struct ReadySession {
    std::shared_ptr<testing::StandInResolver> resolver = std::make_shared<testing::StandInResolver>();
    DocumentSession session{resolver};
    std::shared_ptr<const UserSettingsSection> settings = testing::sharedUserSettings();
    std::uint64_t nextId = 0;

    ReadySession() {
        resolver->rowsPerSlot = true;
        auto restored = session.restoreProjectSnapshot(richDocument(), *settings, "restore");
        resolver->readyVoicings = restored.revision->voicings;
        resolver->readyPlan = restored.revision->plan;
    }
    std::string id() { return "b" + std::to_string(nextId++); }
    std::uint64_t current() const { return session.currentRevision()->revision; }
    BridgeReply run(const json& request) { return executeDocumentCommand(request, settings, session); }
    // Leaves `count` unsettled revisions after a committed one.
    void unsettle(int count) {
        const auto current = session.currentRevision();
        session.commitRevision(current->revision, current->originatingTransactionId);
        for (int i = 0; i < count; ++i) {
            session.setBassSplit(session.currentRevision()->document->bassSplit, *settings, this->current(), id());
        }
    }
};

void runChanges(benchmark::State& state, const json& command) {
    ReadySession ready;
    for (auto _ : state) {
        const std::string id = ready.id();
        auto reply = ready.run(testing::commandRequest(id, command, ready.current()));
        if (reply.type != "document_revision") state.SkipWithError(reply.payload.dump().c_str());
        benchmark::DoNotOptimize(reply);
        state.PauseTiming();
        ready.session.commitRevision(ready.current(), id);
        state.ResumeTiming();
    }
}

void BM_BassSplitCommand128Slots(benchmark::State& state) {
    runChanges(state, {{"type", "set_bass_split"}, {"bassSplit", richDocument()["bassSplit"]}});
}
BENCHMARK(BM_BassSplitCommand128Slots)->Unit(benchmark::kMicrosecond);

void BM_ProgressionLogUpdate128Slots(benchmark::State& state) {
    runChanges(state, {{"type", "update_progression_log"}, {"progressionLog", {"Ebmaj7/G", "C/E", "Fm7"}}});
}
BENCHMARK(BM_ProgressionLogUpdate128Slots)->Unit(benchmark::kMicrosecond);

// 128 chords analysed again in the same key: the progression patch is empty.
void BM_SetSameKey128Slots(benchmark::State& state) {
    runChanges(state, {{"type", "set_key"}, {"key", richDocument()["key"]}});
}
BENCHMARK(BM_SetSameKey128Slots)->Unit(benchmark::kMicrosecond);

void BM_CommitWith16Unsettled(benchmark::State& state) {
    ReadySession ready;
    for (auto _ : state) {
        state.PauseTiming();
        ready.unsettle(16);
        const auto newest = ready.session.currentRevision();
        const auto target = ready.session.revisionAt(newest->revision - 8);
        const json commit =
            testing::commandRequest(ready.id(), {{"type", "commit_revision"},
                                                 {"revision", target->revision},
                                                 {"originatingTransactionId", target->originatingTransactionId}});
        state.ResumeTiming();
        auto reply = ready.run(commit);
        if (reply.type != "document_commit_result") state.SkipWithError("commit refused");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_CommitWith16Unsettled)->Unit(benchmark::kMicrosecond);

// The session's own rollback (its only undo), without the reply's document.
void BM_SessionRollbackWith16Unsettled(benchmark::State& state) {
    ReadySession ready;
    for (auto _ : state) {
        state.PauseTiming();
        ready.unsettle(16);
        const auto newest = ready.session.currentRevision();
        state.ResumeTiming();
        auto back = ready.session.rollbackRevision(newest->revision, newest->originatingTransactionId);
        if (!back) state.SkipWithError("rollback refused");
        benchmark::DoNotOptimize(back);
    }
}
BENCHMARK(BM_SessionRollbackWith16Unsettled)->Unit(benchmark::kMicrosecond);

// Replies that carry the whole document.
void BM_RollbackReply128Slots(benchmark::State& state) {
    ReadySession ready;
    for (auto _ : state) {
        state.PauseTiming();
        ready.unsettle(16);
        const auto newest = ready.session.currentRevision();
        const json request =
            testing::commandRequest(ready.id(), {{"type", "rollback_revision"},
                                                 {"revision", newest->revision},
                                                 {"originatingTransactionId", newest->originatingTransactionId}});
        state.ResumeTiming();
        auto reply = ready.run(request);
        if (reply.type != "document_rollback") state.SkipWithError("rollback refused");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_RollbackReply128Slots)->Unit(benchmark::kMicrosecond);

void BM_RestoreReply128Slots(benchmark::State& state) {
    ReadySession ready;
    const json command = {{"type", "restore_project_snapshot"}, {"documentState", richDocument()}};
    for (auto _ : state) {
        state.PauseTiming();
        const json request = testing::commandRequest(ready.id(), command);  // the page's text, already parsed
        state.ResumeTiming();
        auto reply = ready.run(request);
        if (reply.type != "document_revision") state.SkipWithError(reply.payload.dump().c_str());
        benchmark::DoNotOptimize(reply);
        state.PauseTiming();  // dropping the request and the reply is the bridge's business
        reply = {};
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RestoreReply128Slots)->Unit(benchmark::kMicrosecond);

void BM_DocumentViewReply128Slots(benchmark::State& state) {
    ReadySession ready;
    for (auto _ : state) {
        auto reply = ready.run(testing::commandRequest(ready.id(), {{"type", "get_document_view"}}));
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_DocumentViewReply128Slots)->Unit(benchmark::kMicrosecond);

// End to end with the performance compiler: closed style, default attacks, warm port.
void BM_SetSameKeyEndToEnd128Slots(benchmark::State& state) {
    json document = richDocument();
    document["voicing"]["defaultStyle"] = "closed";
    for (auto& slot : document["progression"]["slots"]) {
        slot["voicingStyle"] = "closed";
        slot["attack"] = {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}};
        slot["attackOrders"] = json::array();
    }
    DocumentSession session;
    const auto settings = testing::sharedUserSettings();
    if (!session.restoreProjectSnapshot(document, *settings, "restore").succeeded()) {
        state.SkipWithError("restore failed");
        return;
    }
    const json command = {{"type", "set_key"}, {"key", document["key"]}};
    std::uint64_t next = 0;
    for (auto _ : state) {
        const std::string id = "k" + std::to_string(next++);
        auto reply = executeDocumentCommand(testing::commandRequest(id, command, session.currentRevision()->revision),
                                            settings, session);
        if (reply.type != "document_revision") state.SkipWithError(reply.payload.dump().c_str());
        benchmark::DoNotOptimize(reply);
        state.PauseTiming();
        session.commitRevision(session.currentRevision()->revision, id);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SetSameKeyEndToEnd128Slots)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillex
