// POSIX processor affinity: sched_getaffinity on Linux, with a mask grown until the kernel's fits.
#ifndef _WIN32
#include "platform/processor_affinity.h"

#ifdef __linux__
#include <sched.h>

#include <cerrno>
#endif

namespace quillex::platform {

std::size_t allowedProcessorCount() {
#ifdef __linux__
    // The kernel refuses (EINVAL) a mask smaller than its own processor count.
    for (std::size_t processors = CPU_SETSIZE; processors <= (std::size_t{1} << 20); processors *= 2) {
        cpu_set_t* set = CPU_ALLOC(processors);
        if (set == nullptr) return 0;
        const std::size_t size = CPU_ALLOC_SIZE(processors);
        CPU_ZERO_S(size, set);
        const bool read = ::sched_getaffinity(0, size, set) == 0;
        const bool tooSmall = !read && errno == EINVAL;
        const std::size_t count = read ? static_cast<std::size_t>(CPU_COUNT_S(size, set)) : 0;
        CPU_FREE(set);
        if (!tooSmall) return count;
    }
#endif
    return 0;
}

}  // namespace quillex::platform
#endif  // _WIN32
