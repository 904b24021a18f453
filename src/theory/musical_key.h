// Keys, the three seven-note scales, diatonic chords and the key-aware note spellers.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"

namespace quillex {

inline constexpr std::uint8_t kMajorMode = 0;
inline constexpr std::uint8_t kMinorMode = 1;
inline constexpr std::uint8_t kNaturalMinorScale = 0;
inline constexpr std::uint8_t kMelodicMinorScale = 1;

// A key: tonic pitch class, mode (0 major, any other value minor) and minor
// scale type (1 melodic, any other value natural; read only in minor).
struct MusicalKey {
    PitchClass root = 0;
    std::uint8_t mode = kMajorMode;
    std::uint8_t minorScaleType = kNaturalMinorScale;

    bool isMinor() const { return mode != kMajorMode; }
    bool isMelodicMinor() const { return isMinor() && minorScaleType == kMelodicMinorScale; }

    friend bool operator==(const MusicalKey&, const MusicalKey&) = default;
};

enum class ScaleKind : std::uint8_t { Major, NaturalMinor, MelodicMinor };

// Chord size of a diatonic quality list.
enum class DiatonicChordSize : std::uint8_t { Triad, Seventh, Ninth };

using ScaleIntervals = std::array<std::int32_t, 7>;
// Quality names by degree 1..7 (index 0..6); "" is the major triad.
using DiatonicQualityList = std::array<std::string_view, 7>;

ScaleKind scaleKindOf(const MusicalKey& key);
const ScaleIntervals& scaleIntervals(ScaleKind kind);
// The scale of a key: major, melodic minor (minor with type 1) or natural minor.
const ScaleIntervals& scaleIntervalsOf(const MusicalKey& key);
const DiatonicQualityList& diatonicQualityList(ScaleKind kind, DiatonicChordSize size);

// The chord built on one scale degree; `text` is left empty here.
struct DiatonicChord {
    PitchClass root = 0;
    std::string quality;
    std::int32_t degree = 0;
    std::string text;

    friend bool operator==(const DiatonicChord&, const DiatonicChord&) = default;
};

// One candidate name of a pitch class written on the letter of a scale degree.
struct DegreeSpelling {
    std::string name;
    std::int32_t distance = 0;
    std::int32_t directionPenalty = 0;
    std::int32_t accidentalCount = 0;
    std::int32_t degree = 0;

    friend bool operator==(const DegreeSpelling&, const DegreeSpelling&) = default;
};

// Degree 1..7 whose scale tone is the pitch class, 0 when it is no scale tone.
int scaleDegreeOf(const MusicalKey& key, PitchClass pitchClass);

// Degree 1..7 from the triad list (or the seventh list); other degrees give the
// key root with an empty quality.
DiatonicChord diatonicChordOfDegree(const MusicalKey& key, std::int32_t degree, bool seventh);

// The seven chords of a key: extension 3 triads, 9 ninths, anything else
// sevenths. `minorScaleType` overrides the key's own for scale and list.
std::vector<DiatonicChord> diatonicChordsOfKey(const MusicalKey& key, std::uint8_t minorScaleType,
                                               std::int32_t diatonicExtension);

// First degree whose diatonic chord has this root; in minor, the raised sixth
// and seventh (9 and 11 above the tonic) give 6 and 7; otherwise 0.
int degreeOfChordRoot(const MusicalKey& key, PitchClass pitchClass);

// Mode-aware default accidental direction of a key: major roots 1 3 5 8 10 and
// minor roots 0 2 3 5 7 10 prefer flats. Not the "fifths" preference, which
// looks at the root's default note name only (see key_spelling.h).
bool keyPrefersFlatsByDefault(const MusicalKey& key);

// Letter index (C 0 .. B 6) of the key root: black keys take the letter above
// when flats are preferred, the letter below otherwise.
int keyRootLetterIndex(const MusicalKey& key, bool preferFlats);

// The spellers below are anchored on the key root's letter as chosen by
// `keyRootLetterIndex`; an absent `preferFlats` means the key's mode-aware
// default, and simplification runs only when `simplifyAccidentals` is true.

// Name of scale degree 1..7 on its letter (at most two accidentals); empty
// for any other degree.
std::string spellScaleDegreeNote(const MusicalKey& key, std::int32_t degree, std::optional<bool> preferFlats,
                                 std::optional<bool> simplifyAccidentals);

// The pitch class written on one degree's letter, if that needs at most two
// accidentals.
std::optional<DegreeSpelling> spellPitchClassOnDegree(const MusicalKey& key, std::int32_t degree, PitchClass pitchClass,
                                                      bool preferFlats);

// Any pitch class in a key, by the nearest scale-degree letter. Tie rule: with
// an explicit direction, an exact scale tone first, then the direction, then
// distance, then accidentals; with the default direction, distance first.
std::string spellPitchClassInKey(const MusicalKey& key, PitchClass pitchClass, std::optional<bool> preferFlats,
                                 std::optional<bool> simplifyAccidentals);

// A pitch class as a tone of `chord` (its root and quality): the letter is the
// root's letter moved by the tone's chord-tone degree; any number of accidentals.
std::string spellChordToneInKey(const MusicalKey& key, const Chord& chord, PitchClass pitchClass,
                                std::optional<bool> preferFlats, std::optional<bool> simplifyAccidentals);

// Cb Fb E# B# and double flats or sharps become plain table names; other
// names come back unchanged.
std::string simplifyNoteName(std::string_view name);

}  // namespace quillex
