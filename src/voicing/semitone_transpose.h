// Voicing a chord under a semitone transposition, and the request's reader.
#pragma once

#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "theory/chord_symbol.h"
#include "voicing/chord_voicing.h"
#include "voicing/voicing_style.h"

namespace quillex {

inline constexpr std::int32_t kMaxSemitoneTranspose = 48;

// "semitone_transpose", default 0, clamped to -48..48. A request that is not
// an object or a value that is not a number raises the JSON type error.
std::int32_t readSemitoneTranspose(const nlohmann::json& request);

// Every note + offset clamped to 0..127; an offset of 0 changes nothing.
void transposeMidiNotes(std::vector<std::int32_t>& midi, std::int32_t offset);

// Root and slash bass moved down by the signed remainder of semitones / 12.
Chord untransposeChord(Chord chord, std::int32_t semitones);

// Voices the moved-back chord, then shifts every note by the whole
// transposition (clamped to 0..127).
std::vector<std::int32_t> voiceChordWithTranspose(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                                  const ChordVoicingOptions& options, std::int32_t semitones);

}  // namespace quillex
