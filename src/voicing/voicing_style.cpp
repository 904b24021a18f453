// Voicing style ids, aliases and the offered-style rules.
#include "voicing/voicing_style.h"

namespace quillex {

namespace {

struct StyleName {
    std::string_view text;
    VoicingStyle style;
};

constexpr std::array<StyleName, 9> kStyleNames = {{
    {"closed", VoicingStyle::Closed},
    {"shell", VoicingStyle::Shell},
    {"anthem", VoicingStyle::Anthem},
    {"pop", VoicingStyle::Anthem},
    {"split", VoicingStyle::Split},
    {"drop24", VoicingStyle::Split},
    {"drop2-4", VoicingStyle::Split},
    {"guide-color", VoicingStyle::GuideColor},
    {"tessaro", VoicingStyle::Tessaro},
}};

}  // namespace

std::span<const VoicingStyle> offeredVoicingStyles() { return kOfferedVoicingStyles; }

std::string_view voicingStyleId(VoicingStyle style) {
    switch (style) {
        case VoicingStyle::Closed:
            return "closed";
        case VoicingStyle::Shell:
            return "shell";
        case VoicingStyle::Anthem:
            return "anthem";
        case VoicingStyle::Split:
            return "split";
        case VoicingStyle::GuideColor:
            return "guide-color";
        case VoicingStyle::Tessaro:
            return "tessaro";
    }
    return "closed";
}

std::optional<VoicingStyle> parseVoicingStyle(std::string_view text) {
    for (const StyleName& name : kStyleNames) {
        if (name.text == text) return name.style;
    }
    return std::nullopt;
}

std::vector<VoicingStyle> relevantVoicingStyles(std::span<const std::int32_t> intervals) {
    if (intervals.empty()) return {VoicingStyle::Closed, VoicingStyle::Tessaro};
    std::vector<VoicingStyle> styles{VoicingStyle::Closed, VoicingStyle::Anthem};
    if (intervals.size() >= 3) styles.push_back(VoicingStyle::Split);
    styles.push_back(VoicingStyle::GuideColor);
    styles.push_back(VoicingStyle::Tessaro);
    return styles;
}

}  // namespace quillex
