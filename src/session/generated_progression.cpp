// Applying a generated progression: unlocked slots are replaced, "shape" slots keep their
// timing, "full" slots stay.
#include "session/generated_progression.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "session/document_session.h"
#include "document/progression_slots.h"
#include "document/slot_ids.h"
#include "document/document_theory.h"

namespace quillex {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

struct GeneratedSlotContext {
    DocumentSession& session;
    std::unordered_set<std::string>& usedIds;
    const KeySection& key;
    const ProjectDocument& document;
    bool chordSeen = false;
};

bool lockedAs(const ProgressionSlot& slot, std::string_view state) {
    return slot.lockState && *slot.lockState == state;
}

void makeSlotsFromGeneratedProgression(GeneratedSlotContext& context, const GeneratedProgressionItem& item,
                                       const ProgressionSlot* existing, std::vector<ProgressionSlot>& out) {
    if (item) {
        const auto chord = parseChordSymbol(*item);
        if (!chord) fail("Generated progression contains an invalid chord");
        SlotChord analysed = analyzeSlotChord(*chord, context.key);
        ProgressionSlot slot;
        if (existing && !existing->isRest) {
            slot = *existing;
            slot.chord = std::move(analysed);
        } else {
            slot = makeChordSlot(std::move(analysed), context.document, context.session.makeSlotId(context.usedIds),
                                 context.document.voicing->autoVoiceLeading && context.chordSeen);
            if (existing) {
                slot.duration = existing->duration;
                slot.lockState = existing->lockState;
            }
        }
        slot.type = "chord";
        slot.isRest = false;
        context.chordSeen = true;
        out.push_back(std::move(slot));
        return;
    }
    ProgressionSlot slot =
        existing && existing->isRest ? *existing : makeRestSlot(context.session.makeSlotId(context.usedIds));
    if (existing) {
        slot.duration = existing->duration;
        slot.lockState = existing->lockState;
    }
    out.push_back(std::move(slot));
}

// A "full" slot kept as it is, its chord (when it has one) analysed in the generated key.
ProgressionSlot keepFullSlot(GeneratedSlotContext& context, const ProgressionSlot& slot, const std::string* text) {
    ProgressionSlot copy = slot;
    if (copy.isRest) return copy;
    const auto chord = parseChordSymbol(text ? *text : copy.chord.original);
    if (!chord) fail("Locked generated chord is invalid");
    copy.chord = analyzeSlotChord(*chord, context.key);
    context.chordSeen = true;
    return copy;
}

}  // namespace

std::vector<GeneratedProgressionItem> readGeneratedProgressionItems(const json& items) {
    if (!items.is_array() || items.empty()) fail("Generated progression items are invalid");
    std::vector<GeneratedProgressionItem> result;
    result.reserve(items.size());
    for (const auto& item : items) {
        const auto type = item.is_object() ? item.find("type") : item.end();
        if (!item.is_object() || type == item.end() || !type->is_string())
            fail("Generated progression item is invalid");
        const auto& name = type->get_ref<const std::string&>();
        if (name == "rest") {
            result.emplace_back();
            continue;
        }
        const auto chord = item.find("chord");
        if (name != "chord" || chord == item.end() || !chord->is_object())
            fail("Generated progression chord is invalid");
        auto text = chord->find("original");
        if (text == chord->end()) text = chord->find("symbol");
        if (text == chord->end() || !text->is_string() || text->get_ref<const std::string&>().empty()) {
            fail("Generated progression chord has no symbol");
        }
        result.emplace_back(text->get<std::string>());
    }
    return result;
}

SessionResult DocumentSession::applyGeneratedProgression(const std::vector<GeneratedProgressionItem>& items,
                                                         std::shared_ptr<const KeySection> key,
                                                         const UserSettingsSection& userSettings,
                                                         std::uint64_t baseRevision, std::string transactionId) {
    std::lock_guard command(commandMutex_);
    RevisionPtr base;
    SessionResult check = checkTransaction(baseRevision, transactionId, base);
    if (!check.succeeded()) return check;
    if (items.empty()) {
        return SessionResult::failure("invalid_generated_progression", "Generated progression contains no items");
    }
    const ProjectDocument& current = *base->document;
    ProjectDocument document = current;
    try {
        const auto& currentSlots = current.progression->slots;
        auto progression = std::make_shared<ProgressionSection>();
        progression->slots.reserve(currentSlots.size() + items.size());
        auto usedIds = collectSlotIds(currentSlots);
        GeneratedSlotContext context{*this, usedIds, *key, document};
        std::size_t k = 0;
        for (const auto& slot : currentSlots) {
            if (k < items.size()) {
                const auto& item = items[k++];
                if (lockedAs(slot, "full")) {
                    // The generator places a locked chord at its own position, so item k is that chord.
                    if (slot.isRest == item.has_value()) fail("Generated locked item type does not match its slot");
                    progression->slots.push_back(keepFullSlot(context, slot, item ? &*item : nullptr));
                } else {
                    makeSlotsFromGeneratedProgression(context, item, lockedAs(slot, "shape") ? &slot : nullptr,
                                                      progression->slots);
                }
            } else if (lockedAs(slot, "full")) {
                progression->slots.push_back(keepFullSlot(context, slot, nullptr));
            }
        }
        for (; k < items.size(); ++k) makeSlotsFromGeneratedProgression(context, items[k], nullptr, progression->slots);
        validateSlotIds(progression->slots);
        progression->input = buildProgressionText(progression->slots);
        document.key = std::move(key);
        document.progression = progression;
        if (progression->input != current.progression->input) appendProgressionLogEntry(document);
    } catch (const std::exception& e) {
        return SessionResult::failure("invalid_generated_progression", e.what());
    }
    return recordRevision(base, std::move(document), userSettings, std::move(transactionId), ResolveImpact::Harmony);
}

}  // namespace quillex
