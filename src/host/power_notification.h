// The object's registration for the system's suspend/resume notification and the action a resume runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/desktop_services.h"

namespace quillex {

// The event type of an automatic resume from suspend, the only one acted on.
inline constexpr std::uint32_t kPowerResumeAutomatic = platform::kPowerResumeAutomatic;

class PowerNotificationRegistration {
public:
    using ResumeAction = std::function<void()>;

    PowerNotificationRegistration() = default;
    ~PowerNotificationRegistration();
    PowerNotificationRegistration(const PowerNotificationRegistration&) = delete;
    PowerNotificationRegistration& operator=(const PowerNotificationRegistration&) = delete;

    // Keeps the action and registers once; a refused registration is silent and
    // leaves the object unregistered.
    void registerFor(ResumeAction onResume);
    // Unregisters (waiting for a callback in flight), then drops the action
    // under its mutex, so no resume can reach an object being torn down.
    void unregister();

    bool registered() const { return registered_; }

private:
    friend std::uint32_t powerSuspendResumeCallback(void* context, std::uint32_t eventType, void* setting);

    std::mutex actionMutex_;  // held while the action runs and while it is dropped
    ResumeAction onResume_;
    std::shared_ptr<const platform::DesktopServices> services_;  // the table that registered
    platform::PowerHandle handle_ = nullptr;
    bool registered_ = false;
};

// The system's callback: runs the registration's action on an automatic
// resume, ignores every other event; always 0.
std::uint32_t powerSuspendResumeCallback(void* context, std::uint32_t eventType, void* setting);

}  // namespace quillex
