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

json errorOf(const char* message, const char* code) { return json{{"error", message}, {"code", code}}; }

// ---- error replies -------------------------------------------------------

TEST(RecalculateRomansErrors, MissingChordsArrayComesFirst) {
    const json expected = {{"error", "Missing chords array"}};
    EXPECT_EQ(payloadOf(json::array()), expected);
    EXPECT_EQ(payloadOf(json::object()), expected);
    EXPECT_EQ(payloadOf(json{{"chords", json{{"symbol", "C"}}}}), expected);
    EXPECT_EQ(payloadOf(json{{"chords", "C"}, {"key", "nonsense"}}), expected);
}

TEST(RecalculateRomansErrors, KeyContextModeAndScaleType) {
    const json missing = errorOf("Missing key context", "missing_key_context");
    EXPECT_EQ(payloadOf(json{{"chords", json::array()}}), missing);
    EXPECT_EQ(payloadOf(request(json::array(), "C")), missing);
    EXPECT_EQ(payloadOf(request(json::array(), json{{"root", "C"}})), missing);
    EXPECT_EQ(payloadOf(request(json::array(), json{{"root", 1}, {"mode", "major"}})), missing);

    EXPECT_EQ(payloadOf(request(json::array(), key("C", "Minor"))),
              errorOf("Invalid key mode: Minor", "invalid_key_mode"));
    EXPECT_EQ(payloadOf(request(json::array(), key("H", "dorian"))),
              errorOf("Invalid key mode: dorian", "invalid_key_mode"));

    const json badType = errorOf("minorScaleType must be natural or melodic", "invalid_minor_scale_type");
    for (const json& type : {json("harmonic"), json(1), json(nullptr), json("Melodic")}) {
        json k = key("C", "minor");
        k["minorScaleType"] = type;
        EXPECT_EQ(payloadOf(request(json::array(), k)), badType) << type.dump();
    }
    json majorMelodic = key("C", "major");
    majorMelodic["minorScaleType"] = "melodic";
    EXPECT_EQ(payloadOf(request(json::array(), majorMelodic)),
              errorOf("Major keys require natural minorScaleType", "invalid_minor_scale_type"));
    majorMelodic["minorScaleType"] = "natural";
    EXPECT_TRUE(pageOk("recalculate_romans_result", payloadOf(request(json::array(), majorMelodic))));
}

TEST(RecalculateRomansErrors, KeyRootAndSpellingOptions) {
    EXPECT_EQ(payloadOf(request(json::array(), key("H", "major"))), (json{{"error", "Invalid key root"}}));
    json r = request(json::array());
    r["spellingPreference"] = nullptr;
    EXPECT_EQ(payloadOf(r),
              (json{{"error", "Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\""}}));
    r = request(json::array());
    r["simplifyAccidentals"] = 1;
    EXPECT_EQ(payloadOf(r), (json{{"error", "Invalid simplifyAccidentals: expected boolean"}}));
}

TEST(RecalculateRomansErrors, FlagAndOldModeMembers) {
    json r = request(json::array());
    r["respellChordSymbols"] = "yes";
    EXPECT_EQ(payloadOf(r), errorOf("respellChordSymbols must be a boolean", "invalid_respell_chord_symbols"));
    r = request(json::array());
    r["keyLinked"] = 1;
    EXPECT_EQ(payloadOf(r), errorOf("keyLinked must be a boolean", "invalid_key_linked"));
    for (const json& mode : {json("Major"), json(0), json(nullptr)}) {
        r = parallel(json::array(), key("C", "minor"), "major");
        r["oldMode"] = mode;
        EXPECT_EQ(payloadOf(r), errorOf("oldMode must be major or minor", "invalid_old_mode")) << mode.dump();
    }
    for (const json& type : {json("harmonic"), json(false)}) {
        r = parallel(json::array(), key("C", "minor"), "minor");
        r["oldMinorScaleType"] = type;
        EXPECT_EQ(payloadOf(r), errorOf("oldMinorScaleType must be natural or melodic", "invalid_old_minor_scale_type"))
            << type.dump();
    }
}

