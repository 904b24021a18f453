// Voicing styles: their ids and aliases, and which styles are offered.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quillex {

// The value is also the bit position of the style in a style mask.
enum class VoicingStyle : std::uint8_t {
    Closed = 0,
    Shell = 1,
    Anthem = 2,
    Split = 3,
    GuideColor = 4,
    Tessaro = 5,
};

inline constexpr std::size_t kVoicingStyleCount = 6;

// Every style in value order.
inline constexpr std::array<VoicingStyle, kVoicingStyleCount> kAllVoicingStyles = {
    VoicingStyle::Closed, VoicingStyle::Shell,      VoicingStyle::Anthem,
    VoicingStyle::Split,  VoicingStyle::GuideColor, VoicingStyle::Tessaro,
};

// The styles the style catalogue lists, in its order (shell is not offered).
inline constexpr std::array<VoicingStyle, 5> kOfferedVoicingStyles = {
    VoicingStyle::Closed, VoicingStyle::Anthem, VoicingStyle::Split, VoicingStyle::GuideColor, VoicingStyle::Tessaro,
};

std::span<const VoicingStyle> offeredVoicingStyles();

// The text id of a style; a value outside the enumeration is written "closed".
std::string_view voicingStyleId(VoicingStyle style);

// Exact, case-sensitive match of an id or alias ("pop", "drop24", "drop2-4").
std::optional<VoicingStyle> parseVoicingStyle(std::string_view text);

// Styles worth offering for a chord; only the number of intervals matters.
std::vector<VoicingStyle> relevantVoicingStyles(std::span<const std::int32_t> intervals);

}  // namespace quillex
