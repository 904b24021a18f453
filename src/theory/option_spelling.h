// Spelling quality options back into quality names, and their modifier ids.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "theory/quality_options.h"

namespace quillex {

// Key text (six digits, third to thirteenth) to the quality name it spells.
using OptionSuffixTable = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

// Makes the upper degrees consistent with the presence of a seventh (added
// tensions over a seventh become natural ones, and the reverse). Keeps
// `bass`, `alt` and `suffix`.
QualityOptions canonicalQualityOptions(QualityOptions options);

// The six codes of the canonical form as digits, e.g. "001403" for "13".
std::string qualityOptionsKey(const QualityOptions& options);

// Score of a quality name as the spelling of a canonical selection; lower is
// preferred. Settles which name a shared key spells.
std::int32_t preferSuffixSpelling(std::string_view name, const QualityOptions& canonical);

// Inverse of the option table: 363 keys; built on first use, read-only after.
const OptionSuffixTable& optionSuffixTable();

// The quality name a selection spells: its own `suffix` when that is a known
// quality, else the suffix table's entry for its key; none when absent.
std::optional<std::string> spellQualityOptions(const QualityOptions& options);

// Applies modifier ids to a base selection. A list holding a third or fifth
// id is a full list: every degree it does not name is cleared. Otherwise
// only the degrees named change. Returns the canonical form, with the base's
// bass, no `alt` and no `suffix`.
QualityOptions applyModifierIds(const QualityOptions& base, const std::vector<std::string>& ids);

// The ids that describe a selection, by degree: third, fifth, seventh, ninth,
// eleventh, thirteenth (or sixth), then "slash" when it has a bass.
std::vector<std::string> modifierIdsOf(const QualityOptions& options);

}  // namespace quillex
