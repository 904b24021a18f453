// Tests of single-chord voicing: style offsets, steps, options and ranges.
#include "voicing/chord_voicing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "chord_samples.h"
#include "theory/chord_quality_table.h"

namespace quillex {
namespace {

using testing::chordOf;

using Midi = std::vector<std::int32_t>;

Chord rawChord(PitchClass root, Midi intervals, std::optional<PitchClass> bass = std::nullopt) {
    return Chord{root, "", std::move(intervals), bass, ""};
}

Midi voice(const Chord& chord, VoicingStyle style, std::int32_t octave = 4, ChordVoicingOptions options = {}) {
    return notesToMidi(voiceChordInStyle(chord, style, octave, options));
}

Midi toMidi(const std::vector<Pitch>& pitches) { return notesToMidi(pitches); }

TEST(StyleOffsets, ClosedStacksSortedDistinctIntervals) {
    EXPECT_EQ(styleIntervals(VoicingStyle::Closed, Midi{7, 0, 4, 4, 16}), (Midi{0, 4, 7, 16}));
    EXPECT_EQ(styleIntervals(VoicingStyle::Closed, Midi{}), (Midi{0}));
}

TEST(StyleOffsets, ShellKeepsGuideTones) {
    EXPECT_EQ(shellIntervals(Midi{0, 4, 7, 11}), (Midi{0, 4, 11}));
    EXPECT_EQ(shellIntervals(Midi{0, 4, 7, 9, 14}), (Midi{0, 4, 9, 14}));
    EXPECT_EQ(shellIntervals(Midi{0, 4, 7}), (Midi{0, 4}));
    EXPECT_EQ(shellIntervals(Midi{0, 4, 5, 7, 10}), (Midi{0, 5, 10}));
    EXPECT_EQ(shellIntervals(Midi{0, 4, 7, 14, 21}), (Midi{0, 4, 14}));
    EXPECT_EQ(shellIntervals(Midi{0, 3, 7, 9, 13}), (Midi{0, 3, 9, 13}));
    EXPECT_EQ(shellIntervals(Midi{}), (Midi{0}));
}

TEST(StyleOffsets, AnthemFallbackDoublesAndTrims) {
    EXPECT_EQ(anthemFallbackIntervals(Midi{0, 4, 7}), (Midi{-12, 0, 4, 7, 12, 16}));
    EXPECT_EQ(anthemFallbackIntervals(Midi{0, 2, 4, 5, 7, 9, 11}), (Midi{-12, 2, 4, 5, 9, 11}));
    EXPECT_EQ(anthemFallbackIntervals(Midi{0, 7}), (Midi{-12, 0, 7, 12, 19}));
    EXPECT_EQ(anthemFallbackIntervals(Midi{0, 17, 21}), (Midi{-12, 0, 5, 9, 12}));
}

TEST(StyleOffsets, RootedTriadsGetAnOctaveOnTop) {
    EXPECT_TRUE(isRootedTriad(Midi{0, 4, 7}));
    EXPECT_TRUE(isRootedTriad(Midi{0, 4, 4, 7}));
    EXPECT_FALSE(isRootedTriad(Midi{0, 4, 7, 10}));
    EXPECT_FALSE(isRootedTriad(Midi{0, 4, 14}));
    EXPECT_FALSE(isRootedTriad(Midi{2, 4, 7}));
    EXPECT_FALSE(isRootedTriad(Midi{-1, 0, 4}));
    EXPECT_EQ(spreadUpperStructure(VoicingStyle::Split, Midi{0, 4, 7}, {-12, -5, 4}), (Midi{-12, -5, 4, 12}));
    EXPECT_EQ(spreadUpperStructure(VoicingStyle::Tessaro, Midi{0, 4, 7}, {-12, -5}), (Midi{-12, -5, 0}));
    EXPECT_EQ(spreadUpperStructure(VoicingStyle::GuideColor, Midi{0, 4, 7}, {}), (Midi{0}));
    EXPECT_EQ(spreadUpperStructure(VoicingStyle::GuideColor, Midi{0, 4, 7}, {0, 12}), (Midi{0, 12, 24}));
    EXPECT_EQ(spreadUpperStructure(VoicingStyle::Anthem, Midi{0, 4, 7}, {7, 0, 7}), (Midi{0, 7}));
}

TEST(StyleOffsets, PlanStylesUseTheFirstPlan) {
    EXPECT_EQ(styleIntervals(VoicingStyle::Split, Midi{0, 4, 7}), (Midi{-12, -5, 4, 12}));
    EXPECT_EQ(styleIntervals(VoicingStyle::Anthem, Midi{0, 4, 7}), (Midi{-12, 0, 4, 7, 12, 16}));
    EXPECT_EQ(styleIntervals(VoicingStyle::GuideColor, Midi{0, 4, 7, 10}), (Midi{0, 4, 10, 16}));
    EXPECT_EQ(styleIntervals(VoicingStyle::Tessaro, Midi{0, 4, 7, 10, 14}), (Midi{0, 7, 14, 16, 22}));
    // The power chord has no anthem plan from any source but the template.
    EXPECT_EQ(voicingPlansForStyle(rawChord(0, {0, 7}), VoicingStyle::Anthem).front().name, "anthem");
    EXPECT_TRUE(voicingPlansForStyle(rawChord(0, {0, 4, 7}), VoicingStyle::Closed).empty());
}

TEST(StyleOffsets, PlanStyleWithoutPlanFails) {
    // Sixth and seventh together without a fifth: no template, no descriptor.
    try {
        styleIntervals(VoicingStyle::Split, Midi{0, 4, 9, 10});
        FAIL() << "expected an exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "No descriptor-based voicing plan available for style");
    }
    EXPECT_THROW(maxManualInversion(rawChord(0, {0, 4, 9, 10}), VoicingStyle::Split, 4, 0), std::runtime_error);
}

TEST(ChordVoicing, ClosedMajorTriadWithInversions) {
    const Chord c = chordOf("C");
    EXPECT_EQ(voice(c, VoicingStyle::Closed), (Midi{60, 64, 67}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, false, 1}), (Midi{64, 67, 72}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, false, -1}), (Midi{55, 60, 64}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, false, 3}), (Midi{72, 76, 79}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, false, 99}), (Midi{72, 76, 79}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, false, -3}), (Midi{48, 52, 55}));
}

