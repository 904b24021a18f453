// SHA-256 against the FIPS 180-4 vectors and independently computed digests.
#include "digest/sha256.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillex {
namespace {

std::string digestHex(const std::string& text) {
    std::uint8_t digest[kSha256DigestSize];
    sha256(text.data(), text.size(), digest);
    return toLowerHex(digest, sizeof digest);
}

// Bytes (31 i + 7) mod 256: every byte value, so word order and sign slips show.
std::string patternText(std::size_t length) {
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>((i * 31 + 7) % 256);
    return text;
}

TEST(Sha256, MatchesThePublishedVectors) {
    EXPECT_EQ(digestHex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestHex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(digestHex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqk"
                        "lmnopqrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(digestHex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the padding boundaries, checked against sha256sum of the same bytes.
TEST(Sha256, PaddingBoundariesMatchAnIndependentDigest) {
    struct Case {
        std::size_t length;
        const char* repeatedA;
        const char* pattern;
    };
    const std::vector<Case> cases = {
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318",
         "8aa994584139d128848eeebc4e815639ba5ab6e6e39574195a63ac4f14f7c43b"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a",
         "ad574708f75c044c9b85de64cb568ee7711ff4f36448c6242f053ba8f6cc2b63"},
        {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34",
         "280ed3e8ff1df845b2e7dfe6ac6cee817bef20e783cc65abc41b818b4d2fe076"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb",
         "c6ab9724ade5b6a7a1edfffb12f3aa9181351355af8fd08c919952ad211339dd"},
        {65, "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0",
         "788367c73c7ddf4c53f65e68cc0d943e6227ab55b0e78ba63ace822b1c6301c0"},
        {1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
         "668f6709eed11666baa9f0fcd94cbae12c6ad4236918792be36e62d03257fc44"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(digestHex(std::string(c.length, 'a')), c.repeatedA);
        EXPECT_EQ(digestHex(patternText(c.length)), c.pattern);
    }
}

TEST(Sha256, ReadsOnlyTheGivenRange) {
    const std::string text = "abcdef";
    std::uint8_t digest[kSha256DigestSize];
    sha256(text.data(), 3, digest);
    EXPECT_EQ(toLowerHex(digest, sizeof digest), digestHex("abc"));
    sha256(nullptr, 0, digest);
    EXPECT_EQ(toLowerHex(digest, sizeof digest), digestHex(""));
}

TEST(LowerHex, EncodesEveryByteAsTwoLowerCaseDigits) {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    const std::string hex = toLowerHex(bytes.data(), bytes.size());
    ASSERT_EQ(hex.size(), 512u);
    for (int i = 0; i < 256; ++i) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02x", i);
        EXPECT_EQ(hex.substr(2 * i, 2), expected);
    }
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(toLowerHex(bytes.data(), 0), "");
}

TEST(LowerHex, DigestsAlwaysEncodeToSixtyFourCharacters) {
    for (std::size_t length = 0; length < 200; ++length) {
        const std::string hex = digestHex(patternText(length));
        EXPECT_EQ(hex.size(), 64u);
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
    }
}

}  // namespace
}  // namespace quillex

namespace quillex {
namespace {

// The processor's SHA instructions, where present, must agree with the
// portable rounds for every tail length and for many whole blocks.
TEST(Sha256, HardwareAndPortableBlocksAgree) {
    std::vector<std::uint8_t> bytes(5000);
    std::uint32_t seed = 12345;
    for (auto& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{55}, std::size_t{56}, std::size_t{63},
                               std::size_t{64}, std::size_t{65}, std::size_t{119}, std::size_t{120}, std::size_t{128},
                               std::size_t{1000}, std::size_t{4999}, std::size_t{5000}}) {
        std::uint8_t fast[kSha256DigestSize];
        std::uint8_t portable[kSha256DigestSize];
        sha256(bytes.data(), length, fast);
        sha256Portable(bytes.data(), length, portable);
        EXPECT_EQ(toLowerHex(fast, sizeof fast), toLowerHex(portable, sizeof portable)) << length;
    }
    RecordProperty("hardware", sha256UsesHardware() ? "yes" : "no");
}

}  // namespace
}  // namespace quillex
