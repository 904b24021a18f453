// Generated progressions: reading items, the three lock states, new slots and the stored key.
#include "session/generated_progression.h"

#include <gtest/gtest.h>

#include "progression_support.h"
#include "support/refusal.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::slotEdits;

json chordItem(const std::string& text) { return {{"type", "chord"}, {"chord", {{"symbol", text}}}}; }
json restItem() { return {{"type", "rest"}}; }

json generated(json items, json key = {{"root", "C"}, {"mode", "major"}}) {
    return {{"type", "apply_generated_progression"}, {"requestId", "g"}, {"items", std::move(items)}, {"key", key}};
}

class GeneratedProgressionTest : public testing::ProgressionCommandTest {
protected:
    void lock(const std::string& id, const std::string& state) {
        expectApplied(slotEdits(json::array({{{"type", "lock_state"}, {"slotIds", {id}}, {"lockState", state}}})));
    }
};

TEST(GeneratedItems, ReadingRefusals) {
    const std::vector<std::pair<json, std::string>> cases = {
        {json::array(), "Generated progression items are invalid"},
        {json::object(), "Generated progression items are invalid"},
        {json::array({1}), "Generated progression item is invalid"},
        {json::array({{{"type", 1}}}), "Generated progression item is invalid"},
        {json::array({{{"type", "pause"}}}), "Generated progression chord is invalid"},
        {json::array({{{"type", "chord"}}}), "Generated progression chord is invalid"},
        {json::array({{{"type", "chord"}, {"chord", "C"}}}), "Generated progression chord is invalid"},
        {json::array({{{"type", "chord"}, {"chord", json::object()}}}), "Generated progression chord has no symbol"},
        {json::array({{{"type", "chord"}, {"chord", {{"original", ""}, {"symbol", "C"}}}}}),
         "Generated progression chord has no symbol"},
        {json::array({{{"type", "chord"}, {"chord", {{"symbol", 3}}}}}), "Generated progression chord has no symbol"},
    };
    for (const auto& [items, message] : cases) {
        EXPECT_EQ(testing::ownRefusal([&] { readGeneratedProgressionItems(items); }), message) << items.dump();
    }
    const auto items = readGeneratedProgressionItems(
        json::array({restItem(), {{"type", "chord"}, {"chord", {{"original", "Am7"}, {"symbol", "Am"}}}}}));
    EXPECT_EQ(items, (std::vector<GeneratedProgressionItem>{std::nullopt, "Am7"}));
}

TEST_F(GeneratedProgressionTest, UnlockedSlotsAreReplaced) {
    restoreChords({"C", "F", "G", "C"});
    DocumentSessionTestAccess::setNextSlotNumber(session, 0);
    const std::size_t logBefore = document().progressionLog->size();
    expectApplied(generated(json::array({chordItem("Am"), chordItem("Dm"), chordItem("E7"), chordItem("Am")}),
                            {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}));
    EXPECT_EQ(ids(), (std::vector<std::string>{"s0", "s1", "s2", "s3"}));
    for (const auto& slot : slots()) {
        EXPECT_EQ(slot.duration, 4.0);
        EXPECT_EQ(slot.velocity, 77);
        EXPECT_EQ(slot.chord, analyzeSlotChord(*parseChordSymbol(slot.chord.original), *document().key));
    }
    EXPECT_EQ(slots()[0].isAutoVoiced, false);
    EXPECT_EQ(slots()[1].isAutoVoiced, true);
    EXPECT_EQ(document().progression->input, "Am Dm E7 Am");
    EXPECT_EQ(document().progressionLog->size(), logBefore + 1);
    EXPECT_EQ(*document().key, (KeySection{"A", "minor", "melodic", 0, false}));
    // The same progression again: new IDs, the key stored anew, no log entry, impact 2.
    const auto before = session.currentRevision();
    const auto after =
        expectApplied(generated(json::array({chordItem("Am"), chordItem("Dm"), chordItem("E7"), chordItem("Am")}),
                                {{"root", "A"}, {"mode", "minor"}}));
    EXPECT_NE(after->voicings, before->voicings);
    EXPECT_EQ(document().key->minorScaleType, "melodic");  // absent: kept from the base
    EXPECT_EQ(document().progressionLog->size(), logBefore + 1);
}

