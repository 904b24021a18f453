// Writing "pc.bin" images: the builder's output format, also used for test fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generation/progression_corpus.h"

namespace quillex {

struct ProgressionCorpusBucket {
    std::uint8_t length = 0;
    std::vector<SourceProgression> records;
    bool operator==(const ProgressionCorpusBucket&) const = default;
};

struct ProgressionCorpusGroup {
    std::string genreId;
    std::vector<ProgressionCorpusBucket> buckets;
    bool operator==(const ProgressionCorpusGroup&) const = default;
};

// The deciphered image of `version` (1..5): each version writes only its own
// fields. Throws std::runtime_error for a version outside 1..5, a text over
// 255 bytes or a count that does not fit its field.
std::vector<std::uint8_t> encodeProgressionCorpus(const std::vector<ProgressionCorpusGroup>& groups,
                                                  std::uint16_t version);
// `encodeProgressionCorpus` enciphered with the progression corpus key.
std::vector<std::uint8_t> writeProgressionCorpus(const std::vector<ProgressionCorpusGroup>& groups,
                                                 std::uint16_t version = kProgressionCorpusNewestVersion);

}  // namespace quillex
