// FNV-1a over bytes: xor each byte in, then multiply by the prime.
#include "digest/fnv1a.h"

namespace quillex {

std::uint32_t fnv1a32(std::uint32_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= kFnv1a32Prime;
    }
    return hash;
}

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace quillex
