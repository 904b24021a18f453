// The host object's messages and request dispatch, as the page sees them through the outlet.
#include "host/quillex_ext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "generation/local_progression_request.h"
#include "generation/suggestions_request.h"
#include "host/bridge_request_table.h"
#include "host/page_message.h"
#include "host_harness.h"
#include "performance/rhythm_patterns_request.h"
#include "session/document_command.h"
#include "session/render_performance_request.h"
#include "storage/user_settings_contract.h"
#include "theory/catalogue_requests.h"
#include "voicing/chord_modifier_requests.h"
#include "voicing/diatonic_chords_request.h"
#include "voicing/generate_voicing_request.h"
#include "voicing/progression_voicing_request.h"
#include "voicing/voicing_catalogue_requests.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

json onlyPageMessage(const std::vector<std::string>& lines) {
    EXPECT_EQ(lines.size(), 1u);
    if (lines.size() != 1) return json();
    const auto line = splitOutletLine(lines[0]);
    EXPECT_EQ(line.selector, "toJweb");
    return line.json();
}

TEST(HostMessages, ClassRegistersTheThirtyOneNamesAndNoOthers) {
    t_class* cls = testing::quillexClass();
    for (const char* name : quillex_ext::message_names()) EXPECT_TRUE(vessa_class_responds(cls, name)) << name;
    EXPECT_EQ(quillex_ext::message_names().front(), std::string("fromJweb"));
    EXPECT_EQ(quillex_ext::message_names().back(), std::string("anything"));
    for (const char* absent : {"ready", "read_clipboard", "write_clipboard", "system_wake"}) {
        EXPECT_FALSE(vessa_class_responds(cls, absent)) << absent;
    }
}

TEST(HostMessages, BodiesThatSendNothing) {
    HostHarness host;
    for (const char* line : {"fromJweb get_version", "onload", "anything {}", "url", "fromJweb read_clipboard {}",
                             "fromJweb write_clipboard {}", "fromJweb onloadend {}", "notify a b \\i1 \\i2"}) {
        EXPECT_TRUE(host.run(line).empty()) << line;
    }
    // The dropped ones that the Parts leave unanswered leave a console line each.
    EXPECT_NE(host.console().find("fromJweb needs"), std::string::npos);
}

TEST(HostMessages, ARequestWithoutArgumentIsAnEmptyObject) {
    HostHarness host;
    EXPECT_EQ(onlyPageMessage(host.run("get_version")),
              (json{{"type", "version"}, {"ok", true}, {"payload", {{"version", "1.3.1"}}}}));
    // Integer and float atoms reach the parser as their text; a message that is
    // not an object is its own payload.
    EXPECT_EQ(onlyPageMessage(host.run("fromJweb get_version \\i5"))["payload"], (json{{"version", "1.3.1"}}));
    EXPECT_EQ(onlyPageMessage(host.run("fromJweb get_version \\f2.5"))["type"], "version");
}

TEST(HostMessages, AnythingParsesBraceTextsAndReportsBadOnes) {
    HostHarness host;
    const json bad = onlyPageMessage(host.run("{\"a\":"));
    EXPECT_EQ(bad["type"], "error");
    EXPECT_TRUE(bad["payload"]["message"].get<std::string>().starts_with("JSON parse error: "));
    // "{}" in quotes is not the ignored "{}": it is parsed and passed on, as a shape no request has.
    EXPECT_EQ(onlyPageMessage(host.run("\"{}\""))["payload"]["code"], "unknown_payload_shape");
}

struct DispatchCase {
    std::string line;
    json expected;  // the whole page message; null for no reply
};

