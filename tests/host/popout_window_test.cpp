// The pop-out window through the stand-in host: open, close, destroy, resize gestures, failures and docked metrics.
#include "host/popout_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "host/quillex_ext.h"
#include "host_harness.h"
#include "platform/vessa/vessa_patcher.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using testing::splitOutletLine;

// "type json" of each page message, in order.
std::vector<std::pair<std::string, json>> pageMessages(const std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, json>> messages;
    for (const std::string& line : lines) {
        const auto split = splitOutletLine(line);
        messages.emplace_back(split.type, split.json().at("payload"));
    }
    return messages;
}

json state(bool active, int width, int height) { return {{"active", active}, {"width", width}, {"height", height}}; }

json hostError(const std::string& code, const std::string& message) { return {{"code", code}, {"error", message}}; }

class PopoutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(testing::scratchAppData()) / "Quillex", ignored);
        vessa_set_chrome(0, 0);
        vessa_set_mouse(0, 0, 0);
        vessa_set_dpi(0, 0);
        host.reset();
        host = std::make_unique<HostHarness>();
    }
    void TearDown() override {
        host.reset();
        EXPECT_EQ(vessa_live_views(), 0);
        EXPECT_EQ(vessa_live_attachments(), 0);
    }
    std::vector<std::pair<std::string, json>> run(const std::vector<std::string>& lines) {
        return pageMessages(host->run(lines));
    }
    void saveScales(double width, double height) {
        const UserSettingsPaths paths = userSettingsPaths();
        ASSERT_TRUE(loadUserSettings(paths).ok);
        const json value = {{"widthScale", width}, {"heightScale", height}};
        ASSERT_TRUE(writeUserSettings(paths, "externalWindowGeometry", value.dump()).ok);
    }
    std::unique_ptr<HostHarness> host;
};

using Messages = std::vector<std::pair<std::string, json>>;

TEST_F(PopoutWindow, OpenCloseReopenAndFreeLeaveNothingBehind) {
    EXPECT_EQ(run({":patcher docked", ":chrome 8 30", "external_window_opened"}),
              (Messages{{"external_window_state", state(true, 834, 179)}}));
    EXPECT_EQ(vessa_live_views(), 1);
    EXPECT_EQ(vessa_live_attachments(), 1);
    EXPECT_EQ(run({"external_window_opened"}), (Messages{{"external_window_state", state(true, 834, 179)}}));
    EXPECT_EQ(run({"close_external_window"}), (Messages{{"external_window_state", state(false, 834, 179)}}));
    EXPECT_EQ(run({"close_external_window"}), (Messages{{"external_window_state", state(false, 834, 179)}}));
    EXPECT_EQ(run({"external_window_closed"}), Messages{});
    EXPECT_EQ(vessa_live_views(), 1);  // hidden, kept for the next open
    EXPECT_EQ(run({"external_window_opened"}), (Messages{{"external_window_state", state(true, 834, 179)}}));
    EXPECT_EQ(vessa_live_views(), 1);
    EXPECT_EQ(run({"external_window_closed"}), (Messages{{"external_window_state", state(false, 834, 179)}}));
}

TEST_F(PopoutWindow, OpensAtTheSavedScales) {
    saveScales(1.5, 1.5);
    EXPECT_EQ(run({":patcher docked", ":chrome 8 30", "external_window_opened"}),
              (Messages{{"external_window_state", state(true, 1254, 269)}}));
}

TEST_F(PopoutWindow, EveryBreakableStepRollsBackToDocked) {
    const std::vector<std::vector<std::string>> breaks = {
        {":patcher docked -cover"},
        {":patcher docked -jweb"},
        {":patcher docked -view"},
        {":patcher docked -return"},
        {":patcher docked -placeholder"},
        {":patcher docked", ":fail makeview on"},
        {":patcher docked", ":fail object_attach_byptr_register on"},
        {":patcher docked", ":fail patcherview_set_locked on"},
        {":patcher docked", ":fail window on"},
        {":patcher docked", ":fail jbox_set_rect_for_view on"},
        {":patcher docked", ":fail patcherview_set_visible on"},
        {":patcher docked", ":fail patcherview_set_rect on"},
        {":patcher docked", ":fail visiblecanvasrect on"},
        {":patcher docked", ":fail jbox_set_rect on"},
        {":patcher docked", ":fail jbox_get_rect_for_view on"},
    };
    const Messages refused = {{"host_error", hostError("external_window_configuration_failed",
                                                       "Could not configure the Quillex pop-out window")},
                              {"external_window_state", state(false, 834, 179)}};
    for (const auto& setup : breaks) {
        host.reset();
        host = std::make_unique<HostHarness>();
        run(setup);
        EXPECT_EQ(run({"external_window_opened"}), refused) << setup.back();
        EXPECT_EQ(vessa_live_views(), 0) << setup.back();
        EXPECT_EQ(vessa_live_attachments(), 0) << setup.back();
        if (setup.size() == 2) {
            // Nothing of the failed attempt lingers: with the call working again, the window opens.
            const std::string name = setup.back().substr(6, setup.back().size() - 9);
            EXPECT_TRUE(vessa_fail_call(name.c_str(), 0));
            EXPECT_EQ(run({"external_window_opened"}), (Messages{{"external_window_state", state(true, 834, 179)}}));
        }
    }
}

