// Reading and validating project documents: refusals, defaults and number conversion.
#include "document/document_reader.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/document_samples.h"
#include "support/refusal.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::fullAttackJson;
using testing::fullChordSlotJson;
using testing::fullDocumentJson;
using testing::libraryAtText;
using testing::libraryNotFoundText;
using testing::libraryRefusal;
using testing::libraryTypeErrorText;
using testing::minimalDocumentJson;
using testing::ownRefusal;

constexpr const char* kSchema = "DocumentSession requires the current project schema";

json restSlot() { return json{{"type", "rest"}, {"duration", 2}}; }

json chordSlot() {
    return json{{"duration", 4},
                {"chord", {{"original", "C"}}},
                {"velocity", 100},
                {"attack", {{"mode", "off"}}},
                {"attackOrders", json::array()}};
}

TEST(DocumentSchemaGate, OnlyVersionFifteenObjectsAreRead) {
    EXPECT_EQ(readProjectDocument(minimalDocumentJson()).schemaVersion, 15u);
    json doc = minimalDocumentJson();
    doc["schemaVersion"] = 14;
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    doc.erase("schemaVersion");
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    EXPECT_EQ(ownRefusal([] { readProjectDocument(json::array()); }), kSchema);
    EXPECT_EQ(ownRefusal([] { readProjectDocument(json(15)); }), kSchema);
}

TEST(DocumentSchemaGate, TheVersionIsCheckedBeforeAnySection) {
    const json doc = {{"schemaVersion", 14}, {"progression", 3}};
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
}

TEST(DocumentSchemaGate, VersionNumbersConvertWithoutWrapping) {
    json doc = minimalDocumentJson();
    doc["schemaVersion"] = 15.9;  // truncates toward zero
    EXPECT_EQ(readProjectDocument(doc).schemaVersion, 15u);
    doc["schemaVersion"] = 4294967311ULL;  // 2^32 + 15 must not pass for 15
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    doc["schemaVersion"] = -4294967281LL;  // -2^32 + 15
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    doc["schemaVersion"] = 1e300;
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    doc["schemaVersion"] = true;
    EXPECT_EQ(ownRefusal([&] { readProjectDocument(doc); }), kSchema);
    doc["schemaVersion"] = "15";
    EXPECT_EQ(libraryRefusal([&] { readProjectDocument(doc); }), libraryTypeErrorText<int>(json("15")));
}

TEST(DocumentSections, EverySectionIsRequired) {
    for (const char* key :
         {"progression", "progressionLog", "key", "voicing", "rhythm", "gesture", "bassSplit", "clipSync"}) {
        SCOPED_TRACE(key);
        json doc = minimalDocumentJson();
        doc.erase(key);
        EXPECT_EQ(libraryRefusal([&] { readProjectDocument(doc); }), libraryNotFoundText(key));
    }
}

TEST(DocumentSections, EmptyOptionalSectionsReadAsDefaults) {
    for (const json& empty : {json(nullptr), json::object(), json::array()}) {
        SCOPED_TRACE(empty.dump());
        json doc = minimalDocumentJson();
        doc["bassSplit"] = empty;
        doc["clipSync"] = empty;
        doc["gesture"] = empty;
        const auto document = readProjectDocument(doc);
        EXPECT_EQ(*document.bassSplit, (BassSplitSection{"off", "migrate"}));
        EXPECT_EQ(document.clipSync->mode, "off");
        EXPECT_EQ(*document.gesture, GestureSection{});
    }
    // Otherwise their members are required.
    EXPECT_EQ(libraryRefusal([] { readBassSplitSection(json{{"target", "off"}}); }), libraryNotFoundText("mode"));
    EXPECT_EQ(libraryRefusal([] {
                  readGestureSection(json{{"newChordVelocity", 100}});
              }),
              libraryNotFoundText("newChordAttack"));
}

TEST(DocumentSections, UnknownMembersAndClipIdentityAreIgnored) {
    json doc = fullDocumentJson();
    doc["clipIdentity"] = {{"mainClipId", "abc"}};
    doc["somethingNew"] = 1;
    doc["key"]["extra"] = "x";
    const auto document = readProjectDocument(doc);
    EXPECT_EQ(document.key->root, "Eb");
}

