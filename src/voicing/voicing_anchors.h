// Automatic voice leading of a progression: anchors, segments and their solver options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/pitch.h"
#include "voicing/voicer_options.h"
#include "voicing/voicer_port.h"
#include "voicing/voicing_slot.h"

namespace quillex {

// From one anchor to the next (inclusive) or to the last slot.
struct AvlSegment {
    std::size_t start = 0;
    std::size_t end = 0;
    std::vector<std::int32_t> anchorMidi;
    std::vector<Chord> chords;
    std::vector<FixedNotes> fixedChords;
    VoicerOptions options{};

    friend bool operator==(const AvlSegment&, const AvlSegment&) = default;
};

// Per slot, the anchor notes once computed.
using AnchorNotes = std::vector<std::optional<std::vector<std::int32_t>>>;

// One ascending pitch list per slot; the first slot and every pinned slot
// keep their own voicing, the others are chosen by the beam search.
std::vector<std::vector<Pitch>> planAutoVoiceLeading(const std::vector<VoicingSlot>& slots, bool allowBassChanges,
                                                     VoicerPort* port);

// Manual notes sorted ascending (clamped to MIDI 0..127), else the slot's
// chord voiced in its style at octave 3 with its shift and inversion.
std::vector<std::int32_t> voiceAnchorSlot(const VoicingSlot& slot);

// `anchorNotes` has one entry per slot and is filled on demand.
std::vector<AvlSegment> buildAvlSegments(const std::vector<VoicingSlot>& slots, AnchorNotes& anchorNotes,
                                         bool allowBassChanges);

std::vector<Pitch> summarizeVoicing(std::span<const std::int32_t> midi);

}  // namespace quillex
