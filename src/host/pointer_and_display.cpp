// The two system services the pop-out needs: the left mouse button and the effective DPI of a monitor.
#include "host/pointer_and_display.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/vessa/vessa_patcher.h"
#endif

namespace quillex {

#ifdef _WIN32

bool leftMouseButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

std::optional<MonitorDpi> monitorDpiAt(long x, long y) {
    HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr) return std::nullopt;
    // Looked up at each call, never linked: older systems lack the function.
    HMODULE library = LoadLibraryW(L"Shcore.dll");
    if (library == nullptr) return std::nullopt;
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    std::optional<MonitorDpi> dpi;
    if (auto lookup = reinterpret_cast<GetDpiForMonitorFn>(
            reinterpret_cast<void*>(GetProcAddress(library, "GetDpiForMonitor")))) {
        UINT horizontal = 0;
        UINT vertical = 0;
        if (SUCCEEDED(lookup(monitor, 0 /* effective DPI */, &horizontal, &vertical)))
            dpi = MonitorDpi{horizontal, vertical};
    }
    FreeLibrary(library);
    return dpi;
}

#else

// Elsewhere the stand-in host answers for the mouse and the monitor.
bool leftMouseButtonDown() { return vessa_left_button_down() != 0; }

std::optional<MonitorDpi> monitorDpiAt(long x, long y) {
    MonitorDpi dpi;
    if (vessa_monitor_dpi(x, y, &dpi.horizontal, &dpi.vertical) != 0) return std::nullopt;
    return dpi;
}

#endif

}  // namespace quillex
