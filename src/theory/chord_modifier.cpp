// The chord modifier table and the operations that list and apply modifiers.
#include "theory/chord_modifier.h"

#include <algorithm>
#include <utility>

#include "theory/option_spelling.h"
#include "theory/quality_options.h"

namespace quillex {
namespace {

// Constant-initialised, so it exists before any code of the library runs.
constexpr std::array<ModifierDefinition, kModifierCount> kModifierDefinitions{{
    {"third-major", "3", "third"},
    {"third-minor", "\u266d3", "third"},
    {"third-sus2", "sus2", "third"},
    {"third-sus4", "sus4", "third"},
    {"fifth-perfect", "5", "fifth"},
    {"fifth-flat5", "\u266d5", "fifth"},
    {"fifth-sharp5", "\u266f5", "fifth"},
    {"sixth-6", "6", "sixth"},
    {"seventh-flat7", "7", "seventh"},
    {"seventh-major7", "M7", "seventh"},
    {"seventh-dim7", "dim7", "seventh"},
    {"ninth-add9", "add9", "ninth"},
    {"ninth-flat9", "\u266d9", "ninth"},
    {"ninth-flat9sharp9", "\u266d9\u266f9", "ninth"},
    {"ninth-9", "9", "ninth"},
    {"ninth-sharp9", "\u266f9", "ninth"},
    {"eleventh-add11", "add11", "eleventh"},
    {"eleventh-flat11", "\u266d11", "eleventh"},
    {"eleventh-11", "11", "eleventh"},
    {"eleventh-sharp11", "\u266f11", "eleventh"},
    {"thirteenth-add13", "add13", "thirteenth"},
    {"thirteenth-flat13", "\u266d13", "thirteenth"},
    {"thirteenth-13", "13", "thirteenth"},
    {"slash", "/", "slash"},
}};

// Degree families that toggle off when an already selected id is toggled.
bool canSwitchOff(std::string_view category) {
    return category == "sixth" || category == "seventh" || category == "ninth" || category == "eleventh" ||
           category == "thirteenth";
}

bool holds(const std::vector<std::string>& ids, std::string_view id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool anyStartsWith(const std::vector<std::string>& ids, std::string_view prefix) {
    return std::any_of(ids.begin(), ids.end(),
                       [prefix](const std::string& id) { return std::string_view(id).starts_with(prefix); });
}

// The chord's quality as options: the table row, else the heuristic reading;
// the slash state comes from the chord.
QualityOptions chordOptions(const Chord& chord) {
    std::optional<QualityOptions> options = lookupQualityOptions(chord.quality);
    QualityOptions result = options ? std::move(*options) : parseQualityOptions(chord.quality);
    result.bass = chord.bass;
    return result;
}

bool isDisabled(std::string_view id, const QualityOptions& options, const std::vector<std::string>& current) {
    if (id == "slash") return false;
    if (id == "sixth-6" && anyStartsWith(current, "seventh-")) return true;
    if (id.starts_with("seventh-") && holds(current, "sixth-6")) return true;

    const std::vector<std::string> toggled = toggleModifier(current, id);
    if (toggled == current) return false;
    const QualityOptions changed = applyModifierIds(options, toggled);
    const std::optional<std::string> spelling = spellQualityOptions(changed);
    if (!spelling || !lookupChordQuality(*spelling)) return true;
    // Switching it on must survive the spelling: the result has to describe
    // this degree with the same id.
    return !holds(current, id) && !holds(modifierIdsOf(changed), id);
}

}  // namespace

const std::array<ModifierDefinition, kModifierCount>& modifierDefinitions() { return kModifierDefinitions; }

std::int32_t modifierIndex(std::string_view id) {
    for (std::size_t i = 0; i < kModifierDefinitions.size(); ++i) {
        if (kModifierDefinitions[i].id == id) return static_cast<std::int32_t>(i);
    }
    return kUnknownModifierIndex;
}

std::string_view modifierCategory(std::string_view id) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kPrefixes{{
        {"third-", "third"},
        {"fifth-", "fifth"},
        {"sixth-", "sixth"},
        {"seventh-", "seventh"},
        {"ninth-", "ninth"},
        {"eleventh-", "eleventh"},
        {"thirteenth-", "thirteenth"},
    }};
    for (const auto& [prefix, category] : kPrefixes) {
        if (id.starts_with(prefix)) return category;
    }
    return {};
}

void sortModifierIds(std::vector<std::string>& ids) {
    std::stable_sort(ids.begin(), ids.end(),
                     [](const std::string& a, const std::string& b) { return modifierIndex(a) < modifierIndex(b); });
}

std::vector<std::string> toggleModifier(const std::vector<std::string>& current, std::string_view id) {
    const std::string_view category = modifierCategory(id);
    if (category.empty()) return {std::string(id)};

    std::vector<std::string> result;
    result.reserve(current.size() + 1);
    for (const std::string& existing : current) {
        if (modifierCategory(existing) != category) result.push_back(existing);
    }
    if (!(holds(current, id) && canSwitchOff(category))) result.emplace_back(id);
    sortModifierIds(result);
    return result;
}

ChordModifierState describeChordModifiers(const Chord& chord, const std::vector<std::string>& selection) {
    ChordModifierState state;
    state.definitions.assign(kModifierDefinitions.begin(), kModifierDefinitions.end());
    const QualityOptions options = chordOptions(chord);
    state.selected = modifierIdsOf(options);
    const std::vector<std::string>& current = selection.empty() ? state.selected : selection;
    for (const ModifierDefinition& definition : kModifierDefinitions) {
        if (isDisabled(definition.id, options, current)) {
            state.disabled.emplace_back(definition.id);
        }
    }
    return state;
}

std::string applyModifiersToQuality(const Chord& chord, const std::vector<std::string>& selection) {
    if (selection.empty()) return chord.quality;
    const QualityOptions changed = applyModifierIds(chordOptions(chord), selection);
    std::optional<std::string> spelling = spellQualityOptions(changed);
    if (!spelling) return {};
    if (std::optional<ChordQuality> quality = lookupChordQuality(*spelling)) {
        return std::move(quality->name);
    }
    return std::move(*spelling);
}

}  // namespace quillex
