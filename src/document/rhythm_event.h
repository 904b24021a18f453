// One strike of one part of a voicing, in sixteenth-note steps: the unit of every rhythm pattern.
#pragma once

#include <cstdint>
#include <string>

namespace quillex {

struct RhythmEvent {
    std::int32_t offset = 0;
    std::int32_t duration = 1;
    std::string part;  // "bass", "middle" or "top"
    std::int32_t velocity = 100;

    friend bool operator==(const RhythmEvent&, const RhythmEvent&) = default;
};

}  // namespace quillex
