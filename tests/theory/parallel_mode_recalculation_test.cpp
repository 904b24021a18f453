// Tests of the parallel-mode Roman recalculation service: error replies, plain recalculation, respelling and the mode switch.
#include "theory/parallel_mode_recalculation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/page_reply.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

using nlohmann::json;
using quillex::testing::pageOk;

json key(const char* root, const char* mode) { return json{{"root", root}, {"mode", mode}}; }

json request(json chords, json keyObject = key("C", "major")) {
    json r = json::object();
    r["chords"] = std::move(chords);
    r["key"] = std::move(keyObject);
    return r;
}

// A request that carries chords written in `oldMode` into the key's mode.
json parallel(json chords, json keyObject, const char* oldMode) {
    json r = request(std::move(chords), std::move(keyObject));
    r["keyLinked"] = true;
    r["oldMode"] = oldMode;
    return r;
}

json payloadOf(const json& r) {
    const BridgeReply reply = handleRecalculateRomans(r);
    EXPECT_EQ(reply.type, "recalculate_romans_result");
    return reply.payload;
}

std::vector<std::string> field(const json& payload, const char* name) {
    std::vector<std::string> out;
    for (const json& chord : payload.at("chords")) out.push_back(chord.at(name).get<std::string>());
    return out;
}

json with(json r, const char* name, json value) {
    r[name] = std::move(value);
    return r;
}

json failure(const char* message, const char* code = nullptr) {
    json payload = {{"error", message}};
    if (code != nullptr) payload["code"] = code;
    return payload;
}

// ---- error replies -------------------------------------------------------

TEST(RecalculateRomansErrors, EachInvalidRequestHasItsReply) {
    const json noChords = failure("Missing chords array");
    const json noKey = failure("Missing key context", "missing_key_context");
    const json badType = failure("minorScaleType must be natural or melodic", "invalid_minor_scale_type");
    const json badOldMode = failure("oldMode must be major or minor", "invalid_old_mode");
    const json badOldType = failure("oldMinorScaleType must be natural or melodic", "invalid_old_minor_scale_type");
    const json inconsistent =
        failure("Parallel recalculation requires keyLinked=true with oldMode", "invalid_parallel_context");
    const json empty = json::array();
    const json toMinor = parallel(empty, key("C", "minor"), "major");
    const json minorToMinor = parallel(empty, key("C", "minor"), "minor");
    const std::vector<std::pair<json, json>> cases = {
        {json::object(), noChords},
        {json{{"chords", json{{"symbol", "C"}}}}, noChords},
        {json{{"chords", "C"}, {"key", "nonsense"}}, noChords},  // before the key check
        {json{{"chords", empty}}, noKey},
        {request(empty, "C"), noKey},
        {request(empty, json{{"root", "C"}}), noKey},
        {request(empty, json{{"root", 1}, {"mode", "major"}}), noKey},
        {request(empty, key("C", "Minor")), failure("Invalid key mode: Minor", "invalid_key_mode")},
        {request(empty, key("H", "dorian")), failure("Invalid key mode: dorian", "invalid_key_mode")},
        {request(empty, with(key("C", "minor"), "minorScaleType", "harmonic")), badType},
        {request(empty, with(key("C", "minor"), "minorScaleType", "Melodic")), badType},
        {request(empty, with(key("C", "minor"), "minorScaleType", nullptr)), badType},
        {request(empty, with(key("C", "major"), "minorScaleType", "melodic")),
         failure("Major keys require natural minorScaleType", "invalid_minor_scale_type")},
        {request(empty, key("H", "major")), failure("Invalid key root")},
        {with(request(empty), "spellingPreference", nullptr),
         failure("Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\"")},
        {with(request(empty), "simplifyAccidentals", 1), failure("Invalid simplifyAccidentals: expected boolean")},
        {with(request(empty), "respellChordSymbols", "yes"),
         failure("respellChordSymbols must be a boolean", "invalid_respell_chord_symbols")},
        {with(request(empty), "keyLinked", 1), failure("keyLinked must be a boolean", "invalid_key_linked")},
        {with(toMinor, "oldMode", "Major"), badOldMode},
        {with(toMinor, "oldMode", 0), badOldMode},
        {with(toMinor, "oldMode", nullptr), badOldMode},
        {with(minorToMinor, "oldMinorScaleType", "harmonic"), badOldType},
        {with(minorToMinor, "oldMinorScaleType", false), badOldType},
        {with(request(empty), "keyLinked", true), inconsistent},
        {with(with(request(empty), "keyLinked", true), "oldMinorScaleType", "natural"), inconsistent},
        {with(request(empty), "oldMinorScaleType", "natural"), inconsistent},
        {with(request(empty), "oldMode", "major"), inconsistent},
        {with(with(request(empty), "oldMode", "major"), "keyLinked", false), inconsistent},
        {with(toMinor, "oldMinorScaleType", "melodic"),
         failure("Major oldMode requires natural oldMinorScaleType", "invalid_old_minor_scale_type")},
        {request({"C", "G7", json{{"chord", "F"}}}),
         with(failure("Invalid chord entry: expected string or {symbol}", "invalid_chord"), "index", 2)},
        {request({"C", "H7"}),
         with(with(failure("Invalid chord at index 1: H7", "invalid_chord"), "index", 1), "chord", "H7")},
        {parallel({"Dm7", " Q"}, key("C", "minor"), "major"),
         with(with(failure("Invalid chord at index 1:  Q", "invalid_chord"), "index", 1), "chord", " Q")},
    };
    for (const auto& [r, expected] : cases) {
        EXPECT_EQ(payloadOf(r), expected) << r.dump();
        // Every error echoes the request ID and reads as not ok on the page.
        const BridgeReply reply = handleRecalculateRomans(with(r, "request_id", "q7"));
        EXPECT_EQ(reply.payload.value("request_id", ""), "q7") << r.dump();
        EXPECT_FALSE(pageOk(reply.type, reply.payload)) << r.dump();
    }
    EXPECT_EQ(payloadOf(json::array()), noChords);
}

