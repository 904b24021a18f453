// The gesture kind of the preset store: library decoding, entries, validation and revisions.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

inline constexpr std::int32_t kGesturePresetSchemaVersion = 1;

// The canonical version-1 library; throws std::runtime_error with the codec's messages.
nlohmann::json decodeGesturePresetLibrary(const nlohmann::json& library);

// {"id", "name", "revision", "gesture"}; the gesture must be valid and in Advanced mode.
nlohmann::json makeGesturePresetEntry(const std::string& id, const std::string& name, const nlohmann::json& payload);
// The entry under a new name, its gesture checked again and its revision recomputed.
nlohmann::json renameGesturePresetEntry(const nlohmann::json& entry, const std::string& name);

// A copy of a gesture of exactly "velocity" (integer 1..127), "attack" and "attackOrders"
// that the schema allows; else "Gesture preset is invalid", whatever the cause.
nlohmann::json validateGesturePreset(const nlohmann::json& gesture);

// Digest of {"name", "payload": gesture}.
std::string computeGesturePresetRevision(const std::string& name, const nlohmann::json& gesture);

}  // namespace quillex
