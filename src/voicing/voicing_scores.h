// Scores of a voicing on its own and of the move between two voicings (higher is better).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/voicer_options.h"
#include "voicing/voicer_port.h"

namespace quillex {

// What the scores read of a chord, worked out once per chord.
struct ChordScoreFacts {
    std::int32_t root = 0;                  // 0..11
    std::optional<std::int32_t> slashBass;  // 0..11
    bool hasFifth = false;                  // an interval of 6, 7 or 8 mod 12
    std::uint16_t lowTensions = 0;          // pitch classes of b9, #9, 11, #11, b13

    friend bool operator==(const ChordScoreFacts&, const ChordScoreFacts&) = default;
};

ChordScoreFacts chordScoreFacts(const Chord& chord);

// Own score: note count, register, roughness and the voicing's rule terms.
double voicingCost(std::span<const std::int32_t> voicing, const Chord& chord, const VoicerOptions& options,
                   const LearnedWeights& weights, VoicerPortCacheState& cache);
double voicingCost(std::span<const std::int32_t> voicing, const ChordScoreFacts& chord, const VoicerOptions& options,
                   const LearnedWeights& weights, VoicerPortCacheState& cache);

// The own score with the roughness given (the value roughnessCost gives).
double voicingCostWithRoughness(std::span<const std::int32_t> voicing, const ChordScoreFacts& chord,
                                const VoicerOptions& options, const LearnedWeights& weights, double roughness);

// Sensory roughness (>= 0), memoised in the cache state.
double roughnessCost(std::span<const std::int32_t> voicing, VoicerPortCacheState& cache);
// The same lookup with the value already worked out (by roughnessValue): the
// cache sees the same finds and stores as through the call above.
double roughnessCost(std::span<const std::int32_t> voicing, VoicerPortCacheState& cache, double value);
// The value roughnessCost stores, without the cache.
double roughnessValue(std::span<const std::int32_t> voicing);
// The same value, never cached.
double computeRoughness(std::span<const std::int32_t> voicing);

// Frequency of partial k (0..10) of a MIDI note.
double partialFrequency(std::int32_t note, int k);

double chordToneRoleCost(const Chord& chord, std::span<const std::int32_t> voicing, const VoicerOptions& options);
double chordToneRoleCost(const ChordScoreFacts& chord, std::span<const std::int32_t> voicing,
                         const VoicerOptions& options);

// Alignment of two voicings: total movement and (previous note, next note) pairs.
struct VoiceMatch {
    std::int64_t movement = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;

    friend bool operator==(const VoiceMatch&, const VoiceMatch&) = default;
};

VoiceMatch matchVoices(std::span<const std::int32_t> previous, std::span<const std::int32_t> next);

double transitionCost(std::span<const std::int32_t> previous, std::span<const std::int32_t> next,
                      const Chord& previousChord, const Chord& nextChord, const VoicerOptions& options,
                      const LearnedWeights& weights);
double transitionCost(std::span<const std::int32_t> previous, std::span<const std::int32_t> next,
                      const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord,
                      const VoicerOptions& options, const LearnedWeights& weights);

double transitionRuleCost(std::span<const std::int32_t> previous, std::span<const std::int32_t> next,
                          const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord,
                          const VoicerOptions& options);

}  // namespace quillex
