// Reading "cc.bin" images and the transition queries: followers, bridging chords, triple weights.
#include "generation/chord_transition_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "generation/chord_transition_writer.h"
#include "generation/corpus_cipher.h"

namespace quillex {
namespace {

// Tokens 0 I, 1 IV, 2 V, 3 vi, 4 ii.
ChordTransitionImage smallImage() {
    ChordTransitionImage image;
    image.tokens = {"I", "IV", "V", "vi", "ii"};
    image.pairs = {{0, 1, 0.5f}, {0, 2, 0.3f}, {0, 3, 0.2f}, {1, 2, 0.6f}, {1, 0, 0.4f},
                   {2, 0, 0.9f}, {2, 3, 0.1f}, {3, 1, 1.0f}, {4, 2, 1.0f}};
    image.triples = {{0, 1, 2, 0.7f}, {0, 1, 0, 0.3f}, {1, 2, 0, 1.0f}};
    return image;
}

int load(ChordTransitionModel& model, const std::vector<std::uint8_t>& bytes) {
    return loadChordTransitionCorpus(model, bytes.data(), bytes.size());
}

std::vector<std::uint8_t> enciphered(std::vector<std::uint8_t> plain) {
    decipherCorpusBytes(plain, chordTransitionCorpusKey());
    return plain;
}

TEST(ChordTransitionLoad, PairsAndTriplesRoundTripWithSortedFollowers) {
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(smallImage())), 1);
    EXPECT_EQ(model.pairWeights().size(), 5u);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "V"), 0.3f);
    const auto* followers = model.followers("I");
    ASSERT_NE(followers, nullptr);
    EXPECT_EQ(*followers, (TransitionCandidates{{"IV", 0.5f}, {"V", 0.3f}, {"vi", 0.2f}}));
    const auto* triple = model.tripleFollowers("I", "IV");
    ASSERT_NE(triple, nullptr);
    EXPECT_EQ(*triple, (TransitionCandidates{{"V", 0.7f}, {"I", 0.3f}}));
    EXPECT_EQ(model.followers("bVII"), nullptr);
}

TEST(ChordTransitionLoad, LaterRecordForTheSamePairOverwrites) {
    auto image = smallImage();
    image.pairs.push_back({0, 2, 0.05f});
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(image)), 1);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "V"), 0.05f);
}

TEST(ChordTransitionLoad, OutOfRangeIndicesAndNonFiniteWeightsAreSkipped) {
    auto image = smallImage();
    image.pairs = {{0, 9, 1.0f},
                   {0, 1, std::numeric_limits<float>::quiet_NaN()},
                   {1, 2, std::numeric_limits<float>::infinity()},
                   {2, 0, 0.5f}};
    image.triples = {{0, 1, 7, 1.0f}, {0, 1, 2, std::numeric_limits<float>::quiet_NaN()}};
    const auto tables =
        parseChordTransitionCorpus(writeChordTransitionCorpus(image).data(), writeChordTransitionCorpus(image).size());
    ASSERT_EQ(tables.pairs.size(), 1u);
    EXPECT_FLOAT_EQ(tables.pairs.at("V").at("I"), 0.5f);
    EXPECT_TRUE(tables.triples.empty());
}

TEST(ChordTransitionLoad, AllPairsOutOfRangeFailsAndLeavesTheModelAlone) {
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(smallImage())), 1);
    auto image = smallImage();
    for (auto& pair : image.pairs) pair.to = 40;
    EXPECT_EQ(load(model, writeChordTransitionCorpus(image)), 0);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "IV"), 0.5f);
}

TEST(ChordTransitionLoad, CutInsideTheTriplesKeepsPairsAndWholeTriplesBeforeTheCut) {
    const auto full = encodeChordTransitionCorpus(smallImage());
    // The last triple record takes the final 10 bytes; cut through it.
    const std::vector<std::uint8_t> cut(full.begin(), full.end() - 4);
    ChordTransitionModel model;
    ASSERT_EQ(load(model, enciphered(cut)), 1);
    EXPECT_EQ(model.pairWeights().size(), 5u);
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("I", "IV", "V"), 0.7f);
    EXPECT_EQ(model.tripleWeights().count("IV,V"), 0u);
}

TEST(ChordTransitionLoad, BadHeadersGiveEmptyTables) {
    auto plain = encodeChordTransitionCorpus(smallImage());
    plain[4] = 2;  // version
    EXPECT_TRUE(parseChordTransitionCorpus(enciphered(plain).data(), plain.size()).pairs.empty());
    plain[4] = 1;
    plain[3] = 'L';
    EXPECT_TRUE(parseChordTransitionCorpus(enciphered(plain).data(), plain.size()).pairs.empty());
    EXPECT_TRUE(parseChordTransitionCorpus(nullptr, 0).pairs.empty());
    ChordTransitionModel model;
    const std::uint8_t tiny[4] = {'Q', 'X', 'C', 'P'};
    EXPECT_EQ(loadChordTransitionCorpus(model, tiny, 4), 0);
    EXPECT_FALSE(model.hasPairWeights());
}

TEST(ChordTransitionQueries, TopCandidatesLimits) {
    const TransitionCandidates list = {{"a", 3.0f}, {"b", 2.0f}, {"c", 1.0f}};
    EXPECT_TRUE(topCandidates(list, 0).empty());
    EXPECT_TRUE(topCandidates(list, -1).empty());
    EXPECT_EQ(topCandidates(list, 2), (TransitionCandidates{{"a", 3.0f}, {"b", 2.0f}}));
    EXPECT_EQ(topCandidates(list, 10), list);
}

TEST(ChordTransitionQueries, TripleWeightFallsBackToThePairOfTheLastTwo) {
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(smallImage())), 1);
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("I", "IV", "V"), 0.7f);
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("ii", "IV", "V"), 0.6f);  // unknown pair key
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("I", "IV", "vi"), 0.0f);
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("x", "y", "z"), 0.0f);
}

TEST(ChordTransitionQueries, BridgingMultipliesBothStepsHeaviestFirst) {
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(smallImage())), 1);
    // I -> IV -> V = 0.5 * 0.6; I -> V has no V -> V; I -> vi -> IV only.
    EXPECT_EQ(model.bridgingCandidates("I", "V"), (TransitionCandidates{{"IV", 0.5f * 0.6f}}));
    const auto toI = model.bridgingCandidates("I", "I");
    ASSERT_EQ(toI.size(), 2u);
    EXPECT_EQ(toI[0].token, "V");
    EXPECT_FLOAT_EQ(toI[0].weight, 0.3f * 0.9f);
    EXPECT_TRUE(model.bridgingCandidates("bVII", "I").empty());
}

TEST(ChordTransitionQueries, BridgingKeepsAtMostTwenty) {
    ChordTransitionImage image;
    image.tokens = {"I", "V"};
    for (int i = 0; i < 30; ++i) {
        image.tokens.push_back(std::to_string(100 + i));
        const auto x = static_cast<std::uint16_t>(image.tokens.size() - 1);
        image.pairs.push_back({0, x, 0.01f * static_cast<float>(i + 1)});
        image.pairs.push_back({x, 1, 1.0f});
    }
    ChordTransitionModel model;
    ASSERT_EQ(load(model, writeChordTransitionCorpus(image)), 1);
    const auto bridges = model.bridgingCandidates("I", "V");
    ASSERT_EQ(bridges.size(), 20u);
    EXPECT_EQ(bridges.front().token, "129");
    EXPECT_EQ(bridges.back().token, "110");
}

}  // namespace
}  // namespace quillex
