// Live trigger transport through the host object: envelopes, statuses, events against the playback functions, overflow.
#include "host/trigger_transport.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/document_samples.h"
#include "host_harness.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;
using Lines = std::vector<std::string>;

std::string restoreLine(const json& document, const std::string& transactionId) {
    return R"(document_command {"schemaVersion":1,"transactionId":")" + transactionId +
           R"(","command":{"type":"restore_project_snapshot","documentState":)" + document.dump() + "}}";
}

json startEnvelope(std::uint64_t generation, std::uint64_t playback, std::uint64_t row, int pageOverride = -1) {
    return {{"transportSchemaVersion", 3}, {"requestId", 11}, {"generation", generation},
            {"playback", playback},        {"row", row},      {"velocity", 100},
            {"pageOverride", pageOverride}};
}

json horizonEnvelope(std::uint64_t generation, std::uint64_t playback, double from, double through,
                     int pageOverride = -1) {
    return {{"transportSchemaVersion", 3},  {"requestId", 12},  {"generation", generation}, {"playback", playback},
            {"pageOverride", pageOverride}, {"fromBeat", from}, {"throughBeat", through}};
}

// The one bridge reply a line gives.
json onlyBridgeReply(HostHarness& host, const std::string& line, const char* type) {
    const auto lines = host.run(line);
    EXPECT_EQ(lines.size(), 1u) << line;
    if (lines.size() != 1) return json();
    const auto out = splitOutletLine(lines[0]);
    EXPECT_EQ(out.selector, "toBridge");
    EXPECT_EQ(out.type, type) << lines[0];
    return out.json();
}

