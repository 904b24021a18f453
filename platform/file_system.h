// The durable file layer under the settings and preset stores: paths, bounded reads, atomic installs, locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillex::platform {

// Why a file operation failed; each store words its own message from it.
enum class FileStatus : std::uint8_t {
    ok,
    invalidPath,       // the path is empty or not valid UTF-8 (or holds a NUL byte)
    statFailed,        // the existence check itself failed, so presence is unknown
    directoryFailed,   // a folder level could not be made; `failedPath` names it
    openFailed,        // the file could not be opened for reading
    readFailed,        // reading the opened file failed
    tooLarge,          // the file holds more than the read limit
    createFailed,      // the temporary file could not be created
    writeFailed,       // a write, the data sync or the close of the temporary file failed
    renameFailed,      // the temporary file was not moved; the destination is as it was
    folderSyncFailed,  // the temporary file replaced the destination, but the folder sync failed
    lockFailed,        // the lock file could not be opened or locked
    // A usable path whose conversion to the system's wide form failed (Windows).
    pathConversionFailed,
};

// The outcome of one operation: the status, the system's error number of the
// failing call (for diagnostics) and the path that call was given.
struct FileOutcome {
    FileStatus status = FileStatus::ok;
    int systemError = 0;
    std::string failedPath;

    bool ok() const { return status == FileStatus::ok; }
};

template <class T>
struct FileResult : FileOutcome {
    T value{};
};

// An exclusive lock on a lock file, held until destroyed (or moved from).
class FileLock {
public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    bool held() const { return handle_ >= 0; }
    void release();

private:
    friend FileResult<FileLock> lockFile(const std::string& path);
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;
};

// The user's data folder: $APPDATA when set and non-empty, else $XDG_DATA_HOME
// when absolute, else $HOME/.local/share; none of them gives no value.
std::optional<std::string> userDataFolder();

// `folder` and `name` joined with one "/".
std::string joinPath(std::string_view folder, std::string_view name);

// The text before the last '/' or '\' of path; empty when there is none.
std::string parentDirectory(std::string_view path);

// Whether path names a regular file: a folder, FIFO or device counts as
// absent, and so does a missing entry; any other failure of the check is
// reported, since treating an unreadable entry as absent could overwrite it.
FileResult<bool> regularFileExists(const std::string& path);

// Makes every missing folder of path, outermost first (mode 0700); an existing
// entry at any level is accepted.
FileOutcome createDirectories(const std::string& path);

// Deletes the file; a failure (a missing file included) is ignored.
FileOutcome removeFile(const std::string& path);

// The whole file as stored; never reads more than `limit` + 1 bytes, and a
// longer file fails with tooLarge.
FileResult<std::string> readFileBounded(const std::string& path, std::size_t limit);

// Writes text to path (created mode 0600 or truncated, never through a
// symbolic link), every byte, then syncs it to the disk and closes it.
FileOutcome writeTemporaryFile(const std::string& path, std::string_view text);

// Moves the temporary file over path in one step, then syncs the folder so the
// new entry is durable before this returns.
FileOutcome installFile(const std::string& temporaryPath, const std::string& path);

// Takes an exclusive lock on path (the folder and the file are made when
// missing; the file is never deleted), waiting without limit. Locks exclude
// each other across processes and across lock objects of one process.
FileResult<FileLock> lockFile(const std::string& path);

}  // namespace quillex::platform
