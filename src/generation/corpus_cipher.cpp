// Corpus keys (derived from fixed seeds at run time) and the XOR pass.
#include "generation/corpus_cipher.h"

namespace quillex {
namespace {

// SplitMix64 stream: every seed gives 64 well-mixed key bytes.
CorpusKey deriveKey(std::uint64_t seed) {
    CorpusKey key{};
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < key.size(); i += 8) {
        state += 0x9e3779b97f4a7c15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        for (std::size_t b = 0; b < 8; ++b) {
            key[i + b] = static_cast<std::uint8_t>(z >> (8 * b));
        }
    }
    return key;
}

}  // namespace

const CorpusKey& progressionCorpusKey() {
    static const CorpusKey key = deriveKey(0x51584c5070726f67ULL);
    return key;
}

const CorpusKey& chordTransitionCorpusKey() {
    static const CorpusKey key = deriveKey(0x5158435074726e73ULL);
    return key;
}

void decipherCorpusBytes(std::span<std::uint8_t> bytes, const CorpusKey& key) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(bytes[i] ^ key[i % key.size()] ^ static_cast<std::uint8_t>(i >> 8));
    }
}

}  // namespace quillex
