// Windows reading of a regular file: wide-path open, type and size checked on the open handle.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>

#include "platform/regular_file_read.h"
#include "platform/windows_text.h"

namespace quillex::platform {
namespace {

// Closes the handle however the read ends.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::size_t limit) {
    const std::optional<std::wstring> wide = wideFromUtf8(path);
    if (!wide || wide->empty() || wide->find(L'\0') != std::wstring::npos) return std::nullopt;
    // A folder does not open without backup semantics; a device or pipe opens
    // but is refused by its type before any read.
    const Handle file(::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) == 0 || size.QuadPart < 0) return std::nullopt;
    if (static_cast<std::uint64_t>(size.QuadPart) > limit) return std::nullopt;

    // The size only sizes the first buffer: the file may change while it is
    // read, so the read itself stops one byte past the limit.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    std::uint8_t buffer[16384];
    while (bytes.size() <= limit) {
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, limit + 1 - bytes.size()));
        DWORD got = 0;
        if (::ReadFile(file.get(), buffer, want, &got, nullptr) == 0) return std::nullopt;
        if (got == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (bytes.size() > limit) return std::nullopt;
    return bytes;
}

}  // namespace quillex::platform

#endif  // _WIN32
