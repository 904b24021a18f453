// The "get_suggestions" request: ranked chords that could come next, voiced as MIDI notes.
#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "generation/chord_suggestion.h"
#include "generation/chord_transition_model.h"
#include "protocol/bridge_reply.h"

namespace quillex {

// Appends every element that is a chord symbol, or an object whose "symbol"
// is one; anything else (and a value that is not an array) adds nothing.
void parsePrevChords(SuggestionContext& context, const nlohmann::json& chords);

// "position" as an integer or a text, "append" when absent; any other type,
// a decimal number (2.5, 1e10) included, raises the JSON library's type
// error. Nothing depends on its value.
std::string readSuggestionPosition(const nlohmann::json& request);

// Half away from zero to two decimals: 0.125 is sent as 0.13.
double roundSuggestionScore(double score);

// "mergeVariants" as a boolean, `fallback` when absent.
bool readMergeVariants(const nlohmann::json& request, bool fallback);

// Answers "suggestions_result" from the shared chord-transition model. A
// field of the wrong JSON type raises the library's type error; a numeral
// that cannot be derived raises its runtime error.
BridgeReply handleGetSuggestions(const nlohmann::json& request);

// The same with a given model. `summarizeContextOnce` works out what scoring
// reads of the context (the previous and next chords' corpus tokens, and the
// sizes, roots and qualities of all previous chords) once for all scores
// instead of once per score; the replies are the same either way.
BridgeReply handleGetSuggestions(const nlohmann::json& request, const ChordTransitionModel& model,
                                 bool summarizeContextOnce = true);

}  // namespace quillex
