// SHA-256 as published in FIPS 180-4, one 64-byte block at a time.
#include "storage/sha256.h"

#include <array>
#include <cstring>

namespace quillex {

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<std::uint32_t, 8> kInitialHash = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void storeBigEndian(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// One round; the caller rotates the roles of the eight working variables instead of moving them.
inline void round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d, std::uint32_t e,
                  std::uint32_t f, std::uint32_t g, std::uint32_t& h, std::uint32_t constantPlusWord) {
    const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + (g ^ (e & (f ^ g))) + constantPlusWord;
    const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) | (c & (a | b)));
    d += t1;
    h = t1 + t2;
}

void compress(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = loadBigEndian(block + 4 * t);
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; t += 8) {
        round(a, b, c, d, e, f, g, h, kRoundConstants[t] + w[t]);
        round(h, a, b, c, d, e, f, g, kRoundConstants[t + 1] + w[t + 1]);
        round(g, h, a, b, c, d, e, f, kRoundConstants[t + 2] + w[t + 2]);
        round(f, g, h, a, b, c, d, e, kRoundConstants[t + 3] + w[t + 3]);
        round(e, f, g, h, a, b, c, d, kRoundConstants[t + 4] + w[t + 4]);
        round(d, e, f, g, h, a, b, c, kRoundConstants[t + 5] + w[t + 5]);
        round(c, d, e, f, g, h, a, b, kRoundConstants[t + 6] + w[t + 6]);
        round(b, c, d, e, f, g, h, a, kRoundConstants[t + 7] + w[t + 7]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

void sha256(const void* bytes, std::size_t length, std::uint8_t* output) {
    std::array<std::uint32_t, 8> state = kInitialHash;
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    std::uint64_t bitLength = 0;

    // Whole blocks straight from the input.
    while (length >= 64) {
        compress(state, in);
        bitLength += 512;
        in += 64;
        length -= 64;
    }

    // The tail in the block buffer, then the padding: 0x80, zeros, the bit length.
    std::uint8_t block[64] = {};
    if (length > 0) std::memcpy(block, in, length);
    bitLength += static_cast<std::uint64_t>(length) * 8;
    block[length] = 0x80;
    if (length >= 56) {
        compress(state, block);
        std::memset(block, 0, sizeof block);
    }
    for (int i = 0; i < 8; ++i) block[63 - i] = static_cast<std::uint8_t>(bitLength >> (8 * i));
    compress(state, block);

    for (int i = 0; i < 8; ++i) storeBigEndian(output + 4 * i, state[i]);
}

std::string toLowerHex(const void* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    std::string text(length * 2, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        text[2 * i] = kDigits[in[i] >> 4];
        text[2 * i + 1] = kDigits[in[i] & 0x0f];
    }
    return text;
}

}  // namespace quillex
