// Keyed request readers with the JSON library's own defaults and type errors.
#include "protocol/request_readers.h"

#include <stdexcept>

#include "protocol/json_number.h"
#include "protocol/json_text.h"
#include "protocol/voicing_request_readers.h"

namespace quillex {

using nlohmann::json;

namespace {

std::string readText(const json& request, const char* key, const char* fallback) {
    const json* member = findRequestMember(request, key);
    return member == nullptr ? std::string(fallback) : member->get<std::string>();
}

bool readBool(const json& request, const char* key, bool fallback) {
    const json* member = findRequestMember(request, key);
    return member == nullptr ? fallback : member->get<bool>();
}

std::int32_t readInt32(const json& request, const char* key, std::int32_t fallback) {
    const json* member = findRequestMember(request, key);
    return member == nullptr ? fallback : readInt32Saturating(*member);
}

}  // namespace

const json* findRequestMember(const json& request, const char* key) {
    if (!request.is_object()) {
        throw json::type_error::create(306, std::string("cannot use value() with ") + request.type_name(), &request);
    }
    const auto it = request.find(key);
    return it == request.end() ? nullptr : &*it;
}

std::string readMinorScaleType(const json& request) { return readText(request, "minorScaleType", "natural"); }

std::string readKeyMode(const json& request) { return readText(request, "mode", "major"); }

bool readIncludeAvlDebug(const json& request, bool fallback) {
    return readBool(request, "include_avl_debug", fallback);
}

json readKeyObject(const json& request, json fallback) {
    const json* member = findRequestMember(request, "key");
    if (member == nullptr) return fallback;
    if (nestsDeeperThan(*member, kJsonNestingLimit)) throw std::runtime_error("Key object nests too deeply");
    return *member;
}

std::int32_t readDiatonicExtension(const json& request, std::int32_t fallback) {
    return readInt32(request, "diatonicExtension", fallback);
}

std::string readRelativeToMode(const json& request) { return readText(request, "relativeToMode", "major"); }

std::string readVoicingStyle(const json& request) { return readText(request, "voicingStyle", "closed"); }

std::int32_t readOctave(const json& request) { return readInt32(request, "octave", 4); }

std::int32_t readInversion(const json& request) { return readInt32(request, "inversion", 0); }

bool readDropBass(const json& request) { return readBool(request, "drop_bass", false); }

std::string readOldMinorScaleType(const json& request) { return readText(request, "oldMinorScaleType", "natural"); }

bool readRespellChordSymbols(const json& request, bool fallback) {
    return readBool(request, "respellChordSymbols", fallback);
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

BridgeReply catalogueReply(const char* type, const char* key, json value, const json& request) {
    json payload = json::object();
    payload[key] = std::move(value);
    return {type, attachRequestId(std::move(payload), readRequestId(request))};
}

}  // namespace quillex