// ---- without a mode change -----------------------------------------------

TEST(RecalculateRomansPlain, KeepsTheWrittenLettersAndNumbersInTheKey) {
    const json payload = payloadOf(request({"Bb7", "A#7", "Dm7", json{{"symbol", "G7/B"}}}));
    EXPECT_EQ(payload.at("chords").at(0), (json{{"symbol", "Bb7"},
                                                {"root", "Bb"},
                                                {"quality", "7"},
                                                {"category", "dominant"},
                                                {"degree", 0},
                                                {"roman", "\u266DVII7"}}));
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Bb7", "A#7", "Dm7", "G7/B"}));
    EXPECT_EQ(field(payload, "roman"), (std::vector<std::string>{"\u266DVII7", "\u266FVI7", "iim7", "V7/B"}));
    EXPECT_EQ(payload.at("chords").at(3).at("bass"), "B");
    EXPECT_EQ(payload.at("key"), (json{{"root", "C"}, {"mode", "major"}, {"minorScaleType", "natural"}}));
}

TEST(RecalculateRomansPlain, CanonicalQualitiesAndTrimmedLetters) {
    // Blanks around an entry do not hide its letters.
    const json payload = payloadOf(request({"C-6", "C", " Db7 ", "  F/A"}));
    EXPECT_EQ(field(payload, "quality"), (std::vector<std::string>{"m6", "maj", "7", "maj"}));
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Cm6", "Cmaj", "Db7", "Fmaj/A"}));
    EXPECT_EQ(field(payload, "category"), (std::vector<std::string>{"minor", "major", "dominant", "major"}));
}

