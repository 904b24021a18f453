// Checks that corpus data means what it says with the engine's own theory functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "generation/corpus_source.h"
#include "theory/roman_progression_profile.h"

namespace quillex {

// Why the token fails, or nothing: in each of the 36 keys (12 roots; major,
// natural and melodic minor) it must resolve to a chord, render as a symbol
// spelled in the key (simplified or not), and that symbol must derive a
// numeral that resolves to the same root, quality and bass.
std::optional<std::string> checkRomanTokenInAllKeys(std::string_view token);

// The reading of a progression: "major", "minor natural" or "minor melodic".
std::string describeProgressionReading(const RomanProgressionProfile& profile);

// Why the record's tokens do not read in the mode it is filed under, or nothing.
std::optional<std::string> checkRecordMode(const ProgressionSourceRecord& record);

// Adds to `sources.errors` every record filed under the wrong mode, of a
// length other than 4, 6 or 8, or repeated within its style and mode, and
// every token (in both accidental forms) that fails `checkRomanTokenInAllKeys`.
void validateCorpusSources(CorpusSources& sources);

}  // namespace quillex
