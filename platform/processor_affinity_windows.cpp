// Windows processor affinity: the bits of the process's affinity mask.
#ifdef _WIN32
#include <windows.h>

#include <bit>
#include <cstdint>

#include "platform/processor_affinity.h"

namespace quillex::platform {

std::size_t allowedProcessorCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) == 0) return 0;
    return static_cast<std::size_t>(std::popcount(static_cast<std::uint64_t>(process)));
}

}  // namespace quillex::platform
#endif  // _WIN32
