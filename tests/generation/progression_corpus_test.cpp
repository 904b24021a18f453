// Reading "pc.bin" images of every version, the corpus queries and the id helpers.
#include "generation/progression_corpus.h"

#include <gtest/gtest.h>

#include "generation/corpus_bytes.h"
#include "generation/corpus_cipher.h"
#include "generation/progression_corpus_writer.h"

namespace quillex {
namespace {

SourceProgression record(std::vector<std::string> tokens, std::string family = "ionian",
                         std::string subcategory = "verse") {
    SourceProgression out;
    out.romanTokens = std::move(tokens);
    out.modeFamily = std::move(family);
    out.subcategory = std::move(subcategory);
    out.sourceRoman = out.romanTokens;
    out.sourceLength = static_cast<std::uint8_t>(out.romanTokens.size());
    return out;
}

bool load(ProgressionCorpus& corpus, const std::vector<std::uint8_t>& bytes) {
    return loadProgressionCorpus(corpus, bytes.data(), bytes.size());
}

std::vector<std::uint8_t> enciphered(std::vector<std::uint8_t> plain) {
    decipherCorpusBytes(plain, progressionCorpusKey());
    return plain;
}

const SourcePool& poolOf(const ProgressionCorpus& corpus, std::string_view genre, std::uint32_t length) {
    const auto pools = corpus.findSourcePool(genre, length);
    EXPECT_EQ(pools.size(), 1u);
    return pools.at(0).get();
}

TEST(ProgressionCorpusLoad, NewestVersionRoundTripsEveryField) {
    auto first = record({"i", "bII", "VII", "i"}, "phrygian", "vamp");
    first.minorScaleType = 1;
    first.extraTokens = {"x"};
    first.numeralCase = 2;
    first.accidentalCount = 1;
    first.sourceIndex = 7;
    first.sourceLength = 8;
    first.sourceRoman = {"i", "bII", "VII", "i", "iv", "bII", "i", "VII"};
    auto second = record({"I", "V", "vi", "IV"});
    second.poolIndex = 1;
    second.numeralCase = 2;
    const std::vector<ProgressionCorpusGroup> groups = {{"modalcolorsdarkexotic", {{4, {first, second}}}}};
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus(groups)));
    const auto& pool = poolOf(corpus, "modalcolorsdarkexotic", 4);
    ASSERT_EQ(pool.size(), 2u);
    first.upperNumeralCount = 2;
    first.lowerNumeralCount = 2;
    second.upperNumeralCount = 3;
    second.lowerNumeralCount = 1;
    EXPECT_EQ(pool[0], first);
    EXPECT_EQ(pool[1], second);
}

TEST(ProgressionCorpusLoad, OlderVersionsDeriveWhatTheyDoNotCarry) {
    auto stored = record({"bVII", "IV"}, "mixolydian", "chorus");
    stored.minorScaleType = 0;
    stored.sourceIndex = 9;
    stored.sourceRoman = {"I"};
    for (std::uint16_t version = 1; version <= 4; ++version) {
        ProgressionCorpus corpus;
        ASSERT_TRUE(load(corpus, writeProgressionCorpus({{"rock", {{2, {stored}}}}}, version)));
        const auto& read = poolOf(corpus, "rock", 2).at(0);
        EXPECT_EQ(read.romanTokens, stored.romanTokens);
        EXPECT_FALSE(read.minorScaleType.has_value()) << version;
        EXPECT_EQ(read.modeFamily, version >= 3 ? "mixolydian" : "") << version;
        EXPECT_EQ(read.sourceIndex, version >= 4 ? 9 : 0) << version;
        EXPECT_EQ(read.sourceRoman, version >= 4 ? std::vector<std::string>{"I"} : stored.romanTokens);
        EXPECT_EQ(read.sourceLength, version >= 4 ? stored.sourceLength : 2);
    }
}

