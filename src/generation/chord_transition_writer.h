// Writing "cc.bin" images: the builder's output format, also used for test fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillex {

struct TransitionPairRecord {
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    float weight = 0.0f;
};

struct TransitionTripleRecord {
    std::uint16_t first = 0;
    std::uint16_t second = 0;
    std::uint16_t third = 0;
    float weight = 0.0f;
};

// The records of one image; indices point into `tokens`.
struct ChordTransitionImage {
    std::vector<std::string> tokens;
    std::vector<TransitionPairRecord> pairs;
    std::vector<TransitionTripleRecord> triples;
};

// The deciphered layout (version 1). Throws std::runtime_error for a token
// over 255 bytes or more than 65535 tokens.
std::vector<std::uint8_t> encodeChordTransitionCorpus(const ChordTransitionImage& image);
// `encodeChordTransitionCorpus` enciphered with the chord-transition key.
std::vector<std::uint8_t> writeChordTransitionCorpus(const ChordTransitionImage& image);

}  // namespace quillex