TEST(TriggerTransport, EnvelopeFailuresAnswerWithTheNumbersReadSoFar) {
    HostHarness host;
    const std::string typeError = testing::libraryTypeErrorText<std::uint64_t>(json("x"));
    struct Case {
        json envelope;
        const char* operation;
        std::uint64_t requestId;
        std::string error;
    };
    json extra = startEnvelope(0, 1, 0);
    extra["extra"] = 1;
    json noOverride = startEnvelope(0, 1, 0);
    noOverride.erase("pageOverride");
    json version2 = startEnvelope(0, 1, 0);
    version2["transportSchemaVersion"] = 2;
    json noRequestId = startEnvelope(0, 1, 0);
    noRequestId.erase("requestId");
    json hugeFloat = startEnvelope(0, 1, 0);
    hugeFloat["velocity"] = 3e9;
    json hugeInteger = startEnvelope(0, 1, 0);
    hugeInteger["pageOverride"] = 4294967295LL;  // +1 would wrap in 32 bits
    json floatId = horizonEnvelope(0, 1, 0, 1);
    floatId["requestId"] = 1e300;
    json stringId = horizonEnvelope(0, 1, 0, 1);
    stringId["requestId"] = "x";
    json stopExtra = {{"transportSchemaVersion", 3}, {"requestId", 5}, {"generation", 0}, {"playback", 1}, {"row", 0}};
    const std::vector<Case> cases{
        {extra, "start", 11, "Trigger start envelope is invalid"},
        {noOverride, "start", 11, "Trigger start envelope is invalid"},
        {version2, "start", 11, "Trigger start envelope is invalid"},
        {noRequestId, "start", 0, "[json.exception.out_of_range.403] key 'requestId' not found"},
        {startEnvelope(0, 1, 0, -2), "start", 11, "Trigger page override is invalid"},
        {startEnvelope(0, 1, 0, 8), "start", 11, "Trigger page override is invalid"},
        {hugeFloat, "start", 11, "Trigger start envelope is invalid"},
        {hugeInteger, "start", 11, "Trigger start envelope is invalid"},
        {floatId, "horizon", 0, "Trigger horizon envelope is invalid"},
        {stringId, "horizon", 0, typeError},
        {horizonEnvelope(0, 1, 0, 1, 9), "horizon", 12, "Trigger page override is invalid"},
        {stopExtra, "stop", 5, "Trigger stop envelope is invalid"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string("trigger_") + c.operation;
        const json reply = onlyBridgeReply(host, name + " " + c.envelope.dump(), "trigger_transport_error");
        EXPECT_EQ(reply, (json{{"transportSchemaVersion", 3},
                               {"operation", c.operation},
                               {"requestId", c.requestId},
                               {"generation", 0},
                               {"playback", c.requestId == 0 ? 0 : 1},
                               {"error", c.error}}))
            << c.envelope;
    }
    // Text that is not JSON gives the parser's message; bytes it quotes are made valid.
    const json bad = onlyBridgeReply(host, "trigger_stop {\"a\":\"\xFF\"}", "trigger_transport_error");
    EXPECT_TRUE(bad["error"].get<std::string>().starts_with("[json.exception.parse_error.101]"));
    // Accepted edges: page overrides -1 and 7, a boolean velocity, a float row truncated.
    json edges = startEnvelope(0, 1, 0, 7);
    edges["velocity"] = true;
    edges["row"] = 0.9;
    EXPECT_EQ(onlyBridgeReply(host, "trigger_start " + edges.dump(), "trigger_start_result")["status"], "disabled");
    // A valid stop sends nothing.
    EXPECT_TRUE(
        host.run(R"(trigger_stop {"transportSchemaVersion":3,"requestId":1,"generation":0,"playback":1})").empty());
}

// Replays the object's requests on a copy of its table with the playback functions themselves.
struct Oracle {
    std::unique_ptr<TriggerRowTable> table = std::make_unique<TriggerRowTable>();
    std::unique_ptr<TriggerPlaybackState> state = std::make_unique<TriggerPlaybackState>();
    std::unique_ptr<std::array<MidiTransportEvent, 4096>> events =
        std::make_unique<std::array<MidiTransportEvent, 4096>>();

    json start(std::uint64_t row, std::uint64_t playback, int pageOverride) {
        if (pageOverride != state->pageOverride) {
            state->pageOverride = static_cast<std::int8_t>(pageOverride);
            state->prepared = false;
        }
        std::size_t count = 0;
        startTriggerPlayback(*state, *table, row, 100, playback, events->data(), events->size(), count);
        if (isRhythmicPlayback(*state)) {
            renderTriggerHorizon(*state, 0.0, state->loopLength, events->data(), events->size(), count);
        }
        return triggerEventsToJson(events->data(), count);
    }
    json horizon(double from, double through) {
        std::size_t count = 0;
        renderTriggerHorizon(*state, from, through, events->data(), events->size(), count);
        return triggerEventsToJson(events->data(), count);
    }
};

TEST(TriggerTransport, RealProgramsPlayAsThePlaybackFunctionsSay) {
    HostHarness host;
    // A rhythmic, legato document with eight attack pages, then the same with its rhythm off.
    host.run(R"(set_user_setting {"transactionId":"on","key":"midiTriggersUseRhythm","value":true})");
    host.run(restoreLine(testing::fullDocumentJson(), "a"));
    Oracle oracle;
    std::uint64_t generation = 0;
    testing::withObject(host, [&](quillex_ext& ext) {
        *oracle.table = ext.liveTriggerTable();
        generation = ext.currentTriggerGeneration();
    });
    ASSERT_TRUE(oracle.table->valid);
    ASSERT_TRUE(oracle.table->legato);

    json reply =
        onlyBridgeReply(host, "trigger_start " + startEnvelope(generation, 7, 0).dump(), "trigger_start_result");
    EXPECT_EQ(reply["status"], "started");
    EXPECT_EQ(reply["rhythmic"], true);
    const json first = oracle.start(0, 7, -1);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(reply["events"], first);
    EXPECT_EQ(reply["throughBeat"], oracle.state->loopLength);

    // Later windows, with a page override that prepares the notes again.
    const double loop = oracle.state->loopLength;
    for (int page : {-1, 3, 7}) {
        reply = onlyBridgeReply(host, "trigger_horizon " + horizonEnvelope(generation, 7, loop, 3 * loop, page).dump(),
                                "trigger_horizon_result");
        oracle.state->pageOverride = static_cast<std::int8_t>(page);
        oracle.state->prepared = false;
        EXPECT_EQ(reply["status"], "ok");
        EXPECT_EQ(reply["events"], oracle.horizon(loop, 3 * loop)) << page;
    }
    // Another playback number is stale; a window running backwards overflows and stops the playback.
    EXPECT_EQ(onlyBridgeReply(host, "trigger_horizon " + horizonEnvelope(generation, 8, 0, 1).dump(),
                              "trigger_horizon_result")["status"],
              "stale");
    reply = onlyBridgeReply(host, "trigger_horizon " + horizonEnvelope(generation, 7, 2, 1).dump(),
                            "trigger_horizon_result");
    EXPECT_EQ(reply["status"], "overflow");
    EXPECT_EQ(reply["events"], json::array());
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_EQ(ext.playbackState().row, nullptr); });

    // A rest row is not enabled; an old generation is stale with no rhythm fields.
    reply = onlyBridgeReply(host, "trigger_start " + startEnvelope(generation, 9, 2).dump(), "trigger_start_result");
    EXPECT_EQ(reply["status"], "ignored");
    EXPECT_EQ(reply["throughBeat"], oracle.table->totalLength);
    reply =
        onlyBridgeReply(host, "trigger_start " + startEnvelope(generation - 1, 9, 0).dump(), "trigger_start_result");
    EXPECT_EQ(reply, (json{{"transportSchemaVersion", 3},
                           {"requestId", 11},
                           {"generation", generation - 1},
                           {"playback", 9},
                           {"status", "stale"},
                           {"events", json::array()}}));

    // Without rhythm the rows play as chords: events at once, no horizon.
    host.run(R"(set_user_setting {"transactionId":"r","key":"midiTriggersUseRhythm","value":false})");
    testing::withObject(host, [&](quillex_ext& ext) {
        *oracle.table = ext.liveTriggerTable();
        generation = ext.currentTriggerGeneration();
    });
    reply =
        onlyBridgeReply(host, "trigger_start " + startEnvelope(generation, 10, 1, 2).dump(), "trigger_start_result");
    EXPECT_EQ(reply["status"], "started");
    EXPECT_EQ(reply["rhythmic"], false);
    EXPECT_EQ(reply["throughBeat"], oracle.table->totalLength);
    EXPECT_EQ(reply["events"], oracle.start(1, 10, 2));
    EXPECT_EQ(onlyBridgeReply(host, "trigger_horizon " + horizonEnvelope(generation, 10, 0, 4, 2).dump(),
                              "trigger_horizon_result")["status"],
              "overflow");
    // A stop for the running playback stops it and sends nothing.
    host.run("trigger_start " + startEnvelope(generation, 12, 1).dump());
    EXPECT_TRUE(
        host.run("trigger_stop " +
                 json{{"transportSchemaVersion", 3}, {"requestId", 1}, {"generation", generation}, {"playback", 12}}
                     .dump())
            .empty());
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_EQ(ext.playbackState().table, nullptr); });
}

