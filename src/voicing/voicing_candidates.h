// Candidate voicings: exact enumeration of every legal voicing of a chord in a register window.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/candidate_key.h"
#include "voicing/voicer_options.h"
#include "voicing/voicer_port.h"

namespace quillex {

// Most note placements one enumeration may make before it gives up.
inline constexpr std::uint64_t kEnumerationPlacementBudget = 1'000'000;

// The pitch classes a candidate must hold: the bass (slash bass, else the
// root) first, then every other chord pitch class ascending, each once.
std::vector<std::uint8_t> voicerChordPitchClasses(const Chord& chord);

// With bass changes on and no slash bass: the root and every chord tone that
// is not a ninth, eleventh or thirteenth; otherwise empty.
std::uint16_t bassEligibleSet(const Chord& chord, bool allowBassChanges);

// The MIDI note C of each octave from low to high, relative to octave 4
// ((offset + 5) x 12, ascending), keeping only the octaves that can hold a
// note in [bottom, top]; the others could never place a note.
std::vector<std::int64_t> octaveBases(std::int32_t lowOctaveOffset, std::int32_t highOctaveOffset, std::int64_t bottom,
                                      std::int64_t top);

// Fewest and most notes of a chord's candidates; throws when a non-closed
// style cannot hold every pitch class.
struct CandidateNoteCounts {
    std::int32_t fewest = 0;
    std::int32_t most = 0;

    friend bool operator==(const CandidateNoteCounts&, const CandidateNoteCounts&) = default;
};
CandidateNoteCounts candidateNoteCounts(std::int32_t pitchClassCount, const VoicerOptions& options);

struct CandidateResult {
    SharedCandidateList list;
    bool cacheHit = false;
};

// An anchor's fixed notes are its only candidate (not cached); otherwise the
// cached enumeration, widened downwards and then upwards when nothing fits.
CandidateResult generateCandidateVoicings(const Chord& chord, const VoicerOptions& options, VoicerPortCacheState& cache,
                                          const FixedNotes& fixed);

// A chord with no candidate under a segment's limits (a sparse chord after a
// dense anchor), enumerated again with those limits relaxed just enough: the
// fewest notes lowered to its pitch-class count; then, while nothing fits, the
// highest smaller span minimum that yields voicings, else the lowest larger
// span maximum. `options` holds the limits the list was enumerated under.
struct RelaxedCandidates {
    CandidateResult result;
    VoicerOptions options;
};
RelaxedCandidates relaxedCandidateVoicings(const Chord& chord, const VoicerOptions& options,
                                           VoicerPortCacheState& cache);

// The cache in front of the two enumerators; `hit` is set on a cache hit.
// Empty lists are never cached.
SharedCandidateList cachedCandidateVoicings(const CandidateKey& key, VoicerPortCacheState& cache, bool& hit);

// Free bass: every voicing holding each pitch class, in discovery order.
CandidateList enumeratePitchClassVoicings(std::span<const std::uint8_t> pitchClasses,
                                          std::span<const std::int64_t> bases, std::int32_t bottom, std::int32_t top,
                                          std::int32_t minSpan, std::int32_t maxSpan, bool allowDoubling,
                                          std::int32_t fewest, std::int32_t most);

// Fixed bass: the bass pitch class is the lowest note of every voicing.
CandidateList enumerateVoicingsWithBass(std::span<const std::uint8_t> pitchClasses, std::uint8_t bassPitchClass,
                                        std::span<const std::int64_t> bases, std::int32_t bottom, std::int32_t top,
                                        std::int32_t minSpan, std::int32_t maxSpan, bool allowDoubling,
                                        std::int32_t fewest, std::int32_t most);

}  // namespace quillex
