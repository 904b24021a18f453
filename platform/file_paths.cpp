// The parts of the file layer that are the same on every system: path text rules and the lock's ownership.
#include "platform/file_system.h"

#include <string>
#include <string_view>
#include <utility>

namespace quillex::platform {

// Each system releases the lock its own way (`release`); moving it is the same everywhere.
FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

FileLock::~FileLock() { release(); }

std::string parentDirectory(std::string_view path) {
    const std::size_t at = path.find_last_of("/\\");
    if (at == std::string_view::npos) return {};
    return std::string(path.substr(0, at));
}

}  // namespace quillex::platform
