// Plan templates: register layers matched to chord tones by best score.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/quality_family.h"
#include "voicing/voicing_plan.h"
#include "voicing/voicing_style.h"

namespace quillex {

struct TemplateLayer {
    RegisterLayer layer = RegisterLayer::Root;
    std::vector<std::uint8_t> groups;  // accepted candidate groups
    std::vector<DegreeSlot> slots;     // preferred degrees, best first
    std::int32_t baseOffset = 0;
    bool core = false;

    friend bool operator==(const TemplateLayer&, const TemplateLayer&) = default;
};

struct VoicingPlanTemplate {
    std::string name;
    double registerCentre = 60.0;
    bool colorVariant = false;
    bool wideStyle = false;
    std::uint64_t minTones = 0;
    std::uint64_t targetTones = 0;
    std::uint64_t ceilingTones = 0;
    bool addOctaveRoot = false;
    bool addUpperThird = false;
    std::vector<TemplateLayer> mainLayers;
    std::vector<TemplateLayer> extraLayers;

    friend bool operator==(const VoicingPlanTemplate&, const VoicingPlanTemplate&) = default;
};

// One chord tone offered to a template; `required` marks essential tones.
struct TemplateCandidate {
    std::int32_t interval = 0;
    DegreeSlot slot = 0;
    std::uint8_t group = 0;
    bool required = false;

    friend bool operator==(const TemplateCandidate&, const TemplateCandidate&) = default;
};

// Zero or one template (closed and shell have none).
const std::vector<VoicingPlanTemplate>& planTemplatesForStyle(VoicingStyle style);

double scoreTemplateCandidate(const VoicingPlanTemplate& tmpl, const TemplateLayer& layer, std::size_t layerIndex,
                              bool isExtraLayer, const TemplateCandidate& candidate);

// The plan of the best assignment of tones to layers, or nothing.
std::optional<VoicingPlan> evaluatePlanTemplate(const VoicingPlanTemplate& tmpl, const ChordToneSet& tones,
                                                VoicingStyle style);
std::optional<VoicingPlan> evaluatePlanTemplate(const VoicingPlanTemplate& tmpl, const Chord& chord,
                                                VoicingStyle style);

}  // namespace quillex
