// The chord modifier table, toggling, listing and application to chords.
#include "theory/chord_modifier.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_quality_table.h"
#include "theory/option_spelling.h"
#include "theory/quality_options.h"

namespace quillex {
namespace {

using Ids = std::vector<std::string>;

Chord chord(std::string_view symbol) {
    std::optional<Chord> parsed = parseChordSymbol(symbol);
    EXPECT_TRUE(parsed.has_value()) << symbol;
    return parsed.value_or(Chord{});
}

bool holds(const Ids& ids, std::string_view id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// A chord on C with the given canonical quality.
Chord chordWithQuality(const std::string& quality) {
    return makeChord(0, ChordQuality{quality, qualityIntervals(quality)}, std::nullopt, "");
}

const Ids kAllIds{
    "third-major",  "third-minor",       "third-sus2",       "third-sus4",        "fifth-perfect",  "fifth-flat5",
    "fifth-sharp5", "sixth-6",           "seventh-flat7",    "seventh-major7",    "seventh-dim7",   "ninth-add9",
    "ninth-flat9",  "ninth-flat9sharp9", "ninth-9",          "ninth-sharp9",      "eleventh-add11", "eleventh-flat11",
    "eleventh-11",  "eleventh-sharp11",  "thirteenth-add13", "thirteenth-flat13", "thirteenth-13",  "slash"};

TEST(ChordModifierTable, RowsInOrderWithMusicSignLabels) {
    const auto& table = modifierDefinitions();
    ASSERT_EQ(table.size(), 24u);
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].id, kAllIds[i]);
        EXPECT_EQ(modifierIndex(kAllIds[i]), static_cast<std::int32_t>(i));
    }
    EXPECT_EQ(table[1].label,
              "\xE2\x99\xAD"
              "3");
    EXPECT_EQ(table[6].label,
              "\xE2\x99\xAF"
              "5");
    EXPECT_EQ(table[13].label,
              "\xE2\x99\xAD"
              "9"
              "\xE2\x99\xAF"
              "9");
    EXPECT_EQ(table[19].label,
              "\xE2\x99\xAF"
              "11");
    EXPECT_EQ(table[21].label,
              "\xE2\x99\xAD"
              "13");
    EXPECT_EQ(table[9].label, "M7");
    EXPECT_EQ(table[23], (ModifierDefinition{"slash", "/", "slash"}));
    EXPECT_EQ(table[7], (ModifierDefinition{"sixth-6", "6", "sixth"}));
    for (const ModifierDefinition& row : table) {
        if (row.id != "slash") {
            EXPECT_EQ(row.category, modifierCategory(row.id));
        }
    }
}

TEST(ChordModifierTable, IndexAndCategoryMatchExactly) {
    EXPECT_EQ(modifierIndex("third-major"), 0);
    EXPECT_EQ(modifierIndex("slash"), 23);
    EXPECT_EQ(modifierIndex("third"), kUnknownModifierIndex);
    EXPECT_EQ(modifierIndex("Third-major"), kUnknownModifierIndex);
    EXPECT_EQ(modifierIndex(""), 2147483647);
    EXPECT_EQ(modifierCategory("slash"), "");
    EXPECT_EQ(modifierCategory("third"), "");
    EXPECT_EQ(modifierCategory("ninth-anything"), "ninth");
    EXPECT_EQ(modifierCategory("sixth-6"), "sixth");
}

TEST(ChordModifierSort, StableWithUnknownIdsLast) {
    Ids ids{"zz", "slash", "ninth-9", "aa", "third-minor", "ninth-9", "sixth-6", "seventh-flat7"};
    sortModifierIds(ids);
    EXPECT_EQ(ids, (Ids{"third-minor", "sixth-6", "seventh-flat7", "ninth-9", "ninth-9", "slash", "zz", "aa"}));
}

