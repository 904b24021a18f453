// The canonical chord-quality table and the quality alias table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillex {

// Hash that lets the tables be searched with a string_view without a copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// Canonical quality name -> semitone intervals (ascending, from 0).
using CanonicalQualityTable = std::unordered_map<std::string, std::vector<std::int32_t>, TextHash, std::equal_to<>>;

// Alias spelling -> canonical quality name.
using QualityAliasTable = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

// Both tables are built on first call (thread-safe) and never change after.
const CanonicalQualityTable& canonicalQualityTable();
const QualityAliasTable& qualityAliasTable();

}  // namespace quillex
