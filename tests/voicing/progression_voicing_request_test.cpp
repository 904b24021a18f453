// The progression voicing request in both modes: replies, echoes, error payloads and debug lines.
#include "voicing/progression_voicing_request.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;

json request(json slots, bool avl = false) {
    return json{{"slots", std::move(slots)}, {"key", {{"root", "C"}}}, {"auto_voice_lead", avl}};
}

TEST(ProgressionRequest, EmptySlotsGiveFourEmptyArraysInBothModes) {
    for (const bool avl : {false, true}) {
        const BridgeReply reply = handleGenerateProgression(request(json::array(), avl));
        EXPECT_EQ(reply.type, "progression_voicings");
        EXPECT_EQ(reply.payload, (json{{"voicings", json::array()},
                                       {"max_manual_inversions", json::array()},
                                       {"voicing_slash_basses", json::array()},
                                       {"voicing_note_labels", json::array()}}));
    }
}

TEST(ProgressionRequest, SingleSlotWithoutVoiceLeading) {
    const BridgeReply reply = handleGenerateProgression(request(json::array({{{"chord", "C"}, {"style", "closed"}}})));
    EXPECT_EQ(reply.type, "progression_voicings");
    EXPECT_EQ(reply.payload["voicings"], json::parse("[[60,64,67]]"));
    EXPECT_EQ(reply.payload["max_manual_inversions"], json::parse("[3]"));
    EXPECT_EQ(reply.payload["voicing_slash_basses"], json::parse("[null]"));
    EXPECT_EQ(reply.payload["voicing_note_labels"], json::parse(R"([["C","E","G"]])"));
}

TEST(ProgressionRequest, SingleSlotWithVoiceLeadingIsItsAnchorMovedToItsOctave) {
    const BridgeReply reply =
        handleGenerateProgression(request(json::array({{{"chord", "C"}, {"style", "closed"}}}), true));
    EXPECT_EQ(reply.type, "progression_voicings");
    EXPECT_EQ(reply.payload["voicings"], json::parse(R"([{"notes":[60,64,67]}])"));
    EXPECT_FALSE(reply.payload.contains("avl_debug"));
}

TEST(ProgressionRequest, TranspositionVoicesTheMovedBackChordAndNamesTheSoundingOne) {
    json r = request(json::array({{{"chord", "D"}, {"style", "closed"}}}));
    r["semitone_transpose"] = 2;
    const BridgeReply reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.payload["voicings"], json::parse("[[62,66,69]]"));
    EXPECT_EQ(reply.payload["voicing_note_labels"], json::parse(R"([["D","F#","A"]])"));
}

TEST(ProgressionRequest, DropBassAfterTheOctaveMoveWithVoiceLeading) {
    json r = request(json::array({{{"chord", "C"}, {"style", "closed"}, {"drop_bass", true}, {"octave", 0}},
                                  {{"chord", "F"}, {"style", "closed"}, {"drop_bass", true}}}),
                     true);
    const BridgeReply reply = handleGenerateProgression(r);
    ASSERT_EQ(reply.type, "progression_voicings");
    // Octave 0: 48 52 55 moved down three octaves gives 12 16 19, then the bass drops to 0.
    EXPECT_EQ(reply.payload["voicings"][0]["notes"], json::parse("[0,16,19]"));
    const json second = reply.payload["voicings"][1]["notes"];
    ASSERT_GE(second.size(), 3u);
    EXPECT_LE(second[0].get<int>() + 12, second[1].get<int>());
}

TEST(ProgressionRequest, PinnedManualNotesComeBackSortedAndOnlyTransposed) {
    json r = request(json::array({{{"chord", "C"}, {"style", "closed"}},
                                  {{"chord", "F"}, {"style", "closed"}},
                                  {{"chord", "G"},
                                   {"style", "closed"},
                                   {"auto_voiced", false},
                                   {"octave", 5},
                                   {"drop_bass", true},
                                   {"manual_midi", {64, 60}}}}),
                     true);
    r["semitone_transpose"] = 1;
    const BridgeReply reply = handleGenerateProgression(r);
    ASSERT_EQ(reply.type, "progression_voicings") << reply.payload.dump();
    EXPECT_EQ(reply.payload["voicings"][2]["notes"], json::parse("[61,65]"));
}

TEST(ProgressionRequest, ManualNotesAreClampedToTheMidiRange) {
    const json r =
        request(json::array({{{"chord", "C"}, {"style", "closed"}},
                             {{"chord", "F"}, {"style", "closed"}, {"auto_voiced", false}, {"notes", {300, -40, 60}}}}),
                true);
    const BridgeReply reply = handleGenerateProgression(r);
    ASSERT_EQ(reply.type, "progression_voicings") << reply.payload.dump();
    EXPECT_EQ(reply.payload["voicings"][1]["notes"], json::parse("[0,60,127]"));
}

TEST(ProgressionRequest, KeyErrorsComeFirstAndEchoOnlyTheRequestId) {
    json r = {{"slots", json::array()}, {"request_id", "r1"}, {"source", "page"}};
    BridgeReply reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.type, "progression_error");
    EXPECT_EQ(reply.payload, (json{{"error", "missing key context"},
                                   {"message", "Progression Roman display requires key context"},
                                   {"code", "missing_key_context"},
                                   {"voicings", json::array()},
                                   {"request_id", "r1"}}));
    r["key"] = {{"root", "H"}};
    reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.payload["code"], "invalid_display_key");
    EXPECT_EQ(reply.payload["message"], "Display spelling requires a valid key root");
    EXPECT_FALSE(reply.payload.contains("source"));
}

