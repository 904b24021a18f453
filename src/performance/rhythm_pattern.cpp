// The built-in rhythm-pattern catalogue, transcribed in a compact hit notation.
#include "performance/rhythm_pattern.h"

#include <array>
#include <charconv>

namespace quillex {
namespace {

// "hits" notation: entries "offset:duration parts" separated by "; ", where parts
// is "full" (bass, middle, top) or a comma-separated list of parts in stored order.
struct PatternRow {
    std::string_view id;
    std::string_view name;
    std::string_view description;
    std::string_view category;
    std::string_view hits;
};

constexpr std::array<PatternRow, 40> kRows{{
    {"whole", "Whole Notes", "One four-beat note per bar", "Basic", "0:16 full"},
    {"half", "Half Notes", "Two chords per bar", "Basic", "0:8 full; 8:8 full"},
    {"dotted-quarter", "Dotted Quarter", "Syncopated dotted rhythm", "Basic", "0:6 full; 6:6 full; 12:4 full"},
    {"quarter", "Quarter Notes", "Four chords per bar", "Basic", "0:4 full; 4:4 full; 8:4 full; 12:4 full"},
    {"dotted-eighth", "Dotted 8th", "Dotted eighth note rhythm", "Basic",
     "0:3 full; 3:3 full; 6:3 full; 9:3 full; 12:3 full; 15:1 full"},
    {"eighth", "8th Notes", "Eight chords per bar", "Basic",
     "0:2 full; 2:2 full; 4:2 full; 6:2 full; 8:2 full; 10:2 full; 12:2 full; 14:2 full"},
    {"sixteenth", "16th Notes", "Sixteen chords per bar", "Basic",
     "0:1 full; 1:1 full; 2:1 full; 3:1 full; 4:1 full; 5:1 full; 6:1 full; 7:1 full; 8:1 full; 9:1 full; 10:1 full; "
     "11:1 full; 12:1 full; 13:1 full; 14:1 full; 15:1 full"},
    {"offbeat-eighth", "Offbeat 8ths", "Upbeat accents", "Groove", "2:2 full; 6:2 full; 10:2 full; 14:2 full"},
    {"charleston", "Charleston", "Classic jazz rhythm", "Groove", "0:6 full; 6:2 full; 10:6 full"},
    {"bossa", "Bossa Nova", "Brazilian rhythm", "Groove", "0:3 full; 3:3 full; 6:2 full; 10:3 full; 13:3 full"},
    {"neo-soul", "Neo Soul", "Laid-back groove", "Groove", "0:4 full; 6:2 full; 8:4 full; 14:2 full"},
    {"funk-1", "Funk - Chicken", "Classic chicken scratch", "Groove",
     "2:1 full; 4:1 full; 6:1 full; 10:1 full; 12:1 full; 14:1 full"},
    {"funk-2", "Funk - Ferrolt", "On the one!", "Groove", "0:3 full; 6:1 full; 8:2 full; 13:1 full"},
    {"funk-3", "Funk - Disco", "Disco string hits", "Groove", "0:2 full; 3:2 full; 6:2 full; 10:2 full; 14:2 full"},
    {"funk-4", "Funk - Syncopated", "Heavy syncopation", "Groove",
     "0:2 full; 3:1 full; 5:2 full; 8:1 full; 11:2 full; 14:2 full"},
    {"house-2", "House - Pumping", "Four-on-the-floor pump", "Electronic", "0:2 full; 4:2 full; 8:2 full; 12:2 full"},
    {"house-3", "House - Garage", "UK garage shuffle", "Electronic", "0:3 full; 6:2 full; 10:2 full; 14:2 full"},
    {"house-4", "House - Deep", "Deep house sustained", "Electronic", "0:6 full; 8:4 full; 14:2 full"},
    {"techno-1", "Techno - Minimal", "Minimal techno pulse", "Electronic", "0:1 full; 4:1 full; 8:1 full; 12:1 full"},
    {"techno-2", "Techno - Industrial", "Industrial stab pattern", "Electronic",
     "0:2 full; 3:1 full; 6:2 full; 9:1 full; 12:2 full; 15:1 full"},
    {"electro-1", "Electro - Robot", "Robot funk pattern", "Electronic",
     "0:2 full; 4:1 full; 6:2 full; 10:1 full; 12:2 full"},
    {"trance-1", "Trance - Gated", "Gated trance stabs", "Electronic",
     "0:1 full; 2:1 full; 4:1 full; 6:1 full; 8:1 full; 10:1 full; 12:1 full; 14:1 full"},
    {"trance-2", "Trance - Uplifting", "Uplifting trance rhythm", "Electronic",
     "0:4 full; 6:2 full; 10:2 full; 14:2 full"},
    {"trance-3", "Trance - Progressive", "Progressive trance groove", "Electronic",
     "0:2 full; 3:1 full; 6:2 full; 10:2 full; 13:1 full"},
    {"trance-4", "Trance - Anthem", "Big room anthem stabs", "Electronic", "0:2 full; 4:2 full; 6:2 full; 12:4 full"},
    {"hiphop-1", "Hip Hop - Boom Bap", "Classic boom bap", "Hip Hop & Latin", "0:4 full; 6:2 full; 12:4 full"},
    {"hiphop-2", "Hip Hop - Lo-Fi", "Lo-fi chill hop", "Hip Hop & Latin", "0:6 full; 7:3 full; 12:4 full"},
    {"trap-1", "Trap - Hi-Hats", "Trap hi-hat pattern", "Hip Hop & Latin",
     "0:1 full; 2:1 full; 3:1 full; 4:1 full; 6:1 full; 7:1 full; 8:1 full; 10:1 full; 11:1 full; 12:1 full; 14:1 "
     "full; 15:1 full"},
    {"salsa", "Salsa", "Montuno pattern", "Hip Hop & Latin",
     "0:2 full; 3:1 full; 4:2 full; 7:1 full; 8:2 full; 11:1 full; 12:2 full; 15:1 full"},
    {"reggaeton", "Reggaeton", "Dembow rhythm", "Hip Hop & Latin",
     "0:2 full; 3:2 full; 6:2 full; 8:2 full; 11:2 full; 14:2 full"},
    {"split-1", "Split - Bass First", "Bass leads, upper follows", "Split Voice",
     "0:8 bass; 2:6 middle, top; 8:8 bass; 10:6 middle, top"},
    {"split-2", "Split - Stride", "Stride piano style", "Split Voice",
     "0:4 bass; 4:4 middle, top; 8:4 bass; 12:4 middle, top"},
    {"split-3", "Split - Broken", "Broken chord arpeggio feel", "Split Voice",
     "0:4 bass; 2:3 middle; 4:4 top; 8:4 bass; 10:3 middle; 12:4 top"},
    {"split-4", "Split - Call Response", "Bass call, upper response", "Split Voice",
     "0:3 bass; 4:4 middle, top; 10:3 bass; 14:2 middle, top"},
    {"split-5", "Split - Gospel", "Gospel piano voicings", "Split Voice",
     "0:6 bass; 2:4 middle, top; 8:4 bass, top; 12:4 middle, top"},
    {"split-6", "Split - RnB", "R&B keyboard pattern", "Split Voice",
     "0:8 bass; 3:3 middle, top; 8:8 bass; 10:2 middle, top; 14:2 middle, top"},
    {"split-arp-up", "Split - Arp Up", "Arpeggiate upward", "Split Voice", "0:4 bass; 4:4 middle; 8:8 top"},
    {"split-arp-down", "Split - Arp Down", "Arpeggiate downward", "Split Voice", "0:4 top; 4:4 middle; 8:8 bass"},
    {"split-house", "Split - House", "House with walking bass", "Split Voice",
     "0:2 bass; 2:2 middle, top; 4:2 bass; 6:2 middle, top; 8:2 bass; 10:2 middle, top; 12:2 bass; 14:2 middle, top"},
    {"split-reggae", "Split - Reggae", "Reggae skank + bass", "Split Voice",
     "0:4 bass; 6:2 middle, top; 8:4 bass; 14:2 middle, top"},
}};

std::int32_t readInt(std::string_view text) {
    std::int32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::vector<RhythmEvent> expandHits(std::string_view hits) {
    std::vector<RhythmEvent> events;
    while (!hits.empty()) {
        const auto end = hits.find(';');
        const std::string_view entry = trim(hits.substr(0, end));
        hits = end == std::string_view::npos ? std::string_view{} : hits.substr(end + 1);

        const auto colon = entry.find(':');
        const auto space = entry.find(' ');
        const std::int32_t offset = readInt(entry.substr(0, colon));
        const std::int32_t duration = readInt(entry.substr(colon + 1, space - colon - 1));
        std::string_view parts = trim(entry.substr(space + 1));
        if (parts == "full") parts = "bass, middle, top";
        while (!parts.empty()) {
            const auto comma = parts.find(',');
            events.push_back({offset, duration, std::string(trim(parts.substr(0, comma))), 100});
            parts = comma == std::string_view::npos ? std::string_view{} : parts.substr(comma + 1);
        }
    }
    return events;
}

std::vector<RhythmPatternPreset> buildRhythmPatternPresets() {
    std::vector<RhythmPatternPreset> presets;
    presets.reserve(kRows.size());
    for (const PatternRow& row : kRows) {
        RhythmPatternPreset preset{std::string(row.id),       std::string(row.name), std::string(row.description),
                                   std::string(row.category), expandHits(row.hits),  16};
        presets.push_back(std::move(preset));
    }
    return presets;
}

}  // namespace

const std::vector<RhythmPatternPreset>& builtInRhythmPatterns() {
    static const std::vector<RhythmPatternPreset> presets = buildRhythmPatternPresets();
    return presets;
}

const RhythmPatternPreset* findBuiltInRhythmPattern(std::string_view id) {
    for (const RhythmPatternPreset& preset : builtInRhythmPatterns()) {
        if (preset.id == id) return &preset;
    }
    return nullptr;
}

namespace {
// Builds the catalogue while the library loads, so no request pays for it.
[[maybe_unused]] const bool kCatalogueBuiltAtLoad = (builtInRhythmPatterns(), true);
}  // namespace

}  // namespace quillex
