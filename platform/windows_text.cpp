// UTF-8 and UTF-16 conversions by MultiByteToWideChar and WideCharToMultiByte, refusing invalid input.
#ifdef _WIN32
#include "platform/windows_text.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <utility>

namespace quillex::platform {

namespace {

// The call that tests make fail, or -1.
std::atomic<int> failingWideConversionCall{-1};

bool failsForTesting(WideConversionCall call) {
    return failingWideConversionCall.load(std::memory_order_relaxed) == static_cast<int>(call);
}

}  // namespace

WideConversion convertUtf8ToWide(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > INT_MAX) return {WideConversionStatus::conversionFailed, {}};
    const int size = static_cast<int>(text.size());
    // The first call sizes the buffer; both refuse invalid UTF-8 instead of
    // replacing it.
    const int length = failsForTesting(WideConversionCall::sizing)
                           ? 0
                           : ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length < 1) return {WideConversionStatus::invalidUtf8, {}};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (failsForTesting(WideConversionCall::converting) ||
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length) {
        return {WideConversionStatus::conversionFailed, {}};
    }
    return {WideConversionStatus::ok, std::move(wide)};
}

std::optional<std::wstring> wideFromUtf8(std::string_view text) {
    WideConversion wide = convertUtf8ToWide(text);
    if (wide.status != WideConversionStatus::ok) return std::nullopt;
    return std::move(wide.text);
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

void failWideConversionCallForTesting(std::optional<WideConversionCall> call) {
    failingWideConversionCall.store(call ? static_cast<int>(*call) : -1, std::memory_order_relaxed);
}

}  // namespace quillex::platform

#endif  // _WIN32
