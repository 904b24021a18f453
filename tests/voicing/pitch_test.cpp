// Tests of pitch/MIDI conversion and doubled-note spreading.
#include "voicing/pitch.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

using Midi = std::vector<std::int32_t>;

TEST(PitchMidi, ConvertsBothWaysWithoutClamping) {
    EXPECT_EQ(pitchFromMidi(60), (Pitch{0, 4}));
    EXPECT_EQ(pitchFromMidi(0), (Pitch{0, -1}));
    EXPECT_EQ(pitchFromMidi(127), (Pitch{7, 9}));
    EXPECT_EQ(pitchFromMidi(-1), (Pitch{11, -2}));
    for (std::int32_t m = -24; m <= 140; ++m) EXPECT_EQ(pitchToMidi(pitchFromMidi(m)), m);
}

TEST(PitchMidi, OrdersAsMidiNumbers) {
    EXPECT_LT(pitchFromMidi(59), pitchFromMidi(60));
    EXPECT_LT(pitchFromMidi(-1), pitchFromMidi(0));
    std::vector<Pitch> ps{{4, 4}, {0, 4}};
    EXPECT_EQ(notesToMidi(ps), (Midi{64, 60}));
}

TEST(PitchDuplicates, RaisesDoublesByOctaves) {
    Midi a{60, 60, 60};
    raiseDuplicateNotes(a);
    EXPECT_EQ(a, (Midi{60, 72, 84}));
    Midi b{64, 52, 64};
    raiseDuplicateNotes(b);
    EXPECT_EQ(b, (Midi{52, 64, 76}));
    Midi c{120, 120};
    raiseDuplicateNotes(c);
    EXPECT_EQ(c, (Midi{120, 120}));
    Midi d{110, 110};
    raiseDuplicateNotes(d);
    EXPECT_EQ(d, (Midi{110, 122}));
}

TEST(PitchDuplicates, MidiToPitchesSpreadsAndSorts) {
    auto ps = midiToPitches({67, 60, 60});
    EXPECT_EQ(ps, (std::vector<Pitch>{{0, 4}, {7, 4}, {0, 5}}));
    std::vector<Pitch> doubled{{0, 4}, {0, 4}};
    EXPECT_EQ(uniqueMidiNotes(doubled), (Midi{60, 72}));
}

TEST(PitchClasses, DistinctAscendingNonNegative) {
    Midi v{7, 0, 16, -1, 12, 4};
    EXPECT_EQ(distinctPitchClasses(v), (Midi{0, 4, 7, 11}));
    EXPECT_TRUE(distinctPitchClasses(Midi{}).empty());
}

}  // namespace
}  // namespace quillex
