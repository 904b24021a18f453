// The document command protocol: envelopes, the transaction-ID rule, every command's codes and the trace.
#include "session/document_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/full_regex.h"

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "support/document_samples.h"
#include "protocol/diagnostic_trace.h"
#include "support/refusal.h"
#include "session_support.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::commandRequest;
using testing::StandInResolver;
using Access = DocumentSessionTestAccess;

json sectionCommand(const std::string& type) {
    const json document = testing::fullDocumentJson();
    if (type == "set_key") return {{"type", type}, {"key", document["key"]}};
    if (type == "set_voicing_policy") return {{"type", type}, {"voicing", document["voicing"]}};
    if (type == "set_rhythm") return {{"type", type}, {"rhythm", document["rhythm"]}};
    if (type == "set_gesture_defaults") return {{"type", type}, {"gesture", document["gesture"]}};
    if (type == "set_bass_split") return {{"type", type}, {"bassSplit", document["bassSplit"]}};
    if (type == "set_clip_sync") return {{"type", type}, {"clipSync", document["clipSync"]}};
    return {{"type", type}, {"progressionLog", json::array({"C", "G"})}};
}

const std::vector<std::string> kChangeTypes = {
    "set_key",       "set_voicing_policy",    "set_rhythm", "set_gesture_defaults", "set_bass_split",
    "set_clip_sync", "update_progression_log"};

class CommandTest : public ::testing::Test {
protected:
    std::shared_ptr<StandInResolver> resolver = std::make_shared<StandInResolver>();
    DocumentSession session{resolver};
    std::shared_ptr<const UserSettingsSection> settings = testing::sharedUserSettings();
    int nextId = 0;

    std::string freshId() { return "tx" + std::to_string(nextId++); }

    BridgeReply run(const json& request) {
        BridgeReply reply = executeDocumentCommand(request, settings, session);
        if (reply.type == "document_error") {
            // Every error payload: four strings, "error" and "message" alike.
            EXPECT_EQ(reply.payload.size(), 4u);
            EXPECT_EQ(reply.payload["error"], reply.payload["message"]);
            EXPECT_TRUE(reply.payload["transactionId"].is_string());
        }
        return reply;
    }
    BridgeReply restore(const std::string& id, json state = testing::fullDocumentJson()) {
        return run(commandRequest(id, {{"type", "restore_project_snapshot"}, {"documentState", std::move(state)}}));
    }
    std::uint64_t currentNumber() { return session.currentRevision()->revision; }
    BridgeReply change(const std::string& type, const std::string& id) {
        return run(commandRequest(id, sectionCommand(type), currentNumber()));
    }
    // Whether the ID is spent: a fresh, valid read with it answers duplicate.
    bool spent(const std::string& id) {
        return testing::errorCode(run(commandRequest(id, {{"type", "get_document_view"}})).payload) ==
               "duplicate_transaction_id";
    }
};

void expectError(const BridgeReply& reply, const std::string& code, const std::string& message) {
    EXPECT_EQ(reply.type, "document_error");
    EXPECT_EQ(reply.payload["code"], code) << reply.payload.dump();
    EXPECT_EQ(reply.payload["message"], message);
}

TEST_F(CommandTest, MalformedEnvelopesAreRefusedWithoutSpendingTheId) {
    const json good = commandRequest("e1", {{"type", "get_document_view"}});
    std::vector<json> bad = {json::array(), json("text"), json(nullptr)};
    for (const char* key : {"schemaVersion", "transactionId", "command"}) {
        json copy = good;
        copy.erase(key);
        bad.push_back(copy);
    }
    for (const json& schema : {json(1.0), json("1"), json(true), json(nullptr)}) {
        json copy = good;
        copy["schemaVersion"] = schema;
        bad.push_back(copy);
    }
    for (const json& id : {json(7), json(""), json(nullptr)}) {
        json copy = good;
        copy["transactionId"] = id;
        bad.push_back(copy);
    }
    for (const json& command : {json::array(), json("get_document_view"), json(nullptr)}) {
        json copy = good;
        copy["command"] = command;
        bad.push_back(copy);
    }
    for (const auto& request : bad) {
        const auto reply = run(request);
        expectError(reply, "invalid_document_command", "Document command envelope is invalid");
        const bool carriesId =
            request.is_object() && request.contains("transactionId") && request["transactionId"].is_string();
        EXPECT_EQ(reply.payload["transactionId"], carriesId ? request["transactionId"] : json(""));
    }
    EXPECT_FALSE(spent("e1"));
}