TEST(ProgressionRequest, MissingSlotsEchoNothing) {
    EXPECT_EQ(handleGenerateProgression(json{{"request_id", "x"}}).payload, (json{{"message", "Missing slots array"}}));
    EXPECT_EQ(handleGenerateProgression(json::array()).payload, (json{{"message", "Missing slots array"}}));
    EXPECT_EQ(handleGenerateProgression(json{{"slots", 3}}).type, "progression_error");
}

TEST(ProgressionRequest, SpellingReadersAnswerWithTheirMessages) {
    json r = request(json::array());
    r["simplifyAccidentals"] = "yes";
    EXPECT_EQ(handleGenerateProgression(r).payload,
              (json{{"message", "Invalid simplifyAccidentals: expected boolean"}}));
    r.erase("simplifyAccidentals");
    r["spellingPreference"] = "loud";
    r["request_id"] = "q";
    EXPECT_EQ(handleGenerateProgression(r).payload,
              (json{{"message", "Invalid spellingPreference: loud"}, {"request_id", "q"}}));
}

TEST(ProgressionRequest, SlotParseFailuresInEachMode) {
    json r = request(json::array({{{"chord", "C"}, {"style", "closed"}}, {{"chord", "Xq"}, {"style", "closed"}}}));
    r["source"] = "page";
    r["fingerprint"] = "f";
    BridgeReply reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.payload, (json{{"error", "progression slot parse failed"},
                                   {"message", "progression slot parse failed"},
                                   {"code", "progression_slot_parse_failed"},
                                   {"index", 1},
                                   {"chord", "Xq"},
                                   {"style", "closed"},
                                   {"voicings", json::array()},
                                   {"source", "page"},
                                   {"fingerprint", "f"}}));
    r["auto_voice_lead"] = true;
    r["slots"][1]["style"] = "";
    reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.payload, (json{{"error", "auto_voice_lead could not parse one or more slots"},
                                   {"message", "auto_voice_lead could not parse one or more slots"},
                                   {"code", "auto_voice_lead_parse_failed"},
                                   {"voicings", json::array()},
                                   {"chord", "Xq"},
                                   {"source", "page"},
                                   {"fingerprint", "f"}}));
}

TEST(ProgressionRequest, VoiceLeadingRefusesMoreSlotsThanItsBound) {
    const json slot = {{"chord", "C"}, {"style", "closed"}};
    json r = request(json::array(), true);
    r["request_id"] = "r";
    for (std::size_t i = 0; i < kMaxVoiceLedSlots; ++i) r["slots"].push_back(slot);
    BridgeReply reply = handleGenerateProgression(r);
    ASSERT_EQ(reply.type, "progression_voicings");
    EXPECT_EQ(reply.payload["voicings"].size(), kMaxVoiceLedSlots);

    r["slots"].push_back(slot);
    reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.type, "progression_error");
    EXPECT_EQ(reply.payload, (json{{"error", "auto_voice_lead supports at most 1024 slots"},
                                   {"message", "auto_voice_lead supports at most 1024 slots"},
                                   {"code", "auto_voice_lead_too_many_slots"},
                                   {"voicings", json::array()},
                                   {"request_id", "r"}}));
    // Each slot voiced on its own costs little: no bound there.
    r["auto_voice_lead"] = false;
    EXPECT_EQ(handleGenerateProgression(r).payload["voicings"].size(), kMaxVoiceLedSlots + 1);
}

TEST(ProgressionRequest, EchoRulesForNonTextValues) {
    json r = request(json::array());
    r["request_id"] = 5;
    r["fingerprint"] = 7;
    EXPECT_FALSE(handleGenerateProgression(r).payload.contains("request_id"));
    r["source"] = 5;
    EXPECT_THROW(handleGenerateProgression(r), json::type_error);
    r["source"] = "s";
    r["auto_voice_lead"] = 1;
    EXPECT_THROW(handleGenerateProgression(r), json::type_error);
}

