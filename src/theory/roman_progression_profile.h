// Major / minor / melodic-minor reading of a progression written as Roman numerals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillex {

// One numeral token as the profile reads it.
struct RomanProfileToken {
    std::string accidentals;     // leading accidentals, "♭"/"♯" normalised to "b"/"#"
    std::string numeral;         // run of I, V, i, v after the accidentals
    std::string suffix;          // everything after the numeral run
    std::string appliedNumeral;  // numeral after the first "/", empty without one
    std::int32_t accidentalCount = 0;
    bool isAppliedDominant = false;

    bool operator==(const RomanProfileToken&) const = default;
};

struct RomanProgressionProfile {
    bool isMinor = false;
    bool isMelodic = false;
    double score = 0.0;
    double confidence = 0.0;

    bool operator==(const RomanProgressionProfile&) const = default;
};

// Numeral run after any leading accidentals.
std::string romanNumeralPart(std::string_view token);
// Text after the accidentals and the numeral run.
std::string romanSuffixPart(std::string_view token);
RomanProfileToken parseRomanProfileToken(std::string_view token);

// Function class 0..7 of a token; lower-case numerals read their suffix as minor.
int romanQualityWeightClass(const RomanProfileToken& token);

// Readings: mode 0 is major; a non-zero mode is minor, melodic when the flag is set.
double romanTokenWeight(const RomanProfileToken& token, int mode, bool melodic);
double romanCadenceWeight(const RomanProfileToken& token, const RomanProfileToken& next, int mode, bool melodic);

RomanProgressionProfile scoreRomanProgression(const std::vector<std::string>& tokens);

}  // namespace quillex
