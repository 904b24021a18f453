// Preset request entry points: payload encoding for rhythm presets, pass-through for the rest.
#include "storage/preset_bridge_entries.h"

#include <exception>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"
#include "storage/preset_revision.h"

namespace quillex {

std::string encodeRhythmPresetPayload(std::int32_t lengthSteps, std::string_view eventsText) {
    return compactPresetText(nlohmann::json{{"events", parseJsonText(eventsText)}, {"lengthSteps", lengthSteps}});
}

PresetStoreResult listPresets(PresetLibrary& store) { return store.list(); }

PresetStoreResult createRhythmPreset(PresetLibrary& store, std::string_view transactionId, std::string_view name,
                                     std::int32_t lengthSteps, std::string_view eventsText) {
    std::string payload;
    try {
        payload = encodeRhythmPresetPayload(lengthSteps, eventsText);
    } catch (const std::exception& error) {
        return PresetStoreResult::fromException(error, "rhythm_preset_create_error");
    }
    return store.create(transactionId, name, payload);
}

PresetStoreResult updateRhythmPreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                                     std::string_view expectedRevision, std::string_view name, std::int32_t lengthSteps,
                                     std::string_view eventsText) {
    std::string payload;
    try {
        payload = encodeRhythmPresetPayload(lengthSteps, eventsText);
    } catch (const std::exception& error) {
        return PresetStoreResult::fromException(error, "rhythm_preset_update_error");
    }
    return store.update(transactionId, id, expectedRevision, name, payload);
}

PresetStoreResult createGesturePreset(PresetLibrary& store, std::string_view transactionId, std::string_view name,
                                      std::string_view gestureText) {
    return store.create(transactionId, name, gestureText);
}

PresetStoreResult updateGesturePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                                      std::string_view expectedRevision, std::string_view name,
                                      std::string_view gestureText) {
    return store.update(transactionId, id, expectedRevision, name, gestureText);
}

PresetStoreResult renamePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                               std::string_view expectedRevision, std::string_view name) {
    return store.rename(transactionId, id, expectedRevision, name);
}

PresetStoreResult deletePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                               std::string_view expectedRevision) {
    return store.deletePreset(transactionId, id, expectedRevision);
}

}  // namespace quillex
