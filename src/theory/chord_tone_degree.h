// The letter distance of a chord tone above its root, by interval.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillex {

// Degree class 0..6 (0 root, 1 second/ninth, 2 third, 3 fourth/eleventh,
// 4 fifth, 5 sixth/thirteenth, 6 seventh); a 9 in a "dim" quality is a seventh.
std::int32_t chordToneDegreeOfInterval(std::string_view quality, std::int32_t interval);

}  // namespace quillex
