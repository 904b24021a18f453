// The session's immutable copy of the user settings that shape resolution, and its reader.
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

struct UserSettingsSection {
    std::string spellingPreference;  // "fifths", "flats" or "sharps"
    bool simplifyAccidentals = false;
    bool midiTriggersUseRhythm = false;

    friend bool operator==(const UserSettingsSection&, const UserSettingsSection&) = default;
};

// Builds the section from a settings object holding a string "spellingPreference" and
// booleans "simplifyAccidentals" and "midiTriggersUseRhythm"; anything else throws
// "DocumentSession requires validated user settings".
std::shared_ptr<const UserSettingsSection> readUserSettingsSection(const nlohmann::json& value);

}  // namespace quillex
