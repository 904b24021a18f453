// Reading "cc.bin" and answering the transition queries.
#include "generation/chord_transition_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "generation/corpus_bytes.h"
#include "generation/corpus_cipher.h"

namespace quillex {
namespace {

constexpr std::size_t kMaxBridgingCandidates = 20;
constexpr std::size_t kPairRecordBytes = 8;
constexpr std::size_t kTripleRecordBytes = 10;

void sortHeaviestFirst(TransitionCandidates& candidates) {
    std::sort(candidates.begin(), candidates.end(), [](const TransitionCandidate& x, const TransitionCandidate& y) {
        if (x.weight != y.weight) return x.weight > y.weight;
        return x.token < y.token;
    });
}

}  // namespace

std::string makeTransitionPairKey(std::string_view a, std::string_view b) {
    std::string key;
    key.reserve(a.size() + b.size() + 1);
    key.append(a);
    key.push_back(',');
    key.append(b);
    return key;
}

ChordTransitionTables parseChordTransitionCorpus(const std::uint8_t* bytes, std::size_t size) {
    ChordTransitionTables tables;
    if (bytes == nullptr || size < 8) return tables;
    std::vector<std::uint8_t> plain(bytes, bytes + size);
    decipherCorpusBytes(plain, chordTransitionCorpusKey());
    CorpusByteReader reader(plain.data(), plain.size());

    const std::uint8_t magic[4] = {'Q', 'X', 'C', 'P'};
    if (!std::equal(magic, magic + 4, plain.begin())) return tables;
    reader.skip(4);
    const auto version = reader.readU16();
    const auto stringCount = reader.readU16();
    if (!version || !stringCount || *version != 1) return tables;

    std::vector<std::string> strings;
    strings.reserve(std::min<std::size_t>(*stringCount, reader.remaining()));
    for (std::uint32_t i = 0; i < *stringCount; ++i) {
        auto text = reader.readShortText();
        if (!text) return tables;
        strings.push_back(std::move(*text));
    }

    const auto pairCount = reader.readU32();
    if (!pairCount) return tables;
    for (std::uint32_t i = 0; i < *pairCount; ++i) {
        if (reader.remaining() < kPairRecordBytes) return tables;
        const auto from = *reader.readU16();
        const auto to = *reader.readU16();
        const auto weight = *reader.readF32();
        if (from >= strings.size() || to >= strings.size() || !std::isfinite(weight)) continue;
        tables.pairs[strings[from]][strings[to]] = weight;
    }

    const auto tripleCount = reader.readU32();
    if (!tripleCount) return tables;
    for (std::uint32_t i = 0; i < *tripleCount; ++i) {
        if (reader.remaining() < kTripleRecordBytes) return tables;
        const auto first = *reader.readU16();
        const auto second = *reader.readU16();
        const auto third = *reader.readU16();
        const auto weight = *reader.readF32();
        if (first >= strings.size() || second >= strings.size() || third >= strings.size() || !std::isfinite(weight)) {
            continue;
        }
        tables.triples[makeTransitionPairKey(strings[first], strings[second])][strings[third]] = weight;
    }
    return tables;
}

int loadChordTransitionCorpus(ChordTransitionModel& model, const std::uint8_t* bytes, std::size_t size) {
    auto tables = parseChordTransitionCorpus(bytes, size);
    if (tables.pairs.empty()) return 0;
    model.install(std::move(tables));
    return 1;
}

TransitionCandidates buildSortedCandidates(const TokenWeights& weights) {
    TransitionCandidates candidates;
    candidates.reserve(weights.size());
    for (const auto& [token, weight] : weights) candidates.push_back({token, weight});
    sortHeaviestFirst(candidates);
    return candidates;
}

TransitionCandidates topCandidates(const TransitionCandidates& candidates, std::int32_t k) {
    if (k <= 0) return {};
    if (candidates.size() <= static_cast<std::size_t>(k)) return candidates;
    return TransitionCandidates(candidates.begin(), candidates.begin() + k);
}

void ChordTransitionModel::install(ChordTransitionTables tables) {
    clear();
    pairWeights_ = std::move(tables.pairs);
    tripleWeights_ = std::move(tables.triples);
    followers_.reserve(pairWeights_.size());
    for (const auto& [a, weights] : pairWeights_) followers_.emplace(a, buildSortedCandidates(weights));
    for (const auto& [key, weights] : tripleWeights_) {
        tripleFollowers_.emplace_hint(tripleFollowers_.end(), key, buildSortedCandidates(weights));
    }
}

void ChordTransitionModel::clear() {
    pairWeights_.clear();
    followers_.clear();
    tripleWeights_.clear();
    tripleFollowers_.clear();
}

const TokenWeights* ChordTransitionModel::pairWeightsOf(std::string_view a) const {
    const auto found = pairWeights_.find(a);
    return found == pairWeights_.end() ? nullptr : &found->second;
}

float ChordTransitionModel::pairWeight(std::string_view a, std::string_view b) const {
    const auto* weights = pairWeightsOf(a);
    if (weights == nullptr) return 0.0f;
    const auto found = weights->find(b);
    return found == weights->end() ? 0.0f : found->second;
}

const TransitionCandidates* ChordTransitionModel::followers(std::string_view a) const {
    const auto found = followers_.find(a);
    return found == followers_.end() ? nullptr : &found->second;
}

const TransitionCandidates* ChordTransitionModel::tripleFollowers(std::string_view a, std::string_view b) const {
    const auto found = tripleFollowers_.find(makeTransitionPairKey(a, b));
    return found == tripleFollowers_.end() ? nullptr : &found->second;
}

TransitionCandidates ChordTransitionModel::bridgingCandidates(std::string_view a, std::string_view c) const {
    TransitionCandidates bridges;
    const auto* first = pairWeightsOf(a);
    if (first == nullptr) return bridges;
    for (const auto& [x, w1] : *first) {
        const auto* second = pairWeightsOf(x);
        if (second == nullptr) continue;
        const auto found = second->find(c);
        if (found == second->end()) continue;
        bridges.push_back({x, found->second * w1});
    }
    sortHeaviestFirst(bridges);
    if (bridges.size() > kMaxBridgingCandidates) bridges.resize(kMaxBridgingCandidates);
    return bridges;
}

float ChordTransitionModel::tripleTransitionWeight(std::string_view a, std::string_view b, std::string_view c) const {
    const auto triple = tripleWeights_.find(makeTransitionPairKey(a, b));
    if (triple != tripleWeights_.end()) {
        const auto found = triple->second.find(c);
        if (found != triple->second.end()) return found->second;
    }
    const auto* pairs = pairWeightsOf(b);
    if (pairs != nullptr) {
        const auto found = pairs->find(c);
        if (found != pairs->end()) return found->second;
    }
    return 0.0f;
}

}  // namespace quillex