TEST(RequestDispatch, EnvelopeAndTableRules) {
    const json versionPayload = {{"version", "1.3.1"}};
    auto error = [](const char* code, const char* text, json extra) {
        json payload = {{"code", code}, {"error", text}, {"message", text}};
        payload.update(extra);
        json message = {{"type", "error"}, {"ok", false}, {"error", text}};
        if (payload.contains("request_id")) {
            message["request_id"] = payload["request_id"];
            payload.erase("request_id");
        }
        message["payload"] = payload;
        return message;
    };
    const std::vector<DispatchCase> cases{
        {"fromJweb\t\t{\"request_id\":\"r\"}", error("missing_type", "Missing request type", {{"request_id", "r"}})},
        {"fromJweb GET_VERSION {}", error("unknown_type", "Unknown request type", {{"requested_type", "GET_VERSION"}})},
        {"get_version {\"request_id\":\"x\"}",
         {{"type", "version"}, {"ok", true}, {"request_id", "x"}, {"payload", versionPayload}}},
        {"get_version {\"type\":\"get_version\",\"request_id\":\"e\",\"payload\":{}}",
         {{"type", "version"}, {"ok", true}, {"request_id", "e"}, {"payload", versionPayload}}},
        {"get_version {\"type\":\"parse_chord\",\"request_id\":\"e\",\"payload\":{}}",
         error("invalid_payload", "Request handling failed", {{"requested_type", "get_version"}, {"request_id", "e"}})},
        {"get_version {\"payload\":[1]}",
         error("invalid_payload", "Request handling failed", {{"requested_type", "get_version"}})},
        {"get_version {\"type\":5,\"payload\":{}}",
         error("invalid_payload", "Request handling failed", {{"requested_type", "get_version"}})},
        {"fromJweb ready {\"request_id\":\"r\"}",
         {{"type", "ready_ack"}, {"ok", true}, {"request_id", "r"}, {"payload", json::object()}}},
        {"get_version {\"request_id\":7}",
         {{"type", "version"}, {"ok", true}, {"payload", {{"version", "1.3.1"}, {"request_id", 7}}}}},
        {"fromJweb \xFF\xFE {}",
         error("unknown_type", "Unknown request type", {{"requested_type", "\xEF\xBF\xBD\xEF\xBF\xBD"}})},
        {"fromJweb read_clipboard {}", nullptr},
    };
    HostHarness host;
    for (const DispatchCase& c : cases) {
        const auto lines = host.run(c.line);
        if (c.expected.is_null()) {
            EXPECT_TRUE(lines.empty()) << c.line;
        } else {
            EXPECT_EQ(onlyPageMessage(lines), c.expected) << c.line;
        }
    }
}

TEST(RequestDispatch, TextsThatAreNotJsonAnswerInvalidJson) {
    HostHarness host;
    for (const std::string& text : {std::string("{x"), std::string(600, '[') + std::string(600, ']'),
                                    std::string("{\"a\":\"\xFF\"}"), std::string("1e999999")}) {
        const json message = onlyPageMessage(host.run("parse_chord " + text));
        EXPECT_EQ(message["type"], "error") << text;
        EXPECT_TRUE(message["payload"]["message"].get<std::string>().starts_with("Invalid JSON: ")) << text;
    }
}