TEST(RecalculateRomansPlain, EmptyListStillReportsTheKey) {
    json k = key("Eb", "minor");
    k["minorScaleType"] = "melodic";
    json r = request(json::array(), k);
    r["request_id"] = "id";
    EXPECT_EQ(payloadOf(r), (json{{"chords", json::array()},
                                  {"key", {{"root", "Eb"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}},
                                  {"request_id", "id"}}));
}

TEST(RecalculateRomansPlain, SameModeWithKeyLinkIsNoTransform) {
    json melodic = key("C", "minor");
    melodic["minorScaleType"] = "melodic";
    json r = parallel({"Ab", "Bb7", "Fm"}, melodic, "minor");
    r["oldMinorScaleType"] = "natural";
    const json payload = payloadOf(r);
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Abmaj", "Bb7", "Fm"}));
    // Numbered in the melodic scale, where A-flat and B-flat are lowered degrees.
    EXPECT_EQ(field(payload, "roman"), (std::vector<std::string>{"\u266DVI", "\u266DVII7", "iv"}));
    EXPECT_EQ(payload.at("chords").at(0).at("degree"), 0);
    EXPECT_EQ(field(payloadOf(parallel({"A#7", "Dm7"}, key("C", "major"), "major")), "symbol"),
              (std::vector<std::string>{"A#7", "Dm7"}));
}

TEST(RecalculateRomansPlain, RespellingUsesTheKeyAndPreference) {
    json r = request({"D#m7", "A#7/D", "C#"}, key("Eb", "major"));
    r["respellChordSymbols"] = true;
    json payload = payloadOf(r);
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Ebm7", "Bb7/D", "Dbmaj"}));
    EXPECT_EQ(payload.at("key").at("root"), "Eb");

    r = request({"A#7"});
    r["respellChordSymbols"] = true;
    r["spellingPreference"] = "flats";
    EXPECT_EQ(field(payloadOf(r), "symbol"), (std::vector<std::string>{"Bb7"}));
    r["respellChordSymbols"] = false;
    EXPECT_EQ(field(payloadOf(r), "symbol"), (std::vector<std::string>{"A#7"}));
}

// ---- mode switch ---------------------------------------------------------

TEST(RecalculateRomansParallel, MajorToMinorCarriesEachChordByItsDegree) {
    const json payload = payloadOf(parallel({"Dm7", "C/E", "G7", "Am7", "E7#9"}, key("C", "minor"), "major"));
    const json& chords = payload.at("chords");
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Dm7b5", "Cm/Eb", "G7", "Abmaj7", "Eb7#9"}));
    EXPECT_EQ(field(payload, "quality"), (std::vector<std::string>{"m7b5", "m", "7", "maj7", "7#9"}));
    EXPECT_EQ(chords[1].at("bass"), "Eb");
    EXPECT_EQ(chords[1].at("roman"), "i/Eb");
    EXPECT_EQ(chords[0].at("category"), "half-diminished");
    EXPECT_EQ(chords[3].at("degree"), 6);
    EXPECT_EQ(chords[4].at("degree"), 3);
    EXPECT_EQ(payload.at("key"), (json{{"root", "C"}, {"mode", "minor"}, {"minorScaleType", "natural"}}));
}

TEST(RecalculateRomansParallel, NaturalMinorToMajor) {
    const json payload = payloadOf(parallel({"Bb7", "Gm", "Ab", "Cm/Eb"}, key("C", "major"), "minor"));
    const json& chords = payload.at("chords");
    // The lowered seventh keeps root and quality.
    EXPECT_EQ(chords[0].at("quality"), "7");
    EXPECT_EQ(chords[0].at("roman"), "\u266DVII7");
    EXPECT_EQ(chords[0].at("degree"), 0);
    // The diatonic major triad comes back with the empty quality.
    EXPECT_EQ(chords[1].at("symbol"), "G");
    EXPECT_EQ(chords[1].at("quality"), "");
    EXPECT_EQ(chords[1].at("category"), "major");
    EXPECT_EQ(chords[1].at("roman"), "V");
    EXPECT_EQ(chords[2].at("symbol"), "Am");
    EXPECT_EQ(chords[2].at("degree"), 6);
    EXPECT_EQ(chords[3].at("symbol"), "C/E");
    EXPECT_EQ(chords[3].at("roman"), "I/E");
}

TEST(RecalculateRomansParallel, RootsOutsideTheOldScaleStay) {
    const json payload = payloadOf(parallel({"F#7", "Db"}, key("C", "minor"), "major"));
    EXPECT_EQ(field(payload, "quality"), (std::vector<std::string>{"7", "maj"}));
    EXPECT_EQ(payload.at("chords").at(0).at("root"), "F#");
    // The numeral reads a chromatic root as a lowered degree.
    EXPECT_EQ(field(payload, "roman"), (std::vector<std::string>{"\u266DV7", "\u266DII"}));
}

TEST(RecalculateRomansParallel, NonChordToneBassMovesAlongTheScale) {
    // D is the ninth of C: no role, and degree 2 is the same in both modes.
    // A is no chord tone of C: degree 6 drops to A-flat in minor.
    const json payload = payloadOf(parallel({"C/D", "C/A", "G/B"}, key("C", "minor"), "major"));
    const json& chords = payload.at("chords");
    EXPECT_EQ(chords[0].at("symbol"), "Cm/D");
    EXPECT_EQ(chords[0].at("roman"), "i/D");
    EXPECT_EQ(chords[1].at("quality"), "m");
    const std::optional<Chord> overSixth = parseChordSymbol(chords[1].at("symbol").get<std::string>());
    ASSERT_TRUE(overSixth.has_value());
    EXPECT_EQ(overSixth->bass, std::optional<PitchClass>(8));
    // B is the third of G: the new G chord keeps its own third.
    EXPECT_EQ(chords[2].at("bass"), "B");
}

}  // namespace
}  // namespace quillex
