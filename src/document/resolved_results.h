// What resolution makes of a document: the voicing of every chord slot and the performance plan.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillex {

// Provisional shapes until the performance compiler provides them; kept in their own
// namespace so that they can never be mistaken for the compiler's records.
namespace provisional {

struct ResolvedVoicing {
    std::vector<std::int32_t> notes;
    std::int32_t maxManualInversions = 8;
    std::optional<std::string> slashBass;
    std::vector<std::string> noteLabels;
};

struct ResolvedVoicings {
    std::vector<ResolvedVoicing> voicings;
};

struct TriggerRow {};

struct ResolvedPerformancePlan {
    std::vector<TriggerRow> rows;
    double totalLength = 0.0;
    std::uint8_t valid = 1;
    std::uint8_t retriggerOnBlock = 0;
    std::uint8_t legato = 0;
};

}  // namespace provisional

using ResolvedVoicing = provisional::ResolvedVoicing;
using ResolvedVoicings = provisional::ResolvedVoicings;
using ResolvedPerformancePlan = provisional::ResolvedPerformancePlan;

// The voicing records of a revision, in chord-slot order.
inline const std::vector<ResolvedVoicing>& voicingRecords(const ResolvedVoicings& voicings) {
    return voicings.voicings;
}

}  // namespace quillex
