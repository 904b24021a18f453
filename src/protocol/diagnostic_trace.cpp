// The process-wide diagnostic trace.
#include "protocol/diagnostic_trace.h"

#include <mutex>
#include <utility>

namespace quillex {
namespace {

struct DiagnosticTrace {
    std::mutex mutex;
    bool enabled = false;
    std::vector<std::string> lines;
};

DiagnosticTrace& trace() {
    static DiagnosticTrace instance;
    return instance;
}

}  // namespace

void resetDiagnosticTrace() {
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(trace().mutex);
        trace().enabled = false;
        dropped.swap(trace().lines);
    }
}

bool isDiagnosticTraceEnabled() {
    std::lock_guard lock(trace().mutex);
    return trace().enabled;
}

void appendDiagnosticTraceLine(std::string line) {
    std::lock_guard lock(trace().mutex);
    if (trace().enabled) trace().lines.push_back(std::move(line));
}

void discardDiagnosticTrace() {
    if (!isDiagnosticTraceEnabled()) return;
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(trace().mutex);
        dropped.swap(trace().lines);
    }
}

void setDiagnosticTraceEnabled(bool on) {
    std::lock_guard lock(trace().mutex);
    trace().enabled = on;
}

std::vector<std::string> diagnosticTraceLines() {
    std::lock_guard lock(trace().mutex);
    return trace().lines;
}

}  // namespace quillex
