// Canonical option form, the suffix table, spelling and modifier id lists.
#include "theory/option_spelling.h"

#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_quality_table.h"

namespace quillex {
namespace {

using Codes = std::array<int, 6>;
using Ids = std::vector<std::string>;

Codes codesOf(const QualityOptions& o) {
    return {o.third, o.fifth, o.seventh, o.ninth, o.eleventh, o.thirteenth};
}

QualityOptions make(Codes c) {
    QualityOptions o;
    o.third = static_cast<std::uint8_t>(c[0]);
    o.fifth = static_cast<std::uint8_t>(c[1]);
    o.seventh = static_cast<std::uint8_t>(c[2]);
    o.ninth = static_cast<std::uint8_t>(c[3]);
    o.eleventh = static_cast<std::uint8_t>(c[4]);
    o.thirteenth = static_cast<std::uint8_t>(c[5]);
    return o;
}

QualityOptions rowOptions(const QualityOptionRow& r) {
    return make({r.third, r.fifth, r.seventh, r.ninth, r.eleventh, r.thirteenth});
}

// Every combination of in-range degree codes.
std::vector<QualityOptions> allSelections() {
    std::vector<QualityOptions> all;
    for (int t = 0; t < 4; ++t)
        for (int f = 0; f < 3; ++f)
            for (int s = 0; s < 4; ++s)
                for (int n = 0; n < 6; ++n)
                    for (int e = 0; e < 5; ++e)
                        for (int h = 0; h < 4; ++h) all.push_back(make({t, f, s, n, e, h}));
    return all;
}

TEST(OptionSpellingCanonical, SupportedRowsAreAlreadyCanonical) {
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        const QualityOptions options = rowOptions(row);
        EXPECT_EQ(canonicalQualityOptions(options), options) << name;
    }
}

// The one form that a second pass still changes: a seventh chord whose added
// ninth became natural next to an added thirteenth.
bool naturalNinthBesideAddedThirteenth(const QualityOptions& o) {
    return o.seventh != 0 && o.ninth == 4 && o.thirteenth == 1;
}

TEST(OptionSpellingCanonical, IsIdempotentAndKeepsTheOtherFields) {
    for (QualityOptions o : allSelections()) {
        o.bass = 4;
        o.alt = true;
        o.suffix = std::string("x");
        const QualityOptions once = canonicalQualityOptions(o);
        if (!naturalNinthBesideAddedThirteenth(once)) {
            EXPECT_EQ(canonicalQualityOptions(once), once) << qualityOptionsKey(o);
        }
        EXPECT_EQ(once.bass, o.bass);
        EXPECT_TRUE(once.alt);
        EXPECT_EQ(once.suffix, "x");
        EXPECT_EQ(once.third, o.third);
        EXPECT_EQ(once.fifth, o.fifth);
        EXPECT_EQ(once.seventh, o.seventh);
    }
}

TEST(OptionSpellingCanonical, UpperDegreesFollowTheSeventh) {
    // Seventh present: added tensions become natural ones.
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 1, 0, 0}))), (Codes{0, 0, 1, 4, 0, 0}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 0, 1, 0}))), (Codes{0, 0, 1, 4, 3, 0}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 2, 0, 1}))), (Codes{0, 0, 1, 2, 0, 3}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 1, 0, 1}))), (Codes{0, 0, 1, 4, 0, 1}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 0, 0, 3}))), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 2, 0, 2, 0}))), (Codes{0, 0, 2, 0, 2, 0}));
    // Sixth chord: a natural eleventh becomes an added one, the ninth stays.
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({1, 0, 0, 5, 3, 1}))), (Codes{1, 0, 0, 5, 1, 1}));
    // No seventh, no sixth: altered tensions and the thirteenth go.
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 0, 4, 3, 3}))), (Codes{0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 0, 5, 4, 2}))), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(qualityOptionsKey(make({0, 0, 1, 0, 0, 3})), "001403");
}

TEST(OptionSpellingCanonical, AddedNinthAndThirteenthOverASeventhStayApart) {
    // The ninth turns natural only after the thirteenth was judged, so the
    // thirteenth stays added and the key spells nothing.
    const QualityOptions once = canonicalQualityOptions(make({0, 0, 1, 1, 0, 1}));
    EXPECT_EQ(codesOf(once), (Codes{0, 0, 1, 4, 0, 1}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(once)), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(codesOf(canonicalQualityOptions(make({0, 0, 1, 0, 1, 1}))), (Codes{0, 0, 1, 4, 3, 1}));
}

TEST(OptionSpellingSuffixTable, InvertsTheOptionTable) {
    const auto& table = optionSuffixTable();
    EXPECT_EQ(table.size(), 363u);
    for (const auto& [key, name] : table) {
        EXPECT_TRUE(canonicalQualityTable().contains(name)) << key;
        EXPECT_EQ(key.size(), 6u);
    }
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        const std::string key = qualityOptionsKey(rowOptions(row));
        ASSERT_TRUE(table.contains(key)) << name;
        EXPECT_EQ(table.at(key), name == "madd9b5" ? "dimadd9" : name) << name;
    }
}

