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

json with(json r, const char* name, json value) {
    r[name] = std::move(value);
    return r;
}

json failure(const char* message, const char* code = nullptr, std::optional<int> index = std::nullopt) {
    json payload = {{"error", message}};
    if (code != nullptr) payload["code"] = code;
    if (index) payload["index"] = *index;
    return payload;
}

TEST(TransposeChordsErrors, EachInvalidRequestHasItsReply) {
    const json noChords = failure("Missing chords array");
    const json noKey = failure("Missing key context", "missing_key_context");
    const std::vector<std::pair<json, json>> cases = {
        {json::array(), noChords},
        {json{{"key", cMajor()}}, noChords},
        {json{{"chords", "C"}}, noChords},  // before the key check
        {request(json{{"symbol", "C"}}), noChords},
        {json{{"chords", json::array()}}, noKey},
        {request(json::array(), "C"), noKey},
        {request(json::array(), {{"root", "C"}}), noKey},
        {request(json::array(), {{"root", 0}, {"mode", "major"}}), noKey},
        {request(json::array(), {{"root", "C"}, {"mode", nullptr}}), noKey},
        {request({"C"}, {{"root", "H"}, {"mode", "major"}}), failure("Invalid key root")},
        {with(request({"C"}), "targetRoot", "X#"), failure("Invalid targetRoot")},
        {request({"C", json{{"symbol", 5}}}),
         failure("Invalid chord entry: expected string or {symbol}", "invalid_chord", 1)},
        {request({5}), failure("Invalid chord entry: expected string or {symbol}", "invalid_chord", 0)},
        {request({"C", "Am", "H7"}), failure("Invalid chord at index 2: H7", "invalid_chord", 2)},
        {request({" Q "}), failure("Invalid chord at index 0:  Q ", "invalid_chord", 0)},  // quoted untrimmed
        {with(request({"C"}), "spellingPreference", "Flats"), failure("Invalid spellingPreference: Flats")},
        {with(with(request({"C"}), "semitones", 3), "spellingPreference", "Flats"),
         failure("Invalid spellingPreference: Flats")},
        {with(request({"C"}), "simplifyAccidentals", "yes"), failure("Invalid simplifyAccidentals: expected boolean")},
        {with(with(request({"C"}), "semitones", 3), "simplifyAccidentals", nullptr),
         failure("Invalid simplifyAccidentals: expected boolean")},
    };
    for (const auto& [r, expected] : cases) {
        EXPECT_EQ(payloadOf(r), expected) << r.dump();
        // Every error echoes the request ID and reads as not ok on the page.
        const TransposeReply reply =
            handleTransposeChords(with(r.is_object() ? r : json::object(), "request_id", "r-1"));
        EXPECT_EQ(reply.payload.value("request_id", ""), "r-1") << r.dump();
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

TEST(ChordListReading, EntriesUpToTheFirstBadOne) {
    EXPECT_EQ(readChordEntrySymbol(json{{"symbol", "Dm7"}, {"other", 1}}), "Dm7");
    for (const json& none : {json(5), json(nullptr), json::array({"C"}), json{{"chord", "C"}}}) {
        EXPECT_FALSE(readChordEntrySymbol(none).has_value()) << none.dump();
    }
    std::vector<ChordListEntry> entries;
    std::string message;
    std::uint64_t index = 99;
    ASSERT_FALSE(readChordList(json{" C ", json{{"symbol", "G7"}}, "Q", "D"}, entries, message, index));
    EXPECT_EQ(index, 2u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (ChordListEntry{" C ", *parseChordSymbol("C"), 0}));
    EXPECT_FALSE(requestWantsMelodicMinor(json{{"minorScaleType", "Melodic"}}));
}

// ---- analysis (offset 0) -------------------------------------------------

TEST(TransposeChordsAnalysis, AnalysesEachChordInTheKey) {
    json r = request({"C", "Am", "F", "G7"});
    r["request_id"] = "abc";
    const json payload = payloadOf(r);
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
    EXPECT_EQ(payload.at("request_id"), "abc");
    for (const json& id : {json(7), json("")}) {
        EXPECT_FALSE(payloadOf(with(r, "request_id", id)).contains("request_id")) << id.dump();
    }
}

TEST(TransposeChordsAnalysis, SpellsAsWrittenAndNumbersInTheKey) {
    const json chords =
        payloadOf(request({"C#", " C ", "Db7", "C/Bb"}, {{"root", "Db"}, {"mode", "major"}})).at("chords");
    EXPECT_EQ(chords[0].at("root"), "C#");
    EXPECT_EQ(chords[0].at("degree"), 1);
    EXPECT_FALSE(chords[0].contains("bass"));
    EXPECT_EQ(chords[1].at("original"), "C");
    EXPECT_EQ(chords[1].at("degree"), 7);
    EXPECT_EQ(chords[2].at("symbol"), "Db7");
    EXPECT_EQ(chords[3].at("symbol"), "Cmaj/Bb");
    EXPECT_EQ(chords[3].at("bass"), "Bb");
}

TEST(TransposeChordsAnalysis, EmptyListAndKeyObjectCopiedWhole) {
    const json key = {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}, {"extra", true}};
    EXPECT_EQ(payloadOf(request(json::array(), key)),
              (json{{"chords", json::array()}, {"key", key}, {"semitones", 0}}));
}

// ---- transposition -------------------------------------------------------

TEST(TransposeChordsMove, LinkedAndUnlinkedKeys) {
    json r = with(request({"C", "Am", "F", "G7"}), "semitones", 2);
    json payload = payloadOf(r);
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Dmaj", "Bm", "Gmaj", "A7"}));
    EXPECT_EQ(payload.at("chords").at(3), (json{{"symbol", "A7"},
                                                {"roman", "V7"},
                                                {"degree", 5},
                                                {"root", "A"},
                                                {"quality", "7"},
                                                {"category", "dominant"}}));
    EXPECT_EQ(payload.at("key"), (json{{"root", "D"}, {"mode", "major"}, {"minorScaleType", "natural"}}));
    EXPECT_EQ(payload.at("semitones"), 2);

    payload = payloadOf(with(r, "keyLinked", false));
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Dmaj", "Bm", "Gmaj", "A7"}));
    EXPECT_EQ(payload.at("chords").at(0).at("degree"), 2);
    EXPECT_EQ(payload.at("key"), cMajor());
}

TEST(TransposeChordsMove, AccidentalDirectionFollowsTheOldNumeral) {
    const json chords =
        payloadOf(with(with(request({"Ab", "Db", "E", "F#", "Ab/C", "Fm/Ab"}), "semitones", 2), "keyLinked", false))
            .at("chords");
    EXPECT_EQ(symbols(json{{"chords", chords}}),
              (std::vector<std::string>{"Bbmaj", "Ebmaj", "F#maj", "G#maj", "Bbmaj/D", "Gm/A#"}));
    EXPECT_EQ(chords[0].at("roman"), "\u266DVII");
    // Only the numeral's first character sets a direction, so a diatonic
    // chord's chromatic bass is spelled without one.
    EXPECT_EQ(chords[5].at("bass"), "A#");
}

TEST(TransposeChordsMove, OffsetAndKeyRootOfEachRequest) {
    struct Case {
        const char* member;
        json value;
        json semitones;
        const char* firstSymbol;
        const char* keyRoot;
    };
    const std::vector<Case> cases = {
        {"targetRoot", "A", 9, "Amaj", "A"},
        {"targetRoot", "A#", 10, "Bbmaj", "Bb"},  // the target text fixes only the pitch
        {"semitones", 14, 14, "Dmaj", "D"},
        {"semitones", 12, 12, "Cmaj", "C"},  // moved, not analysed
        {"semitones", 1, 1, "Dbmaj", "Db"},
        {"semitones", 6, 6, "F#maj", "F#"},
        {"semitones", -1, -1, "Bmaj", "B"},
        {"semitones", 2.9, 2, "Dmaj", "D"},
        {"semitones", true, 1, "Dbmaj", "Db"},
        // Saturated to the 32-bit limits, then reduced modulo 12 before use.
        {"semitones", 1e300, std::numeric_limits<std::int32_t>::max(), "Gmaj", "G"},
        {"semitones", -1e300, std::numeric_limits<std::int32_t>::min(), "Emaj", "E"},
    };
    for (const Case& c : cases) {
        const json payload = payloadOf(with(with(request({"C"}), "semitones", 5), c.member, c.value));
        EXPECT_EQ(payload.at("semitones"), c.semitones) << c.value;
        EXPECT_EQ(payload.at("chords").at(0).at("symbol"), c.firstSymbol) << c.value;
        EXPECT_FALSE(payload.at("chords").at(0).contains("original")) << c.value;
        EXPECT_EQ(payload.at("key").at("root"), c.keyRoot) << c.value;
    }
    const json same = payloadOf(with(request({"C"}), "targetRoot", "C"));
    EXPECT_EQ(same.at("chords").at(0).at("original"), "C");  // offset 0 analyses
    EXPECT_EQ(same.at("key"), cMajor());
    EXPECT_EQ(
        payloadOf(with(with(request({"C"}), "semitones", 1), "spellingPreference", "sharps")).at("key").at("root"),
        "C#");
}

TEST(TransposeChordsMove, ModeTextAndScaleTypeOfTheLinkedKey) {
    EXPECT_EQ(payloadOf(with(request({"C"}, {{"root", "C"}, {"mode", "Minor"}}), "semitones", 2)).at("key"),
              (json{{"root", "D"}, {"mode", "Minor"}, {"minorScaleType", "natural"}}));
    const json payload = payloadOf(with(
        request({"Am", "E7/G#"}, {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}), "semitones", 3));
    EXPECT_EQ(payload.at("key"), (json{{"root", "C"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}));
    EXPECT_EQ(symbols(payload), (std::vector<std::string>{"Cm", "G7/B"}));
    EXPECT_EQ(payload.at("chords").at(1).at("bass"), "B");
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
    const std::vector<std::string> chords = {"C",     "Am7",   "F/A",      "G7",     "Bb",    "Ebmaj7", "F#m7b5",
                                             "Dsus4", "Abaug", "E7#9",     "C#dim7", "Gm/Bb", "B13",    "Db6/Ab",
                                             "Em9",   "A7b9",  "Fmaj7#11", "Cm/Eb",  "D/F#",  "G#m"};
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