// Every request type a service on main answers, through each road in, equals
// the page message built from that service's own reply to the same payload.
TEST(RequestDispatch, RepliesAreTheServicesOwnUnderTheEnvelope) {
    using Service = std::function<BridgeReply(const json&)>;
    const std::vector<std::tuple<std::string, Service, json>> services{
        {"generate_voicing", handleGenerateVoicing, {{"chord", "G7"}, {"style", "anthem"}, {"request_id", "a"}}},
        {"generate_progression",
         handleGenerateProgression,
         {{"slots", {{{"chord", "C"}}, {{"chord", "Am7"}}, {{"chord", "F"}}, {{"chord", "G7"}}}}, {"request_id", "b"}}},
        {"parse_chord", handleParseChord, {{"chord", "Bbm7b5/E"}, {"request_id", "c"}}},
        {"get_diatonic_chords", handleGetDiatonicChords, {{"root", "Eb"}, {"mode", "major"}}},
        {"get_voicing_styles", handleGetVoicingStyles, json::object()},
        {"get_relevant_voicings", handleGetRelevantVoicings, {{"intervals", {0, 4, 7, 10}}}},
        {"get_range_presets", handleGetRangePresets, {{"request_id", "r"}}},
        {"get_rhythm_patterns", handleGetRhythmPatterns, json::object()},
        {"get_supported_qualities", handleGetSupportedQualities, json::object()},
        {"get_available_modifiers", handleGetAvailableModifiers, {{"chord", "Cm7"}, {"getModifiers", true}}},
        {"apply_modifiers", handleApplyModifiers, {{"chord", "C"}, {"modifiers", {"seventh-flat7"}}}},
        {"parse_chord", handleParseChord, {{"chord", "??"}}},
        {"get_suggestions",
         [](const json& p) { return handleGetSuggestions(p); },
         {{"root", "C"}, {"mode", "major"}, {"position", 1}, {"previousChords", {"C", "Am7"}}, {"request_id", "s"}}},
        // Generation draws random numbers; its refusals do not.
        {"generate_local_progression",
         [](const json& p) { return handleGenerateLocalProgression(p); },
         {{"genre", "no-such-style"}, {"length", 4}, {"request_id", "g"}}},
    };
    HostHarness host;
    for (const auto& [type, service, payload] : services) {
        const BridgeReply reply = service(payload);
        const std::string expected = reply.type + " " + writeWireText(buildPageMessage(reply.type, reply.payload));
        const json envelope = {{"type", type}, {"payload", payload}};
        for (const std::string& line : {type + " " + payload.dump(), "fromJweb\t" + type + "\t" + payload.dump(),
                                        "fromJweb\t" + type + "\t" + envelope.dump()}) {
            const auto lines = testing::joinFrames(host.run(line));
            ASSERT_EQ(lines.size(), 1u) << line;
            EXPECT_EQ(lines[0], "toJweb " + expected) << line;
        }
        testing::withObject(host, [&](quillex_ext& ext) { ext.routeTransportMessage(type, payload.dump()); });
        const auto routed = testing::joinFrames(host.take());
        ASSERT_EQ(routed.size(), 1u);
        EXPECT_EQ(routed[0], "toJweb " + expected) << type;
    }
}

// A document command's reply is the session's own; on a fresh object both
// sessions hold nothing yet, so the same command gives the same reply.
TEST(RequestDispatch, DocumentRepliesAreTheSessionsOwnThroughEveryRoad) {
    const json payload = {{"schemaVersion", 1}, {"transactionId", "v"}, {"command", {{"type", "get_document_view"}}}};
    DocumentSession session;
    const BridgeReply reply = executeDocumentCommand(payload, readUserSettingsSection(userSettingsDefaults()), session);
    const std::string expected =
        "toJweb " + reply.type + " " + writeWireText(buildPageMessage(reply.type, reply.payload));
    const json envelope = {{"type", "document_command"}, {"payload", payload}};
    for (const std::string& line :
         {"document_command " + payload.dump(), "fromJweb\tdocument_command\t" + payload.dump(),
          "fromJweb\tdocument_command\t" + envelope.dump()}) {
        HostHarness host;
        EXPECT_EQ(host.run(line), std::vector<std::string>{expected}) << line;
    }
    HostHarness host;
    testing::withObject(host, [&](quillex_ext& ext) { ext.routeTransportMessage("document_command", payload.dump()); });
    EXPECT_EQ(host.take(), std::vector<std::string>{expected});
}

TEST(RequestDispatch, RenderRepliesAreTheServicesOwnThroughEveryRoad) {
    const json payload = {{"request_id", "r"}, {"operation", "render_phrase_clips"}};
    DocumentSession session;
    const BridgeReply reply = handleRenderPerformance(payload, session);
    const std::string expected =
        "toJweb " + reply.type + " " + writeWireText(buildPageMessage(reply.type, reply.payload));
    const json envelope = {{"type", "render_performance"}, {"payload", payload}};
    HostHarness host;
    for (const std::string& line :
         {"render_performance " + payload.dump(), "fromJweb\trender_performance\t" + payload.dump(),
          "fromJweb\trender_performance\t" + envelope.dump()}) {
        EXPECT_EQ(host.run(line), std::vector<std::string>{expected}) << line;
    }
    testing::withObject(host,
                        [&](quillex_ext& ext) { ext.routeTransportMessage("render_performance", payload.dump()); });
    EXPECT_EQ(host.take(), std::vector<std::string>{expected});
}

