// Tests of the Roman-numeral progression profile.
#include "theory/roman_progression_profile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillex {
namespace {

constexpr const char* kFlat = "\xE2\x99\xAD";
constexpr const char* kSharp = "\xE2\x99\xAF";

TEST(RomanProfileToken, SplitsAccidentalsNumeralAndSuffix) {
    RomanProfileToken t = parseRomanProfileToken("bVII7");
    EXPECT_EQ(t.accidentals, "b");
    EXPECT_EQ(t.numeral, "VII");
    EXPECT_EQ(t.suffix, "7");
    EXPECT_EQ(t.accidentalCount, 1);
    EXPECT_FALSE(t.isAppliedDominant);

    EXPECT_EQ(parseRomanProfileToken(std::string(kFlat) + "VI"), parseRomanProfileToken("bVI"));
    RomanProfileToken twoFlats = parseRomanProfileToken(std::string(kFlat) + kFlat + "VII");
    EXPECT_EQ(twoFlats.accidentalCount, 2);
    EXPECT_EQ(twoFlats.accidentals, "bb");
    EXPECT_EQ(parseRomanProfileToken(std::string(kSharp) + "iv").accidentals, "#");
}

TEST(RomanProfileToken, ReadsTheAppliedTargetAfterTheSlash) {
    RomanProfileToken t = parseRomanProfileToken("V7/ii");
    EXPECT_EQ(t.numeral, "V");
    EXPECT_EQ(t.suffix, "7");
    EXPECT_EQ(t.appliedNumeral, "ii");
    EXPECT_TRUE(t.isAppliedDominant);
    EXPECT_TRUE(parseRomanProfileToken("viio7/V").isAppliedDominant);
    EXPECT_FALSE(parseRomanProfileToken("IV/V").isAppliedDominant);
    EXPECT_FALSE(parseRomanProfileToken("V/").isAppliedDominant);
    EXPECT_EQ(parseRomanProfileToken("V/bVI").appliedNumeral, "VI");
}

TEST(RomanProfileToken, LowerCaseNumeralsReadTheirSuffixAsMinor) {
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("vii")), 1);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("ii7")), 1);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("IV7")), 2);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("IV")), 0);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("iiadd9")), 1);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("ii6")), 1);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("viio7")), 3);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("viim7b5")), 4);
    EXPECT_EQ(romanQualityWeightClass(parseRomanProfileToken("7")), 7);
}

TEST(RomanTokenWeight, FollowsTheReadingTables) {
    auto w = [](const char* text, int mode, bool melodic) {
        return romanTokenWeight(parseRomanProfileToken(text), mode, melodic);
    };
    EXPECT_DOUBLE_EQ(w("IV", 0, false), 4.2);
    EXPECT_DOUBLE_EQ(w("IV7", 0, false), 0.0);
    EXPECT_DOUBLE_EQ(w("imM7", 1, true), 7.5);
    EXPECT_DOUBLE_EQ(w("imM7", 1, false), 6.5);
    EXPECT_DOUBLE_EQ(w("i", 0, false), 0.0);
    EXPECT_DOUBLE_EQ(w("V", 1, false), 5.8);
    EXPECT_DOUBLE_EQ(w("V7", 1, true), 5.7);
    EXPECT_DOUBLE_EQ(w("V", 0, false), 4.8);
    EXPECT_DOUBLE_EQ(w("bVII", 1, false), 1.6);
    EXPECT_DOUBLE_EQ(w("bVII", 0, false), 0.8);
    EXPECT_DOUBLE_EQ(w("biv", 0, false), 0.8);
    EXPECT_DOUBLE_EQ(w("#iv", 1, false), 0.25);
    EXPECT_DOUBLE_EQ(w("III+", 1, true), 4.8);
    EXPECT_DOUBLE_EQ(w("iiø7", 1, false), 4.7);
    for (int mode = 0; mode <= 1; ++mode) {
        for (bool melodic : {false, true}) {
            EXPECT_DOUBLE_EQ(w("V7/ii", mode, melodic), 1.2);
            EXPECT_DOUBLE_EQ(w("vii/V", mode, melodic), 0.9);
            EXPECT_DOUBLE_EQ(w("7", mode, melodic), 0.0);
        }
    }
}

