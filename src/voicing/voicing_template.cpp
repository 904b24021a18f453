// The four plan templates and template matching.
#include "voicing/voicing_template.h"

#include <algorithm>
#include <array>

#include "theory/pitch_class.h"
#include "voicing/voicing_plan_builders.h"

namespace quillex {

namespace {

constexpr double kNoScore = -1000000000.0;

using L = RegisterLayer;

std::array<std::vector<VoicingPlanTemplate>, kVoicingStyleCount> buildTemplates() {
    std::array<std::vector<VoicingPlanTemplate>, kVoicingStyleCount> byStyle;
    byStyle[static_cast<std::size_t>(VoicingStyle::Anthem)] = {{
        "anthem",
        60.0,
        true,
        true,
        4,
        6,
        6,
        true,
        true,
        {
            {L::Root, {kRoleRoot}, {0}, -12, true},
            {L::Third, {kRoleThird}, {3, 2, 4, 1}, 0, true},
            {L::Fifth, {kRoleFifth, kRoleTension}, {6, 5, 7, 12, 11, 13}, 0, false},
            {L::Seventh, {kRoleSeventh}, {9, 10, 8}, 0, false},
            {L::Color, {kRoleTension, kRoleFifth}, {12, 11, 13, 14, 15, 17, 16, 6, 5, 7}, 0, false},
            {L::Top,
             {kRoleTension, kRoleFifth, kRoleRoot, kRoleThird},
             {17, 16, 14, 15, 12, 11, 13, 6, 7, 5, 0},
             0,
             false},
        },
        {},
    }};
    byStyle[static_cast<std::size_t>(VoicingStyle::Split)] = {{
        "split",
        59.0,
        true,
        true,
        4,
        5,
        6,
        false,
        false,
        {
            {L::Root, {kRoleRoot}, {0}, -12, true},
            {L::Low, {kRoleFifth, kRoleTension}, {6, 5, 7, 12, 11, 13}, -12, false},
            {L::Third, {kRoleThird}, {3, 2, 4, 1}, 0, true},
            {L::Seventh, {kRoleSeventh}, {9, 10, 8}, 0, false},
            {L::Top, {kRoleTension, kRoleFifth}, {17, 16, 14, 15, 12, 11, 13, 6, 7, 5}, 0, false},
        },
        {
            {L::Color, {kRoleTension, kRoleFifth}, {14, 15, 17, 16, 12, 11, 13, 6, 7, 5}, 0, false},
        },
    }};
    byStyle[static_cast<std::size_t>(VoicingStyle::GuideColor)] = {{
        "guide-color",
        59.0,
        true,
        true,
        4,
        5,
        6,
        false,
        false,
        {
            {L::Root, {kRoleRoot}, {0}, 0, true},
            {L::Third, {kRoleThird}, {3, 2, 4, 1}, 0, true},
            {L::Seventh, {kRoleSeventh}, {9, 10, 8}, 0, false},
            {L::Color, {kRoleTension, kRoleFifth}, {12, 11, 13, 14, 15, 17, 16, 6, 5, 7}, 0, false},
            {L::Top, {kRoleTension, kRoleFifth}, {17, 16, 14, 15, 12, 11, 13, 6, 5, 7}, 0, false},
        },
        {
            {L::Color, {kRoleTension, kRoleFifth}, {14, 15, 17, 16, 12, 11, 13, 6, 5, 7}, 0, false},
        },
    }};
    byStyle[static_cast<std::size_t>(VoicingStyle::Tessaro)] = {{
        "tessaro",
        60.0,
        true,
        true,
        4,
        6,
        6,
        false,
        false,
        {
            {L::Root, {kRoleRoot}, {0}, 0, true},
            {L::Low, {kRoleFifth, kRoleTension}, {6, 12, 5, 7, 11, 13}, 0, false},
            {L::Third, {kRoleThird}, {3, 2, 4, 1}, 0, true},
            {L::Seventh, {kRoleSeventh}, {9, 10, 8}, 0, false},
            {L::Color, {kRoleTension, kRoleFifth}, {12, 14, 15, 17, 16, 11, 13, 6, 5, 7}, 0, false},
            {L::Top, {kRoleTension, kRoleFifth}, {17, 16, 14, 15, 12, 11, 13, 6, 5, 7}, 0, false},
        },
        {},
    }};
    return byStyle;
}

bool accepts(const TemplateLayer& layer, std::uint8_t group) {
    return std::find(layer.groups.begin(), layer.groups.end(), group) != layer.groups.end();
}

// Exhaustive search over assignments of required candidates to layers.
class AssignmentSearch {
public:
    AssignmentSearch(const VoicingPlanTemplate& tmpl, const std::vector<const TemplateLayer*>& layers,
                     const std::vector<TemplateCandidate>& required)
        : tmpl_(tmpl),
          layers_(layers),
          required_(required),
          current_(required.size(), 0),
          best_(required.size(), 0),
          taken_(layers.size(), false) {}

