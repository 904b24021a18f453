// POSIX file layer: stat, mkdir, bounded read, fsync'd temporary write, rename plus folder sync, flock.
#ifndef _WIN32
#include "platform/file_system.h"
#include "platform/utf8_sequence.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/file_primitives.h"

namespace quillex::platform {
namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

FileOutcome failure(FileStatus status, int error, std::string path) {
    return FileOutcome{status, error, std::move(path)};
}

template <class T>
FileResult<T> failed(FileStatus status, int error, const std::string& path) {
    FileResult<T> result;
    static_cast<FileOutcome&>(result) = failure(status, error, path);
    return result;
}

bool usablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos && isValidUtf8(path);
}

// Closes a descriptor through the table; a close interrupted by a signal has
// still released it on Linux, so it is never retried.
int closeDescriptor(FileCall call, int fd) { return filePrimitives().close(call, fd); }

FileOutcome syncFolderOf(const std::string& path) {
    const std::string parent = parentDirectory(path);
    const std::string folder = !parent.empty() ? parent : std::string(path.starts_with('/') ? "/" : ".");
    const FilePrimitives& p = filePrimitives();
    const int fd = p.open(FileCall::openFolder, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return failure(FileStatus::folderSyncFailed, errno, folder);
    int error = 0;
    while (p.fsync(FileCall::syncFolder, fd) != 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
    }
    if (closeDescriptor(FileCall::closeFolder, fd) != 0 && error == 0) error = errno;
    if (error != 0) return failure(FileStatus::folderSyncFailed, error, folder);
    return {};
}

}  // namespace

void FileLock::release() {
    if (handle_ < 0) return;
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    // Closing the last descriptor of the open file drops the lock even when the
    // explicit unlock fails, so both results are ignored.
    filePrimitives().flock(FileCall::releaseLock, fd, LOCK_UN);
    closeDescriptor(FileCall::closeLock, fd);
}

std::optional<std::string> userDataFolder() {
    if (const char* appData = std::getenv("APPDATA"); appData != nullptr && *appData != '\0') {
        return std::string(appData);
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg);
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return joinPath(home, ".local/share");
    }
    return std::nullopt;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

FileResult<bool> regularFileExists(const std::string& path) {
    if (!usablePath(path)) return failed<bool>(FileStatus::invalidPath, 0, path);
    struct stat info {};
    if (filePrimitives().stat(FileCall::statFile, path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return failed<bool>(FileStatus::statFailed, errno, path);
    }
    FileResult<bool> result;
    result.value = S_ISREG(info.st_mode);
    return result;
}

FileOutcome createDirectories(const std::string& path) {
    if (path.empty()) return {};
    if (!usablePath(path)) return failure(FileStatus::invalidPath, 0, path);
    const std::string parent = parentDirectory(path);
    if (!parent.empty() && parent != path) {
        FileOutcome outer = createDirectories(parent);
        if (!outer.ok()) return outer;
    }
    if (filePrimitives().mkdir(FileCall::makeFolder, path.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        return failure(FileStatus::directoryFailed, errno, path);
    }
    return {};
}

FileOutcome removeFile(const std::string& path) {
    if (!usablePath(path)) return failure(FileStatus::invalidPath, 0, path);
    filePrimitives().unlink(FileCall::removeFile, path.c_str());
    return {};
}

FileResult<std::string> readFileBounded(const std::string& path, std::size_t limit) {
    if (!usablePath(path)) return failed<std::string>(FileStatus::invalidPath, 0, path);
    const FilePrimitives& p = filePrimitives();
    // Non-blocking, so a FIFO put in the file's place between the existence
    // check and this open cannot hold the caller until a writer appears; the
    // type is then checked on what was opened.
    const int fd = p.open(FileCall::openRead, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) return failed<std::string>(FileStatus::openFailed, errno, path);
    struct stat info {};
    const int statResult = ::fstat(fd, &info);
    if (statResult != 0 || !S_ISREG(info.st_mode)) {
        const int error = statResult != 0 ? errno : EINVAL;
        closeDescriptor(FileCall::closeRead, fd);
        return failed<std::string>(FileStatus::openFailed, error, path);
    }

    FileResult<std::string> result;
    std::string& text = result.value;
    const std::size_t cap = limit == SIZE_MAX ? limit : limit + 1;  // one byte past the limit tells "too large"
    int error = 0;
    char buffer[16384];
    while (text.size() < cap) {
        const std::size_t want = std::min(sizeof buffer, cap - text.size());
        const ssize_t got = p.read(FileCall::readBytes, fd, buffer, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        if (got == 0) break;
        text.append(buffer, std::min(want, static_cast<std::size_t>(got)));
    }
    closeDescriptor(FileCall::closeRead, fd);
    if (error != 0) return failed<std::string>(FileStatus::readFailed, error, path);
    if (text.size() > limit) return failed<std::string>(FileStatus::tooLarge, 0, path);
    return result;
}

FileOutcome writeTemporaryFile(const std::string& path, std::string_view text) {
    if (!usablePath(path)) return failure(FileStatus::invalidPath, 0, path);
    const FilePrimitives& p = filePrimitives();
    const int fd =
        p.open(FileCall::openTemporary, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kFileMode);
    if (fd < 0) return failure(FileStatus::createFailed, errno, path);

    int error = 0;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = p.write(FileCall::writeTemporary, fd, text.data() + written, text.size() - written);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        if (put == 0) {  // no progress and no error: the device takes no more
            error = ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(put);
    }
    while (error == 0 && p.fsync(FileCall::syncTemporary, fd) != 0) {
        if (errno != EINTR) error = errno;
    }
    if (closeDescriptor(FileCall::closeTemporary, fd) != 0 && error == 0) error = errno;
    if (error != 0) return failure(FileStatus::writeFailed, error, path);
    return {};
}

FileOutcome installFile(const std::string& temporaryPath, const std::string& path) {
    if (!usablePath(path)) return failure(FileStatus::invalidPath, 0, path);
    if (!usablePath(temporaryPath)) return failure(FileStatus::invalidPath, 0, temporaryPath);
    if (filePrimitives().rename(FileCall::renameFile, temporaryPath.c_str(), path.c_str()) != 0) {
        return failure(FileStatus::renameFailed, errno, path);
    }
    // The rename is atomic but lives in the folder's entries: syncing the folder
    // makes the replacement survive a power loss, as a write-through move would.
    return syncFolderOf(path);
}

FileResult<FileLock> lockFile(const std::string& path) {
    if (!usablePath(path)) return failed<FileLock>(FileStatus::invalidPath, 0, path);
    if (FileOutcome folder = createDirectories(parentDirectory(path)); !folder.ok()) {
        FileResult<FileLock> result;
        static_cast<FileOutcome&>(result) = std::move(folder);
        return result;
    }
    const FilePrimitives& p = filePrimitives();
    const int fd = p.open(FileCall::openLock, path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd < 0) return failed<FileLock>(FileStatus::lockFailed, errno, path);
    // flock, not fcntl record locks: those belong to the process, so a second
    // lock from another thread or object here would not wait, and closing any
    // descriptor of the file would drop them.
    while (p.flock(FileCall::takeLock, fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        closeDescriptor(FileCall::closeLock, fd);
        return failed<FileLock>(FileStatus::lockFailed, error, path);
    }
    FileResult<FileLock> result;
    result.value = FileLock(fd);
    return result;
}

}  // namespace quillex::platform

#endif  // _WIN32
