// Tests of quality families and chord-tone degree slots.
#include "theory/quality_family.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "theory/chord_quality_table.h"

namespace quillex {
namespace {

ChordQuality canonical(const std::string& name) { return ChordQuality{name, canonicalQualityTable().at(name)}; }

TEST(QualityFamilyClassify, CanonicalQualities) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"maj", "major"},
        {"m", "minor"},
        {"7", "dominant"},
        {"maj7", "major"},
        {"mM7", "minor"},
        {"m7b5", "half-diminished"},
        {"dim7", "diminished"},
        {"dimadd9", "diminished"},
        {"aug", "augmented"},
        {"7#5", "augmented"},
        {"m#5", "minor"},
        {"sus4", "suspended"},
        {"7sus4", "dominant"},
        {"5", "major"},
        {"6", "major"},
        {"69", "major"},
        {"m6", "minor"},
        {"add9", "major"},
        {"9", "dominant"},
        {"13", "dominant"},
        {"7no5", "dominant"},
        {"11add13", "dominant"},
        {"11add13#5", "augmented"},
        {"maj11add13", "major"},
        {"7add13", "major"},
        {"sus2", "suspended"},
        {"7b9sus4", "dominant"},
        {"m7b5b9", "half-diminished"},
        {"dim#5", "diminished"},
        {"maj7#5", "augmented"},
        {"add9#5", "augmented"},
        {"7alt", "dominant"},
        // Only "6" and "69" are spared the figure test, so these sixths count as dominant.
        {"6#11", "dominant"},
        {"6b9", "dominant"},
        {"69#11", "dominant"},
    };
    for (const auto& [name, family] : cases) {
        EXPECT_EQ(classifyQualityFamily(canonical(name)), family) << name;
        EXPECT_EQ(familyOfQuality(canonical(name)), family) << name;
    }
}

TEST(QualityFamilyClassify, NamesOutsideTheTableAndIntervalsOfSus) {
    EXPECT_EQ(classifyQualityFamily({"\u00F87", {0, 3, 6, 10}}), "half-diminished");
    EXPECT_EQ(classifyQualityFamily({"o7", {0, 3, 6, 9}}), "diminished");
    EXPECT_EQ(classifyQualityFamily({"o", {0, 3, 6}}), "diminished");
    EXPECT_EQ(classifyQualityFamily({"+7", {0, 4, 8, 10}}), "augmented");
    EXPECT_EQ(classifyQualityFamily({"M7", {0, 4, 7, 11}}), "major");
    // Only the sus test looks at the intervals.
    EXPECT_EQ(classifyQualityFamily({"sus4", {0, 5, 7, 10}}), "dominant");
    EXPECT_EQ(classifyQualityFamily({"7sus4", {0, 5, 7}}), "suspended");
    EXPECT_EQ(classifyQualityFamily({"m7", {}}), "minor");
}

TEST(QualityFamilyClassify, EveryCanonicalQualityHasOneOfSevenFamilies) {
    const std::set<std::string> families = {"major",      "minor",           "dominant", "suspended",
                                            "diminished", "half-diminished", "augmented"};
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        const ChordQuality quality{name, intervals};
        const QualityFamily family = classifyQualityFamily(quality);
        EXPECT_TRUE(families.contains(family)) << name;
        const QualityFamily coarse = coarseQualityFamily(quality);
        EXPECT_EQ(coarse, family == "half-diminished" ? "diminished" : family) << name;
        for (PitchClass root : {0, 7}) {
            EXPECT_EQ(familyOfChord(Chord{root, name, intervals, std::nullopt, ""}), family) << name;
        }
    }
    EXPECT_EQ(coarseQualityFamily(canonical("m7b5")), "diminished");
    EXPECT_EQ(coarseQualityFamily(canonical("dim")), "diminished");
    EXPECT_EQ(coarseQualityFamily(canonical("7")), "dominant");
}

