// Slot edits: parse and apply refusals with their codes, impact levels, IDs, the log and re-analysis.
#include "session/slot_edit.h"

#include <limits>

#include <gtest/gtest.h>

#include "document/progression_slots.h"
#include "progression_support.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::slotEdits;

int impactBetween(const RevisionPtr& before, const RevisionPtr& after) {
    if (after->voicings != before->voicings) return 2;
    return after->plan != before->plan ? 1 : 0;
}

json gestureEdit(json ids) {
    return {{"type", "gesture"},
            {"slotIds", std::move(ids)},
            {"attack", {{"mode", "off"}, {"gate", "step"}, {"globalFollow", true}}},
            {"attackOrders", json::array()}};
}

class SlotEditsTest : public testing::ProgressionCommandTest {};

TEST_F(SlotEditsTest, ParseRefusalsEndAsCommandFailures) {
    restoreChords({"C", "F", "r", "G"});
    const json ids = {"a0"};
    const std::vector<std::pair<json, std::string>> cases = {
        {json::array(), "edits must be a non-empty array"},
        {json::object(), "edits must be a non-empty array"},
        {json::array({json::object()}), "Slot edit type is missing"},
        {json::array({{{"type", 4}}}), "Slot edit type is missing"},
        {json::array({"chord"}), "Slot edit type is missing"},
        {{{{"type", "split"}}}, "Unsupported slot edit type: split"},
        {{{{"type", "insert"}, {"index", -1}, {"slot", testing::progressionSlotJson("n", "C")}}},
         "insert slot edit is invalid"},
        {{{{"type", "insert"}, {"index", 1.0}, {"slot", testing::progressionSlotJson("n", "C")}}},
         "insert slot edit is invalid"},
        {{{{"type", "insert"}, {"index", 0}}}, "insert slot edit is invalid"},
        {{{{"type", "remove"}, {"slotIds", ids}, {"extra", 1}}}, "remove slot edit is invalid"},
        {{{{"type", "remove"}, {"slotIds", json::array()}}}, "slotIds must be a non-empty array"},
        {{{{"type", "remove"}, {"slotIds", {"a0", ""}}}}, "slotIds contains an invalid ID"},
        {{{{"type", "remove"}, {"slotIds", {"a0", 3}}}}, "slotIds contains an invalid ID"},
        {{{{"type", "duration"}, {"slotIds", {"a1", "a0", "a1"}}, {"duration", 1}}}, "slotIds contains duplicates"},
        {{{{"type", "reorder"}}}, "reorder slot edit is invalid"},
        {{{{"type", "reorder"}, {"slotIds", json::array()}}}, "reorder slot edit requires slotIds"},
        {{{{"type", "chord"}, {"slotId", "a0"}, {"symbol", 7}}}, "chord slot edit is invalid"},
        {{{{"type", "chord"}, {"slotIds", ids}, {"symbol", "C"}}}, "chord slot edit is invalid"},
        {{{{"type", "duration"}, {"slotIds", ids}, {"duration", "2"}}}, "duration slot edit is invalid"},
        {{{{"type", "voicing"}, {"slotIds", ids}}}, "voicing slot edit has no change"},
        {{{{"type", "voicing"}, {"slotIds", ids}, {"inversion", 1}, {"spread", 2}}}, "voicing slot edit is invalid"},
        {{{{"type", "voicing"}, {"slotIds", ids}, {"inversion", 4294967297LL}}}, "voicing slot edit is invalid"},
        {{{{"type", "voicing"}, {"slotIds", ids}, {"octaveShift", -3e9}}}, "voicing slot edit is invalid"},
        {{{{"type", "velocity"}, {"slotIds", ids}, {"velocity", 90.5}}}, "velocity slot edit is invalid"},
        {{{{"type", "velocity"}, {"slotIds", ids}, {"velocity", 4294967297LL}}}, "Slot velocity is invalid"},
        {{{{"type", "gesture"}, {"slotIds", ids}, {"attack", json::object()}}}, "gesture slot edit is invalid"},
        {{{{"type", "lock_state"}, {"slotIds", ids}, {"lockState", true}}}, "lock-state slot edit is invalid"},
        {{{{"type", "lock_state"}, {"slotIds", ids}}}, "lock-state slot edit is invalid"},
        // A bad edit after a good one: nothing is applied.
        {{{{"type", "duration"}, {"slotIds", ids}, {"duration", 1}}, {{"type", "nope"}}},
         "Unsupported slot edit type: nope"},
    };
    for (const auto& [edits, message] : cases) expectRefused(slotEdits(edits), "document_command_failed", message);
    // Type errors of the library reach the page with the library's text.
    const auto reply = run(slotEdits({{{"type", "voicing"}, {"slotIds", ids}, {"voicingStyle", 3}}}));
    EXPECT_EQ(reply.payload["code"], "document_command_failed");
    EXPECT_NE(reply.payload["message"].get<std::string>().find("type must be string"), std::string::npos);
}

