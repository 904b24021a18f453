// Scratch folders, file probes and file-call seams for tests that touch the disk.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

#include "platform/file_primitives.h"

namespace quillex::testing {

// The separator the system's own paths use.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Errors a gate injects, in the system's own numbering: an I/O failure, a
// full disk and a refused lock.
#ifdef _WIN32
inline constexpr int kIoError = 1117;       // ERROR_IO_DEVICE
inline constexpr int kDiskFullError = 112;  // ERROR_DISK_FULL
inline constexpr int kLockError = 33;       // ERROR_LOCK_VIOLATION
#else
inline constexpr int kIoError = EIO;
inline constexpr int kDiskFullError = ENOSPC;
inline constexpr int kLockError = ENOLCK;
#endif

// The path of UTF-8 text: std::filesystem takes a narrow string in the ANSI
// code page on Windows, which cannot name every file.
inline std::filesystem::path fsPath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A fresh folder under the system's temporary folder, removed with everything
// in it. Paths in it are UTF-8 text with the system's separator.
class TempFolder {
public:
    TempFolder() {
        std::random_device device;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("quillex-test-" + std::to_string(device()) + std::to_string(device()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string str() const { return utf8Of(path_); }
    // A path inside; the '/' of a relative path becomes the system's separator.
    std::string operator/(std::string name) const {
        std::replace(name.begin(), name.end(), '/', kPathSeparator);
        return str() + kPathSeparator + name;
    }

private:
    std::filesystem::path path_;
};

inline std::string fileText(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file by a new one: rewriting a truncated file in place makes
// some file systems flush it at close, which slows tests that do it often.
inline void putFile(const std::string& path, const std::string& text) {
    std::error_code ignored;
    std::filesystem::remove(fsPath(path), ignored);
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out << text;
}

// Whether another holder could take the lock on the file right now; a
// missing file is free.
bool lockIsFree(const std::string& lockPath);

// What tells one file from another on its volume (the inode number on POSIX):
// a file replaced by another gets a new identity.
std::uint64_t fileIdentity(const std::string& path);

// Installs a primitive table for one scope, then restores the real calls.
class ScopedFilePrimitives {
public:
    explicit ScopedFilePrimitives(platform::FilePrimitives primitives) {
        platform::setFilePrimitivesForTesting(std::move(primitives));
    }
    ScopedFilePrimitives(const ScopedFilePrimitives&) = delete;
    ScopedFilePrimitives& operator=(const ScopedFilePrimitives&) = delete;
    ~ScopedFilePrimitives() { platform::setFilePrimitivesForTesting(std::nullopt); }
};

}  // namespace quillex::testing
