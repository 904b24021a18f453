// Single-chord voicing: one chord in one style at an octave, with options.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/pitch.h"
#include "voicing/voicing_plan.h"
#include "voicing/voicing_style.h"

namespace quillex {

struct ChordVoicingOptions {
    std::int32_t octaveShift = 0;  // added to the octave before voicing
    bool dropBass = false;         // lower the lowest note an octave at the end
    std::int32_t inversion = 0;    // negative = downwards

    friend bool operator==(const ChordVoicingOptions&, const ChordVoicingOptions&) = default;
};

inline constexpr std::int32_t kMinVoicingOctave = 0;
inline constexpr std::int32_t kMaxVoicingOctave = 7;

// Octave plus shift (summed in 64 bits) clamped to 0..7.
std::int32_t effectiveVoicingOctave(std::int64_t octave, std::int64_t octaveShift);

// Semitone offsets above the root that the style sounds, ascending, distinct.
// Throws "No descriptor-based voicing plan available for style" when a plan
// style finds no plan (anthem falls back on its own stacking instead).
std::vector<std::int32_t> styleIntervals(VoicingStyle style, std::span<const std::int32_t> intervals);

// Builder plans, else template plans, else descriptor plans.
std::vector<VoicingPlan> voicingPlansForStyle(const Chord& chord, VoicingStyle style);

// styleIntervals placed on the root at the octave, ascending.
std::vector<Pitch> styledPitches(const Chord& chord, VoicingStyle style, std::int32_t octave);

// The chord voiced in the style, every note within MIDI 0..127, ascending.
std::vector<Pitch> voiceChordInStyle(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                     const ChordVoicingOptions& options);

// How many inversion steps make sense for the chord in the style (>= 1).
std::int32_t maxManualInversion(const Chord& chord, VoicingStyle style, std::int32_t octave, std::int32_t octaveShift);

// The steps of voicing, in the order voiceChordInStyle applies them.
std::vector<std::int32_t> shellIntervals(std::span<const std::int32_t> intervals);
std::vector<std::int32_t> anthemFallbackIntervals(std::span<const std::int32_t> intervals);
bool isRootedTriad(std::span<const std::int32_t> intervals);
std::vector<std::int32_t> spreadUpperStructure(VoicingStyle style, std::span<const std::int32_t> intervals,
                                               std::vector<std::int32_t> offsets);
void invertMidiNotes(std::vector<std::int32_t>& midi, std::int32_t inversion);
std::vector<Pitch> invertVoicing(const Chord& chord, VoicingStyle style, std::int32_t octave, std::int32_t inversion);
std::vector<Pitch> placeSlashBass(const std::vector<Pitch>& voicing, const Chord& chord, VoicingStyle style,
                                  std::optional<std::int32_t> lowest, std::size_t count);
std::vector<Pitch> insertBassNote(std::vector<std::int32_t> midi, const Chord& chord, VoicingStyle style,
                                  std::int32_t bassNote, std::size_t count);
void spaceNotesAboveBass(std::vector<std::int32_t>& midi, std::size_t bassPosition, std::int32_t gap);
bool dropDoubledPitchClass(std::vector<std::int32_t>& midi, std::size_t& bassPosition);
bool dropChordFifth(std::vector<std::int32_t>& midi, const Chord& chord, std::size_t& bassPosition);

}  // namespace quillex
