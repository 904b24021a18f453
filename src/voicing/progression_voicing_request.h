// The "generate_progression" request: every slot of a progression voiced, with or without voice leading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "protocol/bridge_reply.h"
#include "theory/chord_symbol.h"
#include "voicing/chord_voicing.h"
#include "voicing/voicer_port.h"
#include "voicing/voicing_slot.h"
#include "voicing/voicing_style.h"

namespace quillex {

// Most slots one voice-led request may hold. The search costs up to a few
// milliseconds a slot on the host's main thread, so the bound keeps one
// request to a few seconds at worst while staying eight times above the 128
// slots a document can hold; longer voice-led progressions are refused.
inline constexpr std::size_t kMaxVoiceLedSlots = 1024;

// Answers "progression_voicings" or "progression_error"; the port (or, with
// none, this thread's cache state) serves the voice leading.
BridgeReply handleProgressionVoicings(const nlohmann::json& request, VoicerPort* port);

// The bridge's "generate_progression": no port.
BridgeReply handleGenerateProgression(const nlohmann::json& request);

// The chord voiced a signed remainder of the transposition lower and moved
// back up by it (clamped to 0..127): notes within an octave of the
// untransposed voicing, used for note names.
std::vector<std::int32_t> voiceChordToMidi(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                           const ChordVoicingOptions& options, std::int32_t semitones);

// Manual notes are only transposed; voice-led notes are moved from octave 3
// into the slot's octave, transposed, sorted and given the slot's drop bass.
std::vector<std::int32_t> finishSlotMidiNotes(std::vector<std::int32_t> midi, const VoicingSlot& slot,
                                              std::int32_t semitones, bool hasManual);

}  // namespace quillex
