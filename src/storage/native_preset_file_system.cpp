// Each preset file operation mapped onto the durable file layer, with the store's messages.
#include "storage/native_preset_file_system.h"

#include <stdexcept>
#include <utility>

#include "platform/file_system.h"

namespace quillex::host {

namespace {

using platform::FileStatus;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

// Paths that are not valid UTF-8, or whose conversion failed, are refused
// with one message each whatever the operation.
void requireUsablePath(const platform::FileOutcome& outcome) {
    if (outcome.status == FileStatus::invalidPath) fail("Preset path is not valid UTF-8");
    if (outcome.status == FileStatus::pathConversionFailed) fail("Preset path conversion failed");
}

class NativePresetFileLock : public PresetFileLock {
public:
    explicit NativePresetFileLock(platform::FileLock lock) : lock_(std::move(lock)) {}

private:
    platform::FileLock lock_;  // released by its own destructor
};

class NativePresetFileSystem : public PresetFileSystem {
public:
    bool exists(const std::string& path) override {
        const auto result = platform::regularFileExists(path);
        requireUsablePath(result);
        // An entry that cannot be examined is not taken for absent: that could overwrite it.
        if (!result.ok()) fail("Could not open preset library");
        return result.value;
    }

    void createDirectories(const std::string& path) override {
        if (path.empty()) return;
        const auto outcome = platform::createDirectories(path);
        requireUsablePath(outcome);
        if (!outcome.ok()) fail("Could not create preset directory");
    }

    void remove(const std::string& path) override { requireUsablePath(platform::removeFile(path)); }

    std::string readFile(const std::string& path) override {
        auto result = platform::readFileBounded(path, kPresetLibraryByteLimit);
        requireUsablePath(result);
        if (result.status == FileStatus::tooLarge) fail("Preset library exceeds the 2 MiB limit");
        if (!result.ok()) fail("Could not open preset library");
        return std::move(result.value);
    }

    void writeTemporaryFile(const std::string& path, const std::string& text) override {
        if (text.size() > kPresetLibraryByteLimit) fail("Preset library exceeds the 2 MiB limit");
        const auto outcome = platform::writeTemporaryFile(path, text);
        requireUsablePath(outcome);
        if (outcome.status == FileStatus::createFailed) fail("Could not create temporary preset file");
        if (!outcome.ok()) fail("Could not flush temporary preset file");
    }

    void install(const std::string& temporaryPath, const std::string& path) override {
        const auto outcome = platform::installFile(temporaryPath, path);
        requireUsablePath(outcome);
        if (!outcome.ok()) fail("Could not install preset library");
    }

    std::unique_ptr<PresetFileLock> lock(const std::string& path) override {
        auto result = platform::lockFile(path);
        requireUsablePath(result);
        if (result.status == FileStatus::directoryFailed) fail("Could not create preset directory");
        if (!result.ok()) fail("Could not acquire preset library lock");
        return std::make_unique<NativePresetFileLock>(std::move(result.value));
    }
};

}  // namespace

std::shared_ptr<PresetFileSystem> makeNativePresetFileSystem() { return std::make_shared<NativePresetFileSystem>(); }

}  // namespace quillex::host
