// Document commands through the host object and the trigger programs their revisions compile into.
#include <gtest/gtest.h>

#include "support/document_samples.h"
#include "host_harness.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

// A snapshot restore: every one resolves anew, so its plan is a new object.
std::string restoreLine(const std::string& transactionId) {
    static const std::string state = testing::fullDocumentJson().dump();
    return R"(document_command {"schemaVersion":1,"transactionId":")" + transactionId +
           R"(","command":{"type":"restore_project_snapshot","documentState":)" + state + "}}";
}

std::string programLine(std::uint64_t generation, bool enabled = true, const std::string& error = "") {
    return "toBridge trigger_program " +
           json{{"schemaVersion", 6}, {"generation", generation}, {"enabled", enabled}, {"error", error}}.dump();
}

TEST(TriggerProgram, ARevisionIsAnsweredThenItsProgramFollows) {
    HostHarness host;
    auto lines = host.run(restoreLine("a"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(splitOutletLine(lines[0]).type, "document_revision");
    EXPECT_EQ(lines[1], programLine(1));

    // A change that shares the plan compiles nothing; a bridge-routed one waits in the queue.
    lines =
        host.run(R"(document_command {"schemaVersion":1,"transactionId":"b","baseRevision":0,)"
                 R"("command":{"type":"update_progression_log","progressionLog":["C"]},"responseTarget":"bridge"})");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(splitOutletLine(lines[0]).selector, "toBridge");
    EXPECT_EQ(splitOutletLine(lines[0]).json()["type"], "document_revision");

    // Rhythm off: the installed rows play as plain chords.
    lines = host.run(R"(set_user_setting {"transactionId":"r","key":"midiTriggersUseRhythm","value":false})");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(splitOutletLine(lines[0]).type, "user_setting_saved");
    EXPECT_EQ(lines[1], programLine(2));
    testing::withObject(host, [](quillex_ext& ext) {
        const TriggerRowTable& table = ext.liveTriggerTable();
        EXPECT_EQ(table.generation, 2u);
        EXPECT_FALSE(table.planValid);
        for (const TriggerRow& row : table.rows) {
            EXPECT_EQ(row.rhythmic, 0);
            EXPECT_EQ(row.hitCount, 0);
        }
    });
}

TEST(TriggerProgram, ABurstInstallsOnlyItsLatestGeneration) {
    HostHarness host;
    host.session().runLine(":hold");
    for (int n = 0; n < 6; ++n) host.session().runLine(restoreLine("a" + std::to_string(n)));
    auto lines = host.take();
    ASSERT_EQ(lines.size(), 6u);  // the six replies, nothing installed yet
    lines = host.run(":go");
    EXPECT_EQ(lines, std::vector<std::string>{programLine(6)});
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_EQ(ext.currentTriggerGeneration(), 6u); });
}

TEST(TriggerProgram, AFreedObjectReceivesNothingWhileOthersAreServed) {
    HostHarness host;
    for (const std::string& line :
         {std::string(":new"), std::string(":hold"), std::string(":select 1"), restoreLine("one"),
          std::string(":select 2"), restoreLine("two"), restoreLine("three"), std::string(":free 1")}) {
        host.session().runLine(line);
    }
    host.take();
    EXPECT_EQ(host.run(":go"), std::vector<std::string>{"@2 " + programLine(2)});
}

TEST(TriggerProgram, ObjectsSendingBurstsSeeTheirOwnLatestGenerations) {
    HostHarness host;
    host.run(":new");
    int id = 0;
    for (int n = 0; n < 4; ++n) {
        host.session().runLine(":hold");
        for (int object = 1; object <= 2; ++object) {
            host.session().runLine(":select " + std::to_string(object));
            for (int k = 0; k <= object; ++k) host.session().runLine(restoreLine("t" + std::to_string(id++)));
        }
        host.take();
        const auto lines = host.run(":go");
        // Object 1 compiled twice per round, object 2 three times; each installs only its latest.
        EXPECT_EQ(lines, (std::vector<std::string>{programLine((n + 1) * 2), "@2 " + programLine((n + 1) * 3)}));
    }
}

TEST(TriggerProgram, DocumentCommandErrorsStayOnTheirRoad) {
    HostHarness host;
    // Not JSON-shaped as a command: the session's own error, to the page.
    auto lines = host.run(R"(document_command {"transactionId":"x"})");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(splitOutletLine(lines[0]).type, "document_error");
    // A bridge-routed envelope whose payload is not an object fails inside the dispatcher.
    lines = host.run(R"(document_command {"payload":{"responseTarget":"bridge","transactionId":"y"},"type":5})");
    ASSERT_EQ(lines.size(), 1u);
    const json expected = {{"type", "document_error"},
                           {"ok", false},
                           {"error", "Request handling failed"},
                           {"payload",
                            {{"transactionId", "y"},
                             {"code", "invalid_payload"},
                             {"message", "Request handling failed"},
                             {"error", "Request handling failed"}}}};
    EXPECT_EQ(lines[0], "toBridge document_error " + expected.dump());
}

}  // namespace
}  // namespace quillex