TEST_F(SlotEditsTest, ApplyRefusalsChangeNothing) {
    restoreChords({"C", "F", "r", "G"});
    const std::vector<std::pair<json, std::string>> cases = {
        {{{"type", "remove"}, {"slotIds", {"a0", "zz"}}}, "Slot removal references an unknown slot ID"},
        {{{"type", "duration"}, {"slotIds", {"zz"}}, {"duration", 1}}, "Slot edit references an unknown slot ID"},
        {{{"type", "duration"}, {"slotIds", {"zz"}}, {"duration", 0}}, "Slot duration is invalid"},
        {{{"type", "duration"}, {"slotIds", {"a0"}}, {"duration", -1.5}}, "Slot duration is invalid"},
        {{{"type", "duration"}, {"slotIds", {"a0"}}, {"duration", std::numeric_limits<double>::infinity()}},
         "Slot duration is invalid"},
        {{{"type", "velocity"}, {"slotIds", {"zz"}}, {"velocity", 0}}, "Slot velocity is invalid"},
        {{{"type", "velocity"}, {"slotIds", {"a0"}}, {"velocity", 128}}, "Slot velocity is invalid"},
        {{{"type", "velocity"}, {"slotIds", {"a0", "a2"}}, {"velocity", 64}}, "Rest slots do not have velocity"},
        {{{"type", "voicing"}, {"slotIds", {"a2"}}, {"inversion", 1}}, "Rest slots do not have voicing settings"},
        {gestureEdit({"a2"}), "Rest slots do not have gestures"},
        {gestureEdit({"a1", "zz"}), "Slot edit references an unknown slot ID"},
        {{{"type", "lock_state"}, {"slotIds", {"a0"}}, {"lockState", "Full"}}, "Slot lock state is invalid"},
        {{{"type", "chord"}, {"slotId", "a0"}, {"symbol", "H7"}}, "Slot chord symbol is invalid"},
        {{{"type", "chord"}, {"slotId", "zz"}, {"symbol", "D"}}, "Slot edit references an unknown slot ID"},
        {{{"type", "insert"}, {"index", 5}, {"slot", testing::progressionSlotJson("n", "C")}},
         "Slot insertion index is out of range"},
        {{{"type", "insert"}, {"index", 0}, {"slot", testing::progressionSlotJson("n", "Q#")}},
         "Inserted slot chord symbol is invalid"},
        {{{"type", "insert"}, {"index", 0}, {"slot", testing::progressionSlotJson("a3", "C")}},
         "Document slot IDs must be non-empty and unique"},
        {{{"type", "reorder"}, {"slotIds", {"a0", "a1", "a2"}}}, "Slot reorder must name every slot exactly once"},
        {{{"type", "reorder"}, {"slotIds", {"a0", "a1", "a2", "a2"}}},
         "Slot reorder contains an unknown or duplicate ID"},
        {{{"type", "reorder"}, {"slotIds", {"a0", "a1", "a2", "zz"}}},
         "Slot reorder contains an unknown or duplicate ID"},
    };
    for (const auto& [edit, message] : cases) {
        // Preceded by a good edit, so a failure must also undo it.
        const json good = {{"type", "duration"}, {"slotIds", {"a1"}}, {"duration", 3}};
        expectRefused(slotEdits({good, edit}), "invalid_slot_edits", message);
    }
    // Reachable only by direct calls: an empty list and an empty slot-ID list.
    const UserSettingsSection plain = testing::defaultUserSettings();
    auto result = session.applySlotEdits({}, nullptr, nullptr, nullptr, plain, currentNumber(), freshId());
    EXPECT_EQ(result.errorCode, "invalid_slot_edits");
    EXPECT_EQ(result.errorMessage, "Slot edit list is empty");
    result = session.applySlotEdits({VelocitySlotEdit{{}, 10}}, nullptr, nullptr, nullptr, plain, currentNumber(),
                                    freshId());
    EXPECT_EQ(result.errorMessage, "Slot edit requires at least one slot ID");
    result = session.applySlotEdits({LockStateSlotEdit{{}, "full"}}, nullptr, nullptr, nullptr, plain, currentNumber(),
                                    freshId());
    EXPECT_EQ(result.errorMessage, "Slot edit requires at least one slot ID");
}

