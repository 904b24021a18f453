// Gesture preset library: decoding, entries and revisions over the schema's attack checks.
#include "storage/gesture_preset_codec.h"

#include <stdexcept>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "document/document_schema.h"
#include "protocol/json_number.h"
#include "storage/preset_library_shape.h"
#include "storage/preset_name.h"
#include "storage/preset_revision.h"

namespace quillex {

namespace {

[[noreturn]] void refuse(const char* message) { throw std::runtime_error(message); }

constexpr std::int32_t kMinimumVelocity = 1;
constexpr std::int32_t kMaximumVelocity = 127;

// Gesture presets hold Advanced attacks only; "off" belongs to the document's defaults.
void requireAdvancedMode(const nlohmann::json& gesture) {
    if (gesture.at("attack").at("mode") != "advanced") refuse("Gesture presets must use Advanced mode");
}

// Member by member: an initializer list would copy the gesture once more.
nlohmann::json entryValue(const std::string& id, const std::string& name, std::string revision,
                          nlohmann::json gesture) {
    nlohmann::json entry = nlohmann::json::object();
    entry["gesture"] = std::move(gesture);
    entry["id"] = id;
    entry["name"] = name;
    entry["revision"] = std::move(revision);
    return entry;
}

}  // namespace

nlohmann::json validateGesturePreset(const nlohmann::json& gesture) {
    const auto& schema = documentShapeSchema();
    const bool valid = [&] {
        if (!gesture.is_object() || gesture.size() != 3 || !gesture.contains("velocity") ||
            !gesture.contains("attack") || !gesture.contains("attackOrders")) {
            return false;
        }
        const auto& velocity = gesture.at("velocity");
        // Exact read: a huge integer must not wrap into the velocity range.
        const auto value = velocity.is_number_integer() ? readInt32Exact(velocity) : std::nullopt;
        if (!value || *value < kMinimumVelocity || *value > kMaximumVelocity) return false;
        return isValidAttackSettings(gesture.at("attack"), schema) &&
               isValidAttackOrders(gesture.at("attackOrders"), schema);
    }();
    if (!valid) refuse("Gesture preset is invalid");
    return gesture;
}

// The compact, sorted text of {"name", "payload": gesture}, written out without copying the gesture.
std::string computeGesturePresetRevision(const std::string& name, const nlohmann::json& gesture) {
    return presetRevisionOfText("{\"name\":" + compactPresetText(name) + ",\"payload\":" + compactPresetText(gesture) +
                                "}");
}

nlohmann::json makeGesturePresetEntry(const std::string& id, const std::string& name, const nlohmann::json& payload) {
    auto gesture = validateGesturePreset(payload);
    requireAdvancedMode(gesture);
    auto revision = computeGesturePresetRevision(name, gesture);
    return entryValue(id, name, std::move(revision), std::move(gesture));
}

nlohmann::json renameGesturePresetEntry(const nlohmann::json& entry, const std::string& name) {
    return makeGesturePresetEntry(entry.at("id").get<std::string>(), name, entry.at("gesture"));
}

nlohmann::json decodeGesturePresetLibrary(const nlohmann::json& library) {
    if (!isPresetLibraryOfVersion(library, kGesturePresetSchemaVersion)) {
        refuse("Gesture preset library has an unsupported schema");
    }
    nlohmann::json result{{"schemaVersion", kGesturePresetSchemaVersion}, {"presets", nlohmann::json::array()}};
    auto& presets = result["presets"];
    std::unordered_set<std::string> seenIds;
    for (const auto& entry : library.at("presets")) {
        if (!isPresetEntryWithKeys(entry, {"id", "name", "revision", "gesture"})) {
            refuse("Gesture preset library contains an invalid entry");
        }
        const auto& id = entry.at("id").get_ref<const std::string&>();
        if (!seenIds.insert(id).second) refuse("Gesture preset library contains duplicate IDs");
        const auto& name = entry.at("name").get_ref<const std::string&>();
        if (canonicalPresetName(name, "Gesture preset") != name) refuse("Gesture preset name is not canonical");
        auto gesture = validateGesturePreset(entry.at("gesture"));
        requireAdvancedMode(gesture);
        const auto& revision = entry.at("revision").get_ref<const std::string&>();
        if (!isPresetRevisionForm(revision) || revision != computeGesturePresetRevision(name, gesture)) {
            refuse("Gesture preset revision does not match its contents");
        }
        presets.push_back(
            nlohmann::json{{"id", id}, {"name", name}, {"revision", revision}, {"gesture", std::move(gesture)}});
    }
    return result;
}

}  // namespace quillex
