// Key inference over 36 candidate keys, its likelihood model and minor-scale inference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "theory/musical_key.h"
#include "theory/pitch_class.h"

namespace quillex {

// A chord as key inference sees it; callers fill it from a parsed `Chord`.
struct KeyInferenceChord {
    PitchClass root = 0;
    std::string quality;  // canonical quality name
    std::optional<PitchClass> bass;

    bool operator==(const KeyInferenceChord&) const = default;
};

// Largest weight a chord counts with: larger weights (infinity included) count
// as this, so no sum of weighted terms can overflow and every score stays finite.
inline constexpr double kMaxKeyInferenceWeight = 1e9;

// Chords of weight 0 or less take no part in the weighted sums, but still
// count as neighbours and as first or last chord.
struct WeightedChord {
    PitchClass root = 0;
    std::string quality;
    std::optional<PitchClass> bass;
    double weight = 1.0;

    bool operator==(const WeightedChord&) const = default;
};

struct KeyCandidate {
    MusicalKey key;
    double score = 0.0;

    bool operator==(const KeyCandidate&) const = default;
};

struct KeyInferenceResult {
    MusicalKey key;
    double score = 0.0;
    double confidence = 0.0;  // 0..1: margin of the best key over the runner-up

    bool operator==(const KeyInferenceResult&) const = default;
};

// Same chords, each of weight 1.0.
std::vector<WeightedChord> toWeightedChords(const std::vector<KeyInferenceChord>& chords);

// For a minor key, melodic (1) when the chords' votes for the melodic scale
// outweigh those for the natural one, else `defaultType`. A key whose mode is
// not minor returns its own minor scale type.
std::uint8_t inferMinorScaleType(const MusicalKey& key, const std::vector<KeyInferenceChord>& chords,
                                 std::uint8_t defaultType);

// Best of the 36 keys (12 roots x major, natural minor, melodic minor). Equal
// scores rank major before minor, natural before melodic, then lower root.
// An empty list gives C major with score and confidence 0.
KeyInferenceResult inferKey(const std::vector<WeightedChord>& chords);

// Harmonic-heuristic score of one candidate key, likelihood term included.
KeyCandidate scoreKeyCandidate(const std::vector<WeightedChord>& chords, const MusicalKey& key);

// Log-likelihood of the chords' scale degrees and function classes in a key,
// normalised and scaled; 0.0 when no chord has a positive weight.
double scoreProgressionLikelihood(const MusicalKey& key, const std::vector<WeightedChord>& chords);

}  // namespace quillex
