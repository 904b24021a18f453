// Rhythm presets: pattern validation, the version-3 decoder's checks in order, migration and revisions.
#include "storage/rhythm_preset_codec.h"

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/refusal.h"
#include "document/document_schema.h"
#include "preset_samples.h"
#include "storage/preset_revision.h"
#include "storage/rhythm_pattern_validation.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::ownRefusal;
using testing::rhythmEvent;

std::string patternOutcome(const json& events, std::int32_t length) {
    try {
        return validateRhythmPattern(events, length, documentShapeSchema(), "Rhythm preset events").dump();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

TEST(RhythmPattern, ChecksShapesValuesAndOverlapsInOrder) {
    const auto bass = [](json offset, json duration) {
        return json{{"offset", offset}, {"duration", duration}, {"part", "bass"}, {"velocity", 100}};
    };
    const std::string shape = "Rhythm preset events event has an invalid shape";
    const std::string values = "Rhythm preset events event has invalid values";
    struct Case {
        const char* what;
        json events;
        std::int32_t length;
        std::string expected;  // a message, or "ok"
    };
    const std::int64_t wrapsToFour = (std::int64_t{1} << 32) + 4;
    const std::vector<Case> cases = {
        {"touching bass events", {bass(0, 4), bass(4, 4)}, 16, "ok"},
        {"overlapping bass events",
         {bass(0, 4), bass(3, 4)},
         16,
         "Rhythm preset events contains overlapping bass events"},
        {"same part and offset", {bass(2, 1), bass(2, 3)}, 16, "Rhythm preset events contains overlapping bass events"},
        {"last step", {bass(15, 1)}, 16, "ok"},
        {"past the end", {bass(15, 2)}, 16, values},
        {"offset at the length", {bass(16, 1)}, 16, values},
        {"negative offset", {bass(-1, 1)}, 16, values},
        {"zero duration", {bass(0, 0)}, 16, values},
        {"offset beyond 32 bits", {bass(wrapsToFour, 1)}, 16, values},
        {"duration beyond 32 bits", {bass(0, wrapsToFour)}, 16, values},
        {"sum beyond 32 bits", {bass(1, std::numeric_limits<std::int32_t>::max())}, 16, values},
        {"largest unsigned offset", {bass(std::numeric_limits<std::uint64_t>::max(), 1)}, 16, values},
        {"velocity 0", {rhythmEvent(0, 1, "top", 0)}, 16, values},
        {"velocity 101", {rhythmEvent(0, 1, "top", 101)}, 16, values},
        {"velocity beyond 32 bits",
         {{{"offset", 0}, {"duration", 1}, {"part", "top"}, {"velocity", wrapsToFour}}},
         16,
         values},
        {"velocity 100.0", {{{"offset", 0}, {"duration", 1}, {"part", "top"}, {"velocity", 100.0}}}, 16, shape},
        {"unknown part", {rhythmEvent(0, 1, "lead", 50)}, 16, values},
        {"part not a string", {{{"offset", 0}, {"duration", 1}, {"part", 1}, {"velocity", 50}}}, 16, shape},
        {"extra key", {{{"offset", 0}, {"duration", 1}, {"part", "top"}, {"velocity", 50}, {"x", 1}}}, 16, shape},
        {"missing key", {{{"offset", 0}, {"duration", 1}, {"part", "top"}}}, 16, shape},
        {"not an object", {json::array()}, 16, shape},
        {"not an array", json::object(), 16, "Rhythm preset events must be an array of at most 48 events"},
        {"length 0", json::array(), 0, "Rhythm preset events length is invalid"},
        {"length 17", json::array(), 17, "Rhythm preset events length is invalid"},
        // The first failing event decides, before any overlap is looked for.
        {"overlap then bad value", {bass(0, 4), bass(1, 1), bass(0, 0)}, 16, values},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto outcome = patternOutcome(c.events, c.length);
        if (c.expected == "ok") {
            EXPECT_EQ(outcome.front(), '[') << outcome;
        } else {
            EXPECT_EQ(outcome, c.expected);
        }
    }

    json full = json::array();
    for (int i = 0; i < 16; ++i) {
        for (const char* part : {"bass", "middle", "top"}) full.push_back(rhythmEvent(i, 1, part, 50));
    }
    EXPECT_EQ(patternOutcome(full, 16).substr(0, 1), "[");
    full.push_back(rhythmEvent(0, 1, "top", 50));
    EXPECT_EQ(patternOutcome(full, 16), "Rhythm preset events must be an array of at most 48 events");
}

TEST(RhythmPattern, SortsByOffsetThenPartThenLongerFirst) {
    const json events = {rhythmEvent(4, 1, "top", 10),  rhythmEvent(0, 2, "top", 20), rhythmEvent(0, 4, "middle", 30),
                         rhythmEvent(0, 1, "bass", 40), rhythmEvent(2, 2, "top", 50), rhythmEvent(1, 3, "bass", 60)};
    const json expected = {rhythmEvent(0, 1, "bass", 40), rhythmEvent(0, 4, "middle", 30),
                           rhythmEvent(0, 2, "top", 20),  rhythmEvent(1, 3, "bass", 60),
                           rhythmEvent(2, 2, "top", 50),  rhythmEvent(4, 1, "top", 10)};
    EXPECT_EQ(validateRhythmPattern(events, 16, documentShapeSchema(), "x"), expected);

    const auto& parts = documentShapeSchema().at("enums").at("rhythmPart");
    EXPECT_TRUE(compareRhythmEvents(rhythmEvent(0, 4, "top", 1), rhythmEvent(1, 1, "bass", 1), parts));
    EXPECT_TRUE(compareRhythmEvents(rhythmEvent(0, 1, "bass", 1), rhythmEvent(0, 4, "middle", 1), parts));
    EXPECT_TRUE(compareRhythmEvents(rhythmEvent(0, 4, "top", 1), rhythmEvent(0, 2, "top", 1), parts));
    EXPECT_FALSE(compareRhythmEvents(rhythmEvent(0, 2, "top", 1), rhythmEvent(0, 2, "top", 9), parts));
}

TEST(RhythmPresetRevision, MatchesTheIndependentDigestsOverRawUtf8) {
    using namespace testing;
    EXPECT_EQ(computeRhythmPresetRevision("Groove", 16, grooveEvents()), kGrooveRevision);
    EXPECT_EQ(computeRhythmPresetRevision(kCafeName, 8, cafeEvents()), kCafeRevision);
    EXPECT_EQ(computeLegacyRhythmPresetRevision("Groove", grooveEvents()), kGrooveV2Revision);
}

// The revision text is written without the generic serializer for stored events; whatever
// the events hold, the digest must be that of the compact object.
TEST(RhythmPresetRevision, EqualsTheDigestOfTheCompactObjectForAnyEvents) {
    std::mt19937 rng(105);
    const std::vector<json> values = {0,
                                      15,
                                      -3,
                                      std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::uint64_t>::max(),
                                      1.5,
                                      "top",
                                      "q\"\\",
                                      "caf\xc3\xa9",
                                      "\x01",
                                      nullptr,
                                      json::array()};
    for (int run = 0; run < 2000; ++run) {
        json events = json::array();
        const int count = static_cast<int>(rng() % 4);
        for (int e = 0; e < count; ++e) {
            json event = rhythmEvent(static_cast<int>(rng() % 16), 1, "bass", 50);
            for (const char* key : {"offset", "duration", "part", "velocity"}) {
                if (rng() % 4 == 0) event[key] = values[rng() % values.size()];
            }
            if (rng() % 8 == 0) event.erase("velocity");
            if (rng() % 8 == 0) event["extra"] = 1;
            events.push_back(rng() % 16 == 0 ? json(7) : event);
        }
        const json object = {{"events", events}, {"lengthSteps", 16}, {"name", "N\xc3\xa9"}};
        ASSERT_EQ(computeRhythmPresetRevision("N\xc3\xa9", 16, events), presetRevisionOf(object)) << events.dump();
        ASSERT_EQ(computeLegacyRhythmPresetRevision("N", events),
                  presetRevisionOf({{"events", events}, {"name", "N"}}));
    }
}

TEST(RhythmPresetLibrary, DecodesACanonicalLibraryUnchanged) {
    using namespace testing;
    const json library = presetLibrary(3, {grooveEntry(), cafeEntry()});
    EXPECT_EQ(decodeRhythmPresetLibrary(library), library);
    EXPECT_EQ(decodeRhythmPresetLibrary(presetLibrary(3, {})), presetLibrary(3, {}));

    // Valid events out of canonical order decode sorted; the revision is that of the sorted events.
    json reordered = grooveEntry();
    reordered["events"] = json::array({grooveEvents()[1], grooveEvents()[0]});
    EXPECT_EQ(decodeRhythmPresetLibrary(presetLibrary(3, {reordered})), presetLibrary(3, {grooveEntry()}));
}

TEST(RhythmPresetLibrary, RefusesWithTheFirstFailingCheck) {
    using namespace testing;
    const auto with = [](const char* key, json value) {
        json entry = grooveEntry();
        entry[key] = std::move(value);
        return entry;
    };
    const auto without = [](const char* key) {
        json entry = grooveEntry();
        entry.erase(key);
        return entry;
    };
    const std::string unsupported = "Rhythm preset library has an unsupported schema";
    const std::string invalidEntry = "Rhythm preset library contains an invalid entry";
    std::vector<json> tooMany(257, grooveEntry());
    struct Case {
        const char* what;
        json library;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"version 4", presetLibrary(4, {}), unsupported},
        {"version 3.0", {{"schemaVersion", 3.0}, {"presets", json::array()}}, unsupported},
        {"version beyond 32 bits",
         {{"schemaVersion", (std::int64_t{1} << 32) + 3}, {"presets", json::array()}},
         unsupported},
        {"missing presets", {{"schemaVersion", 3}}, unsupported},
        {"extra member", {{"schemaVersion", 3}, {"presets", json::array()}, {"x", 1}}, unsupported},
        {"presets not an array", {{"schemaVersion", 3}, {"presets", json::object()}}, unsupported},
        {"257 entries", presetLibrary(3, tooMany), unsupported},
        {"not an object", json::array(), unsupported},
        {"entry with an extra key", presetLibrary(3, {with("x", 1)}), invalidEntry},
        {"entry without events", presetLibrary(3, {without("events")}), invalidEntry},
        {"upper-case ID", presetLibrary(3, {with("id", "0B7C5C2E-4D1A-4F3B-8A6E-2C9D1E0F3A4B")}), invalidEntry},
        {"name not a string", presetLibrary(3, {with("name", 7)}), invalidEntry},
        {"revision not a string", presetLibrary(3, {with("revision", nullptr)}), invalidEntry},
        {"duplicate IDs", presetLibrary(3, {grooveEntry(), grooveEntry()}),
         "Rhythm preset library contains duplicate IDs"},
        {"padded name", presetLibrary(3, {with("name", " Groove")}), "Rhythm preset name is not canonical"},
        {"empty name", presetLibrary(3, {with("name", "")}), "Rhythm preset name must not be empty"},
        {"control in the name", presetLibrary(3, {with("name", "a\tb")}),
         "Preset name cannot contain control characters"},
        {"65-character name", presetLibrary(3, {with("name", std::string(65, 'n'))}),
         "Rhythm preset name must contain 1 to 64 characters"},
        {"length 17", presetLibrary(3, {with("lengthSteps", 17)}), "Rhythm preset length is invalid"},
        {"length 16.0", presetLibrary(3, {with("lengthSteps", 16.0)}), "Rhythm preset length is invalid"},
        {"length beyond 32 bits", presetLibrary(3, {with("lengthSteps", (std::int64_t{1} << 32) + 16)}),
         "Rhythm preset length is invalid"},
        {"events past a shorter length", presetLibrary(3, {with("lengthSteps", 5)}),
         "Rhythm preset events event has invalid values"},
        {"upper-case revision",
         presetLibrary(3, {with("revision", "64B1228AD938F259EC25C5E263C71AE2708C408E8E94C61A1F520063679F1B69")}),
         "Rhythm preset library contains an invalid revision"},
        {"short revision", presetLibrary(3, {with("revision", "64b1")}),
         "Rhythm preset library contains an invalid revision"},
        {"wrong revision", presetLibrary(3, {with("revision", kCafeRevision)}),
         "Rhythm preset revision does not match its contents"},
        {"renamed without a new revision", presetLibrary(3, {with("name", "Groove 2")}),
         "Rhythm preset revision does not match its contents"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(c.library); }), c.expected);
    }
}

