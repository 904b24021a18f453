// Tests of merging an extension text into a base quality.
#include "theory/quality_extension.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "theory/chord_quality_table.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

struct Merge {
    std::string extension;
    std::string base;
    std::string expected;
};

void expectMerges(const std::vector<Merge>& cases) {
    for (const Merge& m : cases) {
        EXPECT_EQ(mergeQualityExtension(m.extension, m.base), m.expected)
            << '"' << m.extension << "\" over \"" << m.base << '"';
    }
}

TEST(QualityExtensionMerge, HigherDegreesRaiseTheSeventh) {
    expectMerges({{"9", "m7", "m9"},
                  {"11", "m7", "m11"},
                  {"13", "m7", "m13"},
                  {"9", "m11", "m11"},
                  {"11", "m9", "m11"},
                  {"13", "7", "13"},
                  {"9", "maj7", "maj9"},
                  {"13", "mM7", "mM13"},
                  {"b11", "m7", "m11"},
                  {"1113", "7", "11add13"},
                  {"11 13", "maj7", "maj11add13"},
                  {"13add11", "m7", "m11add13"},
                  {"#1113", "m7", "m13#11"}});
}

TEST(QualityExtensionMerge, DominantAlterations) {
    expectMerges({{"b9", "7", "7b9"},
                  {"9#11", "7", "9#11"},
                  {"13b9#11", "7", "13b9#11"},
                  {"b9#9", "7", "7"},
                  {"#5b5", "7", "7"},
                  {"b13", "13", "13"},
                  {"#5", "7", "7#5"},
                  {"+", "7", "7#5"},
                  {"7+", "7", "7"},
                  {"aug", "9", "9#5"},
                  {"b5", "7", "7b5"},
                  {"m7b5", "7", "7"},
                  {"#9b13", "7", "7#9b13"},
                  {"b9b13", "9", "9"}});
}

TEST(QualityExtensionMerge, Altered) {
    expectMerges({{"alt", "7", "7alt"}, {"9alt", "7", "7alt"}, {"alt", "11add13", "11add13"}, {"alt", "maj7", "maj7"}});
}

TEST(QualityExtensionMerge, SharpEleventhOnMajorAndMinor) {
    expectMerges({{"#11", "maj7", "maj7#11"},
                  {"#11", "m7", "m7#11"},
                  {"#11", "mM7", "mM7"},
                  {"11#11", "m7", "m11#11"},
                  {"#11", "m", "m"},
                  {"#11", "maj", "maj"},
                  {"b9", "maj7", "maj7"}});
    EXPECT_EQ(canonicalQualityName("m11#11"), "m9#11");
}

TEST(QualityExtensionMerge, SixthsAndAddedTones) {
    expectMerges({{"6", "m", "m6"},
                  {"6/9", "maj", "69"},
                  {"69", "m", "m69"},
                  {"6", "m7", "m7"},
                  {"b6", "m", "m"},
                  {"6", "maj", "6"},
                  {"add9", "m", "madd9"},
                  {"add2", "m", "madd9"},
                  {"add9", "maj", "add9"},
                  {"add9", "sus4", "add9"},
                  {"add11", "maj", "add11"},
                  {"add4", "maj", "add11"},
                  {"add11", "m", "m"},
                  {"add4", "m", "m"},
                  {"add9", "m7", "m7"}});
}

TEST(QualityExtensionMerge, SuspendedDiminishedAndEmpty) {
    expectMerges({{"7sus4", "m7", "7sus4"},
                  {"sus", "dim7", "sus"},
                  {"9", "dim7", "dim7"},
                  {"9", "m7b5", "m7b5"},
                  {"13", "\u00F87", "\u00F87"},
                  {"", "m7", "m7"},
                  {"", "maj", "maj"},
                  {"xyz", "7", "7"}});
}

TEST(QualityExtensionSpell, FamilyRowsAndColumns) {
    const ExtensionBaseFamily dominant{true, false, false, false};
    const ExtensionBaseFamily major{false, true, false, false};
    const ExtensionBaseFamily minorMajor{false, false, true, false};
    const ExtensionBaseFamily minor{false, false, false, true};
    EXPECT_EQ(spellExtendedQuality(dominant, 13, false), "13");
    EXPECT_EQ(spellExtendedQuality(dominant, 11, true), "11add13");
    EXPECT_EQ(spellExtendedQuality(major, 9, false), "maj9");
    EXPECT_EQ(spellExtendedQuality(major, 5, false), "maj7");
    EXPECT_EQ(spellExtendedQuality(minorMajor, 11, false), "mM11");
    EXPECT_EQ(spellExtendedQuality(minorMajor, 0, true), "mM11add13");
    EXPECT_EQ(spellExtendedQuality(minor, 13, false), "m13");
    EXPECT_EQ(spellExtendedQuality(minor, -1, false), "m7");
    EXPECT_EQ(spellExtendedQuality({}, 13, true), "");
    // The first family in row order wins.
    EXPECT_EQ(spellExtendedQuality({false, true, false, true}, 9, false), "maj9");
    EXPECT_EQ(spellExtendedQuality({true, true, true, true}, 11, false), "11");
}

// Over every canonical base, an extension without "sus" always gives a
// spelling the vocabulary knows.
TEST(QualityExtensionMerge, ResultsOnCanonicalBasesAreKnownQualities) {
    const std::vector<std::string> extensions = {"",     "6",    "69",    "6/9",   "7",     "9",    "11",   "13",
                                                 "b9",   "#9",   "#11",   "b13",   "#5",    "b5",   "+",    "alt",
                                                 "add9", "add2", "add11", "add4",  "b9#11", "13b9", "9#11", "1113",
                                                 "b6",   "m7b5", "11#11", "#9b13", "aug",   "9alt"};
    for (const auto& [base, intervals] : canonicalQualityTable()) {
        for (const std::string& extension : extensions) {
            const std::string merged = mergeQualityExtension(extension, base);
            EXPECT_TRUE(lookupChordQuality(merged).has_value())
                << '"' << extension << "\" over \"" << base << "\" gave \"" << merged << '"';
        }
    }
}

TEST(QualityExtensionFuzz, RandomTextsNeverFail) {
    const std::string bytes = "0123456789#b+majMdsu/o\u00F8lt6 ";
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string extension(rng() % 10, ' ');
        std::string base(rng() % 8, ' ');
        for (char& c : extension) c = bytes[rng() % bytes.size()];
        for (char& c : base) c = bytes[rng() % bytes.size()];
        const std::string merged = mergeQualityExtension(extension, base);
        if (extension.find("sus") == std::string::npos && lookupChordQuality(base)) {
            EXPECT_TRUE(lookupChordQuality(merged).has_value()) << extension << " over " << base;
        }
    }
}

TEST(FirstOccurrenceFreeOf, ReadsOnlyTheFirstOccurrence) {
    EXPECT_TRUE(firstOccurrenceFreeOf("9", "9", "b#d"));
    EXPECT_TRUE(firstOccurrenceFreeOf("m9", "9", "b#d"));
    EXPECT_FALSE(firstOccurrenceFreeOf("add9", "9", "b#d"));
    EXPECT_FALSE(firstOccurrenceFreeOf("7b9", "9", "b#d"));
    EXPECT_FALSE(firstOccurrenceFreeOf("7b9 9", "9", "b#d"));
    EXPECT_FALSE(firstOccurrenceFreeOf("maj7", "9", "b#d"));
    EXPECT_TRUE(firstOccurrenceFreeOf("7b11", "11", "#"));
}

}  // namespace
}  // namespace quillex
