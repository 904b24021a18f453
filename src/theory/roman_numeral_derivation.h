// Roman numerals from chords: the numeral of a chord in a key, read from its spelling.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"

namespace quillex {

// Text of a quality after the numeral: "" for major and minor triads, "ø" for
// half-diminished, "°"/"+" for diminished/augmented names, else the quality.
std::string romanQualitySuffix(std::string_view quality);

// Degree from the letter distance between the root token and the key root's
// letter; a spelling two or more semitones off a scale tone falls back to it.
AlteredDegree locateRootDegree(const Chord& chord, const KeyContext& key, std::string_view rootToken);

std::optional<std::string> deriveRomanNumeralFromTokens(const Chord& chord, const KeyContext& key,
                                                        std::string_view rootToken, std::string_view bassToken);

// Root and bass tokens are taken from the chord's symbol text.
std::optional<std::string> deriveRomanNumeral(const Chord& chord, const KeyContext& key);

std::optional<std::string> deriveRomanNumeralFromSymbol(std::string_view symbol, const KeyContext& key);

// As `deriveRomanNumeralFromSymbol`; throws std::runtime_error when there is no numeral.
std::string requireRomanNumeralFromSymbol(std::string_view symbol, const KeyContext& key);

}  // namespace quillex
