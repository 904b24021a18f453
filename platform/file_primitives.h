// The system calls beneath the POSIX file layer, as a replaceable table: the seam for fault and crash tests.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quillex::platform {

// Every call the file layer makes, named by the step it serves.
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

FilePrimitives realFilePrimitives();

// The table every file operation uses.
const FilePrimitives& filePrimitives();

// Replaces the table for tests; no value restores the real calls. Not for use
// while other threads are inside the file layer.
void setFilePrimitivesForTesting(std::optional<FilePrimitives> primitives);

// Wraps a table so that `gate` sees every call first: a non-zero answer fails
// the call with that error number instead of making it. A failed close still
// releases the descriptor, as the system's close does.
FilePrimitives gatedFilePrimitives(FilePrimitives base, std::function<int(FileCall)> gate);

}  // namespace quillex::platform
