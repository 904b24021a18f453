// The kernel thread id through the system call wrapper.
#include "platform/thread_id.h"

#include <unistd.h>

namespace quillex::platform {

std::uint32_t currentThreadId() { return static_cast<std::uint32_t>(::gettid()); }

}  // namespace quillex::platform