TEST(RomanCadenceWeight, RewardsCadentialPairsOnly) {
    auto c = [](const char* a, const char* b, int mode, bool melodic) {
        return romanCadenceWeight(parseRomanProfileToken(a), parseRomanProfileToken(b), mode, melodic);
    };
    EXPECT_DOUBLE_EQ(c("V7", "I", 0, false), 2.6);
    EXPECT_DOUBLE_EQ(c("vii", "I", 0, false), 2.6);
    EXPECT_DOUBLE_EQ(c("ii", "V", 0, false), 2.2);
    EXPECT_DOUBLE_EQ(c("V", "i", 1, false), 2.6);
    EXPECT_DOUBLE_EQ(c("ii", "V", 1, false), 2.0);
    EXPECT_DOUBLE_EQ(c("ii", "V", 1, true), 2.3);
    EXPECT_DOUBLE_EQ(c("iv", "V", 1, true), 2.0);
    EXPECT_DOUBLE_EQ(c("iv", "V", 0, false), 0.0);
    EXPECT_DOUBLE_EQ(c("V7/ii", "ii", 0, false), 0.0);
    EXPECT_DOUBLE_EQ(c("V7/I", "I", 0, false), 0.0);
}

TEST(ScoreRomanProgression, SingleTonicReadsMajorWithKnownConfidence) {
    EXPECT_EQ(scoreRomanProgression({}), RomanProgressionProfile{});
    RomanProgressionProfile p = scoreRomanProgression({"I"});
    EXPECT_FALSE(p.isMinor);
    EXPECT_FALSE(p.isMelodic);
    EXPECT_DOUBLE_EQ(p.score, 7.0);
    EXPECT_DOUBLE_EQ(p.confidence, 0.875);
}

TEST(ScoreRomanProgression, TwoFiveOneScoresItsMajorSum) {
    RomanProgressionProfile p = scoreRomanProgression({"ii", "V", "I"});
    EXPECT_FALSE(p.isMinor);
    EXPECT_NEAR(p.score, 21.2, 1e-9);
}

TEST(ScoreRomanProgression, MinorAndMelodicReadingsWin) {
    RomanProgressionProfile minor = scoreRomanProgression({"i", "iv", "V", "i"});
    EXPECT_TRUE(minor.isMinor);
    EXPECT_FALSE(minor.isMelodic);
    // 6.5 + 4.3 + 5.8 + 6.5 + cadences 2.0 + 2.6
    EXPECT_NEAR(minor.score, 27.7, 1e-9);

    RomanProgressionProfile melodic = scoreRomanProgression({"imM7", "ii7", "IV7", "V7", "imM7"});
    EXPECT_TRUE(melodic.isMinor);
    EXPECT_TRUE(melodic.isMelodic);
    EXPECT_GT(melodic.confidence, 0.0);
}

TEST(ScoreRomanProgression, ConfidenceStaysInUnitRange) {
    const std::vector<std::string> pool = {"I",  "i",    "ii",   "iiø7", "V7",  "V", "bVII", "vi", "IV",
                                           "iv", "imM7", "III+", "vii°", "V/V", "7", "bVI",  "#iv"};
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> tokens(rng() % 9);
        for (std::string& t : tokens) t = pool[rng() % pool.size()];
        RomanProgressionProfile p = scoreRomanProgression(tokens);
        EXPECT_GE(p.confidence, 0.0);
        EXPECT_LE(p.confidence, 1.0);
        if (p.isMelodic) {
            EXPECT_TRUE(p.isMinor);
        }
    }
}

TEST(RomanProfileTokenFuzz, MutatedTextsParseConsistently) {
    const std::vector<std::string> seeds = {"bVII7", "V7/ii", "\xE2\x99\xAD\xE2\x99\xAFiiø7/V", "imM7", ""};
    const std::string alphabet = "IViv#b/7m\xE2\x99\xAD\xAF\xC3\xB8+o";
    std::mt19937 rng(1234);
    for (int i = 0; i < 20000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        for (int edits = rng() % 4; edits >= 0; --edits) {
            std::size_t pos = text.empty() ? 0 : rng() % (text.size() + 1);
            switch (rng() % 3) {
                case 0:
                    text.insert(pos, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 1:
                    if (pos < text.size()) text.erase(pos, 1);
                    break;
                default:
                    if (pos < text.size()) text[pos] = static_cast<char>(rng() % 256);
                    break;
            }
        }
        RomanProfileToken t = parseRomanProfileToken(text);
        EXPECT_EQ(static_cast<std::size_t>(t.accidentalCount), t.accidentals.size());
        EXPECT_EQ(t.numeral.find_first_not_of("IViv"), std::string::npos);
        EXPECT_EQ(t.appliedNumeral.find_first_not_of("IViv"), std::string::npos);
        int cls = romanQualityWeightClass(t);
        EXPECT_GE(cls, 0);
        EXPECT_LE(cls, 7);
        EXPECT_LE(romanSuffixPart(text).size(), text.size());
    }
}

}  // namespace
}  // namespace quillex
