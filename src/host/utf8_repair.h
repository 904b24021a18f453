// Valid UTF-8 from any bytes, so that text echoed back to the page always serialises.
#pragma once

#include <string>
#include <string_view>

namespace quillex {

// The text with every byte that is not part of a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF included)
// replaced by U+FFFD; valid text comes back unchanged.
std::string repairUtf8(std::string_view text);

}  // namespace quillex
