// Tests of semitone transposition of chords and voicings.
#include "voicing/semitone_transpose.h"
#include "chord_samples.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillex {
namespace {

using testing::chordOf;

using json = nlohmann::json;
using Midi = std::vector<std::int32_t>;

TEST(SemitoneTransposeReader, ReadsClampsAndTruncates) {
    EXPECT_EQ(readSemitoneTranspose(json::object()), 0);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", 5}}), 5);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", -60}}), -48);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", 100}}), 48);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", 2.9}}), 2);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", -2.9}}), -2);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", true}}), 1);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", false}}), 0);
}

TEST(SemitoneTransposeReader, HugeNumbersSaturateBeforeClamping) {
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", -1e300}}), -48);
    EXPECT_EQ(readSemitoneTranspose(json{{"semitone_transpose", 1e20}}), 48);
}

TEST(SemitoneTransposeReader, WrongTypesRaiseTheJsonTypeError) {
    EXPECT_THROW(readSemitoneTranspose(json{{"semitone_transpose", "3"}}), json::type_error);
    EXPECT_THROW(readSemitoneTranspose(json{{"semitone_transpose", nullptr}}), json::type_error);
    EXPECT_THROW(readSemitoneTranspose(json::array({1, 2})), json::type_error);
}

TEST(MidiTransposition, ShiftsAndClampsUnlessOffsetIsZero) {
    Midi untouched{-3, 200};
    transposeMidiNotes(untouched, 0);
    EXPECT_EQ(untouched, (Midi{-3, 200}));
    Midi up{60, 125};
    transposeMidiNotes(up, 5);
    EXPECT_EQ(up, (Midi{65, 127}));
    Midi down{3, 70};
    transposeMidiNotes(down, -10);
    EXPECT_EQ(down, (Midi{0, 60}));
    Midi extreme{INT32_MAX, INT32_MIN};
    transposeMidiNotes(extreme, INT32_MAX);
    EXPECT_EQ(extreme, (Midi{127, 0}));
}

TEST(ChordUntransposition, MovesRootAndBassByTheSignedRemainder) {
    const Chord c = chordOf("C");
    for (std::int32_t s : {0, 12, -24}) EXPECT_EQ(untransposeChord(c, s), c);
    EXPECT_EQ(untransposeChord(c, 2).root, 10);
    EXPECT_EQ(untransposeChord(c, -2).root, 2);
    EXPECT_EQ(untransposeChord(c, 14).root, 10);
    const Chord slash = chordOf("C/E");
    const Chord moved = untransposeChord(slash, 3);
    EXPECT_EQ(moved.root, 9);
    EXPECT_EQ(moved.bass, PitchClass{1});
    EXPECT_EQ(moved.symbol, "C/E");
    EXPECT_EQ(moved.intervals, slash.intervals);
    EXPECT_FALSE(untransposeChord(c, 5).bass.has_value());
}

TEST(TransposedVoicing, ShiftsTheMovedBackVoicing) {
    const Chord c = chordOf("C");
    EXPECT_EQ(voiceChordWithTranspose(c, VoicingStyle::Closed, 4, {}, 0), (Midi{60, 64, 67}));
    EXPECT_EQ(voiceChordWithTranspose(c, VoicingStyle::Closed, 4, {}, 12), (Midi{72, 76, 79}));
    EXPECT_EQ(voiceChordWithTranspose(c, VoicingStyle::Closed, 7, {}, 48), (Midi{127, 127, 127}));
    // D is C moved up 2: the voicing of D under +2 is that of C, two higher.
    EXPECT_EQ(voiceChordWithTranspose(chordOf("D"), VoicingStyle::Closed, 4, {}, 2), (Midi{62, 66, 69}));
    // G under +7 is voiced from C; as a plain chord it would start at 67 too.
    EXPECT_EQ(voiceChordWithTranspose(chordOf("G"), VoicingStyle::Anthem, 4, {}, 7), (Midi{55, 67, 71, 74, 79, 83}));
    // The register follows the moved-back chord: C under -1 is voiced as C#.
    EXPECT_EQ(voiceChordWithTranspose(c, VoicingStyle::Closed, 4, {}, -1), (Midi{60, 64, 67}));
}

}  // namespace
}  // namespace quillex
