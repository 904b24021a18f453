// Tests of keys, scales, diatonic chords and the key-aware note spellers.
#include "theory/musical_key.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "key_samples.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"

namespace quillex {
namespace {

using testing::kAMelodic;
using testing::kANatural;
using testing::kCMajor;
using testing::kFSharpMajor;

// The 36 keys: each root as major, natural minor and melodic minor.
std::vector<MusicalKey> allKeys() {
    std::vector<MusicalKey> keys;
    for (std::uint8_t root = 0; root < 12; ++root) {
        for (auto [mode, type] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
            keys.push_back({root, static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(type)});
        }
    }
    return keys;
}

std::string describe(const MusicalKey& key) {
    return "key " + std::to_string(key.root) + "/" + std::to_string(key.mode) + "/" +
           std::to_string(key.minorScaleType);
}

std::vector<std::string> qualitiesOf(const std::vector<DiatonicChord>& chords) {
    std::vector<std::string> names;
    for (const auto& chord : chords) names.push_back(chord.quality);
    return names;
}

TEST(MusicalKeyScale, ScaleDegreeOfFindsExactlyTheScaleTones) {
    EXPECT_EQ(scaleDegreeOf(kCMajor, 4), 3);
    EXPECT_EQ(scaleDegreeOf(kCMajor, 6), 0);
    EXPECT_EQ(scaleDegreeOf(kANatural, 8), 0);
    EXPECT_EQ(scaleDegreeOf(kAMelodic, 8), 7);
    EXPECT_EQ(scaleKindOf({0, 5, 1}), ScaleKind::MelodicMinor);  // any non-zero mode is minor
    for (const MusicalKey& key : allKeys()) {
        int found = 0;
        for (std::uint8_t pc = 0; pc < 12; ++pc) {
            const int degree = scaleDegreeOf(key, pc);
            if (degree == 0) continue;
            ++found;
            EXPECT_EQ((key.root + scaleIntervalsOf(key)[degree - 1]) % 12, pc) << describe(key);
        }
        EXPECT_EQ(found, 7) << describe(key);
    }
}

TEST(MusicalKeyDiatonic, ListsBySizeAndScale) {
    const auto aMinor = diatonicChordsOfKey(kANatural, kNaturalMinorScale, 3);
    EXPECT_EQ(qualitiesOf(aMinor), (std::vector<std::string>{"m", "dim", "", "m", "", "", ""}));
    EXPECT_EQ(aMinor[4], (DiatonicChord{4, "", 5, ""}));  // E major, not E minor
    for (int extension : {7, 0, 11, 13}) {
        EXPECT_EQ(qualitiesOf(diatonicChordsOfKey(kCMajor, 0, extension)),
                  (std::vector<std::string>{"maj7", "m7", "m7", "maj7", "7", "m7", "m7b5"}));
    }
    EXPECT_EQ(qualitiesOf(diatonicChordsOfKey(kCMajor, 0, 9))[6], "m9b5");
    // The separate type argument chooses scale and list for a minor key only.
    const auto melodic = diatonicChordsOfKey(kANatural, kMelodicMinorScale, 7);
    EXPECT_EQ(qualitiesOf(melodic), (std::vector<std::string>{"mM7", "m7", "maj7#5", "7", "7", "m7b5", "m7b5"}));
    EXPECT_EQ(melodic[6].root, 8);
    EXPECT_EQ(diatonicChordsOfKey(kAMelodic, 2, 3)[6].root, 7);
    EXPECT_EQ(diatonicChordsOfKey(kCMajor, 1, 3), diatonicChordsOfKey(kCMajor, 0, 3));
    for (int degree : {0, 8}) {
        EXPECT_EQ(diatonicChordOfDegree({5, 0, 0}, degree, true), (DiatonicChord{5, "", degree, ""}));
    }
    EXPECT_EQ(diatonicChordOfDegree(kAMelodic, 3, false), (DiatonicChord{0, "+", 3, ""}));
}

TEST(MusicalKeyDiatonic, EveryListedQualityIsKnownToTheVocabulary) {
    for (ScaleKind kind : {ScaleKind::Major, ScaleKind::NaturalMinor, ScaleKind::MelodicMinor}) {
        for (DiatonicChordSize size :
             {DiatonicChordSize::Triad, DiatonicChordSize::Seventh, DiatonicChordSize::Ninth}) {
            for (std::string_view quality : diatonicQualityList(kind, size)) {
                if (quality.empty()) continue;
                EXPECT_TRUE(lookupChordQuality(quality)) << quality;
            }
        }
    }
}

TEST(MusicalKeyDiatonic, DegreeOfChordRootAcceptsRaisedSixthAndSeventhInMinor) {
    EXPECT_EQ(degreeOfChordRoot(kANatural, 5), 6);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 6), 6);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 7), 7);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 8), 7);
    EXPECT_EQ(degreeOfChordRoot(kAMelodic, 7), 0);
    EXPECT_EQ(degreeOfChordRoot(kCMajor, 1), 0);
}

