// The gesture defaults given to newly entered chords.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/attack_settings.h"

namespace quillex {

struct GestureSection {
    std::int32_t newChordVelocity = 100;
    AttackSettings newChordAttack;
    AttackOrders newChordAttackOrders;  // empty by default, not eight pages
    std::optional<std::string> newChordPresetId;

    friend bool operator==(const GestureSection&, const GestureSection&) = default;
};

std::shared_ptr<const GestureSection> makeDefaultGestureSection();

}  // namespace quillex
