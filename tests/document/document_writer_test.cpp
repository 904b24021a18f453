// Writing project documents: member sets, number forms, clip identity and round trips.
#include "document/document_writer.h"

#include <gtest/gtest.h>

#include "document/document_reader.h"
#include "support/document_samples.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::documentWithSlots;
using testing::fullDocumentJson;
using testing::minimalDocumentJson;

ProjectDocument defaultDocument() {
    ProjectDocument document;
    document.schemaVersion = 15;
    document.progression = std::make_shared<const ProgressionSection>();
    document.progressionLog = std::make_shared<const ProgressionLog>();
    document.key = std::make_shared<const KeySection>();
    document.voicing = std::make_shared<const VoicingSection>();
    document.rhythm = std::make_shared<const RhythmSection>();
    document.gesture = makeDefaultGestureSection();
    document.bassSplit = std::make_shared<const BassSplitSection>();
    document.clipSync = makeDefaultClipSyncSection();
    return document;
}

void expectSameContents(const ProjectDocument& a, const ProjectDocument& b) {
    EXPECT_EQ(a.schemaVersion, b.schemaVersion);
    EXPECT_EQ(*a.progression, *b.progression);
    EXPECT_EQ(*a.progressionLog, *b.progressionLog);
    EXPECT_EQ(*a.key, *b.key);
    EXPECT_EQ(*a.voicing, *b.voicing);
    EXPECT_EQ(*a.rhythm, *b.rhythm);
    EXPECT_EQ(*a.gesture, *b.gesture);
    EXPECT_EQ(*a.bassSplit, *b.bassSplit);
    EXPECT_EQ(*a.clipSync, *b.clipSync);
}

TEST(SlotWriting, ADefaultSlotHasExactlyFiveMembers) {
    EXPECT_EQ(writeProgressionSlot(ProgressionSlot{}).dump(),
              R"({"attack":{"gate":"hold","globalFollow":false,"mode":"off"},"attackOrders":[],)"
              R"("chord":{"original":""},"duration":4.0,"velocity":100})");
}

TEST(SlotWriting, ARestSlotStopsAfterItsLockState) {
    ProgressionSlot rest;
    rest.id = "s7";
    rest.type = "rest";
    rest.isRest = true;
    rest.duration = 1.5;
    rest.velocity = 64;
    rest.chord.original = "ignored";
    EXPECT_EQ(writeProgressionSlot(rest).dump(), R"({"duration":1.5,"id":"s7","type":"rest"})");
}

TEST(SlotWriting, ThePresetIdFollowsItsPresenceFlag) {
    ProgressionSlot slot;
    slot.gesturePresetId = "user-a";
    EXPECT_FALSE(writeProgressionSlot(slot).contains("gesturePresetId"));
    slot.gesturePresetIdPresent = true;
    EXPECT_EQ(writeProgressionSlot(slot).at("gesturePresetId"), "user-a");
    slot.gesturePresetId.reset();
    EXPECT_TRUE(writeProgressionSlot(slot).at("gesturePresetId").is_null());
}

TEST(SlotWriting, OptionalMembersAreLeftOutWhenAbsent) {
    ProgressionSlot slot;
    slot.inversion = 0;
    slot.isAutoVoiced = false;
    const json out = writeProgressionSlot(slot);
    EXPECT_EQ(out.at("inversion"), 0);
    EXPECT_EQ(out.at("isAutoVoiced"), false);
    EXPECT_FALSE(out.contains("octaveShift"));
    EXPECT_FALSE(out.contains("voicingStyle"));
    EXPECT_FALSE(out.contains("id"));
    EXPECT_FALSE(out.contains("type"));
    EXPECT_FALSE(out.contains("lockState"));
}

