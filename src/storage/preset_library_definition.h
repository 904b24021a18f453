// What distinguishes one kind of preset library from another: its words, file, version and codec.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

namespace quillex {

struct PresetLibraryDefinition {
    std::string label;       // starts the messages: "Rhythm preset"
    std::string codePrefix;  // starts the error codes: "rhythm_preset"
    std::string fileName;
    std::int32_t schemaVersion = 0;
    // The canonical library; throws std::runtime_error on invalid input.
    std::function<nlohmann::json(const nlohmann::json& library)> decodeLibrary;
    // A new entry with its revision from (id, canonical name, payload).
    std::function<nlohmann::json(const std::string& id, const std::string& name, const nlohmann::json& payload)>
        makeEntry;
    // The entry under a new canonical name with a new revision.
    std::function<nlohmann::json(const nlohmann::json& entry, const std::string& name)> renameEntry;
};

PresetLibraryDefinition rhythmPresetLibraryDefinition();
PresetLibraryDefinition gesturePresetLibraryDefinition();

}  // namespace quillex
