// The trigger row table: a self-contained copy of one performance plan that live playback reads.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "performance/performance_plan.h"
#include "performance/trigger_row.h"

namespace quillex {

inline constexpr std::uint32_t kTriggerProgramSchemaVersion = 6;
inline constexpr std::size_t kTriggerTableRows = 128;

// About 5.5 MB: create it on the heap and hand it on by owning pointer.
struct TriggerRowTable {
    std::uint32_t schemaVersion = kTriggerProgramSchemaVersion;
    std::uint64_t generation = 0;  // the compile job's generation, named by every transport request
    bool valid = false;            // the plan had at least one row and all fitted
    bool planValid = false;
    bool retriggerOnBlock = false;
    bool legato = false;
    double totalLength = 4.0;                        // beats
    std::array<TriggerRow, kTriggerTableRows> rows;  // a row plays exactly when its own enabled flag is set

    // Back to a default table in place: the table is too large for a
    // temporary on a thread's stack.
    void reset();
};

static_assert(std::is_trivially_copyable_v<TriggerRowTable>);

struct TriggerRowTableBuild {
    std::unique_ptr<TriggerRowTable> table;  // never null
    std::string error;                       // empty on success
};

// Copies the plan into a new table; a plan over the row limit gives a disabled table and an error.
TriggerRowTableBuild buildTriggerRowTable(const ResolvedPerformancePlan& plan, std::uint64_t generation);

}  // namespace quillex
