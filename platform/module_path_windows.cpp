// Windows module path: GetModuleHandleExW on a function of this library, then GetModuleFileNameW at full length.
#ifdef _WIN32
#include <windows.h>

#include "platform/module_path.h"
#include "platform/windows_text.h"

namespace quillex::platform {

std::string ownModuleFilePath() {
    // Flag 6: find the module holding an address, leaving its reference count as it is.
    constexpr DWORD kFromAddressUnchanged =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(kFromAddressUnchanged, reinterpret_cast<LPCWSTR>(&ownModuleFilePath), &module) == 0) {
        return {};
    }
    // The buffer grows until the name fits: a path longer than 260 units is
    // kept whole, never cut.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        if (buffer.size() >= 32768) return {};  // beyond the longest path the system allows
        buffer.resize(buffer.size() * 2);
    }
    return narrowFromWide(buffer).value_or(std::string());
}

}  // namespace quillex::platform

#endif  // _WIN32
