// The performance plan of a resolved revision: every chord slot's voicing and one trigger row per slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "document/project_document.h"
#include "document/user_settings_section.h"
#include "performance/trigger_row.h"
#include "voicing/voicer_port.h"

namespace quillex {

inline constexpr std::size_t kPerformancePlanRowLimit = 128;

// The voicing of one chord slot, as the progression voicing request gave it.
struct ResolvedVoicing {
    std::vector<std::int32_t> notes;
    std::int32_t maxManualInversions = 8;
    std::optional<std::string> slashBass;
    std::vector<std::string> noteLabels;

    friend bool operator==(const ResolvedVoicing&, const ResolvedVoicing&) = default;
};

// One voicing per chord slot (rests have none), in slot order.
using ResolvedVoicings = std::vector<ResolvedVoicing>;

struct ResolvedPerformancePlan {
    std::vector<TriggerRow> rows;  // one per slot, at most 128
    double totalLength = 0.0;      // beats, rests included
    std::uint8_t valid = 1;
    std::uint8_t retriggerOnBlock = 0;
    std::uint8_t legato = 0;

    friend bool operator==(const ResolvedPerformancePlan&, const ResolvedPerformancePlan&) = default;
};

// The progression voicing request for every chord slot of the document; null when it has none.
std::optional<nlohmann::json> buildPerformanceVoicingRequest(const ProjectDocument& document,
                                                             const UserSettingsSection& settings);

// Voices every chord slot with one progression voicing request through the session's port.
// Throws on any failure; the result is whole or not at all.
std::shared_ptr<const ResolvedVoicings> compilePerformanceVoicings(const ProjectDocument& document,
                                                                   const UserSettingsSection& settings,
                                                                   VoicerPort& port);

// Reads a "progression_voicings" payload into voicings (the JSON library's errors for bad shapes).
ResolvedVoicings readResolvedVoicings(const nlohmann::json& payload);

// Checks the document's performance ranges, then compiles one row per slot.
std::shared_ptr<const ResolvedPerformancePlan> compilePerformancePlan(const ProjectDocument& document,
                                                                      const ResolvedVoicings& voicings);

}  // namespace quillex
