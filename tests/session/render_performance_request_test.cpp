// The render request: every refusal of its table, the four operations, the preview, and mutated requests.
#include "session/render_performance_request.h"

#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/document_mutation.h"
#include "support/document_samples.h"
#include "document/document_writer.h"
#include "performance/clip_notes.h"
#include "performance/performance_preview.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kRenderScale = 10;
#else
constexpr int kRenderScale = 1;
#endif

// A session holding one resolved revision of three chord slots and a rest.
struct RenderSession {
    DocumentSession session;
    RevisionPtr revision;

    RenderSession() {
        json document = testing::documentWithSlots(3);
        document["progression"]["slots"].push_back({{"id", "r1"}, {"type", "rest"}, {"duration", 1.5}});
        document["rhythm"]["pattern"] = "bossa";
        const SessionResult result = session.restoreProjectSnapshot(document, {"sharps", false, true}, "t1");
        EXPECT_TRUE(result.succeeded()) << result.errorMessage;
        revision = result.revision;
    }

    json phrase(const std::string& operation, const std::string& disposition) const {
        return {{"request_id", "q1"},
                {"operation", operation},
                {"documentRevision", revision->revision},
                {"bassDisposition", disposition}};
    }

    json phrasePreview(json edits, const std::string& disposition = "none") const {
        return {{"request_id", "q2"},
                {"operation", "phrase_preview"},
                {"documentRevision", revision->revision},
                {"durationEdits", std::move(edits)},
                {"bassDisposition", disposition}};
    }

    BridgeReply render(const json& request) const { return handleRenderPerformance(request, session); }

    // The error message of a request, or "rendered".
    std::string messageOf(const json& request) const {
        const BridgeReply reply = render(request);
        if (reply.type == "performance_rendered") return "rendered";
        EXPECT_EQ(reply.type, "performance_render_error");
        EXPECT_EQ(reply.payload.at("error").at("code"), "performance_render_failed");
        return reply.payload.at("error").at("message").get<std::string>();
    }
};

json previewPayload(json notes = {60, 64, 67}, std::uint64_t hitOrdinal = 0) {
    json attack = testing::fullAttackJson();
    attack["mode"] = "off";
    return {{"notes", std::move(notes)},
            {"attack", attack},
            {"attackOrders", testing::attackOrdersJson()},
            {"velocity", 100},
            {"hitOrdinal", hitOrdinal}};
}

json previewRequest(json payload) {
    return {{"request_id", "p1"}, {"operation", "preview"}, {"preview", std::move(payload)}};
}

TEST(RenderPerformanceRequest, ErrorRepliesCopyTextIdsOnly) {
    const RenderSession s;
    BridgeReply reply = s.render(json::array());
    EXPECT_EQ(reply.payload, json::parse(R"({"request_id": "", "operation": "", "error":
        {"code": "performance_render_failed", "message": "Performance render request must be an object"}})"));
    reply = s.render({{"request_id", "7"}});
    EXPECT_EQ(reply.payload.at("request_id"), "7");
    EXPECT_EQ(reply.payload.at("operation"), "");
    EXPECT_EQ(reply.payload.at("error").at("message"),
              "Performance render requires a non-empty request_id and operation");
    // A request_id of the wrong type is the JSON library's own error.
    reply = s.render({{"request_id", 7}, {"operation", "phrase"}});
    EXPECT_EQ(reply.payload.at("request_id"), "");
    EXPECT_EQ(reply.payload.at("operation"), "phrase");
    EXPECT_NE(reply.payload.at("error").at("message").get<std::string>().find("type must be string"),
              std::string::npos);
}

