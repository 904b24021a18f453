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

Codes codesOf(const QualityOptions& o) { return {o.third, o.fifth, o.seventh, o.ninth, o.eleventh, o.thirteenth}; }

Codes codesOf(const QualityOptionRow& r) { return {r.third, r.fifth, r.seventh, r.ninth, r.eleventh, r.thirteenth}; }

const std::set<std::string> kUnsupported{"11#11",   "5",         "7#11no5",  "7alt",     "7no5",  "add#11",
                                         "add9#11", "add9#5#11", "dim#5",    "dim11",    "dimb9", "m6b9b11b13",
                                         "madd#11", "madd11b13", "madd9#11", "maj11#11", "mb6",   "sus4b9"};

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
    c[3] = (has(13) && has(15)) ? 3 : has(13) ? 2 : has(15) ? 5 : has(14) ? ((c[2] != 0 || sixth) ? 4 : 1) : 0;
    c[4] = has(16) ? 2 : has(18) ? 4 : has(17) ? (c[2] != 0 ? 3 : 1) : 0;
    c[5] = has(20) ? 2 : has(21) ? ((c[2] != 0 && c[3] != 0) ? 3 : 1) : sixth ? 1 : 0;
    return c;
}

TEST(QualityOptionTable, RowsMatchTheCanonicalNamesAndTheirIntervals) {
    const auto& table = qualityOptionTable();
    ASSERT_EQ(table.size(), canonicalQualityTable().size());
    std::size_t supported = 0;
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        ASSERT_TRUE(table.contains(name)) << name;
        const QualityOptionRow& row = table.at(name);
        const auto looked = lookupQualityOptions(name);
        if (kUnsupported.contains(name)) {
            EXPECT_EQ(row, QualityOptionRow{}) << name;
            EXPECT_FALSE(looked.has_value()) << name;
            continue;
        }
        ++supported;
        EXPECT_EQ(row.supported, 1) << name;
        EXPECT_EQ(codesOf(row), codesFromIntervals(intervals)) << name;
        ASSERT_TRUE(looked.has_value()) << name;
        EXPECT_EQ(codesOf(*looked), codesOf(row)) << name;
        EXPECT_EQ(looked->suffix, name);
    }
    EXPECT_EQ(table.size(), 382u);
    EXPECT_EQ(supported, 364u);
}

TEST(QualityOptionTable, WorkedRowsAndExactLookup) {
    const auto row = [](const char* name) { return codesOf(qualityOptionTable().at(name)); };
    EXPECT_EQ(row("maj"), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(row("13"), (Codes{0, 0, 1, 4, 0, 3}));
    EXPECT_EQ(row("7add13"), (Codes{0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(row("69"), (Codes{0, 0, 0, 4, 0, 1}));
    EXPECT_EQ(row("m611"), (Codes{1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(row("dim7"), (Codes{1, 1, 3, 0, 0, 0}));

    const auto m7b5 = lookupQualityOptions("m7b5");
    ASSERT_TRUE(m7b5.has_value());
    EXPECT_EQ(codesOf(*m7b5), (Codes{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(m7b5->suffix, "m7b5");
    EXPECT_FALSE(m7b5->bass.has_value() || m7b5->alt);
    for (const char* text : {"7alt", "M7", "", "maj7 ", "m7(b5)"}) {
        EXPECT_FALSE(lookupQualityOptions(text).has_value()) << text;
    }
}

TEST(QualityOptionReader, ReadsTheUnsupportedNames) {
    const std::pair<const char*, Codes> cases[] = {
        {"11#11", {0, 0, 1, 0, 4, 0}},    {"5", {0, 0, 0, 0, 0, 0}},         {"7#11no5", {0, 0, 1, 0, 4, 0}},
        {"7alt", {0, 0, 1, 0, 0, 0}},     {"7no5", {0, 0, 1, 0, 0, 0}},      {"add#11", {0, 0, 0, 0, 4, 0}},
        {"add9#11", {0, 0, 0, 1, 4, 0}},  {"add9#5#11", {0, 2, 0, 1, 4, 0}}, {"dim#5", {1, 2, 0, 0, 0, 0}},
        {"dim11", {1, 1, 1, 0, 3, 0}},    {"dimb9", {1, 1, 0, 2, 0, 0}},     {"m6b9b11b13", {1, 0, 0, 2, 2, 1}},
        {"madd#11", {1, 0, 0, 0, 4, 0}},  {"madd11b13", {1, 0, 0, 0, 1, 2}}, {"madd9#11", {1, 0, 0, 1, 4, 0}},
        {"maj11#11", {0, 0, 2, 0, 4, 0}}, {"mb6", {1, 0, 0, 0, 0, 0}},       {"sus4b9", {3, 0, 0, 2, 0, 0}},
    };
    ASSERT_EQ(std::size(cases), kUnsupported.size());
    for (const auto& [name, codes] : cases) {
        const QualityOptions options = parseQualityOptions(name);
        EXPECT_EQ(codesOf(options), codes) << name;
        EXPECT_EQ(options.suffix, name);
        EXPECT_FALSE(options.bass.has_value());
        EXPECT_EQ(options.alt, std::string_view(name) == "7alt") << name;
    }
    const QualityOptions empty = parseQualityOptions("");
    EXPECT_EQ(codesOf(empty), (Codes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(empty.suffix, std::optional<std::string>(""));
}

TEST(QualityOptionReader, DegreeReadersStopAtTheFirstRule) {
    EXPECT_EQ(parseSeventhOption("69"), 1);  // the table says 0; the table wins for names
    EXPECT_EQ(parseThirteenthOption("11add13"), 0);
    EXPECT_EQ(parseThirdOption("msus4"), 3);
    EXPECT_EQ(parseFifthOption("dim#5"), 2);
    EXPECT_EQ(parseSeventhOption("o7"), 3);
    EXPECT_EQ(parseSeventhOption("mM9"), 2);
    EXPECT_EQ(parseSeventhOption("madd9"), 0);
    EXPECT_EQ(parseNinthOption("9b13"), 4);
    EXPECT_EQ(parseEleventhOption("11", true), 3);
    EXPECT_EQ(parseEleventhOption("11", false), 1);
    EXPECT_EQ(parseThirteenthOption("6/9"), 1);
    EXPECT_EQ(parseThirteenthOption("mb6"), 0);
}

TEST(QualityOptionTokens, BareTokensAndMinorThirds) {
    EXPECT_FALSE(containsBareToken("7b9", "9"));
    EXPECT_FALSE(containsBareToken("7#9", "9"));
    EXPECT_FALSE(containsBareToken("add9", "9"));
    EXPECT_FALSE(containsBareToken("madd911", "11"));
    EXPECT_TRUE(containsBareToken("9b13", "9"));
    EXPECT_FALSE(containsBareToken("b9#9", "9"));  // only the first occurrence counts
    EXPECT_FALSE(containsBareToken("9", "13"));
    EXPECT_TRUE(containsBareToken("", ""));
    for (const char* text : {"mM7", "m", "dim", "m7b5", "\u00f87", "o7", "-7"}) {
        EXPECT_TRUE(impliesMinorThird(text)) << text;
    }
    for (const char* text : {"maj7", "sus4", "7", "sus2", "msus4", "", "o9"}) {
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
                case 0:
                    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c);
                    break;
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