TEST(ChordVoicing, DropBassLowersTheLowestNoteWhenItCan) {
    const Chord c = chordOf("C");
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 4, {0, true, 0}), (Midi{48, 64, 67}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 0, {0, true, 0}), (Midi{0, 16, 19}));
    // Inverted down at octave 0 the lowest note is 7: left in place.
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 0, {0, true, -1}), (Midi{7, 12, 16}));
}

TEST(ChordVoicing, OctaveShiftIsClampedAfterAdding) {
    const Chord c = chordOf("C");
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 6, {4, false, 0}), (Midi{96, 100, 103}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, 2, {-5, false, 0}), (Midi{12, 16, 19}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, INT32_MAX, {INT32_MAX, false, 0}), (Midi{96, 100, 103}));
    EXPECT_EQ(voice(c, VoicingStyle::Closed, INT32_MIN, {INT32_MIN, false, 0}), (Midi{12, 16, 19}));
}

TEST(ChordVoicing, NotesLeavingTheMidiRangeAreClamped) {
    EXPECT_EQ(voice(chordOf("B13"), VoicingStyle::Closed, 7), (Midi{107, 111, 114, 117, 121, 127}));
    const Midi low = voice(chordOf("C"), VoicingStyle::Anthem, 0, {0, false, -3});
    EXPECT_EQ(low.front(), 0);
}

TEST(ChordVoicingSlashBass, ChordToneBassSitsBelowTheVoicing) {
    EXPECT_EQ(voice(chordOf("C/E"), VoicingStyle::Closed), (Midi{64, 67, 72}));
}

TEST(ChordVoicingSlashBass, ForeignBassTargetRisesToFortyEightForWideStyles) {
    const Chord dim = rawChord(4, {0, 3, 6}, 2);
    const std::vector<Pitch> voicing{pitchFromMidi(40), pitchFromMidi(43), pitchFromMidi(46)};
    EXPECT_EQ(toMidi(placeSlashBass(voicing, dim, VoicingStyle::Anthem, 40, 3)).front(), 50);
    EXPECT_EQ(toMidi(placeSlashBass(voicing, dim, VoicingStyle::Split, 40, 3)).front(), 50);
    EXPECT_EQ(toMidi(placeSlashBass(voicing, dim, VoicingStyle::Closed, 40, 3)).front(), 38);
    const Chord dimB = rawChord(4, {0, 3, 6}, 11);
    EXPECT_EQ(toMidi(placeSlashBass(voicing, dimB, VoicingStyle::Anthem, 40, 3)).front(), 47);
    EXPECT_EQ(toMidi(placeSlashBass(voicing, dimB, VoicingStyle::Closed, 40, 3)).front(), 35);
}

