// The common shape of a preset library file and of its entries' identifying members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

inline constexpr std::size_t kMaximumPresetsPerLibrary = 256;

// An object with exactly "schemaVersion" (the integer `version`, compared exactly) and
// "presets" (an array of at most 256 entries).
bool isPresetLibraryOfVersion(const nlohmann::json& library, std::int32_t version);

// An object with exactly the given keys whose "id" is a string holding a valid preset ID
// and whose "name" and "revision" are strings.
bool isPresetEntryWithKeys(const nlohmann::json& entry, std::initializer_list<std::string_view> keys);

}  // namespace quillex
