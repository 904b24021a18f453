// How many processors the process may run on, as the system's affinity settings allow.
#pragma once

#include <cstddef>

namespace quillex::platform {

// The processors in the affinity mask: the calling thread's on Linux (which
// the threads it starts inherit), the process's on Windows. 0 when the system
// does not say.
std::size_t allowedProcessorCount();

}  // namespace quillex::platform
