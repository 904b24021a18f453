// Replies that quote bytes which are not UTF-8 still leave, and a reply queue keeps draining past a failed send.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "host_harness.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

struct BadFileCase {
    const char* file;  // in the settings folder, overwritten once the setup has run
    std::vector<std::string> setup;
    std::vector<std::string> lines;
    std::vector<std::string> replies;  // selector, type, then the payload's code and id when it has them
};

// "selector type code id" of an outlet line; a reply with a code must quote the bad bytes as U+FFFD.
std::string replySummary(const std::string& raw) {
    const auto line = splitOutletLine(raw);
    const json message = line.json();
    const json& payload = message.at("payload");
    std::string summary = line.selector + " " + line.type;
    if (payload.contains("code")) {
        summary += " " + payload.at("code").get<std::string>();
        EXPECT_NE(payload.at("error").get<std::string>().find("\xEF\xBF\xBD"), std::string::npos) << raw;
    }
    const std::string id = payload.value("transactionId", message.value("request_id", ""));
    if (!id.empty()) summary += " " + id;
    if (payload.contains("active")) summary += payload.at("active").get<bool>() ? " active" : " docked";
    return summary;
}

// A settings or preset file whose bytes make the parser quote a partial character.
TEST(ReplyTextRepair, EveryReplyQuotingABadFileLeaves) {
    const std::vector<std::string> pendingGeometry{":patcher docked",   "external_window_opened",
                                                   ":mouse 0 190 down", ":window resize 1000 179",
                                                   ":mouse 0 190 up",   ":advance 16"};
    const char* settings = "user_settings.json";
    const std::string geometryFailed = "toJweb host_error external_window_geometry_persistence_failed";
    const std::vector<BadFileCase> cases{
        {settings, {}, {"get_user_settings"}, {"toJweb host_error user_settings_load_error"}},
        {settings, {}, {"midi_input_config_request"}, {"toJweb host_error user_settings_load_error"}},
        {settings,
         {},
         {R"(set_user_setting {"transactionId":"s","key":"theme","value":"arctic"})"},
         {"toJweb user_setting_saved user_settings_load_error s"}},
        {settings,
         {},
         {R"(document_command {"transactionId":"d"})"},
         {"toJweb document_error user_settings_load_error d"}},
        {settings,
         {":hold"},
         {R"(document_command {"transactionId":"b","responseTarget":"bridge"})",
          R"(render_performance {"request_id":"p1","responseTarget":"bridge"})",
          R"(render_performance {"request_id":"p2","responseTarget":"bridge"})", ":go"},
         {"toBridge document_error user_settings_load_error b", "toBridge performance_render_error p1",
          "toBridge performance_render_error p2"}},
        {"rhythm_presets.json",
         {},
         {R"(rhythm_preset_request {"transactionId":"r","action":"list"})"},
         {"toJweb rhythm_preset_result rhythm_preset_load_error r"}},
        {"gesture_presets.json",
         {},
         {R"(gesture_preset_request {"transactionId":"g","action":"list"})"},
         {"toJweb gesture_preset_result gesture_preset_load_error g"}},
        {settings, pendingGeometry, {"close_external_window"}, {geometryFailed, "toJweb external_window_state docked"}},
        {settings,
         pendingGeometry,
         {"external_window_closed"},
         {geometryFailed, "toJweb external_window_state docked"}},
    };
    const std::filesystem::path folder = std::filesystem::path(testing::scratchAppData()) / "Quillex";
    for (const std::string bytes : {"\xE2\x99\xAD", "{\"theme\":\"\xFF\"}"}) {
        for (const BadFileCase& c : cases) {
            std::filesystem::remove_all(folder);
            HostHarness host;
            host.run(c.setup);
            std::filesystem::create_directories(folder);
            std::ofstream(folder / c.file, std::ios::binary) << bytes;
            std::vector<std::string> replies;
            for (const std::string& line : host.run(c.lines)) replies.push_back(replySummary(line));
            EXPECT_EQ(replies, c.replies) << c.lines.front() << "\n" << host.console();
        }
    }
    std::filesystem::remove_all(folder);
}

// An outlet that refuses its first send and records the others.
struct RefusingOutlet {
    int refusals = 1;
    std::vector<std::string> sent;
    static void hook(void* context, void*, t_symbol* selector, long argc, t_atom* argv) {
        auto* self = static_cast<RefusingOutlet*>(context);
        if (self->refusals > 0) {
            --self->refusals;
            throw std::runtime_error("outlet refused");
        }
        self->sent.push_back(std::string(selector->s_name) + " " + (argc > 0 ? q37::lyra::atom_text(argv[0]) : ""));
    }
};

// Both reply queues: the two replies behind one whose send raised still leave.
TEST(ReplyTextRepair, AQueueDrainsPastASendThatRaised) {
    const struct {
        const char* request;
        const char* reply;
    } queues[]{
        {R"(render_performance {"request_id":"p","responseTarget":"bridge"})", "toBridge performance_render_error"},
        {"trigger_stop {}", "toBridge trigger_transport_error"},
    };
    for (const auto& queue : queues) {
        HostHarness host;
        host.run({":hold", queue.request, queue.request, queue.request});
        RefusingOutlet outlet;
        vessa_set_outlet_hook(&RefusingOutlet::hook, &outlet);
        host.session().runLine(":go");
        vessa_set_outlet_hook(nullptr, nullptr);
        EXPECT_EQ(outlet.sent, (std::vector<std::string>{queue.reply, queue.reply})) << queue.request;
    }
}

}  // namespace
}  // namespace quillex
