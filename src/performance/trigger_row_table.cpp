// Building a trigger row table from a performance plan.
#include "performance/trigger_row_table.h"

#include <cstring>

namespace quillex {

void TriggerRowTable::reset() {
    schemaVersion = kTriggerProgramSchemaVersion;
    generation = 0;
    valid = false;
    planValid = false;
    retriggerOnBlock = false;
    legato = false;
    totalLength = 4.0;
    for (TriggerRow& row : rows) row.reset();
}

TriggerRowTableBuild buildTriggerRowTable(const ResolvedPerformancePlan& plan, std::uint64_t generation) {
    TriggerRowTableBuild build{std::make_unique<TriggerRowTable>(), std::string()};
    TriggerRowTable& table = *build.table;
    table.schemaVersion = kTriggerProgramSchemaVersion;
    table.generation = generation;
    table.valid = !plan.rows.empty();
    table.planValid = plan.valid != 0;
    table.retriggerOnBlock = plan.retriggerOnBlock != 0;
    table.legato = plan.legato != 0;
    table.totalLength = plan.totalLength;
    if (plan.rows.size() > kTriggerTableRows) {
        table.valid = false;
        build.error = "Resolved performance plan exceeds the trigger row limit";
        return build;
    }
    // Byte copies keep each row exactly as compiled, padding included.
    if (!plan.rows.empty()) {
        std::memcpy(static_cast<void*>(table.rows.data()), plan.rows.data(), plan.rows.size() * sizeof(TriggerRow));
    }
    return build;
}

}  // namespace quillex
