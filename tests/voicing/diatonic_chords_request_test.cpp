// The diatonic chords request: chords, numerals, voicings, key strip and error payloads.
#include "voicing/diatonic_chords_request.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "support/page_reply.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"
#include "voicing/voicing_style.h"

namespace quillex {
namespace {

using nlohmann::json;

json diatonic(json request) {
    const BridgeReply reply = handleGetDiatonicChords(request);
    EXPECT_EQ(reply.type, "diatonic_chords");
    return reply.payload;
}

std::vector<std::string> column(const json& payload, const char* key) {
    std::vector<std::string> values;
    for (const json& chord : payload["chords"]) values.push_back(chord[key].get<std::string>());
    return values;
}

using Texts = std::vector<std::string>;

TEST(DiatonicChordsRequest, TriadsOfCMajor) {
    const json payload = diatonic(json{{"root", "C"}, {"mode", "major"}, {"diatonicExtension", 3}});
    EXPECT_EQ(column(payload, "symbol"), (Texts{"Cmaj", "Dm", "Em", "Fmaj", "Gmaj", "Am", "Bdim"}));
    EXPECT_EQ(column(payload, "quality"), (Texts{"", "m", "m", "", "", "m", "dim"}));
    EXPECT_EQ(column(payload, "colorCategory"),
              (Texts{"major", "minor", "minor", "major", "major", "minor", "diminished"}));
    EXPECT_EQ(column(payload, "roman"), (Texts{"I", "ii", "iii", "IV", "V", "vi", "vii°"}));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(payload["chords"][i]["degree"], i + 1);
    EXPECT_EQ(payload["relationshipRoman"], "I");
    EXPECT_EQ(payload["chords"][0]["notes"], (json{60, 64, 67}));
    EXPECT_TRUE(testing::pageOk("diatonic_chords", payload));
}

TEST(DiatonicChordsRequest, ExtensionFallsBackToSevenths) {
    for (const json& extension : {json(7), json(5), json(11), json(13), json(true), json(7.9)}) {
        const json payload = diatonic(json{{"root", "C"}, {"mode", "major"}, {"diatonicExtension", extension}});
        const Texts symbols = column(payload, "symbol");
        EXPECT_EQ(symbols.front(), "Cmaj7") << extension;
        EXPECT_EQ(symbols[4], "G7") << extension;
        EXPECT_EQ(symbols.back(), "Bm7b5") << extension;
    }
    EXPECT_EQ(column(diatonic(json{{"root", "C"}, {"mode", "major"}}), "symbol").front(), "Cmaj7");
    const Texts ninths = column(diatonic(json{{"root", "C"}, {"mode", "major"}, {"diatonicExtension", 9}}), "symbol");
    EXPECT_EQ(ninths.front(), "Cmaj9");
}

TEST(DiatonicChordsRequest, ModeAndScaleTypeAreExactTexts) {
    const auto firstSymbol = [](json request) { return column(diatonic(std::move(request)), "symbol").front(); };
    EXPECT_EQ(firstSymbol(json{{"root", "A"}, {"mode", "Minor"}, {"diatonicExtension", 3}}), "Amaj");
    EXPECT_EQ(firstSymbol(json{{"root", "A"}, {"mode", "dorian"}, {"diatonicExtension", 3}}), "Amaj");
    EXPECT_EQ(firstSymbol(json{{"root", "A"}, {"mode", "minor"}, {"diatonicExtension", 3}}), "Am");
    const json natural =
        diatonic(json{{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "Melodic"}, {"diatonicExtension", 3}});
    const json melodic =
        diatonic(json{{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}, {"diatonicExtension", 3}});
    EXPECT_NE(column(natural, "symbol"), column(melodic, "symbol"));
}

TEST(DiatonicChordsRequest, AugmentedListQualityVoicesAsAugmented) {
    const json payload =
        diatonic(json{{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}, {"diatonicExtension", 3}});
    bool found = false;
    for (const json& chord : payload["chords"]) {
        if (chord["quality"] != "+") continue;
        found = true;
        EXPECT_EQ(chord["colorCategory"], "augmented");
        const auto notes = chord["notes"].get<std::vector<int>>();
        ASSERT_EQ(notes.size(), 3u);
        EXPECT_EQ(notes[1] - notes[0], 4);
        EXPECT_EQ(notes[2] - notes[0], 8);
    }
    EXPECT_TRUE(found);
}

TEST(DiatonicChordsRequest, RelationshipKey) {
    const json inC =
        diatonic(json{{"root", "A"}, {"mode", "minor"}, {"relativeToRoot", "C"}, {"diatonicExtension", 3}});
    EXPECT_EQ(inC["relationshipRoman"], "vi");
    EXPECT_EQ(inC["chords"][0]["roman"], "vi");
    const json ignored =
        diatonic(json{{"root", "A"}, {"mode", "minor"}, {"relativeToRoot", "H"}, {"diatonicExtension", 3}});
    EXPECT_EQ(ignored["relationshipRoman"], "i");
    EXPECT_EQ(ignored["chords"][0]["roman"], "i");
}

TEST(DiatonicChordsRequest, VoicingInputs) {
    const auto lowest = [](json request) { return diatonic(std::move(request))["chords"][0]["notes"][0].get<int>(); };
    EXPECT_EQ(lowest(json{{"root", "C"}, {"mode", "major"}, {"octave", 12}, {"diatonicExtension", 3}}), 96);
    EXPECT_EQ(lowest(json{{"root", "C"}, {"mode", "major"}, {"octave", -3}, {"diatonicExtension", 3}}), 12);
    EXPECT_EQ(lowest(json{{"root", "C"}, {"mode", "major"}, {"octave", -1e300}, {"diatonicExtension", 3}}), 12);
    // The chord is voiced moved back (Bb at octave 4, 70), then shifted up again.
    EXPECT_EQ(lowest(json{{"root", "C"}, {"mode", "major"}, {"semitone_transpose", 2}, {"diatonicExtension", 3}}), 72);
    const json pop = diatonic(json{{"root", "C"}, {"mode", "major"}, {"voicingStyle", "pop"}});
    const json anthem = diatonic(json{{"root", "C"}, {"mode", "major"}, {"voicingStyle", "anthem"}});
    EXPECT_EQ(pop["chords"], anthem["chords"]);
    const json unknown = diatonic(json{{"root", "C"}, {"mode", "major"}, {"voicingStyle", "nope"}});
    const json closed = diatonic(json{{"root", "C"}, {"mode", "major"}});
    EXPECT_EQ(unknown["chords"], closed["chords"]);
}

TEST(DiatonicChordsRequest, ErrorPayloads) {
    const json missing{{"chords", json::array()}, {"error", "Missing key context"}, {"code", "missing_key_context"}};
    EXPECT_EQ(diatonic(json{{"root", "C"}}), missing);
    EXPECT_EQ(diatonic(json{{"root", 1}, {"mode", "major"}}), missing);
    EXPECT_EQ(diatonic(json::array()), missing);
    json withId = missing;
    withId["request_id"] = "r";
    EXPECT_EQ(diatonic(json{{"mode", "major"}, {"request_id", "r"}}), withId);
    EXPECT_EQ(diatonic(json{{"root", "H"}, {"mode", "major"}}),
              (json{{"chords", json::array()}, {"error", "Invalid key root: H"}}));
    const json badSpelling = diatonic(json{{"root", "C"}, {"mode", "major"}, {"spellingPreference", "up"}});
    EXPECT_EQ(badSpelling["chords"], json::array());
    EXPECT_TRUE(badSpelling.contains("error"));
    EXPECT_FALSE(badSpelling.contains("code"));
    EXPECT_FALSE(diatonic(json{{"root", "C"}, {"mode", "major"}, {"request_id", 17}}).contains("request_id"));
    EXPECT_FALSE(diatonic(json{{"root", "C"}, {"mode", "major"}, {"request_id", ""}}).contains("request_id"));
    EXPECT_FALSE(testing::pageOk("diatonic_chords", missing));
}

TEST(DiatonicChordsRequest, WrongTypesLeaveTheHandler) {
    EXPECT_THROW(handleGetDiatonicChords(json{{"root", "C"}, {"mode", "major"}, {"relativeToRoot", nullptr}}),
                 json::type_error);
    EXPECT_THROW(handleGetDiatonicChords(json{{"root", "C"}, {"mode", "major"}, {"octave", "high"}}), json::type_error);
    EXPECT_THROW(handleGetDiatonicChords(json{{"root", "C"}, {"mode", "major"}, {"drop_bass", 1}}), json::type_error);
}

// Every key, every size: seven chords whose closed voicing sounds exactly the
// chord's pitch classes, whose numeral names the degree, spelled letter-true.
TEST(DiatonicChordsRequest, AllThirtySixKeysAreSpelledNumberedAndVoiced) {
    const char* roots[] = {"C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    const std::pair<const char*, const char*> modes[] = {
        {"major", "natural"}, {"minor", "natural"}, {"minor", "melodic"}};
    for (const char* root : roots) {
        for (const auto& [mode, scale] : modes) {
            for (int extension : {3, 7, 9}) {
                const json payload = diatonic(
                    json{{"root", root}, {"mode", mode}, {"minorScaleType", scale}, {"diatonicExtension", extension}});
                ASSERT_EQ(payload["chords"].size(), 7u) << root << mode << scale << extension;
                std::set<char> letters;
                for (const json& chord : payload["chords"]) {
                    const std::string symbol = chord["symbol"];
                    letters.insert(symbol[0]);
                    const std::optional<Chord> parsed = parseChordSymbol(symbol);
                    ASSERT_TRUE(parsed) << symbol;
                    std::set<int> expected;
                    for (PitchClass pc : chordPitchClasses(*parsed)) expected.insert(pc);
                    std::set<int> sounding;
                    for (int note : chord["notes"].get<std::vector<int>>()) sounding.insert(note % 12);
                    EXPECT_EQ(sounding, expected) << symbol << " in " << root << " " << mode << " " << scale;
                    // The numeral's letters name the degree (I..VII in either case).
                    static const char* numerals[] = {"I", "II", "III", "IV", "V", "VI", "VII"};
                    std::string roman = chord["roman"];
                    std::string upper;
                    for (char c : roman) {
                        if (c == 'i' || c == 'v' || c == 'I' || c == 'V')
                            upper += static_cast<char>(c & ~0x20);
                        else if (!upper.empty())
                            break;
                    }
                    EXPECT_EQ(upper, numerals[chord["degree"].get<int>() - 1]) << roman << " " << symbol;
                }
                EXPECT_EQ(letters.size(), 7u) << root << " " << mode << " " << scale;
                EXPECT_EQ(payload["keyNames"].size(), 12u);
                EXPECT_EQ(payload["keyRomans"].size(), 12u);
            }
        }
    }
}

}  // namespace
}  // namespace quillex
