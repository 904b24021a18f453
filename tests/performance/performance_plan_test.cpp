// The performance plan: the voicing request, reading its reply, rows per slot and the failures.
#include "performance/performance_plan.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "performance_samples.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::chordSlot;
using testing::documentOf;
using testing::restSlot;

template <typename Call>
std::string failureOf(Call call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "compiled";
}

ProgressionSlot chordNamed(const std::string& text) {
    ProgressionSlot slot = chordSlot();
    slot.chord.original = text;
    return slot;
}

ProjectDocument withAutoVoiceLeading(ProjectDocument document) {
    document.voicing = std::make_shared<VoicingSection>(VoicingSection{true, true, false, "closed"});
    return document;
}

const UserSettingsSection kSettings{"fifths", false, true};

TEST(PerformanceVoicingRequest, FollowsTheSlotAndRequestTables) {
    ProgressionSlot styled = chordNamed("Dm7");
    styled.voicingStyle = "shell";
    styled.inversion = 2;
    styled.octaveShift = -1;
    styled.isAutoVoiced = false;
    ProjectDocument document = documentOf({chordNamed("C"), restSlot(1.0), styled});
    document.key = std::make_shared<KeySection>(KeySection{"Eb", "minor", "melodic", -3, true});

    const json plain = *buildPerformanceVoicingRequest(document, UserSettingsSection{"flats", true, false});
    const json expected = {{"slots",
                            {{{"chord", "C"},
                              {"style", "closed"},
                              {"inversion", 0},
                              {"octave_shift", 0},
                              {"octave", 4},
                              {"drop_bass", false}},
                             {{"chord", "Dm7"},
                              {"style", "shell"},
                              {"inversion", 2},
                              {"octave_shift", -1},
                              {"octave", 4},
                              {"drop_bass", false}}}},
                           {"key", {{"root", "Eb"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}},
                           {"spellingPreference", "flats"},
                           {"simplifyAccidentals", true},
                           {"semitone_transpose", -3},
                           {"request_octave", 4},
                           {"source", "performance-plan"}};
    EXPECT_EQ(plain, expected);

    const json led = *buildPerformanceVoicingRequest(withAutoVoiceLeading(document), kSettings);
    EXPECT_EQ(led["auto_voice_lead"], true);
    EXPECT_EQ(led["allow_bass_changes"], true);
    EXPECT_EQ(led["slots"][0]["auto_voiced"], true);   // unset flag reads as true
    EXPECT_EQ(led["slots"][1]["auto_voiced"], false);  // the slot's own flag

    EXPECT_FALSE(buildPerformanceVoicingRequest(documentOf({restSlot(2.0)}), kSettings).has_value());
}

TEST(PerformanceVoicingRequest, RepliesReadIntoVoicings) {
    const json objects = {{"voicings", {{{"notes", {48, 52, 55}}}, {{"notes", {50}}}}},
                          {"max_manual_inversions", {2, 0}},
                          {"voicing_slash_basses", {nullptr, "E"}},
                          {"voicing_note_labels", {{"C3", "E3", "G3"}, {"D3"}}}};
    json arrays = objects;
    arrays["voicings"] = {{48, 52, 55}, {50}};
    const ResolvedVoicings read = readResolvedVoicings(objects);
    EXPECT_EQ(read, readResolvedVoicings(arrays));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].notes, (std::vector<std::int32_t>{48, 52, 55}));
    EXPECT_EQ(read[0].maxManualInversions, 2);
    EXPECT_FALSE(read[0].slashBass.has_value());
    EXPECT_EQ(read[1].slashBass, "E");
    EXPECT_EQ(read[1].noteLabels, std::vector<std::string>{"D3"});

    json shortLabels = objects;
    shortLabels["voicing_note_labels"].erase(1);
    EXPECT_EQ(failureOf([&] { readResolvedVoicings(shortLabels); }),
              "Resolved voicing metadata count does not match voicings");
    json missing = objects;
    missing.erase("max_manual_inversions");
    EXPECT_THROW(readResolvedVoicings(missing), json::out_of_range);
    json wrongType = objects;
    wrongType["voicing_slash_basses"][1] = 5;
    EXPECT_THROW(readResolvedVoicings(wrongType), json::type_error);
}

