// UTF-8 and UTF-16 conversions by MultiByteToWideChar and WideCharToMultiByte, refusing invalid input.
#ifdef _WIN32
#include "platform/windows_text.h"

#include <windows.h>

#include <climits>

namespace quillex::platform {

std::optional<std::wstring> wideFromUtf8(std::string_view text) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX) return std::nullopt;
    const int size = static_cast<int>(text.size());
    // First call sizes the buffer; both refuse invalid UTF-8 instead of
    // replacing it.
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length < 1) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> narrowFromWide(std::wstring_view text) {
    if (text.empty()) return std::string();
    if (text.size() > INT_MAX) return std::nullopt;
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length < 1) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(length), '\0');
    if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, narrow.data(), length, nullptr,
                              nullptr) != length) {
        return std::nullopt;
    }
    return narrow;
}

}  // namespace quillex::platform

#endif  // _WIN32
