// SHA-256 digest (FIPS 180-4) and lower-case hexadecimal text of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillex {

inline constexpr std::size_t kSha256DigestSize = 32;

// Digests `length` raw bytes (0 is valid) and writes the 32 digest bytes to `output`.
// Keeps no state between calls.
void sha256(const void* bytes, std::size_t length, std::uint8_t* output);

// The same digest computed with the portable block function only, whatever
// the processor offers; the reference the hardware path is checked against.
void sha256Portable(const void* bytes, std::size_t length, std::uint8_t* output);

// True when this processor's SHA instructions compress the blocks.
bool sha256UsesHardware();

// Two characters from "0123456789abcdef" per byte, high nibble first.
std::string toLowerHex(const void* bytes, std::size_t length);

}  // namespace quillex
