// Tests of keys, scales, diatonic chords and the key-aware note spellers.
#include "theory/musical_key.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"

namespace quillex {
namespace {

constexpr MusicalKey kCMajor{0, kMajorMode, kNaturalMinorScale};
constexpr MusicalKey kANatural{9, kMinorMode, kNaturalMinorScale};
constexpr MusicalKey kAMelodic{9, kMinorMode, kMelodicMinorScale};

// The 36 keys: each root as major, natural minor and melodic minor.
std::vector<MusicalKey> allKeys() {
    std::vector<MusicalKey> keys;
    for (std::uint8_t root = 0; root < 12; ++root) {
        keys.push_back({root, kMajorMode, kNaturalMinorScale});
        keys.push_back({root, kMinorMode, kNaturalMinorScale});
        keys.push_back({root, kMinorMode, kMelodicMinorScale});
    }
    return keys;
}

std::string describe(const MusicalKey& key) {
    return "root " + std::to_string(key.root) + " mode " + std::to_string(key.mode) + " type " +
           std::to_string(key.minorScaleType);
}

std::vector<std::string> qualitiesOf(const std::vector<DiatonicChord>& chords) {
    std::vector<std::string> names;
    for (const auto& chord : chords) names.push_back(chord.quality);
    return names;
}

TEST(MusicalKeyScale, SelectionAsksOnlyWhetherModeIsZeroAndTypeIsOne) {
    EXPECT_EQ(scaleIntervalsOf(kCMajor), (ScaleIntervals{0, 2, 4, 5, 7, 9, 11}));
    EXPECT_EQ(scaleIntervalsOf(kANatural), (ScaleIntervals{0, 2, 3, 5, 7, 8, 10}));
    EXPECT_EQ(scaleIntervalsOf(kAMelodic), (ScaleIntervals{0, 2, 3, 5, 7, 9, 11}));
    EXPECT_EQ(scaleKindOf({0, 5, 1}), ScaleKind::MelodicMinor);
    EXPECT_EQ(scaleKindOf({0, 1, 7}), ScaleKind::NaturalMinor);
    EXPECT_EQ(scaleKindOf({0, 0, 1}), ScaleKind::Major);
}

TEST(MusicalKeyScale, ScaleDegreeOfFindsEveryScaleToneAndNothingElse) {
    EXPECT_EQ(scaleDegreeOf(kCMajor, 4), 3);
    EXPECT_EQ(scaleDegreeOf(kCMajor, 6), 0);
    EXPECT_EQ(scaleDegreeOf(kANatural, 8), 0);
    EXPECT_EQ(scaleDegreeOf(kAMelodic, 8), 7);
    for (const MusicalKey& key : allKeys()) {
        const ScaleIntervals& scale = scaleIntervalsOf(key);
        for (std::uint8_t pc = 0; pc < 12; ++pc) {
            int expected = 0;
            for (int d = 0; d < 7; ++d) {
                if ((key.root + scale[d]) % 12 == pc) expected = d + 1;
            }
            EXPECT_EQ(scaleDegreeOf(key, pc), expected) << describe(key) << " pc " << int(pc);
        }
    }
}

TEST(MusicalKeyDiatonic, NaturalMinorTriadsOfAHaveAMajorFifth) {
    const auto chords = diatonicChordsOfKey(kANatural, kNaturalMinorScale, 3);
    ASSERT_EQ(chords.size(), 7u);
    const std::vector<int> roots = {9, 11, 0, 2, 4, 5, 7};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(chords[i].root, roots[i]);
        EXPECT_EQ(chords[i].degree, i + 1);
        EXPECT_TRUE(chords[i].text.empty());
    }
    EXPECT_EQ(qualitiesOf(chords),
              (std::vector<std::string>{"m", "dim", "", "m", "", "", ""}));
}

TEST(MusicalKeyDiatonic, ExtensionChoosesTriadsNinthsOrSevenths) {
    for (int extension : {7, 0, 11, 13, -1}) {
        EXPECT_EQ(qualitiesOf(diatonicChordsOfKey(kCMajor, 0, extension)),
                  (std::vector<std::string>{"maj7", "m7", "m7", "maj7", "7", "m7", "m7b5"}))
            << extension;
    }
    EXPECT_EQ(qualitiesOf(diatonicChordsOfKey(kCMajor, 0, 3)),
              (std::vector<std::string>{"", "m", "m", "", "", "m", "dim"}));
    EXPECT_EQ(qualitiesOf(diatonicChordsOfKey(kCMajor, 0, 9)),
              (std::vector<std::string>{"maj9", "m9", "m9", "maj9", "9", "m9", "m9b5"}));
}

TEST(MusicalKeyDiatonic, SeparateMinorScaleTypeChoosesScaleAndList) {
    const auto melodic = diatonicChordsOfKey(kANatural, kMelodicMinorScale, 7);
    EXPECT_EQ(qualitiesOf(melodic), (std::vector<std::string>{"mM7", "m7", "maj7#5", "7", "7",
                                                              "m7b5", "m7b5"}));
    EXPECT_EQ(melodic[5].root, 6);  // raised sixth F#
    EXPECT_EQ(melodic[6].root, 8);  // raised seventh G#
    const auto natural = diatonicChordsOfKey(kAMelodic, 2, 9);
    EXPECT_EQ(qualitiesOf(natural), (std::vector<std::string>{"m9", "m9b5", "maj9", "m9", "9",
                                                              "maj9", "9"}));
    EXPECT_EQ(natural[6].root, 7);
    // A major key ignores the type.
    EXPECT_EQ(diatonicChordsOfKey(kCMajor, 1, 3), diatonicChordsOfKey(kCMajor, 0, 3));
}

TEST(MusicalKeyDiatonic, DegreeOutsideTheScaleGivesTheKeyRootAndNoQuality) {
    for (int degree : {0, 8, -3}) {
        const DiatonicChord chord = diatonicChordOfDegree({5, 0, 0}, degree, true);
        EXPECT_EQ(chord, (DiatonicChord{5, "", degree, ""}));
    }
    EXPECT_EQ(diatonicChordOfDegree(kAMelodic, 3, false), (DiatonicChord{0, "+", 3, ""}));
    EXPECT_EQ(diatonicChordOfDegree(kAMelodic, 3, true), (DiatonicChord{0, "maj7#5", 3, ""}));
}

TEST(MusicalKeyDiatonic, EveryListedQualityIsKnownToTheVocabulary) {
    for (ScaleKind kind : {ScaleKind::Major, ScaleKind::NaturalMinor, ScaleKind::MelodicMinor}) {
        for (DiatonicChordSize size :
             {DiatonicChordSize::Triad, DiatonicChordSize::Seventh, DiatonicChordSize::Ninth}) {
            for (std::string_view quality : diatonicQualityList(kind, size)) {
                if (quality.empty()) continue;
                EXPECT_TRUE(lookupChordQuality(quality).has_value()) << quality;
            }
        }
    }
}

TEST(MusicalKeyDiatonic, DegreeOfChordRootAcceptsRaisedSixthAndSeventhInMinor) {
    EXPECT_EQ(degreeOfChordRoot(kANatural, 5), 6);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 6), 6);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 7), 7);
    EXPECT_EQ(degreeOfChordRoot(kANatural, 8), 7);
    EXPECT_EQ(degreeOfChordRoot(kAMelodic, 7), 0);  // lowered seventh is no melodic tone
    EXPECT_EQ(degreeOfChordRoot(kCMajor, 1), 0);
    EXPECT_EQ(degreeOfChordRoot(kCMajor, 9), 6);
    EXPECT_EQ(degreeOfChordRoot(kCMajor, 11), 7);
}

