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
        {"", 0},
        {"maj", 0},
        {"maj7", 0},
        {"6", 0},
        {"add2", 0},
        {"m", 1},
        {"m7", 1},
        {"madd9", 1},
        {"7", 2},
        {"13", 2},
        {"69", 2},
        {"add9", 2},
        {"7sus4", 6},
        {"sus4", 6},
        {"dim7", 3},
        {"m7b5", 4},
        {"+", 5},
        {"aug", 5},
        {"5", 7},
        {"\xC3\xB8"
         "7",
         4},
        {"\xC2\xB0"
         "7",
         3},
        {"o7", 3},
    };
    for (const auto& [quality, expected] : cases) {
        EXPECT_EQ(qualityFunctionClass(quality), expected) << '"' << quality << '"';
    }
}

TEST(QualityPredicates, DominantTestRefusesMajorMinorAndAugmentedTexts) {
    for (const char* q : {"maj9", "mM7", "7+", "", "dim7"}) EXPECT_FALSE(isDominantQuality(q)) << q;
    for (const char* q : {"7#5", "9sus4", "alt", "sus2"}) EXPECT_TRUE(isDominantQuality(q)) << q;
}

TEST(QualityPredicates, MinorLikeAndDiminishedFollowTheirFirstDecidingTest) {
    for (const char* q : {"-7", "m7b5", "dim", "\xC3\xB8"}) EXPECT_TRUE(isMinorLikeQuality(q)) << q;
    for (const char* q : {"maj7", "M7", "7", ""}) EXPECT_FALSE(isMinorLikeQuality(q)) << q;
    EXPECT_FALSE(isDiminishedQuality("m7b5"));
    EXPECT_FALSE(
        isDiminishedQuality("\xC3\xB8"
                            "7"));
    EXPECT_TRUE(isMajorSeventhQuality("mM7"));
    EXPECT_FALSE(isMajorSeventhQuality("maj"));
}

TEST(QualityPredicates, MelodicMinorTonicIsTheMinorMajorSeventhOrNinthOnly) {
    for (const char* q : {"mM7", "mMaj7", "mM9", "mMaj9"}) EXPECT_TRUE(isMelodicMinorTonicQuality(q)) << q;
    for (const char* q : {"mM11", "m7", "maj7", "mM7b5", "", "mmaj7"}) {
        EXPECT_FALSE(isMelodicMinorTonicQuality(q)) << q;
    }
}

}  // namespace
}  // namespace quillex
