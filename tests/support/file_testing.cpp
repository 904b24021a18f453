// Lock and identity probes on real files, through the system's own calls rather than the file layer.
#include "support/file_testing.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/windows_text.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillex::testing {

#ifdef _WIN32

bool lockIsFree(const std::string& lockPath) {
    const std::optional<std::wstring> wide = platform::wideFromUtf8(lockPath);
    if (!wide) return false;
    const HANDLE file = ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    OVERLAPPED whole{};
    const bool free =
        ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    if (free) ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    ::CloseHandle(file);
    return free;
}

std::uint64_t fileIdentity(const std::string& path) {
    const std::optional<std::wstring> wide = platform::wideFromUtf8(path);
    EXPECT_TRUE(wide.has_value()) << path;
    if (!wide) return 0;
    const HANDLE file = ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_NE(::GetFileInformationByHandle(file, &info), 0) << path;
    ::CloseHandle(file);
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

#else

bool lockIsFree(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

std::uint64_t fileIdentity(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return static_cast<std::uint64_t>(info.st_ino);
}

#endif

}  // namespace quillex::testing