TEST(DocumentSections, KeyVoicingAndRhythmFields) {
    const auto document = readProjectDocument(fullDocumentJson());
    EXPECT_EQ(*document.key, (KeySection{"Eb", "minor", "melodic", -3, true}));
    EXPECT_EQ(*document.voicing, (VoicingSection{true, false, true, "anthem"}));
    const auto& rhythm = *document.rhythm;
    EXPECT_EQ(rhythm.pattern, "custom");
    EXPECT_EQ(rhythm.presetId, "user-groove");
    EXPECT_EQ(rhythm.shift, 2);
    EXPECT_TRUE(rhythm.retriggerOnBlock);
    EXPECT_TRUE(rhythm.legato);
    EXPECT_EQ(rhythm.swing, (RhythmSwing{"swing8", 35}));
    ASSERT_TRUE(rhythm.customPattern.has_value());
    EXPECT_EQ(rhythm.customPattern->lengthSteps, 12);
    ASSERT_EQ(rhythm.customPattern->events.size(), 2u);
    EXPECT_EQ(rhythm.customPattern->events[1], (RhythmEvent{4, 1, "top", 70}));
    EXPECT_EQ(*document.progressionLog, (ProgressionLog{"Ebmaj7/G", "C/E"}));
    EXPECT_EQ(libraryRefusal([] { readKeySection(json{{"root", 1}}); }), libraryTypeErrorText<std::string>(json(1)));
    EXPECT_EQ(libraryRefusal([] { readVoicingSection(json::array()); }), libraryAtText(json::array()));
}

TEST(DocumentSections, CustomPatternEventsAreWalkedLikeAnyValue) {
    json rhythm = fullDocumentJson()["rhythm"];
    rhythm["customPattern"]["events"] = nullptr;
    auto section = readRhythmSection(rhythm);
    ASSERT_TRUE(section->customPattern.has_value());
    EXPECT_TRUE(section->customPattern->events.empty());

    rhythm["customPattern"]["events"] = {{"a", {{"offset", 1}, {"duration", 1}, {"part", "bass"}, {"velocity", 5}}}};
    section = readRhythmSection(rhythm);
    ASSERT_EQ(section->customPattern->events.size(), 1u);  // an object walks its member values
    EXPECT_EQ(section->customPattern->events[0].offset, 1);

    rhythm["customPattern"]["events"] = 7;
    EXPECT_EQ(libraryRefusal([&] { readRhythmSection(rhythm); }), libraryAtText(json(7)));

    rhythm["customPattern"] = nullptr;
    EXPECT_FALSE(readRhythmSection(rhythm)->customPattern.has_value());
}

TEST(ProgressionRefusals, ShapeOfTheProgressionSection) {
    constexpr const char* kMessage = "Document progression is invalid";
    EXPECT_EQ(ownRefusal([] { readProgressionSection(json::array()); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readProgressionSection(json{{"slots", json::array()}}); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readProgressionSection(json{{"input", ""}}); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readProgressionSection(json{{"input", 1}, {"slots", json::array()}}); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readProgressionSection(json{{"input", ""}, {"slots", json::object()}}); }), kMessage);

    EXPECT_EQ(ownRefusal([] { readProgressionLog(json::object()); }), "Document progression log is invalid");
    EXPECT_EQ(libraryRefusal([] { readProgressionLog(json{"a", 2}); }), libraryTypeErrorText<std::string>(json(2)));
}

TEST(ProgressionRefusals, ParseErrorsKeepTheirTokensInOrder) {
    const auto section = readProjectDocument(fullDocumentJson()).progression;
    ASSERT_TRUE(section->parseError.has_value());
    EXPECT_EQ(section->parseError->message, "Some tokens could not be read");
    EXPECT_EQ(section->parseError->errors, (std::vector<std::string>{"X#q", "??"}));

    json progression = {{"input", ""}, {"slots", json::array()}, {"parseError", {{"errors", json::array()}}}};
    EXPECT_EQ(libraryRefusal([&] { readProgressionSection(progression); }), libraryNotFoundText("message"));
    progression["parseError"] = {{"message", "m"}, {"errors", {{{"token", "a"}, {"index", 3}}}}};
    EXPECT_EQ(readProgressionSection(progression)->parseError->errors, std::vector<std::string>{"a"});
    progression["parseError"] = nullptr;
    EXPECT_FALSE(readProgressionSection(progression)->parseError.has_value());
}

