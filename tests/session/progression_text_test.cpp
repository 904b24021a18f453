// Progression text replacement: token kinds, slot matching by position and by text, invalid tokens, overrides.
#include <algorithm>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "document/progression_slots.h"
#include "progression_support.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::slotEdits;

json replaceText(const std::string& text) { return {{"type", "replace_progression_text"}, {"text", text}}; }

class ProgressionTextTest : public testing::ProgressionCommandTest {};

TEST_F(ProgressionTextTest, TokensBecomeChordsRestsAndRepeats) {
    restoreChords({});
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"C | G, Am", {"C", "G", "Am"}},
        {"  C |G   ", {"C", "G"}},
        {"C r R", {"C", "r", "r"}},
        {"C r % %", {"C", "r", "C", "C"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        const auto before = session.currentRevision();
        const auto after = expectApplied(replaceText(text));
        EXPECT_EQ(texts(), expected) << text;
        EXPECT_EQ(document().progression->input, normalizeProgressionText(text));
        EXPECT_FALSE(document().progression->parseError.has_value());
        EXPECT_NE(after->voicings, before->voicings);  // impact 2, also for the empty text
    }
}

TEST_F(ProgressionTextTest, InvalidTokensStoreTheTextAndKeepTheSlots) {
    restoreChords({"C", "F", "G"});
    const auto slotsBefore = slots();
    for (const auto& [text, tokens] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"% C", {"%"}}, {"C Xyz G", {"Xyz"}}, {"H Dm Q", {"H", "Q"}}}) {
        const auto before = session.currentRevision();
        const auto after = expectApplied(replaceText(text));
        EXPECT_EQ(slots(), slotsBefore);
        EXPECT_EQ(document().progression->input, text);
        ASSERT_TRUE(document().progression->parseError.has_value());
        EXPECT_EQ(document().progression->parseError->errors, tokens);
        EXPECT_EQ(document().progression->parseError->message, "Parsing error: invalid chord " + tokens.front());
        EXPECT_EQ(after->voicings, before->voicings);  // impact 0
        EXPECT_EQ(after->plan, before->plan);
    }
    // The next good text clears the error.
    expectApplied(replaceText("C F G"));
    EXPECT_FALSE(document().progression->parseError.has_value());
}

TEST_F(ProgressionTextTest, ABracketedTokenIsOneChordSymbol) {
    struct Case {
        std::string text;
        std::string input;
        std::vector<std::string> slots;    // when the text reads
        std::vector<std::string> invalid;  // otherwise; the slots stay as they were
    };
    const std::vector<Case> cases = {
        {"G7(b9,b13) C", "G7(b9,b13) C", {}, {"G7(b9,b13)"}},
        {"Ab7(b9,\t b13) | Db", "Ab7(b9, b13) Db", {}, {"Ab7(b9, b13)"}},
        {"C | Dm(add9, G", "C Dm(add9 G", {"C", "Dm(add9", "G"}, {}},  // unclosed: groups nothing
        {"C Dm(add9 G F", "C Dm(add9 G F", {"C", "Dm(add9", "G", "F"}, {}},
        {"C(add9 G(7) F", "C(add9 G(7) F", {"C(add9", "G(7)", "F"}, {}},  // ")" closes the nearer "("
        {"C7(b9),F(add9)|r", "C7(b9) F(add9) r", {"C7(b9)", "F(add9)", "r"}, {}},
    };
    for (const Case& c : cases) {
        restoreChords({"E"});
        expectApplied(replaceText(c.text));
        const ProgressionSection& progression = *document().progression;
        EXPECT_EQ(progression.input, c.input) << c.text;
        EXPECT_EQ(progression.parseError ? progression.parseError->errors : std::vector<std::string>{}, c.invalid)
            << c.text;
        EXPECT_EQ(texts(), c.invalid.empty() ? c.slots : std::vector<std::string>{"E"}) << c.text;
    }
}

TEST_F(ProgressionTextTest, InvalidTokensWithANewKeyRespellOrFail) {
    json state = testing::chordsDocument({"C", "F"});
    restore(state);
    json command = replaceText("C Xyz");
    command["key"] = state["key"];
    command["key"]["root"] = "F";
    const auto before = session.currentRevision();
    const auto after = expectApplied(command);
    EXPECT_NE(after->voicings, before->voicings);
    EXPECT_EQ(document().key->root, "F");
    EXPECT_EQ(slots()[1].chord, analyzeSlotChord(*parseChordSymbol("F"), *document().key));
    // A kept slot whose text no longer reads cannot be respelled.
    state["progression"]["slots"][1]["chord"]["original"] = "Zq";
    restore(state);
    expectRefused(command, "document_key_failed", "Existing slot chord is invalid");
    // A key that cannot spell the chords fails the whole command.
    command = replaceText("C F");
    command["key"] = state["key"];
    command["key"]["root"] = "Hb";
    restoreChords({"C"});
    expectRefused(command, "document_command_failed", "Document key root is invalid");
}

