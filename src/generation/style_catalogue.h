// The styles of local generation with their display names, and the key-root names the engine picks from.
#pragma once

#include <string>
#include <string_view>

#include "theory/key_spelling.h"
#include "theory/pitch_class.h"

namespace quillex {

// The display name of a style id, compared after `normalizeGenreId`
// ("POPEDM" gives "Pop + EDM"); an id outside the catalogue comes back unchanged.
std::string genreDisplayName(std::string_view genre);

// `override` when it is not empty; otherwise the name of the pitch class in
// the preference's key-root table (fifths: C Db D Eb E F F# G Ab A Bb B).
std::string spellPitchClass(SpellingPreference preference, PitchClass pitchClass, std::string_view override);

}  // namespace quillex
