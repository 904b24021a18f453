// Helpers shared by the progression commands.
#include "document/progression_slots.h"

#include <algorithm>

namespace quillex {

namespace {
constexpr std::size_t kProgressionLogLimit = 50;
}

std::unordered_set<std::string> collectSlotIds(const std::vector<ProgressionSlot>& slots) {
    std::unordered_set<std::string> ids;
    ids.reserve(slots.size() * 2);
    for (const auto& slot : slots) {
        if (slot.id && !slot.id->empty()) ids.insert(*slot.id);
    }
    return ids;
}

std::string buildProgressionText(const std::vector<ProgressionSlot>& slots) {
    std::string text;
    bool first = true;
    for (const auto& slot : slots) {
        if (!first) text += ' ';
        first = false;
        text += slot.isRest ? std::string_view("r") : std::string_view(slot.chord.original);
    }
    return text;
}

void appendProgressionLogEntry(ProjectDocument& document) {
    const std::string& input = document.progression->input;
    const ProgressionLog empty;
    const ProgressionLog& log = document.progressionLog ? *document.progressionLog : empty;
    if (input.empty() || (!log.empty() && log.back() == input)) return;
    const std::size_t kept = std::min(log.size(), kProgressionLogLimit - 1);
    auto next = std::make_shared<ProgressionLog>(log.end() - static_cast<std::ptrdiff_t>(kept), log.end());
    next->push_back(input);
    document.progressionLog = std::move(next);
}

ProgressionSlot makeChordSlot(SlotChord chord, const ProjectDocument& document, std::string id, bool isAutoVoiced) {
    ProgressionSlot slot;
    slot.id = std::move(id);
    slot.type = "chord";
    slot.duration = 4.0;
    slot.lockState = "none";
    slot.chord = std::move(chord);
    slot.inversion = 0;
    slot.octaveShift = 0;
    slot.voicingStyle = document.voicing->defaultStyle;
    slot.isAutoVoiced = isAutoVoiced;
    const GestureSection& gesture = *document.gesture;
    slot.velocity = gesture.newChordVelocity;
    slot.attack = gesture.newChordAttack;
    slot.attackOrders = gesture.newChordAttackOrders;
    slot.gesturePresetId = gesture.newChordPresetId;
    slot.gesturePresetIdPresent = true;
    return slot;
}

ProgressionSlot makeRestSlot(std::string id) {
    ProgressionSlot slot;
    slot.id = std::move(id);
    slot.type = "rest";
    slot.isRest = true;
    slot.duration = 4.0;
    slot.lockState = "none";
    return slot;
}

void resetAutoVoicing(std::vector<ProgressionSlot>& slots, bool autoVoiceLeading) {
    bool first = true;
    for (auto& slot : slots) {
        if (slot.isRest) continue;
        slot.isAutoVoiced = first ? false : autoVoiceLeading;
        first = false;
    }
}

}  // namespace quillex
