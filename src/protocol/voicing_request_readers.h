// Readers of the request keys shared by the chord-voicing requests.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// The member `key` when the request is an object holding it as a string, else "".
std::string readStringOrEmpty(const nlohmann::json& request, const char* key);

// "request_id" when the request is an object holding it as a string, else "".
std::string readRequestId(const nlohmann::json& request);

// "octave_shift" as a 32-bit integer (floats truncate and saturate, booleans
// read 0/1), or the default when absent; not clamped. A value of another type
// raises JSON type error 302, a request that is not an object error 306.
std::int32_t readOctaveShift(const nlohmann::json& request, std::int32_t defaultShift);

}  // namespace quillex
