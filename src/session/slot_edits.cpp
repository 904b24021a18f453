// Applying slot edits: one transaction over a private copy of the progression.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <unordered_map>

#include "session/document_session.h"
#include "document/progression_slots.h"
#include "document/slot_ids.h"
#include "document/document_theory.h"

namespace quillex {

namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

// What every edit of one command works on.
struct SlotEditContext {
    ResolveImpact& impact;
    ProgressionSection& progression;
    DocumentSession& session;
    std::unordered_set<std::string>& usedIds;
    const ProjectDocument& document;
    bool& structureChanged;

    void raise(ResolveImpact level) {
        if (static_cast<std::int32_t>(level) > static_cast<std::int32_t>(impact)) impact = level;
    }
};

bool slotEditNamesSlot(const std::vector<std::string>& ids, const ProgressionSlot& slot) {
    return slot.id && std::find(ids.begin(), ids.end(), *slot.id) != ids.end();
}

// Runs `change` on every named slot; every listed ID must name a slot.
template <typename Change>
void forNamedSlots(SlotEditContext& context, const std::vector<std::string>& ids, Change&& change,
                   const char* unknownMessage = "Slot edit references an unknown slot ID") {
    if (ids.empty()) fail("Slot edit requires at least one slot ID");
    std::size_t named = 0;
    for (auto& slot : context.progression.slots) {
        if (!slotEditNamesSlot(ids, slot)) continue;
        change(slot);
        ++named;
    }
    if (named != ids.size()) fail(unknownMessage);
}

void insertSlot(SlotEditContext& context, const InsertSlotEdit& edit) {
    context.raise(ResolveImpact::Harmony);
    auto& slots = context.progression.slots;
    if (edit.index > slots.size()) fail("Slot insertion index is out of range");
    ProgressionSlot slot = edit.slot;
    if (!slot.id || slot.id->empty()) {
        slot.id = context.session.makeSlotId(context.usedIds);
    } else {
        context.usedIds.insert(*slot.id);
    }
    if (!slot.isRest) {
        const auto chord = parseChordSymbol(slot.chord.original);
        if (!chord) fail("Inserted slot chord symbol is invalid");
        slot.type = "chord";
        slot.chord = analyzeSlotChord(*chord, *context.document.key);
    }
    context.structureChanged = true;
    slots.insert(slots.begin() + static_cast<std::ptrdiff_t>(edit.index), std::move(slot));
}

void removeSlots(SlotEditContext& context, const RemoveSlotEdit& edit) {
    context.raise(ResolveImpact::Harmony);
    context.structureChanged = true;
    auto& slots = context.progression.slots;
    const auto kept = std::remove_if(
        slots.begin(), slots.end(), [&](const ProgressionSlot& slot) { return slotEditNamesSlot(edit.slotIds, slot); });
    const auto removed = static_cast<std::size_t>(slots.end() - kept);
    if (removed != edit.slotIds.size()) fail("Slot removal references an unknown slot ID");
    slots.erase(kept, slots.end());
}

void reorderSlots(SlotEditContext& context, const ReorderSlotEdit& edit) {
    context.raise(ResolveImpact::Harmony);
    context.structureChanged = true;
    auto& slots = context.progression.slots;
    if (edit.slotIds.size() != slots.size()) fail("Slot reorder must name every slot exactly once");
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].id) index.emplace(*slots[i].id, i);
    }
    std::vector<ProgressionSlot> reordered;
    reordered.reserve(slots.size());
    for (const auto& id : edit.slotIds) {
        const auto found = index.find(id);
        if (found == index.end()) fail("Slot reorder contains an unknown or duplicate ID");
        reordered.push_back(std::move(slots[found->second]));
        index.erase(found);
    }
    slots = std::move(reordered);
}

void setSlotChord(SlotEditContext& context, const ChordSlotEdit& edit) {
    context.raise(ResolveImpact::Harmony);
    context.structureChanged = true;
    const auto chord = parseChordSymbol(edit.symbol);
    if (!chord) fail("Slot chord symbol is invalid");
    const SlotChord analysed = analyzeSlotChord(*chord, *context.document.key);
    forNamedSlots(context, {edit.slotId}, [&](ProgressionSlot& slot) {
        slot.isRest = false;
        slot.type = "chord";
        slot.chord = analysed;
    });
}

void setSlotGesture(SlotEditContext& context, const GestureSlotEdit& edit) {
    context.raise(ResolveImpact::Performance);
    forNamedSlots(context, edit.slotIds, [&](ProgressionSlot& slot) {
        if (slot.isRest) fail("Rest slots do not have gestures");
        slot.attack = edit.attack;
        slot.attackOrders = edit.attackOrders;
        if (edit.gesturePresetIdGiven) {
            slot.gesturePresetId = edit.gesturePresetId;
            slot.gesturePresetIdPresent = true;
        }
    });
}

void setSlotLockState(SlotEditContext& context, const LockStateSlotEdit& edit) {
    if (edit.lockState != "none" && edit.lockState != "shape" && edit.lockState != "full") {
        fail("Slot lock state is invalid");
    }
    forNamedSlots(context, edit.slotIds, [&](ProgressionSlot& slot) { slot.lockState = edit.lockState; });
}

