// The progression section: the typed progression text, its slots and why the text failed to read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/progression_slot.h"

namespace quillex {

struct ProgressionParseError {
    std::vector<std::string> errors;  // offending tokens, in order
    std::string message;

    friend bool operator==(const ProgressionParseError&, const ProgressionParseError&) = default;
};

struct ProgressionSection {
    std::string input;
    std::vector<ProgressionSlot> slots;
    std::optional<ProgressionParseError> parseError;

    friend bool operator==(const ProgressionSection&, const ProgressionSection&) = default;
};

}  // namespace quillex
