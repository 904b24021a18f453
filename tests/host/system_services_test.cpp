// The object's system services through the platform seam: the power registration's table, and the host's
// simulated services adopted by the objects made while it offers them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/pointer_and_display.h"
#include "host/power_notification.h"
#include "host_harness.h"
#include "platform/vessa/vessa_patcher.h"
#include "platform/vessa/vessa_services.h"

namespace quillex {
namespace {

using Lines = std::vector<std::string>;

// A power service that records what reaches it and refuses when told to.
struct RecordingPower {
    std::uint32_t answer = 0;
    platform::PowerCallback callback = nullptr;
    void* context = nullptr;
    int registrations = 0;
    int unregistrations = 0;
    int token = 0;

    platform::DesktopServices table() {
        platform::DesktopServices services;
        services.registerSuspendResume = [this](platform::PowerCallback cb, void* ctx, platform::PowerHandle* handle) {
            ++registrations;
            callback = cb;
            context = ctx;
            *handle = answer == 0 ? &token : nullptr;
            return answer;
        };
        services.unregisterSuspendResume = [this](platform::PowerHandle handle) {
            EXPECT_EQ(handle, &token);
            ++unregistrations;
            return std::uint32_t{0};
        };
        return services;
    }
};

class SystemServices : public ::testing::Test {
protected:
    void TearDown() override {
        platform::installDesktopServices(std::nullopt);
        vessa_simulate_system_services(1);
    }
};

TEST_F(SystemServices, ARegistrationRunsItsActionOnlyOnAnAutomaticResume) {
    RecordingPower power;
    platform::installDesktopServices(power.table());
    int resumes = 0;
    {
        PowerNotificationRegistration registration;
        registration.registerFor([&resumes] { ++resumes; });
        registration.registerFor([&resumes] { resumes += 100; });  // once registered, nothing changes
        EXPECT_TRUE(registration.registered());
        ASSERT_EQ(power.registrations, 1);
        EXPECT_EQ(power.context, &registration);
        for (const std::uint32_t event : {4u, 7u, 18u, 0u, 19u, 18u})
            EXPECT_EQ(power.callback(power.context, event, nullptr), 0u);
        EXPECT_EQ(resumes, 2);
    }
    EXPECT_EQ(power.unregistrations, 1);
}

TEST_F(SystemServices, ARefusedRegistrationIsSilentAndNeverUnregisters) {
    RecordingPower power;
    power.answer = 5;
    platform::installDesktopServices(power.table());
    {
        PowerNotificationRegistration registration;
        registration.registerFor([] {});
        EXPECT_FALSE(registration.registered());
        EXPECT_EQ(power.registrations, 1);
    }
    EXPECT_EQ(power.unregistrations, 0);
}

TEST_F(SystemServices, ARegistrationEndsThroughTheTableThatMadeIt) {
    RecordingPower first;
    RecordingPower second;
    platform::installDesktopServices(first.table());
    PowerNotificationRegistration registration;
    registration.registerFor([] {});
    platform::installDesktopServices(second.table());
    registration.unregister();
    EXPECT_FALSE(registration.registered());
    EXPECT_EQ(first.unregistrations, 1);
    EXPECT_EQ(second.unregistrations, 0);
    EXPECT_EQ(second.registrations, 0);
}

TEST_F(SystemServices, ObjectsMadeWhileTheHostSimulatesUseItsMouseAndMonitor) {
    testing::HostHarness host;
    host.run(Lines{":mouse 10 20 down", ":dpi 144 120"});
    EXPECT_TRUE(leftMouseButtonDown());
    EXPECT_EQ(monitorDpiAt(0, 0), (MonitorDpi{144, 120}));
    host.run(Lines{":mouse 10 20 up", ":dpi none"});
    EXPECT_FALSE(leftMouseButtonDown());
    EXPECT_EQ(monitorDpiAt(0, 0), std::nullopt);
}

// An object made while the host simulates nothing uses the system's services:
// the host's resume events never reach it.
TEST_F(SystemServices, AnObjectMadeWithoutTheSimulationHearsNoSimulatedResume) {
    testing::HostHarness host;
    vessa_simulate_system_services(0);
    host.run(Lines{":new", ":free 1", ":select 2"});
    vessa_simulate_system_services(1);
    host.run(Lines{":dpi 144 120"});
    EXPECT_EQ(monitorDpiAt(0, 0), platform::systemDesktopServices().monitorDpiAt(0, 0));
    EXPECT_TRUE(host.run(Lines{":power 18", ":advance 1000"}).empty());
    // The next object adopts the simulation again.
    EXPECT_EQ(host.run(Lines{":new", ":power 18", ":advance 500"}),
              (Lines{"@3 toBridge system_wake {}",
                     R"(@3 toJweb system_wake {"ok":true,"payload":{},"type":"system_wake"})"}));
    host.run(Lines{":dpi none"});
}

}  // namespace
}  // namespace quillex
