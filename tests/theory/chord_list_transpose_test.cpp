// Tests of the chord-list transposition service: error replies, analysis, transposition and the up-and-down round trip.
#include "theory/chord_list_transpose.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/page_reply.h"
#include "theory/chord_quality_table.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

using nlohmann::json;
using quillex::testing::libraryTypeErrorText;
using quillex::testing::pageOk;

json cMajor() { return json{{"root", "C"}, {"mode", "major"}}; }

json request(json chords, json key = cMajor()) {
    json r = json::object();
    r["chords"] = std::move(chords);
    r["key"] = std::move(key);
    return r;
}

json payloadOf(const json& r) {
    const TransposeReply reply = handleTransposeChords(r);
    EXPECT_EQ(reply.type, "transpose_result");
    return reply.payload;
}

std::vector<std::string> symbols(const json& payload) {
    std::vector<std::string> out;
    for (const json& chord : payload.at("chords")) out.push_back(chord.at("symbol").get<std::string>());
    return out;
}

template <typename Fn>
std::string thrownText(Fn&& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

// ---- error replies -------------------------------------------------------

TEST(TransposeChordsErrors, MissingChordsArray) {
    const json expected = {{"error", "Missing chords array"}};
    EXPECT_EQ(payloadOf(json::array()), expected);
    EXPECT_EQ(payloadOf(json{{"key", cMajor()}}), expected);
    EXPECT_EQ(payloadOf(request(json{{"symbol", "C"}})), expected);
    // The chords check comes before the key check.
    EXPECT_EQ(payloadOf(json{{"chords", "C"}}), expected);
}

TEST(TransposeChordsErrors, MissingKeyContext) {
    const json expected = {{"error", "Missing key context"}, {"code", "missing_key_context"}};
    EXPECT_EQ(payloadOf(json{{"chords", json::array()}}), expected);
    EXPECT_EQ(payloadOf(request(json::array(), "C")), expected);
    EXPECT_EQ(payloadOf(request(json::array(), {{"root", "C"}})), expected);
    EXPECT_EQ(payloadOf(request(json::array(), {{"mode", "major"}})), expected);
    EXPECT_EQ(payloadOf(request(json::array(), {{"root", 0}, {"mode", "major"}})), expected);
    EXPECT_EQ(payloadOf(request(json::array(), {{"root", "C"}, {"mode", nullptr}})), expected);
}

TEST(TransposeChordsErrors, InvalidKeyRootAndTargetRoot) {
    EXPECT_EQ(payloadOf(request({"C"}, {{"root", "H"}, {"mode", "major"}})), (json{{"error", "Invalid key root"}}));
    json r = request({"C"});
    r["targetRoot"] = "X#";
    EXPECT_EQ(payloadOf(r), (json{{"error", "Invalid targetRoot"}}));
}

TEST(TransposeChordsErrors, UnreadableOrUnparsableEntryNamesItsIndex) {
    EXPECT_EQ(payloadOf(request({"C", json{{"symbol", 5}}})),
              (json{{"error", "Invalid chord entry: expected string or {symbol}"}, {"code", "invalid_chord"}, {"index", 1}}));
    EXPECT_EQ(payloadOf(request({5})),
              (json{{"error", "Invalid chord entry: expected string or {symbol}"}, {"code", "invalid_chord"}, {"index", 0}}));
    EXPECT_EQ(payloadOf(request({"C", "Am", "H7"})),
              (json{{"error", "Invalid chord at index 2: H7"}, {"code", "invalid_chord"}, {"index", 2}}));
    // The message quotes the entry untrimmed.
    EXPECT_EQ(payloadOf(request({" Q "})).at("error"), "Invalid chord at index 0:  Q ");
}

TEST(TransposeChordsErrors, InvalidSpellingOptionsOnBothPaths) {
    for (int semitones : {0, 3}) {
        json r = request({"C"});
        r["semitones"] = semitones;
        r["spellingPreference"] = "Flats";
        EXPECT_EQ(payloadOf(r), (json{{"error", "Invalid spellingPreference: Flats"}})) << semitones;
        r.erase("spellingPreference");
        r["simplifyAccidentals"] = "yes";
        EXPECT_EQ(payloadOf(r), (json{{"error", "Invalid simplifyAccidentals: expected boolean"}})) << semitones;
    }
}

TEST(TransposeChordsErrors, EveryErrorEchoesTheRequestIdAndReadsAsNotOk) {
    std::vector<json> bad = {json{{"key", cMajor()}}, request(json::array(), "C"),
                             request({"C"}, {{"root", "H"}, {"mode", "major"}}), request({"H7"})};
    json badTarget = request({"C"});
    badTarget["targetRoot"] = "H";
    bad.push_back(badTarget);
    json badOptions = request({"C"});
    badOptions["spellingPreference"] = nullptr;
    bad.push_back(badOptions);
    for (json r : bad) {
        r["request_id"] = "r-1";
        const TransposeReply reply = handleTransposeChords(r);
        EXPECT_EQ(reply.payload.at("request_id"), "r-1") << r.dump();
        EXPECT_FALSE(pageOk(reply.type, reply.payload)) << r.dump();
    }
}

TEST(TransposeChordsErrors, WronglyTypedMembersRaiseTheLibraryTypeErrors) {
    json r = request({"C"}, {{"root", "C"}, {"mode", "major"}, {"minorScaleType", 1}});
    EXPECT_EQ(thrownText([&] { handleTransposeChords(r); }), libraryTypeErrorText<std::string>(json(1)));
    r = request({"C"});
    r["keyLinked"] = "yes";
    EXPECT_EQ(thrownText([&] { handleTransposeChords(r); }), libraryTypeErrorText<bool>(json("yes")));
    r = request({"C"});
    r["semitones"] = "2";
    EXPECT_EQ(thrownText([&] { handleTransposeChords(r); }), libraryTypeErrorText<int>(json("2")));
    r = request({"C"});
    r["targetRoot"] = 9;
    EXPECT_EQ(thrownText([&] { handleTransposeChords(r); }), libraryTypeErrorText<std::string>(json(9)));
}

TEST(TransposeChordsErrors, ChordStepsThrowTheirSentences) {
    const MusicalKey cMajorKey{0, kMajorMode, kNaturalMinorScale};
    Chord chord = *parseChordSymbol("C/E");
    EXPECT_EQ(thrownText([&] { writeChordAnalysis(chord, cMajorKey, ""); }),
              "Roman derivation requires a valid key root spelling token");
    EXPECT_EQ(thrownText([&] { writeChordAnalysis(chord, cMajorKey, "7"); }),
              "Roman derivation requires a valid key root spelling token");
    Chord noRoot = chord;
    noRoot.symbol = "/E";
    EXPECT_EQ(thrownText([&] { writeChordAnalysis(noRoot, cMajorKey, "C"); }),
              "Parsed chord is missing a valid root spelling token");
    Chord noBassToken = chord;
    noBassToken.symbol = "C";
    EXPECT_EQ(thrownText([&] { writeChordAnalysis(noBassToken, cMajorKey, "C"); }),
              "Parsed slash chord is missing a valid bass spelling token");

    const ChordListEntry entry{"C", *parseChordSymbol("C"), 0};
    EXPECT_EQ(thrownText([&] { accidentalDirectionOfRoman(entry, cMajorKey, ""); }),
              "Transpose requires a valid source key root spelling token");
    EXPECT_EQ(thrownText([&] { writeTransposedChord(entry, cMajorKey, "", cMajorKey, "D", 2, true); }),
              "Transpose requires a valid source key root spelling token");
    const ChordListEntry unnumbered{"", *parseChordSymbol("C"), 0};
    EXPECT_EQ(thrownText([&] { accidentalDirectionOfRoman(unnumbered, cMajorKey, "C"); }),
              "Could not derive Roman numeral from chord symbol and key");
    EXPECT_EQ(thrownText([&] { writeTransposedChord(entry, cMajorKey, "C", cMajorKey, "", 2, true); }),
              "Could not derive transpose display spelling");
}

// ---- chord lists ---------------------------------------------------------

TEST(ChordListReading, EntriesAndTheFirstBadOne) {
    EXPECT_EQ(readChordEntrySymbol(json("Am")), "Am");
    EXPECT_EQ(readChordEntrySymbol(json{{"symbol", "Dm7"}, {"other", 1}}), "Dm7");
    for (const json& none : {json(5), json(nullptr), json::array({"C"}), json{{"chord", "C"}}, json{{"symbol", 5}}}) {
        EXPECT_FALSE(readChordEntrySymbol(none).has_value()) << none.dump();
    }

    std::vector<ChordListEntry> entries;
    std::string message;
    std::uint64_t index = 99;
    ASSERT_FALSE(readChordList(json{" C ", json{{"symbol", "G7"}}, "Q", "D"}, entries, message, index));
    EXPECT_EQ(message, "Invalid chord at index 2: Q");
    EXPECT_EQ(index, 2u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, " C ");
    EXPECT_EQ(entries[0].chord.symbol, "C");
    EXPECT_EQ(entries[1].index, 1u);

    ASSERT_TRUE(readChordList(json::array({"F"}), entries, message, index));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].chord.root, 5);
}

