// Slot edits of the "apply_slot_edits" command: the nine edit records and their parser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "document/progression_slot.h"

namespace quillex {

struct InsertSlotEdit {
    std::uint64_t index = 0;
    ProgressionSlot slot;
    friend bool operator==(const InsertSlotEdit&, const InsertSlotEdit&) = default;
};
struct RemoveSlotEdit {
    std::vector<std::string> slotIds;
    friend bool operator==(const RemoveSlotEdit&, const RemoveSlotEdit&) = default;
};
struct ReorderSlotEdit {
    std::vector<std::string> slotIds;  // in the new order, as sent
    friend bool operator==(const ReorderSlotEdit&, const ReorderSlotEdit&) = default;
};
struct ChordSlotEdit {
    std::string slotId;
    std::string symbol;
    friend bool operator==(const ChordSlotEdit&, const ChordSlotEdit&) = default;
};
struct DurationSlotEdit {
    std::vector<std::string> slotIds;
    double duration = 0.0;
    friend bool operator==(const DurationSlotEdit&, const DurationSlotEdit&) = default;
};
struct VoicingSlotEdit {
    std::vector<std::string> slotIds;
    std::optional<std::int32_t> inversion;
    std::optional<std::int32_t> octaveShift;
    std::optional<std::string> voicingStyle;
    std::optional<bool> isAutoVoiced;
    friend bool operator==(const VoicingSlotEdit&, const VoicingSlotEdit&) = default;
};
struct VelocitySlotEdit {
    std::vector<std::string> slotIds;
    std::int32_t velocity = 0;
    friend bool operator==(const VelocitySlotEdit&, const VelocitySlotEdit&) = default;
};
struct GestureSlotEdit {
    std::vector<std::string> slotIds;
    AttackSettings attack;
    AttackOrders attackOrders;
    bool gesturePresetIdGiven = false;
    std::optional<std::string> gesturePresetId;  // none when given as null
    friend bool operator==(const GestureSlotEdit&, const GestureSlotEdit&) = default;
};
struct LockStateSlotEdit {
    std::vector<std::string> slotIds;
    std::string lockState;  // checked when applied
    friend bool operator==(const LockStateSlotEdit&, const LockStateSlotEdit&) = default;
};

// The alternative's index is the edit's tag: insert 0 ... lock_state 8.
using SlotEdit = std::variant<InsertSlotEdit, RemoveSlotEdit, ReorderSlotEdit, ChordSlotEdit, DurationSlotEdit,
                              VoicingSlotEdit, VelocitySlotEdit, GestureSlotEdit, LockStateSlotEdit>;

// A non-empty array of distinct, non-empty strings; throws std::runtime_error otherwise.
std::vector<std::string> readSlotIdList(const nlohmann::json& value);

// The command's "edits"; throws std::runtime_error (or the JSON library's type error)
// at the first edit that does not read, so nothing is applied.
std::vector<SlotEdit> parseSlotEdits(const nlohmann::json& edits);

}  // namespace quillex
