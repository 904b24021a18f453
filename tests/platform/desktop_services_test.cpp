// The pointer, display and power seam: an installed table takes every call, removing it restores the system's
// services, and the system's own services answer within what they allow.
#include "platform/desktop_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <type_traits>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillex::platform {
namespace {

// Counts the calls an installed table receives and answers with fixed values.
struct FakeServices {
    int buttonCalls = 0;
    std::vector<std::pair<long, long>> dpiPoints;
    int registrations = 0;
    std::vector<PowerHandle> unregistered;
    PowerCallback callback = nullptr;
    void* context = nullptr;
    int token = 0;  // its address is the handle handed out

    DesktopServices table() {
        DesktopServices services;
        services.leftButtonDown = [this] {
            ++buttonCalls;
            return true;
        };
        services.monitorDpiAt = [this](long x, long y) {
            dpiPoints.emplace_back(x, y);
            return std::optional<MonitorDpi>(MonitorDpi{144, 120});
        };
        services.registerSuspendResume = [this](PowerCallback cb, void* ctx, PowerHandle* handle) {
            ++registrations;
            callback = cb;
            context = ctx;
            *handle = &token;
            return std::uint32_t{0};
        };
        services.unregisterSuspendResume = [this](PowerHandle handle) {
            unregistered.push_back(handle);
            return std::uint32_t{0};
        };
        return services;
    }
};

// Restores the system's services however a test ends.
class DesktopServicesSeam : public ::testing::Test {
protected:
    void TearDown() override { installDesktopServices(std::nullopt); }
};

std::atomic<int> callbacksRun{0};
std::uint32_t countingCallback(void*, std::uint32_t, void*) {
    callbacksRun.fetch_add(1);
    return 0;
}

TEST_F(DesktopServicesSeam, AnInstalledTableTakesEveryCall) {
    FakeServices fake;
    installDesktopServices(fake.table());
    const auto services = desktopServices();
    EXPECT_TRUE(services->leftButtonDown());
    EXPECT_EQ(services->monitorDpiAt(-5, 7), (MonitorDpi{144, 120}));
    int context = 0;
    PowerHandle handle = nullptr;
    EXPECT_EQ(services->registerSuspendResume(&countingCallback, &context, &handle), 0u);
    EXPECT_EQ(handle, &fake.token);
    EXPECT_EQ(fake.callback, &countingCallback);
    EXPECT_EQ(fake.context, &context);
    EXPECT_EQ(services->unregisterSuspendResume(handle), 0u);
    EXPECT_EQ(fake.buttonCalls, 1);
    EXPECT_EQ(fake.dpiPoints, (std::vector<std::pair<long, long>>{{-5, 7}}));
    EXPECT_EQ(fake.registrations, 1);
    EXPECT_EQ(fake.unregistered, std::vector<PowerHandle>{&fake.token});
}

TEST_F(DesktopServicesSeam, RemovingTheTableRestoresTheSystemServices) {
    FakeServices fake;
    installDesktopServices(fake.table());
    installDesktopServices(std::nullopt);
    const auto services = desktopServices();
    const DesktopServices system = systemDesktopServices();
    EXPECT_EQ(services->monitorDpiAt(0, 0), system.monitorDpiAt(0, 0));
    services->leftButtonDown();
    PowerHandle handle = nullptr;
    if (services->registerSuspendResume(&countingCallback, nullptr, &handle) == 0) {
        EXPECT_EQ(services->unregisterSuspendResume(handle), 0u);
    }
    EXPECT_EQ(fake.buttonCalls, 0);
    EXPECT_TRUE(fake.dpiPoints.empty());
    EXPECT_EQ(fake.registrations, 0);
    EXPECT_TRUE(fake.unregistered.empty());
}

TEST_F(DesktopServicesSeam, AnEmptyEntryKeepsTheSystemService) {
    FakeServices fake;
    DesktopServices partial = fake.table();
    partial.monitorDpiAt = nullptr;
    installDesktopServices(std::move(partial));
    const auto services = desktopServices();
    EXPECT_EQ(services->monitorDpiAt(3, 4), systemDesktopServices().monitorDpiAt(3, 4));
    EXPECT_TRUE(services->leftButtonDown());
    EXPECT_TRUE(fake.dpiPoints.empty());
    EXPECT_EQ(fake.buttonCalls, 1);
}

// A registration ends through the table that made it, even once another is installed.
TEST_F(DesktopServicesSeam, ATableHeldByACallerOutlivesItsReplacement) {
    FakeServices first;
    FakeServices second;
    installDesktopServices(first.table());
    const auto held = desktopServices();
    PowerHandle handle = nullptr;
    ASSERT_EQ(held->registerSuspendResume(&countingCallback, nullptr, &handle), 0u);
    installDesktopServices(second.table());
    installDesktopServices(std::nullopt);
    EXPECT_EQ(held->unregisterSuspendResume(handle), 0u);
    EXPECT_EQ(first.unregistered, std::vector<PowerHandle>{&first.token});
    EXPECT_TRUE(second.unregistered.empty());
}

// ---- The system's own services ----------------------------------------------

#ifndef _WIN32

// No such service here: the button is up, no DPI is known, registrations are refused.
TEST(SystemDesktopServices, OffersNoneOfThemOnPosix) {
    const DesktopServices system = systemDesktopServices();
    EXPECT_FALSE(system.leftButtonDown());
    EXPECT_EQ(system.monitorDpiAt(0, 0), std::nullopt);
    PowerHandle handle = &handle;
    callbacksRun.store(0);
    EXPECT_NE(system.registerSuspendResume(&countingCallback, nullptr, &handle), 0u);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(callbacksRun.load(), 0);
}

#else

bool moduleLoaded(const wchar_t* name) { return ::GetModuleHandleW(name) != nullptr; }

TEST(SystemDesktopServices, TheLeftButtonStateIsReadWithoutFailing) {
    const DesktopServices system = systemDesktopServices();
    static_assert(std::is_same_v<decltype(system.leftButtonDown()), bool>);
    // Down or up as the user holds it: only a failing call would end the test.
    for (int i = 0; i < 100; ++i) (void)system.leftButtonDown();
    SUCCEED();
}

TEST(SystemDesktopServices, TheMonitorDpiIsAbsentOrPositiveOnBothAxes) {
    const bool shcoreLoadedBefore = moduleLoaded(L"Shcore.dll");
    const DesktopServices system = systemDesktopServices();
    const std::pair<long, long> points[] = {{0, 0}, {100, 100}, {-100000, -100000}, {100000, 100000}, {-1, 5000}};
    for (const auto& [x, y] : points) {
        const std::optional<MonitorDpi> dpi = system.monitorDpiAt(x, y);
        if (!dpi) continue;
        EXPECT_GT(dpi->horizontal, 0u) << x << ' ' << y;
        EXPECT_GT(dpi->vertical, 0u) << x << ' ' << y;
    }
    // Each lookup frees the library it loaded.
    if (!shcoreLoadedBefore) {
        EXPECT_FALSE(moduleLoaded(L"Shcore.dll"));
    }
}

// Registered: a handle, then a clean unregistration. Refused: no handle, and no callback ever.
TEST(SystemDesktopServices, ASuspendResumeRegistrationEndsCleanlyOrIsRefused) {
    const bool powrprofLoadedBefore = moduleLoaded(L"powrprof.dll");
    const DesktopServices system = systemDesktopServices();
    callbacksRun.store(0);
    int context = 0;
    for (int round = 0; round < 3; ++round) {
        PowerHandle handle = nullptr;
        const std::uint32_t result = system.registerSuspendResume(&countingCallback, &context, &handle);
        if (result == 0) {
            EXPECT_NE(handle, nullptr);
            EXPECT_EQ(system.unregisterSuspendResume(handle), 0u);
        } else {
            EXPECT_EQ(handle, nullptr);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // No suspend or resume happens while the test runs.
    EXPECT_EQ(callbacksRun.load(), 0);
    if (!powrprofLoadedBefore) {
        EXPECT_FALSE(moduleLoaded(L"powrprof.dll"));
    }
}

TEST(SystemDesktopServices, ABadRegistrationCallIsRefused) {
    const DesktopServices system = systemDesktopServices();
    PowerHandle handle = &handle;
    EXPECT_NE(system.registerSuspendResume(nullptr, nullptr, &handle), 0u);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(system.registerSuspendResume(&countingCallback, nullptr, nullptr), 0u);
    EXPECT_NE(system.unregisterSuspendResume(nullptr), 0u);
}

#endif

}  // namespace
}  // namespace quillex::platform
