// The one parser for JSON text entering the engine: the library's parser with a nesting limit.
#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quillex {

// Deepest nesting of arrays and objects a JSON text may hold: far above any
// real message, far below what would exhaust a host thread's stack when the
// value is later copied or compared (both recurse).
inline constexpr std::size_t kJsonNestingLimit = 512;

// Parses `text` exactly as `nlohmann::json::parse` does, except that a text
// nesting arrays or objects deeper than `kJsonNestingLimit` levels (a top-level
// array is level 1) is refused with the library's parse_error 101, at the byte
// of the first opening bracket past the limit.
nlohmann::json parseJsonText(std::string_view text);

// Whether `value` nests arrays or objects more than `levels` deep (a bare
// array is one level), found without recursion, so a value built in memory
// can be checked before anything copies, compares or writes it.
bool nestsDeeperThan(const nlohmann::json& value, std::size_t levels);

}  // namespace quillex
