// UTF-8 and UTF-16 conversions for the Windows side of the platform layer.
#pragma once
#ifdef _WIN32

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillex::platform {

// How a UTF-8 to UTF-16 conversion ended: its first call, which sizes the
// result, refuses text that is not valid UTF-8; the second, into the sized
// buffer, can still fail on its own.
enum class WideConversionStatus : std::uint8_t { ok, invalidUtf8, conversionFailed };

struct WideConversion {
    WideConversionStatus status = WideConversionStatus::ok;
    std::wstring text;  // empty unless ok

    friend bool operator==(const WideConversion&, const WideConversion&) = default;
};

WideConversion convertUtf8ToWide(std::string_view text);

// The UTF-16 form of UTF-8 text; no value when the text is not valid UTF-8
// (or its conversion failed).
std::optional<std::wstring> wideFromUtf8(std::string_view text);

// The UTF-8 form of UTF-16 text; no value when it holds an unpaired surrogate.
std::optional<std::string> narrowFromWide(std::wstring_view text);

// The two calls of a UTF-8 to UTF-16 conversion.
enum class WideConversionCall : std::uint8_t { sizing, converting };

// Makes that call of every later conversion fail, as the system's call fails;
// no value restores the real calls. For tests.
void failWideConversionCallForTesting(std::optional<WideConversionCall> call);

}  // namespace quillex::platform

#endif  // _WIN32
