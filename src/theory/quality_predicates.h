// Harmonic-function tests on chord-quality text and the function class codes.
#pragma once

#include <string_view>

namespace quillex {

// Harmonic function of a quality, as used by key inference and the Roman
// progression profile.
enum QualityFunctionClass : int {
    kFunctionMajor = 0,  // major triad, major seventh, sixth, added tones
    kFunctionMinor = 1,
    kFunctionDominant = 2,
    kFunctionDiminished = 3,
    kFunctionHalfDiminished = 4,
    kFunctionAugmented = 5,
    kFunctionSuspended = 6,
    kFunctionOther = 7,
};

// All tests are byte-wise and case-sensitive on the quality text (no root).
bool isMinorLikeQuality(std::string_view quality);
bool isDiminishedQuality(std::string_view quality);
bool isDominantQuality(std::string_view quality);
bool isMajorSeventhQuality(std::string_view quality);
// Exactly "mM7", "mMaj7", "mM9" or "mMaj9": the tonic chord of melodic minor.
bool isMelodicMinorTonicQuality(std::string_view quality);

// Class code 0..7 (see QualityFunctionClass). "add9" and "69" land in the
// dominant class because the dominant test finds the "9" first; intended.
int qualityFunctionClass(std::string_view quality);

}  // namespace quillex
