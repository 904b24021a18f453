// Preset revisions: the lower-case hexadecimal SHA-256 of a compact, sorted, raw UTF-8 JSON text.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// The stored and digested form of a preset value: no whitespace, members sorted by their
// bytes, non-ASCII characters written as raw UTF-8.
std::string compactPresetText(const nlohmann::json& value);

// The revision of a value: 64 lower-case hexadecimal characters.
std::string presetRevisionOf(const nlohmann::json& value);

// The revision of a text already in that form.
std::string presetRevisionOfText(std::string_view text);

// Exactly 64 characters, each "0"-"9" or "a"-"f".
bool isPresetRevisionForm(std::string_view revision);

}  // namespace quillex
