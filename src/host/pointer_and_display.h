// The two system services the pop-out needs: the left mouse button and the effective DPI of a monitor.
#pragma once

#include <optional>

#include "platform/desktop_services.h"

namespace quillex {

using platform::MonitorDpi;

// True while the left mouse button is held down.
bool leftMouseButtonDown();

// The effective DPI of the monitor nearest the screen point; nothing when the
// system offers no such lookup or it fails.
std::optional<MonitorDpi> monitorDpiAt(long x, long y);

}  // namespace quillex
