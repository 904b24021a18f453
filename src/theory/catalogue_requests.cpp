// Handlers of the chord-parsing and supported-qualities requests.
#include "theory/catalogue_requests.h"

#include <algorithm>
#include <vector>

#include "protocol/request_readers.h"
#include "theory/chord_quality_table.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/quality_family.h"

namespace quillex {

using nlohmann::json;

namespace {

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

}  // namespace quillex
