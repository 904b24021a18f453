// The installed pointer, display and power table, and the system's services where there are none (POSIX).
#include "platform/desktop_services.h"

#include <mutex>
#include <utility>

namespace quillex::platform {
namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<const DesktopServices> table;  // null: the system's
};

Installed& installed() {
    static Installed instance;
    return instance;
}

const std::shared_ptr<const DesktopServices>& systemTable() {
    static const std::shared_ptr<const DesktopServices> table =
        std::make_shared<const DesktopServices>(systemDesktopServices());
    return table;
}

}  // namespace

std::shared_ptr<const DesktopServices> desktopServices() {
    {
        Installed& s = installed();
        std::lock_guard lock(s.mutex);
        if (s.table) return s.table;
    }
    return systemTable();
}

void installDesktopServices(std::optional<DesktopServices> services) {
    std::shared_ptr<const DesktopServices> table;
    if (services) {
        const DesktopServices& system = *systemTable();
        if (!services->leftButtonDown) services->leftButtonDown = system.leftButtonDown;
        if (!services->monitorDpiAt) services->monitorDpiAt = system.monitorDpiAt;
        if (!services->registerSuspendResume) services->registerSuspendResume = system.registerSuspendResume;
        if (!services->unregisterSuspendResume) services->unregisterSuspendResume = system.unregisterSuspendResume;
        table = std::make_shared<const DesktopServices>(std::move(*services));
    }
    Installed& s = installed();
    std::lock_guard lock(s.mutex);
    s.table = std::move(table);
}

#ifndef _WIN32

// No system service of the kind exists here: a host that has one installs it.
DesktopServices systemDesktopServices() {
    DesktopServices services;
    services.leftButtonDown = [] { return false; };
    services.monitorDpiAt = [](long, long) { return std::optional<MonitorDpi>(); };
    services.registerSuspendResume = [](PowerCallback, void*, PowerHandle* handle) {
        if (handle != nullptr) *handle = nullptr;
        return kPowerNotSupported;
    };
    services.unregisterSuspendResume = [](PowerHandle) { return kPowerNotSupported; };
    return services;
}

#endif

}  // namespace quillex::platform
