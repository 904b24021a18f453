// The document's voicing policy.
#pragma once

#include <string>

namespace quillex {

struct VoicingSection {
    bool autoVoiceLeading = false;
    bool allowBassChanges = false;
    bool dropBass = false;
    std::string defaultStyle;  // voicing style id

    friend bool operator==(const VoicingSection&, const VoicingSection&) = default;
};

}  // namespace quillex
