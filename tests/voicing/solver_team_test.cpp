// The solver's thread team under a narrowed processor affinity.
#include "voicing/solver_team.h"

#include <gtest/gtest.h>

#include "platform/processor_affinity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

namespace quillex {
namespace {

// Narrows this process (this thread on Linux) to the first `count` processors
// it may run on, and restores the former affinity at the end of the scope.
class NarrowedAffinity {
public:
    explicit NarrowedAffinity(std::size_t count) {
#ifdef _WIN32
        DWORD_PTR system = 0;
        if (::GetProcessAffinityMask(::GetCurrentProcess(), &saved_, &system) == 0) return;
        DWORD_PTR narrowed = 0;
        for (unsigned bit = 0; bit < 64 && count > 0; ++bit) {
            if ((saved_ >> bit) & 1u) {
                narrowed |= DWORD_PTR{1} << bit;
                --count;
            }
        }
        applied_ = count == 0 && ::SetProcessAffinityMask(::GetCurrentProcess(), narrowed) != 0;
#else
        CPU_ZERO(&saved_);
        if (::sched_getaffinity(0, sizeof saved_, &saved_) != 0) return;
        cpu_set_t narrowed;
        CPU_ZERO(&narrowed);
        for (int cpu = 0; cpu < CPU_SETSIZE && count > 0; ++cpu) {
            if (CPU_ISSET(cpu, &saved_)) {
                CPU_SET(cpu, &narrowed);
                --count;
            }
        }
        applied_ = count == 0 && ::sched_setaffinity(0, sizeof narrowed, &narrowed) == 0;
#endif
    }
    ~NarrowedAffinity() {
        if (!applied_) return;
#ifdef _WIN32
        ::SetProcessAffinityMask(::GetCurrentProcess(), saved_);
#else
        ::sched_setaffinity(0, sizeof saved_, &saved_);
#endif
    }
    NarrowedAffinity(const NarrowedAffinity&) = delete;
    NarrowedAffinity& operator=(const NarrowedAffinity&) = delete;

    bool applied() const { return applied_; }

private:
#ifdef _WIN32
    DWORD_PTR saved_ = 0;
#else
    cpu_set_t saved_;
#endif
    bool applied_ = false;
};

TEST(SolverTeamSize, CountsOnlyTheProcessorsTheProcessMayRunOn) {
    {
        const NarrowedAffinity one(1);
        ASSERT_TRUE(one.applied());
        EXPECT_EQ(platform::allowedProcessorCount(), 1u);
        EXPECT_EQ(solverThreadCount(0), 1u);
        EXPECT_EQ(SolverTeam(solverThreadCount(0)).size(), 1u);
        EXPECT_EQ(solverThreadCount(3), 3u) << "a requested count stands";
    }
    const NarrowedAffinity two(2);
    if (!two.applied()) GTEST_SKIP() << "a single processor";
    EXPECT_EQ(platform::allowedProcessorCount(), 2u);
    EXPECT_EQ(solverThreadCount(0), 2u);
}

}  // namespace
}  // namespace quillex
