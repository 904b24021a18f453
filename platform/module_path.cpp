// POSIX module path: dladdr on a function of this library.
#ifndef _WIN32
#include "platform/module_path.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

namespace quillex::platform {
namespace {

// The executable's own path when the loader only knows it by a bare name.
std::string runningExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ownModuleFilePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&ownModuleFilePath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path(info.dli_fname);
    // The main program is reported by the name it was started with, which may
    // carry no folder at all.
    if (path.find('/') == std::string::npos) return runningExecutablePath();
    return path;
}

}  // namespace quillex::platform

#endif  // _WIN32
