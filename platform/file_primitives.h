// The system calls beneath the file layer, as a replaceable table: the seam for fault and crash tests.
#pragma once

#ifdef _WIN32
// The Win32 records the table passes through, declared as <windows.h> does,
// so this header does not bring in all of it.
struct _OVERLAPPED;
struct _SECURITY_ATTRIBUTES;
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quillex::platform {

// Every call the file layer makes, named by the step it serves. The folder
// steps exist only on POSIX: the Windows install is a write-through move.
enum class FileCall : std::uint8_t {
    statFile,
    makeFolder,
    openRead,
    readBytes,
    closeRead,
    openTemporary,
    writeTemporary,
    syncTemporary,
    closeTemporary,
    renameFile,
    openFolder,
    syncFolder,
    closeFolder,
    removeFile,
    openLock,
    takeLock,
    releaseLock,
    closeLock,
};

inline constexpr int kFileCallCount = static_cast<int>(FileCall::closeLock) + 1;

std::string_view fileCallName(FileCall call);
std::optional<FileCall> fileCallFromName(std::string_view name);

#ifdef _WIN32
// HANDLE, BOOL and DWORD as <windows.h> defines them.
using Win32Handle = void*;
using Win32Bool = int;
using Win32Dword = unsigned long;

// The Win32 calls, each with its own parameters and told which step calls it.
// The defaults are the real calls; a failure is told by the call's failure
// value and GetLastError, as the real calls tell it.
struct FilePrimitives {
    std::function<Win32Dword(FileCall, const wchar_t* path)> getFileAttributes;
    std::function<Win32Bool(FileCall, const wchar_t* path, _SECURITY_ATTRIBUTES* security)> createDirectory;
    std::function<Win32Handle(FileCall, const wchar_t* path, Win32Dword access, Win32Dword share,
                              _SECURITY_ATTRIBUTES* security, Win32Dword disposition, Win32Dword attributes,
                              Win32Handle model)>
        createFile;
    std::function<Win32Bool(FileCall, Win32Handle file, void* buffer, Win32Dword size, Win32Dword* got,
                            _OVERLAPPED* overlapped)>
        readFile;
    std::function<Win32Bool(FileCall, Win32Handle file, const void* buffer, Win32Dword size, Win32Dword* put,
                            _OVERLAPPED* overlapped)>
        writeFile;
    std::function<Win32Bool(FileCall, Win32Handle file)> flushFileBuffers;
    std::function<Win32Bool(FileCall, Win32Handle handle)> closeHandle;
    std::function<Win32Bool(FileCall, const wchar_t* from, const wchar_t* to, Win32Dword flags)> moveFileEx;
    std::function<Win32Bool(FileCall, const wchar_t* path)> deleteFile;
    std::function<Win32Bool(FileCall, Win32Handle file, Win32Dword flags, Win32Dword reserved, Win32Dword lengthLow,
                            Win32Dword lengthHigh, _OVERLAPPED* overlapped)>
        lockFileEx;
    std::function<Win32Bool(FileCall, Win32Handle file, Win32Dword reserved, Win32Dword lengthLow,
                            Win32Dword lengthHigh, _OVERLAPPED* overlapped)>
        unlockFileEx;
};
#else
// The primitives, each told which step calls it. The defaults are the real calls.
struct FilePrimitives {
    std::function<int(FileCall, const char* path, struct stat* info)> stat;
    std::function<int(FileCall, const char* path, mode_t mode)> mkdir;
    std::function<int(FileCall, const char* path, int flags, mode_t mode)> open;
    std::function<ssize_t(FileCall, int fd, void* buffer, size_t size)> read;
    std::function<ssize_t(FileCall, int fd, const void* buffer, size_t size)> write;
    std::function<int(FileCall, int fd)> fsync;
    std::function<int(FileCall, int fd)> close;
    std::function<int(FileCall, const char* from, const char* to)> rename;
    std::function<int(FileCall, const char* path)> unlink;
    std::function<int(FileCall, int fd, int operation)> flock;
};
#endif

FilePrimitives realFilePrimitives();

// The table every file operation uses.
const FilePrimitives& filePrimitives();

// Replaces the table for tests; no value restores the real calls. Not for use
// while other threads are inside the file layer.
void setFilePrimitivesForTesting(std::optional<FilePrimitives> primitives);

// Wraps a table so that `gate` sees every call first: a non-zero answer fails
// the call with that error (errno on POSIX, GetLastError on Windows) instead
// of making it. A failed close still releases the descriptor or handle, as the
// system's close does.
FilePrimitives gatedFilePrimitives(FilePrimitives base, std::function<int(FileCall)> gate);

}  // namespace quillex::platform
