// Tests of spelling tokens, spelling options and their readers, and chord symbols spelled in a key.
#include "theory/key_spelling.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "theory/pitch_class.h"

namespace quillex {
namespace {

using nlohmann::json;

const KeyContext kCMajor{{0, kMajorMode, kNaturalMinorScale}, "C"};
const KeyContext kCMinor{{0, kMinorMode, kNaturalMinorScale}, "C"};
const KeyContext kEbMajor{{3, kMajorMode, kNaturalMinorScale}, "Eb"};

constexpr SpellingOptions kPlain{false, false};
constexpr SpellingOptions kFlatsSimplified{true, true};
constexpr SpellingOptions kSharpsSimplified{false, true};

TEST(SpellingTokens, RootTokenTakesLetterAndOneRunOfAccidentals) {
    EXPECT_EQ(rootSpellingToken("bbm"), "Bb");
    EXPECT_EQ(rootSpellingToken("Ebb"), "Ebb");
    EXPECT_EQ(rootSpellingToken("B#b"), "B#");
    EXPECT_EQ(rootSpellingToken("C#m7"), "C#");
    EXPECT_EQ(rootSpellingToken("CB"), "C");
    EXPECT_EQ(rootSpellingToken("g"), "G");
    for (std::string_view none : {"H7", "7", "", " C", "#C"}) EXPECT_EQ(rootSpellingToken(none), "");
    EXPECT_EQ(rootSpellingTokenFromView("f##m"), "F##");
}

TEST(SpellingTokens, SlashBassTokenReadsAfterTheFirstSlash) {
    EXPECT_EQ(slashBassSpellingToken("Am7/G"), "G");
    EXPECT_EQ(slashBassSpellingToken("C/Bb"), "Bb");
    EXPECT_EQ(slashBassSpellingToken("C/e"), "E");
    EXPECT_EQ(slashBassSpellingToken("Am7/"), "");
    EXPECT_EQ(slashBassSpellingToken("Am7"), "");
    EXPECT_EQ(slashBassSpellingToken("C6/9"), "");
}

TEST(SpellingTokens, PitchClassOnLetterIgnoresTheTokensAccidentals) {
    EXPECT_EQ(spellPitchClassOnLetter(1, "D"), "Db");
    EXPECT_EQ(spellPitchClassOnLetter(1, "C"), "C#");
    EXPECT_EQ(spellPitchClassOnLetter(0, "B"), "B#");
    EXPECT_EQ(spellPitchClassOnLetter(1, "Bb"), "B##");
    EXPECT_EQ(spellPitchClassOnLetter(6, "C"), "C######");
    EXPECT_EQ(spellPitchClassOnLetter(5, "b"), "Bbbbbbb");
    EXPECT_EQ(spellPitchClassOnLetter(1, ""), "");
    EXPECT_EQ(spellPitchClassOnLetter(1, "#C"), "");
    EXPECT_EQ(spellPitchClassOnLetterFromView(4, "Fb"), "Fb");
}

// Every pitch class on every letter names that pitch class within six accidentals.
TEST(SpellingTokens, PitchClassOnLetterIsExactForAllLettersAndPitchClasses) {
    for (char letter : std::string_view("CDEFGAB")) {
        for (std::uint8_t pc = 0; pc < 12; ++pc) {
            const std::string name = spellPitchClassOnLetter(pc, std::string(1, letter));
            ASSERT_EQ(name[0], letter);
            EXPECT_LE(name.size(), 7u);
            EXPECT_EQ(parseKeyRoot(name), pc) << name;
        }
    }
}

TEST(SpellingOptionsResolve, ChordRootAccidentalDecidesFirst) {
    for (auto pref : {SpellingPreference::Fifths, SpellingPreference::Flats,
                      SpellingPreference::Sharps}) {
        EXPECT_TRUE(resolveSpellingOptions(pref, false, 6, "Bb").preferFlats);
        EXPECT_FALSE(resolveSpellingOptions(pref, false, 3, "F#").preferFlats);
    }
    EXPECT_TRUE(resolveSpellingOptions(SpellingPreference::Fifths, false, 3, "F").preferFlats);
    EXPECT_FALSE(resolveSpellingOptions(SpellingPreference::Fifths, false, 6, "F").preferFlats);
    EXPECT_TRUE(resolveSpellingOptions(SpellingPreference::Flats, true, 0, "").preferFlats);
    EXPECT_FALSE(resolveSpellingOptions(SpellingPreference::Sharps, true, 3, "B").preferFlats);
    EXPECT_TRUE(resolveSpellingOptions(SpellingPreference::Sharps, true, 3, "").simplifyAccidentals);
}

// The "fifths" preference is mode-blind: flats for roots 1, 3, 8 and 10 only.
TEST(SpellingOptionsResolve, FifthsFollowsTheDefaultNoteNameOfTheKeyRoot) {
    const std::set<int> flatRoots = {1, 3, 8, 10};
    for (std::uint8_t root = 0; root < 12; ++root) {
        EXPECT_EQ(resolveSpellingOptions(SpellingPreference::Fifths, false, root, "").preferFlats,
                  flatRoots.contains(root))
            << int(root);
    }
}

TEST(SpellingOptionsRead, AbsentKeysGiveFifthsAndSimplify) {
    std::string error;
    const auto options = readSpellingOptions(json::object(), 0, "", error);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(*options, (SpellingOptions{false, true}));
    SpellingPreference pref = SpellingPreference::Flats;
    EXPECT_TRUE(readSpellingPreference(json::array(), pref, error));
    EXPECT_EQ(pref, SpellingPreference::Fifths);
    bool simplify = false;
    EXPECT_TRUE(readSimplifyAccidentals(json(3), simplify, error));
    EXPECT_TRUE(simplify);
    EXPECT_TRUE(error.empty());
}

TEST(SpellingOptionsRead, ValidValuesAreReadExactly) {
    std::string error;
    SpellingPreference pref = SpellingPreference::Fifths;
    for (auto [text, expected] : {std::pair{"fifths", SpellingPreference::Fifths},
                                  std::pair{"flats", SpellingPreference::Flats},
                                  std::pair{"sharps", SpellingPreference::Sharps}}) {
        ASSERT_TRUE(readSpellingPreference(json{{"spellingPreference", text}}, pref, error));
        EXPECT_EQ(pref, expected);
        EXPECT_EQ(spellingPreferenceName(expected), text);
    }
    bool simplify = true;
    ASSERT_TRUE(readSimplifyAccidentals(json{{"simplifyAccidentals", false}}, simplify, error));
    EXPECT_FALSE(simplify);
    const auto options = readSpellingOptions(
        json{{"spellingPreference", "sharps"}, {"simplifyAccidentals", false}}, 3, "", error);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(*options, (SpellingOptions{false, false}));
}

TEST(SpellingOptionsRead, InvalidValuesFailWithTheExactTexts) {
    const std::string expected =
        "Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\"";
    SpellingPreference pref;
    for (const json& bad : {json(nullptr), json(1), json(true), json::array()}) {
        std::string error;
        EXPECT_FALSE(readSpellingPreference(json{{"spellingPreference", bad}}, pref, error));
        EXPECT_EQ(error, expected);
    }
    std::string error;
    EXPECT_FALSE(readSpellingPreference(json{{"spellingPreference", "Flats"}}, pref, error));
    EXPECT_EQ(error, "Invalid spellingPreference: Flats");
    for (const json& bad : {json("yes"), json(nullptr), json(1)}) {
        std::string simplifyError;
        bool simplify;
        EXPECT_FALSE(readSimplifyAccidentals(json{{"simplifyAccidentals", bad}}, simplify,
                                             simplifyError));
        EXPECT_EQ(simplifyError, "Invalid simplifyAccidentals: expected boolean");
    }
    // The preference is read first; its failure ends the combined read.
    std::string combined;
    EXPECT_FALSE(readSpellingOptions(
                     json{{"spellingPreference", ""}, {"simplifyAccidentals", "no"}}, 0, "", combined)
                     .has_value());
    EXPECT_EQ(combined, "Invalid spellingPreference: ");
    EXPECT_FALSE(readSpellingOptions(json{{"simplifyAccidentals", "no"}}, 0, "", combined)
                     .has_value());
    EXPECT_EQ(combined, "Invalid simplifyAccidentals: expected boolean");
}

TEST(AlteredDegrees, NearestDegreeInCMajor) {
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 1, kPlain), (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 1, kFlatsSimplified), (AlteredDegree{1, -1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 1, kSharpsSimplified), (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 1, SpellingOptions{true, false}),
              (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 6, kPlain), (AlteredDegree{3, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 6, kFlatsSimplified), (AlteredDegree{4, -1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajor, 7, kFlatsSimplified), (AlteredDegree{4, 0, true}));
    EXPECT_EQ(*spellAlteredDegree(kCMajor, 3, 1), "F#");
    EXPECT_EQ(*spellAlteredDegree(kCMajor, 4, -1), "Gb");
}

TEST(AlteredDegrees, TonicCountsAsLowestDegreeAcrossTheOctave) {
    EXPECT_EQ(nearestAlteredDegree(kCMinor, 11, kPlain), (AlteredDegree{0, -1, true}));
    EXPECT_EQ(*spellAlteredDegree(kCMinor, 0, -1), "Cb");
    EXPECT_EQ(nearestAlteredDegree(kCMinor, 11, kFlatsSimplified), (AlteredDegree{0, -1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMinor, 11, kSharpsSimplified), (AlteredDegree{6, 1, true}));
    EXPECT_EQ(*spellAlteredDegree(kCMinor, 6, 1), "B");
}

TEST(AlteredDegrees, OutOfRangeDegreesAndLetterlessKeysGiveNothing) {
    EXPECT_FALSE(spellAlteredDegree(kCMajor, 7, 0).has_value());
    EXPECT_FALSE(spellAlteredDegree(kCMajor, -1, 0).has_value());
    // Huge alterations wrap without overflow.
    // INT32_MAX = 7 mod 12; 11 + INT32_MIN = 3 mod 12.
    EXPECT_EQ(*spellAlteredDegree(kCMajor, 0, std::numeric_limits<std::int32_t>::max()), "Cbbbbb");
    EXPECT_EQ(*spellAlteredDegree(kCMajor, 6, std::numeric_limits<std::int32_t>::min()), "B####");
    for (const std::string& spelling : {std::string(), std::string("H"), std::string("#C")}) {
        const KeyContext bad{{0, 0, 0}, spelling};
        EXPECT_FALSE(spellAlteredDegree(bad, 0, 0).has_value());
        EXPECT_FALSE(nearestAlteredDegree(bad, 0, kPlain).valid);
        EXPECT_FALSE(spellChordSymbolInKey(bad, 0, "m", std::nullopt, kPlain, std::nullopt));
    }
}

// 36 keys x 12 pitch classes x 4 option sets: the spelled name is the pitch class,
// on the letter of the chosen degree.
TEST(AlteredDegrees, SpelledPositionsAlwaysNameThePitchClass) {
    for (std::uint8_t root = 0; root < 12; ++root) {
        for (auto [mode, type] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
            const KeyContext key{{root, static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(type)},
                                 std::string(pitchClassName(root, true))};
            for (std::uint8_t pc = 0; pc < 12; ++pc) {
                for (SpellingOptions options : {SpellingOptions{false, false}, SpellingOptions{true, false},
                                                kSharpsSimplified, kFlatsSimplified}) {
                    const AlteredDegree position = nearestAlteredDegree(key, pc, options);
                    ASSERT_TRUE(position.valid);
                    EXPECT_LE(std::abs(position.alteration), 1);
                    const auto name = spellAlteredDegree(key, position.degree, position.alteration);
                    ASSERT_TRUE(name.has_value());
                    EXPECT_EQ(parseKeyRoot(*name), pc) << *name;
                    EXPECT_EQ(noteLetterIndex(static_cast<std::uint8_t>((*name)[0])),
                              (noteLetterIndex(static_cast<std::uint8_t>(key.rootSpelling[0])) +
                               position.degree) % 7);
                }
            }
        }
    }
}

TEST(ChordSymbolInKey, SpellsRootQualityAndBassOnScaleLetters) {
    EXPECT_EQ(*spellChordSymbolInKey(kEbMajor, 3, "maj7", 7, kPlain, std::nullopt), "Ebmaj7/G");
    EXPECT_EQ(*spellChordSymbolInKey(kEbMajor, 1, "7", std::nullopt, kFlatsSimplified, std::nullopt),
              "Db7");
    EXPECT_EQ(*spellChordSymbolInKey(kEbMajor, 1, "7", std::nullopt, SpellingOptions{true, false},
                                     std::nullopt),
              "C#7");
    EXPECT_EQ(*spellChordSymbolInKey(kCMajor, 0, "", std::nullopt, kPlain, std::nullopt), "C");
    EXPECT_EQ(*spellChordSymbolInKey(kCMajor, 7, "m(add9)", 1, kFlatsSimplified, std::nullopt),
              "Gm(add9)/Db");
}

TEST(ChordSymbolInKey, HintForcesTheLettersOfRootAndBass) {
    EXPECT_EQ(*spellChordSymbolInKey(kCMajor, 1, "", std::nullopt, kPlain, DegreeHint{1, std::nullopt}),
              "Db");
    EXPECT_EQ(*spellChordSymbolInKey(kCMajor, 0, "7", 10, kPlain, DegreeHint{0, 6}), "C7/Bb");
    EXPECT_EQ(*spellChordSymbolInKey(kCMajor, 0, "", 4, kPlain, DegreeHint{6, 3}), "B#/Fb");
    EXPECT_FALSE(spellChordSymbolInKey(kCMajor, 0, "", std::nullopt, kPlain, DegreeHint{7, std::nullopt}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajor, 0, "", std::nullopt, kPlain, DegreeHint{-1, std::nullopt}));
    // A bass degree without a bass, or a bass without a bass degree.
    EXPECT_FALSE(spellChordSymbolInKey(kCMajor, 0, "", std::nullopt, kPlain, DegreeHint{0, 2}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajor, 0, "", 4, kPlain, DegreeHint{0, std::nullopt}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajor, 0, "", 4, kPlain, DegreeHint{0, 9}));
}

// Bounded seeded fuzz of the token readers: results are always tokens of the input.
TEST(SpellingTokensFuzz, MutatedTextsGiveWellFormedTokens) {
    const std::vector<std::string> seeds = {"Bb", "C#m7/G#", "ebb", "F##maj7/A", "Am7/", "g/B#b"};
    const std::string bytes = "ABCDEFGHabcdefgh#b/m7 \xE2\x99\xAD";
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        for (int e = 0; e < 1 + static_cast<int>(rng() % 4); ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            if (rng() % 2 == 0) {
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), bytes[rng() % bytes.size()]);
            } else if (at < text.size()) {
                text[at] = static_cast<char>(rng() % 256);
            }
        }
        for (const std::string& token : {rootSpellingToken(text), slashBassSpellingToken(text)}) {
            if (token.empty()) continue;
            ASSERT_TRUE(parseKeyRoot(token).has_value()) << text;
            ASSERT_TRUE(token[0] >= 'A' && token[0] <= 'G') << text;
            ASSERT_TRUE(token.find_first_not_of(token.size() > 1 ? token[1] : '#', 1) ==
                        std::string::npos)
                << text;
            const std::string name = spellPitchClassOnLetter(*parseKeyRoot(token), token);
            EXPECT_EQ(parseKeyRoot(name), parseKeyRoot(token)) << text;
        }
    }
}

}  // namespace
}  // namespace quillex
