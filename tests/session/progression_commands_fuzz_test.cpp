// Seeded, time-bounded fuzz of the progression commands: slot edits, generated items, transform
// results and random progression texts. One reply each, nothing escapes, the session stays sound.
#include <chrono>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "session/generated_progression.h"
#include "session/musical_transform.h"
#include "support/document_mutation.h"
#include "progression_support.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::slotEdits;

#ifdef QUILLEX_SANITIZED
constexpr int kRuns = 600;
#else
constexpr int kRuns = 2000;
#endif
constexpr auto kTimeLimit = std::chrono::seconds(4);

class ProgressionFuzzTest : public testing::ProgressionCommandTest {
protected:
    std::mt19937 rng{20261207};

    void SetUp() override { restoreChords({"C", "r", "Am7", "F/A", "G7"}); }

    // IDs present, non-empty and unique; a refusal leaves the same revision object.
    void checkSession(const RevisionPtr& before, const BridgeReply& reply, const json& command) {
        ASSERT_TRUE(reply.type == "document_revision" || reply.type == "document_error") << reply.type;
        if (reply.type == "document_error") {
            EXPECT_EQ(session.currentRevision(), before) << command.dump();
        }
        std::set<std::string> ids;
        for (const auto& slot : slots()) {
            ASSERT_TRUE(slot.id && !slot.id->empty());
            EXPECT_TRUE(ids.insert(*slot.id).second) << command.dump();
        }
        if (slots().size() > 64) restoreChords({"C", "r", "Am7", "F/A", "G7"});  // keep runs cheap
    }
    void runMutated(const std::vector<json>& seeds) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRuns && std::chrono::steady_clock::now() - start < kTimeLimit; ++i) {
            const json command = testing::mutateDocument(seeds[i % seeds.size()], rng);
            const auto before = session.currentRevision();
            const auto reply = run(command);
            checkSession(before, reply, command);
            if (HasFatalFailure()) return;
        }
    }
};

TEST_F(ProgressionFuzzTest, SlotEditLists) {
    const json slot = testing::progressionSlotJson("n1", "Dm");
    runMutated(std::vector<json>{
        slotEdits({{{"type", "insert"}, {"index", 1}, {"slot", slot}},
                   {{"type", "duration"}, {"slotIds", {"a0", "a1"}}, {"duration", 1.5}},
                   {{"type", "velocity"}, {"slotIds", {"a2"}}, {"velocity", 64}}}),
        slotEdits({{{"type", "voicing"},
                    {"slotIds", {"a2"}},
                    {"inversion", 1},
                    {"octaveShift", -1},
                    {"voicingStyle", "shell"},
                    {"isAutoVoiced", true}},
                   {{"type", "lock_state"}, {"slotIds", {"a1", "a3"}}, {"lockState", "full"}},
                   {{"type", "chord"}, {"slotId", "a1"}, {"symbol", "Bb"}}}),
        slotEdits({{{"type", "reorder"}, {"slotIds", {"a4", "a3", "a2", "a1", "a0"}}},
                   {{"type", "remove"}, {"slotIds", {"a3"}}},
                   {{"type", "gesture"},
                    {"slotIds", {"a0"}},
                    {"attack", {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}}},
                    {"attackOrders", json::array()},
                    {"gesturePresetId", nullptr}}}),
    });
}

TEST_F(ProgressionFuzzTest, GeneratedProgressions) {
    const json key = {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "natural"}};
    runMutated(std::vector<json>{
        {{"type", "apply_generated_progression"},
         {"requestId", "g"},
         {"items",
          {{{"type", "chord"}, {"chord", {{"symbol", "Am"}}}},
           {{"type", "rest"}},
           {{"type", "chord"}, {"chord", {{"original", "E7"}, {"symbol", "E"}}}}}},
         {"key", key}},
    });
    // The reader alone, on mutated item lists.
    const json items = json::array({{{"type", "chord"}, {"chord", {{"symbol", "C"}}}}, {{"type", "rest"}}});
    for (int i = 0; i < kRuns; ++i) {
        try {
            (void)readGeneratedProgressionItems(testing::mutateDocument(items, rng));
        } catch (const std::runtime_error&) {
        } catch (const json::exception&) {}
    }
}

TEST_F(ProgressionFuzzTest, TransformResults) {
    const json result = {{"key", {{"root", "D"}, {"mode", "major"}, {"minorScaleType", "natural"}}},
                         {"chords",
                          {{{"symbol", "D"}, {"roman", "I"}, {"degree", 1}, {"root", "D"}, {"quality", "maj"}},
                           {{"symbol", "Bm7"}, {"roman", "vi7"}},
                           {{"symbol", "G/B"}, {"bass", "B"}},
                           {{"symbol", "A7"}}}}};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRuns && std::chrono::steady_clock::now() - start < kTimeLimit; ++i) {
        const json mutated = testing::mutateDocument(result, rng);
        std::shared_ptr<const KeySection> key;
        std::vector<SlotChord> chords;
        try {
            key = makeKeySectionFromTransform(*document().key,
                                              mutated.is_object() ? mutated.value("key", json()) : json(),
                                              static_cast<std::int32_t>(i % 25) - 12);
            chords = readTransformedChords(mutated.is_object() ? mutated.value("chords", json()) : json());
        } catch (const std::runtime_error&) {
            continue;
        } catch (const json::exception&) {
            continue;
        }
        const auto before = session.currentRevision();
        const auto outcome = session.applyMusicalTransform(std::move(chords), std::move(key),
                                                           testing::defaultUserSettings(), currentNumber(), freshId());
        if (!outcome.succeeded()) {
            EXPECT_EQ(session.currentRevision(), before);
            continue;
        }
        std::set<std::string> ids;
        for (const auto& slot : slots()) EXPECT_TRUE(ids.insert(slot.id.value_or("")).second);
        EXPECT_EQ(ids.size(), 5u);
    }
}

TEST_F(ProgressionFuzzTest, RandomProgressionTexts) {
    static const std::vector<std::string> pieces = {"C",  "Am7",  "G/B",    "r",  "R",  "%",  "|",    ",",
                                                    " ",  "  ",   "F#m7b5", "Xq", "C/", "/E", "\t",   "\xc3\xa9",
                                                    "Bb", "maj7", "\x01",   "7",  "(",  ")",  "(b9,", "#11)"};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRuns && std::chrono::steady_clock::now() - start < kTimeLimit; ++i) {
        std::string text;
        const int count = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int p = 0; p < count; ++p) {
            text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
            if (rng() % 3 != 0) text += ' ';
        }
        const json command = {
            {"type", "replace_progression_text"}, {"text", text}, {"resetAutoVoicing", rng() % 2 == 0}};
        const auto before = session.currentRevision();
        const auto reply = run(command);
        checkSession(before, reply, command);
        if (HasFatalFailure()) return;
        if (reply.type == "document_revision" && !document().progression->parseError) {
            EXPECT_EQ(document().progression->input, normalizeProgressionText(text));
        }
    }
}

}  // namespace
}  // namespace quillex
