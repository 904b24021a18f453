// The descriptor catalogue and descriptor evaluation.
#include "voicing/voicing_descriptor.h"

#include <algorithm>
#include <array>

namespace quillex {

namespace {

using R = ToneRole;
using L = RegisterLayer;

DescriptorLayer layer(L l, std::vector<ToneRole> roles, std::int32_t base, bool required, bool essential) {
    return DescriptorLayer{l, std::move(roles), base, required, false, essential};
}

std::array<std::vector<VoicingDescriptor>, kVoicingStyleCount> buildCatalogue() {
    std::array<std::vector<VoicingDescriptor>, kVoicingStyleCount> byStyle;
    byStyle[static_cast<std::size_t>(VoicingStyle::Anthem)] = {
        {"anthem",
         60.0,
         false,
         true,
         {layer(L::Root, {R::Root}, -12, true, true), layer(L::Third, {R::ThirdOrSus}, 0, true, true),
          layer(L::Fifth, {R::Fifth}, 0, false, false), layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true),
          layer(L::Color, {R::Tension}, 0, false, true),
          layer(L::Top, {R::UpperDescending, R::Tension, R::Octave}, 0, false, true)}},
    };
    byStyle[static_cast<std::size_t>(VoicingStyle::Split)] = {
        {"drop24",
         59.0,
         false,
         true,
         {layer(L::Root, {R::Root}, -12, true, true), layer(L::Low, {R::Fifth}, -12, true, true),
          layer(L::Third, {R::ThirdOrSus}, 0, true, true), layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true),
          layer(L::Top, {R::Tension, R::UpperDescending, R::Octave}, 0, false, true)}},
        {"drop24-color",
         60.0,
         true,
         true,
         {layer(L::Root, {R::Root}, -12, true, true), layer(L::Low, {R::Fifth}, -12, true, true),
          layer(L::Third, {R::ThirdOrSus}, 0, true, true), layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true),
          layer(L::Color, {R::Tension}, 0, false, true)}},
    };
    byStyle[static_cast<std::size_t>(VoicingStyle::GuideColor)] = {
        {"guide-color",
         59.0,
         false,
         true,
         {layer(L::Root, {R::Root}, 0, true, true), layer(L::Third, {R::ThirdOrSus}, 0, true, true),
          layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true), layer(L::Color, {R::Tension}, 0, false, true),
          layer(L::Top, {R::UpperDescending, R::Tension, R::Fifth}, 0, false, true)}},
        {"guide-color-inner",
         58.0,
         false,
         true,
         {layer(L::Root, {R::Root}, 0, true, true), layer(L::Third, {R::ThirdOrSus}, 0, true, true),
          layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true), layer(L::Fifth, {R::Fifth}, 0, false, false),
          layer(L::Top, {R::Tension, R::UpperDescending}, 0, false, true)}},
    };
    byStyle[static_cast<std::size_t>(VoicingStyle::Tessaro)] = {
        {"tessaro",
         60.0,
         false,
         true,
         {layer(L::Root, {R::Root}, 0, true, true), layer(L::Low, {R::Fifth}, 0, false, true),
          layer(L::Low, {R::Ninth}, 0, false, true), layer(L::Third, {R::Third, R::Sus}, 0, true, true),
          layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true),
          layer(L::Top, {R::Tension, R::Ninth}, 0, false, true)}},
        {"tessaro-color",
         61.0,
         true,
         true,
         {layer(L::Root, {R::Root}, 0, true, true), layer(L::Low, {R::Fifth}, 0, false, true),
          layer(L::Low, {R::Ninth}, 0, false, true), layer(L::Third, {R::Third, R::Sus}, 0, true, true),
          layer(L::Seventh, {R::Seventh, R::Sixth}, 0, false, true), layer(L::Color, {R::Tension}, 0, false, true)}},
    };
    return byStyle;
}

bool holds(std::span<const std::int32_t> tones, std::int32_t interval) {
    return std::binary_search(tones.begin(), tones.end(), interval);
}

}  // namespace

std::vector<std::int32_t> analyzeChordTones(std::span<const std::int32_t> intervals) {
    std::vector<std::int32_t> tones(intervals.begin(), intervals.end());
    std::sort(tones.begin(), tones.end());
    tones.erase(std::unique(tones.begin(), tones.end()), tones.end());
    return tones;
}

