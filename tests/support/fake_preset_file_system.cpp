// The in-memory preset file system behind the store's logic tests.
#include "support/fake_preset_file_system.h"

#include <stdexcept>

namespace quillex::testing {

namespace {

class FakeLock : public host::PresetFileLock {
public:
    FakeLock(FakePresetFileSystem& owner, std::string path) : owner_(owner), path_(std::move(path)) {
        ++owner_.locksHeld;
    }
    ~FakeLock() override {
        --owner_.locksHeld;
        owner_.calls.push_back({FakeFileOperation::unlock, path_});
    }

private:
    FakePresetFileSystem& owner_;
    std::string path_;
};

}  // namespace

std::string_view fakeFileOperationName(FakeFileOperation operation) {
    switch (operation) {
        case FakeFileOperation::exists:
            return "exists";
        case FakeFileOperation::createDirectories:
            return "createDirectories";
        case FakeFileOperation::remove:
            return "remove";
        case FakeFileOperation::readFile:
            return "readFile";
        case FakeFileOperation::writeTemporaryFile:
            return "writeTemporaryFile";
        case FakeFileOperation::install:
            return "install";
        case FakeFileOperation::lock:
            return "lock";
        case FakeFileOperation::unlock:
            return "unlock";
    }
    return "?";
}

bool FakePresetFileSystem::record(FakeFileOperation operation, const std::string& path) {
    calls.push_back({operation, path});
    return failWhen && failWhen(calls.back(), calls.size() - 1);
}

bool FakePresetFileSystem::exists(const std::string& path) {
    if (record(FakeFileOperation::exists, path)) throw std::runtime_error("Preset path is not valid UTF-8");
    return files.count(path) != 0;
}

void FakePresetFileSystem::createDirectories(const std::string& path) {
    if (record(FakeFileOperation::createDirectories, path)) {
        throw std::runtime_error("Could not create preset directory");
    }
    folders.insert(path);
}

void FakePresetFileSystem::remove(const std::string& path) {
    if (record(FakeFileOperation::remove, path)) return;
    files.erase(path);
}

std::string FakePresetFileSystem::readFile(const std::string& path) {
    if (record(FakeFileOperation::readFile, path)) throw std::runtime_error("Could not open preset library");
    const auto found = files.find(path);
    if (found == files.end()) throw std::runtime_error("Could not open preset library");
    if (found->second.size() > host::kPresetLibraryByteLimit) {
        throw std::runtime_error("Preset library exceeds the 2 MiB limit");
    }
    std::string text = found->second;
    if (tamperRead) tamperRead(path, text);
    return text;
}

void FakePresetFileSystem::writeTemporaryFile(const std::string& path, const std::string& text) {
    if (record(FakeFileOperation::writeTemporaryFile, path)) {
        // A failed write may leave part of the text behind, as on disk.
        files[path] = text.substr(0, text.size() / 2);
        throw std::runtime_error("Could not flush temporary preset file");
    }
    if (text.size() > host::kPresetLibraryByteLimit) throw std::runtime_error("Preset library exceeds the 2 MiB limit");
    files[path] = text;
}

void FakePresetFileSystem::install(const std::string& temporaryPath, const std::string& path) {
    if (record(FakeFileOperation::install, path)) throw std::runtime_error("Could not install preset library");
    const auto found = files.find(temporaryPath);
    if (found == files.end() || folders.count(path) != 0) throw std::runtime_error("Could not install preset library");
    files[path] = found->second;
    files.erase(found);
}

std::unique_ptr<host::PresetFileLock> FakePresetFileSystem::lock(const std::string& path) {
    if (record(FakeFileOperation::lock, path)) throw std::runtime_error("Could not acquire preset library lock");
    lockFiles.insert(path);
    return std::make_unique<FakeLock>(*this, path);
}

}  // namespace quillex::testing
