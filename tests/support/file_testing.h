// Scratch folders and file-call seams for tests that touch the disk.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/file_primitives.h"

namespace quillex::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
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

    std::string str() const { return path_.string(); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file by a new one: rewriting a truncated file in place makes
// some file systems flush it at close, which slows tests that do it often.
inline void putFile(const std::string& path, const std::string& text) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

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