TEST(SlotReading, RestSlotsNeedOnlyTheirDuration) {
    const ProgressionSlot slot = readProgressionSlot(restSlot());
    EXPECT_TRUE(slot.isRest);
    EXPECT_EQ(slot.type, "rest");
    EXPECT_EQ(slot.duration, 2.0);
    EXPECT_EQ(slot.chord, SlotChord{});
    EXPECT_EQ(slot.attack, AttackSettings{});

    json other = chordSlot();
    other["type"] = "chord";
    EXPECT_FALSE(readProgressionSlot(other).isRest);
}

TEST(SlotReading, RefusesNonObjectsAndBadDurations) {
    EXPECT_EQ(ownRefusal([] { readProgressionSlot(json("C")); }), "Document slot is invalid");
    for (const json& duration :
         {json(0), json(-1), json(-0.0), json(std::numeric_limits<double>::infinity()), json(std::nan(""))}) {
        SCOPED_TRACE(duration.dump());
        json slot = chordSlot();
        slot["duration"] = duration;
        EXPECT_EQ(ownRefusal([&] { readProgressionSlot(slot); }), "Document slot duration is invalid");
    }
    json slot = chordSlot();
    slot["duration"] = true;
    EXPECT_EQ(libraryRefusal([&] { readProgressionSlot(slot); }), libraryTypeErrorText<double>(json(true)));
    slot.erase("duration");
    EXPECT_EQ(libraryRefusal([&] { readProgressionSlot(slot); }), libraryNotFoundText("duration"));
}

TEST(SlotReading, ChordSlotMembersAreRequiredInOrder) {
    for (const char* key : {"chord", "velocity", "attack", "attackOrders"}) {
        SCOPED_TRACE(key);
        json slot = chordSlot();
        slot.erase(key);
        EXPECT_EQ(libraryRefusal([&] { readProgressionSlot(slot); }), libraryNotFoundText(key));
    }
}

TEST(SlotReading, OptionalMembersAndThePresetFlag) {
    const ProgressionSlot full = readProgressionSlot(fullChordSlotJson("s1"));
    EXPECT_EQ(full.id, "s1");
    EXPECT_EQ(full.lockState, "locked");
    EXPECT_EQ(full.inversion, 1);
    EXPECT_EQ(full.octaveShift, -1);
    EXPECT_EQ(full.voicingStyle, "shell");
    EXPECT_EQ(full.isAutoVoiced, false);
    EXPECT_EQ(full.velocity, 96);
    EXPECT_EQ(full.gesturePresetId, "user-strum");
    EXPECT_TRUE(full.gesturePresetIdPresent);

    json slot = chordSlot();
    slot["gesturePresetId"] = nullptr;
    slot["inversion"] = nullptr;
    const ProgressionSlot nulls = readProgressionSlot(slot);
    EXPECT_FALSE(nulls.gesturePresetId.has_value());
    EXPECT_TRUE(nulls.gesturePresetIdPresent);
    EXPECT_FALSE(nulls.inversion.has_value());
    EXPECT_FALSE(readProgressionSlot(chordSlot()).gesturePresetIdPresent);

    slot["isAutoVoiced"] = 1;
    EXPECT_EQ(libraryRefusal([&] { readProgressionSlot(slot); }), libraryTypeErrorText<bool>(json(1)));
}

TEST(NumberConversion, InRangeNumbersFollowTheLibraryRules) {
    json slot = chordSlot();
    slot["velocity"] = 99.9;
    EXPECT_EQ(readProgressionSlot(slot).velocity, 99);
    slot["velocity"] = -99.9;
    EXPECT_EQ(readProgressionSlot(slot).velocity, -99);
    slot["velocity"] = true;
    EXPECT_EQ(readProgressionSlot(slot).velocity, 1);
    slot["velocity"] = "100";
    EXPECT_EQ(libraryRefusal([&] { readProgressionSlot(slot); }), libraryTypeErrorText<int>(json("100")));
    slot["velocity"] = 2147483647;
    EXPECT_EQ(readProgressionSlot(slot).velocity, 2147483647);
}