TEST(MusicalKeyDirection, DefaultDirectionDependsOnMode) {
    const std::set<int> majorFlats = {1, 3, 5, 8, 10};
    const std::set<int> minorFlats = {0, 2, 3, 5, 7, 10};
    for (std::uint8_t root = 0; root < 12; ++root) {
        EXPECT_EQ(keyPrefersFlatsByDefault({root, 0, 0}), majorFlats.contains(root)) << int(root);
        EXPECT_EQ(keyPrefersFlatsByDefault({root, 1, 0}), minorFlats.contains(root)) << int(root);
        EXPECT_EQ(keyPrefersFlatsByDefault({root, 1, 1}), minorFlats.contains(root)) << int(root);
    }
}

TEST(MusicalKeyDirection, BlackKeyRootsTakeTheLetterAboveForFlats) {
    const int below[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    const int above[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
    for (std::uint8_t root = 0; root < 12; ++root) {
        EXPECT_EQ(keyRootLetterIndex({root, 0, 0}, false), below[root]) << int(root);
        EXPECT_EQ(keyRootLetterIndex({root, 0, 0}, true), above[root]) << int(root);
    }
}

TEST(MusicalKeySpelling, ScaleDegreeNamesFromThePartExamples) {
    const MusicalKey fSharpMajor{6, 0, 0};
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 1, std::nullopt, std::nullopt), "F#");
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 7, std::nullopt, std::nullopt), "E#");
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 7, std::nullopt, true), "F");
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 4, true, std::nullopt), "Cb");
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 4, true, true), "B");
    EXPECT_EQ(spellScaleDegreeNote(fSharpMajor, 4, true, false), "Cb");
    EXPECT_EQ(spellScaleDegreeNote({0, 1, 0}, 3, std::nullopt, std::nullopt), "Eb");
    EXPECT_EQ(spellScaleDegreeNote({1, 1, 0}, 1, std::nullopt, std::nullopt), "C#");
    EXPECT_EQ(spellScaleDegreeNote(kCMajor, 0, std::nullopt, std::nullopt), "");
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
                ASSERT_LE(name.size(), 3u) << name;
                letters.insert(name[0]);
                const auto pitch = parseKeyRoot(name);
                ASSERT_TRUE(pitch.has_value()) << name;
                EXPECT_EQ(*pitch, (key.root + scaleIntervalsOf(key)[degree - 1]) % 12)
                    << describe(key) << " degree " << degree << " " << name;
            }
            EXPECT_EQ(letters.size(), 7u) << describe(key) << " flats " << flats;
        }
    }
}

