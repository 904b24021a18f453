// Candidate voicing lists and the key under which one enumeration is cached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillex {

// Distinct MIDI notes, ascending (an anchor's fixed notes as given).
using CandidateVoicing = std::vector<std::int32_t>;
using CandidateList = std::vector<CandidateVoicing>;
// Built once, then shared by the cache, the solver and the port; never changed.
using SharedCandidateList = std::shared_ptr<const CandidateList>;

struct CandidateKey {
    std::vector<std::uint8_t> pitchClasses;  // bass first, then the others ascending
    std::uint16_t bassEligible = 0;          // 12-bit pitch-class set
    std::int32_t lowOctaveOffset = 0;
    std::int32_t highOctaveOffset = 0;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::int32_t minSpan = 0;
    std::int32_t maxSpan = 0;
    bool allowBassChanges = false;
    bool allowDoubling = false;
    std::int32_t fewest = 0;
    std::int32_t most = 0;

    friend bool operator==(const CandidateKey&, const CandidateKey&) = default;
};

// h <- h ^ (v + 0x9e3779b9 + (h << 6) + (h >> 2)).
constexpr std::uint64_t hashCombine(std::uint64_t h, std::uint64_t v) {
    return h ^ (v + 0x9e3779b9ULL + (h << 6) + (h >> 2));
}

struct CandidateKeyHash {
    std::size_t operator()(const CandidateKey& key) const noexcept;
};

struct MidiListHash {
    std::size_t operator()(const std::vector<std::int32_t>& notes) const noexcept;
};

}  // namespace quillex
