// FNV-1a against the published test vectors, and the 32-bit hash continued piece by piece.
#include "digest/fnv1a.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

TEST(Fnv1a, MatchesThePublishedVectors) {
    const struct {
        std::string_view text;
        std::uint32_t hash32;
        std::uint64_t hash64;
    } vectors[]{
        {"", 0x811c9dc5u, 0xcbf29ce484222325ULL},
        {"a", 0xe40c292cu, 0xaf63dc4c8601ec8cULL},
        {"foobar", 0xbf9cf968u, 0x85944171f73967e8ULL},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(fnv1a32(kFnv1a32Basis, v.text), v.hash32) << v.text;
        EXPECT_EQ(fnv1a64(v.text), v.hash64) << v.text;
    }
    EXPECT_EQ(fnv1a32(fnv1a32(kFnv1a32Basis, "foo"), "bar"), fnv1a32(kFnv1a32Basis, "foobar"));
}

}  // namespace
}  // namespace quillex
