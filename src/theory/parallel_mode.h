// Carrying chord qualities and slash basses into the parallel mode of a key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "theory/chord_symbol.h"
#include "theory/musical_key.h"
#include "theory/pitch_class.h"

namespace quillex {

// Chord-tone role of a slash bass.
enum class BassToneRole : std::uint8_t { Root = 0, Third = 1, Fifth = 2, Seventh = 3 };

// A seventh chord, or one with an unaltered ninth, eleventh or thirteenth
// (sixth and added-tone chords are not).
bool isExtendedQuality(std::string_view quality);

// Carries "alt" or an altered fifth, ninth, eleventh or thirteenth.
bool hasAlteredTension(std::string_view quality);

// A minor chord on degree 5 of a natural-minor key, admitted as diatonic.
bool isNaturalMinorMinorDominant(const ChordQuality& quality, const MusicalKey& oldKey, std::int32_t degree,
                                 bool extended);

// A major or dominant chord on the lowered seventh of a natural-minor key
// turning major; it keeps its root and quality.
bool isNaturalMinorMajorSubtonic(const ChordQuality& quality, const MusicalKey& oldKey, const MusicalKey& newKey,
                                 std::int32_t degree);

// The quality a chord on scale degree 1..7 takes in the new key: a chord that
// is diatonic in the old key becomes the new key's diatonic chord with its own
// extensions kept; suspended, third-less (power), borrowed, altered and unknown
// qualities are kept.
std::string parallelModeQuality(std::string_view quality, const MusicalKey& oldKey, const MusicalKey& newKey,
                                std::int32_t degree);

// Role of the first chord tone that sounds the bass; none when the bass is no
// chord tone or sits on a tone without a role (second, fourth, sixth).
std::optional<BassToneRole> bassChordTone(const Chord& chord, PitchClass bass);

// Pitch class of the first tone with that role in the quality over `root`.
std::optional<PitchClass> chordToneOfRole(PitchClass root, std::string_view quality, BassToneRole role);

}  // namespace quillex
