// The 24 chord modifiers: their table, toggling, listing and application.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "theory/chord_symbol.h"

namespace quillex {

// One chord modifier: id ("third-major" .. "slash"), display label, degree family.
struct ModifierDefinition {
    std::string_view id;
    std::string_view label;
    std::string_view category;

    bool operator==(const ModifierDefinition&) const = default;
};

inline constexpr std::size_t kModifierCount = 24;

// Position given by modifierIndex to an id outside the table.
inline constexpr std::int32_t kUnknownModifierIndex = std::numeric_limits<std::int32_t>::max();

// The 24 modifiers in the order that orders every modifier list.
const std::array<ModifierDefinition, kModifierCount>& modifierDefinitions();

// A chord's modifiers: all definitions, the ids of its own quality, and the
// ids that cannot be toggled from the current selection (table order).
struct ChordModifierState {
    std::vector<ModifierDefinition> definitions;
    std::vector<std::string> selected;
    std::vector<std::string> disabled;

    bool operator==(const ChordModifierState&) const = default;
};

// Position 0..23 of the id, or kUnknownModifierIndex.
std::int32_t modifierIndex(std::string_view id);

// Degree family by id prefix ("third-" .. "thirteenth-"); empty for "slash"
// and any other id.
std::string_view modifierCategory(std::string_view id);

// Stable sort by table position; ids outside the table last.
void sortModifierIds(std::vector<std::string>& ids);

// Toggles one id: it replaces the other ids of its degree; a selected upper
// degree id switches off; an id without a degree stands alone. Sorted.
std::vector<std::string> toggleModifier(const std::vector<std::string>& current, std::string_view id);

// Lists the chord's own modifiers and those that the selection (the chord's
// own when empty) cannot toggle into a known quality.
ChordModifierState describeChordModifiers(const Chord& chord, const std::vector<std::string>& selection);

// The quality name the chord takes under the selection: its own for an empty
// selection, empty text when the result has no spelling.
std::string applyModifiersToQuality(const Chord& chord, const std::vector<std::string>& selection);

}  // namespace quillex
