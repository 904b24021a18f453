// Applying a generated progression: reading its items, honouring the slot locks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// One generated step: the chord text, or none for a rest.
using GeneratedProgressionItem = std::optional<std::string>;

// The command's "items"; throws std::runtime_error at the first item that does not read.
std::vector<GeneratedProgressionItem> readGeneratedProgressionItems(const nlohmann::json& items);

}  // namespace quillex