// Numbers that do not fit their field are refused with the message of the record that holds it.
TEST(NumberConversion, OutOfRangeNumbersAreRefusedNotWrapped) {
    json slot = chordSlot();
    slot["velocity"] = 4294967396ULL;  // 2^32 + 100
    EXPECT_EQ(ownRefusal([&] { readProgressionSlot(slot); }), "Document slot is invalid");
    slot["velocity"] = 2147483648.0;
    EXPECT_EQ(ownRefusal([&] { readProgressionSlot(slot); }), "Document slot is invalid");
    slot = chordSlot();
    slot["octaveShift"] = -2147483649LL;
    EXPECT_EQ(ownRefusal([&] { readProgressionSlot(slot); }), "Document slot is invalid");

    slot = chordSlot();
    slot["chord"]["intervals"] = {0, 4294967300ULL};
    EXPECT_EQ(ownRefusal([&] { readProgressionSlot(slot); }), "Document chord is invalid");

    json attack = fullAttackJson();
    attack["velocityRange"]["maximum"] = 1e10;
    EXPECT_EQ(ownRefusal([&] { readAttackSettings(attack); }), "Document attack is invalid");
    attack = fullAttackJson();
    attack["roundRobinLength"] = -1;
    EXPECT_EQ(ownRefusal([&] { readAttackSettings(attack); }), "Document attack is invalid");
    attack["roundRobinLength"] = 1e30;
    EXPECT_EQ(ownRefusal([&] { readAttackSettings(attack); }), "Document attack is invalid");
    attack["roundRobinLength"] = -0.5;  // truncates to 0, which fits
    EXPECT_EQ(readAttackSettings(attack).roundRobinLength, 0u);
    attack["roundRobinLength"] = 3.7;
    EXPECT_EQ(readAttackSettings(attack).roundRobinLength, 3u);
    attack["velocityCurve"]["mid"] = -3e9;
    EXPECT_EQ(ownRefusal([&] { readAttackSettings(attack); }), "Document contour is invalid");

    EXPECT_EQ(ownRefusal([] {
                  readAttackOrders(json{{{"order", json::array()}, {"velocitySeed", -1}}});
              }),
              "Document attack orders are invalid");
    EXPECT_EQ(ownRefusal([] {
                  readAttackOrders(json{{{"order", json::array()}, {"velocitySeed", 4294967296ULL}}});
              }),
              "Document attack orders are invalid");
    EXPECT_EQ(ownRefusal([] { readAttackOrders(json{{{"order", {1, -2}}}}); }), "Document attack orders are invalid");
    EXPECT_EQ(readAttackOrders(json{{{"order", json::array()}, {"velocitySeed", 4294967295ULL}}})[0].velocitySeed,
              4294967295u);

    EXPECT_EQ(ownRefusal([] {
                  readKeySection(json{{"root", "C"},
                                      {"mode", "major"},
                                      {"minorScaleType", "natural"},
                                      {"transposeOffset", 4294967296ULL},
                                      {"autoKey", false}});
              }),
              "Document key is invalid");
    json rhythm = fullDocumentJson()["rhythm"];
    rhythm["shift"] = -1e12;
    EXPECT_EQ(ownRefusal([&] { readRhythmSection(rhythm); }), "Document rhythm is invalid");
    rhythm = fullDocumentJson()["rhythm"];
    rhythm["customPattern"]["events"][0]["velocity"] = 4294967386ULL;
    EXPECT_EQ(ownRefusal([&] { readRhythmSection(rhythm); }), "Document rhythm is invalid");
    json gesture = fullDocumentJson()["gesture"];
    gesture["newChordVelocity"] = 4294967396ULL;
    EXPECT_EQ(ownRefusal([&] { readGestureSection(gesture); }), "Document gesture is invalid");
}

