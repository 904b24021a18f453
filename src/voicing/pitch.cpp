// MIDI conversions of pitches and doubled-note spreading.
#include "voicing/pitch.h"

#include <algorithm>
#include <array>

#include "theory/pitch_class.h"

namespace quillex {

std::int32_t pitchToMidi(Pitch pitch) {
    return static_cast<std::int32_t>(pitch.pitchClass) + 12 * (static_cast<std::int32_t>(pitch.octave) + 1);
}

Pitch pitchFromMidi(std::int32_t midi) {
    const std::int32_t pc = reducePitchClass(midi);
    const std::int32_t octave = (midi - pc) / 12 - 1;
    return Pitch{static_cast<std::uint8_t>(pc), static_cast<std::int8_t>(octave)};
}

std::vector<std::int32_t> notesToMidi(std::span<const Pitch> pitches) {
    std::vector<std::int32_t> midi;
    midi.reserve(pitches.size());
    for (const Pitch& p : pitches) midi.push_back(pitchToMidi(p));
    return midi;
}

void raiseDuplicateNotes(std::vector<std::int32_t>& midi) {
    std::sort(midi.begin(), midi.end());
    const std::size_t n = midi.size();
    auto doubled = [&](std::size_t i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (j != i && midi[j] == midi[i]) return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < n; ++i) {
        while (midi[i] < kRaiseDuplicateCeiling && doubled(i)) midi[i] += 12;
    }
    std::sort(midi.begin(), midi.end());
}

std::vector<Pitch> midiToPitches(std::vector<std::int32_t> midi) {
    raiseDuplicateNotes(midi);
    std::vector<Pitch> pitches;
    pitches.reserve(midi.size());
    for (std::int32_t m : midi) pitches.push_back(pitchFromMidi(m));
    return pitches;
}

std::vector<std::int32_t> uniqueMidiNotes(std::span<const Pitch> pitches) {
    std::vector<std::int32_t> midi = notesToMidi(pitches);
    raiseDuplicateNotes(midi);
    return midi;
}

std::vector<std::int32_t> distinctPitchClasses(std::span<const std::int32_t> values) {
    std::array<bool, 12> seen{};
    for (std::int32_t v : values) {
        seen[reducePitchClass(v)] = true;
    }
    std::vector<std::int32_t> out;
    for (std::int32_t pc = 0; pc < 12; ++pc) {
        if (seen[static_cast<std::size_t>(pc)]) out.push_back(pc);
    }
    return out;
}

}  // namespace quillex
