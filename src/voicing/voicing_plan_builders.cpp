// The anthem, guide-color and tessaro plan builders.
#include "voicing/voicing_plan_builders.h"

#include <algorithm>

namespace quillex {

namespace {

const ChordToneSlot* firstOf(const ChordToneSet& set, std::uint8_t group, bool notFifth) {
    for (const ChordToneSlot& t : set.tones) {
        if (t.role == group && t.required == notFifth) return &t;
    }
    return nullptr;
}

PlacedTone tone(RegisterLayer layer, DegreeSlot slot, std::int32_t offset, bool required, bool essential) {
    return PlacedTone{layer, slot, offset, required, essential, {}};
}

std::size_t colorToneCount(const ChordToneSet& set) {
    return static_cast<std::size_t>(std::count_if(
        set.tones.begin(), set.tones.end(), [](const ChordToneSlot& t) { return t.role != kRoleRoot && t.required; }));
}

VoicingPlan finishPlan(std::string name, VoicingStyle style, double centre, bool colorVariant,
                       std::vector<PlacedTone> tones) {
    sortPlanTones(tones);
    return VoicingPlan{std::move(name), style, std::move(tones), centre, colorVariant, true};
}

}  // namespace

ChordToneSet chordToneSetOf(const Chord& chord) {
    return chordToneDegrees(ChordQuality{chord.quality, chord.intervals});
}

std::optional<VoicingPlan> buildAnthemPlans(const ChordToneSet& set, bool dense) {
    const ChordToneSlot* root = firstOf(set, kRoleRoot, true);
    const ChordToneSlot* third = firstOf(set, kRoleThird, true);
    if (root == nullptr || third == nullptr) return std::nullopt;
    const ChordToneSlot* seventh = firstOf(set, kRoleSeventh, true);
    const ChordToneSlot* alteredFifth = firstOf(set, kRoleFifth, true);
    const ChordToneSlot* perfectFifth = firstOf(set, kRoleFifth, false);
    std::vector<const ChordToneSlot*> tensions;
    for (const ChordToneSlot& t : set.tones) {
        if (t.role == kRoleTension && t.required) tensions.push_back(&t);
    }

    std::vector<PlacedTone> tones;
    tones.push_back(tone(RegisterLayer::Root, root->degree, root->interval - 12, true, true));
    tones.push_back(tone(RegisterLayer::Third, third->degree, third->interval, true, false));
    if (alteredFifth != nullptr) {
        tones.push_back(tone(RegisterLayer::Fifth, alteredFifth->degree, alteredFifth->interval, true, false));
    }
    if (seventh != nullptr)
        tones.push_back(tone(RegisterLayer::Seventh, seventh->degree, seventh->interval, true, false));
    for (std::size_t i = 0; i < tensions.size(); ++i) {
        const RegisterLayer layer = i + 1 == tensions.size() ? RegisterLayer::Top : RegisterLayer::Color;
        tones.push_back(tone(layer, tensions[i]->degree, tensions[i]->interval, true, false));
    }

    const std::size_t colorTones = colorToneCount(set);
    std::vector<PlacedTone> extras;
    if (!dense) {
        extras.push_back(tone(RegisterLayer::Fifth, 0, 0, false, true));
        if (perfectFifth != nullptr) {
            extras.push_back(tone(RegisterLayer::Color, perfectFifth->degree, perfectFifth->interval, false, false));
        }
    } else {
        if (perfectFifth != nullptr) {
            extras.push_back(tone(RegisterLayer::Fifth, perfectFifth->degree, perfectFifth->interval, false, false));
        }
        if (colorTones < 4) extras.push_back(tone(RegisterLayer::Fifth, 0, 0, false, true));
    }
    extras.push_back(tone(RegisterLayer::Color, 0, 12, false, true));
    extras.push_back(tone(RegisterLayer::Top, third->degree, third->interval + 12, false, false));

    for (PlacedTone& extra : extras) {
        if (tones.size() >= 6) break;
        const bool taken =
            std::any_of(tones.begin(), tones.end(), [&](const PlacedTone& t) { return t.offset == extra.offset; });
        if (!taken) tones.push_back(std::move(extra));
    }
    if (tones.size() < std::min<std::size_t>(6, set.totalCount + 2)) return std::nullopt;
    return finishPlan(dense ? "anthem-dense" : "anthem-full", VoicingStyle::Anthem, 60.0, true, std::move(tones));
}

std::optional<VoicingPlan> buildAnthemPlans(const Chord& chord, bool dense) {
    return buildAnthemPlans(chordToneSetOf(chord), dense);
}

std::vector<VoicingPlan> anthemPlans(const ChordToneSet& set) {
    const bool dense = colorToneCount(set) >= 4;
    std::vector<VoicingPlan> plans;
    if (auto primary = buildAnthemPlans(set, dense)) plans.push_back(std::move(*primary));
    if (auto secondary = buildAnthemPlans(set, !dense)) {
        const std::vector<std::int32_t> offsets = normalizeVoicingPlan(*secondary);
        const bool duplicate = std::any_of(plans.begin(), plans.end(),
                                           [&](const VoicingPlan& p) { return normalizeVoicingPlan(p) == offsets; });
        if (!duplicate) plans.push_back(std::move(*secondary));
    }
    return plans;
}

std::vector<VoicingPlan> anthemPlans(const Chord& chord) { return anthemPlans(chordToneSetOf(chord)); }

std::optional<VoicingPlan> buildGuideColorSimplePlan(const ChordToneSet& set) {
    const ChordToneSlot* root = firstOf(set, kRoleRoot, true);
    const ChordToneSlot* third = firstOf(set, kRoleThird, true);
    const ChordToneSlot* seventh = firstOf(set, kRoleSeventh, true);
    if (root == nullptr || third == nullptr || seventh == nullptr) return std::nullopt;
    if (firstOf(set, kRoleTension, true) != nullptr || firstOf(set, kRoleFifth, true) != nullptr) return std::nullopt;
    std::vector<PlacedTone> tones{
        tone(RegisterLayer::Root, root->degree, root->interval, true, true),
        tone(RegisterLayer::Third, third->degree, third->interval, true, false),
        tone(RegisterLayer::Seventh, seventh->degree, seventh->interval, true, false),
        tone(RegisterLayer::Top, third->degree, third->interval + 12, false, true),
    };
    return finishPlan("guide-color-simple", VoicingStyle::GuideColor, 59.0, true, std::move(tones));
}

std::optional<VoicingPlan> buildGuideColorSimplePlan(const Chord& chord) {
    return buildGuideColorSimplePlan(chordToneSetOf(chord));
}

std::optional<VoicingPlan> buildTessaroPlan(const ChordToneSet& set) {
    const ChordToneSlot* root = firstOf(set, kRoleRoot, true);
    const ChordToneSlot* third = firstOf(set, kRoleThird, true);
    const ChordToneSlot* seventh = firstOf(set, kRoleSeventh, true);
    if (root == nullptr || third == nullptr || seventh == nullptr) return std::nullopt;

    const ChordToneSlot* alteredFifth = nullptr;
    const ChordToneSlot* fifth = nullptr;
    const ChordToneSlot* ninth = nullptr;
    for (const ChordToneSlot& t : set.tones) {
        if (t.role == kRoleFifth) {
            if (alteredFifth == nullptr && t.required && t.degree != 6) alteredFifth = &t;
            fifth = &t;  // the last of the group
        }
        if (ninth == nullptr && t.role == kRoleTension && t.degree >= 11 && t.degree <= 13) ninth = &t;
    }
    const bool hasFifth = fifth != nullptr;
    std::vector<const ChordToneSlot*> others;
    for (const ChordToneSlot& t : set.tones) {
        if (t.role != kRoleTension || !t.required || t.degree < 14 || t.degree > 17) continue;
        if (ninth != nullptr && t.interval == ninth->interval) continue;
        others.push_back(&t);
    }
    const std::size_t count = others.size() + 3 + (alteredFifth != nullptr ? 1 : 0) + (ninth != nullptr ? 1 : 0);
    if (count > 6) return std::nullopt;
    const bool useFifth = alteredFifth == nullptr && hasFifth && count + 1 <= 6;

    std::vector<PlacedTone> tones;
    tones.push_back(tone(RegisterLayer::Root, root->degree, root->interval, true, true));
    if (alteredFifth != nullptr) {
        tones.push_back(tone(RegisterLayer::Low, alteredFifth->degree, alteredFifth->interval, true, true));
    } else if (useFifth) {
        tones.push_back(tone(RegisterLayer::Low, fifth->degree, fifth->interval, false, true));
    }
    if (ninth != nullptr) tones.push_back(tone(RegisterLayer::Low, ninth->degree, ninth->interval, true, true));
    tones.push_back(tone(RegisterLayer::Third, third->degree, third->interval + 12, true, false));
    for (std::size_t i = 0; i < others.size(); ++i) {
        const RegisterLayer layer = i == 0 ? RegisterLayer::Color : RegisterLayer::Fifth;
        tones.push_back(tone(layer, others[i]->degree, others[i]->interval, true, false));
    }
    tones.push_back(tone(RegisterLayer::Seventh, seventh->degree, seventh->interval + 12, true, false));
    return finishPlan("tessaro", VoicingStyle::Tessaro, 60.0, false, std::move(tones));
}

std::optional<VoicingPlan> buildTessaroPlan(const Chord& chord) { return buildTessaroPlan(chordToneSetOf(chord)); }

}  // namespace quillex