TEST(NumberConversion, UnsignedSixtyFourBitFieldsRefuseBooleans) {
    json attack = fullAttackJson();
    attack["roundRobinLength"] = true;
    EXPECT_EQ(libraryRefusal([&] { readAttackSettings(attack); }), libraryTypeErrorText<std::uint64_t>(json(true)));
    EXPECT_EQ(libraryRefusal([] {
                  readAttackOrders(json{{{"order", {true}}}});
              }),
              libraryTypeErrorText<std::uint64_t>(json(true)));
    EXPECT_EQ(readAttackOrders(json{{{"order", json::array()}, {"velocitySeed", true}}})[0].velocitySeed, 1u);
}

TEST(ChordReading, RefusesChordsWithoutATextOriginal) {
    constexpr const char* kMessage = "Document chord is invalid";
    EXPECT_EQ(ownRefusal([] { readSlotChord(json("C")); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readSlotChord(json{{"root", "C"}}); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readSlotChord(json{{"original", nullptr}}); }), kMessage);
    EXPECT_EQ(ownRefusal([] { readSlotChord(json{{"original", 7}}); }), kMessage);
}

TEST(ChordReading, FieldsBassKeysAndIntervals) {
    const SlotChord full = readSlotChord(fullChordSlotJson("s")["chord"]);
    EXPECT_EQ(full.original, "Ebmaj7/G");
    EXPECT_EQ(full.root, "Eb");
    EXPECT_EQ(full.quality, "maj7");
    EXPECT_EQ(full.symbol, "Ebmaj7/G");
    EXPECT_EQ(full.category, "major");
    EXPECT_EQ(full.roman, "IVmaj7");
    EXPECT_EQ(full.degree, 4.0);
    EXPECT_EQ(full.bassNote, "G");
    EXPECT_FALSE(full.usesLegacyBassKey);
    EXPECT_EQ(full.intervals, (std::vector<std::int32_t>{0, 4, 7, 11}));

    const SlotChord both = readSlotChord(json{{"original", "C/E"}, {"bass", "G"}, {"bassNote", "E"}});
    EXPECT_EQ(both.bassNote, "E");
    EXPECT_FALSE(both.usesLegacyBassKey);
    const SlotChord legacy = readSlotChord(json{{"original", "C/E"}, {"bass", "E"}});
    EXPECT_EQ(legacy.bassNote, "E");
    EXPECT_TRUE(legacy.usesLegacyBassKey);

    EXPECT_TRUE(readSlotChord(json{{"original", "C"}, {"intervals", "0 4 7"}}).intervals.empty());
    EXPECT_TRUE(readSlotChord(json{{"original", "C"}, {"intervals", 4}}).intervals.empty());
    EXPECT_FALSE(readSlotChord(json{{"original", "C"}, {"degree", nullptr}}).degree.has_value());
    EXPECT_EQ(readSlotChord(json{{"original", "C"}, {"degree", 2}}).degree, 2.0);
    EXPECT_EQ(libraryRefusal([] {
                  readSlotChord(json{{"original", "C"}, {"root", 3}});
              }),
              libraryTypeErrorText<std::string>(json(3)));
}

TEST(AttackReading, ShortFormKeepsEveryOtherFieldAtItsDefault) {
    const AttackSettings shortForm = readAttackSettings(json{{"mode", "off"}});
    EXPECT_EQ(shortForm, AttackSettings{});

    const AttackSettings advanced =
        readAttackSettings(json{{"mode", "advanced"}, {"spread", "1/4"}, {"dynamic", true}});
    EXPECT_FALSE(advanced.isFullForm);
    EXPECT_EQ(advanced.mode, "advanced");
    EXPECT_EQ(advanced.spread, "1/64");
    EXPECT_FALSE(advanced.dynamic);

    EXPECT_EQ(readAttackSettings(json::object()), AttackSettings{});
    EXPECT_EQ(libraryRefusal([] {
                  readAttackSettings(json{{"mode", nullptr}});
              }),
              libraryTypeErrorText<std::string>(json(nullptr)));
    EXPECT_EQ(ownRefusal([] { readAttackSettings(json::array()); }), "Document attack is invalid");
}