TEST(ChordVoicingSlashBass, EquallyNearBassNotesPreferTheHigher) {
    // Target 59 - 1 = 58 lies 6 from both 52 and 64 (pitch class 4).
    const Chord c = rawChord(0, {0, 3, 7}, 4);
    const std::vector<Pitch> voicing{pitchFromMidi(59), pitchFromMidi(62)};
    EXPECT_EQ(toMidi(placeSlashBass(voicing, c, VoicingStyle::Closed, 59, 2)).front(), 64);
}

TEST(ChordVoicingSlashBass, TrimsDoubledPitchClassThenFifth) {
    // Bass a fourth note, count three: the duplicated pitch class goes first.
    const Chord c = chordOf("C/G");
    EXPECT_EQ(toMidi(insertBassNote({60, 64, 67}, c, VoicingStyle::Closed, 55, 3)), (Midi{55, 60, 64}));
    // Without a doubled pitch class the fifth is dropped.
    const Chord c7 = rawChord(0, {0, 4, 7, 10}, 2);
    EXPECT_EQ(toMidi(insertBassNote({60, 64, 67, 70}, c7, VoicingStyle::Closed, 50, 4)), (Midi{50, 60, 64, 70}));
    // Nothing left to drop: the list stays longer than the count.
    const Chord noFifth = rawChord(0, {0, 4, 10}, 2);
    EXPECT_EQ(toMidi(insertBassNote({60, 64, 70}, noFifth, VoicingStyle::Closed, 50, 3)), (Midi{50, 60, 64, 70}));
}

TEST(ChordVoicingSlashBass, SpacingKeepsTheGapAndNoDoubles) {
    Midi midi{60, 62, 72, 61};
    spaceNotesAboveBass(midi, 3, 5);
    // 60 -> 72 clashes with 72 -> 84; 62 -> 74 (13 above) ; 72 stays.
    EXPECT_EQ(midi, (Midi{61, 72, 74, 84}));
    Midi high{118, 116};
    spaceNotesAboveBass(high, 0, 3);
    EXPECT_EQ(high, (Midi{116, 118}));
}

TEST(ChordVoicingSlashBass, TrimmingBelowTheBassKeepsTrackOfIt) {
    // Notes above 115 are never raised, so they can sit below a high bass.
    Midi midi{117, 117, 120};
    std::size_t bass = 2;
    ASSERT_TRUE(dropDoubledPitchClass(midi, bass));
    EXPECT_EQ(midi, (Midi{117, 120}));
    EXPECT_EQ(bass, 1u);
    // D major: its fifth A (117) is the only note below the bass 121.
    Midi fifths{117, 118, 121};
    bass = 2;
    ASSERT_TRUE(dropChordFifth(fifths, rawChord(2, {0, 4, 7}), bass));
    EXPECT_EQ(fifths, (Midi{118, 121}));
    EXPECT_EQ(bass, 1u);
    EXPECT_FALSE(dropChordFifth(fifths, rawChord(2, {0, 4, 10}), bass));
}

TEST(ChordVoicingSteps, SlashBassFollowsInversionAndUsesThePlainLowestNote) {
    // Inversion 1 gives 64 67 72; the bass target comes from the plain 60.
    EXPECT_EQ(voice(chordOf("C/G"), VoicingStyle::Closed, 4, {0, false, 1}), (Midi{55, 64, 72}));
}

TEST(ChordVoicingSteps, DropBassActsOnTheSlashBass) {
    EXPECT_EQ(voice(chordOf("C/E"), VoicingStyle::Closed, 4, {0, true, 0}), (Midi{52, 67, 72}));
}

TEST(ChordVoicingSteps, AnthemInvertsByChordToneAndTrimsToTheVoicingSize) {
    EXPECT_EQ(voice(chordOf("C"), VoicingStyle::Anthem), (Midi{48, 60, 64, 67, 72, 76}));
    EXPECT_EQ(voice(chordOf("C"), VoicingStyle::Anthem, 4, {0, false, 1}), (Midi{52, 60, 64, 67, 72, 76}));
    EXPECT_EQ(voice(chordOf("C"), VoicingStyle::Anthem, 4, {0, false, 3}), (Midi{60, 72, 76, 79, 84, 88}));
}

