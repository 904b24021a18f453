// Tests of Roman numerals derived from spelled chords in a key.
#include "theory/roman_numeral_derivation.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "key_samples.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

using testing::kANaturalContext;
using testing::kCMajorContext;
using testing::kEbMajorContext;

std::string numeralOf(std::string_view symbol, const KeyContext& key) {
    return deriveRomanNumeralFromSymbol(symbol, key).value_or("<none>");
}

Chord chordOf(std::string_view symbol) {
    std::optional<Chord> chord = parseChordSymbol(symbol);
    EXPECT_TRUE(chord.has_value()) << symbol;
    return chord.value_or(Chord{});
}

TEST(RomanQualitySuffix, MarksAndPassThrough) {
    const std::vector<std::pair<std::string, std::string>> cases = {{"", ""},
                                                                    {"maj", ""},
                                                                    {"m", ""},
                                                                    {"m7b5", "\u00F8"},
                                                                    {"\u00F87", "\u00F8"},
                                                                    {"m9b5", "\u00F89"},
                                                                    {"dim", "\u00B0"},
                                                                    {"dim7", "\u00B07"},
                                                                    {"dimadd9", "\u00B0add9"},
                                                                    {"aug", "+"},
                                                                    {"+", "+"},
                                                                    {"aug7", "+7"},
                                                                    {"7", "7"},
                                                                    {"m7", "m7"},
                                                                    {"maj7", "maj7"},
                                                                    {"sus4", "sus4"},
                                                                    {"6", "6"},
                                                                    {"add9", "add9"},
                                                                    {"+7", "+7"},
                                                                    {"m7b5b9", "m7b5b9"}};
    for (const auto& [quality, suffix] : cases) {
        EXPECT_EQ(romanQualitySuffix(quality), suffix) << quality;
    }
}

TEST(RomanDerivation, NumeralsOfSpelledChords) {
    const KeyContext eMajor{{4, kMajorMode, kNaturalMinorScale}, "E"};
    const KeyContext aMelodic{{9, kMinorMode, kMelodicMinorScale}, "A"};
    const std::vector<std::tuple<std::string, KeyContext, std::string>> cases = {
        {"Dm7", kCMajorContext, "iim7"},
        {"G7", kCMajorContext, "V7"},
        {"Cmaj7", kCMajorContext, "Imaj7"},
        {"C", kCMajorContext, "I"},
        {"Fm", kCMajorContext, "iv"},
        {"Gsus4", kCMajorContext, "Vsus4"},
        {"Bdim", kCMajorContext, "vii\u00B0"},
        {"Bdim7", kCMajorContext, "vii\u00B07"},
        {"Bm7b5", kCMajorContext, "vii\u00F8"},
        {"B\u00F87", kCMajorContext, "vii\u00F8"},
        {"Caug", kCMajorContext, "I+"},
        {"C+", kCMajorContext, "I+"},
        {"Em9b5", kCMajorContext, "iii\u00F89"},
        // The letter, not the pitch, decides the degree.
        {"Db", kCMajorContext, "\u266DII"},
        {"C#", kCMajorContext, "\u266FI"},
        {"Bb", kCMajorContext, "\u266DVII"},
        {"E#", kCMajorContext, "\u266FIII"},
        {"F#m7b5", kCMajorContext, "\u266Fiv\u00F8"},
        {"Fbm", kCMajorContext, "\u266Div"},
        {"Ebb", kCMajorContext, "II"},
        // Slash basses are notes on their written letters.
        {"C/E", kCMajorContext, "I/E"},
        {"C/G", kCMajorContext, "I/G"},
        {"C/C", kCMajorContext, "I"},
        {"G7/b", kCMajorContext, "V7/B"},
        {"Am7/Ab", kCMajorContext, "vim7/Ab"},
        // Other keys; minor-key accidentals are relative to the minor scale.
        {"E7", kANaturalContext, "V7"},
        {"G", kANaturalContext, "VII"},
        {"G#dim", kANaturalContext, "\u266Fvii\u00B0"},
        {"G#dim", aMelodic, "vii\u00B0"},
        {"AmM7", aMelodic, "imM7"},
        {"Fm7", kEbMajorContext, "iim7"},
        {"D", kEbMajorContext, "VII"},
        {"C#m7/G#", eMajor, "vim7/G#"}};
    for (const auto& [symbol, key, numeral] : cases) {
        EXPECT_EQ(numeralOf(symbol, key), numeral) << symbol << " in " << key.rootSpelling;
    }
}

