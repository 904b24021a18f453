// Well-formed UTF-8: the one sequence check behind path rules and reply text.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillex::platform {

// Length (1 to 4) of the well-formed UTF-8 sequence that starts at byte i, or 0
// when the byte there starts none (overlong forms, surrogates and code points
// above U+10FFFF are not well formed).
std::size_t wellFormedUtf8Length(std::string_view text, std::size_t i);

// True when the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

}  // namespace quillex::platform