TEST_F(SlotEditsTest, ImpactIsTheHighestEditReached) {
    restoreChords({"C", "F", "r", "G"});
    const json duration = {{"type", "duration"}, {"slotIds", {"a2"}}, {"duration", 1}};
    const json voicing = {{"type", "voicing"}, {"slotIds", {"a0"}}, {"inversion", 1}, {"voicingStyle", "shell"}};
    const json velocity = {{"type", "velocity"}, {"slotIds", {"a0", "a3"}}, {"velocity", 127}};
    const json lock = {{"type", "lock_state"}, {"slotIds", {"a2"}}, {"lockState", "full"}};
    const std::vector<std::pair<json, int>> cases = {
        {{duration, voicing}, 2},
        {{duration, velocity}, 1},
        {json::array({lock}), 0},
        {json::array({gestureEdit({"a1"})}), 1},
        {{lock, {{"type", "reorder"}, {"slotIds", {"a3", "a2", "a1", "a0"}}}}, 2},
    };
    for (const auto& [edits, impact] : cases) {
        const auto before = session.currentRevision();
        const auto after = expectApplied(slotEdits(edits));
        EXPECT_EQ(impactBetween(before, after), impact) << edits.dump();
    }
    EXPECT_EQ(texts(), (std::vector<std::string>{"G", "r", "F", "C"}));
    EXPECT_EQ(slots()[1].lockState, "full");
    EXPECT_EQ(slots()[1].duration, 1.0);
    EXPECT_EQ(slots()[3].inversion, 1);
    EXPECT_EQ(slots()[3].voicingStyle, "shell");
    EXPECT_EQ(slots()[0].velocity, 127);
    EXPECT_EQ(slots()[2].velocity, 90);  // velocity 1 and 127 are the bounds
    expectApplied(slotEdits({{{"type", "velocity"}, {"slotIds", {"a1"}}, {"velocity", 1}}}));
    EXPECT_EQ(slots()[2].velocity, 1);
}

TEST_F(SlotEditsTest, StructureEditsKeepIdsRebuildTextAndLog) {
    restoreChords({"C", "r", "G"});
    const std::size_t logBefore = document().progressionLog->size();
    // Insert without an id, then edit the inserted slot in the same list.
    json inserted = testing::progressionSlotJson("", "Am");
    inserted.erase("id");
    DocumentSessionTestAccess::setNextSlotNumber(session, 0);
    expectApplied(slotEdits({{{"type", "insert"}, {"index", 3}, {"slot", inserted}},
                             {{"type", "duration"}, {"slotIds", {"s0"}}, {"duration", 1}},
                             {{"type", "chord"}, {"slotId", "a1"}, {"symbol", "Dm7"}}}));
    EXPECT_EQ(ids(), (std::vector<std::string>{"a0", "a1", "a2", "s0"}));
    EXPECT_EQ(document().progression->input, "C Dm7 G Am");
    EXPECT_EQ(slots()[1].type, "chord");
    EXPECT_EQ(slots()[1].duration, 2.0);  // the rest's duration stays
    EXPECT_EQ(slots()[3].duration, 1.0);
    EXPECT_EQ(slots()[3].chord, analyzeSlotChord(*parseChordSymbol("Am"), *document().key));
    EXPECT_EQ(document().progressionLog->size(), logBefore + 1);
    EXPECT_EQ(document().progressionLog->back(), "C Dm7 G Am");
    // Removing everything leaves an empty text and adds no entry for it.
    expectApplied(slotEdits({{{"type", "remove"}, {"slotIds", {"a2", "a0", "s0", "a1"}}}}));
    EXPECT_TRUE(slots().empty());
    EXPECT_EQ(document().progression->input, "");
    EXPECT_EQ(document().progressionLog->size(), logBefore + 1);
}

