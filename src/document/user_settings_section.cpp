// Reading the session's user-settings section from a validated settings object.
#include "document/user_settings_section.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace quillex {

std::shared_ptr<const UserSettingsSection> readUserSettingsSection(const nlohmann::json& value) {
    if (!value.is_object()) {
        throw std::runtime_error("DocumentSession requires validated user settings");
    }
    const auto spelling = value.find("spellingPreference");
    const auto simplify = value.find("simplifyAccidentals");
    const auto rhythm = value.find("midiTriggersUseRhythm");
    if (spelling == value.end() || !spelling->is_string() || simplify == value.end() || !simplify->is_boolean() ||
        rhythm == value.end() || !rhythm->is_boolean()) {
        throw std::runtime_error("DocumentSession requires validated user settings");
    }
    auto section = std::make_shared<UserSettingsSection>();
    section->spellingPreference = spelling->get<std::string>();
    section->simplifyAccidentals = simplify->get<bool>();
    section->midiTriggersUseRhythm = rhythm->get<bool>();
    return section;
}

}  // namespace quillex
