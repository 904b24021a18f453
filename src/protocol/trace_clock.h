// Steady-clock times of the document trace lines and their "%f" text.
#pragma once

#include <chrono>
#include <string>

namespace quillex {

using TraceClock = std::chrono::steady_clock;

// Nanosecond difference divided by 1000000, as a double.
double elapsedMilliseconds(TraceClock::time_point from, TraceClock::time_point to);

// Fixed notation with six decimals, as "%f" writes it.
std::string formatTraceMilliseconds(double milliseconds);

}  // namespace quillex
