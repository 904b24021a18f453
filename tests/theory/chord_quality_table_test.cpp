// Tests of the canonical quality table and the quality alias table.
#include "theory/chord_quality_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quillex {
namespace {

using Intervals = std::vector<std::int32_t>;

std::size_t countKeysHolding(const QualityAliasTable& table, std::string_view part) {
    return static_cast<std::size_t>(std::count_if(
        table.begin(), table.end(), [part](const auto& row) { return row.first.find(part) != std::string::npos; }));
}

TEST(ChordQualityTableInvariants, CanonicalTableHas382AscendingRowsFromZero) {
    const CanonicalQualityTable& table = canonicalQualityTable();
    EXPECT_EQ(table.size(), 382u);
    for (const auto& [name, intervals] : table) {
        ASSERT_FALSE(intervals.empty()) << name;
        EXPECT_EQ(intervals.front(), 0) << name;
        EXPECT_TRUE(std::adjacent_find(intervals.begin(), intervals.end(), [](int a, int b) { return a >= b; }) ==
                    intervals.end())
            << name;
        for (unsigned char c : name) EXPECT_LT(c, 0x80) << name;
    }
    EXPECT_TRUE(table.contains("maj"));
}

TEST(ChordQualityTableInvariants, AliasTableCountsAndTargets) {
    const CanonicalQualityTable& canonical = canonicalQualityTable();
    const QualityAliasTable& aliases = qualityAliasTable();
    EXPECT_EQ(aliases.size(), 1646u);
    std::set<std::string> targets;
    for (const auto& [alias, target] : aliases) {
        EXPECT_TRUE(canonical.contains(target)) << alias << " -> " << target;
        EXPECT_FALSE(canonical.contains(alias)) << alias;
        targets.insert(target);
    }
    EXPECT_EQ(targets.size(), 283u);
    EXPECT_EQ(canonical.size() - targets.size(), 99u);
}

TEST(ChordQualityTableInvariants, NonAsciiAndParenthesisKeys) {
    const QualityAliasTable& aliases = qualityAliasTable();
    EXPECT_EQ(countKeysHolding(aliases, "\u0394"), 78u);
    EXPECT_EQ(countKeysHolding(aliases, "\u00B0"), 5u);
    EXPECT_EQ(countKeysHolding(aliases, "\u00F8"), 3u);
    EXPECT_EQ(countKeysHolding(aliases, "\u25B3"), 0u);
    EXPECT_EQ(countKeysHolding(aliases, "("), 0u);
    EXPECT_EQ(countKeysHolding(aliases, ")"), 0u);
}

TEST(ChordQualityTableInvariants, CanonicalGroupsHaveTheirSizes) {
    std::size_t minor = 0, major = 0, minorMajor = 0, diminished = 0, elevenAddThirteen = 0;
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        if (name.starts_with("maj"))
            ++major;
        else if (name.starts_with("mM"))
            ++minorMajor;
        else if (name.starts_with("m"))
            ++minor;
        else if (name.starts_with("dim"))
            ++diminished;
        for (std::string head : {"", "m", "maj", "mM"}) {
            if (name.starts_with(head + "11add13")) ++elevenAddThirteen;
        }
    }
    EXPECT_EQ(minor, 128u);
    EXPECT_EQ(major, 78u);
    EXPECT_EQ(minorMajor, 26u);
    EXPECT_EQ(diminished, 9u);
    EXPECT_EQ(elevenAddThirteen, 34u);
}