TEST(RhythmPresetLibrary, MigratesVersionsOneAndTwo) {
    using namespace testing;
    const auto legacy = [](const std::string& revision) {
        return json{{"id", kGrooveId}, {"name", "Groove"}, {"revision", revision}, {"events", grooveEvents()}};
    };
    const json migrated = presetLibrary(3, {grooveEntry()});
    EXPECT_EQ(decodeRhythmPresetLibrary(presetLibrary(1, {legacy(kGrooveV1Revision)})), migrated);
    EXPECT_EQ(decodeRhythmPresetLibrary(presetLibrary(2, {legacy(kGrooveV2Revision)})), migrated);

    const std::string mismatch = "Rhythm preset legacy revision does not match its contents";
    EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(presetLibrary(1, {legacy(kGrooveV2Revision)})); }), mismatch);
    EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(presetLibrary(2, {legacy(kGrooveV1Revision)})); }), mismatch);
    std::string upper = kGrooveV2Revision;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(presetLibrary(2, {legacy(upper)})); }), mismatch);
    EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(presetLibrary(2, {grooveEntry()})); }),
              "Rhythm preset library contains an invalid legacy entry");
    EXPECT_EQ(ownRefusal([&] {
                  decodeRhythmPresetLibrary(presetLibrary(1, {legacy(kGrooveV1Revision), legacy(kGrooveV1Revision)}));
              }),
              "Rhythm preset library contains duplicate IDs");
    EXPECT_EQ(ownRefusal([&] {
                  decodeRhythmPresetLibrary({{"schemaVersion", 2}, {"presets", json::array()}, {"x", 0}});
              }),
              "Rhythm preset library has an unsupported schema");
    // Legacy patterns are 16 steps long.
    json late = legacy(kGrooveV1Revision);
    late["events"] = json::array({rhythmEvent(15, 2, "top", 1)});
    EXPECT_EQ(ownRefusal([&] { decodeRhythmPresetLibrary(presetLibrary(1, {late})); }),
              "Rhythm preset events event has invalid values");
}