TEST(ProgressionCorpusLoad, VersionOneDerivesNumeralCaseAndAccidentals) {
    const std::vector<ProgressionCorpusGroup> groups = {
        {"pop", {{4, {record({"I", "vi", "IV", "V"})}}, {2, {record({"ii", "v"}), record({"bVII", "IV"})}}}}};
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus(groups, 1)));
    EXPECT_EQ(poolOf(corpus, "pop", 4)[0].numeralCase, 2);
    const auto& pairs = poolOf(corpus, "pop", 2);
    EXPECT_EQ(pairs[0].numeralCase, 1);
    EXPECT_EQ(pairs[1].numeralCase, 0);
    EXPECT_EQ(pairs[1].accidentalCount, 1);
    EXPECT_EQ(pairs[1].poolIndex, 1);
    EXPECT_EQ(pairs[1].sourceIndex, 1);
}

TEST(ProgressionCorpusLoad, StoredNumeralCaseAboveTwoReadsAsMixed) {
    auto stored = record({"I", "IV"});
    stored.numeralCase = 9;
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus({{"pop", {{2, {stored}}}}}, 2)));
    EXPECT_EQ(poolOf(corpus, "pop", 2)[0].numeralCase, 2);
}

TEST(ProgressionCorpusLoad, MinorScaleTypeTextIsCaseBlindAndOtherwiseRefused) {
    auto stored = record({"i", "iv"});
    stored.minorScaleType = 1;
    auto plain = encodeProgressionCorpus({{"jazz", {{2, {stored}}}}}, 5);
    const std::string melodic = "melodic";
    const auto at = std::search(plain.begin(), plain.end(), melodic.begin(), melodic.end());
    ASSERT_NE(at, plain.end());
    *at = 'M';
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, enciphered(plain)));
    EXPECT_EQ(poolOf(corpus, "jazz", 2)[0].minorScaleType, std::optional<std::uint8_t>(1));

    std::copy_n("harmoni", 7, at);
    EXPECT_FALSE(load(corpus, enciphered(plain)));
    EXPECT_FALSE(corpus.hasGenres()) << "a failed parse must not leave half a corpus";
}

TEST(ProgressionCorpusLoad, HeaderProblemsLoadNothing) {
    ProgressionCorpus corpus;
    EXPECT_FALSE(load(corpus, writeProgressionCorpus({})));  // exactly 8 bytes, no groups
    EXPECT_EQ(writeProgressionCorpus({}).size(), 8u);
    for (const std::uint16_t version : {0, 6}) {
        auto plain = encodeProgressionCorpus({{"pop", {{2, {record({"I", "V"})}}}}}, 5);
        plain[4] = static_cast<std::uint8_t>(version);
        EXPECT_FALSE(load(corpus, enciphered(plain))) << version;
        EXPECT_FALSE(corpus.hasGenres());
    }
    auto wrongMagic = encodeProgressionCorpus({{"pop", {{2, {record({"I", "V"})}}}}}, 5);
    wrongMagic[0] = 'X';
    EXPECT_FALSE(load(corpus, enciphered(wrongMagic)));
    EXPECT_FALSE(loadProgressionCorpus(corpus, nullptr, 100));
    const std::uint8_t seven[7] = {};
    EXPECT_FALSE(loadProgressionCorpus(corpus, seven, 7));
}

TEST(ProgressionCorpusLoad, EveryTruncationFailsAndLeavesTheCorpusEmpty) {
    auto stored = record({"i", "bII", "iv", "i"}, "phrygian", "vamp");
    stored.minorScaleType = 0;
    const auto full = encodeProgressionCorpus({{"dark", {{4, {stored, stored}}}}}, 5);
    for (std::size_t cut = 8; cut < full.size(); ++cut) {
        ProgressionCorpus corpus;
        ASSERT_TRUE(load(corpus, writeProgressionCorpus({{"old", {{2, {record({"I", "V"})}}}}})));
        EXPECT_FALSE(load(corpus, enciphered({full.begin(), full.begin() + static_cast<long>(cut)}))) << cut;
        EXPECT_FALSE(corpus.hasGenres()) << cut;
    }
}

