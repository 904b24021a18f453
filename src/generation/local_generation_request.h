// What one local generation call is asked for and what it gives back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "theory/key_spelling.h"
#include "theory/musical_key.h"
#include "theory/pitch_class.h"

namespace quillex {

struct LocalGenerationRequest {
    std::string genre;  // as sent, e.g. "Pop + EDM"
    std::uint32_t length = 4;
    bool autoKey = false;
    PitchClass keyRoot = 0;
    std::uint8_t mode = kMajorMode;  // manual key only
    std::uint8_t minorScaleType = kNaturalMinorScale;
    std::string requestId;
    SpellingPreference spellingPreference = SpellingPreference::Fifths;
    std::string keyRootText = "C";
    bool simplifyAccidentals = true;
    std::string modeFamily;  // optional filters
    std::string subcategory;
    bool debugTrace = false;
    bool debugSequential = false;
    std::int32_t debugSequenceIndex = 0;
};

// One resolved token: the chord as the numeral names it in the working key.
struct GeneratedRomanChord {
    PitchClass root = 0;
    std::string quality;  // as `romanNumeralToChord` gives it; empty is the major triad
    std::optional<PitchClass> bass;
    std::string roman;  // `romanDisplayText` of the token

    bool operator==(const GeneratedRomanChord&) const = default;
};

struct LocalGenerationResult {
    std::vector<GeneratedRomanChord> items;
    MusicalKey key;
    std::string modeFamily;
    std::string subcategory;
    bool traceEnabled = false;
    // Trace only.
    std::uint64_t candidateIndex = 0;
    std::uint64_t candidateCount = 0;
    std::uint16_t poolIndex = 0;
    std::uint16_t sourceIndex = 0;
    std::uint8_t sourceLength = 0;
    std::vector<std::string> selectedRoman;
    std::vector<std::string> generatedRoman;
    std::vector<std::string> sourceRoman;
    bool substituted = false;
    std::vector<std::string> substitutionTrace;
    // A token that did not resolve.
    bool failed = false;
    std::string failedToken;
    std::string failureMessage;
};

}  // namespace quillex