TEST(ChordModifierToggle, ReplacesSwitchesOffOrStandsAlone) {
    const Ids dominant{"third-major", "fifth-perfect", "seventh-flat7"};
    EXPECT_EQ(toggleModifier(dominant, "seventh-flat7"), (Ids{"third-major", "fifth-perfect"}));
    EXPECT_EQ(toggleModifier(dominant, "third-major"), dominant);
    EXPECT_EQ(toggleModifier(dominant, "third-minor"), (Ids{"third-minor", "fifth-perfect", "seventh-flat7"}));
    EXPECT_EQ(toggleModifier(dominant, "slash"), (Ids{"slash"}));
    EXPECT_EQ(toggleModifier(dominant, "bogus"), (Ids{"bogus"}));
    EXPECT_EQ(toggleModifier({"third-major", "fifth-perfect", "slash"}, "ninth-9"),
              (Ids{"third-major", "fifth-perfect", "ninth-9", "slash"}));
    EXPECT_EQ(toggleModifier(dominant, "seventh-major7"), (Ids{"third-major", "fifth-perfect", "seventh-major7"}));
    EXPECT_EQ(toggleModifier({"sixth-6", "third-major"}, "sixth-6"), (Ids{"third-major"}));
    EXPECT_EQ(toggleModifier({}, "fifth-flat5"), (Ids{"fifth-flat5"}));
    // An unknown id of a known degree still clears that degree.
    EXPECT_EQ(toggleModifier(dominant, "seventh-x"), (Ids{"third-major", "fifth-perfect", "seventh-x"}));
}

TEST(ChordModifierDescribe, Triad) {
    const ChordModifierState state = describeChordModifiers(chord("C"), {});
    EXPECT_EQ(state.definitions.size(), 24u);
    EXPECT_EQ(state.selected, (Ids{"third-major", "fifth-perfect"}));
    const Ids expected{"fifth-flat5",      "seventh-dim7",     "ninth-flat9",       "ninth-flat9sharp9",
                       "ninth-9",          "ninth-sharp9",     "eleventh-flat11",   "eleventh-11",
                       "eleventh-sharp11", "thirteenth-add13", "thirteenth-flat13", "thirteenth-13"};
    EXPECT_EQ(state.disabled, expected);

    const ChordModifierState slash = describeChordModifiers(chord("C/E"), {});
    EXPECT_EQ(slash.selected, (Ids{"third-major", "fifth-perfect", "slash"}));
    EXPECT_EQ(slash.disabled, expected);
}

TEST(ChordModifierDescribe, Dominant) {
    const Ids expected{"sixth-6", "seventh-dim7", "ninth-add9", "eleventh-add11", "eleventh-flat11"};
    const ChordModifierState state = describeChordModifiers(chord("C7"), {});
    EXPECT_EQ(state.selected, (Ids{"third-major", "fifth-perfect", "seventh-flat7"}));
    EXPECT_EQ(state.disabled, expected);

    // "7alt" has no usable row; it is read heuristically and lists like C7.
    const ChordModifierState altered = describeChordModifiers(chord("C7alt"), {});
    EXPECT_EQ(altered.selected, state.selected);
    EXPECT_EQ(altered.disabled, expected);
}

TEST(ChordModifierDescribe, SixthAndSeventhExcludeEachOther) {
    const ChordModifierState sixth = describeChordModifiers(chord("C6"), {});
    EXPECT_EQ(sixth.selected, (Ids{"third-major", "fifth-perfect", "sixth-6"}));
    EXPECT_TRUE(holds(sixth.disabled, "seventh-flat7") && holds(sixth.disabled, "seventh-major7") &&
                holds(sixth.disabled, "seventh-dim7"));
    EXPECT_FALSE(holds(sixth.disabled, "sixth-6"));

    // The caller's selection decides what is disabled; `selected` stays the chord's.
    const ChordModifierState asked =
        describeChordModifiers(chord("C6"), {"third-major", "fifth-perfect", "seventh-flat7"});
    EXPECT_EQ(asked.selected, sixth.selected);
    EXPECT_TRUE(holds(asked.disabled, "sixth-6"));
    EXPECT_FALSE(holds(asked.disabled, "seventh-major7"));
}

TEST(ChordModifierDescribe, MinorSeventh) {
    const ChordModifierState state = describeChordModifiers(chord("Cm7"), {});
    EXPECT_EQ(state.selected, (Ids{"third-minor", "fifth-perfect", "seventh-flat7"}));
    EXPECT_EQ(state.disabled, (Ids{"sixth-6", "seventh-dim7", "ninth-add9", "ninth-flat9sharp9", "eleventh-add11"}));
}

TEST(ChordModifierDescribe, Suspended) {
    const ChordModifierState state = describeChordModifiers(chord("Csus4"), {});
    EXPECT_EQ(state.selected, (Ids{"third-sus4", "fifth-perfect"}));
    EXPECT_EQ(state.disabled,
              (Ids{"sixth-6", "seventh-major7", "seventh-dim7", "ninth-add9", "ninth-flat9", "ninth-flat9sharp9",
                   "ninth-9", "ninth-sharp9", "eleventh-add11", "eleventh-flat11", "eleventh-11", "eleventh-sharp11",
                   "thirteenth-add13", "thirteenth-flat13", "thirteenth-13"}));
}

