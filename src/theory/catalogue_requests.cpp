// Handlers of the chord-parsing and catalogue requests.
#include "theory/catalogue_requests.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "performance/rhythm_pattern.h"
#include "protocol/json_number.h"
#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/chord_quality_table.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/quality_family.h"
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

BridgeReply catalogueReply(const char* type, const char* key, json value, const json& request) {
    json payload = json::object();
    payload[key] = std::move(value);
    return {type, attachRequestId(std::move(payload), readRequestId(request))};
}

bool contains(const std::vector<std::int32_t>& list, std::int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

BridgeReply handleParseChord(const json& request) {
    if (!request.is_object() || !request.contains("chord")) {
        return {"parse_error", json{{"message", "Missing chord"}}};
    }
    const std::string text = request.at("chord").get<std::string>();
    const std::optional<Chord> chord = parseChordSymbol(text);
    if (!chord) return {"parse_error", json{{"message", "Invalid chord"}}};

    // The table follows the accidental typed on the root; without one, a
    // flat-five chord without a perfect fifth reads better in flats.
    const std::string token = rootSpellingToken(text);
    bool flat;
    if (token.find('b') != std::string::npos) {
        flat = true;
    } else if (token.find('#') != std::string::npos) {
        flat = false;
    } else {
        flat = contains(chord->intervals, 6) && !contains(chord->intervals, 7);
    }

    json payload{{"root", std::string(pitchClassName(chord->root, flat))},
                 {"quality", chord->quality},
                 {"symbol", chord->symbol},
                 {"category", classifyQualityFamily(ChordQuality{chord->quality, chord->intervals})}};
    if (chord->bass) payload["bass"] = std::string(pitchClassName(*chord->bass, flat));
    return {"parse_result", std::move(payload)};
}

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

BridgeReply handleGetSupportedQualities(const json& request) {
    const CanonicalQualityTable& table = canonicalQualityTable();
    std::vector<const CanonicalQualityTable::value_type*> entries;
    entries.reserve(table.size());
    for (const auto& entry : table) entries.push_back(&entry);
    // Byte order, independent of the hash table's iteration order.
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });

    json qualities = json::array();
    for (const auto* entry : entries) qualities.push_back({{"symbol", entry->first}, {"intervals", entry->second}});
    return catalogueReply("supported_qualities", "qualities", std::move(qualities), request);
}

namespace {

json writeRhythmPatternsJson() {
    json patterns = json::object();
    std::int32_t order = 0;
    for (const RhythmPatternPreset& preset : builtInRhythmPatterns()) {
        json events = json::array();
        for (const RhythmEvent& e : preset.events) {
            events.push_back(
                {{"offset", e.offset}, {"duration", e.duration}, {"part", e.part}, {"velocity", e.velocity}});
        }
        patterns[preset.id] = {
            {"name", preset.name}, {"description", preset.description}, {"category", preset.category},
            {"order", order++},    {"lengthSteps", preset.lengthSteps}, {"pattern", std::move(events)}};
    }
    return patterns;
}

}  // namespace

BridgeReply handleGetRhythmPatterns(const json& request) {
    return catalogueReply("rhythm_patterns", "patterns", writeRhythmPatternsJson(), request);
}

}  // namespace quillex