TEST(ProgressionCorpusLoad, RepeatedGenreAndLengthKeepTheBucketReadLast) {
    const std::vector<ProgressionCorpusGroup> groups = {
        {"pop", {{2, {record({"I", "V"})}}, {2, {record({"I", "IV"}), record({"vi", "IV"})}}}},
        {"pop", {{4, {record({"I", "V", "vi", "IV"})}}}}};
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus(groups)));
    const auto& pool = poolOf(corpus, "pop", 2);
    ASSERT_EQ(pool.size(), 2u);
    EXPECT_EQ(pool[0].romanTokens, (std::vector<std::string>{"I", "IV"}));
    EXPECT_EQ(corpus.recordCount(), 3u);
}

TEST(ProgressionCorpusQueries, MissingGenreLengthOrEmptyBucketGivesNoPool) {
    const std::vector<ProgressionCorpusGroup> groups = {{"rock", {{4, {record({"I", "bVII", "IV", "I"})}}, {6, {}}}}};
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus(groups)));
    EXPECT_TRUE(corpus.findSourcePool("rock", 8).empty());
    EXPECT_TRUE(corpus.findSourcePool("rock", 6).empty());
    EXPECT_TRUE(corpus.findSourcePool("Rock", 4).empty());  // looked up exactly as given
    EXPECT_EQ(corpus.findSourcePool("rock", 4).size(), 1u);
}

TEST(ProgressionCorpusQueries, GroupVocabulariesHoldTokensAndSourceTokensPerGroup) {
    auto first = record({"i", "bII"}, "Phrygian", "vamp");
    first.sourceRoman = {"i", "bII", "VII"};
    const std::vector<ProgressionCorpusGroup> groups = {
        {"modalcolorsdarkexotic", {{2, {first, record({"I", "bII"}, "phrygiandominant", "vamp")}}}}};
    ProgressionCorpus corpus;
    ASSERT_TRUE(load(corpus, writeProgressionCorpus(groups)));
    const auto* phrygian =
        corpus.groupVocabulary(makeCorpusGroupKey("Modal Colors: Dark & Exotic", "phrygian", "Vamp"));
    ASSERT_NE(phrygian, nullptr);
    EXPECT_EQ(*phrygian, (RomanVocabulary{"i", "bII", "VII"}));
    EXPECT_EQ(corpus.groupVocabulary(makeCorpusGroupKey("modalcolorsdarkexotic", "lydian", "vamp")), nullptr);
}

TEST(ProgressionCorpusIds, NormalisingKeepsLowerCaseLettersAndDigits) {
    EXPECT_EQ(normalizeGenreId("Pop + EDM"), "popedm");
    EXPECT_EQ(normalizeGenreId("Modal Colors: Light & Dreamy"), "modalcolorslightdreamy");
    EXPECT_EQ(normalizeGenreId("Caf\u00E9 80s"), "caf80s");
    EXPECT_EQ(makeCorpusGroupKey("Rock", "Mixo-lydian", ""), "rock\x1fmixolydian\x1f");
}

TEST(ProgressionCorpusIds, FilterMatchesOnNormalisedIds) {
    EXPECT_TRUE(filterIdMatches("", ""));
    EXPECT_TRUE(filterIdMatches("", "dorian"));
    EXPECT_FALSE(filterIdMatches("dorian", ""));
    EXPECT_TRUE(filterIdMatches("Phrygian Dominant", "phrygiandominant"));
    EXPECT_FALSE(filterIdMatches("phrygian", "phrygiandominant"));
}

TEST(ProgressionCorpusIds, MinorScaleTypeTexts) {
    std::optional<std::uint8_t> type = 1;
    EXPECT_TRUE(parseCorpusMinorScaleType("", type));
    EXPECT_FALSE(type.has_value());
    EXPECT_TRUE(parseCorpusMinorScaleType("NATURAL", type));
    EXPECT_EQ(type, std::optional<std::uint8_t>(0));
    EXPECT_TRUE(parseCorpusMinorScaleType("Melodic", type));
    EXPECT_EQ(type, std::optional<std::uint8_t>(1));
    EXPECT_FALSE(parseCorpusMinorScaleType("harmonic", type));
}

}  // namespace
}  // namespace quillex
