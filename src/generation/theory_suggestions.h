// The five theory generators of chord suggestions and the helpers they share.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation/chord_suggestion.h"

namespace quillex {

// Accidental direction handed to the key speller for a new chord: true for
// flats, false for sharps, nothing for the request's own choice.
using SpellingHint = std::optional<bool>;

// The request's spelling options with the hint's direction, when it has one.
SpellingOptions applySpellingHint(SpellingOptions options, SpellingHint hint);

// A bass-less chord rendered in the request key; nothing for an unknown
// quality or a chord the key cannot spell. Throws "Could not derive Roman
// numeral from chord symbol and key" when the spelled symbol has no numeral.
std::optional<ChordSuggestion> makeTheorySuggestion(PitchClass root, std::string_view quality, std::uint8_t category,
                                                    std::string label, const SuggestionContext& context,
                                                    std::optional<PitchClass> target, std::string targetRoman,
                                                    std::string targetQuality, SuggestionKind kind, SpellingHint hint);

// Whether the chord belongs to the key by the per-degree quality rules, or,
// in natural minor, by all of its tones (and its bass) being scale tones.
bool isDiatonicSuggestionChord(const Chord& chord, const SuggestionContext& context);

// Degree 1..7 written on the key letter's scale step; nothing otherwise.
std::optional<std::string> spellDiatonicDegreeRoot(const KeyContext& key, int degree);

// Accidentals, numeral letters and diminished/augmented marks of a numeral
// ("ii7" gives "ii", "♭VImaj7" gives "♭VI"); the whole text when that is empty.
std::string romanNumeralHead(std::string_view numeral);

std::vector<ChordSuggestion> suggestSecondaryDominants(const SuggestionContext& context);
std::vector<ChordSuggestion> suggestBorrowedChords(const SuggestionContext& context);
std::vector<ChordSuggestion> suggestTritoneSubstitutions(const SuggestionContext& context);
std::vector<ChordSuggestion> suggestPassingDiminished(const SuggestionContext& context);
std::vector<ChordSuggestion> suggestChromaticMediants(const SuggestionContext& context);

}  // namespace quillex
