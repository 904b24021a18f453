// The chord of a progression slot as the document stores it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillex {

struct SlotChord {
    std::string original;                 // chord text as entered; always present
    std::optional<std::string> root;      // root spelling
    std::optional<std::string> quality;   // canonical quality name
    std::optional<std::string> symbol;    // respelled chord symbol
    std::optional<std::string> category;  // quality family
    std::optional<std::string> roman;     // Roman numeral in the document key
    std::optional<double> degree;         // scale degree of the root (0 when off the scale)
    std::optional<std::string> bassNote;  // slash-bass spelling
    // The bass came from the older JSON key "bass" and is written back under it;
    // chords the system makes leave it false and use "bassNote".
    bool usesLegacyBassKey = false;
    std::vector<std::int32_t> intervals;  // semitones above the root

    // Optionals compare by presence then value; a NaN degree never equals anything.
    friend bool operator==(const SlotChord&, const SlotChord&) = default;
};

}  // namespace quillex
