// The chord-transition model ("cc.bin"): pair and triple weights of Roman tokens and their queries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "generation/corpus_text_hash.h"

namespace quillex {

struct TransitionCandidate {
    std::string token;
    float weight = 0.0f;
    bool operator==(const TransitionCandidate&) const = default;
};

using TransitionCandidates = std::vector<TransitionCandidate>;
// Token -> weight of that token following a given token (or pair).
using TokenWeights = std::unordered_map<std::string, float, CorpusTextHash, std::equal_to<>>;
using PairWeightTable = std::unordered_map<std::string, TokenWeights, CorpusTextHash, std::equal_to<>>;
// Keyed by "a,b".
using TripleWeightTable = std::map<std::string, TokenWeights, std::less<>>;

// What one "cc.bin" image holds.
struct ChordTransitionTables {
    PairWeightTable pairs;
    TripleWeightTable triples;
};

// "a" + "," + "b".
std::string makeTransitionPairKey(std::string_view a, std::string_view b);

class ChordTransitionModel {
public:
    // Replaces every table with the given weights and builds the sorted lists.
    void install(ChordTransitionTables tables);
    void clear();

    // Available when at least one token has pair weights.
    bool hasPairWeights() const { return pairWeights_.empty() == false; }
    const PairWeightTable& pairWeights() const { return pairWeights_; }
    const TripleWeightTable& tripleWeights() const { return tripleWeights_; }

    // The weights of the tokens that follow `a`; null when `a` has no pairs.
    const TokenWeights* pairWeightsOf(std::string_view a) const;
    // Weight of b after a, 0 when absent.
    float pairWeight(std::string_view a, std::string_view b) const;
    // Followers of `a`, heaviest first; null when `a` has no pairs.
    const TransitionCandidates* followers(std::string_view a) const;
    // Followers of the pair a then b, heaviest first; null when unknown.
    const TransitionCandidates* tripleFollowers(std::string_view a, std::string_view b) const;

    // Chords x with a -> x -> c, weighted w(a,x) * w(x,c), heaviest first, at most 20.
    TransitionCandidates bridgingCandidates(std::string_view a, std::string_view c) const;
    // Triple weight of c after a, b; else the pair weight of c after b; else 0.
    float tripleTransitionWeight(std::string_view a, std::string_view b, std::string_view c) const;

private:
    PairWeightTable pairWeights_;
    std::unordered_map<std::string, TransitionCandidates, CorpusTextHash, std::equal_to<>> followers_;
    TripleWeightTable tripleWeights_;
    std::map<std::string, TransitionCandidates, std::less<>> tripleFollowers_;
};

// Deciphers and parses a "cc.bin" image. A wrong magic or version gives empty
// tables; truncation keeps what was read before it; records with an index
// out of range or a weight that is not finite are skipped.
ChordTransitionTables parseChordTransitionCorpus(const std::uint8_t* bytes, std::size_t size);
// Parses and installs into `model`; 0 (model unchanged) when no pair survives, 1 otherwise.
int loadChordTransitionCorpus(ChordTransitionModel& model, const std::uint8_t* bytes, std::size_t size);

// One candidate per entry, heaviest first; equal weights in token order.
TransitionCandidates buildSortedCandidates(const TokenWeights& weights);
// The first k entries; nothing for k <= 0.
TransitionCandidates topCandidates(const TransitionCandidates& candidates, std::int32_t k);

}  // namespace quillex
