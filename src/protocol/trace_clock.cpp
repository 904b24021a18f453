// Trace-line times.
#include "protocol/trace_clock.h"

#include <cstdio>

namespace quillex {

double elapsedMilliseconds(TraceClock::time_point from, TraceClock::time_point to) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
    return static_cast<double>(ns) / 1000000.0;
}

std::string formatTraceMilliseconds(double milliseconds) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%f", milliseconds);
    return n > 0 && static_cast<std::size_t>(n) < sizeof text ? std::string(text, static_cast<std::size_t>(n))
                                                              : std::string("0.000000");
}

}  // namespace quillex