TEST_F(GeneratedProgressionTest, ShapeLocksKeepTimingAndIdentity) {
    restoreChords({"C", "r", "G"});
    lock("a0", "shape");
    lock("a1", "shape");
    expectApplied(slotEdits(json::array({{{"type", "velocity"}, {"slotIds", {"a0"}}, {"velocity", 12}}})));
    expectApplied(generated(json::array({chordItem("F"), chordItem("Dm"), restItem()})));
    EXPECT_EQ(ids()[0], "a0");
    EXPECT_EQ(slots()[0].velocity, 12);
    EXPECT_EQ(slots()[0].chord.original, "F");
    EXPECT_NE(ids()[1], "a1");  // a rest becoming a chord is a new slot with the lock's timing
    EXPECT_EQ(slots()[1].duration, 2.0);
    EXPECT_EQ(slots()[1].lockState, "shape");
    EXPECT_EQ(slots()[1].velocity, 77);
    EXPECT_NE(ids()[2], "a2");
    EXPECT_EQ(slots()[2].duration, 4.0);
}

TEST_F(GeneratedProgressionTest, FullLocksStayOrFail) {
    restoreChords({"C", "F", "G", "Am", "Em"});
    lock("a4", "full");
    // Five slots, three items: three replaced, the fourth dropped, the locked fifth kept.
    expectApplied(
        generated(json::array({chordItem("D"), chordItem("G"), chordItem("A")}), {{"root", "D"}, {"mode", "major"}}));
    ASSERT_EQ(ids().size(), 4u);
    EXPECT_EQ(ids()[3], "a4");
    EXPECT_EQ(slots()[3].chord, analyzeSlotChord(*parseChordSymbol("Em"), *document().key));
    // Item k at a full slot's place is the lock's chord, placed by the generator.
    expectApplied(generated(
        json::array({chordItem("D"), chordItem("G"), chordItem("A"), chordItem("Em"), chordItem("Bm"), restItem()}),
        {{"root", "D"}, {"mode", "major"}}));
    EXPECT_EQ(ids()[3], "a4");
    EXPECT_EQ(texts(), (std::vector<std::string>{"D", "G", "A", "Em", "Bm", "r"}));
    expectRefused(generated(json::array({chordItem("D"), chordItem("G"), chordItem("A"), restItem()})),
                  "invalid_generated_progression", "Generated locked item type does not match its slot");
    expectRefused(generated(json::array({chordItem("D"), chordItem("G"), chordItem("A"), chordItem("Xq")})),
                  "invalid_generated_progression", "Locked generated chord is invalid");
    expectRefused(generated(json::array({chordItem("D"), chordItem("Xq")})), "invalid_generated_progression",
                  "Generated progression contains an invalid chord");
    expectRefused(generated(json::array({chordItem("D")}), {{"root", "Hb"}, {"mode", "major"}}),
                  "invalid_generated_progression", "Document key root is invalid");
    expectRefused(generated(json::array({chordItem("D")}), {{"root", "D"}}), "document_command_failed",
                  "Musical transform returned an invalid key");
    expectRefused(generated(json::array()), "document_command_failed", "Generated progression items are invalid");
    // A full rest at a rest item stays as it is.
    restoreChords({"C", "r"});
    lock("a1", "full");
    expectApplied(generated(json::array({chordItem("F"), restItem(), chordItem("G")})));
    EXPECT_EQ(ids()[1], "a1");
    EXPECT_EQ(slots()[1].duration, 2.0);
}

TEST_F(GeneratedProgressionTest, EmptyItemsAndNoDocument) {
    DocumentSession fresh(resolver);
    const auto reply = executeDocumentCommand(
        testing::commandRequest("g1", generated(json::array({chordItem("C")})), 4), settings, fresh);
    EXPECT_EQ(reply.payload["code"], "document_revision_mismatch");
    EXPECT_EQ(reply.payload["message"],
              "Document command baseRevision 4 does not match current revision uninitialized");
    restoreChords({"C"});
    const auto result = session.applyGeneratedProgression({}, document().key, testing::defaultUserSettings(),
                                                          currentNumber(), freshId());
    EXPECT_EQ(result.errorCode, "invalid_generated_progression");
    EXPECT_EQ(result.errorMessage, "Generated progression contains no items");
    json extra = generated(json::array({chordItem("C")}));
    extra["extra"] = 1;
    expectRefused(extra, "invalid_document_command", "apply_generated_progression fields are invalid");
}

}  // namespace
}  // namespace quillex
