// Strict reading of the project document, its sections, slots and attacks from JSON.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "document/project_document.h"

namespace quillex {

// Every reader throws on the first failed check and never hands out a half-read
// record: the JSON library's own errors for missing members and wrong types, and
// std::runtime_error with a fixed sentence for the document's own checks. Members
// the readers do not know are ignored.
ProjectDocument readProjectDocument(const nlohmann::json& value);

std::shared_ptr<const ProgressionSection> readProgressionSection(const nlohmann::json& value);
std::shared_ptr<const ProgressionLog> readProgressionLog(const nlohmann::json& value);
std::shared_ptr<const KeySection> readKeySection(const nlohmann::json& value);
std::shared_ptr<const VoicingSection> readVoicingSection(const nlohmann::json& value);
std::shared_ptr<const RhythmSection> readRhythmSection(const nlohmann::json& value);
std::shared_ptr<const GestureSection> readGestureSection(const nlohmann::json& value);
std::shared_ptr<const BassSplitSection> readBassSplitSection(const nlohmann::json& value);
std::shared_ptr<const ClipSyncSection> readClipSyncSection(const nlohmann::json& value);

ProgressionSlot readProgressionSlot(const nlohmann::json& value);
SlotChord readSlotChord(const nlohmann::json& value);
AttackSettings readAttackSettings(const nlohmann::json& value);
AttackOrders readAttackOrders(const nlohmann::json& value);
AttackContour readAttackContour(const nlohmann::json& value);

// Missing or null gives none; any other value is converted (a wrong type raises the
// library's error). A value that is not an object gives none.
std::optional<std::string> readOptionalString(const nlohmann::json& object, std::string_view key);
// As readOptionalString for a 32-bit integer; a number outside the 32-bit range
// throws std::runtime_error with `outOfRangeMessage`.
std::optional<std::int32_t> readOptionalInt(const nlohmann::json& object, std::string_view key,
                                            std::string_view outOfRangeMessage);

}  // namespace quillex
