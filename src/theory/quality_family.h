// Quality families and chord-tone degree slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "theory/chord_symbol.h"

namespace quillex {

// One of "major", "minor", "dominant", "suspended", "diminished",
// "half-diminished", "augmented".
using QualityFamily = std::string;

// Roles of a chord tone.
inline constexpr std::uint8_t kRoleRoot = 0;
inline constexpr std::uint8_t kRoleThird = 1;
inline constexpr std::uint8_t kRoleSeventh = 2;
inline constexpr std::uint8_t kRoleFifth = 3;
inline constexpr std::uint8_t kRoleTension = 4;

struct ChordToneSlot {
    std::int32_t interval = 0;
    std::uint8_t degree = 0;  // slot 0..17
    std::uint8_t role = 0;
    bool required = true;  // false only for the perfect fifth (7)

    bool operator==(const ChordToneSlot&) const = default;
};

struct ChordToneSet {
    std::vector<ChordToneSlot> tones;  // distinct intervals, ascending, root first
    std::size_t requiredCount = 0;
    std::size_t totalCount = 0;

    bool operator==(const ChordToneSet&) const = default;
};

QualityFamily classifyQualityFamily(const ChordQuality& quality);
// As classifyQualityFamily, with "half-diminished" reported as "diminished".
QualityFamily coarseQualityFamily(const ChordQuality& quality);
QualityFamily familyOfQuality(const ChordQuality& quality);
QualityFamily familyOfChord(const Chord& chord);

ChordToneSet chordToneDegrees(const ChordQuality& quality);

}  // namespace quillex
