// Ranking and selection of chord suggestions: de-duplication, variant keys, the seeded shuffle, normalisation, caps.
#pragma once

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "generation/chord_suggestion.h"

namespace quillex {

inline constexpr std::size_t kMaxSmartSuggestions = 30;
inline constexpr std::size_t kMaxSuggestionsPerTheoryCategory = 8;
inline constexpr std::size_t kMinShuffledDiatonicSuggestions = 8;

// a before b: higher score (beyond 1e-6); on a tie, aiming at the next
// chord's root; then having a target at all.
bool compareSuggestionRank(const ChordSuggestion& a, const ChordSuggestion& b, const SuggestionContext& context);

// Lowest root of the diminished-seventh chord on `root`.
PitchClass diminishedSeventhClass(PitchClass root);

// Keeps the best-ranked of each group of equal diminished-approach chords,
// and of each group of "dim7" approach chords of one diminished-seventh class.
std::vector<ChordSuggestion> rankAndDeduplicateSuggestions(std::vector<ChordSuggestion> list,
                                                           const SuggestionContext& context);

// Keeps the first suggestion of each variant key (root, diatonic flag,
// target, target numeral, target quality, coarse family); category 1 and
// codes 7 and above always stay.
std::vector<ChordSuggestion> mergeVariantKeys(std::vector<ChordSuggestion> list);

// 32-bit FNV-1a of the text's bytes.
std::uint32_t hashShuffleSeed(std::string_view text);

// Uniform draw from 0..range-1 by rejection of the generator's 32-bit words.
std::uint32_t drawBelow(std::mt19937& generator, std::uint32_t range);

// Forward Fisher-Yates with `drawBelow`.
void shuffleSuggestions(std::vector<ChordSuggestion>& list, std::mt19937& generator);

// Category 0 clamped to 0..1; every other category divided by the larger of
// its best score and 1.0, then kept within 0.05..1.0.
void normalizeSuggestionScores(std::vector<ChordSuggestion>& list);

// At most 30 category-0 suggestions and 8 of every other category, in order.
std::vector<ChordSuggestion> capSuggestionsPerCategory(std::vector<ChordSuggestion> list);

// The whole selection after scoring. With shuffleMode on, an empty seed draws
// one word from the random device.
std::vector<ChordSuggestion> selectSuggestions(std::vector<ChordSuggestion> list, const SuggestionContext& context,
                                               bool mergeVariants, std::string_view shuffleSeed);

}  // namespace quillex
