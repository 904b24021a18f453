// Corpus ("smart") suggestions: corpus Roman tokens, follower fallbacks, bridging chords.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "generation/chord_suggestion.h"
#include "generation/chord_transition_model.h"

namespace quillex {

// The chord's numeral cut at its first "/", then, for a bass other than the
// root, "/" and the cut numeral of a major triad on the bass note. Throws
// "Could not derive Roman numeral from chord symbol and key" or "Could not
// derive corpus Roman bass degree".
std::string deriveCorpusRomanBassDegree(const Chord& chord, const KeyContext& key);

// The text before the first "/", the whole text without one.
std::string romanWithoutBass(std::string_view numeral);

// Quality marks that stand in for a corpus token's marks, in trial order.
std::span<const std::string_view> colourSubstitutes(std::string_view quality);

// One step plainer: "maj9" to "maj7", "maj7" to "", "m7" to "m", "9" to "7"...
std::string_view simplifyCorpusQuality(std::string_view quality);

// The token's followers, widened step by step (slash-free token at 0.8,
// colour substitutes at 0.7, simplified quality at 0.5) while fewer than 5
// are known; at most k, heaviest first.
TransitionCandidates corpusFollowerCandidates(const ChordTransitionModel& model, std::string_view token,
                                              std::int32_t k);

// The chords that follow the last previous chord (and bridge to the next
// chord), spelled in the request key; empty without previous chords.
std::vector<ChordSuggestion> suggestFromCorpus(const SuggestionContext& context, const ChordTransitionModel& model);

}  // namespace quillex