TEST(MusicalKeySpelling, DefaultDirectionAndScaleDegreeNames) {
    EXPECT_TRUE(keyPrefersFlatsByDefault({5, 0, 0}));
    EXPECT_TRUE(keyPrefersFlatsByDefault({10, 0, 0}));
    EXPECT_FALSE(keyPrefersFlatsByDefault(kFSharpMajor));
    for (std::uint8_t root : {0, 2, 7}) EXPECT_TRUE(keyPrefersFlatsByDefault({root, 1, 1}));
    for (std::uint8_t root : {1, 6, 8}) EXPECT_FALSE(keyPrefersFlatsByDefault({root, 1, 0}));
    EXPECT_EQ(spellScaleDegreeNote(kFSharpMajor, 1, std::nullopt, std::nullopt), "F#");
    EXPECT_EQ(spellScaleDegreeNote(kFSharpMajor, 7, std::nullopt, std::nullopt), "E#");
    EXPECT_EQ(spellScaleDegreeNote(kFSharpMajor, 7, std::nullopt, true), "F");
    EXPECT_EQ(spellScaleDegreeNote(kFSharpMajor, 4, true, std::nullopt), "Cb");
    EXPECT_EQ(spellScaleDegreeNote(kFSharpMajor, 4, true, true), "B");
    EXPECT_EQ(spellScaleDegreeNote({0, 1, 0}, 3, std::nullopt, std::nullopt), "Eb");
    EXPECT_EQ(spellScaleDegreeNote(kCMajor, 8, true, true), "");
}

// Every key in both directions: seven distinct letters, each naming its scale tone.
TEST(MusicalKeySpelling, ScaleDegreeNamesAreLetterTrueInAllKeys) {
    for (const MusicalKey& key : allKeys()) {
        for (bool flats : {false, true}) {
            std::set<char> letters;
            for (int degree = 1; degree <= 7; ++degree) {
                const std::string name = spellScaleDegreeNote(key, degree, flats, std::nullopt);
                ASSERT_FALSE(name.empty());
                letters.insert(name[0]);
                EXPECT_LE(name.size(), 3u) << name;
                EXPECT_EQ(parseKeyRoot(name), (key.root + scaleIntervalsOf(key)[degree - 1]) % 12)
                    << describe(key) << " " << name;
            }
            EXPECT_EQ(letters.size(), 7u) << describe(key) << " flats " << flats;
        }
    }
}

TEST(MusicalKeySpelling, PitchClassInKeyTieRules) {
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 1, std::nullopt, std::nullopt), "C#");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 10, std::nullopt, std::nullopt), "A#");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 1, true, std::nullopt), "Db");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 10, true, std::nullopt), "Bb");
    // Root 6 reads as F# major by default and as Gb major with flats; an exact
    // scale tone keeps its letter either way.
    EXPECT_EQ(spellPitchClassInKey(kFSharpMajor, 11, std::nullopt, std::nullopt), "B");
    EXPECT_EQ(spellPitchClassInKey(kFSharpMajor, 11, true, std::nullopt), "Cb");
    EXPECT_EQ(spellPitchClassInKey(kFSharpMajor, 5, std::nullopt, std::nullopt), "E#");
    // A candidate counts its degree's own accidental: E on the E# degree is E.
    EXPECT_EQ(*spellPitchClassOnDegree(kFSharpMajor, 7, 4, false), (DegreeSpelling{"E", 1, 0, 0, 7}));
    EXPECT_EQ(spellPitchClassOnDegree(kCMajor, 1, 1, true)->directionPenalty, 2);
    EXPECT_FALSE(spellPitchClassOnDegree(kCMajor, 1, 3, false).has_value());
}

TEST(MusicalKeySpelling, PitchClassInKeyAlwaysNamesThePitchClass) {
    for (const MusicalKey& key : allKeys()) {
        for (std::optional<bool> flats :
             {std::optional<bool>{}, std::optional<bool>{true}, std::optional<bool>{false}}) {
            for (std::uint8_t pc = 0; pc < 12; ++pc) {
                const std::string name = spellPitchClassInKey(key, pc, flats, std::nullopt);
                EXPECT_EQ(parseKeyRoot(name), pc) << describe(key) << " " << name;
                if (const int degree = scaleDegreeOf(key, pc); degree != 0) {
                    EXPECT_EQ(name, spellScaleDegreeNote(key, degree, flats, std::nullopt));
                }
                const std::string simple = spellPitchClassInKey(key, pc, flats, true);
                EXPECT_EQ(parseKeyRoot(simple), pc) << simple;
                EXPECT_LE(simple.size(), 2u) << simple;
            }
        }
    }
}

TEST(MusicalKeySpelling, ChordToneTakesItsLetterFromTheChordDegree) {
    const Chord g7 = *parseChordSymbol("G7");
    EXPECT_EQ(spellChordToneInKey(kCMajor, g7, 5, std::nullopt, std::nullopt), "F");
    EXPECT_EQ(spellChordToneInKey(kCMajor, g7, 8, std::nullopt, std::nullopt), "Ab");  // by interval
    // The diminished seventh's 9 is a seventh: Bdim7's top note is Ab, not G#.
    const Chord bdim7 = *parseChordSymbol("Bdim7");
    EXPECT_EQ(spellChordToneInKey(kCMajor, bdim7, 8, std::nullopt, std::nullopt), "Ab");
    // In Gb minor the E chord's root is Fb and its third Ab; simplified, E.
    const Chord e = *parseChordSymbol("E");
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, e, 8, true, std::nullopt), "Ab");
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, e, 4, true, std::nullopt), "Fb");
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, e, 4, true, true), "E");
}

TEST(MusicalKeySimplify, RewritesOnlyTheListedSpellings) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Ebb", "D"}, {"F##", "G"}, {"B#", "C"}, {"E#", "F"},  {"Fb", "E"},    {"Cb", "B"},   {"Bbbb", "Ab"},
        {"Bb", "Bb"}, {"C#", "C#"}, {"", ""},    {"cb", "cb"}, {"C#b", "C#b"}, {"H##", "H##"}};
    for (const auto& [name, simple] : cases) EXPECT_EQ(simplifyNoteName(name), simple) << name;
}

}  // namespace
}  // namespace quillex
