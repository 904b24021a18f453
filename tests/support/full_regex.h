// A whole-string regular expression matcher from the standard library, the same on every system.
#pragma once

#include <regex>
#include <string>

#include <gmock/gmock.h>

namespace quillex::testing {

// GoogleTest's own regex matcher falls back to a minimal dialect on Windows
// (no bounded repeats or bracket classes); std::regex gives every build the
// same extended expressions.
MATCHER_P(FullyMatchesRegex, pattern, "matches the regular expression \"" + std::string(pattern) + "\"") {
    return std::regex_match(std::string(arg), std::regex(std::string(pattern), std::regex::extended));
}

}  // namespace quillex::testing
