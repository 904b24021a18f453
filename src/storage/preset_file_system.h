// The small file-system and lock interface through which the preset libraries touch the disk.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quillex::host {

// Reads and writes of a library are refused above this many bytes (exactly this many pass).
inline constexpr std::size_t kPresetLibraryByteLimit = 2097152;

// An exclusive cross-process lock; destroying the object releases it.
class PresetFileLock {
public:
    virtual ~PresetFileLock() = default;
};

// Paths are UTF-8. Every failure is a std::runtime_error with a fixed sentence; the
// library store turns it into its operation's default error code.
class PresetFileSystem {
public:
    virtual ~PresetFileSystem() = default;

    // True for a regular file; a folder (or anything else) of that name counts as absent.
    virtual bool exists(const std::string& path) = 0;
    // Creates every missing level of the folder path, outermost first.
    virtual void createDirectories(const std::string& path) = 0;
    // Deletes the file; a missing file is no error and the outcome is not reported.
    virtual void remove(const std::string& path) = 0;
    // The whole file as stored, at most kPresetLibraryByteLimit bytes.
    virtual std::string readFile(const std::string& path) = 0;
    // Writes the text durably to a fresh file at the path (replacing what was there).
    virtual void writeTemporaryFile(const std::string& path, const std::string& text) = 0;
    // Atomically replaces `path` by `temporaryPath`, durably.
    virtual void install(const std::string& temporaryPath, const std::string& path) = 0;
    // Waits without limit until the lock file's exclusive lock is held.
    virtual std::unique_ptr<PresetFileLock> lock(const std::string& path) = 0;
};

}  // namespace quillex::host
