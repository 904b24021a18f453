// The user settings file: where it lives, its lock, atomic replacement with read-back and rollback, load and write.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/file_system.h"

namespace quillex {

// Settings files hold a few kilobytes; anything past this is refused unread.
inline constexpr std::size_t kUserSettingsFileLimit = 2 * 1024 * 1024;

struct UserSettingsPaths {
    std::string current;  // <data folder>/Quillex/user_settings.json
    std::string legacy;   // <data folder>/Quillex.user_settings.json, read when current is missing

    friend bool operator==(const UserSettingsPaths&, const UserSettingsPaths&) = default;
};

// What every load and write answers; neither ever throws.
struct UserSettingsResult {
    bool ok = false;
    std::string settingsJson;  // the stored settings as compact JSON; empty on failure
    std::string message;       // empty on success
    std::string code;          // "user_settings_load_error" or "user_settings_error" on failure
    bool rewritten = false;    // a load migrated, repaired or completed the file and wrote it
    // A write failed on the stored file itself (it could not be checked, read or
    // parsed), not on the new value.
    bool storedUnreadable = false;

    friend bool operator==(const UserSettingsResult&, const UserSettingsResult&) = default;
};

// The paths under the user's data folder; throws "APPDATA is unavailable" when
// there is none.
UserSettingsPaths userSettingsPaths();

// The steps below throw std::runtime_error with the user-facing message; a
// path that is not UTF-8 fails each with "User settings path is not valid UTF-8".

// The path names a regular file (a folder counts as absent).
bool userSettingsFileExists(const std::string& path);
// Makes the folder and its missing ancestors.
void createUserSettingsDirectory(const std::string& directory);
// Deletes the file; the outcome is ignored.
void removeUserSettingsFile(const std::string& path);
// The whole file as stored, at most kUserSettingsFileLimit bytes.
std::string readUserSettingsFile(const std::string& path);
// The exclusive cross-process lock on the lock file, waiting without limit;
// released when the returned object is destroyed.
platform::FileLock acquireUserSettingsLock(const std::string& lockPath);
// Writes and syncs the text to a temporary file.
void writeTemporaryUserSettingsFile(const std::string& path, std::string_view text);
// Moves the temporary file over path, durably.
void installUserSettingsFile(const std::string& temporaryPath, const std::string& path);

// Replaces the file at path with the settings as compact JSON through a
// temporary file, reads it back and compares; on failure the temporary file
// is removed and the old text put back (or the new file removed when there was
// none), and the first failure is thrown.
void writeUserSettingsAtomically(const std::string& path, const nlohmann::json& settings);

// Loads under the lock from the current file, else the legacy file, else the
// initial text, else {}; migrates older forms, fills missing keys and writes
// the file back only when something changed.
UserSettingsResult loadUserSettings(const UserSettingsPaths& paths, std::string_view initialText = {});

// Sets one key to the JSON value in valueText, read-modify-write under the
// lock; the file must already exist.
UserSettingsResult writeUserSettings(const UserSettingsPaths& paths, std::string_view key, std::string_view valueText);

}  // namespace quillex
