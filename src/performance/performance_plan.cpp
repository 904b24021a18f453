// Voicing every chord slot of a document and compiling its performance plan.
#include "performance/performance_plan.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "document/performance_ranges.h"
#include "protocol/json_number.h"
#include "voicing/progression_voicing_request.h"

namespace quillex {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

constexpr const char* kRowLimit = "Performance plan exceeds the row limit";
constexpr const char* kVoicingCount = "Resolved voicing count does not match progression";

const ProgressionSection& progressionOf(const ProjectDocument& document) {
    if (!document.progression) fail("Document progression is invalid");
    return *document.progression;
}

bool isBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

[[noreturn]] void raiseVoicingCompilationError(const json& payload) {
    if (payload.is_object()) {
        const auto message = payload.find("message");
        if (message != payload.end() && message->is_string()) {
            throw std::runtime_error(message->get<std::string>());
        }
    }
    fail("Performance voicing compilation failed");
}

json slotRequest(const ProgressionSlot& slot, const VoicingSection& voicing) {
    json request = json::object();
    request["chord"] = slot.chord.original;
    request["style"] = slot.voicingStyle ? *slot.voicingStyle : voicing.defaultStyle;
    request["inversion"] = slot.inversion.value_or(0);
    request["octave_shift"] = slot.octaveShift.value_or(0);
    request["octave"] = 4;
    request["drop_bass"] = voicing.dropBass;
    if (voicing.autoVoiceLeading) request["auto_voiced"] = slot.isAutoVoiced.value_or(true);
    return request;
}

std::vector<std::int32_t> readNotes(const json& voicing) {
    const json& notes = voicing.is_object() ? voicing.at("notes") : voicing;
    if (!notes.is_array()) (void)notes.get<std::vector<json>>();  // the library's type error
    std::vector<std::int32_t> out;
    out.reserve(notes.size());
    for (const json& note : notes) out.push_back(readInt32Saturating(note));
    return out;
}

}  // namespace

std::optional<json> buildPerformanceVoicingRequest(const ProjectDocument& document,
                                                   const UserSettingsSection& settings) {
    const ProgressionSection& progression = progressionOf(document);
    // Text that was read and held a parse error keeps the slots it had: that counts
    // as resolved, so only text that was never read is refused here.
    if (progression.slots.empty() && !progression.parseError && !isBlank(progression.input)) {
        fail("Performance compilation requires resolved progression slots");
    }
    if (progression.slots.size() > kPerformancePlanRowLimit) fail(kRowLimit);

    const VoicingSection& voicing = document.voicing ? *document.voicing : VoicingSection{};
    json slots = json::array();
    for (const ProgressionSlot& slot : progression.slots) {
        if (!slot.isRest) slots.push_back(slotRequest(slot, voicing));
    }
    if (slots.empty()) return std::nullopt;

    const KeySection& key = document.key ? *document.key : KeySection{};
    json request = json::object();
    request["slots"] = std::move(slots);
    request["key"] = {{"root", key.root}, {"mode", key.mode}, {"minorScaleType", key.minorScaleType}};
    request["spellingPreference"] = settings.spellingPreference;
    request["simplifyAccidentals"] = settings.simplifyAccidentals;
    request["semitone_transpose"] = key.transposeOffset;
    request["request_octave"] = 4;
    request["source"] = "performance-plan";
    if (voicing.autoVoiceLeading) {
        request["auto_voice_lead"] = true;
        request["allow_bass_changes"] = voicing.allowBassChanges;
    }
    return request;
}

ResolvedVoicings readResolvedVoicings(const json& payload) {
    const json& voicings = payload.at("voicings");
    const json& inversions = payload.at("max_manual_inversions");
    const json& slashBasses = payload.at("voicing_slash_basses");
    const json& labels = payload.at("voicing_note_labels");
    const std::size_t count = voicings.size();
    if (inversions.size() != count || slashBasses.size() != count || labels.size() != count) {
        fail("Resolved voicing metadata count does not match voicings");
    }
    ResolvedVoicings out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        ResolvedVoicing voicing;
        voicing.notes = readNotes(voicings.at(i));
        voicing.maxManualInversions = readInt32Saturating(inversions.at(i));
        if (const json& slash = slashBasses.at(i); !slash.is_null()) voicing.slashBass = slash.get<std::string>();
        voicing.noteLabels = labels.at(i).get<std::vector<std::string>>();
        out.push_back(std::move(voicing));
    }
    return out;
}

std::shared_ptr<const ResolvedVoicings> compilePerformanceVoicings(const ProjectDocument& document,
                                                                   const UserSettingsSection& settings,
                                                                   VoicerPort& port) {
    const std::optional<json> request = buildPerformanceVoicingRequest(document, settings);
    if (!request) return std::make_shared<const ResolvedVoicings>();
    const BridgeReply reply = handleProgressionVoicings(*request, &port);
    if (reply.type != "progression_voicings") raiseVoicingCompilationError(reply.payload);
    return std::make_shared<const ResolvedVoicings>(readResolvedVoicings(reply.payload));
}

std::shared_ptr<const ResolvedPerformancePlan> compilePerformancePlan(const ProjectDocument& document,
                                                                      const ResolvedVoicings& voicings) {
    const ProgressionSection& progression = progressionOf(document);
    if (!document.rhythm) fail("Document rhythm is invalid");
    const RhythmSection& rhythm = *document.rhythm;

    auto plan = std::make_shared<ResolvedPerformancePlan>();
    plan->retriggerOnBlock = rhythm.retriggerOnBlock ? 1 : 0;
    plan->legato = rhythm.legato ? 1 : 0;
    if (progression.slots.size() > kPerformancePlanRowLimit) fail(kRowLimit);
    checkPerformanceRanges(document);

    plan->rows.reserve(progression.slots.size());
    std::size_t nextVoicing = 0;
    for (const ProgressionSlot& slot : progression.slots) {
        plan->totalLength += slot.duration;
        TriggerRow& row = plan->rows.emplace_back();
        if (slot.isRest) {
            row.duration = slot.duration;
            continue;
        }
        if (nextVoicing >= voicings.size()) fail(kVoicingCount);
        compileTriggerRowInto(row, slot, voicings[nextVoicing++].notes, rhythm);
    }
    if (nextVoicing != voicings.size()) fail(kVoicingCount);
    return plan;
}

}  // namespace quillex