TEST_F(ProgressionTextTest, SlotsAreMatchedByPositionThenByText) {
    restoreChords({"C", "F", "G"});
    expectApplied(slotEdits({{{"type", "velocity"}, {"slotIds", {"a1"}}, {"velocity", 33}},
                             {{"type", "lock_state"}, {"slotIds", {"a1"}}, {"lockState", "shape"}}}));
    expectApplied(replaceText("C Dm G"));
    EXPECT_EQ(ids(), (std::vector<std::string>{"a0", "a1", "a2"}));
    EXPECT_EQ(slots()[1].velocity, 33);
    EXPECT_EQ(slots()[1].lockState, "shape");
    EXPECT_EQ(slots()[1].chord.original, "Dm");

    DocumentSessionTestAccess::setNextSlotNumber(session, 7);
    expectApplied(replaceText("C Dm Am G"));
    EXPECT_EQ(ids(), (std::vector<std::string>{"a0", "a1", "s7", "a2"}));
    EXPECT_EQ(slots()[2].velocity, 77);  // the gesture section's new-chord velocity
    EXPECT_EQ(slots()[2].duration, 4.0);
    EXPECT_EQ(slots()[2].lockState, "none");
    EXPECT_EQ(slots()[2].voicingStyle, "closed");
}

TEST_F(ProgressionTextTest, ASlotIsNeverTakenTwice) {
    // "C r" to "C C": the second C must not find the first slot again by its text.
    restoreChords({"C", "r"});
    expectApplied(replaceText("C C"));
    EXPECT_EQ(ids()[0], "a0");
    EXPECT_NE(ids()[1], "a0");
    // "r C" to "C C": the search takes slot 1 for the first C; position 1 is then taken.
    restoreChords({"r", "C"});
    expectApplied(replaceText("C C"));
    EXPECT_EQ(ids()[0], "a1");
    EXPECT_NE(ids()[1], "a1");
    EXPECT_NE(ids()[1], "a0");
}

TEST_F(ProgressionTextTest, SameKindsAtEveryPositionKeepEveryIdAndSetting) {
    static const std::vector<std::string> chords = {"C", "Dm", "Em7", "F", "G7", "Am", "Bb", "D/F#"};
    std::mt19937 rng(21);
    const auto any = [&] { return chords[rng() % chords.size()]; };
    for (int round = 0; round < 60; ++round) {
        std::vector<std::string> start;
        const std::size_t count = rng() % 7;
        for (std::size_t i = 0; i < count; ++i) start.push_back(rng() % 4 == 0 ? "r" : any());
        restoreChords(start);
        const auto before = slots();
        std::string text;
        for (const auto& token : start) text += (text.empty() ? "" : " ") + (token == "r" ? "r" : any());
        expectApplied(replaceText(text));
        ASSERT_EQ(slots().size(), before.size()) << text;
        for (std::size_t i = 0; i < before.size(); ++i) {
            ProgressionSlot slot = slots()[i];
            slot.chord = before[i].chord;
            if (!before[i].isRest) slot.type = before[i].type;
            EXPECT_EQ(slot, before[i]) << text;  // ID and every setting kept by position
        }
    }
}

TEST_F(ProgressionTextTest, AutoVoicingFlagsOfNewAndResetSlots) {
    restoreChords({"C", "F"});  // autoVoiceLeading on; the sample slots carry no flag
    expectApplied(replaceText("Am C F G"));
    std::vector<std::optional<bool>> flags;
    for (const auto& slot : slots()) flags.push_back(slot.isAutoVoiced);
    // Am and G are new: first chord false, later true; C and F keep their own (absent) flag.
    EXPECT_EQ(flags, (std::vector<std::optional<bool>>{false, std::nullopt, std::nullopt, true}));
    json command = replaceText("Am C F G");
    command["resetAutoVoicing"] = true;
    expectApplied(command);
    flags.clear();
    for (const auto& slot : slots()) flags.push_back(slot.isAutoVoiced);
    EXPECT_EQ(flags, (std::vector<std::optional<bool>>{false, true, true, true}));
}

