// Scores of chord suggestions: every term with its constants, and the merging of chord variants.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "generation/chord_suggestion.h"
#include "generation/chord_transition_model.h"

namespace quillex {

// Corpus tokens of the context's last previous chord and next chord, derived
// once per request instead of once per scored suggestion.
struct ContextCorpusTokens {
    std::string previous;
    std::optional<std::string> next;

    friend bool operator==(const ContextCorpusTokens&, const ContextCorpusTokens&) = default;
};

// Nothing without previous chords; derivation failures throw as the corpus
// token derivation does.
std::optional<ContextCorpusTokens> deriveContextCorpusTokens(const SuggestionContext& context);

// What scoring reads of the whole previous-chord list, worked out once per
// request: without it every score walks all the previous chords again.
struct ContextChordSummary {
    double toneCount = 4.0;           // `contextChordSize`
    double intervalCount = 4.0;       // mean interval count of the previous chords and the next chord
    std::uint16_t previousRoots = 0;  // bit r set when a previous chord stands on root r
    // The quality texts of the previous chords, by root.
    std::array<std::set<std::string, std::less<>>, 12> previousQualities;

    friend bool operator==(const ContextChordSummary&, const ContextChordSummary&) = default;
};

ContextChordSummary summarizeContextChords(const SuggestionContext& context);

// Distinct pitch classes in interval order.
std::vector<PitchClass> uniquePitchClasses(const Chord& chord);
// Mean distinct-tone count of the previous chords and the next chord; 4.0 without any.
double contextChordSize(const SuggestionContext& context);
// Pitch class of the last interval 3 or 4 (third) and 10 or 11 (seventh).
std::optional<PitchClass> chordThird(const Chord& chord);
std::optional<PitchClass> chordSeventh(const Chord& chord);
// Intervals other than 0, 4, 7, 10 (and 5 beside a 4), in interval order.
std::vector<std::int32_t> chordTensions(const Chord& chord);
bool isAlteredTension(std::int32_t interval);

// 0 major, 1 minor, 2 dominant or suspended, 3 other.
int qualityClass(std::string_view quality);
// 0 major colours, 1 minor colours, 2 dominant colours, 3 other.
int colourClass(std::string_view quality);
// Weight of a root motion of `interval` semitones (0..11).
double rootMotionWeight(int interval);

double guideToneLeading(const Chord& from, const Chord& to);
double corpusTransitionScore(const ChordSuggestion& suggestion, const SuggestionContext& context,
                             const ChordTransitionModel& model, const ContextCorpusTokens* tokens = nullptr);
double dominantColourBonus(const ChordSuggestion& suggestion);
double dominantTargetFit(const ChordSuggestion& suggestion, const SuggestionContext& context);
double tensionLoad(const ChordSuggestion& suggestion, const SuggestionContext& context);
double neighbourMotion(const Chord& from, const Chord& to, double commonWeight, double semitoneWeight,
                       double wholeToneWeight);
double dominantResolution(const ChordSuggestion& suggestion, const SuggestionContext& context);
double tensionFit(const ChordSuggestion& suggestion, const SuggestionContext& context);
double passingResolution(const ChordSuggestion& suggestion, const SuggestionContext& context);
double borrowedChordTerm(const ChordSuggestion& suggestion, const SuggestionContext& context);
double nearestToneSmoothness(const Chord& from, const Chord& to, double weight);
double mediantTerm(const ChordSuggestion& suggestion, const SuggestionContext& context);
double sharedToneWeight(const Chord& from, const Chord& to, double weight, double cap);

// A corpus suggestion's weight adjusted and kept in 0..1, or a theory
// suggestion's unclamped sum of terms. `tokens` and `chords`, when given,
// must be `deriveContextCorpusTokens` and `summarizeContextChords` of the
// same context; without them each score works them out again.
double scoreSuggestion(const ChordSuggestion& suggestion, const SuggestionContext& context,
                       const ChordTransitionModel& model, const ContextCorpusTokens* tokens = nullptr,
                       const ContextChordSummary* chords = nullptr);

// Drops the less fitting of two same-root variants (one's intervals inside
// the other's) of the categories outside 0 and 2..6; order kept.
std::vector<ChordSuggestion> mergeSuggestionVariants(std::vector<ChordSuggestion> list,
                                                     const SuggestionContext& context);

}  // namespace quillex
