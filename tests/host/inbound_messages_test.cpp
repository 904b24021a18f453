// Requests that arrive as chunk frames or as bare JSON objects, as the page sees their answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/to_core_chunk_assembler.h"
#include "host_harness.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using Lines = std::vector<std::string>;
using testing::splitOutletLine;

std::string frameLine(const json& frame) { return "__qx_to_core_chunk\t" + frame.dump(); }

json frame(const std::string& id, const std::string& type, std::int64_t index, std::int64_t total,
           const std::string& chunk) {
    return {{"id", id}, {"type", type}, {"index", index}, {"total", total}, {"chunk", chunk}};
}

// The text cut into pieces of `piece` bytes, as frame lines.
std::vector<std::string> frameLines(const std::string& type, const std::string& text, std::size_t piece,
                                    const std::string& id = "page-1") {
    const std::size_t total = text.empty() ? 1 : (text.size() + piece - 1) / piece;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < total; ++i) {
        lines.push_back(frameLine(frame(id, type, static_cast<std::int64_t>(i), static_cast<std::int64_t>(total),
                                        text.substr(i * piece, piece))));
    }
    return lines;
}

// The one page message of a chunk error, checked for the keys every such reply has.
json onlyHostError(const std::vector<std::string>& lines) {
    EXPECT_EQ(lines.size(), 1u);
    if (lines.size() != 1) return json();
    const auto line = splitOutletLine(lines[0]);
    EXPECT_EQ(line.selector, "toJweb");
    EXPECT_EQ(line.type, "host_error");
    const json message = line.json();
    EXPECT_EQ(message["ok"], false);
    EXPECT_EQ(message["error"], message["payload"]["error"]);
    return message["payload"];
}

TEST(InboundChunks, EveryRefusalIsOneHostErrorWithTheFramesIdentity) {
    struct Case {
        std::vector<std::string> before;  // lines that set the state up, their output ignored
        std::string line;
        const char* code;
        const char* message;
        json identity;  // the payload's messageId, messageType and receivedIndex
    };
    const char* invalid = "An oversized toCore message had invalid framing.";
    const json ids = {{"messageId", "m"}, {"messageType", "get_version"}};
    auto with = [&ids](json index) {
        json identity = ids;
        identity["receivedIndex"] = std::move(index);
        return identity;
    };
    const std::vector<Case> cases{
        {{},
         frameLine(frame(std::string(129, 'i'), "get_version", 0, 1, "{}")),
         "vessa_message_chunk_invalid",
         invalid,
         {{"messageId", std::string(129, 'i')}, {"messageType", "get_version"}, {"receivedIndex", 0}}},
        {{},
         frameLine(frame("m", "__qx_to_core_chunk", 0, 1, "{}")),
         "vessa_message_chunk_invalid",
         invalid,
         {{"messageId", "m"}, {"messageType", "__qx_to_core_chunk"}, {"receivedIndex", 0}}},
        {{}, frameLine(frame("m", "get_version", 1, 2, "{}")), "vessa_message_chunk_invalid", invalid, with(1)},
        {{}, frameLine(frame("m", "get_version", 0, 513, "{}")), "vessa_message_chunk_invalid", invalid, with(0)},
        {{},
         frameLine({{"id", "m"}, {"type", "get_version"}, {"index", 1.0}, {"total", 2}, {"chunk", ""}}),
         "vessa_message_chunk_invalid",
         invalid,
         ids},
        {{},
         frameLine({{"id", "m"}, {"type", "get_version"}, {"index", 0}, {"total", 1}}),
         "vessa_message_chunk_invalid",
         invalid,
         with(0)},
        {{}, "__qx_to_core_chunk\t[1,2]", "vessa_message_chunk_invalid", invalid, json::object()},
        {{frameLine(frame("m", "get_version", 0, 2, "{"))},
         frameLine(frame("n", "get_version", 0, 2, "{")),
         "vessa_message_chunk_interrupted",
         "An oversized toCore message was interrupted.",
         {{"messageId", "n"}, {"messageType", "get_version"}, {"receivedIndex", 0}}},
        {{frameLine(frame("m", "get_version", 0, 3, "{"))},
         frameLine(frame("m", "get_version", 2, 3, "}")),
         "vessa_message_chunk_mismatch",
         "An oversized toCore message arrived out of sequence.",
         with(2)},
        {{},
         frameLine(frame("m", "get_version", 0, 2, std::string(12001, ' '))),
         "vessa_message_chunk_too_large",
         "An oversized toCore message exceeded the supported size.",
         with(0)},
    };
    for (const Case& c : cases) {
        HostHarness host;
        host.run(c.before);
        json expected = {{"code", c.code}, {"error", c.message}, {"source", "core"}, {"recoveryRequired", false}};
        expected.update(c.identity);
        EXPECT_EQ(onlyHostError(host.run(c.line)), expected) << c.line.substr(0, 120);
    }
    // Not JSON at all, and JSON whose strings are not UTF-8: the pending message is dropped.
    for (const std::string& bad :
         {std::string("__qx_to_core_chunk\t{\"id\":"), std::string("__qx_to_core_chunk\t{\"id\":\"\xFF\"}")}) {
        HostHarness host;
        host.run(frameLine(frame("m", "get_version", 0, 2, "{")));
        EXPECT_EQ(onlyHostError(host.run(bad)), (json{{"code", "vessa_message_chunk_invalid"},
                                                      {"error", "An oversized toCore message could not be decoded."}}));
        EXPECT_EQ(onlyHostError(host.run(frameLine(frame("m", "get_version", 1, 2, "}"))))["receivedIndex"], 1);
    }
}

