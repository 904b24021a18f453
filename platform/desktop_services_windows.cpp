// The system's pointer, display and power services on Windows; the DPI and power calls are looked up at run time.
#ifdef _WIN32
#include <windows.h>

#include <new>

#include "platform/desktop_services.h"

namespace quillex::platform {
namespace {

// A function of a loaded library, or null when the library lacks it.
template <class Function>
Function lookUp(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

bool systemLeftButtonDown() { return (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

std::optional<MonitorDpi> systemMonitorDpiAt(long x, long y) {
    HMONITOR monitor = ::MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr) return std::nullopt;
    // Looked up at each call, never linked: older systems lack the function.
    HMODULE library = ::LoadLibraryW(L"Shcore.dll");
    if (library == nullptr) return std::nullopt;
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    std::optional<MonitorDpi> dpi;
    if (auto getDpi = lookUp<GetDpiForMonitorFn>(library, "GetDpiForMonitor")) {
        UINT horizontal = 0;
        UINT vertical = 0;
        if (SUCCEEDED(getDpi(monitor, 0 /* effective DPI */, &horizontal, &vertical)) && horizontal > 0 && vertical > 0)
            dpi = MonitorDpi{horizontal, vertical};
    }
    ::FreeLibrary(library);
    return dpi;
}

// The system's record for a callback recipient (DEVICE_NOTIFY_SUBSCRIBE_PARAMETERS).
struct SubscribeParameters {
    ULONG(CALLBACK* callback)(PVOID context, ULONG type, PVOID setting);
    PVOID context;
};
constexpr DWORD kDeviceNotifyCallback = 2;  // DEVICE_NOTIFY_CALLBACK: the recipient is a SubscribeParameters
using RegisterFn = DWORD(WINAPI*)(DWORD flags, HANDLE recipient, HANDLE* registration);
using UnregisterFn = DWORD(WINAPI*)(HANDLE registration);

// One registration: kept until it ends, with powrprof.dll held loaded.
struct SystemRegistration {
    SubscribeParameters parameters{};
    PowerCallback callback = nullptr;
    void* context = nullptr;
    HMODULE library = nullptr;
    HANDLE system = nullptr;
};

// The system's calling convention on one side, the seam's on the other.
ULONG CALLBACK forwardPowerEvent(PVOID context, ULONG type, PVOID setting) {
    const auto* registration = static_cast<const SystemRegistration*>(context);
    return registration->callback(registration->context, type, setting);
}

std::uint32_t systemRegisterSuspendResume(PowerCallback callback, void* context, PowerHandle* handle) {
    if (handle == nullptr) return ERROR_INVALID_PARAMETER;
    *handle = nullptr;
    if (callback == nullptr) return ERROR_INVALID_PARAMETER;
    // Looked up at run time: a system without them still loads the module, unregistered.
    HMODULE library = ::LoadLibraryW(L"powrprof.dll");
    if (library == nullptr) return ERROR_MOD_NOT_FOUND;
    const auto registerFn = lookUp<RegisterFn>(library, "PowerRegisterSuspendResumeNotification");
    if (registerFn == nullptr || lookUp<UnregisterFn>(library, "PowerUnregisterSuspendResumeNotification") == nullptr) {
        ::FreeLibrary(library);
        return ERROR_PROC_NOT_FOUND;
    }
    auto* registration = new (std::nothrow) SystemRegistration;
    if (registration == nullptr) {
        ::FreeLibrary(library);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    registration->parameters = SubscribeParameters{&forwardPowerEvent, registration};
    registration->callback = callback;
    registration->context = context;
    registration->library = library;
    HANDLE system = nullptr;
    const DWORD result = registerFn(kDeviceNotifyCallback, &registration->parameters, &system);
    if (result != ERROR_SUCCESS) {
        delete registration;
        ::FreeLibrary(library);
        return result;
    }
    registration->system = system;
    *handle = registration;
    return ERROR_SUCCESS;
}

std::uint32_t systemUnregisterSuspendResume(PowerHandle handle) {
    if (handle == nullptr) return ERROR_INVALID_PARAMETER;
    auto* registration = static_cast<SystemRegistration*>(handle);
    const auto unregisterFn = lookUp<UnregisterFn>(registration->library, "PowerUnregisterSuspendResumeNotification");
    const DWORD result = unregisterFn(registration->system);
    // A registration the system did not end may still call back: its record
    // and the library stay.
    if (result != ERROR_SUCCESS) return result;
    ::FreeLibrary(registration->library);
    delete registration;
    return ERROR_SUCCESS;
}

}  // namespace

DesktopServices systemDesktopServices() {
    DesktopServices services;
    services.leftButtonDown = &systemLeftButtonDown;
    services.monitorDpiAt = &systemMonitorDpiAt;
    services.registerSuspendResume = &systemRegisterSuspendResume;
    services.unregisterSuspendResume = &systemUnregisterSuspendResume;
    return services;
}

}  // namespace quillex::platform

#endif  // _WIN32