TEST(RhythmPresetEntry, BuildsAndRenamesWithFreshRevisions) {
    using namespace testing;
    const json payload = {{"lengthSteps", 16}, {"events", json::array({grooveEvents()[1], grooveEvents()[0]})}};
    EXPECT_EQ(makeRhythmPresetEntry(kGrooveId, "Groove", payload), grooveEntry());

    json renamed = grooveEntry();
    renamed["name"] = kCafeName;
    renamed["revision"] = computeRhythmPresetRevision(kCafeName, 16, grooveEvents());
    EXPECT_EQ(renameRhythmPresetEntry(grooveEntry(), kCafeName), renamed);
    EXPECT_NE(renamed["revision"], kGrooveRevision);

    const std::string invalid = "Rhythm preset payload is invalid";
    EXPECT_EQ(ownRefusal([&] { makeRhythmPresetEntry(kGrooveId, "G", json::array()); }), invalid);
    EXPECT_EQ(ownRefusal([&] { makeRhythmPresetEntry(kGrooveId, "G", {{"events", grooveEvents()}}); }), invalid);
    json extra = payload;
    extra["name"] = "G";
    EXPECT_EQ(ownRefusal([&] { makeRhythmPresetEntry(kGrooveId, "G", extra); }), invalid);
    for (const json& length : {json(0), json(17), json(-1), json(8.0), json("8"), json(nullptr)}) {
        EXPECT_EQ(ownRefusal([&] {
                      makeRhythmPresetEntry(kGrooveId, "G", {{"lengthSteps", length}, {"events", json::array()}});
                  }),
                  "Rhythm preset length is invalid")
            << length;
    }
}

}  // namespace
}  // namespace quillex
