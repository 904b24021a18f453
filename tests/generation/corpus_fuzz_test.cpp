// Bounded mutation fuzzing of both corpus readers: truncation, random bytes, huge counts, NaN weights.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "generation/chord_transition_model.h"
#include "generation/chord_transition_writer.h"
#include "generation/corpus_cipher.h"
#include "generation/progression_corpus.h"
#include "generation/progression_corpus_writer.h"

namespace quillex {
namespace {

constexpr int kIterations = 20000;

std::vector<std::uint8_t> seedProgressionImage(std::uint16_t version) {
    SourceProgression record;
    record.romanTokens = {"i", "bII", "VII", "i"};
    record.modeFamily = "phrygian";
    record.subcategory = "vamp";
    record.minorScaleType = 0;
    record.extraTokens = {"iv"};
    record.sourceRoman = {"i", "bII", "VII", "i", "iv", "bII", "i", "VII"};
    SourceProgression other = record;
    other.romanTokens = {"I", "V", "vi", "IV", "I", "V"};
    return encodeProgressionCorpus(
        {{"modalcolorsdarkexotic", {{4, {record, record}}, {6, {other}}}}, {"popedm", {{6, {other}}}}}, version);
}

std::vector<std::uint8_t> seedTransitionImage() {
    ChordTransitionImage image;
    image.tokens = {"I", "IV", "V", "vi", "\u266DVII"};
    for (std::uint16_t a = 0; a < 5; ++a) {
        for (std::uint16_t b = 0; b < 5; ++b) {
            image.pairs.push_back({a, b, 0.1f * static_cast<float>(a + b + 1)});
            image.triples.push_back({a, b, static_cast<std::uint16_t>((a + b) % 5), 0.5f});
        }
    }
    return encodeChordTransitionCorpus(image);
}

// One random change to a deciphered image.
void mutate(std::vector<std::uint8_t>& bytes, std::mt19937& random) {
    if (bytes.empty()) return;
    std::uniform_int_distribution<std::size_t> position(0, bytes.size() - 1);
    switch (random() % 6) {
        case 0:  // flip a byte
            bytes[position(random)] ^= static_cast<std::uint8_t>(1 + random() % 255);
            break;
        case 1:  // cut the image short
            bytes.resize(position(random));
            break;
        case 2: {  // a huge count or length, 2 or 4 bytes of 0xff
            const std::size_t at = position(random);
            for (std::size_t i = at; i < std::min(bytes.size(), at + (random() % 2 ? 2 : 4)); ++i) bytes[i] = 0xff;
            break;
        }
        case 3: {  // a NaN or infinite float somewhere
            const float value =
                random() % 2 ? std::numeric_limits<float>::quiet_NaN() : -std::numeric_limits<float>::infinity();
            const std::size_t at = position(random);
            if (at + 4 <= bytes.size()) std::memcpy(&bytes[at], &value, 4);
            break;
        }
        case 4:  // random garbage appended
            for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
            break;
        default:  // duplicate a slice
            if (bytes.size() > 8) {
                const std::size_t at = position(random);
                const std::size_t length = std::min<std::size_t>(bytes.size() - at, 1 + random() % 24);
                bytes.insert(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at),
                             bytes.begin() + static_cast<long>(at + length));
            }
    }
}

TEST(CorpusReaderFuzz, ProgressionReaderSurvivesMutatedImages) {
    std::mt19937 random(0x5eed01);
    const std::vector<std::vector<std::uint8_t>> seeds = {seedProgressionImage(1), seedProgressionImage(3),
                                                          seedProgressionImage(5)};
    for (int i = 0; i < kIterations; ++i) {
        auto bytes = seeds[random() % seeds.size()];
        const int rounds = 1 + static_cast<int>(random() % 4);
        for (int r = 0; r < rounds; ++r) mutate(bytes, random);
        if (random() % 16 != 0) decipherCorpusBytes(bytes, progressionCorpusKey());
        ProgressionCorpus corpus;
        const bool loaded = loadProgressionCorpus(corpus, bytes.data(), bytes.size());
        EXPECT_EQ(loaded, corpus.hasGenres()) << i;
        // Every record costs at least one byte of the image.
        EXPECT_LE(corpus.recordCount(), bytes.size()) << i;
    }
}

TEST(CorpusReaderFuzz, TransitionReaderSurvivesMutatedImages) {
    std::mt19937 random(0x5eed02);
    const auto seed = seedTransitionImage();
    for (int i = 0; i < kIterations; ++i) {
        auto bytes = seed;
        const int rounds = 1 + static_cast<int>(random() % 4);
        for (int r = 0; r < rounds; ++r) mutate(bytes, random);
        if (random() % 16 != 0) decipherCorpusBytes(bytes, chordTransitionCorpusKey());
        ChordTransitionModel model;
        const int loaded = loadChordTransitionCorpus(model, bytes.data(), bytes.size());
        EXPECT_EQ(loaded != 0, model.hasPairWeights()) << i;
        for (const auto& [token, row] : model.pairWeights()) {
            for (const auto& [next, weight] : row) ASSERT_TRUE(std::isfinite(weight)) << i;
            const auto* followers = model.followers(token);
            ASSERT_NE(followers, nullptr);
            for (std::size_t k = 1; k < followers->size(); ++k) {
                ASSERT_GE((*followers)[k - 1].weight, (*followers)[k].weight) << i;
            }
        }
        for (const auto& [key, row] : model.tripleWeights()) {
            for (const auto& [next, weight] : row) ASSERT_TRUE(std::isfinite(weight)) << i;
        }
    }
}

TEST(CorpusReaderFuzz, PureNoiseNeverLoads) {
    std::mt19937 random(0x5eed03);
    for (int i = 0; i < 500; ++i) {
        std::vector<std::uint8_t> bytes(random() % 600);
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
        ProgressionCorpus corpus;
        ChordTransitionModel model;
        EXPECT_FALSE(loadProgressionCorpus(corpus, bytes.data(), bytes.size()));
        EXPECT_EQ(loadChordTransitionCorpus(model, bytes.data(), bytes.size()), 0);
    }
}

}  // namespace
}  // namespace quillex