TEST_F(CommandTest, OnlySchemaVersionOneIsServed) {
    for (const json& schema : {json(2), json(0), json(-1), json::parse("4294967297"), json::parse("-4294967295"),
                               json::parse("18446744073709551615")}) {
        json request = commandRequest("s1", {{"type", "get_document_view"}});
        request["schemaVersion"] = schema;
        expectError(run(request), "unsupported_document_schema", "Document command schema version is unsupported");
    }
    EXPECT_FALSE(spent("s1"));
    json unsignedOne = commandRequest("s2", {{"type", "get_document_view"}});
    unsignedOne["schemaVersion"] = json::parse("1");
    expectError(run(unsignedOne), "document_unavailable", "Authoritative document state is unavailable");
}

TEST_F(CommandTest, TheIdIsSpentFromTheTypeCheckOn) {
    expectError(run(commandRequest("m1", {{"kind", "set_key"}})), "invalid_document_command",
                "Document command type is missing");
    expectError(run(commandRequest("m2", {{"type", 3}})), "invalid_document_command",
                "Document command type is missing");
    expectError(run(commandRequest("m3", {{"type", "undo"}})), "unsupported_document_command",
                "Document command type is unsupported");
    for (const auto& id : {"m1", "m2", "m3"}) EXPECT_TRUE(spent(id)) << id;
    expectError(run(commandRequest("m1", {{"type", "get_document_view"}})), "duplicate_transaction_id",
                "Document command transaction ID has already been used");
}

TEST_F(CommandTest, ProgressionEditsCheckTheirFields) {
    ASSERT_EQ(restore("r").type, "document_revision");
    for (const std::string type : {"replace_progression_text", "apply_slot_edits", "transpose_progression",
                                   "set_parallel_mode", "apply_generated_progression"}) {
        const auto id = freshId();
        expectError(run(commandRequest(id, {{"type", type}}, 0)), "invalid_document_command",
                    type + " fields are invalid");
        EXPECT_TRUE(spent(id));
    }
}

TEST_F(CommandTest, AForgottenIdIsAcceptedAgain) {
    for (int i = 0; i < 257; ++i) {
        ASSERT_EQ(run(commandRequest("id" + std::to_string(i), {{"type", "get_document_view"}})).payload["code"],
                  "document_unavailable");
    }
    EXPECT_EQ(testing::errorCode(run(commandRequest("id0", {{"type", "get_document_view"}})).payload),
              "document_unavailable");
    EXPECT_EQ(testing::errorCode(run(commandRequest("id2", {{"type", "get_document_view"}})).payload),
              "duplicate_transaction_id");
}

