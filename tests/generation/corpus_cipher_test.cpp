// The whole-file XOR cipher and the two corpus keys.
#include "generation/corpus_cipher.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillex {
namespace {

TEST(CorpusCipher, DecipheringTwiceGivesTheOriginalBytesBack) {
    std::vector<std::uint8_t> bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const auto original = bytes;
    decipherCorpusBytes(bytes, progressionCorpusKey());
    EXPECT_NE(bytes, original);
    decipherCorpusBytes(bytes, progressionCorpusKey());
    EXPECT_EQ(bytes, original);
}

TEST(CorpusCipher, EachByteMixesTheKeyAndItsPositionAboveTheLowByte) {
    const auto& key = chordTransitionCorpusKey();
    std::vector<std::uint8_t> zeros(1000, 0);
    decipherCorpusBytes(zeros, key);
    for (const std::size_t i : {0u, 63u, 64u, 255u, 256u, 999u}) {
        EXPECT_EQ(zeros[i], static_cast<std::uint8_t>(key[i % 64] ^ ((i >> 8) & 0xff))) << i;
    }
}

TEST(CorpusCipher, TheTwoFilesHaveDistinctStableKeys) {
    EXPECT_NE(progressionCorpusKey(), chordTransitionCorpusKey());
    EXPECT_EQ(&progressionCorpusKey(), &progressionCorpusKey());
    int distinct = 0;
    for (std::size_t i = 1; i < 64; ++i) distinct += progressionCorpusKey()[i] != progressionCorpusKey()[0];
    EXPECT_GT(distinct, 50);
}

}  // namespace
}  // namespace quillex