TEST(ChordWriting, BassKeyDegreeAndIntervals) {
    SlotChord chord;
    chord.original = "C/E";
    chord.bassNote = "E";
    chord.usesLegacyBassKey = true;
    EXPECT_EQ(writeSlotChord(chord).dump(), R"({"bass":"E","original":"C/E"})");
    chord.usesLegacyBassKey = false;
    chord.degree = 1;
    chord.intervals = {0, 4, 7};
    EXPECT_EQ(writeSlotChord(chord).dump(), R"({"bassNote":"E","degree":1.0,"intervals":[0,4,7],"original":"C/E"})");
    const SlotChord read = readSlotChord(parseJsonText(R"({"original": "C/E", "bass": "E"})"));
    EXPECT_TRUE(writeSlotChord(read).contains("bass"));
    EXPECT_FALSE(writeSlotChord(read).contains("bassNote"));
}

TEST(AttackWriting, ShortAndFullForms) {
    AttackSettings attack;
    attack.spread = "1/4";  // not written in the short form
    EXPECT_EQ(writeAttackSettings(attack).dump(), R"({"gate":"hold","globalFollow":false,"mode":"off"})");

    attack.isFullForm = true;
    const json full = writeAttackSettings(attack);
    EXPECT_EQ(full.size(), 13u);
    EXPECT_TRUE(full.at("roundRobinLength").is_number_unsigned());
    EXPECT_EQ(full.at("spread"), "1/4");
    EXPECT_EQ(full.at("velocityRange").dump(), R"({"maximum":100,"minimum":100})");
    EXPECT_EQ(full.at("velocityRateCurve").dump(),
              R"({"end":0,"firstBend":0,"mid":50,"midPosition":50,"secondBend":0,"start":100})");
}

TEST(AttackWriting, OrdersAreUnsignedPages) {
    const AttackOrders orders = {AttackOrderPage{{3, 1}, 7}, AttackOrderPage{}};
    const json out = writeAttackOrders(orders);
    EXPECT_EQ(out.dump(), R"([{"order":[3,1],"velocitySeed":7},{"order":[],"velocitySeed":1}])");
    EXPECT_TRUE(out[0]["order"][0].is_number_unsigned());
    EXPECT_TRUE(out[0]["velocitySeed"].is_number_unsigned());
}

TEST(SectionWriting, NullsForAbsentOptionalsAndTheFixedMemberSets) {
    const json rhythm = writeRhythmSection(RhythmSection{});
    EXPECT_EQ(rhythm.dump(), R"({"customPattern":null,"legato":false,"pattern":"none","presetId":null,)"
                             R"("retriggerOnBlock":false,"shift":0,"swing":{"amount":0,"mode":"swing16"}})");
    EXPECT_EQ(writeProgressionSection(ProgressionSection{}).dump(), R"({"input":"","parseError":null,"slots":[]})");
    EXPECT_EQ(writeKeySection(KeySection{"Bb", "minor", "natural", -2, true}).dump(),
              R"({"autoKey":true,"minorScaleType":"natural","mode":"minor","root":"Bb","transposeOffset":-2})");
    EXPECT_EQ(writeVoicingSection(VoicingSection{true, false, true, "shell"}).dump(),
              R"({"allowBassChanges":false,"autoVoiceLeading":true,"defaultStyle":"shell","dropBass":true})");
    EXPECT_EQ(writeGestureSection(GestureSection{}).dump(),
              R"({"newChordAttack":{"gate":"hold","globalFollow":false,"mode":"off"},"newChordAttackOrders":[],)"
              R"("newChordPresetId":null,"newChordVelocity":100})");
    EXPECT_EQ(writeBassSplitSection(BassSplitSection{}).dump(), R"({"mode":"migrate","target":"off"})");
    EXPECT_EQ(writeClipSyncSection(ClipSyncSection{}).dump(), R"({"mode":"off"})");
    EXPECT_EQ(writeProgressionParseErrors(ProgressionParseError{{"a", "b"}, "bad"}).dump(),
              R"({"errors":[{"token":"a"},{"token":"b"}],"message":"bad"})");
    EXPECT_EQ(writeOptionalString(std::nullopt), json(nullptr));
}

