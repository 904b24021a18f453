// Roman numerals from chords: the numeral of a chord in a key, read from its spelling.
#include "theory/roman_numeral_derivation.h"

#include <array>
#include <cstdlib>
#include <stdexcept>

#include "theory/pitch_class.h"
#include "theory/quality_predicates.h"

namespace quillex {

namespace {

constexpr std::array<std::string_view, 7> kNumeralNames = {"I", "II", "III", "IV", "V", "VI", "VII"};
constexpr std::string_view kSharpSign = "\u266F";
constexpr std::string_view kFlatSign = "\u266D";
constexpr std::string_view kHalfDiminishedMark = "\u00F8";
constexpr std::string_view kDiminishedMark = "\u00B0";

}  // namespace

std::string romanQualitySuffix(std::string_view quality) {
    if (quality.empty() || quality == "maj" || quality == "m") return {};
    if (quality == "m7b5") return std::string(kHalfDiminishedMark);
    if (quality.size() >= 2 && quality.find(kHalfDiminishedMark) != std::string_view::npos) {
        return std::string(kHalfDiminishedMark);
    }
    if (quality == "m9b5") return std::string(kHalfDiminishedMark) + "9";
    if (quality.starts_with("dim")) return std::string(kDiminishedMark).append(quality.substr(3));
    if (quality == "+") return "+";
    if (quality.starts_with("aug")) return std::string("+").append(quality.substr(3));
    return std::string(quality);
}

AlteredDegree locateRootDegree(const Chord& chord, const KeyContext& key, std::string_view rootToken) {
    if (!startsWithNoteLetter(rootToken) || !startsWithNoteLetter(key.rootSpelling)) return {};
    const std::int32_t rel = reducePitchClass(std::int64_t{chord.root} - key.key.root);
    const std::int32_t tokenLetter = noteLetterIndex(static_cast<std::uint8_t>(rootToken[0]));
    const std::int32_t keyLetter = noteLetterIndex(static_cast<std::uint8_t>(key.rootSpelling[0]));
    const std::int32_t degree = (tokenLetter - keyLetter + 7) % 7;
    const ScaleIntervals& scale = scaleIntervalsOf(key.key);
    const std::int32_t alteration = wrapToTritone(rel - scale[degree]);
    if (std::abs(alteration) > 1) {
        for (std::int32_t d = 0; d < 7; ++d) {
            if (scale[d] == rel) return {d, 0, true};
        }
    }
    return {degree, alteration, true};
}

std::optional<std::string> deriveRomanNumeralFromTokens(const Chord& chord, const KeyContext& key,
                                                        std::string_view rootToken, std::string_view bassToken) {
    const AlteredDegree position = locateRootDegree(chord, key, rootToken);
    if (!position.valid) return std::nullopt;
    std::string numeral(kNumeralNames[position.degree]);
    if (isMinorLikeQuality(chord.quality)) {
        for (char& c : numeral) c = static_cast<char>(c - 'A' + 'a');
    }
    const std::string suffix = romanQualitySuffix(chord.quality);
    if (!numeral.ends_with(suffix)) numeral += suffix;
    std::string text;
    for (std::int32_t i = 0; i < std::abs(position.alteration); ++i) {
        text += position.alteration > 0 ? kSharpSign : kFlatSign;
    }
    text += numeral;
    if (chord.bass && *chord.bass != chord.root) {
        if (!startsWithNoteLetter(bassToken)) return std::nullopt;
        text += "/";
        text += spellPitchClassOnLetter(*chord.bass, bassToken);
    }
    return text;
}

std::optional<std::string> deriveRomanNumeral(const Chord& chord, const KeyContext& key) {
    return deriveRomanNumeralFromTokens(chord, key, rootSpellingToken(chord.symbol),
                                        slashBassSpellingToken(chord.symbol));
}

std::optional<std::string> deriveRomanNumeralFromSymbol(std::string_view symbol, const KeyContext& key) {
    const std::optional<Chord> chord = parseChordSymbol(symbol);
    if (!chord) return std::nullopt;
    return deriveRomanNumeral(*chord, key);
}

std::string requireRomanNumeralFromSymbol(std::string_view symbol, const KeyContext& key) {
    std::optional<std::string> numeral = deriveRomanNumeralFromSymbol(symbol, key);
    if (!numeral) {
        throw std::runtime_error("Could not derive Roman numeral from chord symbol and key");
    }
    return std::move(*numeral);
}

}  // namespace quillex
