// The document's rhythm: pattern choice, custom pattern, shift, retrigger, legato and swing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/rhythm_event.h"

namespace quillex {

struct RhythmCustomPattern {
    std::int32_t lengthSteps = 16;
    std::vector<RhythmEvent> events;

    friend bool operator==(const RhythmCustomPattern&, const RhythmCustomPattern&) = default;
};

struct RhythmSwing {
    std::string mode = "swing16";
    std::int32_t amount = 0;  // percent

    friend bool operator==(const RhythmSwing&, const RhythmSwing&) = default;
};

struct RhythmSection {
    std::string pattern = "none";  // "none", "custom" or a built-in pattern id
    std::optional<RhythmCustomPattern> customPattern;
    std::optional<std::string> presetId;
    std::int32_t shift = 0;  // sixteenth-note steps
    bool retriggerOnBlock = false;
    bool legato = false;
    RhythmSwing swing;

    friend bool operator==(const RhythmSection&, const RhythmSection&) = default;
};

}  // namespace quillex
