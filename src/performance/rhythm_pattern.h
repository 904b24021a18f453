// The 40 built-in rhythm patterns: which voicing part strikes at which sixteenth step.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/rhythm_event.h"

namespace quillex {

struct RhythmPatternPreset {
    std::string id;
    std::string name;
    std::string description;
    std::string category;
    std::vector<RhythmEvent> events;
    std::int32_t lengthSteps = 16;

    friend bool operator==(const RhythmPatternPreset&, const RhythmPatternPreset&) = default;
};

// The process-wide catalogue, built once when the library loads and never changed.
const std::vector<RhythmPatternPreset>& builtInRhythmPatterns();

// The first built-in pattern whose id equals `id` exactly, or null.
const RhythmPatternPreset* findBuiltInRhythmPattern(std::string_view id);

}  // namespace quillex
