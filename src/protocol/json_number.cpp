// Range-safe conversion of JSON numbers to 32-bit integers.
#include "protocol/json_number.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

namespace quillex {

std::int64_t saturateToRange(double value, std::int64_t lo, std::int64_t hi) {
    if (std::isnan(value)) {
        return lo > 0 ? lo : (hi < 0 ? hi : 0);
    }
    const double t = std::trunc(value);
    if (t <= static_cast<double>(lo)) return lo;
    if (t >= static_cast<double>(hi)) return hi;
    return static_cast<std::int64_t>(t);
}

std::int32_t readInt32Saturating(const nlohmann::json& value) {
    if (value.is_number_float()) {
        return static_cast<std::int32_t>(saturateToRange(value.get<double>(), std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
    }
    // Integers, booleans and the type error for everything else: the library's own rules.
    return value.get<std::int32_t>();
}

namespace {

template <typename Int>
std::optional<Int> readExact(const nlohmann::json& value) {
    constexpr auto lo = std::numeric_limits<Int>::min();
    constexpr auto hi = std::numeric_limits<Int>::max();
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(hi)) return std::nullopt;
        return static_cast<Int>(v);
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < static_cast<std::int64_t>(lo) || v > static_cast<std::int64_t>(hi)) return std::nullopt;
        return static_cast<Int>(v);
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isnan(d)) return std::nullopt;
        const double t = std::trunc(d);
        if (t < static_cast<double>(lo) || t > static_cast<double>(hi)) return std::nullopt;
        return static_cast<Int>(t);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> readInt32Exact(const nlohmann::json& value) { return readExact<std::int32_t>(value); }

std::optional<std::uint32_t> readUint32Exact(const nlohmann::json& value) { return readExact<std::uint32_t>(value); }

}  // namespace quillex