TEST(RecalculateRomansErrors, ParallelContextMustBeConsistent) {
    const json inconsistent =
        errorOf("Parallel recalculation requires keyLinked=true with oldMode", "invalid_parallel_context");
    json r = request(json::array());
    r["keyLinked"] = true;
    EXPECT_EQ(payloadOf(r), inconsistent);
    r["oldMinorScaleType"] = "natural";
    EXPECT_EQ(payloadOf(r), inconsistent);  // still no "oldMode"
    r = request(json::array());
    r["oldMinorScaleType"] = "natural";
    EXPECT_EQ(payloadOf(r), inconsistent);
    r = request(json::array());
    r["oldMode"] = "major";
    EXPECT_EQ(payloadOf(r), inconsistent);
    r["keyLinked"] = false;
    EXPECT_EQ(payloadOf(r), inconsistent);

    r = parallel(json::array(), key("C", "minor"), "major");
    r["oldMinorScaleType"] = "melodic";
    EXPECT_EQ(payloadOf(r),
              errorOf("Major oldMode requires natural oldMinorScaleType", "invalid_old_minor_scale_type"));
}

TEST(RecalculateRomansErrors, BadEntriesNameIndexAndTextAndDropEarlierEntries) {
    EXPECT_EQ(payloadOf(request({"C", "G7", json{{"chord", "F"}}})),
              (json{{"error", "Invalid chord entry: expected string or {symbol}"},
                    {"code", "invalid_chord"},
                    {"index", 2}}));
    EXPECT_EQ(payloadOf(request({"C", "H7"})), (json{{"error", "Invalid chord at index 1: H7"},
                                                     {"code", "invalid_chord"},
                                                     {"index", 1},
                                                     {"chord", "H7"}}));
    // The same on the parallel path.
    EXPECT_EQ(payloadOf(parallel({"Dm7", 4}, key("C", "minor"), "major")).at("index"), 1);
}

TEST(RecalculateRomansErrors, EveryErrorEchoesTheRequestIdAndReadsAsNotOk) {
    json keyLinkedOnly = request(json::array());
    keyLinkedOnly["keyLinked"] = true;
    for (json r : {json{{"key", key("C", "major")}}, request(json::array(), key("C", "ionian")),
                   request({"H"}), keyLinkedOnly}) {
        r["request_id"] = "q7";
        const BridgeReply reply = handleRecalculateRomans(r);
        EXPECT_EQ(reply.payload.at("request_id"), "q7") << r.dump();
        EXPECT_FALSE(pageOk(reply.type, reply.payload)) << r.dump();
    }
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

TEST(RecalculateRomansPlain, QualitiesComeBackCanonical) {
    const json payload = payloadOf(request({"C-6", "C", "Cmin7"}));
    EXPECT_EQ(field(payload, "quality"), (std::vector<std::string>{"m6", "maj", "m7"}));
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Cm6", "Cmaj", "Cm7"}));
    EXPECT_EQ(field(payload, "category"), (std::vector<std::string>{"minor", "major", "minor"}));
}

TEST(RecalculateRomansPlain, BlanksAroundAnEntryDoNotHideItsLetters) {
    const json payload = payloadOf(request({" Db7 ", "  F/A"}));
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Db7", "Fmaj/A"}));
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

TEST(RecalculateRomansPlain, ScaleTypeChangeAloneIsNoTransform) {
    json melodic = key("C", "minor");
    melodic["minorScaleType"] = "melodic";
    json r = parallel({"Ab", "Bb7", "Fm"}, melodic, "minor");
    r["oldMinorScaleType"] = "natural";
    const json payload = payloadOf(r);
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"Abmaj", "Bb7", "Fm"}));
    // Numbered in the melodic scale, where A-flat and B-flat are lowered degrees.
    EXPECT_EQ(field(payload, "roman"), (std::vector<std::string>{"\u266DVI", "\u266DVII7", "iv"}));
    EXPECT_EQ(payload.at("chords").at(0).at("degree"), 0);
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

TEST(RecalculateRomansParallel, SameModeWithKeyLinkIsNoTransform) {
    const json payload = payloadOf(parallel({"A#7", "Dm7"}, key("C", "major"), "major"));
    EXPECT_EQ(field(payload, "symbol"), (std::vector<std::string>{"A#7", "Dm7"}));
}

}  // namespace
}  // namespace quillex
