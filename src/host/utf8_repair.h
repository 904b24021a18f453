// Valid UTF-8 from any bytes, so that text echoed back to the page always serialises.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillex {

// Length (1 to 4) of the well-formed UTF-8 sequence that starts at byte i, or 0
// when the byte there starts none.
std::size_t wellFormedUtf8Length(std::string_view text, std::size_t i);

// The text with every byte that is not part of a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF included)
// replaced by U+FFFD; valid text comes back unchanged.
std::string repairUtf8(std::string_view text);

}  // namespace quillex