TEST(OptionSpellingSuffixTable, ScoresSettleTheSharedKey) {
    const QualityOptions dimAdd9 = make({1, 1, 0, 1, 0, 0});
    EXPECT_EQ(preferSuffixSpelling("dimadd9", dimAdd9), -3);
    EXPECT_EQ(preferSuffixSpelling("madd9b5", dimAdd9), 47);
    EXPECT_EQ(optionSuffixTable().at("110100"), "dimadd9");
    const QualityOptions halfDim = make({1, 1, 1, 0, 0, 0});
    EXPECT_EQ(preferSuffixSpelling("m7b5", halfDim), -6);
    EXPECT_EQ(preferSuffixSpelling("dim7", halfDim), 44);
    EXPECT_EQ(preferSuffixSpelling("o", make({1, 1, 0, 0, 0, 0})), -9);
    EXPECT_EQ(preferSuffixSpelling("maj", make({0, 0, 0, 0, 0, 0})), -2);
    EXPECT_EQ(preferSuffixSpelling("maj7", make({0, 0, 2, 0, 0, 0})), 4);
}

TEST(OptionSpellingRoundTrip, EverySupportedQualitySpellsItself) {
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        const auto options = lookupQualityOptions(name);
        ASSERT_TRUE(options.has_value()) << name;
        EXPECT_EQ(spellQualityOptions(*options), name);
        QualityOptions bare = *options;
        bare.suffix.reset();
        EXPECT_EQ(spellQualityOptions(bare), name == "madd9b5" ? "dimadd9" : name);
    }
}

TEST(OptionSpellingRoundTrip, SpellingWithoutASuffixGoesThroughTheKey) {
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 4, 0, 3})), "13");
    EXPECT_EQ(spellQualityOptions(make({1, 1, 0, 1, 0, 0})), "dimadd9");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 0, 0, 3})), "13");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 0, 0, 4, 0})), "maj");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 1, 0, 1})), std::nullopt);
    EXPECT_EQ(spellQualityOptions(make({2, 0, 2, 0, 0, 0})), std::nullopt);
}

TEST(OptionSpellingRoundTrip, SuffixIsUsedOnlyWhenItResolves) {
    QualityOptions viaAlias = make({0, 0, 0, 0, 0, 0});
    viaAlias.suffix = std::string("M7");  // an alias resolves, and is returned as written
    EXPECT_EQ(spellQualityOptions(viaAlias), "M7");
    QualityOptions unknown = make({0, 0, 1, 0, 0, 0});
    unknown.suffix = std::string("nonsense");
    EXPECT_EQ(spellQualityOptions(unknown), "7");
    QualityOptions empty = make({1, 0, 1, 0, 0, 0});
    empty.suffix = std::string();
    EXPECT_EQ(spellQualityOptions(empty), "m7");
}

