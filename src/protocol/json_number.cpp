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

// An integer as a sign and a magnitude, so signed and unsigned forms compare.
struct ExactInteger {
    bool negative;
    std::uint64_t magnitude;
};

ExactInteger exactInteger(const nlohmann::json& value) {
    if (value.is_number_unsigned()) return {false, value.get<std::uint64_t>()};
    const auto v = value.get<std::int64_t>();
    if (v >= 0) return {false, static_cast<std::uint64_t>(v)};
    return {true, static_cast<std::uint64_t>(-(v + 1)) + 1};
}

std::strong_ordering compareIntegers(ExactInteger a, ExactInteger b) {
    if (a.negative != b.negative) return a.negative ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.negative ? b.magnitude <=> a.magnitude : a.magnitude <=> b.magnitude;
}

// An integer against a finite double, without rounding either.
std::partial_ordering compareIntegerToDouble(ExactInteger i, double d) {
    constexpr double two64 = 18446744073709551616.0;
    if (d >= two64) return std::partial_ordering::less;
    if (d <= -two64) return std::partial_ordering::greater;
    const double t = std::trunc(d);
    const ExactInteger whole =
        t < 0 ? ExactInteger{true, static_cast<std::uint64_t>(-t)} : ExactInteger{false, static_cast<std::uint64_t>(t)};
    const std::strong_ordering byWhole = compareIntegers(i, whole);
    if (byWhole != 0) return byWhole;
    return 0.0 <=> d - t;  // equal whole parts: the fraction decides
}

}  // namespace

std::partial_ordering compareJsonNumbers(const nlohmann::json& a, const nlohmann::json& b) {
    if (!a.is_number() || !b.is_number()) return std::partial_ordering::unordered;
    if (a.is_number_float() && b.is_number_float()) return a.get<double>() <=> b.get<double>();
    if (a.is_number_float() || b.is_number_float()) {
        const bool floatFirst = a.is_number_float();
        const double d = (floatFirst ? a : b).get<double>();
        if (std::isnan(d)) return std::partial_ordering::unordered;
        if (std::isinf(d)) {
            const bool integerBelow = d > 0;  // the integer is below +inf, above -inf
            return (integerBelow != floatFirst) ? std::partial_ordering::less : std::partial_ordering::greater;
        }
        const std::partial_ordering order = compareIntegerToDouble(exactInteger(floatFirst ? b : a), d);
        return floatFirst ? 0 <=> order : order;
    }
    return compareIntegers(exactInteger(a), exactInteger(b));
}

std::optional<std::int32_t> readInt32Exact(const nlohmann::json& value) { return readExact<std::int32_t>(value); }

std::optional<std::uint32_t> readUint32Exact(const nlohmann::json& value) { return readExact<std::uint32_t>(value); }

std::optional<std::uint64_t> truncateToUint64(double value) {
    if (!(value > -1.0 && value < 18446744073709551616.0)) return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

std::optional<std::uint64_t> readUint64Integer(const nlohmann::json& value) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v >= 0) return static_cast<std::uint64_t>(v);
    }
    return std::nullopt;
}

}  // namespace quillex
