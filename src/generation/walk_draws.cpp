// Hand-written draws from the standard Mersenne Twister.
#include "generation/walk_draws.h"

#include <string_view>

namespace quillex {

bool drawReplaceTest(std::mt19937& generator, float p) {
    const std::uint32_t r = static_cast<std::uint32_t>(generator());
    if (p >= 1.0f) return true;
    // 24 bits fit a float exactly, so the comparison is exact.
    return static_cast<float>(r >> 8) * 0x1p-24f < p;
}

std::uint32_t drawUniformIndex(std::mt19937& generator, std::uint32_t n) {
    std::uint64_t m = std::uint64_t{n} * static_cast<std::uint32_t>(generator());
    std::uint32_t low = static_cast<std::uint32_t>(m);
    if (low < n) {
        const std::uint32_t threshold = static_cast<std::uint32_t>(-n) % n;  // (2^32 - n) mod n
        while (low < threshold) {
            m = std::uint64_t{n} * static_cast<std::uint32_t>(generator());
            low = static_cast<std::uint32_t>(m);
        }
    }
    return static_cast<std::uint32_t>(m >> 32);
}

double drawUnitInterval(std::mt19937& generator) {
    const std::uint64_t a = static_cast<std::uint32_t>(generator());
    const std::uint64_t b = static_cast<std::uint32_t>(generator());
    const std::uint64_t bits = (b << 21) | (a >> 11);
    return static_cast<double>(bits) * 0x1p-53;
}

}  // namespace quillex
