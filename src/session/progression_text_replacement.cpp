// Replacing the progression by typed text, keeping every slot a token can be matched to.
#include <stdexcept>
#include <variant>

#include "session/document_session.h"
#include "document/progression_slots.h"
#include "document/slot_ids.h"
#include "document/document_theory.h"

namespace quillex {

namespace {

struct RestToken {};
using TextToken = std::variant<RestToken, Chord>;

struct ClassifiedText {
    std::vector<TextToken> tokens;  // chords and rests, in order
    std::vector<Chord> chords;      // the chords alone, for the automatic key
    std::vector<std::string> invalid;
};

ClassifiedText classifyTokens(const std::vector<std::string>& words) {
    ClassifiedText result;
    result.tokens.reserve(words.size());
    for (const auto& word : words) {
        if (word == "r" || word == "R") {
            result.tokens.emplace_back(RestToken{});
        } else if (word == "%") {
            // Repeats the last chord read; rests do not reset it.
            if (result.chords.empty()) {
                result.invalid.push_back(word);
            } else {
                result.tokens.emplace_back(result.chords.back());
                result.chords.push_back(result.chords.back());
            }
        } else if (auto chord = parseChordSymbol(word)) {
            result.tokens.emplace_back(*chord);
            result.chords.push_back(std::move(*chord));
        } else {
            result.invalid.push_back(word);
        }
    }
    return result;
}

// Matches tokens to current slots: by position when the counts agree and the kinds
// match, else a chord by its typed text searching forward. A current slot is taken
// at most once, so the positional rule and the search never hand out one ID twice.
std::vector<ProgressionSlot> buildSlots(DocumentSession& session, const ClassifiedText& text,
                                        const std::vector<ProgressionSlot>& current, const KeySection& key,
                                        const ProjectDocument& document, bool resetFlags) {
    auto usedIds = collectSlotIds(current);
    const bool samePositions = text.tokens.size() == current.size();
    const bool autoVoiceLeading = document.voicing->autoVoiceLeading;
    std::vector<bool> taken(current.size(), false);
    std::vector<ProgressionSlot> slots;
    slots.reserve(text.tokens.size());
    std::size_t cursor = 0;
    bool chordSeen = false;
    for (std::size_t i = 0; i < text.tokens.size(); ++i) {
        const bool positional = samePositions && !taken[i];
        if (std::holds_alternative<RestToken>(text.tokens[i])) {
            if (positional && current[i].isRest) {
                taken[i] = true;
                slots.push_back(current[i]);
            } else {
                slots.push_back(makeRestSlot(session.makeSlotId(usedIds)));
            }
            continue;
        }
        SlotChord chord = analyzeSlotChord(std::get<Chord>(text.tokens[i]), key);
        std::optional<std::size_t> match;
        if (positional && !current[i].isRest) {
            match = i;
        } else {
            for (std::size_t j = cursor; j < current.size(); ++j) {
                if (taken[j] || current[j].isRest || current[j].chord.original != chord.original) continue;
                match = j;
                cursor = j + 1;
                break;
            }
        }
        ProgressionSlot slot;
        if (match) {
            taken[*match] = true;
            slot = current[*match];
        } else {
            slot = makeChordSlot({}, document, session.makeSlotId(usedIds), autoVoiceLeading && chordSeen);
        }
        slot.type = "chord";
        slot.isRest = false;
        slot.chord = std::move(chord);
        if (resetFlags) slot.isAutoVoiced = autoVoiceLeading && chordSeen;
        chordSeen = true;
        slots.push_back(std::move(slot));
    }
    validateSlotIds(slots);
    return slots;
}

}  // namespace

SessionResult DocumentSession::replaceProgressionText(const std::string& text, bool resetAutoVoicingFlags,
                                                      std::shared_ptr<const ProgressionLog> progressionLog,
                                                      std::shared_ptr<const KeySection> keyOverride,
                                                      std::shared_ptr<const VoicingSection> voicingOverride,
                                                      std::shared_ptr<const GestureSection> gestureOverride,
                                                      const UserSettingsSection& userSettings,
                                                      std::uint64_t baseRevision, std::string transactionId) {
    std::lock_guard command(commandMutex_);
    RevisionPtr base;
    SessionResult check = checkTransaction(baseRevision, transactionId, base);
    if (!check.succeeded()) return check;
    const ProjectDocument& current = *base->document;
    ProjectDocument document = current;

    const std::string normalized = normalizeProgressionText(text);
    const ClassifiedText classified = classifyTokens(splitProgressionTokens(normalized));
    auto progression = std::make_shared<ProgressionSection>(*current.progression);
    progression->input = normalized;

    KeySection key = keyOverride ? *keyOverride : *current.key;
    const bool keyChanged = keyOverride && !(*keyOverride == *current.key);
    const VoicingSection& oldVoicing = *current.voicing;
    const bool voicingChanged = voicingOverride && !(*voicingOverride == oldVoicing);
    const bool autoVoiceLeadingChanged =
        voicingChanged && voicingOverride->autoVoiceLeading != oldVoicing.autoVoiceLeading;
    if (voicingChanged) document.voicing = voicingOverride;
    if (gestureOverride) document.gesture = gestureOverride;

    ResolveImpact impact = ResolveImpact::Harmony;
    if (classified.invalid.empty()) {
        applyAutoKey(key, classified.chords);
        progression->slots = buildSlots(*this, classified, current.progression->slots, key, document,
                                        resetAutoVoicingFlags || autoVoiceLeadingChanged);
        progression->parseError.reset();
        if (!(key == *current.key)) document.key = std::make_shared<const KeySection>(std::move(key));
    } else {
        if (keyChanged) {
            for (auto& slot : progression->slots) {
                if (slot.isRest) continue;
                const auto chord = parseChordSymbol(slot.chord.original);
                if (!chord) return SessionResult::failure("document_key_failed", "Existing slot chord is invalid");
                slot.chord = analyzeSlotChord(*chord, key);
            }
            document.key = std::make_shared<const KeySection>(std::move(key));
        }
        if (autoVoiceLeadingChanged) resetAutoVoicing(progression->slots, voicingOverride->autoVoiceLeading);
        progression->parseError =
            ProgressionParseError{classified.invalid, "Parsing error: invalid chord " + classified.invalid.front()};
        if (!keyChanged && !voicingChanged) impact = ResolveImpact::None;
    }
    if (progressionLog) document.progressionLog = std::move(progressionLog);
    document.progression = std::move(progression);
    return recordRevision(base, std::move(document), userSettings, std::move(transactionId), impact);
}

}  // namespace quillex
