// Canonical option form, the suffix table, spelling and modifier id lists.
#include "theory/option_spelling.h"

#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_modifier.h"
#include "theory/chord_quality_table.h"

namespace quillex {
namespace {

using Codes = std::array<int, 6>;
using Ids = std::vector<std::string>;

Codes codesOf(const QualityOptions& o) { return {o.third, o.fifth, o.seventh, o.ninth, o.eleventh, o.thirteenth}; }

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

// The one form that a second pass still changes: a seventh chord whose added
// ninth became natural next to an added thirteenth.
bool naturalNinthBesideAddedThirteenth(const QualityOptions& o) {
    return o.seventh != 0 && o.ninth == 4 && o.thirteenth == 1;
}

TEST(OptionSpellingCanonical, SettlesEverySelectionAndKeepsTheOtherFields) {
    for (QualityOptions o : allSelections()) {
        o.bass = 4;
        o.alt = true;
        o.suffix = std::string("x");
        const QualityOptions once = canonicalQualityOptions(o);
        if (!naturalNinthBesideAddedThirteenth(once)) {
            EXPECT_EQ(canonicalQualityOptions(once), once) << qualityOptionsKey(o);
        }
        EXPECT_TRUE(once.bass == o.bass && once.alt && once.suffix == o.suffix);
        EXPECT_TRUE(once.third == o.third && once.fifth == o.fifth && once.seventh == o.seventh);
    }
}

TEST(OptionSpellingCanonical, UpperDegreesFollowTheSeventh) {
    const auto canon = [](Codes c) { return codesOf(canonicalQualityOptions(make(c))); };
    EXPECT_EQ(canon({0, 0, 1, 0, 1, 0}), (Codes{0, 0, 1, 4, 3, 0}));
    EXPECT_EQ(canon({0, 0, 1, 2, 0, 1}), (Codes{0, 0, 1, 2, 0, 3}));
    EXPECT_EQ(canon({0, 0, 1, 0, 0, 3}), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(canon({1, 0, 0, 5, 3, 1}), (Codes{1, 0, 0, 5, 1, 1}));  // sixth chord
    EXPECT_EQ(canon({0, 0, 0, 4, 3, 3}), (Codes{0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(canon({0, 0, 0, 5, 4, 2}), (Codes{0, 0, 0, 0, 0, 0}));
    // The ninth turns natural after the thirteenth was judged: the thirteenth
    // stays added, and the key spells nothing.
    EXPECT_EQ(canon({0, 0, 1, 1, 0, 1}), (Codes{0, 0, 1, 4, 0, 1}));
    EXPECT_EQ(qualityOptionsKey(make({0, 0, 1, 0, 0, 3})), "001403");
}

TEST(OptionSpellingSuffixTable, InvertsTheOptionTable) {
    const auto& table = optionSuffixTable();
    EXPECT_EQ(table.size(), 363u);
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        const QualityOptions options = rowOptions(row);
        EXPECT_EQ(canonicalQualityOptions(options), options) << name;
        const std::string key = qualityOptionsKey(options);
        ASSERT_TRUE(table.contains(key)) << name;
        EXPECT_EQ(table.at(key), name == "madd9b5" ? "dimadd9" : name) << name;
    }
    const QualityOptions dimAdd9 = make({1, 1, 0, 1, 0, 0});
    EXPECT_EQ(preferSuffixSpelling("dimadd9", dimAdd9), -3);
    EXPECT_EQ(preferSuffixSpelling("madd9b5", dimAdd9), 47);
    const QualityOptions halfDim = make({1, 1, 1, 0, 0, 0});
    EXPECT_EQ(preferSuffixSpelling("m7b5", halfDim), -6);
    EXPECT_EQ(preferSuffixSpelling("dim7", halfDim), 44);
    EXPECT_EQ(preferSuffixSpelling("maj", make({0, 0, 0, 0, 0, 0})), -2);
}

TEST(OptionSpellingRoundTrip, EverySupportedQualitySpellsItself) {
    for (const auto& [name, row] : qualityOptionTable()) {
        if (row.supported == 0) continue;
        QualityOptions options = *lookupQualityOptions(name);
        EXPECT_EQ(spellQualityOptions(options), name);
        options.suffix.reset();
        EXPECT_EQ(spellQualityOptions(options), name == "madd9b5" ? "dimadd9" : name);
    }
}

TEST(OptionSpellingRoundTrip, WithoutAUsableSuffixTheKeyDecides) {
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 4, 0, 3})), "13");
    EXPECT_EQ(spellQualityOptions(make({1, 1, 0, 1, 0, 0})), "dimadd9");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 0, 0, 3})), "13");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 0, 0, 4, 0})), "maj");
    EXPECT_EQ(spellQualityOptions(make({0, 0, 1, 1, 0, 1})), std::nullopt);
    EXPECT_EQ(spellQualityOptions(make({2, 0, 2, 0, 0, 0})), std::nullopt);
    QualityOptions alias = make({0, 0, 0, 0, 0, 0});
    alias.suffix = std::string("M7");  // resolves, so it is returned as written
    EXPECT_EQ(spellQualityOptions(alias), "M7");
    QualityOptions unknown = make({0, 0, 1, 0, 0, 0});
    unknown.suffix = std::string("nonsense");
    EXPECT_EQ(spellQualityOptions(unknown), "7");
}

