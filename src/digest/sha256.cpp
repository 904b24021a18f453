// SHA-256 as published in FIPS 180-4, one 64-byte block at a time.
#include "digest/sha256.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

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
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

void storeBigEndian(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// One round; the caller rotates the roles of the eight working variables instead of moving them.
inline void round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d, std::uint32_t e, std::uint32_t f,
                  std::uint32_t g, std::uint32_t& h, std::uint32_t constantPlusWord) {
    const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + (g ^ (e & (f ^ g))) + constantPlusWord;
    const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) | (c & (a | b)));
    d += t1;
    h = t1 + t2;
}

using State = std::array<std::uint32_t, 8>;
using BlockFunction = void (*)(State&, const std::uint8_t*, std::size_t);

void compress(State& state, const std::uint8_t* block) {
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

void compressPortable(State& state, const std::uint8_t* blocks, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) compress(state, blocks + 64 * i);
}

#if defined(__x86_64__)
// The same rounds on the processor's SHA extensions. The state lives in two
// registers as ABEF and CDGH, the order the round instruction expects.
__attribute__((target("sha,sse4.1,ssse3"))) void compressHardware(State& state, const std::uint8_t* blocks,
                                                                  std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    hgfe = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, cdab, 0xF0);

    for (std::size_t block = 0; block < count; ++block) {
        const std::uint8_t* data = blocks + 64 * block;
        const __m128i abefStart = abef;
        const __m128i cdghStart = cdgh;
        __m128i words[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& current = words[group % 4];
            if (group < 4) {
                current =
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            }
            __m128i message =
                _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            if (group >= 3 && group <= 14) {
                __m128i& next = words[(group + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, words[(group + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
            if (group >= 1 && group <= 12) {
                __m128i& previous = words[(group + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abefStart);
        cdgh = _mm_add_epi32(cdgh, cdghStart);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

bool processorHasShaExtensions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & (1u << 9)) != 0;
    const bool sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool sha = (b & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
}
#endif

BlockFunction bestBlockFunction() {
#if defined(__x86_64__)
    static const BlockFunction chosen = processorHasShaExtensions() ? compressHardware : compressPortable;
    return chosen;
#else
    return compressPortable;
#endif
}

void digest(BlockFunction blockFunction, const void* bytes, std::size_t length, std::uint8_t* output) {
    State state = kInitialHash;
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    const std::uint64_t bitLength = static_cast<std::uint64_t>(length) * 8;

    // Whole blocks straight from the input.
    const std::size_t wholeBlocks = length / 64;
    blockFunction(state, in, wholeBlocks);
    in += 64 * wholeBlocks;
    length -= 64 * wholeBlocks;

    // The tail and the padding: 0x80, zeros, the bit length, in one or two blocks.
    std::uint8_t tail[128] = {};
    if (length > 0) std::memcpy(tail, in, length);
    tail[length] = 0x80;
    const std::size_t tailBlocks = length >= 56 ? 2 : 1;
    for (int i = 0; i < 8; ++i) tail[64 * tailBlocks - 1 - i] = static_cast<std::uint8_t>(bitLength >> (8 * i));
    blockFunction(state, tail, tailBlocks);

    for (int i = 0; i < 8; ++i) storeBigEndian(output + 4 * i, state[i]);
}

}  // namespace

void sha256(const void* bytes, std::size_t length, std::uint8_t* output) {
    digest(bestBlockFunction(), bytes, length, output);
}

void sha256Portable(const void* bytes, std::size_t length, std::uint8_t* output) {
    digest(compressPortable, bytes, length, output);
}

bool sha256UsesHardware() { return bestBlockFunction() != compressPortable; }

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