TEST(RenderPerformanceRequest, EveryRefusalOfTheTable) {
    const RenderSession s;
    const std::string shape = "Phrase render requires documentRevision and bassDisposition";
    json request = s.phrase("phrase", "none");
    for (const json& bad : {json(-1), json(1.5), json("1"), json(nullptr)}) {
        request["documentRevision"] = bad;
        EXPECT_EQ(s.messageOf(request), shape) << bad;
    }
    request = s.phrase("clip_payload", "none");
    request.erase("documentRevision");
    EXPECT_EQ(s.messageOf(request), shape);
    request = s.phrase("phrase", "none");
    request["bassDisposition"] = 1;
    EXPECT_EQ(s.messageOf(request), shape);
    request = s.phrase("phrase", "none");
    request["documentState"] = json::object();
    EXPECT_EQ(s.messageOf(request), shape);
    EXPECT_EQ(s.messageOf(s.phrase("phrase", "both")), "Phrase render bassDisposition is invalid");
    request = s.phrase("clip_payload", "none");
    request["documentRevision"] = s.revision->revision + 99;
    EXPECT_EQ(s.messageOf(request), "Resolved document revision is unavailable");

    const std::string previewShape = "Phrase preview requires documentRevision, durationEdits, and bassDisposition";
    request = s.phrasePreview(json::array());
    request["extra"] = 1;
    EXPECT_EQ(s.messageOf(request), previewShape);
    request = s.phrasePreview(json::object());
    EXPECT_EQ(s.messageOf(request), previewShape);
    request = s.phrasePreview(json::array());
    request.erase("bassDisposition");
    EXPECT_EQ(s.messageOf(request), previewShape);
    for (const json& edit : {json::parse(R"({"slotId": "s1"})"), json::parse(R"({"slotId": 1, "duration": 2})"),
                             json::parse(R"({"slotId": "s1", "duration": "2"})"),
                             json::parse(R"({"slotId": "s1", "duration": 2, "x": 0})"), json(3)}) {
        EXPECT_EQ(s.messageOf(s.phrasePreview({{{"slotId", "nope"}, {"duration", 1}}, edit})),
                  "Phrase preview duration edit is invalid")
            << edit;
    }
    EXPECT_EQ(s.messageOf(s.phrasePreview(json::array(), "up")), "Phrase render bassDisposition is invalid");
    for (const json& duration : {json(0), json(-2.5)}) {
        EXPECT_EQ(s.messageOf(s.phrasePreview({{{"slotId", "s1"}, {"duration", duration}}})),
                  "Preview slot duration is invalid");
    }
    EXPECT_EQ(
        s.messageOf(s.phrasePreview({{{"slotId", "s1"}, {"duration", 2}}, {{"slotId", "nope"}, {"duration", 1}}})),
        "Preview references an unknown slot ID");

    request = previewRequest(previewPayload());
    request["fourth"] = true;
    EXPECT_EQ(s.messageOf(request), "Preview render requires preview payload");
    EXPECT_EQ(s.messageOf(previewRequest(json::array())), "Preview render requires preview payload");
    request = s.phrase("explode", "none");
    EXPECT_EQ(s.messageOf(request), "Unsupported performance render operation");

    EXPECT_THROW(parseBassDisposition(json(2)), std::runtime_error);
    try {
        parseBassDisposition(json(2));
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Phrase render bassDisposition must be a string");
    }
}

TEST(RenderPerformanceRequest, PhraseAndClipPayloadFromTheKeptRevision) {
    const RenderSession s;
    const RevisionPtr before = s.session.currentRevision();
    const RenderedPhrase expected =
        renderSessionPhrase(*s.revision->document, "sharps", *s.revision->plan, BassDisposition::migrate);
    ASSERT_FALSE(expected.mainNotes.empty());

    BridgeReply reply = s.render(s.phrase("phrase", "none"));
    ASSERT_EQ(reply.type, "performance_rendered") << reply.payload.dump();
    EXPECT_EQ(reply.payload.at("bassDocument"), nullptr);
    EXPECT_EQ(reply.payload.at("render_source"), "session");
    EXPECT_EQ(reply.payload.at("documentRevision"), s.revision->revision);
    EXPECT_EQ(reply.payload.at("request_id"), "q1");
    EXPECT_EQ(reply.payload.at("mainDocument").at("metadata").at("clipLabel"), "QX [Ebmaj7/G Ebmaj7/G Ebmaj7/G Rest]");

    reply = s.render(s.phrase("phrase", "migrate"));
    EXPECT_EQ(reply.payload.at("mainDocument"),
              buildClipPayload(expected.mainNotes, expected.length, expected.mainLabel));
    EXPECT_EQ(reply.payload.at("bassDocument"),
              buildClipPayload(expected.bassNotes, expected.length, expected.bassLabel));
    EXPECT_EQ(expected.bassLabel, "QX Bass [G G G Rest]");

    reply = s.render(s.phrase("clip_payload", "migrate"));
    ASSERT_EQ(reply.type, "performance_rendered");
    EXPECT_EQ(reply.payload.at("notesFlat"), writeNotesFlat(expected.mainNotes));
    EXPECT_EQ(reply.payload.at("notesFingerprint"), computeNotesFingerprint(expected.mainNotes));
    EXPECT_EQ(reply.payload.at("bassNotesFingerprint"), computeNotesFingerprint(expected.bassNotes));
    EXPECT_EQ(reply.payload.at("length"), 9.0);
    EXPECT_EQ(reply.payload.at("bassLength"), 9.0);
    EXPECT_EQ(reply.payload.at("bassClipLabel"), expected.bassLabel);
    EXPECT_EQ(reply.payload.at("documentState"), writeProjectDocument(*s.revision->document));
    EXPECT_EQ(reply.payload.at("originatingTransactionId"), "t1");

    reply = s.render(s.phrase("clip_payload", "none"));
    for (const char* key : {"bassNotesFlat", "bassNotesFingerprint", "bassLength", "bassClipLabel"}) {
        EXPECT_EQ(reply.payload.at(key), nullptr) << key;
    }
    EXPECT_EQ(s.session.currentRevision(), before);
}