TEST(QualityFamilyDegrees, ListedQualities) {
    const ChordToneSet major = chordToneDegrees(canonical("maj"));
    EXPECT_EQ(major.tones, (std::vector<ChordToneSlot>{{0, 0, 0, true}, {4, 3, 1, true}, {7, 6, 3, false}}));
    EXPECT_EQ(major.requiredCount, 2u);
    EXPECT_EQ(major.totalCount, 3u);

    const ChordToneSet halfDim = chordToneDegrees(canonical("m7b5"));
    EXPECT_EQ(halfDim.tones,
              (std::vector<ChordToneSlot>{{0, 0, 0, true}, {3, 2, 1, true}, {6, 5, 3, true}, {10, 9, 2, true}}));
    EXPECT_EQ(halfDim.requiredCount, 4u);
    EXPECT_EQ(halfDim.totalCount, 4u);

    const ChordToneSet flatEleven = chordToneDegrees(canonical("m7b11"));
    EXPECT_EQ(flatEleven.tones.back(), (ChordToneSlot{16, 3, 1, true}));
    EXPECT_EQ(flatEleven.requiredCount, 4u);
    EXPECT_EQ(flatEleven.totalCount, 5u);
}

TEST(QualityFamilyDegrees, MissingRootUnsortedAndRepeatedIntervals) {
    const ChordToneSet noRoot = chordToneDegrees({"7", {4, 7, 10}});
    EXPECT_EQ(noRoot.tones.front(), (ChordToneSlot{0, 0, 0, true}));
    EXPECT_EQ(noRoot.tones.size(), 4u);
    EXPECT_EQ(noRoot.requiredCount, 3u);
    EXPECT_EQ(noRoot.totalCount, 4u);

    EXPECT_EQ(chordToneDegrees({"maj", {7, 0, 4, 4}}), chordToneDegrees({"maj", {0, 4, 7}}));

    // An inserted root leads even a negative interval.
    const ChordToneSet below = chordToneDegrees({"x", {4, -5}});
    EXPECT_EQ(below.tones, (std::vector<ChordToneSlot>{{0, 0, 0, true}, {-5, 6, 3, true}, {4, 3, 1, true}}));

    const ChordToneSet empty = chordToneDegrees({"maj", {}});
    EXPECT_EQ(empty.tones, (std::vector<ChordToneSlot>{{0, 0, 0, true}}));
    EXPECT_EQ(empty.requiredCount, 1u);
    EXPECT_EQ(empty.totalCount, 1u);
}

// Intervals without a slot of their own fall back on their pitch class.
TEST(QualityFamilyDegrees, FallbackByPitchClass) {
    const std::vector<ChordToneSlot> expected = {
        {-3, 17, 4, true}, {-1, 10, 2, true}, {0, 0, 0, true},   {1, 6, 3, true},   {12, 0, 0, true}, {16, 3, 1, true},
        {19, 6, 3, true},  {22, 9, 2, true},  {23, 10, 2, true}, {26, 12, 4, true}, {29, 14, 4, true}};
    const ChordToneSet set = chordToneDegrees({"x", {29, 26, 23, 22, 19, 16, 12, 1, 0, -1, -3}});
    EXPECT_EQ(set.tones, expected);
    EXPECT_EQ(set.requiredCount, 11u);
    EXPECT_EQ(set.totalCount, 11u);
}

TEST(QualityFamilyDegrees, EveryCanonicalQualityCountsItsTones) {
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        const ChordToneSet set = chordToneDegrees({name, intervals});
        ASSERT_EQ(set.tones.size(), intervals.size()) << name;
        const bool hasFifth = std::find(intervals.begin(), intervals.end(), 7) != intervals.end();
        EXPECT_EQ(set.requiredCount, intervals.size() - (hasFifth ? 1 : 0)) << name;
        EXPECT_EQ(set.totalCount, intervals.size()) << name;
        for (std::size_t i = 0; i < intervals.size(); ++i) {
            EXPECT_EQ(set.tones[i].interval, intervals[i]) << name;
            EXPECT_LE(set.tones[i].degree, 17) << name;
        }
    }
}

}  // namespace
}  // namespace quillex
