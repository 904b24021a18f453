// Cache-state construction, key hashes and the per-thread debug lines.
#include "voicing/voicer_port.h"

#include <utility>

namespace quillex {

std::size_t CandidateKeyHash::operator()(const CandidateKey& key) const noexcept {
    auto fold = [](std::uint64_t h, std::int64_t v) { return hashCombine(h, static_cast<std::uint64_t>(v)); };
    std::uint64_t h = 0;
    h = fold(h, static_cast<std::int64_t>(key.pitchClasses.size()));
    for (const std::uint8_t pc : key.pitchClasses) h = fold(h, pc);
    h = fold(h, key.bassEligible);
    h = fold(h, key.lowOctaveOffset);
    h = fold(h, key.highOctaveOffset);
    h = fold(h, key.top);
    h = fold(h, key.bottom);
    h = fold(h, key.minSpan);
    h = fold(h, key.maxSpan);
    h = fold(h, key.allowBassChanges ? 1 : 0);
    h = fold(h, key.allowDoubling ? 1 : 0);
    h = fold(h, key.fewest);
    h = fold(h, key.most);
    return static_cast<std::size_t>(h);
}

std::size_t MidiListHash::operator()(const std::vector<std::int32_t>& notes) const noexcept {
    std::uint64_t h = hashCombine(0, notes.size());
    for (const std::int32_t note : notes)
        h = hashCombine(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(note)));
    return static_cast<std::size_t>(h);
}

std::shared_ptr<VoicerPortCacheState> makeVoicerPortCacheState() { return std::make_shared<VoicerPortCacheState>(); }

VoicerPortCacheState& sharedVoicerPortCacheState() {
    thread_local std::unique_ptr<VoicerPortCacheState> state;
    if (!state) state = std::make_unique<VoicerPortCacheState>();
    return *state;
}

namespace {

struct AvlDebugState {
    bool enabled = false;
    std::vector<std::string> lines;
};

AvlDebugState& avlDebugState() {
    thread_local AvlDebugState state;
    return state;
}

}  // namespace

void clearAvlDebugLines() { avlDebugState().lines.clear(); }

void setAvlDebugEnabled(bool on) {
    AvlDebugState& state = avlDebugState();
    state.enabled = on;
    if (!on) state.lines.clear();
}

bool isAvlDebugEnabled() { return avlDebugState().enabled; }

std::vector<std::string> takeAvlDebugLines() {
    AvlDebugState& state = avlDebugState();
    std::vector<std::string> lines = std::move(state.lines);
    state.lines.clear();
    return lines;
}

void appendAvlDebugLine(std::string line) {
    AvlDebugState& state = avlDebugState();
    if (state.enabled) state.lines.push_back(std::move(line));
}

}  // namespace quillex
