// Counting heap allocations made by the calling thread while a scope is open.
#pragma once

#include <cstddef>

namespace quillex::testing {

// Counts every global operator new of this thread while alive; other threads and other
// times are never counted. Scopes do not nest.
class AllocationScope {
public:
    AllocationScope();
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    std::size_t count() const;
};

}  // namespace quillex::testing
