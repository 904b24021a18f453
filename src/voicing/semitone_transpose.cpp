// Semitone transposition of chords and their voicings.
#include "voicing/semitone_transpose.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "protocol/request_readers.h"

namespace quillex {

std::int32_t readSemitoneTranspose(const nlohmann::json& request) {
    const nlohmann::json* member = findRequestMember(request, "semitone_transpose");
    if (member == nullptr) return 0;
    return std::clamp(readInt32Saturating(*member), -kMaxSemitoneTranspose, kMaxSemitoneTranspose);
}

void transposeMidiNotes(std::vector<std::int32_t>& midi, std::int32_t offset) {
    if (offset == 0) return;
    for (std::int32_t& note : midi) {
        note = static_cast<std::int32_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(note) + offset, 0, 127));
    }
}

Chord untransposeChord(Chord chord, std::int32_t semitones) {
    const std::int32_t r = semitones % 12;
    if (r == 0) return chord;
    chord.root = transposePitchClass(chord.root, -r);
    if (chord.bass) chord.bass = transposePitchClass(*chord.bass, -r);
    return chord;
}

std::vector<std::int32_t> voiceChordWithTranspose(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                                  const ChordVoicingOptions& options, std::int32_t semitones) {
    const Chord moved = untransposeChord(chord, semitones);
    std::vector<std::int32_t> midi = notesToMidi(voiceChordInStyle(moved, style, octave, options));
    transposeMidiNotes(midi, semitones);
    return midi;
}

}  // namespace quillex
