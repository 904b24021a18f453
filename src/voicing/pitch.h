// Pitch: a pitch class with a signed octave, and its MIDI conversions.
#pragma once

#include <compare>
#include <cstdint>
#include <span>
#include <vector>

namespace quillex {

// MIDI number = pitch class + 12 x (octave + 1); middle C (60) is {0, 4}.
struct Pitch {
    std::uint8_t pitchClass = 0;  // 0..11
    std::int8_t octave = 0;

    friend bool operator==(const Pitch&, const Pitch&) = default;
    // Ordered as their MIDI numbers are.
    friend std::strong_ordering operator<=>(const Pitch& a, const Pitch& b) {
        if (auto c = a.octave <=> b.octave; c != 0) return c;
        return a.pitchClass <=> b.pitchClass;
    }
};

// Highest MIDI number that duplicate spreading still raises from.
inline constexpr std::int32_t kRaiseDuplicateCeiling = 116;

std::int32_t pitchToMidi(Pitch pitch);

// No clamping: MIDI -1 is pitch class 11, octave -2.
Pitch pitchFromMidi(std::int32_t midi);

// One MIDI number per pitch, same order, no clamping.
std::vector<std::int32_t> notesToMidi(std::span<const Pitch> pitches);

// Sorts, pushes every doubled number up by octaves while it is below 116,
// and sorts again; duplicates can remain only at 116 and above.
void raiseDuplicateNotes(std::vector<std::int32_t>& midi);

// raiseDuplicateNotes, then each number as a Pitch (sorted, not clamped).
std::vector<Pitch> midiToPitches(std::vector<std::int32_t> midi);

// notesToMidi followed by raiseDuplicateNotes.
std::vector<std::int32_t> uniqueMidiNotes(std::span<const Pitch> pitches);

// The distinct values mod 12 (non-negative), ascending.
std::vector<std::int32_t> distinctPitchClasses(std::span<const std::int32_t> values);

}  // namespace quillex