TEST(BridgeQueue, NineBridgeRenderRequestsInOneTurn) {
    HostHarness host;
    host.session().runLine(":hold");
    for (int i = 0; i < 9; ++i) {
        host.session().runLine(
            R"(render_performance {"responseTarget":"bridge","operation":"render_phrase_clips","request_id":"q)" +
            std::to_string(i) + "\"}");
    }
    auto lines = host.take();
    ASSERT_EQ(lines.size(), 1u);
    const json overflow = splitOutletLine(lines[0]).json();
    EXPECT_EQ(splitOutletLine(lines[0]).type, "performance_render_error");
    EXPECT_EQ(overflow["request_id"], "q8");
    EXPECT_EQ(overflow["payload"]["code"], "bridge_response_queue_overflow");
    lines = host.run(":go");
    ASSERT_EQ(lines.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(splitOutletLine(lines[i]).selector, "toBridge");
        EXPECT_EQ(splitOutletLine(lines[i]).json()["request_id"], "q" + std::to_string(i));
    }
}

TEST(BridgeQueue, EightWaitAndLeaveOnePerRunTheNinthOverflowsAtOnce) {
    HostHarness host;
    host.session().runLine(":hold");
    testing::withObject(host, [](quillex_ext& ext) {
        for (int i = 0; i < 9; ++i) {
            ext.enqueueBridgeResponse(true, {"performance_rendered", {{"request_id", "r" + std::to_string(i)}}});
        }
    });
    auto lines = host.take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "toBridge performance_render_error " +
                            writeWireText(json{{"type", "performance_render_error"},
                                               {"ok", false},
                                               {"request_id", "r8"},
                                               {"error", "Native bridge response queue overflow"},
                                               {"payload",
                                                {{"code", "bridge_response_queue_overflow"},
                                                 {"message", "Native bridge response queue overflow"},
                                                 {"error", "Native bridge response queue overflow"}}}}));
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(vessa_step(), 1);
        lines = host.take();
        ASSERT_EQ(lines.size(), 1u);
        const auto line = splitOutletLine(lines[0]);
        EXPECT_EQ(line.selector, "toBridge");
        EXPECT_EQ(line.type, "performance_rendered");
        EXPECT_EQ(line.json()["request_id"], "r" + std::to_string(i));
    }
    EXPECT_EQ(vessa_step(), 0);
    host.session().runLine(":go");
}

TEST(BridgeQueue, OverflowWithoutRequestIdIsADocumentErrorAndPageRepliesNeverWait) {
    HostHarness host;
    host.session().runLine(":hold");
    testing::withObject(host, [](quillex_ext& ext) {
        for (int i = 0; i < 8; ++i) ext.enqueueBridgeResponse(true, {"document_revision", {{"transactionId", "t"}}});
        // A request_id that is not a string counts as absent.
        ext.enqueueBridgeResponse(true, {"document_revision", {{"transactionId", "t9"}, {"request_id", 9}}});
        ext.enqueueBridgeResponse(false, {"document_revision", {{"transactionId", "page"}}});
    });
    const auto lines = host.take();
    ASSERT_EQ(lines.size(), 2u);
    const auto overflow = splitOutletLine(lines[0]);
    EXPECT_EQ(overflow.type, "document_error");
    EXPECT_EQ(overflow.json()["payload"]["transactionId"], "t9");
    EXPECT_FALSE(overflow.json()["payload"].contains("request_id"));
    EXPECT_EQ(splitOutletLine(lines[1]).selector, "toJweb");
    host.session().runLine(":go");
    EXPECT_EQ(host.take().size(), 8u);
}

TEST(BridgeQueue, FreeingAnObjectDropsItsWaitingReplies) {
    HostHarness host;
    host.session().runLine(":hold");
    testing::withObject(host, [](quillex_ext& ext) { ext.enqueueBridgeResponse(true, {"document_revision", {}}); });
    host.session().runLine(":free 1");
    host.session().runLine(":go");
    EXPECT_TRUE(host.take().empty());
}

}  // namespace
}  // namespace quillex

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

