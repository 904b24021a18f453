// The system's random source, behind a seam through which tests supply their own words.
#pragma once

#include <cstdint>
#include <functional>

namespace quillex::platform {

// One 32-bit word from std::random_device, or from the source a test installed.
std::uint32_t randomDeviceWord();

// Replaces the source for tests; an empty function restores the device. Not for
// use while other threads draw.
void setRandomWordSourceForTesting(std::function<std::uint32_t()> source);

}  // namespace quillex::platform
