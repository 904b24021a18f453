// Preset requests: exact key sets per action, 32-bit lengths, and a whole create-update-rename-delete round.
#include "host/preset_request.h"

#include <gtest/gtest.h>

#include "host_harness.h"
#include "storage/preset_library_definition.h"

namespace quillex {
namespace {

using nlohmann::json;

struct Refusal {
    PresetKind kind;
    json payload;
    const char* message;
};

TEST(PresetRequest, PayloadsThatDoNotMatchTheirActionAreRefused) {
    testing::quillexClass();  // the scratch data folder
    auto rhythm = makePresetLibrary(rhythmPresetLibraryDefinition());
    auto gesture = makePresetLibrary(gesturePresetLibraryDefinition());
    const json events = json::array();
    const std::vector<Refusal> cases{
        {PresetKind::Rhythm, {{"action", "list"}}, "Rhythm preset request requires a non-empty transactionId"},
        {PresetKind::Rhythm, json::array(), "Rhythm preset request requires a non-empty transactionId"},
        {PresetKind::Gesture,
         {{"action", "list"}, {"transactionId", 5}},
         "Gesture preset request requires a non-empty transactionId"},
        {PresetKind::Rhythm,
         {{"action", "list"}, {"transactionId", "t"}, {"x", 1}},
         "Unsupported rhythm preset action"},
        {PresetKind::Gesture, {{"action", "fly"}, {"transactionId", "t"}}, "Unsupported gesture preset action"},
        {PresetKind::Rhythm, {{"transactionId", "t"}}, "Unsupported rhythm preset action"},
        {PresetKind::Rhythm,
         {{"action", "create"},
          {"transactionId", "t"},
          {"name", "n"},
          {"lengthSteps", 16},
          {"events", events},
          {"x", 1}},
         "Rhythm preset create requires name, lengthSteps, and events"},
        {PresetKind::Rhythm,
         {{"action", "create"}, {"transactionId", "t"}, {"name", "n"}, {"lengthSteps", "16"}, {"events", events}},
         "Rhythm preset create requires name, lengthSteps, and events"},
        {PresetKind::Rhythm,
         {{"action", "create"},
          {"transactionId", "t"},
          {"name", "n"},
          {"lengthSteps", 4294967312LL},
          {"events", events}},
         "Rhythm preset create requires name, lengthSteps, and events"},
        {PresetKind::Rhythm,
         {{"action", "update"},
          {"transactionId", "t"},
          {"id", "i"},
          {"expectedRevision", "r"},
          {"name", "n"},
          {"lengthSteps", -1e300},
          {"events", events}},
         "Rhythm preset update requires id, expectedRevision, name, lengthSteps, and events"},
        {PresetKind::Gesture,
         {{"action", "create"}, {"transactionId", "t"}, {"name", "n"}, {"gesture", json::array()}},
         "Gesture preset create requires name and gesture"},
        {PresetKind::Gesture,
         {{"action", "update"},
          {"transactionId", "t"},
          {"id", "i"},
          {"expectedRevision", 1},
          {"name", "n"},
          {"gesture", json::object()}},
         "Gesture preset update requires id, expectedRevision, name, and gesture"},
        {PresetKind::Gesture,
         {{"action", "rename"}, {"transactionId", "t"}, {"id", "i"}, {"expectedRevision", "r"}},
         "Gesture preset rename requires id, expectedRevision, and name"},
        {PresetKind::Rhythm,
         {{"action", "delete"}, {"transactionId", "t"}, {"id", "i"}},
         "Rhythm preset delete requires id and expectedRevision"},
    };
    for (const Refusal& c : cases) {
        PresetLibrary& store = c.kind == PresetKind::Rhythm ? *rhythm : *gesture;
        const BridgeReply reply = handlePresetRequest(store, c.kind, c.payload);
        EXPECT_EQ(reply.type, c.kind == PresetKind::Rhythm ? "rhythm_preset_result" : "gesture_preset_result");
        const std::string id =
            c.payload.is_object() && c.payload.contains("transactionId") && c.payload["transactionId"].is_string()
                ? c.payload["transactionId"].get<std::string>()
                : "";
        EXPECT_EQ(reply.payload,
                  (json{{"success", false}, {"transactionId", id}, {"code", "invalid_payload"}, {"error", c.message}}))
            << c.payload;
    }
}

TEST(PresetRequest, ARoundThroughTheHostObject) {
    testing::HostHarness host;
    auto send = [&](const json& payload) {
        const auto lines = host.run("rhythm_preset_request " + payload.dump());
        EXPECT_EQ(lines.size(), 1u);
        return testing::splitOutletLine(lines.at(0)).json()["payload"];
    };
    const json events = json::array({{{"offset", 0}, {"duration", 4}, {"part", "bass"}, {"velocity", 100}}});
    json created = send(
        {{"action", "create"}, {"transactionId", "c"}, {"name", "Pulse"}, {"lengthSteps", 16.0}, {"events", events}});
    ASSERT_EQ(created["success"], true) << created;
    EXPECT_EQ(created["preset"]["lengthSteps"], 16);
    const std::string id = created["preset"]["id"];
    json renamed = send({{"action", "rename"},
                         {"transactionId", "r"},
                         {"id", id},
                         {"expectedRevision", created["preset"]["revision"]},
                         {"name", "Beat"}});
    ASSERT_EQ(renamed["success"], true) << renamed;
    EXPECT_EQ(renamed["catalog"]["presets"][0]["name"], "Beat");
    // A spent transaction ID is the store's own refusal.
    json again =
        send({{"action", "create"}, {"transactionId", "c"}, {"name", "Other"}, {"lengthSteps", 8}, {"events", events}});
    EXPECT_EQ(again["success"], false);
    EXPECT_FALSE(again.contains("catalog"));
    json removed = send({{"action", "delete"},
                         {"transactionId", "d"},
                         {"id", id},
                         {"expectedRevision", renamed["preset"]["revision"]}});
    ASSERT_EQ(removed["success"], true) << removed;
    EXPECT_TRUE(removed["catalog"]["presets"].empty());
    EXPECT_FALSE(removed.contains("preset"));
}

}  // namespace
}  // namespace quillex
