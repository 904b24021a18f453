// Writing the project document, its sections, slots and attacks as JSON values.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "document/project_document.h"

namespace quillex {

// The whole document with the fixed "clipIdentity"; every section pointer must be set.
nlohmann::json writeProjectDocument(const ProjectDocument& document);

nlohmann::json writeProgressionSection(const ProgressionSection& section);
nlohmann::json writeProgressionLog(const ProgressionLog& log);
nlohmann::json writeKeySection(const KeySection& key);
nlohmann::json writeVoicingSection(const VoicingSection& voicing);
nlohmann::json writeRhythmSection(const RhythmSection& rhythm);
nlohmann::json writeGestureSection(const GestureSection& gesture);
nlohmann::json writeBassSplitSection(const BassSplitSection& bassSplit);
nlohmann::json writeClipSyncSection(const ClipSyncSection& clipSync);

nlohmann::json writeProgressionSlot(const ProgressionSlot& slot);
nlohmann::json writeSlotChord(const SlotChord& chord);
nlohmann::json writeAttackSettings(const AttackSettings& attack);
nlohmann::json writeAttackOrders(const AttackOrders& orders);
nlohmann::json writeAttackContour(const AttackContour& contour);

// A JSON string when present, null when absent.
nlohmann::json writeOptionalString(const std::optional<std::string>& value);
// Null without a parse error, else {"errors": [{"token": ...}], "message": ...}.
nlohmann::json writeProgressionParseErrors(const std::optional<ProgressionParseError>& error);

// The clip identity every written document carries: the schema's defaults, the
// same object every time (nine nulls and "sessionSlotIdx" -1).
const nlohmann::json& clipIdentity();

}  // namespace quillex
