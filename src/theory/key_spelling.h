// Letter-true note spelling in a key: key context, spelling preference and options, chord symbols in a key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "theory/musical_key.h"

namespace quillex {

// A key with the spelling token of its root ("Eb"); the token's letter anchors
// every scale degree's letter. A token without a note letter makes every
// key-relative operation give no value.
struct KeyContext {
    MusicalKey key;
    std::string rootSpelling;

    friend bool operator==(const KeyContext&, const KeyContext&) = default;
};

enum class SpellingPreference : std::uint8_t { Fifths = 0, Flats = 1, Sharps = 2 };

// "fifths", "flats" or "sharps".
std::string_view spellingPreferenceName(SpellingPreference preference);

struct SpellingOptions {
    bool preferFlats = false;
    bool simplifyAccidentals = false;

    friend bool operator==(const SpellingOptions&, const SpellingOptions&) = default;
};

// A pitch as scale-degree index 0..6 (0 = tonic) plus semitones -6..6; the
// fields mean nothing unless `valid`.
struct AlteredDegree {
    std::int32_t degree = 0;
    std::int32_t alteration = 0;
    bool valid = false;

    friend bool operator==(const AlteredDegree&, const AlteredDegree&) = default;
};

// Scale-degree indexes 0..6 that force the letters of a chord's root and bass.
struct DegreeHint {
    std::int32_t rootDegree = 0;
    std::optional<std::int32_t> bassDegree;

    friend bool operator==(const DegreeHint&, const DegreeHint&) = default;
};

// Upper-cased leading note letter plus the run of one repeated "b" or "#"
// right after it; empty when the text does not start with a note letter.
std::string rootSpellingToken(std::string_view text);

// `rootSpellingToken` of what follows the last "/"; empty without one.
std::string slashBassSpellingToken(std::string_view chordSymbol);

// The pitch class written on the token's letter (the token's accidentals are
// ignored), with up to six "#" or "b"; empty when the token has no note letter.
std::string spellPitchClassOnLetter(PitchClass pitchClass, std::string_view token);

// True when the value is an object holding "spellingPreference", whatever its value.
bool hasSpellingPreference(const nlohmann::json& value);

// Request readers: true on success; on failure false with the error text.
bool readSpellingPreference(const nlohmann::json& request, SpellingPreference& preference, std::string& error);
bool readSimplifyAccidentals(const nlohmann::json& request, bool& simplifyAccidentals, std::string& error);

// The chord root's own accidental decides first; then flats/sharps; under
// "fifths" flats exactly when the key root's default name has a flat (roots
// 1 3 8 10). Mode-blind, unlike `keyPrefersFlatsByDefault`.
SpellingOptions resolveSpellingOptions(SpellingPreference preference, bool simplifyAccidentals, PitchClass keyRoot,
                                       std::string_view chordRootToken);

std::optional<SpellingOptions> readSpellingOptions(const nlohmann::json& request, PitchClass keyRoot,
                                                   std::string_view chordRootToken, std::string& error);

// The name of scale-degree index 0..6 raised or lowered by `alteration`.
std::optional<std::string> spellAlteredDegree(const KeyContext& key, std::int32_t degree, std::int32_t alteration);

// Places a pitch class on the scale: an exact scale tone, else the lower
// degree raised, unless `simplifyAccidentals` with `preferFlats` picks the
// upper degree lowered.
AlteredDegree nearestAlteredDegree(const KeyContext& key, PitchClass pitchClass, SpellingOptions options);

// Root name + quality text verbatim (+ "/" + bass name), each note letter-true
// in the key.
std::optional<std::string> spellChordSymbolInKey(const KeyContext& key, PitchClass root, std::string_view quality,
                                                 std::optional<PitchClass> bass, SpellingOptions options,
                                                 std::optional<DegreeHint> hint);

}  // namespace quillex
