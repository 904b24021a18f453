// VoicingSlot: one chord of a progression handed to the voice leading.
#pragma once

#include <cstdint>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/voicing_style.h"

namespace quillex {

struct VoicingSlot {
    Chord chord;  // already moved back by the request's transposition
    VoicingStyle style = VoicingStyle::Closed;
    std::int32_t octave = 4;
    std::int32_t octaveShift = 0;  // applied to an anchor's own voicing
    bool dropBass = false;         // applied by the request afterwards
    std::int32_t inversion = 0;    // applied to an anchor's own voicing
    std::vector<std::int32_t> manualMidi;
    bool autoVoiced = true;  // false pins the slot as an anchor

    friend bool operator==(const VoicingSlot&, const VoicingSlot&) = default;
};

}  // namespace quillex