TEST(RequestWantsMelodicMinor, OnlyTheExactWord) {
    EXPECT_TRUE(requestWantsMelodicMinor(json{{"minorScaleType", "melodic"}}));
    EXPECT_FALSE(requestWantsMelodicMinor(json{{"minorScaleType", "Melodic"}}));
    EXPECT_FALSE(requestWantsMelodicMinor(json::object()));
}

// ---- analysis (offset 0) -------------------------------------------------

TEST(TransposeChordsAnalysis, AnalysesEachChordInTheKey) {
    const json payload = payloadOf(request({"C", "Am", "F", "G7"}));
    EXPECT_EQ(payload.at("chords").at(0), (json{{"root", "C"},
                                                {"quality", "maj"},
                                                {"symbol", "Cmaj"},
                                                {"original", "C"},
                                                {"category", "major"},
                                                {"intervals", {0, 4, 7}},
                                                {"roman", "I"},
                                                {"degree", 1}}));
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Cmaj", "Am", "Fmaj", "G7"}));
    EXPECT_EQ(payload.at("chords").at(3).at("roman"), "V7");
    EXPECT_EQ(payload.at("key"), cMajor());
    EXPECT_EQ(payload.at("semitones"), 0);
    EXPECT_TRUE(pageOk("transpose_result", payload));
}

