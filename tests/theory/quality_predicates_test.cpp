// Tests of the harmonic-function predicates and class codes.
#include "theory/quality_predicates.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quillex {
namespace {

TEST(QualityFunctionClass, ClassifiesTheListedQualities) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"", 0},     {"maj", 0},    {"maj7", 0},  {"6", 0},     {"add2", 0},  {"m", 1},
        {"m7", 1},   {"madd9", 1},  {"7", 2},     {"13", 2},    {"69", 2},    {"add9", 2},
        {"7sus4", 6}, {"sus4", 6},  {"dim7", 3},  {"m7b5", 4},  {"+", 5},     {"aug", 5},
        {"5", 7},    {"\xC3\xB8" "7", 4}, {"\xC2\xB0" "7", 3}, {"7alt", 2}, {"mM7", 1},
    };
    for (const auto& [quality, expected] : cases) {
        EXPECT_EQ(qualityFunctionClass(quality), expected) << '"' << quality << '"';
    }
}

TEST(QualityFunctionClass, HalfDiminishedWinsOverDiminishedAndMinor) {
    EXPECT_EQ(qualityFunctionClass("m7b5"), kFunctionHalfDiminished);
    EXPECT_EQ(qualityFunctionClass("dim7b5m7b5"), kFunctionHalfDiminished);
    EXPECT_EQ(qualityFunctionClass("o7"), kFunctionDiminished);
}

TEST(QualityPredicates, DominantTestRefusesMajorMinorAndAugmentedTexts) {
    EXPECT_FALSE(isDominantQuality("maj9"));
    EXPECT_FALSE(isDominantQuality("mM7"));
    EXPECT_FALSE(isDominantQuality("7+"));
    EXPECT_FALSE(isDominantQuality(""));
    EXPECT_FALSE(isDominantQuality("dim7"));
    EXPECT_TRUE(isDominantQuality("7#5"));
    EXPECT_TRUE(isDominantQuality("9sus4"));
    EXPECT_TRUE(isDominantQuality("alt"));
    EXPECT_TRUE(isDominantQuality("sus2"));
}

TEST(QualityPredicates, MinorLikeFollowsTheLeadingLetterThenTheMarks) {
    EXPECT_TRUE(isMinorLikeQuality("-7"));
    EXPECT_TRUE(isMinorLikeQuality("m7b5"));
    EXPECT_TRUE(isMinorLikeQuality("dim"));
    EXPECT_TRUE(isMinorLikeQuality("\xC3\xB8"));
    EXPECT_FALSE(isMinorLikeQuality("maj7"));
    EXPECT_FALSE(isMinorLikeQuality("M7"));
    EXPECT_FALSE(isMinorLikeQuality("7"));
    EXPECT_FALSE(isMinorLikeQuality(""));
}

TEST(QualityPredicates, DiminishedExcludesHalfDiminished) {
    EXPECT_TRUE(isDiminishedQuality("dim"));
    EXPECT_TRUE(isDiminishedQuality("\xC2\xB0"));
    EXPECT_TRUE(isDiminishedQuality("o7"));
    EXPECT_FALSE(isDiminishedQuality("m7b5"));
    EXPECT_FALSE(isDiminishedQuality("\xC3\xB8" "7"));
    EXPECT_FALSE(isDiminishedQuality("m"));
}

TEST(QualityPredicates, MajorSeventhFindsAnyMajorSeventhSpelling) {
    for (const char* q : {"maj7", "maj9", "maj11", "maj13", "M7", "M9", "M11", "M13", "mM7", "maj7#5"}) {
        EXPECT_TRUE(isMajorSeventhQuality(q)) << q;
    }
    for (const char* q : {"", "maj", "7", "m7", "6", "M"}) {
        EXPECT_FALSE(isMajorSeventhQuality(q)) << q;
    }
}

}  // namespace
}  // namespace quillex