TEST(InboundChunks, ForeignPiecesAreReportedAndThePendingMessageStillCompletes) {
    HostHarness host;
    const std::string text = R"({"request_id":"whole"})";
    const auto pieces = frameLines("get_version", text, 8, "mine");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(host.run(pieces[0]).empty());
    // A later piece of another message, the same id under another type, and an
    // interleaved burst of foreign pieces: each reported, none disturbing.
    EXPECT_EQ(onlyHostError(host.run(frameLine(frame("other", "get_version", 1, 3, "x"))))["code"],
              "vessa_message_chunk_mismatch");
    EXPECT_EQ(onlyHostError(host.run(frameLine(frame("mine", "parse_chord", 1, 3, "x"))))["code"],
              "vessa_message_chunk_mismatch");
    testing::withObject(host, [](quillex_ext& ext) {
        const std::string foreign = frame("other", "parse_chord", 1, 2, std::string(100, 'x')).dump();
        for (int i = 0; i < 10000; ++i) ext.acceptToCoreChunk(foreign);
    });
    const auto reports = host.take();
    EXPECT_EQ(reports.size(), 10000u);
    EXPECT_EQ(reports.front(), reports.back());
    EXPECT_TRUE(host.run(pieces[1]).empty());
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_TRUE(ext.inboundChunkState().pending()); });
    const auto answer = host.run(pieces[2]);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(splitOutletLine(answer[0]).json()["request_id"], "whole");
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_FALSE(ext.inboundChunkState().pending()); });
}

