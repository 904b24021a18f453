// Keyed request readers: defaults, the library's type errors, and request-id attachment.
#include "protocol/request_readers.h"

#include <gtest/gtest.h>

#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;

TEST(RequestReaders, AbsentKeysGiveTheirDefaults) {
    const json empty = json::object();
    EXPECT_EQ(readMinorScaleType(empty), "natural");
    EXPECT_EQ(readKeyMode(empty), "major");
    EXPECT_EQ(readRelativeToMode(empty), "major");
    EXPECT_EQ(readVoicingStyle(empty), "closed");
    EXPECT_EQ(readOctave(empty), 4);
    EXPECT_EQ(readInversion(empty), 0);
    EXPECT_FALSE(readDropBass(empty));
    EXPECT_EQ(readDiatonicExtension(empty, 7), 7);
    EXPECT_EQ(readOldMinorScaleType(empty), "natural");
    EXPECT_TRUE(readIncludeAvlDebug(empty, true));
    EXPECT_FALSE(readRespellChordSymbols(empty, false));
    EXPECT_EQ(readKeyObject(empty, json{{"root", "C"}}), (json{{"root", "C"}}));
    EXPECT_FALSE(hasOldMinorScaleType(empty));
    EXPECT_FALSE(hasOldMinorScaleType(json::array()));
    EXPECT_TRUE(hasOldMinorScaleType(json{{"oldMinorScaleType", nullptr}}));
}

TEST(RequestReaders, NumbersAreReadRangeSafely) {
    EXPECT_EQ(readOctave(json{{"octave", 5.9}}), 5);
    EXPECT_EQ(readOctave(json{{"octave", true}}), 1);
    EXPECT_EQ(readOctave(json{{"octave", 1e20}}), 2147483647);
    EXPECT_EQ(readInversion(json{{"inversion", -2.7}}), -2);
    EXPECT_EQ(readInversion(json{{"inversion", false}}), 0);
    EXPECT_EQ(readDiatonicExtension(json{{"diatonicExtension", -9.5}}, 7), -9);
}

TEST(RequestReaders, WrongTypesRaiseTheLibraryErrors) {
    const auto message = [](auto read) -> std::string {
        try {
            read();
        } catch (const json::type_error& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(message([] {
                  readKeyMode(json{{"mode", nullptr}});
              }),
              testing::libraryTypeErrorText<std::string>(json(nullptr)));
    EXPECT_EQ(message([] { readOctave(json{{"octave", "high"}}); }), testing::libraryTypeErrorText<int>(json("high")));
    EXPECT_EQ(message([] {
                  readIncludeAvlDebug(json{{"include_avl_debug", 1}}, false);
              }),
              testing::libraryTypeErrorText<bool>(json(1)));
    EXPECT_EQ(message([] { readOctave(json::array()); }), testing::libraryValueErrorText(json::array()));
    EXPECT_EQ(message([] { readInversion(json{{"inversion", "2"}}); }), testing::libraryTypeErrorText<int>(json("2")));
    EXPECT_EQ(message([] { readDropBass(json{{"drop_bass", 1}}); }), testing::libraryTypeErrorText<bool>(json(1)));
    EXPECT_EQ(message([] { readDropBass(json::array()); }), testing::libraryValueErrorText(json::array()));
    EXPECT_EQ(message([] { readKeyObject(json("x"), json::object()); }), testing::libraryValueErrorText(json("x")));
}

TEST(RequestReaders, HoldsStringOnlyForAStringMemberOfAnObject) {
    EXPECT_TRUE(holdsString(json{{"root", ""}}, "root"));
    EXPECT_FALSE(holdsString(json{{"root", 1}}, "root"));
    EXPECT_FALSE(holdsString(json{{"root", nullptr}}, "root"));
    EXPECT_FALSE(holdsString(json::object(), "root"));
    EXPECT_FALSE(holdsString(json::array({"root"}), "root"));
    EXPECT_FALSE(holdsString(json("root"), "root"));
}

TEST(RequestReaders, AttachRequestIdOnlyWhenNotEmpty) {
    EXPECT_EQ(attachRequestId(json{{"a", 1}}, ""), (json{{"a", 1}}));
    EXPECT_EQ(attachRequestId(json{{"a", 1}, {"request_id", "old"}}, "new"), (json{{"a", 1}, {"request_id", "new"}}));
}

}  // namespace
}  // namespace quillex
