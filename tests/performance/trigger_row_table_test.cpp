// The trigger row table: default state, header copies, row copies and the row limit.
#include "performance/trigger_row_table.h"

#include <cstring>

#include <gtest/gtest.h>

#include "performance_samples.h"

namespace quillex {
namespace {

using testing::sameBytes;

ResolvedPerformancePlan planOf(std::size_t rows) {
    ResolvedPerformancePlan plan;
    plan.retriggerOnBlock = 1;
    plan.legato = 1;
    plan.totalLength = 3.5 * static_cast<double>(rows);
    const TriggerRow compiled = compileTriggerRow(testing::chordSlot(testing::advancedAttack()),
                                                  testing::spreadVoicing(5), testing::rhythmOf("bossa"));
    plan.rows.assign(rows, compiled);
    for (std::size_t i = 0; i < rows; ++i) plan.rows[i].duration = 1.0 + static_cast<double>(i);
    return plan;
}

void expectResetFrom(const TriggerRowTable& table, std::size_t first) {
    const TriggerRow reset;
    for (std::size_t i = first; i < kTriggerTableRows; ++i) ASSERT_TRUE(sameBytes(table.rows[i], reset)) << i;
}

TEST(TriggerRowTableTest, DefaultTableIsEmptyAndDisabled) {
    const auto table = std::make_unique<TriggerRowTable>();
    EXPECT_EQ(table->schemaVersion, 6u);
    EXPECT_EQ(table->generation, 0u);
    EXPECT_FALSE(table->valid);
    EXPECT_FALSE(table->planValid);
    EXPECT_FALSE(table->retriggerOnBlock);
    EXPECT_FALSE(table->legato);
    EXPECT_EQ(table->totalLength, 4.0);
    expectResetFrom(*table, 0);
    EXPECT_GT(sizeof(TriggerRowTable), 5'000'000u);
}

TEST(TriggerRowTableTest, ResetInPlaceGivesTheDefaultTable) {
    const TriggerRowTableBuild build = buildTriggerRowTable(planOf(128), 77);
    build.table->reset();
    const auto fresh = std::make_unique<TriggerRowTable>();
    EXPECT_EQ(build.table->schemaVersion, fresh->schemaVersion);
    EXPECT_EQ(build.table->generation, 0u);
    EXPECT_FALSE(build.table->valid);
    EXPECT_FALSE(build.table->planValid);
    EXPECT_FALSE(build.table->retriggerOnBlock);
    EXPECT_FALSE(build.table->legato);
    EXPECT_EQ(build.table->totalLength, 4.0);
    expectResetFrom(*build.table, 0);
}

TEST(TriggerRowTableTest, BuildCopiesHeaderAndRowsAndResetsTheRest) {
    for (const std::size_t rows : {0u, 3u, 128u}) {
        const ResolvedPerformancePlan plan = planOf(rows);
        const TriggerRowTableBuild build = buildTriggerRowTable(plan, 0xfeedface12345678ull);
        ASSERT_NE(build.table, nullptr);
        EXPECT_EQ(build.error, "");
        const TriggerRowTable& table = *build.table;
        EXPECT_EQ(table.schemaVersion, 6u);
        EXPECT_EQ(table.generation, 0xfeedface12345678ull);
        EXPECT_EQ(table.valid, rows > 0);
        EXPECT_TRUE(table.planValid);
        EXPECT_TRUE(table.retriggerOnBlock);
        EXPECT_TRUE(table.legato);
        EXPECT_EQ(table.totalLength, plan.totalLength);
        for (std::size_t i = 0; i < rows; ++i) ASSERT_TRUE(sameBytes(table.rows[i], plan.rows[i])) << i;
        expectResetFrom(table, rows);
    }
}

TEST(TriggerRowTableTest, PlanOverTheRowLimitGivesADisabledTable) {
    ResolvedPerformancePlan plan = planOf(129);
    plan.legato = 0;
    const TriggerRowTableBuild build = buildTriggerRowTable(plan, 7);
    ASSERT_NE(build.table, nullptr);
    EXPECT_EQ(build.error, "Resolved performance plan exceeds the trigger row limit");
    EXPECT_FALSE(build.table->valid);
    EXPECT_EQ(build.table->generation, 7u);
    EXPECT_TRUE(build.table->planValid);
    EXPECT_TRUE(build.table->retriggerOnBlock);
    EXPECT_FALSE(build.table->legato);
    EXPECT_EQ(build.table->totalLength, plan.totalLength);
    expectResetFrom(*build.table, 0);
}

}  // namespace
}  // namespace quillex
