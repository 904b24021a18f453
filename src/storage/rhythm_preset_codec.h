// The rhythm kind of the preset store: library decoding with migration, entries and revisions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

inline constexpr std::int32_t kRhythmPresetSchemaVersion = 3;
inline constexpr std::int32_t kLegacyRhythmPatternSteps = 16;

// The canonical version-3 library: version 1 and 2 files are migrated, anything else
// is decoded as version 3. Throws std::runtime_error with the codec's messages.
nlohmann::json decodeRhythmPresetLibrary(const nlohmann::json& library);
nlohmann::json decodeRhythmPresetLibraryV3(const nlohmann::json& library);
nlohmann::json decodeLegacyRhythmPresetLibrary(const nlohmann::json& library, std::int32_t version);

// {"id", "name", "revision", "lengthSteps", "events"} from a payload of exactly
// "lengthSteps" and "events"; the name must already be canonical.
nlohmann::json makeRhythmPresetEntry(const std::string& id, const std::string& name, const nlohmann::json& payload);
// The entry under a new name, its events checked again and its revision recomputed.
nlohmann::json renameRhythmPresetEntry(const nlohmann::json& entry, const std::string& name);

// An integer JSON number from 1 to 16, else "Rhythm preset length is invalid".
std::int32_t validateRhythmPresetLength(const nlohmann::json& value);
// validateRhythmPattern with the label "Rhythm preset events".
nlohmann::json validateRhythmPresetEvents(const nlohmann::json& events, std::int32_t length);

// Digest of {"events", "lengthSteps", "name"} (version 3).
std::string computeRhythmPresetRevision(const std::string& name, std::int32_t length, const nlohmann::json& events);
// Digest of {"events", "name"} (version 2).
std::string computeLegacyRhythmPresetRevision(const std::string& name, const nlohmann::json& events);

}  // namespace quillex