TEST(AttackReading, FullFormReadsEveryField) {
    const AttackSettings attack = readAttackSettings(fullAttackJson());
    EXPECT_TRUE(attack.isFullForm);
    EXPECT_EQ(attack.mode, "advanced");
    EXPECT_EQ(attack.orderKinds.size(), 8u);
    EXPECT_EQ(attack.orderKinds[2], "custom");
    EXPECT_EQ(attack.roundRobinLength, 3u);
    EXPECT_TRUE(attack.globalFollow);
    EXPECT_EQ(attack.timingBasis, "perNote");
    EXPECT_EQ(attack.gate, "step");
    EXPECT_TRUE(attack.dynamic);
    EXPECT_EQ(attack.spread, "1/32T");
    EXPECT_FALSE(attack.includeBass);
    EXPECT_EQ(attack.velocityRange, (AttackVelocityRange{40, 160}));
    EXPECT_EQ(attack.velocityCurve, (AttackContour{80, 120, 35, 60, -25, 40}));
    EXPECT_EQ(attack.rateContour, (AttackContour{10, 20, 70, 90, 5, -5}));
}

TEST(AttackReading, FullFormRefusals) {
    json attack = fullAttackJson();
    attack.erase("spread");
    EXPECT_EQ(libraryRefusal([&] { readAttackSettings(attack); }), libraryNotFoundText("spread"));
    attack = fullAttackJson();
    attack["orderKinds"] = "up";
    EXPECT_EQ(libraryRefusal([&] { readAttackSettings(attack); }),
              libraryTypeErrorText<std::vector<std::string>>(json("up")));
    attack["orderKinds"] = nullptr;
    EXPECT_EQ(libraryRefusal([&] { readAttackSettings(attack); }),
              libraryTypeErrorText<std::vector<std::string>>(json(nullptr)));
    attack = fullAttackJson();
    attack["velocityCurve"] = json::array();
    EXPECT_EQ(ownRefusal([&] { readAttackSettings(attack); }), "Document contour is invalid");
    attack = fullAttackJson();
    attack["rateContour"].erase("secondBend");
    EXPECT_EQ(libraryRefusal([&] { readAttackSettings(attack); }), libraryNotFoundText("secondBend"));
}

TEST(AttackOrdersReading, PagesSeedsAndRefusals) {
    EXPECT_EQ(ownRefusal([] { readAttackOrders(json::object()); }), "Document attack orders are invalid");
    const AttackOrders orders =
        readAttackOrders(json{{{"order", {2, 0, 1}}}, {{"order", json::array()}, {"velocitySeed", 9}}});
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0].order, (std::vector<std::uint64_t>{2, 0, 1}));
    EXPECT_EQ(orders[0].velocitySeed, 1u);
    EXPECT_EQ(orders[1].velocitySeed, 9u);
    EXPECT_EQ(libraryRefusal([] {
                  readAttackOrders(json{{{"order", 3}}});
              }),
              libraryTypeErrorText<std::vector<std::uint64_t>>(json(3)));
    EXPECT_EQ(libraryRefusal([] { readAttackOrders(json{{{"velocitySeed", 3}}}); }), libraryNotFoundText("order"));
    EXPECT_EQ(libraryRefusal([] {
                  readAttackOrders(json{{{"order", json::array()}, {"velocitySeed", nullptr}}});
              }),
              libraryTypeErrorText<std::uint32_t>(json(nullptr)));
    EXPECT_EQ(libraryRefusal([] { readAttackOrders(json{5}); }), libraryAtText(json(5)));
}

TEST(OptionalHelpers, NonObjectsAndNullsGiveNone) {
    EXPECT_FALSE(readOptionalString(json::array(), "id").has_value());
    EXPECT_FALSE(readOptionalString(json{{"id", nullptr}}, "id").has_value());
    EXPECT_EQ(readOptionalString(json{{"id", "a"}}, "id"), "a");
    EXPECT_FALSE(readOptionalInt(json(3), "n", "bad").has_value());
    EXPECT_EQ(readOptionalInt(json{{"n", 3.5}}, "n", "bad"), 3);
    EXPECT_EQ(ownRefusal([] { readOptionalInt(json{{"n", 3e10}}, "n", "bad"); }), "bad");
}

}  // namespace
}  // namespace quillex
