// Note names of a voiced chord's sounding notes and the slash bass a voicing implies.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"

namespace quillex {

struct VoicingDisplayMetadata {
    std::vector<std::string> noteLabels;   // one per note, in the order given
    std::optional<std::string> slashBass;  // only for an implied slash bass

    friend bool operator==(const VoicingDisplayMetadata&, const VoicingDisplayMetadata&) = default;
};

// The pitch class spelled as a note of the key (the "fifths" preference with
// the simplify switch); nothing when the key cannot spell it.
std::optional<std::string> spellChordForDisplay(PitchClass pitchClass, const KeyContext& key, bool simplify,
                                                std::optional<DegreeHint> hint);

// The pitch class written as a chord tone on the letter its degree gives above
// the spelled root.
std::string spellChordTone(const Chord& chord, std::string_view spelledRoot, std::int32_t pitchClass, bool simplify);

// Throws std::runtime_error with the reason when the labels cannot be built.
VoicingDisplayMetadata buildVoicingDisplayMetadata(const Chord& chord, const KeyContext& key, bool simplify,
                                                   std::span<const std::int32_t> notes);

}  // namespace quillex
