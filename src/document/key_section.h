// The document's key section: root spelling, mode, minor scale type, transpose offset, auto-key.
#pragma once

#include <cstdint>
#include <string>

namespace quillex {

// Immutable once shared by a document; documents hold it through a shared pointer.
struct KeySection {
    std::string root;            // spelled key root, e.g. "Eb"
    std::string mode;            // "minor" selects minor, anything else major
    std::string minorScaleType;  // "melodic" selects melodic minor, anything else natural
    std::int32_t transposeOffset = 0;
    bool autoKey = false;  // the key follows the chords

    friend bool operator==(const KeySection&, const KeySection&) = default;
};

}  // namespace quillex
