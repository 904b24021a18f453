// Keyed readers of request members shared by the theory, voicing and generation requests.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// Every reader follows the JSON library's keyed lookup with a default: a
// request that is not an object raises type error 306, an absent key gives the
// default, a present key of the wrong type (null included) raises type error
// 302. Numbers go through the range-safe reader (floats truncate and saturate).
// Members are read where they lie, never copied before their type is known, so
// a member of any size or depth costs no more than its type check.

// The member `key` of `request`, or null when absent. A request that is not an
// object raises type error 306, as the library's keyed lookup with a default does.
const nlohmann::json* findRequestMember(const nlohmann::json& request, const char* key);

std::string readMinorScaleType(const nlohmann::json& request);           // "minorScaleType", "natural"
std::string readKeyMode(const nlohmann::json& request);                  // "mode", "major"
bool readIncludeAvlDebug(const nlohmann::json& request, bool fallback);  // "include_avl_debug"
// "key", copied; a member nesting deeper than kJsonNestingLimit levels raises
// std::runtime_error rather than exhausting the stack in the copy.
nlohmann::json readKeyObject(const nlohmann::json& request, nlohmann::json fallback);
std::int32_t readDiatonicExtension(const nlohmann::json& request, std::int32_t fallback);
std::string readRelativeToMode(const nlohmann::json& request);     // "relativeToMode", "major"
std::string readVoicingStyle(const nlohmann::json& request);       // "voicingStyle", "closed"
std::int32_t readOctave(const nlohmann::json& request);            // "octave", 4 (not clamped)
std::int32_t readInversion(const nlohmann::json& request);         // "inversion", 0
bool readDropBass(const nlohmann::json& request);                  // "drop_bass", false
std::string readOldMinorScaleType(const nlohmann::json& request);  // "oldMinorScaleType", "natural"
bool readRespellChordSymbols(const nlohmann::json& request, bool fallback);

// Whether `object` holds `key` as a string; false for a value that is not an object.
bool holdsString(const nlohmann::json& object, const char* key);

// Presence of "oldMinorScaleType"; false for a request that is not an object.
bool hasOldMinorScaleType(const nlohmann::json& request);

// The payload with "request_id" set to `requestId` when that is not empty.
nlohmann::json attachRequestId(nlohmann::json payload, const std::string& requestId);

// The fixed-catalogue reply `type`: `value` under `key`, and the request's
// "request_id" echoed when it is a non-empty text.
BridgeReply catalogueReply(const char* type, const char* key, nlohmann::json value, const nlohmann::json& request);

}  // namespace quillex
