// Musical transforms: the service request, the new key, the transformed chords and their application.
#include "session/musical_transform.h"

#include <limits>

#include <gtest/gtest.h>

#include "document/progression_slots.h"
#include "progression_support.h"
#include "support/refusal.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;

json transpose(json semitones) { return {{"type", "transpose_progression"}, {"semitones", std::move(semitones)}}; }
json parallel(const std::string& mode, const std::string& scale = "natural") {
    return {{"type", "set_parallel_mode"}, {"mode", mode}, {"minorScaleType", scale}};
}

// Every chord slot's pitch classes, in order.
std::vector<std::vector<int>> pitchClasses(const std::vector<ProgressionSlot>& slots) {
    std::vector<std::vector<int>> result;
    for (const auto& slot : slots) {
        if (slot.isRest) continue;
        const auto chord = parseChordSymbol(slot.chord.original);
        std::vector<int> classes;
        for (const int interval : chord->intervals) classes.push_back((chord->root + interval) % 12);
        classes.push_back(chord->bass ? static_cast<int>(*chord->bass) : -1);
        result.push_back(classes);
    }
    return result;
}

class MusicalTransformTest : public testing::ProgressionCommandTest {};

TEST(TransformReading, KeyAndChordRefusals) {
    const KeySection base{"C", "major", "melodic", 5, true};
    for (const json& key :
         {json::array(), json({{"root", "D"}}), json({{"root", 1}, {"mode", "major"}}), json({{"mode", "minor"}})}) {
        EXPECT_EQ(testing::ownRefusal([&] { makeKeySectionFromTransform(base, key, std::nullopt); }),
                  "Musical transform returned an invalid key");
    }
    EXPECT_EQ(*makeKeySectionFromTransform(base, {{"root", "D"}, {"mode", "minor"}}, 2),
              (KeySection{"D", "minor", "melodic", 7, true}));
    EXPECT_EQ(*makeKeySectionFromTransform(base, {{"root", "D"}, {"mode", "minor"}, {"minorScaleType", "natural"}},
                                           std::nullopt),
              (KeySection{"D", "minor", "natural", 5, true}));
    // The offset wraps as a 32-bit sum instead of overflowing.
    const KeySection high{"C", "major", "natural", std::numeric_limits<std::int32_t>::max(), false};
    EXPECT_EQ(makeKeySectionFromTransform(high, {{"root", "C#"}, {"mode", "major"}}, 1)->transposeOffset,
              std::numeric_limits<std::int32_t>::min());

    EXPECT_EQ(testing::ownRefusal([] { readTransformedChords(json::object()); }),
              "Musical transform returned no chords");
    EXPECT_TRUE(readTransformedChords(json::array()).empty());
    for (const json& chords : {json::array({"C"}), json::array({json::object()}), json::array({{{"symbol", 2}}})}) {
        EXPECT_EQ(testing::ownRefusal([&] { readTransformedChords(chords); }),
                  "Musical transform returned an invalid chord sequence");
    }
    const auto chords = readTransformedChords(json::array({{{"symbol", "D7"}, {"original", "C7"}, {"roman", "II7"}}}));
    ASSERT_EQ(chords.size(), 1u);
    EXPECT_EQ(chords[0].original, "D7");
    EXPECT_EQ(chords[0].roman, "II7");
}

TEST_F(MusicalTransformTest, TransposeMovesChordsAndKeyAndBack) {
    restoreChords({"C", "r", "Am7", "F/A", "G7sus4"});
    const auto before = slots();
    const auto classesBefore = pitchClasses(before);
    const KeySection keyBefore = *document().key;
    for (const int n : {1, 5, -7, 11}) {
        expectApplied(transpose(n));
        auto moved = pitchClasses(slots());
        for (std::size_t c = 0; c < moved.size(); ++c) {
            for (std::size_t i = 0; i < moved[c].size(); ++i) {
                if (classesBefore[c][i] < 0) continue;
                EXPECT_EQ(moved[c][i], ((classesBefore[c][i] + n) % 12 + 12) % 12);
            }
        }
        EXPECT_EQ(document().key->transposeOffset, n);
        EXPECT_EQ(document().progression->input, buildProgressionText(slots()));
        EXPECT_EQ(texts()[1], "r");
        expectApplied(transpose(-n));
        EXPECT_EQ(pitchClasses(slots()), classesBefore);
        EXPECT_EQ(document().key->transposeOffset, keyBefore.transposeOffset);
        EXPECT_EQ(document().key->mode, keyBefore.mode);
        for (std::size_t i = 0; i < before.size(); ++i) {
            ProgressionSlot slot = slots()[i];
            slot.chord = before[i].chord;
            EXPECT_EQ(slot, before[i]);  // IDs and every setting untouched
        }
    }
}

