// The one reader for numbers that arrive in JSON requests and documents.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// Reads a JSON number (or boolean, as 0/1) as a signed 32-bit integer without
// ever casting out of range. Integers keep the JSON library's own conversion;
// a float is truncated toward zero when in range and saturates to the 32-bit
// limits outside it (NaN reads as 0). Any other type raises the library's
// type_error 302, exactly as `get<int>()` would.
std::int32_t readInt32Saturating(const nlohmann::json& value);

// Reads a JSON number as a signed 32-bit integer only when it fits: a float is
// truncated toward zero, an integer is compared exactly. Out of range, NaN,
// or not a number gives no value (the caller refuses it with its own message).
std::optional<std::int32_t> readInt32Exact(const nlohmann::json& value);

// As `readInt32Exact`, for an unsigned 32-bit field.
std::optional<std::uint32_t> readUint32Exact(const nlohmann::json& value);

// Compares two JSON numbers by their exact values, whatever their forms: a
// signed, unsigned or floating 2^63 are equal, and 2^53 + 1 is above the
// float 2^53. NaN or a value that is not a number is unordered.
std::partial_ordering compareJsonNumbers(const nlohmann::json& a, const nlohmann::json& b);

// Reads a JSON integer (never a float or a boolean) that is not negative as an
// unsigned 64-bit value; anything else gives no value.
std::optional<std::uint64_t> readUint64Integer(const nlohmann::json& value);

// A double truncated toward zero as an unsigned 64-bit value, only when the
// result fits: NaN, a value at or below -1 and one at or above 2^64 give none.
std::optional<std::uint64_t> truncateToUint64(double value);

// A 64-bit integer clamped to the signed 32-bit range.
constexpr std::int32_t saturateToInt32(std::int64_t value) {
    constexpr std::int64_t lo = -2147483648LL;
    constexpr std::int64_t hi = 2147483647LL;
    return static_cast<std::int32_t>(value < lo ? lo : value > hi ? hi : value);
}

// Truncates a double toward zero and saturates it to [lo, hi] (NaN gives 0,
// or `lo` when 0 lies outside the bounds).
std::int64_t saturateToRange(double value, std::int64_t lo, std::int64_t hi);

}  // namespace quillex
