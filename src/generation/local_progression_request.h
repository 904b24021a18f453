// The "generate_local_progression" request: validation, retries against recent answers, finalisation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json_fwd.hpp>

#include "generation/chord_transition_model.h"
#include "generation/local_generation_request.h"
#include "generation/progression_corpus.h"
#include "protocol/bridge_reply.h"

namespace quillex {

struct LocalKeyOptions {
    bool autoKey = false;
    PitchClass root = 0;
    std::uint8_t mode = kMajorMode;
    std::uint8_t minorScaleType = kNaturalMinorScale;
    std::string rootText = "C";
    // Set when the root came from "debug_key_root"; an auto key without it draws its root.
    bool rootGiven = false;
    SpellingPreference spellingPreference = SpellingPreference::Fifths;
    bool simplifyAccidentals = true;
};

// The key choice of a request, or the message that refuses it. An auto key's
// random root is drawn later, once the whole request is valid.
std::variant<LocalKeyOptions, std::string> parseLocalKeyOptions(const nlohmann::json& request, bool debugSequential);

// "local_progression_error" with code "invalid_request".
BridgeReply makeLocalProgressionError(const std::string& requestId, const std::string& message);

// The chords imply a mode other than the result's key.
bool inferredModeDiffers(const LocalGenerationResult& result);

// Answers with the shared corpus models. A payload that is not an object
// raises the JSON library's type error for the request boundary.
BridgeReply handleGenerateLocalProgression(const nlohmann::json& request);
// The same with the given models.
BridgeReply handleGenerateLocalProgression(const nlohmann::json& request, const ProgressionCorpus& corpus,
                                           const ChordTransitionModel& model);

// Test hook: the auto-key root generator is seeded with `seed`, or, without
// one, from a random-device word on its next use.
void seedAutoKeyRootGeneratorForTesting(std::optional<std::uint32_t> seed);

}  // namespace quillex