TEST_F(MusicalTransformTest, ParallelModeKeepsRootAndOffset) {
    json state = testing::chordsDocument({"C", "F", "G7", "r"});
    state["key"]["transposeOffset"] = 3;
    state["key"]["autoKey"] = true;
    restore(state);
    const std::size_t logBefore = document().progressionLog->size();
    expectApplied(parallel("minor", "melodic"));
    EXPECT_EQ(*document().key, (KeySection{"C", "minor", "melodic", 3, true}));
    EXPECT_EQ(ids(), (std::vector<std::string>{"a0", "a1", "a2", "a3"}));
    EXPECT_EQ(document().progression->input, buildProgressionText(slots()));
    EXPECT_EQ(document().progressionLog->size(), logBefore + (document().progression->input != "C F G7 r" ? 1u : 0u));
    expectRefused(parallel("dorian"), "document_parallel_mode_failed", "Invalid key mode: dorian");
}

TEST_F(MusicalTransformTest, ChordsWithoutAThirdKeepTheirQuality) {
    // Power chords have no mode to change; their roots move along the scale as any other.
    struct Case {
        std::string from, to;
        std::vector<std::string> before, after;
    };
    const std::vector<Case> cases = {
        {"major",
         "minor",
         {"C5", "D5", "E5", "F5", "G5", "A5", "B5", "G5/D", "Eno3"},
         {"C5", "D5", "Eb5", "F5", "G5", "Ab5", "Bb5", "G5/D", "Eb5"}},
        {"minor", "major", {"C5", "Eb5", "F5", "G5", "Ab5", "Eb5/Bb"}, {"C5", "E5", "F5", "G5", "A5", "E5/B"}},
    };
    for (const Case& c : cases) {
        json state = testing::chordsDocument(c.before);
        state["key"]["mode"] = c.from;
        restore(state);
        expectApplied(parallel(c.to));
        EXPECT_EQ(texts(), c.after) << c.from;
    }
}

TEST_F(MusicalTransformTest, RefusalsAndEmptyProgressions) {
    restoreChords({"r"});
    expectApplied(transpose(2));  // no chord slots: an empty list both ways
    EXPECT_EQ(document().key->transposeOffset, 2);
    EXPECT_EQ(document().key->root, "D");
    for (const json& semitones : {json(1.5), json("2"), json(4294967296LL), json(-2147483649LL)}) {
        expectRefused(transpose(semitones), "invalid_document_command", "transpose_progression fields are invalid");
    }
    json extra = parallel("minor");
    extra["semitones"] = 1;
    expectRefused(extra, "invalid_document_command", "set_parallel_mode fields are invalid");
    json badParallel = parallel("minor");
    badParallel["mode"] = 1;
    expectRefused(badParallel, "invalid_document_command", "set_parallel_mode fields are invalid");
    // A key the service cannot read is the service's refusal.
    json state = testing::chordsDocument({"C"});
    state["key"]["root"] = "X";
    restore(state);
    const auto reply = run(transpose(1));
    EXPECT_EQ(reply.payload["code"], "document_transpose_failed") << reply.payload.dump();
    // The chord count must match the chord slots.
    restoreChords({"C", "G"});
    const auto result = session.applyMusicalTransform(std::vector<SlotChord>(1), document().key,
                                                      testing::defaultUserSettings(), currentNumber(), freshId());
    EXPECT_EQ(result.errorCode, "document_transform_failed");
    EXPECT_EQ(result.errorMessage, "Musical transform returned the wrong chord count");
    // Without any revision, the transforms answer as the transaction check would.
    DocumentSession fresh(resolver);
    for (const json& command : {transpose(1), parallel("minor")}) {
        const auto answer = executeDocumentCommand(testing::commandRequest(freshId(), command, 0), settings, fresh);
        EXPECT_EQ(answer.payload["code"], "document_revision_mismatch");
        EXPECT_EQ(answer.payload["message"],
                  "Document command baseRevision 0 does not match current revision uninitialized");
    }
}

}  // namespace
}  // namespace quillex
