// Registering with the platform's power notifications and running the resume action on the system's thread.
#include "host/power_notification.h"

#include <utility>

namespace quillex {

PowerNotificationRegistration::~PowerNotificationRegistration() { unregister(); }

void PowerNotificationRegistration::registerFor(ResumeAction onResume) {
    if (registered_) return;
    {
        std::lock_guard lock(actionMutex_);
        onResume_ = std::move(onResume);
    }
    vessa_power_handle handle = nullptr;
    if (vessa_power_register(&powerSuspendResumeCallback, this, &handle) == 0) {
        handle_ = handle;
        registered_ = true;
    }
}

void PowerNotificationRegistration::unregister() {
    if (registered_) {
        vessa_power_unregister(handle_);
        handle_ = nullptr;
        registered_ = false;
    }
    std::lock_guard lock(actionMutex_);
    onResume_ = nullptr;
}

std::uint32_t powerSuspendResumeCallback(void* context, std::uint32_t eventType, void*) {
    if (eventType != kPowerResumeAutomatic || context == nullptr) return 0;
    auto* registration = static_cast<PowerNotificationRegistration*>(context);
    std::lock_guard lock(registration->actionMutex_);
    // Nothing may escape into the system's thread.
    try {
        if (registration->onResume_) registration->onResume_();
    } catch (...) {}
    return 0;
}

}  // namespace quillex
