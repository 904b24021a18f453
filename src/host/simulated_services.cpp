// The host's C table of simulated services, wrapped as the platform's desktop services.
#include "host/simulated_services.h"

#include "platform/desktop_services.h"
#include "platform/vessa/vessa_services.h"

namespace quillex {
namespace {

// Only plain values and the host's functions cross: no exception or library object.
platform::DesktopServices servicesFrom(const vessa_system_services& host) {
    platform::DesktopServices services;
    services.leftButtonDown = [down = host.left_button_down] { return down() != 0; };
    services.monitorDpiAt = [dpi = host.monitor_dpi](long x, long y) -> std::optional<platform::MonitorDpi> {
        platform::MonitorDpi found;
        if (dpi(x, y, &found.horizontal, &found.vertical) != 0) return std::nullopt;
        return found;
    };
    services.registerSuspendResume = [enroll = host.power_register](platform::PowerCallback callback, void* context,
                                                                    platform::PowerHandle* handle) {
        vessa_power_handle registration = nullptr;
        const std::uint32_t result = enroll(callback, context, &registration);
        *handle = result == 0 ? registration : nullptr;
        return result;
    };
    services.unregisterSuspendResume = [leave = host.power_unregister](platform::PowerHandle handle) {
        return leave(static_cast<vessa_power_handle>(handle));
    };
    return services;
}

}  // namespace

void adoptHostSystemServices() {
    if (const vessa_system_services* offered = vessa_simulated_services())
        platform::installDesktopServices(servicesFrom(*offered));
    else
        platform::installDesktopServices(std::nullopt);
}

}  // namespace quillex
