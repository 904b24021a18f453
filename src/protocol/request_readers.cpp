// Keyed request readers with the JSON library's own defaults and type errors.
#include "protocol/request_readers.h"

#include "protocol/json_number.h"

namespace quillex {

using nlohmann::json;

namespace {

std::string readText(const json& request, const char* key, const char* fallback) {
    return request.value(key, json(fallback)).get<std::string>();
}

}  // namespace

std::string readMinorScaleType(const json& request) { return readText(request, "minorScaleType", "natural"); }

std::string readKeyMode(const json& request) { return readText(request, "mode", "major"); }

bool readIncludeAvlDebug(const json& request, bool fallback) {
    return request.value("include_avl_debug", json(fallback)).get<bool>();
}

json readKeyObject(const json& request, json fallback) {
    if (!request.is_object()) return request.value("key", std::move(fallback));
    const auto it = request.find("key");
    return it == request.end() ? std::move(fallback) : *it;
}

std::int32_t readDiatonicExtension(const json& request, std::int32_t fallback) {
    return readInt32Saturating(request.value("diatonicExtension", json(fallback)));
}

std::string readRelativeToMode(const json& request) { return readText(request, "relativeToMode", "major"); }

std::string readVoicingStyle(const json& request) { return readText(request, "voicingStyle", "closed"); }

std::int32_t readOctave(const json& request) { return readInt32Saturating(request.value("octave", json(4))); }

std::int32_t readInversion(const json& request) { return readInt32Saturating(request.value("inversion", json(0))); }

bool readDropBass(const json& request) { return request.value("drop_bass", json(false)).get<bool>(); }

std::string readOldMinorScaleType(const json& request) { return readText(request, "oldMinorScaleType", "natural"); }

bool readRespellChordSymbols(const json& request, bool fallback) {
    return request.value("respellChordSymbols", json(fallback)).get<bool>();
}

bool holdsString(const json& object, const char* key) {
    if (!object.is_object()) return false;
    const auto it = object.find(key);
    return it != object.end() && it->is_string();
}

bool hasOldMinorScaleType(const json& request) { return request.is_object() && request.contains("oldMinorScaleType"); }

json attachRequestId(json payload, const std::string& requestId) {
    if (!requestId.empty()) payload["request_id"] = requestId;
    return payload;
}

}  // namespace quillex