TEST(PerformanceVoicings, VoicesChordSlotsThroughThePort) {
    VoicerPort port;
    const ProjectDocument document =
        withAutoVoiceLeading(documentOf({restSlot(2.0), chordNamed("C"), chordNamed("F")}));
    const auto voicings = compilePerformanceVoicings(document, kSettings, port);
    ASSERT_EQ(voicings->size(), 2u);
    EXPECT_FALSE((*voicings)[0].notes.empty());
    EXPECT_EQ((*voicings)[0].notes.size(), (*voicings)[0].noteLabels.size());
    EXPECT_TRUE(port.hasPrevious);  // the solve went through the session's port
}

TEST(PerformanceVoicings, FailuresBeforeAndFromTheVoicingRequest) {
    VoicerPort port;
    std::vector<ProgressionSlot> many(129, chordNamed("C"));
    const ProjectDocument tooMany = withAutoVoiceLeading(documentOf(many));
    EXPECT_EQ(failureOf([&] { compilePerformanceVoicings(tooMany, kSettings, port); }),
              "Performance plan exceeds the row limit");
    ProjectDocument unresolved = withAutoVoiceLeading(documentOf({}, RhythmSection{}, " C G "));
    EXPECT_EQ(failureOf([&] { compilePerformanceVoicings(unresolved, kSettings, port); }),
              "Performance compilation requires resolved progression slots");
    EXPECT_FALSE(port.hasPrevious);
    EXPECT_EQ(port.cacheState, nullptr);  // the port was never handed on

    const auto blank = compilePerformanceVoicings(documentOf({}, RhythmSection{}, " \t\r\n"), kSettings, port);
    EXPECT_TRUE(blank->empty());
    const auto restsOnly = compilePerformanceVoicings(documentOf({restSlot(1.0)}), kSettings, port);
    EXPECT_TRUE(restsOnly->empty());
    EXPECT_EQ(port.cacheState, nullptr);

    const ProjectDocument bad = documentOf({chordNamed("C"), chordNamed("Xq?")});
    EXPECT_EQ(failureOf([&] { compilePerformanceVoicings(bad, kSettings, port); }), "progression slot parse failed");
}

TEST(PerformancePlanCompile, RestsAndChordsMakeOneRowPerSlot) {
    VoicerPort port;
    RhythmSection rhythm = testing::rhythmOf("quarter");
    rhythm.retriggerOnBlock = true;
    const ProjectDocument document = documentOf({restSlot(2.0), chordNamed("C")}, rhythm);
    const auto voicings = compilePerformanceVoicings(document, kSettings, port);
    ASSERT_EQ(voicings->size(), 1u);
    const auto plan = compilePerformancePlan(document, *voicings);
    ASSERT_EQ(plan->rows.size(), 2u);
    EXPECT_EQ(plan->totalLength, 6.0);
    EXPECT_EQ(plan->valid, 1);
    EXPECT_EQ(plan->retriggerOnBlock, 1);
    EXPECT_EQ(plan->legato, 0);
    TriggerRow rest;
    rest.duration = 2.0;
    EXPECT_EQ(plan->rows[0], rest);
    EXPECT_EQ(plan->rows[1].enabled, 1);
    EXPECT_EQ(plan->rows[1].duration, 4.0);
    EXPECT_EQ(plan->rows[1], compileTriggerRow(document.progression->slots[1], (*voicings)[0].notes, rhythm));

    const auto empty = compilePerformancePlan(documentOf({}, RhythmSection{}, ""), ResolvedVoicings{});
    EXPECT_TRUE(empty->rows.empty());
    EXPECT_EQ(empty->totalLength, 0.0);
}

TEST(PerformancePlanCompile, RowLimitAndVoicingCounts) {
    const ResolvedVoicing triad{{60, 64, 67}, 8, std::nullopt, {"C4", "E4", "G4"}};
    std::vector<ProgressionSlot> slots(128, chordSlot());
    const auto full = compilePerformancePlan(documentOf(slots), ResolvedVoicings(128, triad));
    EXPECT_EQ(full->rows.size(), 128u);
    EXPECT_EQ(full->totalLength, 512.0);

    slots.push_back(chordSlot());
    EXPECT_EQ(failureOf([&] { compilePerformancePlan(documentOf(slots), ResolvedVoicings(129, triad)); }),
              "Performance plan exceeds the row limit");

    const ProjectDocument two = documentOf({chordSlot(), restSlot(1.0), chordSlot()});
    for (std::size_t count : {0u, 1u, 3u}) {
        EXPECT_EQ(failureOf([&] { compilePerformancePlan(two, ResolvedVoicings(count, triad)); }),
                  "Resolved voicing count does not match progression")
            << count;
    }
    // A voicing clamped onto one pitch twice cannot make a page.
    const ResolvedVoicing clamped{{0, 0, 4}, 8, std::nullopt, {}};
    EXPECT_EQ(failureOf([&] {
                  compilePerformancePlan(two, ResolvedVoicings{triad, clamped});
              }),
              "Trigger gesture pitch is invalid");
}

