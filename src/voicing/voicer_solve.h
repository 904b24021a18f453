// The voice-leading beam search over the candidate voicings of one segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/candidate_key.h"
#include "voicing/voicer_options.h"
#include "voicing/voicer_port.h"

namespace quillex {

inline constexpr std::size_t kCandidateCap = 500;
inline constexpr std::size_t kBeamWidth = 160;

// What one solve did, for benchmarks and diagnostics.
struct VoicerSolveStats {
    std::uint64_t rawCandidates = 0;     // recomputed positions, before the cap
    std::uint64_t cappedCandidates = 0;  // every position, after the cap
    std::uint64_t transitionsEvaluated = 0;
    std::size_t reusedPrefix = 0;
    std::uint64_t candidateCacheHits = 0;  // positions served from the candidate cache
};

struct VoicerSolveSettings {
    // The specified beam is kBeamWidth; a wider beam is for exactness checks.
    std::size_t beamWidth = kBeamWidth;
    VoicerSolveStats* stats = nullptr;
    // Threads for large steps; 0 lets the solver choose. The result never depends on it.
    std::size_t threads = 0;
};

// One voicing per chord maximising own scores plus move scores; `fixed` is
// empty or one entry per chord. Reuses the port's previous solve where the
// options and the leading chords are unchanged, and saves this solve in it.
std::vector<CandidateVoicing> voicerSolve(const std::vector<Chord>& chords, const VoicerOptions& options,
                                          const std::vector<FixedNotes>& fixed, VoicerPort* port,
                                          const VoicerSolveSettings& settings = {});

// The `count` indices with the highest scores, best first, by a binary
// min-heap over the first `count` that later strictly higher scores replace.
std::vector<std::int32_t> selectHighestScores(std::span<const double> scores, std::size_t count);

}  // namespace quillex