TEST(InboundChunks, InterruptionIsReportedBeforeTheNewMessageIsAnswered) {
    HostHarness host;
    host.run(frameLine(frame("a", "get_version", 0, 2, "{")));
    const auto lines = host.run(frameLine(frame("b", "get_version", 0, 1, R"({"request_id":"b"})")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(splitOutletLine(lines[0]).json()["payload"]["code"], "vessa_message_chunk_interrupted");
    EXPECT_EQ(splitOutletLine(lines[1]).json()["request_id"], "b");
}

// One payload text per request type; each carries its "type" so that it can also come bare.
std::vector<std::pair<std::string, json>> everyRequestType() {
    return {
        {"generate_voicing", {{"chord", "G7"}, {"style", "anthem"}, {"request_id", "a"}}},
        {"generate_progression", {{"slots", {{{"chord", "C"}}, {{"chord", "Am7"}}, {{"chord", "F"}}}}}},
        {"generate_local_progression", {{"genre", "pop"}, {"length", 4}, {"seed", 7}, {"request_id", "l"}}},
        {"parse_chord", {{"chord", "Bbm7b5/E"}, {"request_id", "c"}}},
        {"get_suggestions", {{"root", "C"}, {"mode", "major"}, {"position", 1}, {"progression", {"C", "F"}}}},
        {"get_diatonic_chords", {{"root", "Eb"}, {"mode", "major"}}},
        {"get_voicing_styles", json::object()},
        {"get_relevant_voicings", {{"intervals", {0, 4, 7, 10}}}},
        {"get_range_presets", {{"request_id", "r"}}},
        {"get_rhythm_patterns", json::object()},
        {"get_supported_qualities", json::object()},
        {"get_available_modifiers", {{"chord", "Cm7"}, {"getModifiers", true}}},
        {"apply_modifiers", {{"chord", "C"}, {"modifiers", {"seventh-flat7"}}}},
        {"get_version", {{"request_id", "v"}}},
        {"read_clipboard", json::object()},
        {"write_clipboard", {{"text", "C G"}}},
        {"get_user_settings", {{"request_id", "s"}}},
        {"set_user_setting", {{"transactionId", "t1"}, {"key", "previewOctave"}, {"value", "2"}}},
        {"rhythm_preset_request", {{"action", "list"}, {"request_id", "rp"}}},
        {"gesture_preset_request", {{"action", "list"}, {"request_id", "gp"}}},
        {"render_performance", {{"operation", "phrase"}, {"request_id", "rend"}}},
        {"document_command",
         {{"schemaVersion", 1}, {"transactionId", "d1"}, {"baseRevision", 0}, {"command", {{"type", "get_view"}}}}},
        {"ready", {{"request_id", "ready"}}},
    };
}

// Each request type answers the same page messages through fromJweb, as a bare
// object naming its type, and as a message cut into frames of 16 bytes.
TEST(InboundRoutes, EveryRequestTypeAnswersAlikeThroughEveryRoad) {
    const auto types = everyRequestType();
    ASSERT_EQ(types.size(), 23u);
    for (const auto& [type, body] : types) {
        json payload = body;
        payload["type"] = type;
        const std::string text = payload.dump();
        std::vector<std::string> answers[3];
        {
            HostHarness host;
            answers[0] = testing::joinFrames(host.run("fromJweb\t" + type + "\t" + text));
        }
        {
            HostHarness host;
            answers[1] = testing::joinFrames(host.run(text));
        }
        {
            HostHarness host;
            answers[2] = testing::joinFrames(host.run(frameLines(type, text, 16)));
        }
        // Long answers leave in frames whose ids count on; they are compared joined.
        EXPECT_TRUE(answers[1] == answers[0]) << type;
        EXPECT_TRUE(answers[2] == answers[0]) << type;
        const bool silent = type == "read_clipboard" || type == "write_clipboard";
        EXPECT_EQ(answers[0].empty(), silent) << type;
    }
}

TEST(InboundRoutes, BareObjectsAreRoutedByTheirShape) {
    struct Case {
        std::string text;
        std::string dispatchedAs;  // empty: an "error" with `code`
        const char* code;
    };
    const std::vector<Case> cases{
        {R"({"chord":"C","style":"closed","request_id":"v"})", "generate_voicing", ""},
        {R"({"chord":5,"style":null})", "generate_voicing", ""},
        {R"({"slots":[]})", "generate_progression", ""},
        {R"({"genre":"pop","length":4,"seed":3})", "generate_local_progression", ""},
        {R"({"intervals":[0,3,7]})", "get_relevant_voicings", ""},
        {R"({"type":"get_version","chord":"C","style":"closed"})", "get_version", ""},
        {R"({"slots":{}})", "", "unknown_payload_shape"},
        {R"({"chord":"C"})", "", "ambiguous_payload"},
        {R"({"type":"","chord":"C"})", "", "ambiguous_payload"},
        {R"({"chord":"C","modifiers":[]})", "", "unknown_payload_shape"},
        {R"({"chord":"C","getModifiers":true})", "", "unknown_payload_shape"},
        {R"({"root":"C","mode":"major"})", "", "unknown_payload_shape"},
    };
    HostHarness host;
    for (const Case& c : cases) {
        const auto lines = host.run(c.text);
        if (!c.dispatchedAs.empty()) {
            EXPECT_EQ(lines, host.run("fromJweb\t" + c.dispatchedAs + "\t" + c.text)) << c.text;
            continue;
        }
        ASSERT_EQ(lines.size(), 1u) << c.text;
        const json message = splitOutletLine(lines[0]).json();
        EXPECT_EQ(message["type"], "error");
        EXPECT_EQ(message["payload"]["code"], c.code) << c.text;
        EXPECT_EQ(message["payload"].size(), 2u);
    }
    // A JSON array is no request; a "type" that is not a string is the library's error.
    testing::withObject(host, [](quillex_ext& ext) { ext.parsePayloadShape(json::array({1})); });
    EXPECT_EQ(splitOutletLine(host.take().at(0)).json()["payload"]["code"], "unknown_payload_shape");
    const json typeError = splitOutletLine(host.run(R"({"type":5})").at(0)).json();
    EXPECT_EQ(typeError["payload"],
              (json{{"message", "JSON parse error: " + testing::libraryTypeErrorText<std::string>(json(5))}}));
}

// Frame texts broken at random (bytes flipped, cut short, invalid UTF-8, odd
// values): never a crash, at most a chunk error and one routed reply per
// frame, every text sent valid JSON, and the assembler within its bound.
TEST(InboundChunks, SeededFrameTextFuzzThroughTheObject) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 300;
#else
    constexpr int kRounds = 2000;
#endif
    std::mt19937_64 random(7);
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::string good = frame("f", "get_version", 0, 1, R"({"request_id":"ok"})").dump();
    const std::vector<std::string> inserts{"\xFF",   "\xC3",   "\xED\xA0\x80",         "\"",  "\\",   "{",
                                           "]",      "-9e999", "18446744073709551616", "0.5", "null", ",",
                                           "\\u0000"};
    HostHarness host;
    int routed = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::string text = good;
        const std::size_t edits = 1 + pick(3);
        for (std::size_t e = 0; e < edits; ++e) {
            const std::size_t at = pick(text.size() + 1);
            switch (pick(3)) {
                case 0:
                    text.insert(at, inserts[pick(inserts.size())]);
                    break;
                case 1:
                    text.resize(at);
                    break;
                default:
                    if (at < text.size()) text[at] = static_cast<char>(random());
            }
        }
        // The stand-in line splitter reads TABs and line breaks; keep one line and one atom.
        for (char& c : text) {
            if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        }
        testing::withObject(host, [&text](quillex_ext& ext) { ext.acceptToCoreChunk(text); });
        host.session().runLine(":go");
        const auto lines = host.take();
        ASSERT_LE(lines.size(), 2u) << text;
        for (const std::string& raw : lines) {
            const auto line = splitOutletLine(raw);
            EXPECT_TRUE(json::accept(line.text)) << raw;
            if (line.type != "host_error") ++routed;
        }
        testing::withObject(host, [](quillex_ext& ext) {
            EXPECT_LE(ext.inboundChunkState().byteCount(), kToCoreChunkMaxMessageBytes);
        });
    }
    EXPECT_LT(routed, kRounds / 2);
}

}  // namespace
}  // namespace quillex
