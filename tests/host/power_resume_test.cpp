// Resume from sleep: the wake notices, their timing and thread, failed registrations and resumes racing teardown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host_harness.h"
#include "platform/vessa/vessa_power.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::HostHarness;
using Lines = std::vector<std::string>;

const std::vector<std::string> kWake{"toBridge system_wake {}",
                                     R"(toJweb system_wake {"ok":true,"payload":{},"type":"system_wake"})"};

std::string frameLine(std::int64_t index, const std::string& chunk) {
    return "__qx_to_core_chunk\t" +
           json{{"id", "w"}, {"type", "get_version"}, {"index", index}, {"total", 2}, {"chunk", chunk}}.dump();
}

TEST(PowerResume, WakeGoesToTheBridgeThenThePageHalfASecondAfterTheLastResume) {
    HostHarness host;
    EXPECT_TRUE(host.run(Lines{":power 18", ":power 18", ":power 18", ":advance 499"}).empty());
    EXPECT_EQ(host.run(":advance 1"), kWake);
    EXPECT_TRUE(host.run(":advance 5000").empty());
    // A resume while the timer waits moves it: one notice for the burst.
    EXPECT_TRUE(host.run(Lines{":power 18", ":advance 300", ":power 18", ":advance 499"}).empty());
    EXPECT_EQ(host.run(":advance 1"), kWake);
}

TEST(PowerResume, OtherPowerEventsSendNothing) {
    HostHarness host;
    EXPECT_TRUE(host.run(Lines{":power 4", ":power 7", ":power 0", ":power 19", ":advance 1000"}).empty());
}

TEST(PowerResume, AFailedRegistrationNeverWakesButTheObjectWorks) {
    HostHarness host;
    host.run(Lines{":power-fail-next", ":new", ":free 1", ":select 2"});
    EXPECT_TRUE(host.run(Lines{":power 18", ":advance 1000"}).empty());
    const auto lines = host.run(R"(get_version {"request_id":"alive"})");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("@2 toJweb version ")) << lines[0];
    // Only the next registration fails.
    EXPECT_EQ(host.run(Lines{":new", ":power 18", ":advance 500"}),
              (std::vector<std::string>{"@3 " + kWake[0], "@3 " + kWake[1]}));
}

TEST(PowerResume, AResumeDropsAHalfReceivedMessage) {
    HostHarness host;
    EXPECT_TRUE(host.run(Lines{frameLine(0, "{\"request_id\""), ":power 18"}).empty());
    // Until the wake task runs, the message is still pending.
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_TRUE(ext.inboundChunkState().pending()); });
    EXPECT_EQ(host.run(":advance 500"), kWake);
    testing::withObject(host, [](quillex_ext& ext) { EXPECT_FALSE(ext.inboundChunkState().pending()); });
    const auto late = host.run(frameLine(1, ":\"x\"}"));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(testing::splitOutletLine(late[0]).json()["payload"]["code"], "vessa_message_chunk_invalid");
}

// Records, for every outlet call, whether it ran where the host says the main thread is.
struct ThreadRecord {
    std::vector<std::pair<std::string, bool>> calls;
    static void hook(void* context, void*, t_symbol* selector, long argc, t_atom* argv) {
        auto* self = static_cast<ThreadRecord*>(context);
        const std::string type = argc > 0 ? q37::lyra::atom_text(argv[0]) : std::string();
        self->calls.emplace_back(std::string(selector->s_name) + " " + type, systhread_ismainthread() != 0);
    }
};

TEST(PowerResume, TheWakeTaskRunsOnTheMainThread) {
    HostHarness host;
    ThreadRecord record;
    vessa_set_outlet_hook(&ThreadRecord::hook, &record);
    host.session().runLine(":power 18");
    host.session().runLine(":advance 500");
    vessa_set_outlet_hook(nullptr, nullptr);
    EXPECT_EQ(record.calls, (std::vector<std::pair<std::string, bool>>{{"toBridge system_wake", true},
                                                                       {"toJweb system_wake", true}}));
}

// A system thread fires resumes without pause while objects come and go and
// frames and requests flow; meant for ThreadSanitizer as much as for the result.
TEST(PowerResume, ResumesRacingObjectLifetimesAndTraffic) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 12;
#else
    constexpr int kRounds = 40;
#endif
    HostHarness host;
    std::atomic<bool> stop{false};
    std::atomic<int> fired{0};
    std::thread system([&] {
        while (!stop.load()) {
            vessa_power_broadcast(VESSA_POWER_RESUME_AUTOMATIC);
            fired.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    int wakes = 0;
    int versions = 0;
    for (int round = 0; round < kRounds; ++round) {
        const int number = round + 2;
        const std::string n = std::to_string(number);
        for (const std::string& raw :
             host.run(Lines{":new", frameLine(0, "{\"request_id\""), frameLine(1, ":\"r" + n + "\"}"), ":advance 250",
                            R"({"type":"get_version"})", ":advance 600", ":free " + n})) {
            if (raw.find("toBridge system_wake") != std::string::npos) ++wakes;
            if (raw.find("toJweb version") != std::string::npos) ++versions;
        }
    }
    // Let the thread fire at least once while only object 1 lives, then stop it.
    const int before = fired.load();
    while (fired.load() < before + 2) std::this_thread::yield();
    stop.store(true);
    system.join();
    host.run(":advance 600");
    EXPECT_EQ(versions, 2 * kRounds);
    EXPECT_GT(wakes, 0);
}

}  // namespace
}  // namespace quillex
