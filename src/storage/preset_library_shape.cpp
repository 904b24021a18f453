// Checks of the library object and the entries' id, name and revision members.
#include "storage/preset_library_shape.h"

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "storage/preset_id.h"

namespace quillex {

bool isPresetLibraryOfVersion(const nlohmann::json& library, std::int32_t version) {
    if (!library.is_object() || library.size() != 2) return false;
    const auto schemaVersion = library.find("schemaVersion");
    const auto presets = library.find("presets");
    if (schemaVersion == library.end() || presets == library.end()) return false;
    if (!schemaVersion->is_number_integer() || readInt32Exact(*schemaVersion) != version) return false;
    return presets->is_array() && presets->size() <= kMaximumPresetsPerLibrary;
}

bool isPresetEntryWithKeys(const nlohmann::json& entry, std::initializer_list<std::string_view> keys) {
    if (!entry.is_object() || entry.size() != keys.size()) return false;
    for (const auto key : keys) {
        if (entry.find(std::string(key)) == entry.end()) return false;
    }
    const auto& id = entry.at("id");
    return id.is_string() && isValidPresetId(id.get_ref<const std::string&>()) && entry.at("name").is_string() &&
           entry.at("revision").is_string();
}

}  // namespace quillex