TEST(TransposeChordsAnalysis, SpellsAsWrittenAndNumbersInTheKey) {
    const json payload = payloadOf(request({"C#", " C ", "Db7", "C/Bb", "Dm7/C"}, {{"root", "Db"}, {"mode", "major"}}));
    const json& chords = payload.at("chords");
    EXPECT_EQ(chords[0].at("root"), "C#");
    EXPECT_EQ(chords[0].at("degree"), 1);
    EXPECT_EQ(chords[1].at("original"), "C");
    EXPECT_EQ(chords[1].at("degree"), 7);
    EXPECT_EQ(chords[2].at("symbol"), "Db7");
    EXPECT_EQ(chords[3].at("bass"), "Bb");
    EXPECT_EQ(chords[3].at("symbol"), "Cmaj/Bb");
    EXPECT_EQ(chords[4].at("symbol"), "Dm7/C");
    EXPECT_FALSE(chords[0].contains("bass"));
}

TEST(TransposeChordsAnalysis, EmptyListAndKeyObjectCopiedWhole) {
    const json key = {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}, {"extra", true}};
    const json payload = payloadOf(request(json::array(), key));
    EXPECT_EQ(payload, (json{{"chords", json::array()}, {"key", key}, {"semitones", 0}}));
}

TEST(TransposeChordsAnalysis, RequestIdEchoedOnlyWhenANonEmptyString) {
    json r = request({"C"});
    r["request_id"] = "abc";
    EXPECT_EQ(payloadOf(r).at("request_id"), "abc");
    r["request_id"] = 7;
    EXPECT_FALSE(payloadOf(r).contains("request_id"));
    r["request_id"] = "";
    EXPECT_FALSE(payloadOf(r).contains("request_id"));
}

// ---- transposition -------------------------------------------------------

TEST(TransposeChordsMove, LinkedKeyMovesWithTheChords) {
    json r = request({"C", "Am", "F", "G7"});
    r["semitones"] = 2;
    const json payload = payloadOf(r);
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Dmaj", "Bm", "Gmaj", "A7"}));
    EXPECT_EQ(payload.at("chords").at(3), (json{{"symbol", "A7"},
                                                {"roman", "V7"},
                                                {"degree", 5},
                                                {"root", "A"},
                                                {"quality", "7"},
                                                {"category", "dominant"}}));
    EXPECT_EQ(payload.at("key"), (json{{"root", "D"}, {"mode", "major"}, {"minorScaleType", "natural"}}));
    EXPECT_EQ(payload.at("semitones"), 2);
}

