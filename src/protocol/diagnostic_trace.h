// The process-wide diagnostic trace: an on/off switch and a list of lines under one mutex.
#pragma once

#include <string>
#include <vector>

namespace quillex {

// Switches tracing off and empties the lines.
void resetDiagnosticTrace();

// Read under the trace mutex; callers build no line while it is false.
bool isDiagnosticTraceEnabled();

// Keeps the line only while tracing is on.
void appendDiagnosticTraceLine(std::string line);

// Drops the collected lines (destroyed after the mutex is released).
void discardDiagnosticTrace();

// Nothing in the engine switches tracing on; this exists for diagnostics and tests.
void setDiagnosticTraceEnabled(bool on);

// A copy of the collected lines.
std::vector<std::string> diagnosticTraceLines();

}  // namespace quillex
