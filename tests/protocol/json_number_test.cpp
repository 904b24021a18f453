// Range-safe reading of JSON numbers.
#include "protocol/json_number.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillex {
namespace {

using nlohmann::json;
constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

TEST(ReadInt32Saturating, FloatsTruncateTowardZeroAndSaturate) {
    EXPECT_EQ(readInt32Saturating(json(2.9)), 2);
    EXPECT_EQ(readInt32Saturating(json(-2.9)), -2);
    EXPECT_EQ(readInt32Saturating(json(1e20)), kMax);
    EXPECT_EQ(readInt32Saturating(json(-1e300)), kMin);
    EXPECT_EQ(readInt32Saturating(json(std::nan(""))), 0);
    EXPECT_EQ(readInt32Saturating(json(std::numeric_limits<double>::infinity())), kMax);
}

TEST(ReadInt32Saturating, IntegersAndBooleansFollowTheLibrary) {
    EXPECT_EQ(readInt32Saturating(json(7)), 7);
    EXPECT_EQ(readInt32Saturating(json(-48)), -48);
    EXPECT_EQ(readInt32Saturating(json(true)), 1);
    EXPECT_EQ(readInt32Saturating(json(false)), 0);
}

TEST(ReadInt32Saturating, OtherTypesRaiseTheLibraryTypeError) {
    std::string expected;
    try {
        (void)json("x").get<int>();
    } catch (const json::type_error& e) {
        expected = e.what();
    }
    ASSERT_FALSE(expected.empty());
    try {
        (void)readInt32Saturating(json("x"));
        FAIL() << "no exception";
    } catch (const json::type_error& e) {
        EXPECT_EQ(e.id, 302);
        EXPECT_EQ(std::string(e.what()), expected);
    }
}

TEST(ReadInt32Exact, RefusesWhatDoesNotFit) {
    EXPECT_EQ(readInt32Exact(json(100)), 100);
    EXPECT_EQ(readInt32Exact(json(-3.7)), -3);
    EXPECT_EQ(readInt32Exact(json(4294967396LL)), std::nullopt);
    EXPECT_EQ(readInt32Exact(json(std::uint64_t{1} << 63)), std::nullopt);
    EXPECT_EQ(readInt32Exact(json(2147483648.0)), std::nullopt);
    EXPECT_EQ(readInt32Exact(json(2147483647.9)), kMax);
    EXPECT_EQ(readInt32Exact(json(std::nan(""))), std::nullopt);
    EXPECT_EQ(readInt32Exact(json("1")), std::nullopt);
    EXPECT_EQ(readInt32Exact(json(true)), std::nullopt);
    EXPECT_EQ(readUint32Exact(json(-1)), std::nullopt);
    EXPECT_EQ(readUint32Exact(json(4294967295LL)), 4294967295u);
    EXPECT_EQ(readUint32Exact(json(4294967296LL)), std::nullopt);
}

// Exact comparison across integer, unsigned and floating forms, checked against a wide-integer oracle.
TEST(CompareJsonNumbers, OrdersExactValuesWhateverTheirForm) {
    const json values[] = {json(-1e300),
                           json(std::numeric_limits<std::int64_t>::min()),
                           json(-9223372036854775808.0),
                           json(-2.5),
                           json(-2),
                           json(0),
                           json(0u),
                           json(-0.0),
                           json(0.5),
                           json(7),
                           json(7.0),
                           json(9007199254740992.0),
                           json(9007199254740993ULL),
                           json(std::numeric_limits<std::int64_t>::max()),
                           json(9223372036854775808.0),
                           json(9223372036854775808ULL),
                           json(std::numeric_limits<std::uint64_t>::max()),
                           json(18446744073709551616.0),
                           json(std::numeric_limits<double>::infinity())};
    // The exact value of each: a 64-bit mantissa holds every case here.
    auto exact = [](const json& v) -> long double {
        if (v.is_number_unsigned()) return static_cast<long double>(v.get<std::uint64_t>());
        if (v.is_number_integer()) return static_cast<long double>(v.get<std::int64_t>());
        return static_cast<long double>(v.get<double>());
    };
    static_assert(std::numeric_limits<long double>::digits >= 64, "the oracle needs 64-bit mantissas");
    for (const json& a : values) {
        for (const json& b : values) {
            EXPECT_EQ(compareJsonNumbers(a, b), exact(a) <=> exact(b)) << a.dump() << " vs " << b.dump();
        }
    }
    EXPECT_EQ(compareJsonNumbers(json(std::nan("")), json(1)), std::partial_ordering::unordered);
    EXPECT_EQ(compareJsonNumbers(json(1), json("1")), std::partial_ordering::unordered);
    EXPECT_EQ(compareJsonNumbers(json(true), json(1)), std::partial_ordering::unordered);
}

TEST(ReadUint64Integer, TakesOnlyNonNegativeIntegerValues) {
    EXPECT_EQ(readUint64Integer(json::parse("18446744073709551615")), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(readUint64Integer(json(0)), 0u);
    EXPECT_EQ(readUint64Integer(json(7)), 7u);  // a signed value from code, not from text
    EXPECT_EQ(readUint64Integer(json(-1)), std::nullopt);
    EXPECT_EQ(readUint64Integer(json::parse("3.0")), std::nullopt);
    EXPECT_EQ(readUint64Integer(json(true)), std::nullopt);
    EXPECT_EQ(readUint64Integer(json("3")), std::nullopt);
    EXPECT_EQ(readUint64Integer(json()), std::nullopt);
}

}  // namespace
}  // namespace quillex
