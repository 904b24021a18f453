// Voicer port (the previous solve of a session), its cache state, and the per-thread debug lines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "voicing/candidate_key.h"
#include "voicing/lru_cache.h"
#include "voicing/voicer_options.h"

namespace quillex {

inline constexpr std::size_t kCandidateCacheCapacity = 256;
inline constexpr std::size_t kRoughnessCacheCapacity = 4096;

// The two caches shared by every solve through one port (or one thread).
struct VoicerPortCacheState {
    LruCache<CandidateKey, SharedCandidateList, CandidateKeyHash> candidates{kCandidateCacheCapacity};
    LruCache<std::vector<std::int32_t>, double, MidiListHash> roughness{kRoughnessCacheCapacity};
};

std::shared_ptr<VoicerPortCacheState> makeVoicerPortCacheState();

// This thread's cache state for solves without a port.
VoicerPortCacheState& sharedVoicerPortCacheState();

using FixedNotes = std::optional<std::vector<std::int32_t>>;

// Voice-leading state of one session; used by one solve at a time.
struct VoicerPort {
    bool hasPrevious = false;
    VoicerOptions previousOptions{};
    std::vector<std::string> previousSymbols;
    std::vector<FixedNotes> previousFixed;
    std::vector<SharedCandidateList> previousCandidates;
    std::vector<std::vector<double>> previousScores;
    std::vector<std::vector<std::int32_t>> previousBacks;
    std::shared_ptr<VoicerPortCacheState> cacheState;
};

// Per-thread voice-leading debug lines.
void clearAvlDebugLines();
// Switching off also empties the lines.
void setAvlDebugEnabled(bool on);
bool isAvlDebugEnabled();
// A copy of the lines; the lines are emptied.
std::vector<std::string> takeAvlDebugLines();
// Appends one finished line while the switch is on.
void appendAvlDebugLine(std::string line);

}  // namespace quillex