void applySlotEdit(SlotEditContext& context, const SlotEdit& edit) {
    switch (edit.index()) {
        case 0:
            return insertSlot(context, std::get<InsertSlotEdit>(edit));
        case 1:
            return removeSlots(context, std::get<RemoveSlotEdit>(edit));
        case 2:
            return reorderSlots(context, std::get<ReorderSlotEdit>(edit));
        case 3:
            return setSlotChord(context, std::get<ChordSlotEdit>(edit));
        case 4: {
            const auto& change = std::get<DurationSlotEdit>(edit);
            context.raise(ResolveImpact::Performance);
            if (!std::isfinite(change.duration) || change.duration <= 0.0) fail("Slot duration is invalid");
            return forNamedSlots(context, change.slotIds,
                                 [&](ProgressionSlot& slot) { slot.duration = change.duration; });
        }
        case 5: {
            const auto& change = std::get<VoicingSlotEdit>(edit);
            context.raise(ResolveImpact::Harmony);
            return forNamedSlots(context, change.slotIds, [&](ProgressionSlot& slot) {
                if (slot.isRest) fail("Rest slots do not have voicing settings");
                if (change.inversion) slot.inversion = change.inversion;
                if (change.octaveShift) slot.octaveShift = change.octaveShift;
                if (change.voicingStyle) slot.voicingStyle = change.voicingStyle;
                if (change.isAutoVoiced) slot.isAutoVoiced = change.isAutoVoiced;
            });
        }
        case 6: {
            const auto& change = std::get<VelocitySlotEdit>(edit);
            context.raise(ResolveImpact::Performance);
            if (change.velocity < 1 || change.velocity > 127) fail("Slot velocity is invalid");
            return forNamedSlots(context, change.slotIds, [&](ProgressionSlot& slot) {
                if (slot.isRest) fail("Rest slots do not have velocity");
                slot.velocity = change.velocity;
            });
        }
        case 7:
            return setSlotGesture(context, std::get<GestureSlotEdit>(edit));
        default:
            return setSlotLockState(context, std::get<LockStateSlotEdit>(edit));
    }
}

}  // namespace

SessionResult DocumentSession::applySlotEdits(const std::vector<SlotEdit>& edits,
                                              std::shared_ptr<const KeySection> keyOverride,
                                              std::shared_ptr<const VoicingSection> voicingOverride,
                                              std::shared_ptr<const GestureSection> gestureOverride,
                                              const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                              std::string transactionId) {
    std::lock_guard command(commandMutex_);
    if (edits.empty()) return SessionResult::failure("invalid_slot_edits", "Slot edit list is empty");
    RevisionPtr base;
    SessionResult check = checkTransaction(baseRevision, transactionId, base);
    if (!check.succeeded()) return check;
    const ProjectDocument& current = *base->document;
    ProjectDocument document = current;

    const bool keyChanged = keyOverride && !(*keyOverride == *current.key);
    if (keyChanged) document.key = keyOverride;
    const VoicingSection& oldVoicing = *current.voicing;
    const bool voicingChanged = voicingOverride && !(*voicingOverride == oldVoicing);
    const bool autoVoiceLeadingChanged =
        voicingChanged && voicingOverride->autoVoiceLeading != oldVoicing.autoVoiceLeading;
    if (voicingChanged) document.voicing = voicingOverride;
    if (gestureOverride) document.gesture = gestureOverride;

    auto progression = std::make_shared<ProgressionSection>(*current.progression);
    ResolveImpact impact = keyChanged || voicingChanged ? ResolveImpact::Harmony : ResolveImpact::None;
    bool structureChanged = false;
    try {
        auto usedIds = collectSlotIds(progression->slots);
        SlotEditContext context{impact, *progression, *this, usedIds, document, structureChanged};
        for (const auto& edit : edits) applySlotEdit(context, edit);
        validateSlotIds(progression->slots);
        if (structureChanged || keyChanged) {
            KeySection key = *document.key;
            std::vector<Chord> chords;
            chords.reserve(progression->slots.size());
            for (const auto& slot : progression->slots) {
                if (slot.isRest) continue;
                auto chord = parseChordSymbol(slot.chord.original);
                if (!chord) fail("Slot chord symbol is invalid");
                chords.push_back(std::move(*chord));
            }
            applyAutoKey(key, chords);
            std::size_t next = 0;
            for (auto& slot : progression->slots) {
                if (!slot.isRest) slot.chord = analyzeSlotChord(chords[next++], key);
            }
            if (key == *current.key) {
                document.key = current.key;
            } else {
                document.key = std::make_shared<const KeySection>(std::move(key));
            }
        }
        if (autoVoiceLeadingChanged) resetAutoVoicing(progression->slots, voicingOverride->autoVoiceLeading);
        progression->input = buildProgressionText(progression->slots);
        progression->parseError.reset();
        document.progression = progression;
        if (structureChanged && progression->input != current.progression->input) appendProgressionLogEntry(document);
    } catch (const std::exception& e) {
        return SessionResult::failure("invalid_slot_edits", e.what());
    }
    return recordRevision(base, std::move(document), userSettings, std::move(transactionId), impact);
}

}  // namespace quillex