TEST(MusicalKeySpelling, CandidateOnOneDegree) {
    const auto sharp = spellPitchClassOnDegree(kCMajor, 1, 1, false);
    ASSERT_TRUE(sharp.has_value());
    EXPECT_EQ(*sharp, (DegreeSpelling{"C#", 1, 0, 1, 1}));
    const auto againstFlats = spellPitchClassOnDegree(kCMajor, 1, 1, true);
    ASSERT_TRUE(againstFlats.has_value());
    EXPECT_EQ(againstFlats->directionPenalty, 2);
    EXPECT_EQ(*spellPitchClassOnDegree(kCMajor, 2, 1, true), (DegreeSpelling{"Db", 1, 0, 1, 2}));
    // Three semitones off the letter: no candidate.
    EXPECT_FALSE(spellPitchClassOnDegree(kCMajor, 1, 3, false).has_value());
    EXPECT_FALSE(spellPitchClassOnDegree(kCMajor, 0, 0, false).has_value());
    // The degree's own accidental counts: F# major, degree 7 (E#), pitch 4 gives E.
    EXPECT_EQ(*spellPitchClassOnDegree({6, 0, 0}, 7, 4, false), (DegreeSpelling{"E", 1, 0, 0, 7}));
}

TEST(MusicalKeySpelling, PitchClassInKeyFollowsDirectionOrDefault) {
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 1, std::nullopt, std::nullopt), "C#");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 10, std::nullopt, std::nullopt), "A#");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 1, true, std::nullopt), "Db");
    EXPECT_EQ(spellPitchClassInKey(kCMajor, 10, true, std::nullopt), "Bb");
    EXPECT_EQ(spellPitchClassInKey({5, 0, 0}, 10, std::nullopt, std::nullopt), "Bb");
    // Root 6 reads as F# major by default and as Gb major with flats; an exact
    // scale tone keeps its letter either way.
    EXPECT_EQ(spellPitchClassInKey({6, 0, 0}, 5, std::nullopt, std::nullopt), "E#");
    EXPECT_EQ(spellPitchClassInKey({6, 0, 0}, 5, false, true), "F");
    EXPECT_EQ(spellPitchClassInKey({6, 0, 0}, 11, std::nullopt, std::nullopt), "B");
    EXPECT_EQ(spellPitchClassInKey({6, 0, 0}, 11, true, std::nullopt), "Cb");
    EXPECT_EQ(spellPitchClassInKey({6, 0, 0}, 11, true, true), "B");
}

