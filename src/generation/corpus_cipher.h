// The whole-file XOR cipher shared by the two corpus files, with their keys.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillex {

using CorpusKey = std::array<std::uint8_t, 64>;

// The key of "pc.bin"; built at run time on first use, never read from a file.
const CorpusKey& progressionCorpusKey();
// The key of "cc.bin"; built the same way from a different seed.
const CorpusKey& chordTransitionCorpusKey();

// Byte i becomes byte i ^ key[i % 64] ^ (i >> 8 & 0xff). The operation is its
// own inverse, so the builder enciphers with the same call.
void decipherCorpusBytes(std::span<std::uint8_t> bytes, const CorpusKey& key);

}  // namespace quillex
