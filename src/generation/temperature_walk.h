// The temperature walk: inner chords of a source re-chosen from the transition model under the style's rules.
#pragma once

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "generation/chord_transition_model.h"
#include "generation/local_generation_request.h"
#include "generation/progression_corpus.h"

namespace quillex {

struct WalkOutcome {
    std::vector<std::string> tokens;
    std::vector<std::string> trace;  // dark style with tracing only
};

// The first and last tokens never change; the generator draws every random
// number of the walk. `corpus` supplies the dark style's group vocabulary.
WalkOutcome generateFromSource(const std::vector<std::string>& source, const ProgressionCorpus& corpus,
                               const ChordTransitionModel& model, float temperature,
                               const LocalGenerationRequest& request, std::string_view sourceModeFamily,
                               std::string_view sourceSubcategory, int workingMode, std::mt19937& generator,
                               bool trace);

// Rule helpers on corpus tokens (byte-wise).
std::string romanTokenQuality(std::string_view token);
bool hasAccidentalPrefix(std::string_view token);
bool isDiminishedMarked(std::string_view token);
bool isExtendedColour(std::string_view token);
bool isMinorPopDegree(std::string_view token);
bool isClassicalQuality(std::string_view token);
int classicalFunctionClass(std::string_view token);
bool keepsClassicalFunction(std::string_view current, std::string_view candidate, const std::vector<std::string>& walk,
                            std::size_t pos);
bool breaksNeighbourDegreeRule(const std::vector<std::string>& walk, std::size_t pos, std::string_view candidate);
bool isColourResolution(std::string_view a, std::string_view b);

}  // namespace quillex