TEST(MusicalKeySpelling, PitchClassInKeyAlwaysNamesThePitchClass) {
    for (const MusicalKey& key : allKeys()) {
        for (std::optional<bool> flats : {std::optional<bool>{}, std::optional<bool>{true},
                                          std::optional<bool>{false}}) {
            for (std::uint8_t pc = 0; pc < 12; ++pc) {
                const std::string name = spellPitchClassInKey(key, pc, flats, std::nullopt);
                const auto parsed = parseKeyRoot(name);
                ASSERT_TRUE(parsed.has_value()) << name;
                EXPECT_EQ(*parsed, pc) << describe(key) << " " << name;
                if (const int degree = scaleDegreeOf(key, pc); degree != 0) {
                    EXPECT_EQ(name, spellScaleDegreeNote(key, degree, flats, std::nullopt))
                        << describe(key);
                }
                const std::string simple = spellPitchClassInKey(key, pc, flats, true);
                EXPECT_EQ(parseKeyRoot(simple), pc) << simple;
                EXPECT_LE(simple.size(), 2u) << simple;
            }
        }
    }
}

TEST(MusicalKeySpelling, ChordToneTakesItsLetterFromTheChordDegree) {
    const auto g7 = parseChordSymbol("G7");
    ASSERT_TRUE(g7.has_value());
    EXPECT_EQ(spellChordToneInKey(kCMajor, *g7, 5, std::nullopt, std::nullopt), "F");
    EXPECT_EQ(spellChordToneInKey(kCMajor, *g7, 11, std::nullopt, std::nullopt), "B");
    // Not a chord tone: placed by its interval above the root (1: a second).
    EXPECT_EQ(spellChordToneInKey(kCMajor, *g7, 8, std::nullopt, std::nullopt), "Ab");
    // The diminished seventh's 9 is a seventh: Bdim7's top note is Ab, not G#.
    const auto bdim7 = parseChordSymbol("Bdim7");
    ASSERT_TRUE(bdim7.has_value());
    EXPECT_EQ(spellChordToneInKey(kCMajor, *bdim7, 8, std::nullopt, std::nullopt), "Ab");
    // No limit of two accidentals; simplification applies on request.
    const auto fsharp = parseChordSymbol("F#7");
    ASSERT_TRUE(fsharp.has_value());
    const MusicalKey gSharpMinor{8, 1, 1};
    EXPECT_EQ(spellChordToneInKey(gSharpMinor, *fsharp, 10, std::nullopt, std::nullopt), "A#");
    const auto e = parseChordSymbol("E");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, *e, 8, true, std::nullopt), "Ab");
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, *e, 4, true, std::nullopt), "Fb");
    EXPECT_EQ(spellChordToneInKey({6, 1, 0}, *e, 4, true, true), "E");
}

TEST(MusicalKeySimplify, RewritesOnlyTheListedSpellings) {
    EXPECT_EQ(simplifyNoteName("Ebb"), "D");
    EXPECT_EQ(simplifyNoteName("F##"), "G");
    EXPECT_EQ(simplifyNoteName("B#"), "C");
    EXPECT_EQ(simplifyNoteName("E#"), "F");
    EXPECT_EQ(simplifyNoteName("Fb"), "E");
    EXPECT_EQ(simplifyNoteName("Cb"), "B");
    EXPECT_EQ(simplifyNoteName("Bbbb"), "Ab");
    for (std::string_view same : {"Bb", "C#", "C", "", "b", "cb", "H#", "C#b", "Cb#", "C-7"}) {
        EXPECT_EQ(simplifyNoteName(same), same);
    }
}

}  // namespace
}  // namespace quillex
