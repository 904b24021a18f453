// The document session: revisions, transactions, settlement, slot identifiers, recording and resolution.
#include "session/document_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/full_regex.h"

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "support/document_samples.h"
#include "protocol/diagnostic_trace.h"
#include "support/refusal.h"
#include "session_support.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::StandInResolver;
using Access = DocumentSessionTestAccess;

class SessionTest : public ::testing::Test {
protected:
    std::shared_ptr<StandInResolver> resolver = std::make_shared<StandInResolver>();
    DocumentSession session{resolver};
    UserSettingsSection settings = testing::defaultUserSettings();

    RevisionPtr restore(const std::string& id, json state = testing::fullDocumentJson()) {
        const auto result = session.restoreProjectSnapshot(state, settings, id);
        EXPECT_TRUE(result.succeeded()) << result.errorMessage;
        return result.revision;
    }
    // A gesture change on the current revision (impact 0).
    SessionResult change(const std::string& id) {
        const auto current = session.currentRevision();
        return session.setGestureDefaults(current->document->gesture, settings, current->revision, id);
    }
    std::vector<std::uint64_t> keptNumbers() {
        std::vector<std::uint64_t> numbers;
        for (const auto& revision : Access::revisions(session)) numbers.push_back(revision->revision);
        return numbers;
    }
};

TEST(SessionConstruction, DefaultVoicerPortHoldsTheInitialSolverState) {
    DocumentSession session(std::make_shared<StandInResolver>());
    const VoicerPort& port = Access::voicerPort(session);
    EXPECT_FALSE(port.hasPrevious);
    EXPECT_EQ(port.previousOptions, VoicerOptions{});
    const VoicerOptions& o = port.previousOptions;
    EXPECT_EQ(o.lowOctaveOffset, -2);
    EXPECT_EQ(o.highOctaveOffset, 1);
    EXPECT_FALSE(o.allowBassChanges);
    EXPECT_TRUE(o.allowDoubling);
    EXPECT_EQ(std::tie(o.minNotes, o.maxNotes, o.minSpan, o.maxSpan), std::make_tuple(1, 4, 0, 127));
    EXPECT_EQ(std::tie(o.top, o.middle, o.bottom, o.targetNotes), std::make_tuple(72, 60, 48, 4));
    EXPECT_EQ(std::tie(o.middleWeightScale, o.bottomWeightScale, o.topWeightScale), std::make_tuple(1.0, 1.0, 1.0));
    EXPECT_EQ(o.sameBassWeight, -12.0);
    EXPECT_EQ(o.bassOctaveLeapWeight, -1000.0);
    EXPECT_EQ(std::tie(o.splitFifthStyles, o.splitFifthCeiling, o.splitFifthWeight),
              std::make_tuple(StyleMask{8}, 62, -18.0));
    EXPECT_EQ(std::tie(o.lowClusterMin, o.lowClusterCeiling), std::make_tuple(3, 60));
    EXPECT_EQ(std::tie(o.upperGapStyles, o.upperGapLimit), std::make_tuple(kNoStyles, 5));
    for (const auto& weight : o.learnedWeightOverrides) {
        EXPECT_EQ(weight.factor, 1.0);
        EXPECT_EQ(weight.styles, kNoStyles);
    }
    EXPECT_TRUE(port.previousSymbols.empty());
    EXPECT_EQ(port.cacheState, nullptr);
}

TEST_F(SessionTest, EmptySessionRefusesEverythingButARestore) {
    EXPECT_EQ(session.currentRevision(), nullptr);
    EXPECT_EQ(session.durableRevision(), nullptr);
    EXPECT_EQ(session.revisionAt(0), nullptr);
    EXPECT_FALSE(session.commitRevision(0, "t"));
    EXPECT_EQ(session.rollbackRevision(0, "t"), nullptr);
    RevisionPtr base;
    const auto check = session.checkTransaction(0, "t", base);
    EXPECT_EQ(check.errorCode, "document_revision_mismatch");
    EXPECT_EQ(check.errorMessage, "Document command baseRevision 0 does not match current revision uninitialized");
    EXPECT_FALSE(check.succeeded());
    try {
        session.requireRevision(0);
        ADD_FAILURE() << "no revision kept";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Resolved document revision is unavailable");
    }
}

