// Musical transforms: reading the service's answer and putting its chords into the chord slots.
#include "session/musical_transform.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "document/document_reader.h"
#include "session/document_session.h"
#include "document/progression_slots.h"

namespace quillex {

using nlohmann::json;

void addTransformOptions(json& request, const UserSettingsSection& settings) {
    request["spellingPreference"] = settings.spellingPreference;
    request["simplifyAccidentals"] = settings.simplifyAccidentals;
}

std::shared_ptr<const KeySection> makeKeySectionFromTransform(const KeySection& base, const json& key,
                                                              std::optional<std::int32_t> semitones) {
    const auto root = key.is_object() ? key.find("root") : key.end();
    const auto mode = key.is_object() ? key.find("mode") : key.end();
    if (!key.is_object() || root == key.end() || mode == key.end() || !root->is_string() || !mode->is_string()) {
        throw std::runtime_error("Musical transform returned an invalid key");
    }
    auto section = std::make_shared<KeySection>(base);
    section->root = root->get<std::string>();
    section->mode = mode->get<std::string>();
    if (const auto scale = key.find("minorScaleType"); scale != key.end()) {
        section->minorScaleType = scale->get<std::string>();
    }
    if (semitones) {
        // Summed wide and wrapped, as a 32-bit addition would, without overflow.
        const auto sum = static_cast<std::uint32_t>(static_cast<std::int64_t>(section->transposeOffset) + *semitones);
        section->transposeOffset = static_cast<std::int32_t>(sum);
    }
    return section;
}

std::vector<SlotChord> readTransformedChords(const json& chords) {
    if (!chords.is_array()) throw std::runtime_error("Musical transform returned no chords");
    std::vector<SlotChord> result;
    result.reserve(chords.size());
    for (const auto& chord : chords) {
        const auto symbol = chord.is_object() ? chord.find("symbol") : chord.end();
        if (!chord.is_object() || symbol == chord.end() || !symbol->is_string()) {
            throw std::runtime_error("Musical transform returned an invalid chord sequence");
        }
        json copy = chord;
        copy["original"] = *symbol;
        result.push_back(readSlotChord(copy));
    }
    return result;
}

SessionResult DocumentSession::applyMusicalTransform(std::vector<SlotChord> chords,
                                                     std::shared_ptr<const KeySection> key,
                                                     const UserSettingsSection& userSettings,
                                                     std::uint64_t baseRevision, std::string transactionId) {
    std::lock_guard command(commandMutex_);
    RevisionPtr base;
    SessionResult check = checkTransaction(baseRevision, transactionId, base);
    if (!check.succeeded()) return check;
    const ProjectDocument& current = *base->document;
    ProjectDocument document = current;
    auto progression = std::make_shared<ProgressionSection>(*current.progression);
    std::size_t chordSlots = 0;
    for (const auto& slot : progression->slots) chordSlots += slot.isRest ? 0 : 1;
    if (chordSlots != chords.size()) {
        return SessionResult::failure("document_transform_failed", "Musical transform returned the wrong chord count");
    }
    std::size_t next = 0;
    for (auto& slot : progression->slots) {
        if (!slot.isRest) slot.chord = std::move(chords[next++]);
    }
    progression->input = buildProgressionText(progression->slots);
    progression->parseError.reset();
    document.progression = progression;
    document.key = std::move(key);
    if (progression->input != current.progression->input) appendProgressionLogEntry(document);
    return recordRevision(base, std::move(document), userSettings, std::move(transactionId), ResolveImpact::Harmony);
}

}  // namespace quillex