TEST(OptionSpellingApply, FullListsClearAndPartialListsChangeOnlyWhatTheyName) {
    struct Case {
        const char* base;
        Ids ids;
        Codes codes;
        std::optional<std::string> spelled;
    };
    const Case cases[] = {
        {"7", {"third-minor", "fifth-perfect", "seventh-flat7"}, {1, 0, 1, 0, 0, 0}, "m7"},
        {"maj", {"third-major", "fifth-perfect", "thirteenth-13"}, {0, 0, 0, 0, 0, 0}, "maj"},
        {"13", {"fifth-perfect"}, {0, 0, 0, 0, 0, 0}, "maj"},
        {"13", {"ninth-flat9"}, {0, 0, 1, 2, 0, 3}, "13b9"},
        {"7", {"thirteenth-13"}, {0, 0, 1, 4, 0, 3}, "13"},
        {"maj", {"ninth-9"}, {0, 0, 0, 1, 0, 0}, "add9"},
        {"maj7", {"ninth-add9"}, {0, 0, 2, 4, 0, 0}, "maj9"},
        {"maj", {"sixth-6"}, {0, 0, 0, 0, 0, 1}, "6"},
        {"13", {}, {0, 0, 1, 4, 0, 3}, "13"},
        // A later id of a degree wins; ids outside the table change nothing.
        {"7", {"seventh-major7", "seventh-flat7", "bogus", "slash"}, {0, 0, 1, 0, 0, 0}, "7"},
        // A ninth id that sets nothing drops the tensions that need a ninth.
        {"11", {"ninth-bogus"}, {0, 0, 1, 0, 0, 0}, "7"},
        {"13", {"ninth-bogus"}, {0, 0, 1, 0, 0, 0}, "7"},
        // Canonical once here, and once more when spelled: the thirteenth turns natural.
        {"7",
         {"third-major", "fifth-perfect", "seventh-flat7", "ninth-add9", "thirteenth-add13"},
         {0, 0, 1, 4, 0, 1},
         "13"},
    };
    for (const Case& c : cases) {
        const QualityOptions result = applyModifierIds(*lookupQualityOptions(c.base), c.ids);
        EXPECT_EQ(codesOf(result), c.codes) << c.base << " " << c.ids.size();
        EXPECT_EQ(spellQualityOptions(result), c.spelled) << c.base << " " << c.ids.size();
    }

    QualityOptions altered = parseQualityOptions("7alt");
    altered.bass = 4;
    const QualityOptions result = applyModifierIds(altered, {"slash", "ninth-9"});
    EXPECT_EQ(result.bass, std::optional<PitchClass>(4));
    EXPECT_FALSE(result.alt || result.suffix.has_value());
    EXPECT_EQ(codesOf(result), (Codes{0, 0, 1, 4, 0, 0}));
}

TEST(OptionSpellingIds, ListsIdsByDegree) {
    EXPECT_EQ(modifierIdsOf(*lookupQualityOptions("69")), (Ids{"third-major", "fifth-perfect", "ninth-9", "sixth-6"}));
    QualityOptions thirteen = *lookupQualityOptions("13");
    thirteen.bass = 7;
    EXPECT_EQ(modifierIdsOf(thirteen),
              (Ids{"third-major", "fifth-perfect", "seventh-flat7", "ninth-9", "thirteenth-13", "slash"}));
    EXPECT_EQ(
        modifierIdsOf(*lookupQualityOptions("m13b9#11")),
        (Ids{"third-minor", "fifth-perfect", "seventh-flat7", "ninth-flat9", "eleventh-sharp11", "thirteenth-13"}));
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
    std::vector<std::string> pool{"ninth-", "third", "", "Third-major", "seventh-x"};
    for (const ModifierDefinition& row : modifierDefinitions()) pool.emplace_back(row.id);
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