TEST_F(SlotEditsTest, ProgressionLogKeepsTheFiftyNewest) {
    json state = testing::chordsDocument({"C"});
    for (int i = 0; i < 60; ++i) state["progressionLog"].push_back("entry" + std::to_string(i));
    restore(state);
    expectApplied(slotEdits({{{"type", "chord"}, {"slotId", "a0"}, {"symbol", "D"}}}));
    ASSERT_EQ(document().progressionLog->size(), 50u);
    EXPECT_EQ(document().progressionLog->front(), "entry11");
    EXPECT_EQ(document().progressionLog->back(), "D");
    // The same text again adds nothing; a text equal to the last entry neither.
    expectApplied(slotEdits({{{"type", "chord"}, {"slotId", "a0"}, {"symbol", "D"}}}));
    EXPECT_EQ(document().progressionLog->size(), 50u);
}

TEST_F(SlotEditsTest, OverridesReanalyseAndResetAutoVoicing) {
    json state = testing::chordsDocument({"C", "Am", "F", "G"});
    state["voicing"]["autoVoiceLeading"] = false;
    restore(state);
    // A voicing override that turns auto voice leading on wins over a same-command edit.
    json voicing = state["voicing"];
    voicing["autoVoiceLeading"] = true;
    json command = slotEdits({{{"type", "voicing"}, {"slotIds", {"a1"}}, {"isAutoVoiced", false}}});
    command["voicing"] = voicing;
    const auto before = session.currentRevision();
    auto after = expectApplied(command);
    EXPECT_EQ(impactBetween(before, after), 2);
    std::vector<std::optional<bool>> flags;
    for (const auto& slot : slots()) flags.push_back(slot.isAutoVoiced);
    EXPECT_EQ(flags, (std::vector<std::optional<bool>>{false, true, true, true}));
    // An automatic key follows a chord edit and every chord is analysed in it.
    json key = state["key"];
    key["autoKey"] = true;
    command = slotEdits({{{"type", "chord"}, {"slotId", "a0"}, {"symbol", "Am"}},
                         {{"type", "chord"}, {"slotId", "a3"}, {"symbol", "E7"}}});
    command["key"] = key;
    expectApplied(command);
    EXPECT_EQ(document().key->mode, "minor");
    EXPECT_EQ(document().key->root, "A");
    for (const auto& slot : slots()) {
        EXPECT_EQ(slot.chord, analyzeSlotChord(*parseChordSymbol(slot.chord.original), *document().key));
    }
    // A key override equal to the current key is no change: impact 0 for a lock edit.
    command = slotEdits({{{"type", "lock_state"}, {"slotIds", {"a0"}}, {"lockState", "shape"}}});
    const KeySection& now = *document().key;
    command["key"] = {{"root", now.root}, {"mode", now.mode}, {"minorScaleType", now.minorScaleType},
                      {"transposeOffset", now.transposeOffset}, {"autoKey", now.autoKey}};
    const auto keyBefore = document().key;
    const auto beforeLock = session.currentRevision();
    after = expectApplied(command);
    EXPECT_EQ(impactBetween(beforeLock, after), 0);
    EXPECT_EQ(document().key, keyBefore);
}

TEST_F(SlotEditsTest, GestureEditsSetOrKeepThePresetId) {
    restoreChords({"C", "G"});
    json edit = gestureEdit({"a0", "a1"});
    edit["gesturePresetId"] = "harp";
    expectApplied(slotEdits({edit}));
    EXPECT_EQ(slots()[0].gesturePresetId, "harp");
    EXPECT_EQ(slots()[0].attack.gate, "step");
    edit["gesturePresetId"] = nullptr;
    edit["slotIds"] = {"a1"};
    expectApplied(slotEdits({edit, gestureEdit({"a0"})}));
    EXPECT_EQ(slots()[0].gesturePresetId, "harp");
    EXPECT_FALSE(slots()[1].gesturePresetId.has_value());
    EXPECT_TRUE(slots()[1].gesturePresetIdPresent);
}

TEST(SlotHelpers, TextAndIds) {
    std::vector<ProgressionSlot> slots(3);
    slots[0].id = "x";
    slots[0].chord.original = "C/E";
    slots[1].isRest = true;
    slots[1].id = "";
    slots[2].id = "y";
    slots[2].chord.original = "G7";
    EXPECT_EQ(buildProgressionText(slots), "C/E r G7");
    EXPECT_EQ(buildProgressionText({}), "");
    EXPECT_EQ(collectSlotIds(slots), (std::unordered_set<std::string>{"x", "y"}));
}

}  // namespace
}  // namespace quillex
