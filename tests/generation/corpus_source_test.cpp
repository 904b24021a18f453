// The text sources of the corpus: progression lines, transition counts and the assembled images.
#include "generation/corpus_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <cmath>
#include <map>

#include "generation/chord_transition_model.h"
#include "generation/corpus_source_validation.h"
#include "generation/progression_corpus.h"

namespace quillex {
namespace {

TEST(CorpusSourceProgressions, LinesCarryModeFamilySubcategoryScaleAndTokens) {
    std::vector<std::string> errors;
    const auto records = parseProgressionSource("rock",
                                                "# comment line\n\n"
                                                "major mixolydian verse - : I bVII IV I ; 180 x, 0015\n"
                                                "minor dorian chorus natural : i IV i IV < i IV i IV v IV\r\n",
                                                errors);
    ASSERT_TRUE(errors.empty()) << errors.front();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (ProgressionSourceRecord{
                              "rock", 0, "mixolydian", "verse", std::nullopt, {"I", "bVII", "IV", "I"}, {}, 3}));
    EXPECT_EQ(records[1].mode, 1);
    EXPECT_EQ(records[1].minorScaleType, std::optional<std::uint8_t>(0));
    EXPECT_EQ(records[1].sourceTokens.size(), 6u);
    EXPECT_EQ(records[1].lineNumber, 4);
}

TEST(CorpusSourceProgressions, MalformedLinesAreReportedWithTheirNumbers) {
    std::vector<std::string> errors;
    const auto records = parseProgressionSource("pop",
                                                "major ionian verse - I V vi IV\n"
                                                "dorian ionian verse - : I V\n"
                                                "major ionian verse melodic : I V\n"
                                                "major ionian - : I V\n"
                                                "minor aeolian verse natural :\n",
                                                errors);
    EXPECT_TRUE(records.empty());
    ASSERT_EQ(errors.size(), 5u);
    EXPECT_EQ(errors[0], "1: missing ':' before the tokens");
    EXPECT_EQ(errors[2], "3: a major record takes no minor scale");
    EXPECT_EQ(errors[4].substr(0, 3), "5: ");
}

TEST(CorpusSourceProgressions, GroupsBucketByLengthAndNumberSharedSources) {
    std::vector<std::string> errors;
    auto records = parseProgressionSource("jazzneosoul",
                                          "major ionian iivi - : Imaj7 vim7 iim7 V7 iiim7 VI7\n"
                                          "major ionian iivi - : Imaj7 vim7 iim7 V7\n"
                                          "major ionian iivi - : iim7 V7 Imaj7 VI7 < Imaj7 vim7 iim7 V7\n",
                                          errors);
    const auto groups = assembleProgressionGroups(records);
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0].buckets.size(), 2u);
    EXPECT_EQ(groups[0].buckets[0].length, 4);
    EXPECT_EQ(groups[0].buckets[1].length, 6);
    const auto& fours = groups[0].buckets[0].records;
    ASSERT_EQ(fours.size(), 2u);
    EXPECT_EQ(fours[1].poolIndex, 1);
    EXPECT_EQ(fours[0].sourceIndex, fours[1].sourceIndex);  // the same source list
    EXPECT_EQ(groups[0].buckets[1].records[0].sourceIndex, 0);
    EXPECT_EQ(fours[0].numeralCase, 2);
}

TEST(CorpusSourceTransitions, CountsAddUpAndBadLinesAreReported) {
    TransitionCounts counts;
    std::vector<std::string> errors;
    parseTransitionCounts("# header\n3 I IV\n2 I IV\n4 I IV V\nx I V\n-1 I V\n1 I\n", counts, errors);
    EXPECT_DOUBLE_EQ((counts.pairs[{"I", "IV"}]), 5.0);
    EXPECT_DOUBLE_EQ((counts.triples[{"I", "IV", "V"}]), 4.0);
    EXPECT_EQ(errors.size(), 3u);
    addProgressionTransitions(counts, {"I", "IV", "V", "I"});
    EXPECT_DOUBLE_EQ((counts.pairs[{"I", "IV"}]), 6.0);
    EXPECT_DOUBLE_EQ((counts.pairs[{"V", "I"}]), 1.0);
    EXPECT_DOUBLE_EQ((counts.triples[{"IV", "V", "I"}]), 1.0);
}

