// 64-bit FNV-1a hashing for the corpus models' text-keyed maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "digest/fnv1a.h"

namespace quillex {

// Transparent hash, so maps keyed by std::string accept std::string_view lookups.
struct CorpusTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return static_cast<std::size_t>(fnv1a64(text)); }
    std::size_t operator()(const std::string& text) const { return (*this)(std::string_view(text)); }
};

// Hashes the four little-endian bytes of a length the same way.
struct CorpusLengthHash {
    std::size_t operator()(std::uint32_t length) const;
};

}  // namespace quillex