TEST(ChordQualityTableIntervals, WorkedRowsAndEveryModifier) {
    const std::vector<std::pair<std::string, Intervals>> rows = {
        {"maj", {0, 4, 7}},
        {"m7b5", {0, 3, 6, 10}},
        {"dim7", {0, 3, 6, 9}},
        {"mM7", {0, 3, 7, 11}},
        {"13", {0, 4, 7, 10, 14, 21}},
        {"11b9", {0, 4, 7, 10, 13, 17}},
        {"m13b11", {0, 3, 7, 10, 14, 16, 21}},
        {"7alt", {0, 4, 8, 10, 13, 15}},
        {"7#11no5", {0, 4, 10, 18}},
        {"sus4b9", {0, 5, 7, 13}},
        {"mb6", {0, 3, 7, 8}},
        {"m611", {0, 3, 7, 9, 17}},
        {"add911", {0, 4, 7, 14, 17}},
        {"dim7b911", {0, 3, 6, 9, 13, 17}},
        {"madd11b13", {0, 3, 7, 17, 20}},
        {"69", {0, 4, 7, 9, 14}},
        // The power chord and the two exceptions to the grammar.
        {"5", {0, 7}},
        {"dim#5", {0, 3, 6, 8}},
        {"dim11", {0, 3, 6, 9, 17}},
        // Bases, degree numbers and each modifier token.
        {"aug", {0, 4, 8}},
        {"m#5", {0, 3, 8}},
        {"7no5", {0, 4, 10}},
        {"9b5", {0, 4, 6, 10, 14}},
        {"11#11", {0, 4, 7, 10, 14, 17, 18}},
        {"maj11#11", {0, 4, 7, 11, 14, 17, 18}},
        {"m9#11", {0, 3, 7, 10, 14, 18}},
        {"7sus2", {0, 2, 7, 10}},
        {"sus2b5", {0, 2, 6}},
        {"13sus4", {0, 5, 7, 10, 14, 21}},
        {"11add13", {0, 4, 7, 10, 14, 17, 21}},
        {"mM11add13b5b9", {0, 3, 6, 11, 13, 17, 21}},
        {"m6b9b11b13", {0, 3, 7, 9, 13, 16, 20}},
        {"madd#11", {0, 3, 7, 18}},
        {"add9#5#11", {0, 4, 8, 14, 18}},
        {"6b9#11", {0, 4, 7, 9, 13, 18}},
        {"7b9#9#11b13", {0, 4, 7, 10, 13, 15, 18, 20}},
        {"maj7add13#5", {0, 4, 8, 11, 21}},
        {"13#5#9#11", {0, 4, 8, 10, 15, 18, 21}},
        {"m69#11", {0, 3, 7, 9, 14, 18}},
        {"dimadd9", {0, 3, 6, 14}},
        {"dimb9", {0, 3, 6, 13}},
        {"dim7b9", {0, 3, 6, 9, 13}},
        {"add11", {0, 4, 7, 17}},
    };
    const CanonicalQualityTable& table = canonicalQualityTable();
    for (const auto& [name, expected] : rows) {
        const auto row = table.find(name);
        ASSERT_NE(row, table.end()) << name;
        EXPECT_EQ(row->second, expected) << name;
    }
}

TEST(ChordQualityTableAliases, CaseCarriesMeaning) {
    const QualityAliasTable& aliases = qualityAliasTable();
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"M7", "maj7"},
        {"Mi7", "m7"},
        {"MI7", "m7"},
        {"Madd13", "m6"},
        {"MADD13", "m6"},
        {"add13", "6"},
        {"Add13", "6"},
        {"maj6", "6"},
        {"\u0394", "maj7"},
        {"\u03947", "maj7"},
        {"\u03949", "maj9"},
        {"M", "maj"},
        {"\u00B0", "dim"},
        {"o", "dim"},
        {"\u00B07", "dim7"},
        {"o7", "dim7"},
        {"\u00F8", "m7b5"},
        {"\u00F87", "m7b5"},
        {"\u00F89", "m9b5"},
        {"\u00B0M7", "mM7b5"},
        {"oM7", "mM7b5"},
        {"dimmaj7", "mM7b5"},
        {"mb5", "dim"},
        {"m11#11", "m9#11"},
        {"m11b9#11", "m7b9#11"},
        {"dimb911", "dim7b911"},
        {"6/9", "69"},
        {"maj6/9", "69"},
        {"m6/9", "m69"},
        {"no3", "5"},
        {"-", "m"},
        {"min7", "m7"},
        {"MI7b5", "m7b5"},
        {"13add11b9", "11add13b9"},
        {"m13add11", "m11add13"},
        {"m/M7", "mM7"},
        {"MINMAJ13#11", "mM13#11"},
        {"DIM7", "dim7"},
        {"7sus", "7sus4"},
        {"b9sus", "sus4b9"},
        {"alt", "7alt"},
        {"+", "aug"},
        {"-maj9", "mM9"},
    };
    for (const auto& [alias, target] : rows) {
        const auto row = aliases.find(alias);
        ASSERT_NE(row, aliases.end()) << alias;
        EXPECT_EQ(row->second, target) << alias;
    }
    for (std::string missing : {"M6", "Maj6", "\u0394maj", "\u25B37", "7(no5)", "maj"}) {
        EXPECT_FALSE(aliases.contains(missing)) << missing;
    }
}

TEST(ChordQualityTableConcurrency, EightThreadsBuildOneTableEach) {
    std::atomic<bool> go{false};
    std::vector<const CanonicalQualityTable*> canonical(8);
    std::vector<const QualityAliasTable*> aliases(8);
    std::vector<std::size_t> sizes(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            if (i % 2 == 0) {
                aliases[i] = &qualityAliasTable();
                canonical[i] = &canonicalQualityTable();
            } else {
                canonical[i] = &canonicalQualityTable();
                aliases[i] = &qualityAliasTable();
            }
            sizes[i] = canonical[i]->size() + aliases[i]->size() + canonical[i]->at("13").size();
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(canonical[i], canonical[0]);
        EXPECT_EQ(aliases[i], aliases[0]);
        EXPECT_EQ(sizes[i], 382u + 1646u + 6u);
    }
}

}  // namespace
}  // namespace quillex