TEST_F(CommandTest, DocumentViewReportsTheSettlementState) {
    expectError(run(commandRequest("v0", {{"type", "get_document_view"}})), "document_unavailable",
                "Authoritative document state is unavailable");
    ASSERT_EQ(restore("r0").type, "document_revision");

    json targeted = commandRequest("v1", {{"type", "get_document_view"}});
    targeted["responseTarget"] = "bridge";
    auto view = run(targeted);
    ASSERT_EQ(view.type, "document_view");
    const auto current = session.currentRevision();
    EXPECT_EQ(view.payload["documentState"], writeProjectDocument(*current->document));
    EXPECT_EQ(view.payload["revision"], 0);
    EXPECT_EQ(view.payload["durableRevision"], 0);
    EXPECT_EQ(view.payload["clipPlanChanged"], false);
    EXPECT_EQ(view.payload["transactionId"], "v1");
    EXPECT_FALSE(view.payload.contains("originatingTransactionId"));
    EXPECT_EQ(view.payload["derivedVoicings"]["source"], "display");

    ASSERT_EQ(change("set_gesture_defaults", "g1").type, "document_revision");
    view = run(commandRequest("v2", {{"type", "get_document_view"}}));
    EXPECT_EQ(view.payload["revision"], 1);
    EXPECT_EQ(view.payload["clipPlanChanged"], false);  // impact 0 shares the plan
    EXPECT_EQ(view.payload["originatingTransactionId"], "g1");
    ASSERT_EQ(change("set_rhythm", "r2").type, "document_revision");
    view = run(commandRequest("v3", {{"type", "get_document_view"}}));
    EXPECT_EQ(view.payload["clipPlanChanged"], true);
    EXPECT_EQ(view.payload["durableRevision"], 0);

    for (const json& request : {commandRequest("v4", {{"type", "get_document_view"}}, 2),
                                commandRequest("v5", {{"type", "get_document_view"}, {"x", 1}})}) {
        expectError(run(request), "invalid_document_command", "get_document_view fields are invalid");
    }
}

TEST_F(CommandTest, DocumentRevisionAnswersWithAView) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    ASSERT_EQ(change("set_bass_split", "b1").type, "document_revision");
    auto reply = run(commandRequest("q1", {{"type", "get_document_revision"}, {"revision", 0}}));
    ASSERT_EQ(reply.type, "document_view");
    EXPECT_EQ(reply.payload.size(), 4u);
    EXPECT_EQ(reply.payload["revision"], 0);
    EXPECT_EQ(reply.payload["originatingTransactionId"], "r0");
    EXPECT_EQ(reply.payload["transactionId"], "q1");
    EXPECT_EQ(reply.payload["documentState"], writeProjectDocument(*session.revisionAt(0)->document));

    expectError(run(commandRequest("q2", {{"type", "get_document_revision"}, {"revision", 9}})),
                "document_revision_unavailable", "Requested document revision is unavailable");
    for (const json& revision : {json(-1), json(1.0), json("1"), json(nullptr)}) {
        expectError(run(commandRequest(freshId(), {{"type", "get_document_revision"}, {"revision", revision}})),
                    "invalid_document_command", "get_document_revision fields are invalid");
    }
    expectError(run(commandRequest(freshId(), {{"type", "get_document_revision"}})), "invalid_document_command",
                "get_document_revision fields are invalid");
}

TEST_F(CommandTest, RestoreRepliesWithTheWholeView) {
    const auto reply = restore("r0");
    ASSERT_EQ(reply.type, "document_revision");
    EXPECT_EQ(reply.payload["baseRevision"], nullptr);
    EXPECT_EQ(reply.payload["transactionId"], "r0");
    EXPECT_EQ(reply.payload["revision"], 0);
    EXPECT_TRUE(reply.payload.contains("derivedVoicings"));
    EXPECT_EQ(reply.payload["documentState"], writeProjectDocument(*session.currentRevision()->document));

    const auto before = session.currentRevision();
    expectError(run(commandRequest("r1", {{"type", "restore_project_snapshot"}, {"documentState", 3}})),
                "invalid_document_command", "restore_project_snapshot fields are invalid");
    expectError(run(commandRequest(
                    "r2", {{"type", "restore_project_snapshot"}, {"documentState", testing::fullDocumentJson()}}, 0)),
                "invalid_document_command", "restore_project_snapshot fields are invalid");
    json bad = testing::fullDocumentJson();
    bad["schemaVersion"] = 14;
    expectError(restore("r3", bad), "document_restore_failed", testing::ownRefusal([&] { readProjectDocument(bad); }));
    resolver->failVoicings = "Performance plan exceeds the row limit";
    expectError(restore("r4"), "document_restore_failed", "Performance plan exceeds the row limit");
    EXPECT_EQ(session.currentRevision(), before);
    for (const auto& id : {"r1", "r2", "r3", "r4"}) EXPECT_TRUE(spent(id));
}