TEST_F(ProgressionTextTest, AutoKeyAndTheLog) {
    json state = testing::chordsDocument({"C"});
    state["key"]["autoKey"] = true;
    state["progressionLog"] = {"old"};
    restore(state);
    const auto keyBefore = document().key;
    expectApplied(replaceText("C F G C"));
    EXPECT_EQ(document().key, keyBefore);                          // the inferred key is the stored one: shared
    EXPECT_EQ(*document().progressionLog, ProgressionLog{"old"});  // no automatic entry
    expectApplied(replaceText("Am Dm E7 Am"));
    EXPECT_EQ(document().key->root, "A");
    EXPECT_EQ(document().key->mode, "minor");
    for (const auto& slot : slots()) {
        EXPECT_EQ(slot.chord, analyzeSlotChord(*parseChordSymbol(slot.chord.original), *document().key));
    }
    json command = replaceText("Am");
    command["progressionLog"] = {"a", "b"};
    expectApplied(command);
    EXPECT_EQ(*document().progressionLog, (ProgressionLog{"a", "b"}));
    command["progressionLog"] = "a";
    expectRefused(command, "document_command_failed",
                  "[json.exception.type_error.302] type must be array, but is string");
    command = replaceText("C");
    command["resetAutoVoicing"] = 1;
    expectRefused(command, "document_command_failed",
                  "[json.exception.type_error.302] type must be boolean, but is number");
    command = replaceText("C");
    command["rhythm"] = json::object();
    expectRefused(command, "invalid_document_command", "replace_progression_text fields are invalid");
}

// Whatever slot edits the session accepts, the progression text it writes, and
// each entry it adds to the log, reads back as the same slots: typed back in, the
// text keeps every slot and raises no parse error.
TEST_F(ProgressionTextTest, TheSessionsOwnTextReadsBack) {
    static const std::vector<std::string> symbols = {
        "Dm(add9", "C(add9", "G7(b9", "Am7(b5", "G(7)", "C(add9(b5)", "Bb7(b9b13)", "F", "Eb(maj7",
        "A((m7)",  "D7(b9)", "E(7(b9", "Gm",     "C/E",  "F(add9/A", "Dm(add9,", "Xq("};
    std::mt19937 rng(34);
    const auto any = [&rng](const auto& list) { return list[rng() % list.size()]; };
    std::map<std::string, std::vector<std::string>> written;  // each text the session wrote, as slots
    int accepted = 0;
    for (int round = 0; round < 20; ++round) {
        restoreChords({"C", "F(add9", "r", "G"});
        for (int step = 0; step < 25; ++step) {
            const std::vector<std::string> ids = this->ids();
            const std::string id = ids.empty() ? "none" : any(ids);
            json edit;
            switch (rng() % 5) {
                case 0:
                case 1:
                    edit = {{"type", "chord"}, {"slotId", id}, {"symbol", any(symbols)}};
                    break;
                case 2: {
                    const std::string text = rng() % 4 == 0 ? "r" : any(symbols);
                    edit = {{"type", "insert"},
                            {"index", rng() % (ids.size() + 1)},
                            {"slot", testing::progressionSlotJson("", text)}};
                    edit["slot"].erase("id");
                    break;
                }
                case 3:
                    edit = {{"type", "remove"}, {"slotIds", {id}}};
                    break;
                default: {
                    std::vector<std::string> order = ids;
                    std::shuffle(order.begin(), order.end(), rng);
                    edit = {{"type", "reorder"}, {"slotIds", order}};
                }
            }
            if (run(slotEdits({edit})).type != "document_revision") continue;
            ++accepted;
            const std::vector<std::string> before = texts();
            const std::vector<std::string> idsBefore = this->ids();
            const std::string input = document().progression->input;
            written[input] = before;
            expectApplied(replaceText(input));
            EXPECT_FALSE(document().progression->parseError.has_value()) << input;
            EXPECT_EQ(texts(), before) << input;
            EXPECT_EQ(this->ids(), idsBefore) << input;
            for (const std::string& entry : *document().progressionLog) {
                ASSERT_TRUE(written.contains(entry)) << entry;
                EXPECT_EQ(splitProgressionTokens(normalizeProgressionText(entry)), written[entry]) << entry;
            }
        }
    }
    EXPECT_GT(accepted, 200);
}

}  // namespace
}  // namespace quillex
