// Musical transforms of the whole progression: the service request, the new key and the transformed chords.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "document/key_section.h"
#include "document/slot_chord.h"
#include "document/user_settings_section.h"

namespace quillex {

// Adds "spellingPreference" and "simplifyAccidentals" from the user settings.
void addTransformOptions(nlohmann::json& request, const UserSettingsSection& settings);

// A copy of `base` with the key object's "root", "mode" and (when present)
// "minorScaleType"; a given semitone delta is added to transposeOffset, wrapping in
// 32 bits. Throws "Musical transform returned an invalid key" for a malformed key.
std::shared_ptr<const KeySection> makeKeySectionFromTransform(const KeySection& base, const nlohmann::json& key,
                                                              std::optional<std::int32_t> semitones);

// The service's "chords", each read as a slot chord whose "original" is its "symbol".
std::vector<SlotChord> readTransformedChords(const nlohmann::json& chords);

}  // namespace quillex
