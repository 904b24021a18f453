// Canonical preset names: trimmed, strict UTF-8, no control characters, 1 to 64 code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillex {

inline constexpr std::size_t kMaximumPresetNameCodePoints = 64;

// What a strict decoding of a name found: the first fault, or the code-point count.
struct PresetNameScan {
    enum class Status : std::uint8_t { valid, invalidUtf8, controlCharacter };
    Status status = Status::valid;
    std::size_t codePoints = 0;

    bool operator==(const PresetNameScan&) const = default;
};

// The decoding behind countPresetNameCodePoints, without exceptions (for hot loops).
PresetNameScan scanPresetName(std::string_view text);

// Decodes strict UTF-8 (no over-long forms, surrogates or values above U+10FFFF) and
// counts code points; throws "Preset name is not valid UTF-8" or "Preset name cannot
// contain control characters" (C0, DEL and C1).
std::size_t countPresetNameCodePoints(std::string_view text);

// The name without leading and trailing spaces, tabs, carriage returns and line feeds.
// Throws label + " name must not be empty" for a blank name and label + " name must
// contain 1 to 64 characters" for a longer one, after the UTF-8 checks above.
std::string canonicalPresetName(std::string_view name, std::string_view label);

}  // namespace quillex
