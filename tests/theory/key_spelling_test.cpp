// Tests of spelling tokens, spelling options and their readers, and chord symbols spelled in a key.
#include "theory/key_spelling.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "key_samples.h"
#include "theory/pitch_class.h"

namespace quillex {
namespace {

using testing::kCMajorContext;
using testing::kCMinorContext;
using testing::kEbMajorContext;

using nlohmann::json;

constexpr SpellingOptions kPlain{false, false};
constexpr SpellingOptions kFlatsSimplified{true, true};
constexpr SpellingOptions kSharpsSimplified{false, true};

TEST(SpellingTokens, RootAndSlashBassTokens) {
    const std::vector<std::pair<std::string, std::string>> roots = {{"bbm", "Bb"},  {"Ebb", "Ebb"}, {"B#b", "B#"},
                                                                    {"C#m7", "C#"}, {"CB", "C"},    {"H7", ""},
                                                                    {"7", ""},      {"", ""},       {" C", ""}};
    for (const auto& [text, token] : roots) EXPECT_EQ(rootSpellingToken(text), token) << text;
    EXPECT_EQ(rootSpellingToken(std::string("f##m")), "F##");
    EXPECT_EQ(slashBassSpellingToken("Am7/G"), "G");
    EXPECT_EQ(slashBassSpellingToken("C/Bb"), "Bb");
    EXPECT_EQ(slashBassSpellingToken("Am7/"), "");
    EXPECT_EQ(slashBassSpellingToken("Am7"), "");
}

TEST(SpellingTokens, PitchClassOnLetterIgnoresTheTokensAccidentals) {
    EXPECT_EQ(spellPitchClassOnLetter(1, "D"), "Db");
    EXPECT_EQ(spellPitchClassOnLetter(1, "C"), "C#");
    EXPECT_EQ(spellPitchClassOnLetter(0, "B"), "B#");
    EXPECT_EQ(spellPitchClassOnLetter(1, "Bb"), "B##");
    EXPECT_EQ(spellPitchClassOnLetter(6, "C"), "C######");
    EXPECT_EQ(spellPitchClassOnLetter(1, "#C"), "");
    EXPECT_EQ(spellPitchClassOnLetter(4, std::string("Fb")), "Fb");
    for (char letter : std::string_view("CDEFGAB")) {
        for (std::uint8_t pc = 0; pc < 12; ++pc) {
            const std::string name = spellPitchClassOnLetter(pc, std::string(1, letter));
            EXPECT_EQ(name[0], letter);
            EXPECT_EQ(parseKeyRoot(name), pc) << name;
        }
    }
}

TEST(SpellingOptionsResolve, ChordRootAccidentalThenPreferenceThenFifths) {
    for (auto pref : {SpellingPreference::Fifths, SpellingPreference::Flats, SpellingPreference::Sharps}) {
        EXPECT_TRUE(resolveSpellingOptions(pref, false, 6, "Bb").preferFlats);
        EXPECT_FALSE(resolveSpellingOptions(pref, false, 3, "F#").preferFlats);
    }
    EXPECT_TRUE(resolveSpellingOptions(SpellingPreference::Flats, true, 0, "B").preferFlats);
    EXPECT_FALSE(resolveSpellingOptions(SpellingPreference::Sharps, true, 3, "").preferFlats);
    // "fifths" is mode-blind: flats for key roots 1, 3, 8 and 10 only (not 5, not 6).
    for (std::uint8_t root = 0; root < 12; ++root) {
        const bool flat = root == 1 || root == 3 || root == 8 || root == 10;
        EXPECT_EQ(resolveSpellingOptions(SpellingPreference::Fifths, true, root, "F"), (SpellingOptions{flat, true}))
            << int(root);
    }
}

TEST(SpellingOptionsRead, DefaultsAndValidValues) {
    std::string error;
    EXPECT_EQ(readSpellingOptions(json::object(), 0, "", error), (SpellingOptions{false, true}));
    SpellingPreference pref = SpellingPreference::Flats;
    EXPECT_TRUE(readSpellingPreference(json::array(), pref, error));
    EXPECT_EQ(pref, SpellingPreference::Fifths);
    for (auto name : {"fifths", "flats", "sharps"}) {
        ASSERT_TRUE(readSpellingPreference(json{{"spellingPreference", name}}, pref, error));
        EXPECT_EQ(spellingPreferenceName(pref), name);
    }
    EXPECT_EQ(readSpellingOptions(json{{"spellingPreference", "sharps"}, {"simplifyAccidentals", false}}, 3, "", error),
              (SpellingOptions{false, false}));
    EXPECT_TRUE(error.empty());
}

TEST(SpellingOptionsRead, InvalidValuesFailWithTheExactTexts) {
    const std::string expected = "Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\"";
    SpellingPreference pref;
    bool simplify;
    for (const json& bad : {json(nullptr), json(1), json::array()}) {
        std::string error;
        EXPECT_FALSE(readSpellingPreference(json{{"spellingPreference", bad}}, pref, error));
        EXPECT_EQ(error, expected);
        EXPECT_FALSE(readSimplifyAccidentals(json{{"simplifyAccidentals", bad}}, simplify, error));
        EXPECT_EQ(error, "Invalid simplifyAccidentals: expected boolean");
    }
    std::string error;
    EXPECT_FALSE(readSpellingPreference(json{{"spellingPreference", "Flats"}}, pref, error));
    EXPECT_EQ(error, "Invalid spellingPreference: Flats");
    EXPECT_FALSE(readSpellingOptions(json{{"spellingPreference", ""}, {"simplifyAccidentals", "yes"}}, 0, "", error));
    EXPECT_EQ(error, "Invalid spellingPreference: ");
    EXPECT_FALSE(readSpellingOptions(json{{"simplifyAccidentals", "yes"}}, 0, "", error));
    EXPECT_EQ(error, "Invalid simplifyAccidentals: expected boolean");
}

TEST(AlteredDegrees, ChromaticTonesChooseRaisedLowerOrLoweredUpperDegree) {
    EXPECT_EQ(nearestAlteredDegree(kCMajorContext, 1, kPlain), (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajorContext, 1, SpellingOptions{true, false}), (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajorContext, 1, kFlatsSimplified), (AlteredDegree{1, -1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajorContext, 1, kSharpsSimplified), (AlteredDegree{0, 1, true}));
    EXPECT_EQ(nearestAlteredDegree(kCMajorContext, 6, kFlatsSimplified), (AlteredDegree{4, -1, true}));
    EXPECT_EQ(*spellAlteredDegree(kCMajorContext, 4, -1), "Gb");
    // The tonic counts as the lowest degree across the octave.
    EXPECT_EQ(nearestAlteredDegree(kCMinorContext, 11, kPlain), (AlteredDegree{0, -1, true}));
    EXPECT_EQ(*spellAlteredDegree(kCMinorContext, 0, -1), "Cb");
    EXPECT_EQ(nearestAlteredDegree(kCMinorContext, 11, kSharpsSimplified), (AlteredDegree{6, 1, true}));
    // Out-of-range degrees; huge alterations wrap (INT32_MAX = 7 mod 12).
    EXPECT_FALSE(spellAlteredDegree(kCMajorContext, 7, 0).has_value());
    EXPECT_FALSE(spellAlteredDegree(kCMajorContext, -1, 0).has_value());
    EXPECT_EQ(*spellAlteredDegree(kCMajorContext, 0, std::numeric_limits<std::int32_t>::max()), "Cbbbbb");
    EXPECT_EQ(*spellAlteredDegree(kCMajorContext, 6, std::numeric_limits<std::int32_t>::min()), "B####");
}

// 36 keys x 12 pitch classes x 4 option sets: one semitone at most off the
// chosen degree, spelled on that degree's letter.
TEST(AlteredDegrees, SpelledPositionsAlwaysNameThePitchClass) {
    for (std::uint8_t root = 0; root < 12; ++root) {
        for (auto [mode, type] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
            const KeyContext key{{root, static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(type)},
                                 std::string(pitchClassName(root, true))};
            const int keyLetter = noteLetterIndex(static_cast<std::uint8_t>(key.rootSpelling[0]));
            for (std::uint8_t pc = 0; pc < 12; ++pc) {
                for (SpellingOptions options :
                     {kPlain, SpellingOptions{true, false}, kSharpsSimplified, kFlatsSimplified}) {
                    const AlteredDegree position = nearestAlteredDegree(key, pc, options);
                    ASSERT_TRUE(position.valid);
                    EXPECT_LE(std::abs(position.alteration), 1);
                    const std::string name = *spellAlteredDegree(key, position.degree, position.alteration);
                    EXPECT_EQ(parseKeyRoot(name), pc) << name;
                    EXPECT_EQ(noteLetterIndex(static_cast<std::uint8_t>(name[0])), (keyLetter + position.degree) % 7);
                }
            }
        }
    }
}

TEST(ChordSymbolInKey, SpellsRootQualityAndBassOnScaleLetters) {
    EXPECT_EQ(spellChordSymbolInKey(kEbMajorContext, 3, "maj7", 7, kPlain, std::nullopt), "Ebmaj7/G");
    EXPECT_EQ(spellChordSymbolInKey(kEbMajorContext, 1, "7", std::nullopt, kFlatsSimplified, std::nullopt), "Db7");
    EXPECT_EQ(spellChordSymbolInKey(kEbMajorContext, 1, "7", std::nullopt, {true, false}, std::nullopt), "C#7");
    EXPECT_EQ(spellChordSymbolInKey(kCMajorContext, 7, "m(add9)", 1, kFlatsSimplified, std::nullopt), "Gm(add9)/Db");
    // A hint forces the letters of root and bass.
    EXPECT_EQ(spellChordSymbolInKey(kCMajorContext, 0, "", 4, kPlain, DegreeHint{6, 3}), "B#/Fb");
    EXPECT_EQ(spellChordSymbolInKey(kCMajorContext, 0, "7", 10, kPlain, DegreeHint{0, 6}), "C7/Bb");
    EXPECT_FALSE(spellChordSymbolInKey(kCMajorContext, 0, "", std::nullopt, kPlain, DegreeHint{7, std::nullopt}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajorContext, 0, "", std::nullopt, kPlain, DegreeHint{0, 2}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajorContext, 0, "", 4, kPlain, DegreeHint{0, std::nullopt}));
    EXPECT_FALSE(spellChordSymbolInKey(kCMajorContext, 0, "", 4, kPlain, DegreeHint{0, 9}));
    // A key spelling without a letter spells nothing.
    for (const std::string& spelling : {std::string(), std::string("H"), std::string("#C")}) {
        const KeyContext bad{{0, 0, 0}, spelling};
        EXPECT_FALSE(spellAlteredDegree(bad, 0, 0).has_value());
        EXPECT_FALSE(nearestAlteredDegree(bad, 0, kPlain).valid);
        EXPECT_FALSE(spellChordSymbolInKey(bad, 0, "m", std::nullopt, kPlain, std::nullopt));
    }
}

// Bounded seeded fuzz of the token readers: results are always well-formed tokens.
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
            ASSERT_TRUE(token[0] >= 'A' && token[0] <= 'G') << text;
            ASSERT_EQ(token.find_first_not_of(token.size() > 1 ? token[1] : '#', 1), std::string::npos);
            const auto pc = parseKeyRoot(token);
            ASSERT_TRUE(pc.has_value()) << text;
            EXPECT_EQ(parseKeyRoot(spellPitchClassOnLetter(*pc, token)), pc) << text;
        }
    }
}

TEST(SpellingPreferenceReading, SpellingPreferencePresence) {
    EXPECT_TRUE(hasSpellingPreference(nlohmann::json{{"spellingPreference", nullptr}}));
    EXPECT_TRUE(hasSpellingPreference(nlohmann::json{{"spellingPreference", 3}}));
    EXPECT_FALSE(hasSpellingPreference(nlohmann::json{{"spelling", "flats"}}));
    EXPECT_FALSE(hasSpellingPreference(nlohmann::json::array({"spellingPreference"})));
    EXPECT_FALSE(hasSpellingPreference(nlohmann::json("spellingPreference")));
}

}  // namespace
}  // namespace quillex
