// The user settings file store: locked read-modify-write, atomic install with read-back and rollback, migrations.
#include "storage/user_settings_store.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"
#include "storage/user_settings_contract.h"

namespace quillex {
namespace {

using nlohmann::json;

constexpr const char* kLoadErrorCode = "user_settings_load_error";
constexpr const char* kWriteErrorCode = "user_settings_error";

// Tried in this order when an older file names no keyswitch octave: nearest
// the default first.
constexpr std::array<const char*, 11> kKeyswitchOctaveSearch = {"6", "5", "7", "4",  "8", "3",
                                                                "2", "1", "0", "-1", "-2"};

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

// Throws the message shared by every step for a path that is not UTF-8 (or
// whose conversion failed: the settings name no other path message), else `message`.
[[noreturn]] void failFor(const platform::FileOutcome& outcome, const std::string& message) {
    if (outcome.status == platform::FileStatus::invalidPath ||
        outcome.status == platform::FileStatus::pathConversionFailed) {
        fail("User settings path is not valid UTF-8");
    }
    fail(message);
}

std::string compact(const json& settings) { return settings.dump(); }

// Installs the temporary file; `replaced` tells whether the old file was
// already gone when the install failed (the folder sync came after the move).
void install(const std::string& temporaryPath, const std::string& path, bool& replaced) {
    const platform::FileOutcome outcome = platform::installFile(temporaryPath, path);
    replaced = outcome.ok() || outcome.status == platform::FileStatus::folderSyncFailed;
    if (!outcome.ok()) failFor(outcome, "Could not install user settings file");
}

// Puts the old text back after a failed install, or removes the new file when
// there was none; only a rollback that fails itself throws, with its own message.
void rollBack(const std::string& path, bool existed, const std::string& oldText) {
    if (existed) {
        const std::string rollbackPath = path + ".rollback.tmp";
        try {
            writeTemporaryUserSettingsFile(rollbackPath, oldText);
            installUserSettingsFile(rollbackPath, path);
        } catch (const std::exception&) {
            removeUserSettingsFile(rollbackPath);
            fail("User settings installation failed and rollback could not be completed");
        }
        return;
    }
    removeUserSettingsFile(path);
    bool stillThere = true;
    try {
        stillThere = userSettingsFileExists(path);
    } catch (const std::exception&) {
        // Unknown counts as still there: the caller must not believe it gone.
    }
    if (stillThere) fail("User settings installation failed and new file could not be removed");
}

// The older forms a file may hold, brought to the current contract in order.
void migrate(json& settings, bool& changed) {
    if (settings.erase("previewShortcuts") > 0) changed = true;

    if (const auto shown = settings.find("showIntervals"); shown != settings.end()) {
        if (settings.contains("chordBlockSubsection")) {
            fail("User settings contain both showIntervals and chordBlockSubsection");
        }
        if (!shown->is_boolean()) fail("Legacy user setting showIntervals must be boolean");
        const bool intervals = shown->get<bool>();
        settings.erase(shown);
        settings["chordBlockSubsection"] = intervals ? "intervals" : "noteNames";
        changed = true;
    }

    if (!settings.contains("gestureKeyswitchOctave")) {
        json merged = userSettingsDefaults();
        for (const auto& [key, value] : settings.items()) {
            if (merged.contains(key)) merged[key] = value;
        }
        validateUserSettingValue("previewOctave", merged.at("previewOctave"));
        validateUserSettingValue("midiMappings", merged.at("midiMappings"));
        std::optional<std::string> chosen;
        for (const char* octave : kKeyswitchOctaveSearch) {
            if (isGestureKeyswitchOctaveFree(merged, octave)) {
                chosen = octave;
                break;
            }
        }
        if (!chosen) fail("No non-conflicting Gesture keyswitch octave is available");
        settings["gestureKeyswitchOctave"] = *chosen;
        changed = true;
    }
}

UserSettingsResult succeeded(const json& settings, bool rewritten) {
    UserSettingsResult result;
    result.ok = true;
    result.settingsJson = compact(settings);
    result.rewritten = rewritten;
    return result;
}

UserSettingsResult failed(std::string message, const char* code) {
    UserSettingsResult result;
    result.message = std::move(message);
    result.code = code;
    return result;
}

}  // namespace

UserSettingsPaths userSettingsPaths() {
    const std::optional<std::string> folder = platform::userDataFolder();
    if (!folder) fail("APPDATA is unavailable");
    return UserSettingsPaths{platform::joinPath(platform::joinPath(*folder, "Quillex"), "user_settings.json"),
                             platform::joinPath(*folder, "Quillex.user_settings.json")};
}

bool userSettingsFileExists(const std::string& path) {
    const platform::FileResult<bool> result = platform::regularFileExists(path);
    // A failed check is not absence: treating it so would overwrite the file.
    if (!result.ok()) failFor(result, "Could not open user settings file: " + path);
    return result.value;
}

void createUserSettingsDirectory(const std::string& directory) {
    const platform::FileOutcome outcome = platform::createDirectories(directory);
    if (!outcome.ok()) failFor(outcome, "Could not create user settings directory: " + outcome.failedPath);
}

void removeUserSettingsFile(const std::string& path) {
    const platform::FileOutcome outcome = platform::removeFile(path);
    if (!outcome.ok()) failFor(outcome, {});
}

std::string readUserSettingsFile(const std::string& path) {
    platform::FileResult<std::string> result = platform::readFileBounded(path, kUserSettingsFileLimit);
    if (result.status == platform::FileStatus::tooLarge) fail("User settings file exceeds the 2 MiB limit");
    if (!result.ok()) failFor(result, "Could not open user settings file: " + path);
    return std::move(result.value);
}

platform::FileLock acquireUserSettingsLock(const std::string& lockPath) {
    platform::FileResult<platform::FileLock> result = platform::lockFile(lockPath);
    if (result.status == platform::FileStatus::directoryFailed) {
        fail("Could not create user settings directory: " + result.failedPath);
    }
    if (!result.ok()) failFor(result, "Could not acquire user settings lock");
    return std::move(result.value);
}

void writeTemporaryUserSettingsFile(const std::string& path, std::string_view text) {
    const platform::FileOutcome outcome = platform::writeTemporaryFile(path, text);
    if (outcome.status == platform::FileStatus::createFailed) fail("Could not create temporary user settings file");
    if (!outcome.ok()) failFor(outcome, "Could not flush temporary user settings file");
}

void installUserSettingsFile(const std::string& temporaryPath, const std::string& path) {
    bool replaced = false;
    install(temporaryPath, path, replaced);
}

void writeUserSettingsAtomically(const std::string& path, const json& settings) {
    createUserSettingsDirectory(platform::parentDirectory(path));
    const std::string text = compact(settings);
    const std::string temporaryPath = path + ".tmp";
    const bool existed = userSettingsFileExists(path);
    const std::string oldText = existed ? readUserSettingsFile(path) : std::string();

    bool installed = false;
    try {
        writeTemporaryUserSettingsFile(temporaryPath, text);
        install(temporaryPath, path, installed);
        const json readBack = validateUserSettings(parseJsonText(readUserSettingsFile(path)), false);
        if (readBack != settings) fail("User settings readback mismatch");
    } catch (const std::exception&) {
        removeUserSettingsFile(temporaryPath);
        if (installed) rollBack(path, existed, oldText);
        throw;
    }
}

UserSettingsResult loadUserSettings(const UserSettingsPaths& paths, std::string_view initialText) {
    try {
        const platform::FileLock lock = acquireUserSettingsLock(paths.current + ".lock");
        bool changed = true;
        std::string text;
        if (userSettingsFileExists(paths.current)) {
            text = readUserSettingsFile(paths.current);
            changed = false;
        } else if (!paths.legacy.empty() && userSettingsFileExists(paths.legacy)) {
            text = readUserSettingsFile(paths.legacy);
        } else if (!initialText.empty()) {
            text = initialText;
        } else {
            text = "{}";
        }
        json settings = parseJsonText(text);
        if (settings.is_object()) migrate(settings, changed);
        const json validated = validateUserSettings(settings, true);
        if (validated != settings) changed = true;
        if (changed) writeUserSettingsAtomically(paths.current, validated);
        return succeeded(validated, changed);
    } catch (const std::exception& e) {
        return failed(e.what(), kLoadErrorCode);
    }
}

UserSettingsResult writeUserSettings(const UserSettingsPaths& paths, std::string_view key, std::string_view valueText) {
    // Set while the stored file is being checked, read and parsed, under the lock.
    bool readingStored = false;
    try {
        const platform::FileLock lock = acquireUserSettingsLock(paths.current + ".lock");
        readingStored = true;
        if (!userSettingsFileExists(paths.current)) {
            readingStored = false;
            fail("User settings must be loaded before writing");
        }
        const json storedText = parseJsonText(readUserSettingsFile(paths.current));
        readingStored = false;
        json stored = validateUserSettings(storedText, false);
        const json value = parseJsonText(valueText);
        validateUserSettingValue(key, value);
        stored[std::string(key)] = value;
        const json next = validateUserSettings(stored, false);
        writeUserSettingsAtomically(paths.current, next);
        return succeeded(next, false);
    } catch (const std::exception& e) {
        UserSettingsResult result = failed(e.what(), kWriteErrorCode);
        result.storedUnreadable = readingStored;
        return result;
    }
}

}  // namespace quillex