TEST(ChordVoicingSteps, SplitThirteenthTakesTheTiedLowLayer) {
    EXPECT_EQ(voice(chordOf("C13"), VoicingStyle::Split), (Midi{48, 62, 64, 70, 81}));
    EXPECT_EQ(voice(chordOf("C13"), VoicingStyle::GuideColor), (Midi{60, 64, 70, 74, 81}));
    EXPECT_EQ(voice(chordOf("C13"), VoicingStyle::Tessaro), (Midi{60, 67, 74, 76, 81, 82}));
    EXPECT_EQ(voice(chordOf("C13"), VoicingStyle::Anthem), (Midi{48, 64, 67, 70, 74, 81}));
    EXPECT_EQ(voice(chordOf("C13"), VoicingStyle::Shell), (Midi{60, 64, 70}));
}

TEST(ChordVoicingSteps, FourToneChordsInPlanStylesRotate) {
    // Dominant seventh in guide-color: 60 64 70 76 rotates one note up.
    EXPECT_EQ(voice(chordOf("C7"), VoicingStyle::GuideColor), (Midi{60, 64, 70, 76}));
    EXPECT_EQ(voice(chordOf("C7"), VoicingStyle::GuideColor, 4, {0, false, 1}), (Midi{64, 70, 72, 76}));
}

TEST(ManualInversion, CountsNotesOrDistinctPitchClasses) {
    EXPECT_EQ(maxManualInversion(chordOf("C"), VoicingStyle::Closed, 4, 0), 3);
    EXPECT_EQ(maxManualInversion(chordOf("Cmaj7"), VoicingStyle::Shell, 4, 0), 3);
    EXPECT_EQ(maxManualInversion(chordOf("C"), VoicingStyle::Anthem, 4, 0), 3);
    EXPECT_EQ(maxManualInversion(chordOf("Cmaj9"), VoicingStyle::Closed, 4, 0), 5);
    EXPECT_EQ(maxManualInversion(chordOf("C7"), VoicingStyle::GuideColor, 4, 0), 4);
    EXPECT_EQ(maxManualInversion(chordOf("C"), VoicingStyle::Split, 9, -20), 3);
}

// Every style, every quality, every octave, inversions past both ends, with
// and without slash bass (chord tone and foreign) and drop bass.
TEST(ChordVoicingSweep, EveryQualityStaysInRangeAndOrdered) {
    std::size_t voiced = 0;
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        const std::size_t q = voiced++;
        for (VoicingStyle style : kAllVoicingStyles) {
            for (std::int32_t octave = 0; octave <= 7; ++octave) {
                const auto root = static_cast<PitchClass>((q * 5 + static_cast<std::size_t>(octave) * 7) % 12);
                Chord chord{root, name, intervals, std::nullopt, ""};
                const std::vector<PitchClass> pcs = chordPitchClasses(chord);
                std::optional<PitchClass> foreign;
                for (PitchClass p = 0; p < 12 && !foreign; ++p) {
                    if (std::find(pcs.begin(), pcs.end(), p) == pcs.end()) foreign = p;
                }
                std::vector<std::optional<PitchClass>> basses{std::nullopt, pcs.back()};
                if (foreign) basses.push_back(foreign);
                for (const auto& bass : basses) {
                    chord.bass = bass;
                    const std::int32_t n = maxManualInversion(chord, style, octave, 0);
                    ASSERT_GE(n, 1);
                    for (std::int32_t inversion = -n - 1; inversion <= n + 1; ++inversion) {
                        const bool drop = ((inversion + octave) & 1) != 0;
                        const Midi notes = voice(chord, style, octave, {0, drop, inversion});
                        ASSERT_FALSE(notes.empty()) << name;
                        ASSERT_TRUE(std::is_sorted(notes.begin(), notes.end())) << name;
                        ASSERT_GE(notes.front(), 0) << name;
                        ASSERT_LE(notes.back(), 127) << name;
                    }
                }
            }
        }
    }
    EXPECT_EQ(voiced, 382u);
}

}  // namespace
}  // namespace quillex
