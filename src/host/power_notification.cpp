// Registering with the platform's suspend/resume notifications and running the resume action on the system's thread.
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
    std::shared_ptr<const platform::DesktopServices> services = platform::desktopServices();
    platform::PowerHandle handle = nullptr;
    if (services->registerSuspendResume(&powerSuspendResumeCallback, this, &handle) == 0) {
        services_ = std::move(services);
        handle_ = handle;
        registered_ = true;
    }
}

void PowerNotificationRegistration::unregister() {
    if (registered_) {
        services_->unregisterSuspendResume(handle_);
        services_.reset();
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
