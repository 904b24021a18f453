// Tests of pitch-class arithmetic, note-name tables and note-name parsing.
#include "theory/pitch_class.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillex {
namespace {

TEST(PitchClassParseKeyRoot, ListedRoots) {
    const std::vector<std::pair<std::string, int>> valid = {
        {"C", 0},   {"c", 0},  {"Eb", 3}, {"eb", 3}, {"F#", 6},   {"B", 11},  {"b", 11},  {"bb", 10},
        {"Cb", 11}, {"B#", 0}, {"E#", 5}, {"Fb", 4}, {"Cbb", 10}, {"C##", 2}, {"C#b", 0}, {"g##b#", 9}};
    for (const auto& [text, expected] : valid) {
        const auto root = parseKeyRoot(text);
        ASSERT_TRUE(root.has_value()) << text;
        EXPECT_EQ(*root, expected) << text;
    }
    for (std::string text : {"", "H", " C", "C ", "C\u266F", "C\u266D", "CB", "Cm", "#C", "\xC3\xA9", "C\t", "1"}) {
        EXPECT_FALSE(parseKeyRoot(text).has_value()) << '"' << text << '"';
    }
}

TEST(PitchClassParseKeyRoot, EveryTableNameReadsBackToItsPitchClass) {
    for (PitchClass pc = 0; pc < 12; ++pc) {
        for (std::string_view name : {defaultNoteNames[pc], flatNoteNames[pc], sharpNoteNames[pc]}) {
            EXPECT_EQ(parseKeyRoot(name), pc) << name;
            std::string lower(name);
            lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
            EXPECT_EQ(parseKeyRoot(lower), pc) << lower;
        }
    }
}

TEST(PitchClassParseKeyRoot, LongAccidentalRunsWrapWithoutOverflow) {
    EXPECT_EQ(parseKeyRoot("C" + std::string(12 * 1000 + 1, '#')), 1);
    EXPECT_EQ(parseKeyRoot("C" + std::string(12 * 1000 + 1, 'b')), 11);
}

TEST(PitchClassParseKeyRoot, FuzzNeverYieldsOutOfRange) {
    std::mt19937 rng(20261207);
    const std::string alphabet = "ABCDEFGHabcdefgh#b \t\xE2\x99\xAF\xC3m7/";
    for (int i = 0; i < 20000; ++i) {
        std::string text(rng() % 8, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        const auto root = parseKeyRoot(text);
        if (root) {
            EXPECT_LT(*root, 12) << text;
            EXPECT_TRUE(startsWithNoteLetter(text)) << text;
            EXPECT_EQ(text.find_first_not_of("#b", 1), std::string::npos) << text;
        }
    }
}

TEST(PitchClassTables, NamesAndLetters) {
    EXPECT_EQ(noteLetters, "CDEFGAB");
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(parseKeyRoot(noteLetters.substr(i, 1)), naturalPitchClasses[i]);
    }
    EXPECT_EQ(pitchClassName(6, true), "Gb");
    EXPECT_EQ(pitchClassName(6, false), "F#");
    EXPECT_EQ(pitchClassName(0, true), "C");
    EXPECT_EQ(pitchClassName(0, false), "C");
}

TEST(PitchClassLetters, LetterIndexAndStart) {
    EXPECT_EQ(noteLetterIndex('a'), 5);
    EXPECT_EQ(noteLetterIndex('B'), 6);
    EXPECT_EQ(noteLetterIndex('c'), 0);
    EXPECT_EQ(noteLetterIndex('H'), -1);
    EXPECT_EQ(noteLetterIndex('#'), -1);
    EXPECT_EQ(noteLetterIndex(0xC3), -1);
    for (int c = 0; c < 256; ++c) {
        const int index = noteLetterIndex(static_cast<std::uint8_t>(c));
        const bool letter = std::string("CDEFGABcdefgab").find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(index != -1, letter && c != 0) << c;
    }
    EXPECT_FALSE(startsWithNoteLetter(""));
    EXPECT_TRUE(startsWithNoteLetter("g7"));
    EXPECT_FALSE(startsWithNoteLetter("X"));
    EXPECT_FALSE(startsWithNoteLetter("#C"));
}

TEST(PitchClassNoteNameOnLetter, NearestAlterationOfTheLetter) {
    EXPECT_EQ(noteNameOnLetter(1, 1), "Db");
    EXPECT_EQ(noteNameOnLetter(1, 0), "C#");
    EXPECT_EQ(noteNameOnLetter(0, 6), "B#");
    EXPECT_EQ(noteNameOnLetter(3, 6), "B####");
    EXPECT_EQ(noteNameOnLetter(6, 0), "C######");
    EXPECT_EQ(noteNameOnLetter(5, 5), "Abbbb");
    EXPECT_EQ(noteNameOnLetter(4, 2), "E");
}

TEST(PitchClassCapitalize, AsciiOnly) {
    EXPECT_EQ(capitalizeNoteName(""), "");
    EXPECT_EQ(capitalizeNoteName("eb"), "Eb");
    EXPECT_EQ(capitalizeNoteName("Eb"), "Eb");
    // The lead byte of "é" must pass unchanged.
    EXPECT_EQ(capitalizeNoteName("\xC3\xA9t"), "\xC3\xA9t");
    EXPECT_EQ(capitalizeNoteName("\xE2\x99\xAD"), "\xE2\x99\xAD");
}

TEST(PitchClassTranspose, ListedAndExtremeOffsets) {
    EXPECT_EQ(transposePitchClass(0, -1), 11);
    EXPECT_EQ(transposePitchClass(11, 1), 0);
    EXPECT_EQ(transposePitchClass(5, 24), 5);
    EXPECT_EQ(transposePitchClass(5, -24), 5);
    EXPECT_EQ(transposePitchClass(2, -26), 0);
    EXPECT_EQ(transposePitchClass(7, 0), 7);
    EXPECT_EQ(transposePitchClass(11, INT32_MAX), (11 + 2147483647LL) % 12);
    EXPECT_EQ(transposePitchClass(0, INT32_MIN), ((-2147483648LL % 12) + 12) % 12);
    for (PitchClass pc = 0; pc < 12; ++pc) {
        for (int offset = -60; offset <= 60; ++offset) {
            EXPECT_EQ(transposePitchClass(pc, offset), ((pc + offset) % 12 + 12) % 12);
        }
    }
}

}  // namespace
}  // namespace quillex