TEST(RenderPerformanceRequest, PhrasePreviewReplacesDurationsWithoutTouchingTheDocument) {
    const RenderSession s;
    json request = s.phrasePreview(json::array(), "duplicate");
    request["responseTarget"] = "bridge";  // the bridge passes the payload whole
    BridgeReply reply = s.render(request);
    ASSERT_EQ(reply.type, "performance_rendered") << reply.payload.dump();
    const BridgeReply phrase = s.render(s.phrase("phrase", "duplicate"));
    EXPECT_EQ(reply.payload.at("mainDocument"), phrase.payload.at("mainDocument"));
    EXPECT_EQ(reply.payload.at("render_source"), "session_preview");

    reply = s.render(s.phrasePreview({{{"slotId", "s2"}, {"duration", 8}}, {{"slotId", "s2"}, {"duration", 0.5}}}));
    ASSERT_EQ(reply.type, "performance_rendered") << reply.payload.dump();
    EXPECT_EQ(reply.payload.at("mainDocument").at("length"), 7.0);  // the later edit wins
    EXPECT_EQ(s.session.currentRevision()->document->progression->slots[1].duration, 2.5);
}

TEST(PerformancePreview, AttackOffStrikesEveryNoteAtOnce) {
    const RenderSession s;
    json request = previewRequest(previewPayload());
    request["responseTarget"] = "page";
    const BridgeReply reply = s.render(request);
    ASSERT_EQ(reply.type, "performance_rendered") << reply.payload.dump();
    EXPECT_EQ(reply.payload.at("events"), json::parse(R"([
        {"pitch": 60, "offsetBeats": 0.0, "velocity": 100, "velocityMultiplier": 1.0},
        {"pitch": 64, "offsetBeats": 0.0, "velocity": 100, "velocityMultiplier": 1.0},
        {"pitch": 67, "offsetBeats": 0.0, "velocity": 100, "velocityMultiplier": 1.0}])"));
    EXPECT_EQ(reply.payload.at("request_id"), "p1");
    EXPECT_EQ(reply.payload.at("operation"), "preview");
}

TEST(PerformancePreview, PagesRoundRobinAndStepNotesCarryTheirDuration) {
    const RenderSession s;
    json payload = previewPayload({67, 60, 64});
    payload["attack"] = testing::fullAttackJson();  // three pages: up, down, custom; step gate
    payload["attack"]["dynamic"] = false;
    payload["attack"]["spread"] = "1/4";
    payload["attack"]["timingBasis"] = "total";
    payload["attack"]["includeBass"] = true;
    const auto firstPitch = [&](std::uint64_t ordinal) {
        payload["hitOrdinal"] = ordinal;
        const json events = renderPerformancePreview(payload).at("events");
        std::string order;
        int first = -1;
        for (const json& event : events) {
            if (event.at("offsetBeats") == 0.0) first = event.at("pitch").get<int>();
            const bool early = event.contains("durationBeats");
            order += early ? "s" : "l";
        }
        EXPECT_EQ(events.size(), 3u);
        EXPECT_EQ(order.find('l'), order.rfind('l')) << "only the last strum note lasts to the end: " << order;
        return first;
    };
    EXPECT_EQ(firstPitch(0), 60);  // up
    EXPECT_EQ(firstPitch(1), 67);  // down
    EXPECT_EQ(firstPitch(3), 60);
    EXPECT_EQ(firstPitch(4), 67);  // 4 mod 3 = 1
}