TEST(OptionSpellingApply, FullListsClearWhatTheyDoNotName) {
    const QualityOptions seventh = *lookupQualityOptions("7");
    const QualityOptions minorSeventh =
        applyModifierIds(seventh, {"third-minor", "fifth-perfect", "seventh-flat7"});
    EXPECT_EQ(codesOf(minorSeventh), (Codes{1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(spellQualityOptions(minorSeventh), "m7");

    const QualityOptions major = *lookupQualityOptions("maj");
    const QualityOptions dropped =
        applyModifierIds(major, {"third-major", "fifth-perfect", "thirteenth-13"});
    EXPECT_EQ(codesOf(dropped), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(spellQualityOptions(dropped), "maj");

    const QualityOptions thirteen = *lookupQualityOptions("13");
    EXPECT_EQ(codesOf(applyModifierIds(thirteen, {"fifth-perfect"})), (Codes{0, 0, 0, 0, 0, 0}));
}

TEST(OptionSpellingApply, PartialListsChangeOnlyTheNamedDegrees) {
    const QualityOptions thirteen = *lookupQualityOptions("13");
    const QualityOptions flatNine = applyModifierIds(thirteen, {"ninth-flat9"});
    EXPECT_EQ(codesOf(flatNine), (Codes{0, 0, 1, 2, 0, 3}));
    EXPECT_EQ(spellQualityOptions(flatNine), "13b9");

    const QualityOptions seventh = *lookupQualityOptions("7");
    const QualityOptions natural = applyModifierIds(seventh, {"thirteenth-13"});
    EXPECT_EQ(codesOf(natural), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(spellQualityOptions(natural), "13");

    const QualityOptions major = *lookupQualityOptions("maj");
    const QualityOptions added = applyModifierIds(major, {"ninth-9"});
    EXPECT_EQ(codesOf(added), (Codes{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(spellQualityOptions(added), "add9");

    const QualityOptions majorSeventh = *lookupQualityOptions("maj7");
    const QualityOptions ninth = applyModifierIds(majorSeventh, {"ninth-add9"});
    EXPECT_EQ(codesOf(ninth), (Codes{0, 0, 2, 4, 0, 0}));
    EXPECT_EQ(spellQualityOptions(ninth), "maj9");

    // A later id of the same degree wins; unknown ids change nothing.
    EXPECT_EQ(codesOf(applyModifierIds(seventh, {"seventh-major7", "seventh-flat7", "bogus"})),
              (Codes{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(codesOf(applyModifierIds(thirteen, {})), (Codes{0, 0, 1, 4, 0, 3}));
    // "sixth-" names the thirteenth degree.
    EXPECT_EQ(codesOf(applyModifierIds(major, {"sixth-6"})), (Codes{0, 0, 0, 0, 0, 1}));
}

TEST(OptionSpellingApply, AnUnknownNinthIdDropsTheTensionsThatNeedANinth) {
    const QualityOptions eleven = *lookupQualityOptions("11");  // 0,0,1,4,3,0
    EXPECT_EQ(codesOf(applyModifierIds(eleven, {"ninth-bogus"})), (Codes{0, 0, 1, 0, 0, 0}));
    const QualityOptions thirteen = *lookupQualityOptions("13");
    EXPECT_EQ(codesOf(applyModifierIds(thirteen, {"ninth-bogus"})), (Codes{0, 0, 1, 0, 0, 0}));
}

TEST(OptionSpellingApply, KeepsTheBassAndDropsAltAndSuffix) {
    QualityOptions base = parseQualityOptions("7alt");
    base.bass = 4;
    const QualityOptions result = applyModifierIds(base, {"slash", "ninth-9"});
    EXPECT_EQ(result.bass, std::optional<PitchClass>(4));
    EXPECT_FALSE(result.alt);
    EXPECT_FALSE(result.suffix.has_value());
    EXPECT_EQ(codesOf(result), (Codes{0, 0, 1, 4, 0, 0}));
}

TEST(OptionSpellingIds, ListsIdsByDegree) {
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("69")),
              (Ids{"third-major", "fifth-perfect", "ninth-9", "sixth-6"}));
    QualityOptions thirteen = *lookupQualityOptions("13");
    thirteen.bass = 7;
    EXPECT_EQ(modifierIdsOf(thirteen), (Ids{"third-major", "fifth-perfect", "seventh-flat7",
                                            "ninth-9", "thirteenth-13", "slash"}));
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("7add13")),
              (Ids{"third-major", "fifth-perfect", "seventh-flat7", "thirteenth-add13"}));
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("dim7")),
              (Ids{"third-minor", "fifth-flat5", "seventh-dim7"}));
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("7sus2")),
              (Ids{"third-sus2", "fifth-perfect", "seventh-flat7"}));
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("m13b9#11")),
              (Ids{"third-minor", "fifth-perfect", "seventh-flat7", "ninth-flat9",
                   "eleventh-sharp11", "thirteenth-13"}));
}

TEST(OptionSpellingIds, FullListsRebuildEverySupportedRow) {
    const QualityOptions unrelated = *lookupQualityOptions("m13b9#11");
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        const QualityOptions options = rowOptions(row);
        const QualityOptions rebuilt = applyModifierIds(unrelated, modifierIdsOf(options));
        EXPECT_EQ(codesOf(rebuilt), codesOf(options)) << name;
    }
}

// Random id lists, including repeats, unknown ids and prefixes without a
// code: the result is always canonical and in range, and spells as a
// canonical name or not at all.
TEST(OptionSpellingApply, FuzzedIdListsGiveCanonicalSelections) {
    const std::vector<std::string> pool{
        "third-major",  "third-minor",     "third-sus2",        "third-sus4",
        "fifth-perfect", "fifth-flat5",    "fifth-sharp5",      "sixth-6",
        "seventh-flat7", "seventh-major7", "seventh-dim7",      "ninth-add9",
        "ninth-flat9",  "ninth-flat9sharp9", "ninth-9",         "ninth-sharp9",
        "eleventh-add11", "eleventh-flat11", "eleventh-11",     "eleventh-sharp11",
        "thirteenth-add13", "thirteenth-flat13", "thirteenth-13", "slash",
        "ninth-", "third", "", "Third-major", "seventh-x"};
    std::vector<QualityOptions> bases;
    for (const auto& [name, row] : qualityOptionTable()) bases.push_back(rowOptions(row));
    std::mt19937 rng(20261207);
    for (int i = 0; i < 5000; ++i) {
        const QualityOptions& base = bases[rng() % bases.size()];
        Ids ids;
        const int count = static_cast<int>(rng() % 7);
        for (int k = 0; k < count; ++k) ids.push_back(pool[rng() % pool.size()]);
        const QualityOptions result = applyModifierIds(base, ids);
        if (!naturalNinthBesideAddedThirteenth(result)) {
            ASSERT_EQ(canonicalQualityOptions(result), result);
        }
        ASSERT_LE(result.ninth, 5);
        ASSERT_LE(result.eleventh, 4);
        ASSERT_LE(result.thirteenth, 3);
        const auto spelled = spellQualityOptions(result);
        if (spelled) {
            ASSERT_TRUE(canonicalQualityTable().contains(*spelled)) << *spelled;
        }
    }
}

}  // namespace
}  // namespace quillex