TEST_F(CommandTest, ChangesWithoutUserSettingsFailAfterTheirFieldChecks) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    const auto before = session.currentRevision();
    settings = nullptr;
    for (const auto& type : kChangeTypes) {
        const auto id = freshId();
        expectError(change(type, id), "document_command_failed", "DocumentSession requires validated user settings");
        EXPECT_TRUE(spent(id));
        // A field fault still answers first.
        json command = sectionCommand(type);
        command["extra"] = true;
        expectError(run(commandRequest(freshId(), command, 0)), "invalid_document_command",
                    type + " fields are invalid");
    }
    expectError(restore("r1"), "document_command_failed", "DocumentSession requires validated user settings");
    EXPECT_EQ(session.currentRevision(), before);
    // Reads and settlements need no settings.
    EXPECT_EQ(run(commandRequest(freshId(), {{"type", "get_document_view"}})).type, "document_view");
    expectError(run(commandRequest(freshId(),
                                   {{"type", "commit_revision"}, {"revision", 0}, {"originatingTransactionId", "r0"}})),
                "document_settlement_mismatch", "Document settlement did not match an unsettled revision");
}

TEST_F(CommandTest, ChangeCommandsCheckTheirFieldsStrictly) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    const auto before = session.currentRevision();
    for (const auto& type : kChangeTypes) {
        const std::string message = type + " fields are invalid";
        std::vector<json> requests;
        json targeted = commandRequest(freshId(), sectionCommand(type), 0);
        targeted["responseTarget"] = "bridge";
        requests.push_back(targeted);
        requests.push_back(commandRequest(freshId(), sectionCommand(type)));  // no baseRevision
        for (const json& base : {json(-1), json(0.0), json("0"), json(nullptr)}) {
            json request = commandRequest(freshId(), sectionCommand(type), 0);
            request["baseRevision"] = base;
            requests.push_back(request);
        }
        json extra = sectionCommand(type);
        extra["extra"] = 1;
        requests.push_back(commandRequest(freshId(), extra, 0));
        requests.push_back(commandRequest(freshId(), {{"type", type}}, 0));
        for (const auto& request : requests) {
            const auto reply = run(request);
            expectError(reply, "invalid_document_command", message);
            EXPECT_TRUE(spent(request["transactionId"]));
        }
    }
    EXPECT_EQ(session.currentRevision(), before);
}

TEST_F(CommandTest, SectionReadersAndSessionOutcomesReachThePage) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    const auto before = session.currentRevision();
    for (const auto& type : kChangeTypes) {
        json command = sectionCommand(type);
        const std::string key = type == "set_key"                ? "key"
                                : type == "set_voicing_policy"   ? "voicing"
                                : type == "set_rhythm"           ? "rhythm"
                                : type == "set_gesture_defaults" ? "gesture"
                                : type == "set_bass_split"       ? "bassSplit"
                                : type == "set_clip_sync"        ? "clipSync"
                                                                 : "progressionLog";
        command[key] = "not a section";
        const auto reply = run(commandRequest(freshId(), command, 0));
        EXPECT_EQ(reply.payload["code"], "document_command_failed") << type;
        EXPECT_FALSE(reply.payload["message"].get<std::string>().empty());

        expectError(run(commandRequest(freshId(), sectionCommand(type), 5)), "document_revision_mismatch",
                    "Document command baseRevision 5 does not match current revision 0");
    }
    EXPECT_EQ(session.currentRevision(), before);

    resolver->failPlan = "Document rhythm is invalid";
    expectError(change("set_rhythm", "p1"), "document_resolution_failed", "Document rhythm is invalid");
    expectError(change("set_key", "p2"), "document_resolution_failed", "Document rhythm is invalid");
    resolver->failPlan.reset();
    EXPECT_EQ(session.currentRevision(), before);

    json badChord = testing::fullDocumentJson();
    ASSERT_EQ(restore("r1", badChord).type, "document_revision");
    const auto restored = session.currentRevision();
    json unplaceable = sectionCommand("set_key");
    unplaceable["key"]["root"] = "H";
    expectError(run(commandRequest(freshId(), unplaceable, restored->revision)), "document_command_failed",
                "Document key root is invalid");

    const auto current = session.currentRevision();
    Access::setBeforePublish(session, [&] {
        auto intruder = std::make_shared<ResolvedDocumentRevision>(*current);
        intruder->revision = current->revision + 100;
        Access::replaceCurrent(session, intruder);
    });
    expectError(change("set_clip_sync", "stale"), "document_revision_stale",
                "Document command became stale while musical state was resolving");
}