const std::vector<VoicingDescriptor>& voicingDescriptorCatalogue(VoicingStyle style) {
    static const std::array<std::vector<VoicingDescriptor>, kVoicingStyleCount> catalogue = buildCatalogue();
    static const std::vector<VoicingDescriptor> none;
    const auto index = static_cast<std::size_t>(style);
    return index < catalogue.size() ? catalogue[index] : none;
}

std::vector<std::int32_t> roleCandidateIntervals(ToneRole role, std::span<const std::int32_t> chordTones) {
    auto present = [&](std::initializer_list<std::int32_t> candidates) {
        std::vector<std::int32_t> out;
        for (std::int32_t c : candidates) {
            if (holds(chordTones, c)) out.push_back(c);
        }
        return out;
    };
    switch (role) {
        case ToneRole::Root:
            return {0};
        case ToneRole::ThirdOrSus:
            return present({5, 4, 3, 2});
        case ToneRole::Third:
            return present({4, 3});
        case ToneRole::Sus:
            return present({5, 2});
        case ToneRole::Seventh:
            return present({11, 10});
        case ToneRole::Sixth:
            return present({9});
        case ToneRole::Fifth:
            return present({7, 6, 8});
        case ToneRole::Ninth:
            return present({14, 13, 15, 2});
        case ToneRole::Tension:
            return present({18, 21, 20, 14, 13, 15, 17, 9, 5});
        case ToneRole::UpperDescending: {
            std::vector<std::int32_t> out;
            for (auto it = chordTones.rbegin(); it != chordTones.rend() && *it > 8; ++it) out.push_back(*it);
            return out;
        }
        case ToneRole::Octave:
            return {12};
    }
    return {};
}

std::optional<PlacedTone> placeDescriptorLayer(std::span<const std::int32_t> chordTones, const DescriptorLayer& layer,
                                               std::set<std::int32_t>& usedOffsets) {
    for (ToneRole role : layer.roles) {
        for (std::int32_t c : roleCandidateIntervals(role, chordTones)) {
            const std::int64_t raw = static_cast<std::int64_t>(layer.baseOffset) + c;
            const std::int32_t offset = c == 12 ? static_cast<std::int32_t>(raw) : foldIntoRegisterWindow(raw);
            if (!layer.allowDuplicate && usedOffsets.count(offset) != 0) continue;
            usedOffsets.insert(offset);
            const DegreeSlot slot = (role == ToneRole::Octave || c == 12) ? 0 : intervalToneSlot(c);
            return PlacedTone{layer.layer, slot, offset, layer.required, layer.essential, layer.roles};
        }
    }
    return std::nullopt;
}

VoicingPlan evaluateVoicingDescriptor(const VoicingDescriptor& descriptor, VoicingStyle style,
                                      std::span<const std::int32_t> chordTones) {
    VoicingPlan plan{descriptor.id,       style, {}, descriptor.registerCentre, descriptor.colorVariant,
                     descriptor.wideStyle};
    std::set<std::int32_t> used;
    for (const DescriptorLayer& layer : descriptor.layers) {
        if (auto tone = placeDescriptorLayer(chordTones, layer, used)) {
            plan.tones.push_back(std::move(*tone));
        } else if (layer.required) {
            plan.tones.clear();
            return plan;
        }
    }
    sortPlanTones(plan.tones);
    return plan;
}

std::vector<VoicingPlan> descriptorPlansForStyle(std::span<const std::int32_t> intervals, VoicingStyle style) {
    const std::vector<std::int32_t> tones = analyzeChordTones(intervals);
    std::vector<VoicingPlan> plans;
    for (const VoicingDescriptor& d : voicingDescriptorCatalogue(style)) {
        VoicingPlan plan = evaluateVoicingDescriptor(d, style, tones);
        if (!plan.tones.empty()) plans.push_back(std::move(plan));
    }
    return plans;
}

std::vector<VoicingPlan> descriptorPlansForStyle(const Chord& chord, VoicingStyle style) {
    return descriptorPlansForStyle(chord.intervals, style);
}

}  // namespace quillex