// Each case breaks one range that compilation reads; the value at the limit compiles.
TEST(PerformancePlanCompile, DocumentRangesAreCheckedFirst) {
    struct Case {
        const char* name;
        void (*breakIt)(ProgressionSlot&, RhythmSection&, bool atLimit);
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"slot velocity", [](ProgressionSlot& s, RhythmSection&, bool l) { s.velocity = l ? 255 : 256; },
         "Document slot is invalid"},
        {"negative velocity", [](ProgressionSlot& s, RhythmSection&, bool l) { s.velocity = l ? 0 : -1; },
         "Document slot is invalid"},
        {"velocity range",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityRange.maximum = l ? 200 : 201; },
         "Document attack is invalid"},
        {"velocity range low",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityRange.minimum = l ? 0 : -2147483647 - 1; },
         "Document attack is invalid"},
        {"mid position",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityRateCurve.midPosition = l ? 10 : 0; },
         "Document contour is invalid"},
        {"mid position high",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.rateContour.midPosition = l ? 90 : 91; },
         "Document contour is invalid"},
        {"bend",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityCurve.secondBend = l ? -100 : -105; },
         "Document contour is invalid"},
        {"velocity curve level",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityCurve.mid = l ? 200 : 201; },
         "Document contour is invalid"},
        {"rate level", [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.rateContour.end = l ? 100 : 101; },
         "Document contour is invalid"},
        {"velocity-rate level",
         [](ProgressionSlot& s, RhythmSection&, bool l) { s.attack.velocityRateCurve.start = l ? 0 : -1; },
         "Document contour is invalid"},
        {"swing", [](ProgressionSlot&, RhythmSection& r, bool l) { r.swing.amount = l ? 100 : 101; },
         "Document rhythm is invalid"},
        {"length steps", [](ProgressionSlot&, RhythmSection& r, bool l) { r.customPattern->lengthSteps = l ? 1 : 0; },
         "Document rhythm is invalid"},
        {"length steps high",
         [](ProgressionSlot&, RhythmSection& r, bool l) { r.customPattern->lengthSteps = l ? 16 : 17; },
         "Document rhythm is invalid"},
        {"event velocity",
         [](ProgressionSlot&, RhythmSection& r, bool l) { r.customPattern->events[0].velocity = l ? 1 : 0; },
         "Document rhythm is invalid"},
        {"event count",
         [](ProgressionSlot&, RhythmSection& r, bool l) {
             // Forty-eight events fill sixteen steps with every part once.
             const char* parts[] = {"bass", "middle", "top"};
             r.customPattern->events.clear();
             for (int i = 0; i < (l ? 48 : 49); ++i)
                 r.customPattern->events.push_back({i / 3 % 16, 1, parts[i % 3], 100});
         },
         "Document rhythm is invalid"},
    };
    const ResolvedVoicing triad{{60, 64, 67}, 8, std::nullopt, {}};
    for (const Case& c : cases) {
        for (const bool atLimit : {true, false}) {
            ProgressionSlot slot = chordSlot(testing::advancedAttack(2, true));
            RhythmSection rhythm = testing::rhythmOf("custom");
            rhythm.customPattern = RhythmCustomPattern{16, {{0, 4, "bass", 80}, {4, 4, "top", 100}}};
            c.breakIt(slot, rhythm, atLimit);
            const ProjectDocument document = documentOf({slot}, rhythm);
            EXPECT_EQ(failureOf([&] { compilePerformancePlan(document, ResolvedVoicings{triad}); }),
                      atLimit ? "compiled" : c.expected)
                << c.name << (atLimit ? " at its limit" : " past it");
        }
    }

    // Only what compilation reads: an unused custom pattern and an "off" attack's curves pass.
    ProgressionSlot off = chordSlot();
    off.attack.velocityCurve.midPosition = 0;
    RhythmSection unused = testing::rhythmOf("none");
    unused.customPattern = RhythmCustomPattern{0, {}};
    unused.swing.amount = 500;
    EXPECT_EQ(failureOf([&] { compilePerformancePlan(documentOf({off}, unused), ResolvedVoicings{triad}); }),
              "compiled");
}

}  // namespace
}  // namespace quillex
