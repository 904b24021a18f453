// The attack operations on attack JSON, as the preview render reads an attack straight from its request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "performance/attack_timing.h"

namespace quillex {

// Missing members and values of the wrong type raise the JSON library's errors; a page
// beyond the attack's lists raises its out-of-range error.

// A contour object {"start", "mid", "midPosition", "end", "firstBend", "secondBend"} at x.
double evaluateJsonContour(const nlohmann::json& contour, double x);

// Spread in beats at a velocity position from a "velocityRateCurve" object.
double spreadBeatsFromJsonCurve(const nlohmann::json& velocityRateCurve, double x);

std::vector<std::size_t> resolveJsonAttackPageOrder(const nlohmann::json& attack, const nlohmann::json& attackOrders,
                                                    std::size_t noteCount, std::size_t page);

AttackPageTiming computeAttackVelocityMultipliers(std::span<const std::int32_t> pageNotes,
                                                  std::span<const std::int32_t> chordNotes,
                                                  const nlohmann::json& attack, const nlohmann::json& attackOrders,
                                                  std::size_t page);

// {"beats": [softest, middle, hardest], "bends": [first, second], "midPosition": m}.
nlohmann::json computeGestureShape(const nlohmann::json& attack);

}  // namespace quillex