TEST_F(CommandTest, ClipSyncMayCarryTheBassSplit) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    const auto before = session.currentRevision();
    json command = sectionCommand("set_clip_sync");
    command["bassSplit"] = {{"target", "off"}, {"mode", "migrate"}};
    const auto reply = run(commandRequest("c1", command, 0));
    ASSERT_EQ(reply.type, "document_revision");
    const auto after = session.currentRevision();
    EXPECT_EQ(after->revision, 1u);
    EXPECT_NE(after->document->clipSync, before->document->clipSync);
    EXPECT_NE(after->document->bassSplit, before->document->bassSplit);
    EXPECT_EQ(reply.payload["changes"], (json{{"bassSplit", writeBassSplitSection(*after->document->bassSplit)},
                                              {"clipSync", writeClipSyncSection(*after->document->clipSync)}}));

    command.erase("bassSplit");
    command["gesture"] = json::object();
    expectError(run(commandRequest("c2", command, 1)), "invalid_document_command", "set_clip_sync fields are invalid");
    EXPECT_EQ(session.currentRevision(), after);
}

TEST_F(CommandTest, ProgressionLogUpdatesReplaceTheWholeLog) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    auto reply = run(commandRequest("l1", {{"type", "update_progression_log"}, {"progressionLog", json::array()}}, 0));
    ASSERT_EQ(reply.type, "document_revision");
    EXPECT_TRUE(session.currentRevision()->document->progressionLog->empty());
    EXPECT_EQ(reply.payload["changes"], (json{{"progressionLog", json::array()}}));
    reply = run(commandRequest("l2", {{"type", "update_progression_log"}, {"progressionLog", {"Am", 3}}}, 1));
    EXPECT_EQ(reply.payload["code"], "document_command_failed");
    EXPECT_EQ(reply.payload["message"], testing::libraryTypeErrorText<std::string>(json(3)));
}

TEST_F(CommandTest, SettlementsCommitAndRollBack) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    ASSERT_EQ(change("set_bass_split", "t1").type, "document_revision");
    ASSERT_EQ(change("set_bass_split", "t2").type, "document_revision");
    const auto settle = [&](const std::string& type, json revision, json originating) {
        return run(commandRequest(freshId(),
                                  {{"type", type}, {"revision", revision}, {"originatingTransactionId", originating}}));
    };
    auto commit = settle("commit_revision", 1, "t1");
    ASSERT_EQ(commit.type, "document_commit_result");
    EXPECT_EQ(commit.payload, (json{{"originatingTransactionId", "t1"},
                                    {"revision", 1},
                                    {"settledRevision", 1},
                                    {"status", "commit_revision"},
                                    {"transactionId", commit.payload["transactionId"]}}));
    for (const auto& type : {"commit_revision", "rollback_revision"}) {
        expectError(settle(type, 1, "t1"), "document_settlement_mismatch",
                    "Document settlement did not match an unsettled revision");
        expectError(settle(type, 2, "t1"), "document_settlement_mismatch",
                    "Document settlement did not match an unsettled revision");
        expectError(settle(type, -1, "t1"), "invalid_document_command", "Document settlement fields are invalid");
        expectError(settle(type, 2, 5), "invalid_document_command", "Document settlement fields are invalid");
        expectError(run(commandRequest(freshId(), {{"type", type}, {"revision", 2}}, 1)), "invalid_document_command",
                    "Document settlement fields are invalid");
        expectError(
            run(commandRequest(freshId(), {{"type", type}, {"revision", 2}, {"originatingTransactionId", "t2"}}, 1)),
            "invalid_document_command", "Document settlement fields are invalid");
    }
    const auto durable = session.durableRevision();
    const auto rollback = settle("rollback_revision", 2, "t2");
    ASSERT_EQ(rollback.type, "document_rollback");
    EXPECT_EQ(rollback.payload["revision"], 1);
    EXPECT_EQ(rollback.payload["settledRevision"], 2);
    EXPECT_EQ(rollback.payload["status"], "rollback_revision");
    EXPECT_EQ(rollback.payload["originatingTransactionId"], "t2");
    EXPECT_EQ(rollback.payload["documentState"], writeProjectDocument(*durable->document));
    EXPECT_TRUE(rollback.payload.contains("derivedVoicings"));
    EXPECT_EQ(session.currentRevision(), durable);
}

