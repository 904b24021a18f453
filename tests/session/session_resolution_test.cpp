// The session with the real performance compiler: row limit, resolution errors and a long settled run.
#include <gtest/gtest.h>

#include "session/document_command.h"
#include "support/document_samples.h"
#include "session_support.h"

namespace quillex {
namespace {

using nlohmann::json;

json settledDocument(int slots) {
    json document = testing::documentWithSlots(slots);
    document["voicing"]["autoVoiceLeading"] = false;  // keeps the run short; voicing is not under test here
    return document;
}

TEST(RealResolution, RestoresUpToTheRowLimit) {
    DocumentSession session;
    const auto settings = testing::defaultUserSettings();
    const auto result = session.restoreProjectSnapshot(settledDocument(128), settings, "r128");
    ASSERT_TRUE(result.succeeded()) << result.errorMessage;
    EXPECT_EQ(result.revision->voicings->size(), 128u);
    EXPECT_EQ(result.revision->plan->rows.size(), 128u);

    const auto over = session.restoreProjectSnapshot(settledDocument(129), settings, "r129");
    EXPECT_EQ(over.errorCode, "document_restore_failed");
    EXPECT_EQ(over.errorMessage, "Performance plan exceeds the row limit");
    EXPECT_EQ(session.currentRevision(), result.revision);
}

TEST(RealResolution, OutOfRangeDocumentsFailWithTheSessionUnchanged) {
    DocumentSession session;
    const auto settings = testing::defaultUserSettings();
    ASSERT_TRUE(session.restoreProjectSnapshot(settledDocument(2), settings, "r0").succeeded());
    const auto before = session.currentRevision();

    json rhythm = settledDocument(2)["rhythm"];
    rhythm["customPattern"]["lengthSteps"] = 0;
    const auto reply =
        executeDocumentCommand(testing::commandRequest("t1", {{"type", "set_rhythm"}, {"rhythm", rhythm}}, 0),
                               testing::sharedUserSettings(), session);
    EXPECT_EQ(reply.payload["code"], "document_resolution_failed");
    EXPECT_EQ(reply.payload["message"], "Document rhythm is invalid");

    json broken = settledDocument(2);
    broken["progression"]["slots"][0]["velocity"] = 300;
    const auto restore = session.restoreProjectSnapshot(broken, settings, "r1");
    EXPECT_EQ(restore.errorCode, "document_restore_failed");
    EXPECT_EQ(restore.errorMessage, "Document slot is invalid");

    UserSettingsSection changed = settings;
    changed.spellingPreference = "sharps";
    const auto refresh = session.refreshUserSettings(changed, 0, "u");
    ASSERT_TRUE(refresh.succeeded()) << refresh.errorMessage;
    EXPECT_EQ(refresh.revision->revision, before->revision);
    EXPECT_EQ(refresh.revision->document, before->document);
}

TEST(RealResolution, SettledCommandsKeepTheQueueShort) {
#ifdef QUILLEX_SANITIZED
    constexpr int kCommands = 1000;
#else
    constexpr int kCommands = 10000;
#endif
    DocumentSession session;
    const auto settings = testing::sharedUserSettings();
    ASSERT_TRUE(session.restoreProjectSnapshot(settledDocument(8), *settings, "r").succeeded());
    std::weak_ptr<const ResolvedDocumentRevision> old = session.currentRevision();
    const json bassSplit = settledDocument(1)["bassSplit"];
    for (int i = 0; i < kCommands; ++i) {
        const std::string id = "c" + std::to_string(i);
        const auto number = session.currentRevision()->revision;
        const json command = i % 2 == 0 ? json{{"type", "set_bass_split"}, {"bassSplit", bassSplit}}
                                        : json{{"type", "update_progression_log"}, {"progressionLog", {id}}};
        const auto changed = executeDocumentCommand(testing::commandRequest(id, command, number), settings, session);
        ASSERT_EQ(changed.type, "document_revision") << changed.payload.dump();
        const auto committed = executeDocumentCommand(
            testing::commandRequest(
                "k" + id, {{"type", "commit_revision"}, {"revision", number + 1}, {"originatingTransactionId", id}}),
            settings, session);
        ASSERT_EQ(committed.type, "document_commit_result");
        ASSERT_LE(DocumentSessionTestAccess::revisions(session).size(), 2u);
        // Nothing keeps a settled-over revision alive.
        if (i % 100 == 99) {
            ASSERT_TRUE(old.expired()) << i;
            old = session.currentRevision();
        }
    }
    EXPECT_EQ(DocumentSessionTestAccess::transactionIdOrder(session).size(), DocumentSession::kTransactionIdMemory);
}

TEST(RealResolution, VoiceLeadsAPowerChordAfterANinth) {
    DocumentSession session;
    json document = testing::minimalDocumentJson();
    document["voicing"]["defaultStyle"] = "guide-color";
    for (const bool bassChanges : {false, true}) {
        document["voicing"]["allowBassChanges"] = bassChanges;
        const std::string id = bassChanges ? "b" : "a";
        ASSERT_TRUE(session.restoreProjectSnapshot(document, testing::defaultUserSettings(), "r" + id).succeeded());
        const auto reply = executeDocumentCommand(
            testing::commandRequest("t" + id, {{"type", "replace_progression_text"}, {"text", "C9 C5"}},
                                    session.currentRevision()->revision),
            testing::sharedUserSettings(), session);
        EXPECT_EQ(reply.type, "document_revision") << reply.payload.dump();
    }
}

}  // namespace
}  // namespace quillex
