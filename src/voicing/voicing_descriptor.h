// Voicing descriptors: named layer recipes that pick chord tones by role.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "theory/chord_symbol.h"
#include "voicing/voicing_plan.h"
#include "voicing/voicing_style.h"

namespace quillex {

struct DescriptorLayer {
    RegisterLayer layer = RegisterLayer::Root;
    std::vector<ToneRole> roles;  // tried in order
    std::int32_t baseOffset = 0;
    bool required = false;
    bool allowDuplicate = false;
    bool essential = false;

    friend bool operator==(const DescriptorLayer&, const DescriptorLayer&) = default;
};

struct VoicingDescriptor {
    std::string id;
    double registerCentre = 60.0;
    bool colorVariant = false;
    bool wideStyle = false;
    std::vector<DescriptorLayer> layers;

    friend bool operator==(const VoicingDescriptor&, const VoicingDescriptor&) = default;
};

// The distinct chord intervals, ascending.
std::vector<std::int32_t> analyzeChordTones(std::span<const std::int32_t> intervals);

// The descriptors of a style (empty for closed and shell).
const std::vector<VoicingDescriptor>& voicingDescriptorCatalogue(VoicingStyle style);

// The role's candidate intervals present in the chord, in preference order.
std::vector<std::int32_t> roleCandidateIntervals(ToneRole role, std::span<const std::int32_t> chordTones);

// Places one layer's tone on an offset not used yet; records the offset.
std::optional<PlacedTone> placeDescriptorLayer(std::span<const std::int32_t> chordTones, const DescriptorLayer& layer,
                                               std::set<std::int32_t>& usedOffsets);

// A plan whose tone list is empty when a required layer finds nothing.
VoicingPlan evaluateVoicingDescriptor(const VoicingDescriptor& descriptor, VoicingStyle style,
                                      std::span<const std::int32_t> chordTones);

// Every descriptor of the style that applies, in catalogue order.
std::vector<VoicingPlan> descriptorPlansForStyle(std::span<const std::int32_t> intervals, VoicingStyle style);
std::vector<VoicingPlan> descriptorPlansForStyle(const Chord& chord, VoicingStyle style);

}  // namespace quillex
