// The process-wide diagnostic trace: off by default, kept only while on, reset and discard.
#include "protocol/diagnostic_trace.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quillex {
namespace {

TEST(DiagnosticTrace, OffAtStartAndKeepsNothingWhileOff) {
    EXPECT_FALSE(isDiagnosticTraceEnabled());
    appendDiagnosticTraceLine("ignored");
    EXPECT_TRUE(diagnosticTraceLines().empty());
    discardDiagnosticTrace();
    EXPECT_TRUE(diagnosticTraceLines().empty());
}

TEST(DiagnosticTrace, ResetSwitchesOffAndEmpties) {
    setDiagnosticTraceEnabled(true);
    appendDiagnosticTraceLine("a");
    appendDiagnosticTraceLine("b");
    EXPECT_EQ(diagnosticTraceLines(), (std::vector<std::string>{"a", "b"}));
    resetDiagnosticTrace();
    EXPECT_FALSE(isDiagnosticTraceEnabled());
    EXPECT_TRUE(diagnosticTraceLines().empty());
}

TEST(DiagnosticTrace, DiscardDropsLinesButKeepsTheSwitch) {
    setDiagnosticTraceEnabled(true);
    appendDiagnosticTraceLine("a");
    discardDiagnosticTrace();
    EXPECT_TRUE(isDiagnosticTraceEnabled());
    EXPECT_TRUE(diagnosticTraceLines().empty());
    resetDiagnosticTrace();
}

TEST(DiagnosticTrace, ConcurrentAppendsAreAllKept) {
    setDiagnosticTraceEnabled(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i) appendDiagnosticTraceLine("line");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(diagnosticTraceLines().size(), 1000u);
    resetDiagnosticTrace();
}

}  // namespace
}  // namespace quillex
