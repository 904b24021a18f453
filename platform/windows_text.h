// UTF-8 and UTF-16 conversions for the Windows side of the platform layer.
#pragma once
#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

namespace quillex::platform {

// The UTF-16 form of UTF-8 text; no value when the text is not valid UTF-8.
std::optional<std::wstring> wideFromUtf8(std::string_view text);

// The UTF-8 form of UTF-16 text; no value when it holds an unpaired surrogate.
std::optional<std::string> narrowFromWide(std::wstring_view text);

}  // namespace quillex::platform

#endif  // _WIN32
