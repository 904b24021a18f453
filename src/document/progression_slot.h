// One step of the progression: a chord or a rest with its duration, voicing and attack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/attack_settings.h"
#include "document/slot_chord.h"

namespace quillex {

struct ProgressionSlot {
    std::optional<std::string> id;    // stable slot identifier
    std::optional<std::string> type;  // "rest" for a rest; anything else is a chord slot
    bool isRest = false;              // true exactly when type holds "rest"
    double duration = 4.0;            // quarter-note beats
    std::optional<std::string> lockState;
    SlotChord chord;  // ignored for a rest
    std::optional<std::int32_t> inversion;
    std::optional<std::int32_t> octaveShift;
    std::optional<std::string> voicingStyle;
    std::optional<bool> isAutoVoiced;
    std::int32_t velocity = 100;
    AttackSettings attack;
    AttackOrders attackOrders;
    std::optional<std::string> gesturePresetId;
    // The slot's JSON carried "gesturePresetId" (null included); decides whether it is written back.
    bool gesturePresetIdPresent = false;

    // Durations compare numerically, so a NaN duration never equals anything.
    friend bool operator==(const ProgressionSlot&, const ProgressionSlot&) = default;
};

}  // namespace quillex
