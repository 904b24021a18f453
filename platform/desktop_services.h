// The system's pointer, display and power services, as one replaceable table: the seam through which a host
// that simulates them (and tests) take their place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quillex::platform {

struct MonitorDpi {
    unsigned horizontal = 0;
    unsigned vertical = 0;
    friend bool operator==(const MonitorDpi&, const MonitorDpi&) = default;
};

// The event type of an automatic resume from suspend.
inline constexpr std::uint32_t kPowerResumeAutomatic = 18;

// The callback a suspend/resume registration runs on a thread of the
// service's own: context, event type, setting; its result is ignored (0).
using PowerCallback = std::uint32_t (*)(void* context, std::uint32_t eventType, void* setting);
using PowerHandle = void*;

// Result of a registration the service does not offer.
inline constexpr std::uint32_t kPowerNotSupported = 50;

struct DesktopServices {
    // True while the left mouse button is held down.
    std::function<bool()> leftButtonDown;
    // The effective DPI (both axes positive) of the monitor nearest the
    // screen point; nothing when there is no such service or it fails.
    std::function<std::optional<MonitorDpi>(long x, long y)> monitorDpiAt;
    // 0 when registered, with the handle set; any other result leaves the
    // handle null, and the callback is never run.
    std::function<std::uint32_t(PowerCallback callback, void* context, PowerHandle* handle)> registerSuspendResume;
    // Ends a registration made through the same table; returns once no
    // callback of it is running.
    std::function<std::uint32_t(PowerHandle handle)> unregisterSuspendResume;
};

// The system's own services: on Windows the real calls, elsewhere none (the
// button is up, no monitor DPI is known, registrations are refused).
DesktopServices systemDesktopServices();

// The table every caller goes through: the installed one, else the system's.
// Callers keep the table they were given for as long as they need it (a power
// registration ends through the table that made it).
std::shared_ptr<const DesktopServices> desktopServices();

// Installs a table (a member left empty keeps the system's service); no value
// restores the system's services. Safe while other threads hold an earlier table.
void installDesktopServices(std::optional<DesktopServices> services);

}  // namespace quillex::platform