TEST_F(PopoutWindow, DestroyedByTheUserAndAFailedHide) {
    run({":patcher docked", "external_window_opened"});
    EXPECT_EQ(run({":window destroy"}), (Messages{{"external_window_state", state(false, 834, 179)}}));
    EXPECT_EQ(vessa_live_views(), 0);
    EXPECT_EQ(vessa_live_attachments(), 0);
    EXPECT_EQ(run({"external_window_opened"}), (Messages{{"external_window_state", state(true, 834, 179)}}));
    EXPECT_EQ(run({":fail patcherview_set_visible on", "close_external_window", ":fail patcherview_set_visible off"}),
              (Messages{{"host_error",
                         hostError("external_window_close_failed", "Could not close the Quillex pop-out window")},
                        {"external_window_state", state(true, 834, 179)}}));
}

TEST_F(PopoutWindow, GesturesStayWithinBoundsAndSettleIntoTheSettings) {
    run({":patcher docked", ":chrome 8 30", "external_window_opened"});
    // The mouse mid-window: a width-only change is free.
    EXPECT_EQ(run({":mouse 0 190 down", ":window resize 1000 179"}),
              (Messages{{"external_window_state", state(true, 1000, 179)}}));
    EXPECT_EQ(run({":window resize 1000 179"}), Messages{});
    EXPECT_EQ(run({":window resize 500 400"}), (Messages{{"external_window_state", state(true, 1864, 400)}}));
    EXPECT_EQ(run({":advance 100"}), Messages{});  // the button is still down
    EXPECT_EQ(run({":mouse 0 190 up", ":advance 16"}), Messages{});
    const auto settled = run({":advance 350"});
    ASSERT_EQ(settled.size(), 1u);
    EXPECT_EQ(settled[0].first, "user_settings");
    EXPECT_EQ(settled[0].second["settings"]["externalWindowGeometry"],
              (json{{"widthScale", 2.235}, {"heightScale", 2.2346}}));
    EXPECT_EQ(run({":advance 1000"}), Messages{});

    // A height change starts a proportional gesture, bounded by 2.5 x the docked height.
    EXPECT_EQ(run({":mouse 0 190 down", ":window resize 1863 2000"}),
              (Messages{{"external_window_state", state(true, 2085, 447)}}));
    // From the bottom edge a width change is proportional too: the height leads.
    EXPECT_EQ(run({":mouse 0 190 up", ":advance 16", ":advance 350"}).size(), 1u);
    EXPECT_EQ(run({":mouse 0 577 down", ":window resize 3000 447"}),
              (Messages{{"external_window_state", state(true, 2085, 447)}}));
    EXPECT_EQ(run({":window resize 100 100"}), (Messages{{"external_window_state", state(true, 835, 179)}}));

    // Hostile sizes read as an unreadable geometry.
    EXPECT_EQ(run({":window resize 1e300 300"}),
              (Messages{{"host_error", hostError("external_window_geometry_unavailable",
                                                 "Could not read the Quillex pop-out window geometry")}}));
    testing::withObject(*host, [](quillex_ext& object) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        vessa_window_resize(static_cast<q37::lyra::object_base*>(&object), nan,
                            std::numeric_limits<double>::infinity());
    });
    EXPECT_EQ(run({":mouse 0 190 up"}),
              (Messages{{"host_error", hostError("external_window_geometry_unavailable",
                                                 "Could not read the Quillex pop-out window geometry")}}));
}

TEST_F(PopoutWindow, FreeingWhileOpenWritesThePendingSizeSilently) {
    run({":patcher docked", "external_window_opened", ":mouse 0 190 down", ":window resize 1000 179", ":mouse 0 190 up",
         ":advance 16"});
    EXPECT_EQ(run({":free"}), Messages{});
    EXPECT_EQ(vessa_live_views(), 0);
    EXPECT_EQ(vessa_live_attachments(), 0);
    // A new object with the same settings opens at the saved size.
    host.reset();
    host = std::make_unique<HostHarness>();
    EXPECT_EQ(run({":patcher docked", "external_window_opened"}),
              (Messages{{"external_window_state", state(true, 1000, 179)}}));
}

