// Handlers of the voicing-style, relevant-voicing and range-preset requests.
#include "voicing/voicing_catalogue_requests.h"

#include <array>
#include <string_view>
#include <vector>

#include "protocol/json_number.h"
#include "protocol/request_readers.h"
#include "theory/chord_symbol.h"
#include "voicing/voicing_style.h"

namespace quillex {

using nlohmann::json;

namespace {

struct StyleTexts {
    VoicingStyle style;
    std::string_view name;
    std::string_view description;
};

// The catalogue lists five styles; shell is voiced but never offered.
constexpr std::array<StyleTexts, 5> kStyleCatalogue{{
    {VoicingStyle::Closed, "Closed", "Tight voicing within one octave"},
    {VoicingStyle::Anthem, "Anthem", "Full two-hand voicing with doublings"},
    {VoicingStyle::Split, "Split", "Root+5th low register, guides high"},
    {VoicingStyle::GuideColor, "Guide+Color", "Root + guide tones + available color tones"},
    {VoicingStyle::Tessaro, "Open", "Two-handed open voicing"},
}};

struct RangePreset {
    std::string_view key;
    std::string_view name;
    int min;
    int max;
    int center;
};

constexpr std::array<RangePreset, 4> kRangePresets{{
    {"compact", "Compact (1 oct)", 46, 70, 58},
    {"medium", "Medium (2 oct)", 40, 76, 58},
    {"wide", "Wide (3 oct)", 36, 82, 59},
    {"auto", "Auto", 36, 84, 60},
}};

}  // namespace

BridgeReply handleGetVoicingStyles(const json& request) {
    json styles = json::array();
    for (const StyleTexts& s : kStyleCatalogue) {
        styles.push_back({{"id", std::string(voicingStyleId(s.style))},
                          {"name", std::string(s.name)},
                          {"description", std::string(s.description)}});
    }
    return catalogueReply("voicing_styles", "styles", std::move(styles), request);
}

BridgeReply handleGetRelevantVoicings(const json& request) {
    std::vector<std::int32_t> intervals;
    if (request.is_object() && request.contains("chord")) {
        if (const auto chord = parseChordSymbol(request.at("chord").get<std::string>())) intervals = chord->intervals;
    } else if (request.is_object() && request.contains("intervals") && request.at("intervals").is_array()) {
        for (const json& element : request.at("intervals")) intervals.push_back(readInt32Saturating(element));
    }
    json styles = json::array();
    for (VoicingStyle style : relevantVoicingStyles(intervals)) styles.push_back(std::string(voicingStyleId(style)));
    return catalogueReply("relevant_voicings", "styles", std::move(styles), request);
}

BridgeReply handleGetRangePresets(const json& request) {
    json presets = json::object();
    for (const RangePreset& p : kRangePresets) {
        presets[std::string(p.key)] = {
            {"name", std::string(p.name)}, {"min", p.min}, {"max", p.max}, {"center", p.center}};
    }
    return catalogueReply("range_presets", "presets", std::move(presets), request);
}

}  // namespace quillex
