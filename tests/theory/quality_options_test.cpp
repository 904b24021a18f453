// The quality option table, its lookup and the heuristic quality reader.
#include "theory/quality_options.h"

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_quality_table.h"

namespace quillex {
namespace {

using Codes = std::array<int, 6>;

Codes codesOf(const QualityOptions& o) {
    return {o.third, o.fifth, o.seventh, o.ninth, o.eleventh, o.thirteenth};
}

Codes codesOf(const QualityOptionRow& r) {
    return {r.third, r.fifth, r.seventh, r.ninth, r.eleventh, r.thirteenth};
}

const std::set<std::string> kUnsupported{
    "11#11",   "5",         "7#11no5",    "7alt",    "7no5",      "add#11",
    "add9#11", "add9#5#11", "dim#5",      "dim11",   "dimb9",     "m6b9b11b13",
    "madd#11", "madd11b13", "madd9#11",   "maj11#11", "mb6",      "sus4b9"};

// The codes a quality's interval set stands for, read degree by degree.
std::optional<Codes> codesFromIntervals(const std::vector<std::int32_t>& intervals) {
    const std::set<int> s(intervals.begin(), intervals.end());
    auto has = [&](int i) { return s.count(i) != 0; };
    int thirds = has(4) + has(3) + has(2) + has(5);
    int fifths = has(7) + has(6) + has(8);
    if (thirds != 1 || fifths != 1) return std::nullopt;
    Codes c{};
    c[0] = has(4) ? 0 : has(3) ? 1 : has(2) ? 2 : 3;
    c[1] = has(7) ? 0 : has(6) ? 1 : 2;
    c[2] = has(10) ? 1 : has(11) ? 2 : (has(9) && c[0] == 1 && c[1] == 1) ? 3 : 0;
    const bool sixth = has(9) && c[2] != 3;
    c[3] = (has(13) && has(15)) ? 3
           : has(13)            ? 2
           : has(15)            ? 5
           : has(14)            ? ((c[2] != 0 || sixth) ? 4 : 1)
                                : 0;
    c[4] = has(16) ? 2 : has(18) ? 4 : has(17) ? (c[2] != 0 ? 3 : 1) : 0;
    c[5] = has(20)   ? 2
           : has(21) ? ((c[2] != 0 && c[3] != 0) ? 3 : 1)
           : sixth   ? 1
                     : 0;
    return c;
}

TEST(QualityOptionTable, HoldsExactlyTheCanonicalNames) {
    const auto& table = qualityOptionTable();
    const auto& canonical = canonicalQualityTable();
    ASSERT_EQ(table.size(), 382u);
    for (const auto& [name, intervals] : canonical) {
        EXPECT_TRUE(table.contains(name)) << name;
    }
    EXPECT_FALSE(table.contains("M7"));
    EXPECT_FALSE(table.contains(""));
}

TEST(QualityOptionTable, SupportedRowsFollowTheirIntervals) {
    std::size_t supported = 0;
    for (const auto& [name, row] : qualityOptionTable()) {
        if (kUnsupported.contains(name)) {
            EXPECT_EQ(row, QualityOptionRow{}) << name;
            continue;
        }
        ++supported;
        EXPECT_EQ(row.supported, 1) << name;
        const auto expected = codesFromIntervals(canonicalQualityTable().at(name));
        ASSERT_TRUE(expected.has_value()) << name;
        EXPECT_EQ(codesOf(row), *expected) << name;
    }
    EXPECT_EQ(supported, 364u);
}

TEST(QualityOptionTable, WorkedRows) {
    const auto row = [](const char* name) { return codesOf(qualityOptionTable().at(name)); };
    EXPECT_EQ(row("maj"), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(row("13"), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(row("7add13"), (Codes{0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(row("69"), (Codes{0, 0, 0, 4, 0, 1}));
    EXPECT_EQ(row("m611"), (Codes{1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(row("dim7"), (Codes{1, 1, 3, 0, 0, 0}));
    EXPECT_EQ(row("m7b5"), (Codes{1, 1, 1, 0, 0, 0}));
}

TEST(QualityOptionLookup, ReadsSupportedRowsOnly) {
    const auto m7b5 = lookupQualityOptions("m7b5");
    ASSERT_TRUE(m7b5.has_value());
    EXPECT_EQ(codesOf(*m7b5), (Codes{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(m7b5->suffix, "m7b5");
    EXPECT_FALSE(m7b5->bass.has_value());
    EXPECT_FALSE(m7b5->alt);

    EXPECT_FALSE(lookupQualityOptions("7alt").has_value());  // unsupported row
    EXPECT_FALSE(lookupQualityOptions("M7").has_value());    // alias, not normalised
    EXPECT_FALSE(lookupQualityOptions("").has_value());
    EXPECT_FALSE(lookupQualityOptions("maj7 ").has_value());
}

TEST(QualityOptionLookup, EverySupportedNameGivesItsRow) {
    for (const auto& [name, row] : qualityOptionTable()) {
        const auto options = lookupQualityOptions(name);
        ASSERT_EQ(options.has_value(), row.supported == 1) << name;
        if (options) {
            EXPECT_EQ(codesOf(*options), codesOf(row)) << name;
            EXPECT_EQ(options->suffix, name);
        }
    }
}

TEST(QualityOptionReader, ReadsTheUnsupportedNames) {
    struct Case {
        const char* name;
        Codes codes;
    };
    const Case cases[] = {
        {"11#11", {0, 0, 1, 0, 4, 0}},     {"5", {0, 0, 0, 0, 0, 0}},
        {"7#11no5", {0, 0, 1, 0, 4, 0}},   {"7alt", {0, 0, 1, 0, 0, 0}},
        {"7no5", {0, 0, 1, 0, 0, 0}},      {"add#11", {0, 0, 0, 0, 4, 0}},
        {"add9#11", {0, 0, 0, 1, 4, 0}},   {"add9#5#11", {0, 2, 0, 1, 4, 0}},
        {"dim#5", {1, 2, 0, 0, 0, 0}},     {"dim11", {1, 1, 1, 0, 3, 0}},
        {"dimb9", {1, 1, 0, 2, 0, 0}},     {"m6b9b11b13", {1, 0, 0, 2, 2, 1}},
        {"madd#11", {1, 0, 0, 0, 4, 0}},   {"madd11b13", {1, 0, 0, 0, 1, 2}},
        {"madd9#11", {1, 0, 0, 1, 4, 0}},  {"maj11#11", {0, 0, 2, 0, 4, 0}},
        {"mb6", {1, 0, 0, 0, 0, 0}},       {"sus4b9", {3, 0, 0, 2, 0, 0}},
    };
    ASSERT_EQ(std::size(cases), kUnsupported.size());
    for (const Case& c : cases) {
        const QualityOptions options = parseQualityOptions(c.name);
        EXPECT_EQ(codesOf(options), c.codes) << c.name;
        EXPECT_EQ(options.suffix, c.name);
        EXPECT_FALSE(options.bass.has_value());
        EXPECT_EQ(options.alt, std::string_view(c.name) == "7alt") << c.name;
    }
}

TEST(QualityOptionReader, EmptyTextKeepsAnEmptySuffix) {
    const QualityOptions options = parseQualityOptions("");
    EXPECT_EQ(codesOf(options), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(options.alt);
    ASSERT_TRUE(options.suffix.has_value());
    EXPECT_EQ(*options.suffix, "");
}

TEST(QualityOptionReader, TableWinsOverTheHeuristicForSupportedNames) {
    EXPECT_EQ(parseSeventhOption("69"), 1);
    EXPECT_EQ(qualityOptionTable().at("69").seventh, 0);
    EXPECT_EQ(parseThirteenthOption("11add13"), 0);
}

TEST(QualityOptionReader, DegreeReadersStopAtTheFirstRule) {
    EXPECT_EQ(parseThirdOption("7sus2"), 2);
    EXPECT_EQ(parseThirdOption("msus4"), 3);  // "sus" before the minor mark
    EXPECT_EQ(parseFifthOption("aug"), 2);
    EXPECT_EQ(parseFifthOption("o"), 1);
    EXPECT_EQ(parseFifthOption("dim#5"), 2);
    EXPECT_EQ(parseSeventhOption("o7"), 3);
    EXPECT_EQ(parseSeventhOption("dim7b9"), 3);
    EXPECT_EQ(parseSeventhOption("mM9"), 2);
    EXPECT_EQ(parseSeventhOption("13sus4"), 1);
    EXPECT_EQ(parseSeventhOption("add911"), 0);
    EXPECT_EQ(parseSeventhOption("madd9"), 0);
    EXPECT_EQ(parseNinthOption("7b9#9"), 3);
    EXPECT_EQ(parseNinthOption("add2"), 1);
    EXPECT_EQ(parseNinthOption("9b13"), 4);
    EXPECT_EQ(parseEleventhOption("11", true), 3);
    EXPECT_EQ(parseEleventhOption("11", false), 1);
    EXPECT_EQ(parseEleventhOption("madd4", false), 1);
    EXPECT_EQ(parseEleventhOption("add911", true), 1);
    EXPECT_EQ(parseThirteenthOption("6/9"), 1);
    EXPECT_EQ(parseThirteenthOption("7b13"), 2);
    EXPECT_EQ(parseThirteenthOption("13"), 3);
    EXPECT_EQ(parseThirteenthOption("mb6"), 0);
}

TEST(QualityOptionTokens, BareTokenJudgesTheFirstOccurrenceOnly) {
    EXPECT_FALSE(containsBareToken("7b9", "9"));
    EXPECT_FALSE(containsBareToken("7#9", "9"));
    EXPECT_FALSE(containsBareToken("add9", "9"));
    EXPECT_FALSE(containsBareToken("madd911", "11"));
    EXPECT_TRUE(containsBareToken("9b13", "9"));
    EXPECT_FALSE(containsBareToken("b9#9", "9"));
    EXPECT_FALSE(containsBareToken("9", "13"));  // token longer than the text
    EXPECT_FALSE(containsBareToken("7", "9"));
    EXPECT_TRUE(containsBareToken("", ""));
    EXPECT_TRUE(containsBareToken("m", ""));
    EXPECT_TRUE(containsBareToken("11", "11"));
    EXPECT_TRUE(containsAdd911("madd911"));
    EXPECT_FALSE(containsAdd911("add9"));
}

TEST(QualityOptionTokens, MinorThirdMarks) {
    for (const char* text : {"mM7", "m", "dim", "m7b5", "\u00f87", "o", "o7", "-7", "7m7b5"}) {
        EXPECT_TRUE(impliesMinorThird(text)) << text;
    }
    for (const char* text : {"maj7", "sus4", "7", "sus2", "msus4", "", "M7", "o9"}) {
        EXPECT_FALSE(impliesMinorThird(text)) << text;
    }
}

// Seeded mutations of quality names: the reader never fails and keeps every
// code within its degree's range.
TEST(QualityOptionReader, FuzzedTextsStayInRange) {
    std::vector<std::string> seeds;
    for (const auto& [name, row] : qualityOptionTable()) seeds.push_back(name);
    std::sort(seeds.begin(), seeds.end());
    seeds.insert(seeds.end(), {"\u00f8", "o7", "6/9", "alt", "add911", ""});
    static constexpr char kAlphabet[] = "b#7913564adsumMjoilt-/()\xC3\xB8\xE2\x99\xAD\x00\xFF";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);  // keeps the NUL byte
    std::mt19937 rng(0x51ed);
    for (int i = 0; i < 20000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
            const char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 3) {
                case 0: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c); break;
                case 1:
                    if (at < text.size()) text.erase(at, 1);
                    break;
                default:
                    if (at < text.size()) text[at] = c;
                    break;
            }
        }
        const QualityOptions o = parseQualityOptions(text);
        ASSERT_LE(o.third, 3) << text;
        ASSERT_LE(o.fifth, 2) << text;
        ASSERT_LE(o.seventh, 3) << text;
        ASSERT_LE(o.ninth, 5) << text;
        ASSERT_LE(o.eleventh, 4) << text;
        ASSERT_LE(o.thirteenth, 3) << text;
        ASSERT_EQ(o.alt, text.find("alt") != std::string::npos) << text;
        ASSERT_EQ(o.suffix, text);
        ASSERT_FALSE(o.bass.has_value());
        const auto looked = lookupQualityOptions(text);
        if (looked) {
            ASSERT_TRUE(qualityOptionTable().contains(text));
        }
    }
}

}  // namespace
}  // namespace quillex