TEST(UserSettingsRequests, LoadSaveAndTheNoticesTheyCause) {
    HostHarness host;
    auto lines = host.run("get_user_settings {\"request_id\":\"s\"}");
    ASSERT_EQ(lines.size(), 1u);
    const json loaded = splitOutletLine(lines[0]).json();
    EXPECT_EQ(loaded["type"], "user_settings");
    EXPECT_FALSE(loaded.contains("request_id"));  // the reply carries only the settings
    EXPECT_EQ(loaded["payload"]["settings"].size(), 24u);

    // An octave change tells the bridge first, then answers the page.
    ASSERT_EQ(host.run(R"(set_user_setting {"transactionId":"t","key":"previewOctave","value":"-2"})").size(), 2u);
    // The same ID again after the first save finished is accepted.
    lines = host.run(R"(set_user_setting {"transactionId":"t","key":"gestureKeyswitchOctave","value":"8"})");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(splitOutletLine(lines[0]).type, "midi_input_config");
    EXPECT_EQ(splitOutletLine(lines[0]).json()["keyswitchBaseNote"], 120);
    const json saved = splitOutletLine(lines[1]).json();
    EXPECT_EQ(saved["payload"]["success"], true);
    EXPECT_EQ(saved["payload"]["transactionId"], "t");
    EXPECT_EQ(saved["payload"]["settings"]["gestureKeyswitchOctave"], "8");

    // The request answers the same config, whatever its text.
    const std::string config = lines[0];
    for (const char* request :
         {"midi_input_config_request", "midi_input_config_request {\"x\":1}", "midi_input_config_request not-json"}) {
        EXPECT_EQ(host.run(request), std::vector<std::string>{config}) << request;
    }
    EXPECT_EQ(splitOutletLine(config).json(),
              (json{{"previewBaseNote", 0}, {"keyswitchBaseNote", 120}, {"mappings", json::object()}}));

    // With no revision to compile, switching rhythm off installs an empty program of a new generation.
    lines = host.run(R"(set_user_setting {"transactionId":"u","key":"midiTriggersUseRhythm","value":false})");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        R"(toBridge trigger_program {"enabled":false,"error":"Trigger project state is unavailable","generation":1,"schemaVersion":6})");

    // Refusals: no transaction ID, no key, a value the contract refuses.
    const json noId = splitOutletLine(host.run(R"(set_user_setting {"key":"previewOctave","value":"1"})")[0]).json();
    EXPECT_EQ(noId["payload"], (json{{"success", false},
                                     {"transactionId", ""},
                                     {"code", "invalid_payload"},
                                     {"error", "set_user_setting requires a non-empty transactionId"}}));
    for (const char* bad : {R"(set_user_setting {"transactionId":"v","value":1})",
                            R"(set_user_setting {"transactionId":"v","key":"previewOctave","value":"99"})"}) {
        const json refused = splitOutletLine(host.run(bad)[0]).json();
        EXPECT_EQ(refused["payload"]["code"], "invalid_payload") << bad;
        EXPECT_EQ(refused["payload"]["requested_type"], "set_user_setting") << bad;
    }
}

}  // namespace
}  // namespace quillex

namespace quillex {
namespace {

using nlohmann::json;

// Settings that cannot load: the page hears it from each request that needs them.
TEST(UserSettingsRequests, ALoadFailureIsReportedOnEachRoad) {
    testing::HostHarness host;
    const std::filesystem::path folder = std::filesystem::path(testing::scratchAppData()) / "Quillex";
    std::filesystem::create_directories(folder);
    const auto file = folder / "user_settings.json";
    std::filesystem::remove(file);
    std::ofstream(file) << std::string(3 * 1024 * 1024, ' ');
    auto lines = host.run({"get_user_settings", "midi_input_config_request",
                           R"(document_command {"transactionId":"q","responseTarget":"bridge"})"});
    std::filesystem::remove(file);
    ASSERT_EQ(lines.size(), 3u);
    const json hostError = testing::splitOutletLine(lines[0]).json();
    EXPECT_EQ(hostError["type"], "host_error");
    EXPECT_EQ(hostError["payload"]["code"], "user_settings_load_error");
    const std::string message = hostError["payload"]["error"];
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(lines[1], lines[0]);
    const auto document = testing::splitOutletLine(lines[2]);
    EXPECT_EQ(document.selector, "toBridge");
    EXPECT_EQ(
        document.json()["payload"],
        (json{{"code", "user_settings_load_error"}, {"error", message}, {"message", message}, {"transactionId", "q"}}));
}

}  // namespace
}  // namespace quillex