TEST(RomanDerivation, FarSpellingsFallBackToTheScaleTone) {
    const Chord d = chordOf("D");
    EXPECT_EQ(locateRootDegree(d, kCMajorContext, "Ebb"), (AlteredDegree{1, 0, true}));
    Chord cSharp = chordOf("Db");
    EXPECT_EQ(locateRootDegree(cSharp, kCMajorContext, "Ebbb"), (AlteredDegree{2, -3, true}));
    EXPECT_EQ(*deriveRomanNumeralFromTokens(cSharp, kCMajorContext, "Ebbb", ""), "\u266D\u266D\u266DIII");
    EXPECT_FALSE(locateRootDegree(d, kCMajorContext, "").valid);
    EXPECT_FALSE(locateRootDegree(d, KeyContext{{0, 0, 0}, "x"}, "D").valid);
    // A distinct bass needs a usable token; a bass equal to the root adds nothing.
    Chord slash = chordOf("C/E");
    EXPECT_FALSE(deriveRomanNumeralFromTokens(slash, kCMajorContext, "C", "").has_value());
    slash.bass = 0;
    EXPECT_EQ(*deriveRomanNumeralFromTokens(slash, kCMajorContext, "C", ""), "I");
}

TEST(RomanDerivation, FailuresGiveNothingAndRequireThrows) {
    const KeyContext noSpelling{{0, 0, 0}, ""};
    for (const auto& [symbol, key] : {std::pair{"C", noSpelling}, std::pair{"H7", kCMajorContext},
                                      std::pair{"|", kCMajorContext}, std::pair{"", kCMajorContext}}) {
        EXPECT_FALSE(deriveRomanNumeralFromSymbol(symbol, key).has_value()) << symbol;
        try {
            (void)requireRomanNumeralFromSymbol(symbol, key);
            ADD_FAILURE() << "no exception for " << symbol;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Could not derive Roman numeral from chord symbol and key");
        }
    }
    // A chord record whose symbol has no letter.
    Chord chord = chordOf("G7");
    chord.symbol.assign(1, '7');
    EXPECT_FALSE(deriveRomanNumeral(chord, kCMajorContext).has_value());
    EXPECT_EQ(requireRomanNumeralFromSymbol(" G7 ", kCMajorContext), "V7");
}

// Bounded seeded fuzz: mutated symbols never crash, and a numeral, when
// derived, starts with accidentals and a numeral of the right case.
TEST(RomanDerivationFuzz, MutatedSymbolsGiveWellFormedNumerals) {
    const std::vector<std::string> seeds = {"Dm7", "G7/B",     "Bbmaj7",  "F#m7b5", "C#dim7/E",
                                            "Ebb", "B\u00F87", "Caug/G#", "Am/M7"};
    const std::string bytes = "ABCDEFGabcdefg#b/m7913+-o \xE2\x99\xAF\xAD\xC3\xB8";
    const std::vector<KeyContext> keys = {
        kCMajorContext, kANaturalContext, kEbMajorContext, {{6, 1, 1}, "F#"}, {{1, 0, 0}, "Db"}};
    std::mt19937 rng(29);
    int derived = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        for (int e = 0; e < 1 + static_cast<int>(rng() % 3); ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            if (rng() % 2 == 0) {
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), bytes[rng() % bytes.size()]);
            } else if (at < text.size()) {
                text.erase(at, 1);
            }
        }
        const KeyContext& key = keys[rng() % keys.size()];
        const auto numeral = deriveRomanNumeralFromSymbol(text, key);
        if (!numeral) continue;
        ++derived;
        std::string_view rest = *numeral;
        while (rest.starts_with("\u266D") || rest.starts_with("\u266F")) rest.remove_prefix(3);
        ASSERT_FALSE(rest.empty()) << text;
        ASSERT_TRUE(rest[0] == 'I' || rest[0] == 'V' || rest[0] == 'i' || rest[0] == 'v') << text;
    }
    EXPECT_GT(derived, 1000);
}

}  // namespace
}  // namespace quillex
