// Roman numerals to chords: numeral parsing, resolution in a key and letter-true rendering.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "theory/key_spelling.h"
#include "theory/musical_key.h"

namespace quillex {

// One parsed numeral: degree 1..7, case, summed accidentals before it and the
// index of the first byte after it (where quality marks start).
struct RomanToken {
    std::int32_t degree = 0;
    bool upperCase = false;
    std::int32_t accidentalOffset = 0;
    std::uint64_t end = 0;

    friend bool operator==(const RomanToken&, const RomanToken&) = default;
};

// A chord named by a numeral; an empty quality is the major triad.
struct RomanChord {
    PitchClass root = 0;
    std::string quality;
    std::optional<PitchClass> bass;
    std::string symbol;

    friend bool operator==(const RomanChord&, const RomanChord&) = default;
};

// `displaySymbol` equals `spelledSymbol` unless simplification was asked for.
struct RenderedChord {
    std::string spelledSymbol;
    std::string displaySymbol;

    friend bool operator==(const RenderedChord&, const RenderedChord&) = default;
};

std::optional<RomanToken> parseRomanToken(std::string_view text);

// Root of degree 1..7 moved by `alteration`; other degrees give the key root.
PitchClass rootOfAlteredDegree(const MusicalKey& key, std::int32_t degree, std::int32_t alteration, bool seventh);

// "bVII7", "vii°7", "I/V": a slash part names the bass's scale degree.
std::optional<RomanChord> romanNumeralToChord(std::string_view text, const MusicalKey& key);

// true for flats, false for sharps, from the numeral's (else the bass's) accidentals.
std::optional<bool> romanAccidentalPreference(std::string_view text);

std::string qualityOrMaj(std::string_view quality);

std::optional<RenderedChord> renderChordInKey(const RomanChord& chord, const KeyContext& key, bool simplify,
                                              SpellingOptions options, std::optional<DegreeHint> hint);

std::optional<std::string> spellNoteNameInKey(PitchClass pitchClass, const KeyContext& key, bool simplify,
                                              SpellingOptions options);

}  // namespace quillex