TEST(CorpusSourceTransitions, GlyphFormRewritesOnlyLeadingAccidentals) {
    EXPECT_EQ(glyphRomanToken("bVII"), "\u266DVII");
    EXPECT_EQ(glyphRomanToken("#iv\u00B07"), "\u266Fiv\u00B07");
    EXPECT_EQ(glyphRomanToken("I/bVII"), "I/\u266DVII");
    EXPECT_EQ(glyphRomanToken("bIImaj7b5"), "\u266DIImaj7b5");
    EXPECT_EQ(glyphRomanToken("V7b9"), "V7b9");
}

TEST(CorpusSourceTransitions, WeightsAreConditionalAndFamiliesStaySeparate) {
    TransitionCounts counts;
    counts.pairs[{"I", "bVII"}] = 3;
    counts.pairs[{"I", "IV"}] = 1;
    counts.pairs[{"bVII", "IV"}] = 2;
    counts.pairs[{"bVII", "bVI"}] = 2;
    counts.triples[{"I", "bVII", "IV"}] = 1;
    const auto image = assembleTransitionImage(counts);
    ChordTransitionModel model;
    const auto tables = [&] {
        ChordTransitionTables out;
        for (const auto& pair : image.pairs) {
            out.pairs[image.tokens[pair.from]][image.tokens[pair.to]] = pair.weight;
        }
        for (const auto& triple : image.triples) {
            out.triples[makeTransitionPairKey(image.tokens[triple.first], image.tokens[triple.second])]
                       [image.tokens[triple.third]] = triple.weight;
        }
        return out;
    }();
    model.install(tables);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "bVII"), 0.75f);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "IV"), 0.25f);
    // The walk's ASCII rows never lead to glyph tokens ...
    EXPECT_FLOAT_EQ(model.pairWeight("I", "\u266DVII"), 0.0f);
    EXPECT_FLOAT_EQ(model.pairWeight("bVII", "bVI"), 0.5f);
    // ... and derived numerals with glyph accidentals find their own rows.
    EXPECT_FLOAT_EQ(model.pairWeight("\u266DVII", "\u266DVI"), 0.5f);
    EXPECT_FLOAT_EQ(model.pairWeight("\u266DVII", "IV"), 0.5f);
    EXPECT_FLOAT_EQ(model.tripleTransitionWeight("I", "\u266DVII", "IV"), 1.0f);
    for (const auto& [token, row] : model.pairWeights()) {
        float sum = 0.0f;
        for (const auto& [next, weight] : row) sum += weight;
        EXPECT_NEAR(sum, 1.0f, 1e-5f) << token;
    }
}

TEST(CorpusSourceValidation, TokensMustSurviveEveryKey) {
    for (const char* token :
         {"I", "bVII", "\u266DVII", "iim7", "vii\u00B07", "#iv\u00F8", "I/III", "bII/i", "V7b9", "imM7"}) {
        EXPECT_EQ(checkRomanTokenInAllKeys(token), std::nullopt) << token;
    }
    for (const char* token : {"VIII", "iV", "sus2", "I/V7", "vii\u00F811", ""}) {
        EXPECT_NE(checkRomanTokenInAllKeys(token), std::nullopt) << token;
    }
}

TEST(CorpusSourceValidation, RecordsMustReadInTheirFiledMode) {
    ProgressionSourceRecord major{"pop", 0, "ionian", "verse", std::nullopt, {"I", "V", "vi", "IV"}, {}, 1};
    EXPECT_EQ(checkRecordMode(major), std::nullopt);
    major.mode = 1;
    EXPECT_EQ(checkRecordMode(major), "reads as major but is filed under minor");
    ProgressionSourceRecord dorian{"rock", 1, "dorian", "vamp", 0, {"i", "IV", "i", "IV"}, {}, 1};
    EXPECT_EQ(checkRecordMode(dorian), std::nullopt);
}

}  // namespace
}  // namespace quillex

namespace quillex {
namespace {

// A source folder missing a file the builder reads is refused, not read as empty.
TEST(CorpusSourceFolder, UnreadableFilesAreReportedNotIgnored) {
    const auto folder = std::filesystem::temp_directory_path() / "quillex-corpus-source-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "progressions");
    const CorpusSources sources = readCorpusSources(folder.string());
    ASSERT_EQ(sources.errors.size(), 1u);
    EXPECT_NE(sources.errors[0].find("transition-styles.txt: cannot be read"), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quillex