TEST(ChordModifierDescribe, ToleratesUnknownIdsAndNeverDisablesSlash) {
    const ChordModifierState state = describeChordModifiers(chord("Cmaj7"), {"bogus", "slash"});
    EXPECT_EQ(state.definitions.size(), 24u);
    EXPECT_EQ(state.selected, (Ids{"third-major", "fifth-perfect", "seventh-major7"}));
    for (const std::string& id : state.disabled) {
        EXPECT_NE(id, "slash");
        EXPECT_NE(modifierIndex(id), kUnknownModifierIndex);
    }
}

TEST(ChordModifierApply, Examples) {
    EXPECT_EQ(applyModifiersToQuality(chord("C7"), {"third-minor", "fifth-flat5", "seventh-flat7"}), "m7b5");
    EXPECT_EQ(applyModifiersToQuality(chord("C"), {"third-major", "fifth-perfect", "sixth-6", "ninth-9"}), "69");
    EXPECT_EQ(applyModifiersToQuality(chord("C"), {"third-major", "fifth-perfect", "seventh-dim7"}), "");
    EXPECT_EQ(applyModifiersToQuality(chord("C"), {}), "maj");
    EXPECT_EQ(applyModifiersToQuality(chord("C7alt"), {}), "7alt");
    EXPECT_EQ(applyModifiersToQuality(chord("Cmaj7/E"), {"slash"}), "maj7");
    EXPECT_EQ(applyModifiersToQuality(chord("C7alt"), {"ninth-9"}), "9");
}

// For chords of every quality: each modifier toggled from the chord's own
// selection gives a canonical quality (or nothing, only when disabled), and
// applying the chord's own selection to the result gives the chord back.
TEST(ChordModifierApply, ToggleThenApplyRoundTripsForEveryQuality) {
    std::size_t checked = 0;
    for (const auto& [quality, row] : qualityOptionTable()) {
        const Chord original = chordWithQuality(quality);
        const ChordModifierState state = describeChordModifiers(original, {});
        const std::string home = quality == "madd9b5" ? "dimadd9" : quality;
        for (const std::string& id : kAllIds) {
            const Ids toggled = toggleModifier(state.selected, id);
            const std::string result = applyModifiersToQuality(original, toggled);
            const bool disabled = holds(state.disabled, id);
            if (result.empty()) {
                EXPECT_TRUE(disabled) << quality << " " << id;
                continue;
            }
            ASSERT_TRUE(canonicalQualityTable().contains(result)) << quality << " " << id;
            if (id == "slash" || row.supported == 0) continue;
            if (!disabled && !holds(state.selected, id)) {
                // Switched on and kept: the new quality lists the id.
                const auto changed = lookupQualityOptions(result);
                ASSERT_TRUE(changed.has_value()) << result;
                EXPECT_TRUE(holds(modifierIdsOf(*changed), id)) << quality << " " << id;
            }
            const Chord moved = chordWithQuality(result);
            EXPECT_EQ(applyModifiersToQuality(moved, state.selected), home) << quality << " " << id << " " << result;
            ++checked;
        }
    }
    EXPECT_GT(checked, 364u * 5);
}

// Random selections, including unknown ids: results are canonical names or
// empty, and never depend on anything but the inputs.
TEST(ChordModifierApply, FuzzedSelectionsGiveKnownNamesOrNothing) {
    Ids pool = kAllIds;
    pool.insert(pool.end(), {"third", "", "ninth-x", "Slash", "sixth-7"});
    std::vector<std::string> qualities;
    for (const auto& [quality, row] : qualityOptionTable()) qualities.push_back(quality);
    std::sort(qualities.begin(), qualities.end());
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        const Chord c = chordWithQuality(qualities[rng() % qualities.size()]);
        Ids selection;
        const int count = static_cast<int>(rng() % 6);
        for (int k = 0; k < count; ++k) {
            selection = toggleModifier(selection, pool[rng() % pool.size()]);
        }
        const std::string result = applyModifiersToQuality(c, selection);
        if (!result.empty()) {
            ASSERT_TRUE(canonicalQualityTable().contains(result)) << result;
        }
        ASSERT_EQ(applyModifiersToQuality(c, selection), result);
        const ChordModifierState state = describeChordModifiers(c, selection);
        ASSERT_EQ(state.definitions.size(), 24u);
        ASSERT_TRUE(std::is_sorted(
            state.disabled.begin(), state.disabled.end(),
            [](const std::string& a, const std::string& b) { return modifierIndex(a) < modifierIndex(b); }));
    }
}

}  // namespace
}  // namespace quillex
