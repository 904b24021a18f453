// The kernel thread id through the system call wrapper.
#include "platform/thread_id.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quillex::platform {

#ifdef _WIN32
std::uint32_t currentThreadId() { return static_cast<std::uint32_t>(::GetCurrentThreadId()); }
#else
std::uint32_t currentThreadId() { return static_cast<std::uint32_t>(::gettid()); }
#endif

}  // namespace quillex::platform
