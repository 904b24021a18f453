// The corpus-driven progression generator: a source from "pc.bin", walked through "cc.bin", resolved in a key.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "generation/chord_transition_model.h"
#include "generation/local_generation_request.h"
#include "generation/progression_corpus.h"

namespace quillex {

class IProgressionGenerator {
public:
    virtual ~IProgressionGenerator() = default;
    // Fills `result`; no items and not failed means no source could be chosen.
    virtual void generate(LocalGenerationResult& result, const LocalGenerationRequest& request,
                          const ProgressionCorpus& corpus, const ChordTransitionModel& model,
                          float temperature) const = 0;
};

// Stateless: every call seeds its own Mersenne Twister, from the request when
// sequential, else from four random-device words.
class CorpusRandomGenerator final : public IProgressionGenerator {
public:
    void generate(LocalGenerationResult& result, const LocalGenerationRequest& request, const ProgressionCorpus& corpus,
                  const ChordTransitionModel& model, float temperature) const override;
};

// The one process-wide generator.
const IProgressionGenerator& sharedProgressionGenerator();

// FNV-1a of genre, mode family and subcategory as sent, then the length and
// the index (a negative index counts as 0).
std::uint32_t sequentialGenerationSeed(const LocalGenerationRequest& request);

// The records of the pool for the request's genre and length that pass the
// filters and, for a manual key, whose profile mode is the requested one.
std::vector<const SourceProgression*> generationCandidates(const LocalGenerationRequest& request,
                                                           const ProgressionCorpus& corpus);

inline constexpr const char* kUnsupportedRomanToken = "Local progression corpus contains an unsupported roman token";
inline constexpr const char* kUnanalyzableRomanToken =
    "Local progression corpus contains a roman token with no analyzable function";

}  // namespace quillex
