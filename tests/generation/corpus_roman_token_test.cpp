// Roman token helpers: numeral letters, slash parts, canonical and display forms.
#include "generation/corpus_roman_token.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

TEST(CorpusRomanTokenDisplay, TriadMarksAreDroppedAndDiminishedMarksBecomeSymbols) {
    EXPECT_EQ(romanDisplayText("bVIImaj"), "\u266DVII");
    EXPECT_EQ(romanDisplayText("iim7b5"), "ii\u00F8");
    EXPECT_EQ(romanDisplayText("iim9b5"), "ii\u00F89");
    EXPECT_EQ(romanDisplayText("viidim7"), "vii\u00B07");
    EXPECT_EQ(romanDisplayText("iim"), "ii");
    EXPECT_EQ(romanDisplayText("#ivdim"), "\u266Fiv\u00B0");
}

TEST(CorpusRomanTokenDisplay, OtherSuffixesAndSlashPartsAreKept) {
    EXPECT_EQ(romanDisplayText("V/V"), "V/V");
    EXPECT_EQ(romanDisplayText("Im"), "Im");  // an upper-case numeral keeps its "m"
    EXPECT_EQ(romanDisplayText("iim7"), "iim7");
    EXPECT_EQ(romanDisplayText("I/bVII"), "I/\u266DVII");
    EXPECT_EQ(romanDisplayText("\u266DII"), "\u266DII");
}

TEST(CorpusRomanTokenParts, HeadSlashAndNumeralLetters) {
    EXPECT_EQ(romanTokenHead("V7/ii"), "V7");
    EXPECT_EQ(romanTokenSlashPart("V7/ii"), "ii");
    EXPECT_EQ(romanTokenHead("IV"), "IV");
    EXPECT_EQ(romanTokenSlashPart("IV"), "");
    EXPECT_EQ(romanNumeralLetters("bVIImaj7"), "VII");
    EXPECT_EQ(romanNumeralLetters("#iv\u00B07"), "iv");
    EXPECT_EQ(romanNumeralLetters("\u266DVII"), "");  // only ASCII accidentals are skipped
    EXPECT_EQ(romanNumeralLetters("7"), "");
}

TEST(CorpusRomanTokenCanonical, GlyphAccidentalsFoldToAscii) {
    EXPECT_EQ(canonicalRomanNumeral("\u266DIImaj7"), "bII");
    EXPECT_EQ(canonicalRomanNumeral("\u266Fiv\u00B0"), "#iv");
    EXPECT_EQ(canonicalRomanNumeral("bbVII7"), "bbVII");
    EXPECT_EQ(canonicalRomanNumeral("V7"), "V");
}

TEST(CorpusRomanTokenFlatTwo, HeadOrSlashPartReadsFlatTwo) {
    EXPECT_TRUE(isFlatTwoToken("\u266DII"));
    EXPECT_TRUE(isFlatTwoToken("V/bII"));
    EXPECT_TRUE(isFlatTwoToken("bIImaj7"));
    EXPECT_FALSE(isFlatTwoToken("bIII"));
    EXPECT_FALSE(isFlatTwoToken("II"));
}

}  // namespace
}  // namespace quillex
