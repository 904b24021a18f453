// The two system services the pop-out needs, through the platform's desktop services.
#include "host/pointer_and_display.h"

namespace quillex {

bool leftMouseButtonDown() { return platform::desktopServices()->leftButtonDown(); }

std::optional<MonitorDpi> monitorDpiAt(long x, long y) {
    const std::optional<MonitorDpi> dpi = platform::desktopServices()->monitorDpiAt(x, y);
    // A service that answers zero on an axis knows no DPI.
    if (dpi && (dpi->horizontal == 0 || dpi->vertical == 0)) return std::nullopt;
    return dpi;
}

}  // namespace quillex