TEST_F(CommandTest, ChangeReportsShowTheImpactLevel) {
    ASSERT_EQ(restore("r0").type, "document_revision");
    const json emptyPatch = {{"inversionLimits", json::array()},
                             {"noteLabels", json::array()},
                             {"slashBasses", json::array()},
                             {"start", 2},
                             {"total", 2},
                             {"voicings", json::array()}};
    // Impact 0: plan and voicings shared.
    auto reply = change("set_gesture_defaults", "g");
    EXPECT_EQ(reply.payload["clipPlanChanged"], false);
    EXPECT_EQ(reply.payload["derivedPatch"], emptyPatch);
    // Identity, not content: the same gesture sent again is a new section object.
    EXPECT_EQ(reply.payload["changes"],
              (json{{"gesture", writeGestureSection(*session.currentRevision()->document->gesture)}}));
    // Impact 1: a new plan, the voicings shared.
    reply = change("set_rhythm", "r");
    EXPECT_EQ(reply.payload["clipPlanChanged"], true);
    EXPECT_EQ(reply.payload["derivedPatch"], emptyPatch);
    EXPECT_FALSE(reply.payload.contains("progressionPatch"));
    // Impact 2: voicings compiled anew; a changed second chord is sent from there on.
    auto changed = std::make_shared<ResolvedVoicings>(*session.currentRevision()->voicings);
    (*changed)[1].notes.push_back(84);
    resolver->readyVoicings = changed;
    reply = change("set_key", "k");
    EXPECT_EQ(reply.payload["clipPlanChanged"], true);
    EXPECT_EQ(reply.payload["derivedPatch"]["start"], 1);
    EXPECT_EQ(reply.payload["derivedPatch"]["voicings"], json::array({(*changed)[1].notes}));
    EXPECT_TRUE(reply.payload["changes"].contains("key"));
}

TEST_F(CommandTest, TraceLinesOnlyForSuccessfulChanges) {
    resetDiagnosticTrace();
    ASSERT_EQ(restore("quiet").type, "document_revision");
    EXPECT_TRUE(diagnosticTraceLines().empty());
    setDiagnosticTraceEnabled(true);
    ASSERT_EQ(change("set_gesture_defaults", "g1").type, "document_revision");
    run(commandRequest(freshId(), {{"type", "get_document_view"}}));
    run(commandRequest(freshId(), {{"type", "commit_revision"}, {"revision", 1}, {"originatingTransactionId", "g1"}}));
    expectError(change("set_bass_split", "g1"), "duplicate_transaction_id",
                "Document command transaction ID has already been used");
    run(commandRequest("b2", sectionCommand("set_bass_split"), 0));  // stale base
    ASSERT_EQ(restore("r5").type, "document_revision");
    const auto lines = diagnosticTraceLines();
    resetDiagnosticTrace();
    std::vector<std::string> commandLines;
    for (const auto& line : lines) {
        if (line.rfind("document_command ", 0) == 0) commandLines.push_back(line);
    }
    ASSERT_EQ(commandLines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_THAT(commandLines[0], quillex::testing::FullyMatchesRegex(
                                     "document_command trace_id=g1 result=document_revision revision=1 total_ms="
                                     "[0-9]+\\.[0-9]{6}"));
    EXPECT_THAT(commandLines[1], ::testing::StartsWith("document_command trace_id=r5 result=document_revision "
                                                       "revision=2 total_ms="));
}

}  // namespace
}  // namespace quillex
