// Keys the theory tests share, as bare keys and with their spelling names.
#pragma once

#include "theory/key_spelling.h"
#include "theory/musical_key.h"

namespace quillex::testing {

inline constexpr MusicalKey kCMajor{0, kMajorMode, kNaturalMinorScale};
inline constexpr MusicalKey kCMinor{0, kMinorMode, kNaturalMinorScale};
inline constexpr MusicalKey kCMelodic{0, kMinorMode, kMelodicMinorScale};
inline constexpr MusicalKey kANatural{9, kMinorMode, kNaturalMinorScale};
inline constexpr MusicalKey kAMelodic{9, kMinorMode, kMelodicMinorScale};
inline constexpr MusicalKey kFSharpMajor{6, kMajorMode, kNaturalMinorScale};

inline const KeyContext kCMajorContext{kCMajor, "C"};
inline const KeyContext kCMinorContext{kCMinor, "C"};
inline const KeyContext kANaturalContext{kANatural, "A"};
inline const KeyContext kEbMajorContext{{3, kMajorMode, kNaturalMinorScale}, "Eb"};

}  // namespace quillex::testing
