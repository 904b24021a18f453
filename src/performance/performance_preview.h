// The preview of one chord strike with a given attack, straight from a request payload.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "performance/hit_expansion.h"

namespace quillex {

// Sink context of writePreviewNotes.
struct PreviewNoteWriter {
    nlohmann::json* events = nullptr;  // an array
    std::uint32_t velocity = 1;        // the preview velocity
    bool step = false;
    double end = 0.0;  // the preview's common end
};

// Appends {"pitch", "offsetBeats", "velocity", "velocityMultiplier"} and, for a step note ending
// early, "durationBeats"; false when the JSON cannot be built.
bool writePreviewNotes(void* context, const ExpandedNote& note) noexcept;

// {"notes", "attack", "attackOrders", "velocity", "hitOrdinal"} → {"events": [...]};
// throws std::runtime_error with the failure's sentence.
nlohmann::json renderPerformancePreview(const nlohmann::json& payload);

}  // namespace quillex
