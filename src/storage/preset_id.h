// Preset IDs: random lower-case version-4 UUIDs, unique within their library.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// 36 characters: lower-case hexadecimal digits with "-" at 8, 13, 18 and 23, the
// version digit "4" at 14 and a variant digit "8", "9", "a" or "b" at 19.
bool isValidPresetId(std::string_view id);

// A new ID from 16 bytes of the random device (platform::randomDeviceWord, one word
// per byte) that no entry of the library's "presets" carries. After 16 colliding
// candidates: "Could not generate a unique " + label + " ID".
std::string generatePresetId(const nlohmann::json& library, std::string_view label);

}  // namespace quillex
