// The thin functions through which the page's preset requests reach the two stores.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/preset_library.h"

namespace quillex {

// The compact text of {"events": parsed events, "lengthSteps": lengthSteps}; throws the
// JSON library's parse error when the events text is not JSON.
std::string encodeRhythmPresetPayload(std::int32_t lengthSteps, std::string_view eventsText);

PresetStoreResult listPresets(PresetLibrary& store);

// Unparsable events text fails with the operation's default code without reaching the
// store, so the transaction ID stays unspent.
PresetStoreResult createRhythmPreset(PresetLibrary& store, std::string_view transactionId, std::string_view name,
                                     std::int32_t lengthSteps, std::string_view eventsText);
PresetStoreResult updateRhythmPreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                                     std::string_view expectedRevision, std::string_view name, std::int32_t lengthSteps,
                                     std::string_view eventsText);

PresetStoreResult createGesturePreset(PresetLibrary& store, std::string_view transactionId, std::string_view name,
                                      std::string_view gestureText);
PresetStoreResult updateGesturePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                                      std::string_view expectedRevision, std::string_view name,
                                      std::string_view gestureText);

PresetStoreResult renamePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                               std::string_view expectedRevision, std::string_view name);
PresetStoreResult deletePreset(PresetLibrary& store, std::string_view transactionId, std::string_view id,
                               std::string_view expectedRevision);

}  // namespace quillex