TEST(PerformancePreview, RefusesBadPayloads) {
    const auto messageOf = [](const json& payload) {
        try {
            renderPerformancePreview(payload);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("rendered");
    };
    const std::string shape = "Performance preview request is invalid";
    json payload = previewPayload();
    EXPECT_EQ(messageOf(payload), "rendered");
    payload["sixth"] = 1;
    EXPECT_EQ(messageOf(payload), shape);
    for (const auto& [key, value] : std::vector<std::pair<std::string, json>>{{"notes", json::object()},
                                                                              {"attack", json::array()},
                                                                              {"attackOrders", json::object()},
                                                                              {"velocity", 100.0},
                                                                              {"hitOrdinal", -1},
                                                                              {"hitOrdinal", 0.5}}) {
        payload = previewPayload();
        payload[key] = value;
        EXPECT_EQ(messageOf(payload), shape) << key << " " << value;
    }
    payload = previewPayload();
    payload.erase("velocity");
    EXPECT_EQ(messageOf(payload), shape);

    const std::string values = "Performance preview values are invalid";
    EXPECT_EQ(messageOf(previewPayload(json::array())), values);
    EXPECT_EQ(messageOf(previewPayload({40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56})), values);
    for (const json& velocity : {json(0), json(128), json(-5), json(4294967396ll)}) {
        payload = previewPayload();
        payload["velocity"] = velocity;
        EXPECT_EQ(messageOf(payload), values) << velocity;
    }
    for (const json& notes : {json{60, 128}, json{-1}, json{60, 64, 60}, json{60, 4294967356ll}, json{60.0, 60.5}}) {
        EXPECT_EQ(messageOf(previewPayload(notes)), "Performance preview notes are invalid") << notes;
    }
    payload = previewPayload();
    payload["attack"]["mode"] = "sideways";
    EXPECT_EQ(messageOf(payload), "Performance preview Gesture is invalid");
    payload = previewPayload();
    payload["attackOrders"].erase(payload["attackOrders"].begin());
    EXPECT_EQ(messageOf(payload), "Performance preview Gesture is invalid");
}

// Requests taken apart and put together again at random: always one of the two replies, never a throw.
TEST(RenderPerformanceRequest, MutatedRequestsAlwaysAnswer) {
    const RenderSession s;
    std::mt19937 rng(0x4e9du);
    const std::vector<json> seeds = {s.phrase("phrase", "migrate"), s.phrase("clip_payload", "duplicate"),
                                     s.phrasePreview({{{"slotId", "s1"}, {"duration", 2}}}),
                                     previewRequest(previewPayload()), [] {
                                         json request = previewRequest(previewPayload({67, 60, 64}));
                                         request["preview"]["attack"] = testing::fullAttackJson();
                                         return request;
                                     }()};
    const std::vector<json> values = {json(nullptr),
                                      json(-1),
                                      json(0),
                                      json(1.5),
                                      json(1e300),
                                      json("none"),
                                      json(""),
                                      json::array(),
                                      json::object(),
                                      json(true),
                                      json(18446744073709551615ull),
                                      json{60, 64},
                                      json("migrate"),
                                      json(2)};
    std::set<std::string> messages;
    int rendered = 0;
    for (int i = 0; i < 20000 / kRenderScale; ++i) {
        json request = seeds[rng() % seeds.size()];
        for (int m = 1 + static_cast<int>(rng() % 3); m > 0; --m) {
            // Pick a member of the request, its preview, its attack or its notes.
            json* target = &request;
            if (request.contains("preview") && request["preview"].is_object() && rng() % 2) {
                target = &request["preview"];
                if (target->contains("attack") && (*target)["attack"].is_object() && rng() % 2) {
                    target = &(*target)["attack"];
                }
            }
            if (!target->is_object() || target->empty()) break;
            auto it = target->begin();
            std::advance(it, static_cast<std::ptrdiff_t>(rng() % target->size()));
            switch (rng() % 4) {
                case 0:
                    target->erase(it.key());
                    break;
                case 1:
                    (*target)["extra" + std::to_string(rng() % 3)] = values[rng() % values.size()];
                    break;
                default:
                    *it = values[rng() % values.size()];
            }
        }
        if (rng() % 50 == 0) request = values[rng() % values.size()];
        BridgeReply reply;
        ASSERT_NO_THROW(reply = s.render(request)) << request.dump();
        if (reply.type == "performance_rendered") {
            ++rendered;
            continue;
        }
        ASSERT_EQ(reply.type, "performance_render_error") << request.dump();
        ASSERT_EQ(reply.payload.at("error").at("code"), "performance_render_failed");
        ASSERT_TRUE(reply.payload.at("request_id").is_string());
        messages.insert(reply.payload.at("error").at("message").get<std::string>());
    }
    EXPECT_GT(rendered, 100 / kRenderScale);
    EXPECT_GT(messages.size(), 10u);
}

}  // namespace
}  // namespace quillex
