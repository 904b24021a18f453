// Plan tone ordering, degree slots and plan normalisation.
#include "voicing/voicing_plan.h"

#include <algorithm>
#include <limits>

namespace quillex {

DegreeSlot intervalToneSlot(std::int32_t interval) {
    switch (interval) {
        case 0:
            return 0;
        case 2:
            return 1;
        case 3:
            return 2;
        case 4:
            return 3;
        case 5:
            return 4;
        case 6:
            return 5;
        case 7:
            return 6;
        case 8:
            return 7;
        case 9:
            return 8;
        case 10:
            return 9;
        case 11:
            return 10;
        case 13:
            return 11;
        case 14:
            return 12;
        case 15:
            return 13;
        case 17:
            return 14;
        case 18:
            return 15;
        case 20:
            return 16;
        case 21:
            return 17;
        default:
            break;
    }
    switch (interval % 12) {
        case 2:
            return 12;
        case 5:
            return 14;
        case 9:
            return 17;
        default:
            return 6;
    }
}

std::int32_t foldIntoRegisterWindow(std::int64_t offset) {
    if (offset < -12) offset += 12 * ((-12 - offset + 11) / 12);
    if (offset > 36) offset -= 12 * ((offset - 36 + 11) / 12);
    return static_cast<std::int32_t>(offset);
}

void sortPlanTones(std::vector<PlacedTone>& tones) {
    std::stable_sort(tones.begin(), tones.end(), [](const PlacedTone& a, const PlacedTone& b) {
        if (a.offset != b.offset) return a.offset < b.offset;
        return a.layer < b.layer;
    });
}

namespace {

bool isLowGroup(RegisterLayer layer) { return layer == RegisterLayer::Root || layer == RegisterLayer::Low; }
bool isMiddleGroup(RegisterLayer layer) {
    return layer == RegisterLayer::Third || layer == RegisterLayer::Seventh || layer == RegisterLayer::Fifth ||
           layer == RegisterLayer::Color;
}

// The smallest offset + 12k (k >= 0) that lies above `floor`.
std::int64_t raiseAbove(std::int64_t offset, std::int64_t floor) {
    if (offset > floor) return offset;
    return offset + 12 * ((floor - offset) / 12 + 1);
}

}  // namespace

std::vector<std::int32_t> normalizeVoicingPlan(const VoicingPlan& plan) {
    std::vector<std::int64_t> offsets;
    offsets.reserve(plan.tones.size());
    for (const PlacedTone& t : plan.tones) offsets.push_back(t.offset);

    std::int64_t lowTop = std::numeric_limits<std::int32_t>::min();
    for (std::size_t i = 0; i < plan.tones.size(); ++i) {
        if (isLowGroup(plan.tones[i].layer)) lowTop = std::max(lowTop, offsets[i]);
    }
    std::int64_t midTop = lowTop;
    for (std::size_t i = 0; i < plan.tones.size(); ++i) {
        const RegisterLayer layer = plan.tones[i].layer;
        if (isLowGroup(layer)) continue;
        offsets[i] = raiseAbove(offsets[i], lowTop);
        if (isMiddleGroup(layer)) midTop = std::max(midTop, offsets[i]);
    }
    for (std::size_t i = 0; i < plan.tones.size(); ++i) {
        const PlacedTone& t = plan.tones[i];
        if (t.layer != RegisterLayer::Top) continue;
        offsets[i] = raiseAbove(offsets[i], midTop);
        if (plan.style == VoicingStyle::Tessaro && t.slot >= 11 && t.slot <= 17 && offsets[i] > 19) offsets[i] -= 12;
    }

    std::vector<std::int32_t> result;
    result.reserve(offsets.size());
    for (std::int64_t o : offsets) result.push_back(static_cast<std::int32_t>(o));
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

}  // namespace quillex