TEST_F(SessionTest, TransactionCheckReportsTheMismatchBeforeTheMissingId) {
    restore("r");
    ASSERT_TRUE(change("a").succeeded());
    RevisionPtr base;
    auto check = session.checkTransaction(0, "", base);
    EXPECT_EQ(check.errorCode, "document_revision_mismatch");
    EXPECT_EQ(check.errorMessage, "Document command baseRevision 0 does not match current revision 1");
    EXPECT_EQ(base, session.currentRevision());
    check = session.checkTransaction(1, "", base);
    EXPECT_EQ(check.errorCode, "invalid_transaction_id");
    EXPECT_EQ(check.errorMessage, "Document command requires a transaction ID");
    check = session.checkTransaction(1, "x", base);
    EXPECT_TRUE(check.succeeded());
    EXPECT_EQ(check.revision, base);
}

TEST_F(SessionTest, CommitsMoveTheDurableRevisionForwardAndPrune) {
    restore("r0");
    ASSERT_TRUE(change("t1").succeeded());
    ASSERT_TRUE(change("t2").succeeded());
    EXPECT_EQ(keptNumbers(), (std::vector<std::uint64_t>{0, 1, 2}));
    EXPECT_FALSE(session.commitRevision(1, "t2"));  // the ID must be the revision's own
    EXPECT_TRUE(session.commitRevision(1, "t1"));
    EXPECT_EQ(session.durableRevision()->revision, 1u);
    EXPECT_EQ(session.currentRevision()->revision, 2u);
    EXPECT_EQ(keptNumbers(), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_FALSE(session.commitRevision(1, "t1"));
    EXPECT_FALSE(session.commitRevision(1, "other"));
    EXPECT_FALSE(session.commitRevision(0, "r0"));  // pruned
    EXPECT_TRUE(session.commitRevision(2, "t2"));
    EXPECT_EQ(keptNumbers(), (std::vector<std::uint64_t>{2}));
    EXPECT_EQ(session.durableRevision(), session.currentRevision());
}

TEST_F(SessionTest, RollbackDropsEveryUnsettledRevision) {
    // Revisions 1 (durable), 2, 3 (current); naming 3 or 2 drops both.
    for (const std::uint64_t named : {3u, 2u}) {
        DocumentSession fresh(resolver);
        ASSERT_TRUE(fresh.restoreProjectSnapshot(testing::fullDocumentJson(), settings, "r0").succeeded());
        for (std::uint64_t n = 1; n <= 3; ++n) {
            const auto current = fresh.currentRevision();
            ASSERT_TRUE(
                fresh.setBassSplit(current->document->bassSplit, settings, n - 1, "t" + std::to_string(n)).succeeded());
        }
        ASSERT_TRUE(fresh.commitRevision(1, "t1"));
        const auto durable = fresh.durableRevision();
        const auto back = fresh.rollbackRevision(named, "t" + std::to_string(named));
        EXPECT_EQ(back, durable);
        EXPECT_EQ(fresh.currentRevision(), durable);
        EXPECT_EQ(Access::revisions(fresh), std::vector<RevisionPtr>{durable});
        // The next command takes durable + 1 again.
        const auto again = fresh.setBassSplit(durable->document->bassSplit, settings, 1, "t4");
        ASSERT_TRUE(again.succeeded());
        EXPECT_EQ(again.revision->revision, 2u);
    }
}

TEST_F(SessionTest, RollbackRefusesTheDurableRevisionAndUnknownPairs) {
    restore("r0");
    ASSERT_TRUE(change("t1").succeeded());
    EXPECT_EQ(session.rollbackRevision(0, "r0"), nullptr);
    EXPECT_EQ(session.rollbackRevision(1, "r0"), nullptr);
    EXPECT_EQ(session.rollbackRevision(7, "t1"), nullptr);
    EXPECT_EQ(keptNumbers(), (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(session.currentRevision()->revision, 1u);
}

TEST_F(SessionTest, TransactionIdMemoryHoldsExactly256) {
    for (int i = 0; i < 257; ++i) ASSERT_TRUE(session.rememberTransactionId("id" + std::to_string(i)));
    EXPECT_EQ(Access::transactionIdOrder(session).size(), 256u);
    EXPECT_EQ(Access::seenTransactionIdCount(session), 256u);
    EXPECT_FALSE(session.rememberTransactionId("id1"));
    EXPECT_FALSE(session.rememberTransactionId("id256"));
    EXPECT_TRUE(session.rememberTransactionId("id0"));  // forgotten, so accepted again
    EXPECT_FALSE(Access::remembers(session, "id1"));    // and it pushed out the next oldest
    EXPECT_EQ(Access::transactionIdOrder(session).back(), "id0");
}

TEST_F(SessionTest, SlotIdentifiersSkipUsedNumbersAndNeverGoBack) {
    std::unordered_set<std::string> used = {"s0", "s1"};
    EXPECT_EQ(session.makeSlotId(used), "s2");
    EXPECT_EQ(Access::nextSlotNumber(session), 3u);
    EXPECT_TRUE(used.count("s2"));
    std::unordered_set<std::string> none;
    EXPECT_EQ(session.makeSlotId(none), "s3");
}

TEST_F(SessionTest, RestoreFillsMissingIdentifiersAndRefusesDuplicates) {
    json state = testing::fullDocumentJson();
    auto& slots = state["progression"]["slots"];
    slots[0]["id"] = "s1";
    slots[1]["id"] = "";
    slots[2].erase("id");
    const auto revision = restore("r0", state);
    const auto& restored = revision->document->progression->slots;
    EXPECT_EQ(restored[0].id, "s1");
    EXPECT_EQ(restored[1].id, "s0");
    EXPECT_EQ(restored[2].id, "s2");  // s1 is taken

    const auto before = session.currentRevision();
    slots[2]["id"] = "s1";
    slots[1]["id"] = "x";
    const auto result = session.restoreProjectSnapshot(state, settings, "r1");
    EXPECT_EQ(result.errorCode, "document_restore_failed");
    EXPECT_EQ(result.errorMessage, "Document slot IDs must be non-empty and unique");
    EXPECT_EQ(result.revision, nullptr);
    EXPECT_EQ(session.currentRevision(), before);
}

TEST_F(SessionTest, RestoreStartsOrReplacesTheWholeHistory) {
    const auto first = restore("r0");
    EXPECT_EQ(first->revision, 0u);
    EXPECT_EQ(session.durableRevision(), first);
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(change("t" + std::to_string(i)).succeeded());
    const auto second = restore("r4");
    EXPECT_EQ(second->revision, 4u);
    EXPECT_EQ(session.durableRevision(), second);
    EXPECT_EQ(keptNumbers(), std::vector<std::uint64_t>{4});
    EXPECT_EQ(second->originatingTransactionId, "r4");
}

TEST_F(SessionTest, RestoreFailuresKeepTheSession) {
    restore("r0");
    const auto before = session.currentRevision();
    struct Case {
        json state;
        std::string transactionId;
        std::optional<std::string> voicingFailure;
        std::string message;
    };
    json badSchema = testing::fullDocumentJson();
    badSchema["schemaVersion"] = 14;
    const std::vector<Case> cases = {
        {testing::fullDocumentJson(), "", std::nullopt, "DocumentSession requires a transaction ID"},
        {testing::fullDocumentJson(), "r1", "Performance plan exceeds the row limit",
         "Performance plan exceeds the row limit"},
        {badSchema, "r1", std::nullopt, testing::ownRefusal([&] { readProjectDocument(badSchema); })},
    };
    for (const auto& c : cases) {
        resolver->failVoicings = c.voicingFailure;
        const auto result = session.restoreProjectSnapshot(c.state, settings, c.transactionId);
        EXPECT_EQ(result.errorCode, "document_restore_failed");
        EXPECT_EQ(result.errorMessage, c.message);
        EXPECT_EQ(session.currentRevision(), before);
        EXPECT_EQ(keptNumbers(), std::vector<std::uint64_t>{0});
    }
}

TEST_F(SessionTest, ImpactLevelsShareWhatTheyDoNotRecompute) {
    restore("r0");
    const auto base = session.currentRevision();
    const int voicings = resolver->voicingCalls, plans = resolver->planCalls;

    auto none = change("g");
    ASSERT_TRUE(none.succeeded());
    EXPECT_EQ(none.revision->voicings, base->voicings);
    EXPECT_EQ(none.revision->plan, base->plan);
    EXPECT_EQ(none.revision->document->progression, base->document->progression);
    EXPECT_NE(none.revision->document, base->document);
    EXPECT_EQ(resolver->voicingCalls, voicings);
    EXPECT_EQ(resolver->planCalls, plans);

    auto performance = session.setRhythm(base->document->rhythm, settings, 1, "r");
    ASSERT_TRUE(performance.succeeded());
    EXPECT_EQ(performance.revision->voicings, base->voicings);
    EXPECT_NE(performance.revision->plan, base->plan);
    EXPECT_EQ(resolver->voicingCalls, voicings);
    EXPECT_EQ(resolver->planCalls, plans + 1);

    auto harmony = session.setKey(base->document->key, settings, 2, "k");
    ASSERT_TRUE(harmony.succeeded());
    EXPECT_NE(harmony.revision->voicings, base->voicings);
    EXPECT_EQ(resolver->voicingCalls, voicings + 1);
    EXPECT_EQ(resolver->planCalls, plans + 2);
}

TEST_F(SessionTest, RecordingFailuresPublishNothing) {
    restore("r0");
    const auto before = session.currentRevision();
    resolver->failPlan = "Performance plan exceeds the row limit";
    const auto result = session.setRhythm(before->document->rhythm, settings, 0, "r1");
    EXPECT_EQ(result.errorCode, "document_resolution_failed");
    EXPECT_EQ(result.errorMessage, "Performance plan exceeds the row limit");
    EXPECT_EQ(session.currentRevision(), before);
    EXPECT_EQ(keptNumbers(), std::vector<std::uint64_t>{0});
    resolver->failPlan.reset();
    // A harmony record needs a transaction ID of its own.
    RevisionPtr base = before;
    const auto unnamed = session.recordRevision(base, *before->document, settings, "", ResolveImpact::Harmony);
    EXPECT_EQ(unnamed.errorCode, "document_resolution_failed");
    EXPECT_EQ(unnamed.errorMessage, "DocumentSession requires a transaction ID");
}

TEST_F(SessionTest, AChangeOfCurrentDuringResolutionTurnsStale) {
    restore("r0");
    ASSERT_TRUE(change("t1").succeeded());
    const auto before = session.currentRevision();
    RevisionPtr intruder;
    std::uint64_t intruderNumber = 1;
    Access::setBeforePublish(session, [&] {
        auto revision = std::make_shared<ResolvedDocumentRevision>(*before);
        revision->revision = ++intruderNumber;
        intruder = revision;
        Access::replaceCurrent(session, intruder);
    });
    const auto kept = Access::revisions(session);

    const auto result = session.setKey(before->document->key, settings, 1, "t2");
    EXPECT_EQ(result.errorCode, "document_revision_stale");
    EXPECT_EQ(result.errorMessage, "Document command became stale while musical state was resolving");
    auto expected = kept;
    expected.push_back(intruder);
    EXPECT_EQ(Access::revisions(session), expected);  // nothing of the command was added

    const auto restored = session.restoreProjectSnapshot(testing::fullDocumentJson(), settings, "r9");
    EXPECT_EQ(restored.errorCode, "document_revision_stale");
    EXPECT_EQ(restored.errorMessage, "Project restore became stale while musical state was resolving");

    const auto refreshed = session.refreshUserSettings(settings, session.currentRevision()->revision, "u");
    EXPECT_EQ(refreshed.errorCode, "document_revision_stale");
    EXPECT_EQ(refreshed.errorMessage, "User settings changed while musical state was resolving");
}

TEST_F(SessionTest, RefreshKeepsTheNumberAndTheSettlementPair) {
    restore("r0");
    for (int i = 1; i <= 7; ++i) ASSERT_TRUE(change("t" + std::to_string(i)).succeeded());
    ASSERT_TRUE(session.commitRevision(6, "t6"));
    const auto base = session.currentRevision();
    UserSettingsSection changed = settings;
    changed.simplifyAccidentals = !changed.simplifyAccidentals;

    const int voicings = resolver->voicingCalls;
    const auto mismatch = session.refreshUserSettings(changed, 6, "u1");
    EXPECT_EQ(mismatch.errorCode, "document_revision_mismatch");
    EXPECT_EQ(resolver->voicingCalls, voicings);  // nothing compiled

    const auto result = session.refreshUserSettings(changed, 7, "u2");
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.revision->revision, 7u);
    EXPECT_EQ(result.revision->originatingTransactionId, "t7");
    EXPECT_EQ(result.revision->document, base->document);
    EXPECT_EQ(*result.revision->userSettings, changed);
    EXPECT_EQ(session.currentRevision(), result.revision);
    EXPECT_EQ(keptNumbers(), (std::vector<std::uint64_t>{6, 7}));
    EXPECT_TRUE(session.commitRevision(7, "t7"));
    EXPECT_EQ(session.durableRevision(), result.revision);

    // A refresh of the durable revision moves the durable marker too.
    const auto again = session.refreshUserSettings(settings, 7, "u3");
    ASSERT_TRUE(again.succeeded());
    EXPECT_EQ(session.durableRevision(), again.revision);
    resolver->failVoicings = "voicing broke";
    const auto failed = session.refreshUserSettings(changed, 7, "u4");
    EXPECT_EQ(failed.errorCode, "document_settings_refresh_failed");
    EXPECT_EQ(failed.errorMessage, "voicing broke");
    EXPECT_EQ(session.currentRevision(), again.revision);
}

TEST_F(SessionTest, ResolveTraceLinesFollowTheImpact) {
    resolver->rowsPerSlot = true;
    resetDiagnosticTrace();
    restore("quiet");
    EXPECT_TRUE(diagnosticTraceLines().empty());
    setDiagnosticTraceEnabled(true);
    restore("r1");
    const auto base = session.currentRevision();
    ASSERT_TRUE(session.setRhythm(base->document->rhythm, settings, 1, "r2").succeeded());
    ASSERT_TRUE(change("g3").succeeded());
    const auto lines = diagnosticTraceLines();
    resetDiagnosticTrace();
    ASSERT_EQ(lines.size(), 2u);
    const std::string ms = "[0-9]+\\.[0-9]{6}";
    EXPECT_THAT(lines[0], quillex::testing::FullyMatchesRegex(
                              "document_resolve trace_id=r1 revision=1 impact=harmony voicing_ms=" + ms +
                              " row_compile_ms=" + ms + " total_ms=" + ms + " slots=3 rows=3"));
    EXPECT_THAT(lines[1],
                quillex::testing::FullyMatchesRegex("document_resolve trace_id=r2 revision=2 impact=performance "
                                                    "voicing_ms=0\\.000000 row_compile_ms=" +
                                                    ms + " total_ms=" + ms + " slots=3 rows=3"));
    // Only the plan is compiled, so the row time is the total time.
    const auto field = [&](const std::string& name) {
        const auto at = lines[1].find(name) + name.size();
        return lines[1].substr(at, lines[1].find(' ', at) - at);
    };
    EXPECT_EQ(field("row_compile_ms="), field("total_ms="));
}

}  // namespace
}  // namespace quillex