TEST(TransposeChordsMove, UnlinkedKeyStaysAndChordsAreNumberedInIt) {
    json r = request({"C", "Am", "F", "G7"});
    r["semitones"] = 2;
    r["keyLinked"] = false;
    const json payload = payloadOf(r);
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Dmaj", "Bm", "Gmaj", "A7"}));
    EXPECT_EQ(payload.at("chords").at(0).at("degree"), 2);
    EXPECT_EQ(payload.at("key"), cMajor());
}

TEST(TransposeChordsMove, AccidentalDirectionFollowsTheOldNumeral) {
    json r = request({"Ab", "Db", "E", "F#"});
    r["semitones"] = 2;
    r["keyLinked"] = false;
    const json chords = payloadOf(r).at("chords");
    EXPECT_EQ(chords[0].at("symbol"), "Bbmaj");
    EXPECT_EQ(chords[0].at("roman"), "\u266DVII");
    EXPECT_EQ(chords[1].at("symbol"), "Ebmaj");
    EXPECT_EQ(chords[2].at("symbol"), "F#maj");
    EXPECT_EQ(chords[3].at("symbol"), "G#maj");

    const MusicalKey cMajorKey{0, kMajorMode, kNaturalMinorScale};
    EXPECT_EQ(accidentalDirectionOfRoman({"Ab", *parseChordSymbol("Ab"), 0}, cMajorKey, "C"), true);
    EXPECT_EQ(accidentalDirectionOfRoman({"F#", *parseChordSymbol("F#"), 0}, cMajorKey, "C"), false);
    EXPECT_EQ(accidentalDirectionOfRoman({"E", *parseChordSymbol("E"), 0}, cMajorKey, "C"), std::nullopt);
}

TEST(TransposeChordsMove, TargetRootFixesOnlyTheOffset) {
    json r = request({"C"});
    r["targetRoot"] = "A";
    r["semitones"] = 5;
    json payload = payloadOf(r);
    EXPECT_EQ(payload.at("semitones"), 9);
    EXPECT_EQ(payload.at("key").at("root"), "A");

    r["targetRoot"] = "A#";
    EXPECT_EQ(payloadOf(r).at("key").at("root"), "Bb");

    r["targetRoot"] = "C";
    payload = payloadOf(r);
    EXPECT_EQ(payload.at("semitones"), 0);
    EXPECT_EQ(payload.at("chords").at(0).at("original"), "C");  // analysis, not a move
    EXPECT_EQ(payload.at("key"), cMajor());
}

TEST(TransposeChordsMove, OffsetsBeyondAnOctave) {
    json r = request({"C", "G7"});
    r["semitones"] = 14;
    json payload = payloadOf(r);
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Dmaj", "A7"}));
    EXPECT_EQ(payload.at("semitones"), 14);

    r["semitones"] = 12;
    payload = payloadOf(r);
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Cmaj", "G7"}));
    EXPECT_FALSE(payload.at("chords").at(0).contains("original"));  // moved, not analysed
    EXPECT_EQ(payload.at("key").at("root"), "C");
}

