// The operating system's number for the calling thread.
#pragma once

#include <cstdint>

namespace quillex::platform {

// The kernel's thread id (what `gettid` answers), as the diagnostic lines print it.
std::uint32_t currentThreadId();

}  // namespace quillex::platform