// k requests in one held turn: every ninth finds eight waiting, drops them and
// stops the playback; the page gets what is left, one reply per timer run.
TEST(TriggerTransport, OverflowRuleForEveryBurstLength) {
    HostHarness host;
    host.run(restoreLine(testing::fullDocumentJson(), "a"));
    std::uint64_t generation = 0;
    testing::withObject(host, [&](quillex_ext& ext) { generation = ext.currentTriggerGeneration(); });
    for (int k = 1; k <= 30; ++k) {
        host.session().runLine(":hold");
        std::vector<std::uint64_t> expected;  // request ids left in the queue; 0 marks an overflow error
        std::size_t waiting = 0;
        for (int i = 0; i < k; ++i) {
            json start = startEnvelope(generation, 100 + i, 0);
            start["requestId"] = 1000 * k + i;
            host.session().runLine("trigger_start " + start.dump());
            if (waiting == 8) {
                expected.clear();
                waiting = 0;
                expected.push_back(0);
                testing::withObject(host, [](quillex_ext& ext) { EXPECT_EQ(ext.playbackState().row, nullptr); });
            } else {
                expected.push_back(1000 * k + i);
            }
            ++waiting;
        }
        ASSERT_TRUE(host.take().empty());
        const auto lines = host.run(":go");
        ASSERT_EQ(lines.size(), expected.size()) << k;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto line = splitOutletLine(lines[i]);
            const json payload = line.json();
            if (expected[i] == 0) {
                EXPECT_EQ(line.type, "trigger_transport_error");
                EXPECT_EQ(payload["operation"], "response");
                EXPECT_EQ(payload["error"], "Native trigger response queue overflow");
            } else {
                EXPECT_EQ(line.type, "trigger_start_result");
                EXPECT_EQ(payload["requestId"], expected[i]);
            }
        }
    }
}

TEST(TriggerTransport, EventItemsKeepEveryDigitOfTheVoiceKey) {
    const MidiTransportEvent events[2] = {{0.5, (std::uint64_t{1} << 63) + 5, 60, 90, 1, 1}, {1.25, 1, 60, 0, 0, 0}};
    EXPECT_EQ(
        triggerEventsToJson(events, 2).dump(),
        R"([{"beat":0.5,"continuation":true,"noteOn":true,"pitch":60,"token":"9223372036854775813","velocity":90},)"
        R"({"beat":1.25,"continuation":false,"noteOn":false,"pitch":60,"token":"1","velocity":0}])");
    EXPECT_EQ(triggerEventsToJson(events, 0), json::array());
}

}  // namespace
}  // namespace quillex
