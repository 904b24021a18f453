// The generator's random draws, written out by hand so every draw is fixed bit for bit.
#pragma once

#include <cstdint>
#include <random>
#include <string_view>

namespace quillex {

// True when a position is re-chosen: always at p >= 1, else when the top
// 24 bits of one draw, read as a fraction, fall below p.
bool drawReplaceTest(std::mt19937& generator, float p);

// An index in [0, n) by multiply-and-shift with rejection of the biased low
// words; n must be at least 1.
std::uint32_t drawUniformIndex(std::mt19937& generator, std::uint32_t n);

// A value in [0, 1) with 53 random bits from two draws a then b:
// (b * 2^21 + (a >> 11)) * 2^-53.
double drawUnitInterval(std::mt19937& generator);

}  // namespace quillex