    // Layer index per required candidate, or nothing when none is complete.
    std::optional<std::vector<std::size_t>> run() {
        descend(0, 0.0);
        if (!found_) return std::nullopt;
        return best_;
    }

private:
    void descend(std::size_t candidateIndex, double total) {
        if (candidateIndex == required_.size()) {
            if (total > bestTotal_) {
                bestTotal_ = total;
                best_ = current_;
                found_ = true;
            }
            return;
        }
        const TemplateCandidate& candidate = required_[candidateIndex];
        std::vector<std::pair<double, std::size_t>> options;
        for (std::size_t i = 0; i < layers_.size(); ++i) {
            if (taken_[i] || !accepts(*layers_[i], candidate.group)) continue;
            const bool extra = i >= tmpl_.mainLayers.size();
            options.emplace_back(scoreTemplateCandidate(tmpl_, *layers_[i], i, extra, candidate), i);
        }
        std::stable_sort(options.begin(), options.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [score, index] : options) {
            taken_[index] = true;
            current_[candidateIndex] = index;
            descend(candidateIndex + 1, total + score);
            taken_[index] = false;
        }
    }

    const VoicingPlanTemplate& tmpl_;
    const std::vector<const TemplateLayer*>& layers_;
    const std::vector<TemplateCandidate>& required_;
    std::vector<std::size_t> current_;
    std::vector<std::size_t> best_;
    std::vector<bool> taken_;
    double bestTotal_ = kNoScore;
    bool found_ = false;
};

}  // namespace

const std::vector<VoicingPlanTemplate>& planTemplatesForStyle(VoicingStyle style) {
    static const std::array<std::vector<VoicingPlanTemplate>, kVoicingStyleCount> templates = buildTemplates();
    static const std::vector<VoicingPlanTemplate> none;
    const auto index = static_cast<std::size_t>(style);
    return index < templates.size() ? templates[index] : none;
}

double scoreTemplateCandidate(const VoicingPlanTemplate& tmpl, const TemplateLayer& layer, std::size_t layerIndex,
                              bool isExtraLayer, const TemplateCandidate& candidate) {
    double score = (isExtraLayer ? -35.0 : 0.0) - 0.5 * static_cast<double>(layerIndex);
    const RegisterLayer l = layer.layer;
    switch (candidate.group) {
        case kRoleRoot:
            if (l == L::Root)
                score += 500.0;
            else
                score += candidate.interval < 12 ? -250.0 : 20.0;
            break;
        case kRoleThird:
            if (l == L::Third)
                score += 180.0;
            else if (l == L::Top)
                score -= 40.0;
            break;
        case kRoleSeventh:
            if (l == L::Seventh)
                score += 170.0;
            else if (l == L::Top)
                score -= 30.0;
            break;
        case kRoleFifth:
            if (l == L::Low)
                score += 85.0;
            else if (l == L::Fifth)
                score += 55.0;
            else if (l == L::Color)
                score += 25.0;
            else if (l == L::Top)
                score += 15.0;
            break;
        case kRoleTension:
            if (l == L::Top)
                score += tmpl.colorVariant ? 150.0 : 90.0;
            else if (l == L::Color)
                score += 105.0;
            else if (l == L::Low)
                score += reducePitchClass(candidate.interval) == 2 ? 65.0 : 20.0;
            break;
        default:
            break;
    }
    const auto found = std::find(layer.slots.begin(), layer.slots.end(), candidate.slot);
    if (found != layer.slots.end()) score += 80.0 - 3.0 * static_cast<double>(found - layer.slots.begin());
    if (candidate.group == kRoleTension && tmpl.colorVariant && l == L::Top) score += candidate.interval;
    return score;
}

std::optional<VoicingPlan> evaluatePlanTemplate(const VoicingPlanTemplate& tmpl, const ChordToneSet& set,
                                                VoicingStyle style) {
    std::vector<TemplateCandidate> required;
    std::vector<TemplateCandidate> optional;
    for (const ChordToneSlot& t : set.tones) {
        (t.required ? required : optional).push_back(TemplateCandidate{t.interval, t.degree, t.role, t.required});
    }
    if (tmpl.addOctaveRoot) optional.push_back(TemplateCandidate{12, 0, kRoleRoot, false});
    if (tmpl.addUpperThird) {
        for (const ChordToneSlot& t : set.tones) {
            if (t.role == kRoleThird && t.required && t.interval < 12) {
                optional.push_back(TemplateCandidate{t.interval + 12, t.degree, kRoleThird, false});
                break;
            }
        }
    }
    std::stable_sort(required.begin(), required.end(), [&](const TemplateCandidate& a, const TemplateCandidate& b) {
        if (a.group != b.group) return a.group < b.group;
        if (a.group == kRoleTension && tmpl.colorVariant) return a.interval > b.interval;
        return a.interval < b.interval;
    });
    std::stable_sort(optional.begin(), optional.end(), [](const TemplateCandidate& a, const TemplateCandidate& b) {
        if (a.group != b.group) return a.group < b.group;
        return a.interval < b.interval;
    });

    std::vector<const TemplateLayer*> layers;
    for (const TemplateLayer& l : tmpl.mainLayers) layers.push_back(&l);
    for (const TemplateLayer& l : tmpl.extraLayers) layers.push_back(&l);
    if (required.size() > layers.size()) return std::nullopt;

    AssignmentSearch search(tmpl, layers, required);
    const std::optional<std::vector<std::size_t>> assignment = search.run();
    if (!assignment) return std::nullopt;

    std::vector<std::optional<TemplateCandidate>> filled(layers.size());
    for (std::size_t c = 0; c < required.size(); ++c) filled[(*assignment)[c]] = required[c];

    const std::uint64_t target = std::min(std::max(tmpl.minTones, tmpl.targetTones), tmpl.ceilingTones);
    std::vector<bool> placed(optional.size(), false);
    std::uint64_t filledCount = required.size();
    while (filledCount < target) {
        double bestScore = kNoScore;
        std::optional<std::pair<std::size_t, std::size_t>> best;
        for (std::size_t li = 0; li < layers.size(); ++li) {
            if (filled[li]) continue;
            for (std::size_t ci = 0; ci < optional.size(); ++ci) {
                if (placed[ci] || !accepts(*layers[li], optional[ci].group)) continue;
                const bool extra = li >= tmpl.mainLayers.size();
                const double score = scoreTemplateCandidate(tmpl, *layers[li], li, extra, optional[ci]);
                if (score > bestScore) {
                    bestScore = score;
                    best = std::make_pair(li, ci);
                }
            }
        }
        if (!best) break;
        filled[best->first] = optional[best->second];
        placed[best->second] = true;
        ++filledCount;
    }

    std::vector<PlacedTone> tones;
    for (std::size_t li = 0; li < layers.size(); ++li) {
        if (!filled[li]) continue;
        const TemplateLayer& layer = *layers[li];
        const TemplateCandidate& c = *filled[li];
        const std::int64_t raw = static_cast<std::int64_t>(layer.baseOffset) + c.interval;
        const std::int32_t offset = c.interval == 12 ? static_cast<std::int32_t>(raw) : foldIntoRegisterWindow(raw);
        const bool essential = layer.layer == L::Root || layer.layer == L::Low || layer.layer == L::Top;
        tones.push_back(PlacedTone{layer.layer, c.slot, offset, c.required, essential, {}});
    }
    if (tones.empty()) return std::nullopt;
    sortPlanTones(tones);
    return VoicingPlan{tmpl.name, style, std::move(tones), tmpl.registerCentre, tmpl.colorVariant, tmpl.wideStyle};
}

std::optional<VoicingPlan> evaluatePlanTemplate(const VoicingPlanTemplate& tmpl, const Chord& chord,
                                                VoicingStyle style) {
    return evaluatePlanTemplate(tmpl, chordToneSetOf(chord), style);
}

}  // namespace quillex
