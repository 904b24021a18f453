// An in-memory preset file system with a call log, per-call failures and a read tamper hook.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "storage/preset_file_system.h"

namespace quillex::testing {

enum class FakeFileOperation { exists, createDirectories, remove, readFile, writeTemporaryFile, install, lock, unlock };

std::string_view fakeFileOperationName(FakeFileOperation operation);

struct FakeFileCall {
    FakeFileOperation operation;
    std::string path;  // for install, the destination

    bool operator==(const FakeFileCall&) const = default;
};

class FakePresetFileSystem : public host::PresetFileSystem {
public:
    bool exists(const std::string& path) override;
    void createDirectories(const std::string& path) override;
    void remove(const std::string& path) override;
    std::string readFile(const std::string& path) override;
    void writeTemporaryFile(const std::string& path, const std::string& text) override;
    void install(const std::string& temporaryPath, const std::string& path) override;
    std::unique_ptr<host::PresetFileLock> lock(const std::string& path) override;

    // Files and folders by path; the test may set them up and inspect them.
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::set<std::string> lockFiles;
    std::vector<FakeFileCall> calls;
    int locksHeld = 0;

    // Consulted before every call (the call is already logged): true fails it with the
    // native system's message for that operation; a failed remove silently keeps the file.
    std::function<bool(const FakeFileCall& call, std::size_t index)> failWhen;
    // May change the bytes a successful read hands back.
    std::function<void(const std::string& path, std::string& text)> tamperRead;

private:
    bool record(FakeFileOperation operation, const std::string& path);
};

}  // namespace quillex::testing