TEST(ProgressionRequest, ImpliedSlashBassIsSpelledInTheKey) {
    json r = request(json::array({{{"chord", "C"}, {"style", "closed"}, {"inversion", 1}}}));
    const BridgeReply reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.payload["voicings"], json::parse("[[64,67,72]]"));
    EXPECT_EQ(reply.payload["voicing_slash_basses"], json::parse(R"(["E"])"));
    EXPECT_EQ(reply.payload["voicing_note_labels"], json::parse(R"([["E","G","C"]])"));
}

json fourChords() {
    return json::array({{{"chord", "Cmaj7"}, {"style", "tessaro"}},
                        {{"chord", "Am9"}, {"style", "tessaro"}},
                        {{"chord", "D7b9"}, {"style", "tessaro"}},
                        {{"chord", "G13"}, {"style", "tessaro"}}});
}

TEST(ProgressionDebugLines, CollectedOnlyWhenAskedAndSwitchedOffAfterwards) {
    json r = request(fourChords(), true);
    BridgeReply reply = handleGenerateProgression(r);
    ASSERT_EQ(reply.type, "progression_voicings") << reply.payload.dump();
    EXPECT_FALSE(reply.payload.contains("avl_debug"));
    EXPECT_FALSE(isAvlDebugEnabled());

    r["include_avl_debug"] = true;
    reply = handleGenerateProgression(r);
    ASSERT_TRUE(reply.payload.contains("avl_debug"));
    const json lines = reply.payload["avl_debug"];
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0].get<std::string>().rfind("AVL segment start=0 end=3 anchor_style=tessaro anchor_octave=4", 0),
              0u);
    EXPECT_EQ(lines[1].get<std::string>().rfind("AVL chord[0] Cmaj7 unique=4", 0), 0u);
    EXPECT_EQ(lines[5].get<std::string>().rfind("AVL beam candidates=1/", 0), 0u);
    EXPECT_EQ(lines[6].get<std::string>().rfind("AVL solve chords=4 gen_ms=", 0), 0u);
    EXPECT_FALSE(isAvlDebugEnabled());
    EXPECT_TRUE(takeAvlDebugLines().empty());
}

TEST(ProgressionDebugLines, FailureCarriesTheLinesSoFarAndSwitchesOff) {
    // Twelve manual notes ask for twelve-note candidates of a seven-tone chord,
    // which the enumeration budget refuses.
    json r = request(json::array({{{"chord", "C13#11"},
                                   {"style", "tessaro"},
                                   {"manual_midi", {36, 40, 43, 46, 50, 54, 57, 60, 64, 67, 70, 74}}},
                                  {{"chord", "Cmaj13#11"}, {"style", "tessaro"}}}),
                     true);
    r["include_avl_debug"] = true;
    r["request_id"] = "z";
    const BridgeReply reply = handleGenerateProgression(r);
    EXPECT_EQ(reply.type, "progression_error");
    EXPECT_EQ(reply.payload["code"], "auto_voice_lead_failed");
    EXPECT_EQ(reply.payload["error"], "auto_voice_lead failed");
    EXPECT_EQ(reply.payload["request_id"], "z");
    ASSERT_TRUE(reply.payload.contains("avl_debug"));
    EXPECT_EQ(reply.payload["avl_debug"][0].get<std::string>().rfind("AVL segment start=0 end=1", 0), 0u);
    EXPECT_FALSE(isAvlDebugEnabled());
    EXPECT_TRUE(takeAvlDebugLines().empty());
}

TEST(ProgressionRequest, PowerChordAfterAFiveNoteAnchorIsVoiceLed) {
    for (const char* dense : {"C9", "C7b9", "C7alt", "C7#9"}) {
        const BridgeReply reply = handleGenerateProgression(request(
            json::array({{{"chord", dense}, {"style", "guide-color"}}, {{"chord", "C5"}, {"style", "guide-color"}}}),
            true));
        ASSERT_EQ(reply.type, "progression_voicings") << dense << ": " << reply.payload.dump();
        const json& notes = reply.payload["voicings"][1]["notes"];
        ASSERT_FALSE(notes.empty());
        for (const json& note : notes) EXPECT_TRUE(note.get<int>() % 12 == 0 || note.get<int>() % 12 == 7) << dense;
    }
}

TEST(ProgressionRequest, PortReceivesTheSolve) {
    VoicerPort port;
    const BridgeReply reply = handleProgressionVoicings(request(fourChords(), true), &port);
    ASSERT_EQ(reply.type, "progression_voicings");
    EXPECT_TRUE(port.hasPrevious);
    EXPECT_EQ(port.previousSymbols.size(), 4u);
}

}  // namespace
}  // namespace quillex
