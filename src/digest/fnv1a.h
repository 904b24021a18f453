// FNV-1a hashing of bytes, 32 and 64 bits wide.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillex {

inline constexpr std::uint32_t kFnv1a32Basis = 2166136261u;
inline constexpr std::uint32_t kFnv1a32Prime = 16777619u;

// 32-bit FNV-1a continued over `bytes` from `hash`.
std::uint32_t fnv1a32(std::uint32_t hash, std::string_view bytes);

// The standard 64-bit FNV-1a hash of `bytes`.
std::uint64_t fnv1a64(std::string_view bytes);

}  // namespace quillex