TEST_F(PopoutWindow, AFailedWriteIsReportedAndTriedAgainAtClose) {
    run({":patcher docked", "external_window_opened", ":mouse 0 190 down", ":window resize 1000 179", ":mouse 0 190 up",
         ":advance 16"});
    const std::filesystem::path folder = std::filesystem::path(testing::scratchAppData()) / "Quillex";
    const std::filesystem::path away = folder.string() + ".away";
    std::filesystem::rename(folder, away);
    std::ofstream(folder) << "not a folder";
    const auto failed = run({":advance 350"});
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].first, "host_error");
    EXPECT_EQ(failed[0].second["code"], "external_window_geometry_persistence_failed");
    EXPECT_FALSE(failed[0].second["error"].get<std::string>().empty());
    std::filesystem::remove(folder);
    std::filesystem::rename(away, folder);
    const auto closed = run({"close_external_window"});
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_EQ(closed[0].first, "user_settings");
    EXPECT_EQ(closed[0].second["settings"]["externalWindowGeometry"],
              (json{{"widthScale", 1.199}, {"heightScale", 1.0}}));
    EXPECT_EQ(closed[1], (std::pair<std::string, json>{"external_window_state", state(false, 834, 179)}));
}

// The host program twice over one settings folder: the size settled in the first run opens the second.
TEST(PopoutWindowRestart, ReopensAtTheSizeSavedByTheLastRun) {
    testing::TempFolder folder;
    const auto runHost = [&folder](const std::string& lines) {
        const std::string input = folder / "in.txt";
        const std::string output = folder / "out.txt";
        std::ofstream(input) << lines;
        EXPECT_EQ(testing::runHostProgram({"--appdata", folder.str()}, input, output), 0);
        return testing::fileText(output);
    };
    runHost(
        ":patcher docked\nexternal_window_opened\n:mouse 0 190 down\n:window resize 1200 200\n"
        ":mouse 0 190 up\n:advance 16\n");
    const std::string reopened = runHost(":patcher docked\nexternal_window_opened\n");
    EXPECT_EQ(reopened,
              "toJweb external_window_state "
              "{\"ok\":true,\"payload\":{\"active\":true,\"height\":200,\"width\":932},"
              "\"type\":\"external_window_state\"}\n");
}

TEST_F(PopoutWindow, DockedMetricsLeaveOutOnlyWhatFails) {
    run({":patcher docked"});
    auto messages = run({"get_external_window_state"});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].first, "bridge_trace");
    json metrics = messages[0].second["uiMetrics"];
    EXPECT_EQ(messages[0].second["message"], "[DockedUiMetrics] " + metrics.dump());
    EXPECT_EQ(metrics["available"], true);
    EXPECT_EQ(metrics["surfaceViewBoxRect"], json::parse("[0,0,1668,358]"));
    EXPECT_EQ(metrics["surfaceScreenRect"], json::parse("[0,0,1668,358]"));
    EXPECT_EQ(metrics["jwebPresentationRect"], json::parse("[0,0,1668,358]"));
    EXPECT_EQ(metrics["surfacePatcherviewZoom"], 1.0);
    EXPECT_EQ(metrics["surfacePatcherviewRect"], json::parse("[0,0,1668,358]"));
    EXPECT_FALSE(metrics.contains("monitorDpi"));
    EXPECT_EQ(messages[1], (std::pair<std::string, json>{"external_window_state", state(false, 834, 179)}));

    messages = run({":dpi 144 120", ":fail jbox_get_rect_for_sym on", "get_external_window_state",
                    ":fail jbox_get_rect_for_sym off"});
    metrics = messages.at(0).second["uiMetrics"];
    EXPECT_EQ(metrics["monitorDpi"], json::parse("[144,120]"));
    EXPECT_EQ(metrics["monitorScale"], json::parse("[1.5,1.25]"));
    for (const char* key :
         {"surfacePatchingRect", "surfacePresentationRect", "jwebPatchingRect", "jwebPresentationRect"})
        EXPECT_FALSE(metrics.contains(key)) << key;
    EXPECT_TRUE(metrics.contains("surfaceViewBoxRect"));

    host.reset();
    host = std::make_unique<HostHarness>();
    metrics = run({":patcher docked -view", "get_external_window_state"}).at(0).second["uiMetrics"];
    EXPECT_EQ(metrics["available"], false);
    EXPECT_TRUE(metrics.contains("jwebPatchingRect"));
    EXPECT_FALSE(metrics.contains("surfaceViewBoxRect"));
}

}  // namespace
}  // namespace quillex