TEST(TransposeChordsMove, NumericOffsetsAreReadSafely) {
    json r = request({"C"});
    r["semitones"] = 2.9;
    EXPECT_EQ(payloadOf(r).at("semitones"), 2);
    r["semitones"] = true;
    EXPECT_EQ(payloadOf(r).at("key").at("root"), "Db");
    // Saturated to the 32-bit limits, then reduced modulo 12 before use.
    r["semitones"] = 1e300;
    json payload = payloadOf(r);
    EXPECT_EQ(payload.at("semitones"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Gmaj"}));  // 2147483647 % 12 == 7
    r["semitones"] = -1e300;
    payload = payloadOf(r);
    EXPECT_EQ(payload.at("semitones"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Emaj"}));  // -2147483648 % 12 == -8
}

TEST(TransposeChordsMove, LinkedKeyRootSpelling) {
    const std::vector<std::pair<int, std::string>> fifths = {{1, "Db"}, {6, "F#"}, {-1, "B"}, {3, "Eb"}};
    for (const auto& [semitones, root] : fifths) {
        json r = request(json::array());
        r["semitones"] = semitones;
        EXPECT_EQ(payloadOf(r).at("key").at("root"), root) << semitones;
    }
    json r = request(json::array());
    r["semitones"] = 1;
    r["spellingPreference"] = "sharps";
    EXPECT_EQ(payloadOf(r).at("key").at("root"), "C#");
}

TEST(TransposeChordsMove, ModeTextAndScaleTypeOfTheLinkedKey) {
    json r = request({"C"}, {{"root", "C"}, {"mode", "Minor"}});
    r["semitones"] = 2;
    EXPECT_EQ(payloadOf(r).at("key"), (json{{"root", "D"}, {"mode", "Minor"}, {"minorScaleType", "natural"}}));
    r = request({"Am"}, {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}});
    r["semitones"] = 3;
    const json payload = payloadOf(r);
    EXPECT_EQ(payload.at("key"), (json{{"root", "C"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}));
    EXPECT_EQ(payload.at("chords").at(0).at("roman"), "i");
}

TEST(TransposeChordsMove, SlashChordsKeepTheirBass) {
    json r = request({"C/E", "G7/B", "Ab/C", "Fm/Ab"});
    r["semitones"] = 5;
    const json chords = payloadOf(r).at("chords");
    EXPECT_EQ(chords[0].at("symbol"), "Fmaj/A");
    EXPECT_EQ(chords[0].at("bass"), "A");
    EXPECT_EQ(chords[1].at("symbol"), "C7/E");
    EXPECT_EQ(chords[2].at("symbol"), "Dbmaj/F");
    // Only the numeral's first character sets a direction, so a diatonic
    // chord's chromatic bass is spelled without one; its pitch still moves.
    EXPECT_EQ(chords[3].at("symbol"), "Bbm/C#");
    EXPECT_EQ(chords[3].at("bass"), "C#");
}

// ---- round trip ----------------------------------------------------------

// Root pitch class, quality and bass of a symbol.
struct ChordIdentity {
    int root;
    std::string quality;
    std::optional<PitchClass> bass;
    bool operator==(const ChordIdentity&) const = default;
};

std::vector<ChordIdentity> identities(const std::vector<std::string>& texts) {
    std::vector<ChordIdentity> out;
    for (const std::string& text : texts) {
        const std::optional<Chord> chord = parseChordSymbol(text);
        EXPECT_TRUE(chord.has_value()) << text;
        if (chord) out.push_back({chord->root, chord->quality, chord->bass});
    }
    return out;
}

std::vector<std::string> upAndDown(const std::vector<std::string>& chords, const json& key, int n, bool linked) {
    json up = request(chords, key);
    up["semitones"] = n;
    up["keyLinked"] = linked;
    const json moved = payloadOf(up);
    json down = request(symbols(moved), moved.at("key"));
    down["semitones"] = -n;
    down["keyLinked"] = linked;
    return symbols(payloadOf(down));
}

TEST(TransposeChordsRoundTrip, UpThenDownGivesTheOriginalChords) {
    const std::vector<std::string> chords = {"C",     "Am7",   "F/A",  "G7",   "Bb",      "Ebmaj7", "F#m7b5",
                                             "Dsus4", "Abaug", "E7#9", "C#dim7", "Gm/Bb", "B13",    "Db6/Ab",
                                             "Em9",   "A7b9",  "Fmaj7#11", "Cm/Eb", "D/F#", "G#m"};
    const std::vector<json> keys = {
        cMajor(),
        {{"root", "Eb"}, {"mode", "major"}},
        {{"root", "F#"}, {"mode", "minor"}},
        {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}},
        {{"root", "Db"}, {"mode", "major"}},
        {{"root", "B"}, {"mode", "major"}},
    };
    const std::vector<ChordIdentity> original = identities(chords);
    for (const json& key : keys) {
        for (int n = -12; n <= 12; ++n) {
            for (bool linked : {true, false}) {
                EXPECT_EQ(identities(upAndDown(chords, key, n, linked)), original)
                    << key.dump() << " n=" << n << " linked=" << linked;
            }
        }
    }
}

TEST(TransposeChordsRoundTrip, EveryCanonicalQualitySurvivesAMove) {
    std::vector<std::string> chords;
    for (const auto& entry : canonicalQualityTable()) {
        chords.push_back("Eb" + entry.first);
        chords.push_back("F#" + entry.first);
    }
    const std::vector<ChordIdentity> original = identities(chords);
    for (int n : {-5, 7}) {
        EXPECT_EQ(identities(upAndDown(chords, json{{"root", "Bb"}, {"mode", "minor"}}, n, true)), original) << n;
    }
}

}  // namespace
}  // namespace quillex
