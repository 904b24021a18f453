// Tests of the request-id and octave-shift readers and chord-tone degrees.
#include "protocol/voicing_request_readers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "theory/chord_tone_degree.h"

namespace quillex {
namespace {

using json = nlohmann::json;

TEST(RequestIdReader, OnlyAStringValueCounts) {
    EXPECT_EQ(readRequestId(json{{"request_id", "r-7"}}), "r-7");
    EXPECT_EQ(readRequestId(json{{"request_id", 7}}), "");
    EXPECT_EQ(readRequestId(json::object()), "");
    EXPECT_EQ(readRequestId(json::array({"request_id"})), "");
    EXPECT_EQ(readRequestId(json("request_id")), "");
}

TEST(StringOrEmptyReader, ReadsAnyKeyAsAStringOnly) {
    EXPECT_EQ(readStringOrEmpty(json{{"fingerprint", "abc"}}, "fingerprint"), "abc");
    EXPECT_EQ(readStringOrEmpty(json{{"fingerprint", 3}}, "fingerprint"), "");
    EXPECT_EQ(readStringOrEmpty(json{{"fingerprint", nullptr}}, "fingerprint"), "");
    EXPECT_EQ(readStringOrEmpty(json{{"request_id", "r"}}, "fingerprint"), "");
    EXPECT_EQ(readStringOrEmpty(json("fingerprint"), "fingerprint"), "");
}

TEST(OctaveShiftReader, ConvertsWithoutClamping) {
    EXPECT_EQ(readOctaveShift(json::object(), 0), 0);
    EXPECT_EQ(readOctaveShift(json::object(), -2), -2);
    EXPECT_EQ(readOctaveShift(json{{"octave_shift", 9}}, 0), 9);
    EXPECT_EQ(readOctaveShift(json{{"octave_shift", -1.7}}, 0), -1);
    EXPECT_EQ(readOctaveShift(json{{"octave_shift", true}}, 0), 1);
    EXPECT_EQ(readOctaveShift(json{{"octave_shift", 1e20}}, 0), INT32_MAX);
    EXPECT_EQ(readOctaveShift(json{{"octave_shift", -1e20}}, 0), INT32_MIN);
}

TEST(OctaveShiftReader, WrongTypesRaiseTheLibraryErrors) {
    try {
        readOctaveShift(json{{"octave_shift", "2"}}, 0);
        FAIL();
    } catch (const json::type_error& e) {
        EXPECT_EQ(e.id, 302);
    }
    try {
        readOctaveShift(json::array(), 0);
        FAIL();
    } catch (const json::type_error& e) {
        EXPECT_EQ(e.id, 306);
    }
}

TEST(ChordToneDegree, CompoundIntervalsKeepTheirDegree) {
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 12), 0);
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 15), 1);
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 16), 3);
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 19), 4);
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 20), 5);
    EXPECT_EQ(chordToneDegreeOfInterval("maj", 23), 6);
}

TEST(ChordToneDegree, NineIsASeventhOnlyInDiminishedQualities) {
    EXPECT_EQ(chordToneDegreeOfInterval("dim7", 9), 6);
    EXPECT_EQ(chordToneDegreeOfInterval("6", 9), 5);
    EXPECT_EQ(chordToneDegreeOfInterval("m7b5", 9), 5);
    // Outside the table the "dim" rule does not apply.
    EXPECT_EQ(chordToneDegreeOfInterval("dim7", 33), 5);
}

TEST(ChordToneDegree, OtherIntervalsUseTheirRemainder) {
    EXPECT_EQ(chordToneDegreeOfInterval("", -1), 6);
    EXPECT_EQ(chordToneDegreeOfInterval("", -12), 0);
    EXPECT_EQ(chordToneDegreeOfInterval("", 26), 1);
    EXPECT_EQ(chordToneDegreeOfInterval("", 28), 2);
    EXPECT_EQ(chordToneDegreeOfInterval("", 29), 3);
    EXPECT_EQ(chordToneDegreeOfInterval("", 31), 4);
    EXPECT_EQ(chordToneDegreeOfInterval("", 35), 6);
    EXPECT_EQ(chordToneDegreeOfInterval("", INT32_MIN), chordToneDegreeOfInterval("", 4));
}

}  // namespace
}  // namespace quillex