TEST(DocumentWriting, EveryDocumentCarriesTheFixedClipIdentity) {
    const json out = writeProjectDocument(defaultDocument());
    const json& identity = out.at("clipIdentity");
    ASSERT_EQ(identity.size(), 10u);
    EXPECT_EQ(identity.at("sessionSlotIdx"), -1);
    int nulls = 0;
    for (const auto& [key, value] : identity.items()) nulls += value.is_null() ? 1 : 0;
    EXPECT_EQ(nulls, 9);
    for (const char* key : {"bassClipFingerprint", "bassClipId", "bassTrackId", "destination", "mainClipFingerprint",
                            "mainClipId", "mainClipStartTime", "mainTrackId", "ownerDeviceId"}) {
        EXPECT_TRUE(identity.at(key).is_null()) << key;
    }
    // A snapshot's own identity is replaced on the next write.
    json snapshot = fullDocumentJson();
    snapshot["clipIdentity"] = {{"mainClipId", "clip-9"}};
    EXPECT_EQ(writeProjectDocument(readProjectDocument(snapshot)).at("clipIdentity"), clipIdentity());
}

TEST(DocumentWriting, TopLevelMembersAndNumberForms) {
    const json out = writeProjectDocument(readProjectDocument(fullDocumentJson()));
    std::vector<std::string> keys;
    for (const auto& [key, value] : out.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"bassSplit", "clipIdentity", "clipSync", "gesture", "key", "progression",
                                              "progressionLog", "rhythm", "schemaVersion", "voicing"}));
    EXPECT_EQ(out.at("schemaVersion"), 15);
    const json& slot = out.at("progression").at("slots").at(0);
    EXPECT_TRUE(slot.at("duration").is_number_float());
    EXPECT_TRUE(slot.at("chord").at("degree").is_number_float());
    EXPECT_NE(out.dump().find(R"("degree":4.0)"), std::string::npos);
}

TEST(DocumentRoundTrip, TheDefaultDocumentComesBackEqual) {
    const ProjectDocument original = defaultDocument();
    const json written = writeProjectDocument(original);
    const ProjectDocument read = readProjectDocument(written);
    expectSameContents(original, read);
    EXPECT_EQ(writeProjectDocument(read), written);
}

TEST(DocumentRoundTrip, EveryOptionalAndPresenceFlagSurvives) {
    const ProjectDocument original = readProjectDocument(fullDocumentJson());
    // The sample exercises the flags the round trip must keep.
    const auto& slots = original.progression->slots;
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_TRUE(slots[0].gesturePresetIdPresent);
    EXPECT_TRUE(slots[1].chord.usesLegacyBassKey);
    EXPECT_TRUE(slots[1].gesturePresetIdPresent);
    EXPECT_FALSE(slots[1].gesturePresetId.has_value());
    EXPECT_TRUE(slots[2].isRest);

    const json written = writeProjectDocument(original);
    const ProjectDocument read = readProjectDocument(written);
    expectSameContents(original, read);
    EXPECT_EQ(writeProjectDocument(read).dump(), written.dump());
}

TEST(DocumentRoundTrip, MinimalAndLargeDocuments) {
    const ProjectDocument minimal = readProjectDocument(minimalDocumentJson());
    expectSameContents(minimal, readProjectDocument(writeProjectDocument(minimal)));
    const ProjectDocument large = readProjectDocument(documentWithSlots(128));
    EXPECT_EQ(large.progression->slots.size(), 128u);
    expectSameContents(large, readProjectDocument(writeProjectDocument(large)));
}

TEST(DocumentRoundTrip, WhatTheFormatDoesNotCarryIsLost) {
    ProgressionSlot slot;
    slot.gesturePresetId = "kept only with its flag";
    EXPECT_EQ(readProgressionSlot(writeProgressionSlot(slot)).gesturePresetId, std::nullopt);

    AttackSettings shortForm;
    shortForm.dynamic = true;
    EXPECT_EQ(readAttackSettings(writeAttackSettings(shortForm)), AttackSettings{});

    ProgressionSlot rest;
    rest.type = "rest";
    rest.isRest = true;
    rest.velocity = 5;
    const ProgressionSlot back = readProgressionSlot(writeProgressionSlot(rest));
    EXPECT_TRUE(back.isRest);
    EXPECT_EQ(back.velocity, 100);
}

}  // namespace
}  // namespace quillex
