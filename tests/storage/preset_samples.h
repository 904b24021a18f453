// Preset libraries and entries whose revisions were computed with sha256sum of their canonical texts.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quillex::testing {

inline const std::string kGrooveId = "0b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4b";
inline const std::string kCafeId = "9f86d081-884c-4d63-9a2f-1b2c3d4e5f60";
inline const std::string kStrumId = "5e2b8c1a-7d3f-4e6a-b9c0-d1e2f3a4b5c6";

// "Café ☕ 🎵" as raw UTF-8.
inline const std::string kCafeName = "Caf\xc3\xa9 \xe2\x98\x95 \xf0\x9f\x8e\xb5";
// "Ströme ↑" as raw UTF-8.
inline const std::string kStromeName = "Str\xc3\xb6me \xe2\x86\x91";

// sha256sum of {"events":[bass 0+4 v100, top 4+2 v80],"lengthSteps":16,"name":"Groove"}.
inline const std::string kGrooveRevision = "64b1228ad938f259ec25c5e263c71ae2708c408e8e94c61a1f520063679f1b69";
// ... of {"events":[middle 0+8 v64, top 0+2 v1],"lengthSteps":8,"name":"Café ☕ 🎵"}.
inline const std::string kCafeRevision = "1f1cb91e898e9f7c4488d889b582bf739d38e8322fd6cb9a3d45c687757e36e2";
// ... of {"events":[...groove...],"name":"Groove"} (version 2) and of the events alone (version 1).
inline const std::string kGrooveV2Revision = "14313fd8fa12a5d502473a721baa6b8c5648237e2233dc5c89d76962ce4023e9";
inline const std::string kGrooveV1Revision = "3556cf3c6a777a4aab90a0708cb1af8b74c43cfa2e0bc100f4af9ad2795927ec";
// ... of {"name":"Strum","payload":advancedGesture()} and with the name "Ströme ↑".
inline const std::string kStrumRevision = "95c423e6bb8d5f6df9146121d7ba08b19a70f9a4fc090c4347a19db250d9ac0b";
inline const std::string kStromeRevision = "2506a7542e4b665c89e6af1fd6ef1fc5fbd6d645636708d15aa28ce047f3feb4";

inline nlohmann::json rhythmEvent(int offset, int duration, const char* part, int velocity) {
    return {{"offset", offset}, {"duration", duration}, {"part", part}, {"velocity", velocity}};
}

inline nlohmann::json grooveEvents() {
    return nlohmann::json::array({rhythmEvent(0, 4, "bass", 100), rhythmEvent(4, 2, "top", 80)});
}

inline nlohmann::json cafeEvents() {
    return nlohmann::json::array({rhythmEvent(0, 8, "middle", 64), rhythmEvent(0, 2, "top", 1)});
}

inline nlohmann::json grooveEntry() {
    return {{"id", kGrooveId},
            {"name", "Groove"},
            {"revision", kGrooveRevision},
            {"lengthSteps", 16},
            {"events", grooveEvents()}};
}

inline nlohmann::json cafeEntry() {
    return {{"id", kCafeId},
            {"name", kCafeName},
            {"revision", kCafeRevision},
            {"lengthSteps", 8},
            {"events", cafeEvents()}};
}

inline nlohmann::json presetLibrary(int version, std::vector<nlohmann::json> entries) {
    return {{"schemaVersion", version}, {"presets", nlohmann::json(std::move(entries))}};
}

inline nlohmann::json curve(int start, int mid, int end) {
    return {{"start", start}, {"mid", mid}, {"midPosition", 50}, {"end", end}, {"firstBend", 0}, {"secondBend", 0}};
}

// The schema's default new-chord gesture with the attack switched to Advanced.
inline nlohmann::json advancedGesture() {
    nlohmann::json attack = {{"mode", "advanced"},
                             {"orderKinds", nlohmann::json::array({"up", "up", "up", "up", "up", "up", "up", "up"})},
                             {"roundRobinLength", 1},
                             {"globalFollow", false},
                             {"timingBasis", "total"},
                             {"gate", "hold"},
                             {"dynamic", false},
                             {"spread", "1/64"},
                             {"includeBass", true},
                             {"velocityRange", {{"minimum", 100}, {"maximum", 100}}},
                             {"velocityCurve", curve(100, 100, 100)},
                             {"rateContour", curve(50, 50, 50)},
                             {"velocityRateCurve", curve(100, 50, 0)}};
    nlohmann::json orders = nlohmann::json::array();
    for (int seed = 1; seed <= 8; ++seed)
        orders.push_back({{"order", nlohmann::json::array()}, {"velocitySeed", seed}});
    return {{"velocity", 100}, {"attack", attack}, {"attackOrders", orders}};
}

inline nlohmann::json strumEntry() {
    return {{"id", kStrumId}, {"name", "Strum"}, {"revision", kStrumRevision}, {"gesture", advancedGesture()}};
}

// The JSON library's own message for a text it cannot parse.
inline std::string libraryParseText(const std::string& text) {
    try {
        const auto parsed = nlohmann::json::parse(text);
        return "parsed: " + parsed.dump();
    } catch (const nlohmann::json::exception& e) {
        return e.what();
    }
}

}  // namespace quillex::testing
