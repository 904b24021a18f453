// The dispatcher steps of the five progression commands: field checks, section overrides, the theory services.
#include "session/progression_commands.h"

#include <array>
#include <string>

#include "document/document_reader.h"
#include "session/generated_progression.h"
#include "session/musical_transform.h"
#include "session/slot_edit.h"
#include "protocol/json_number.h"
#include "theory/chord_list_transpose.h"
#include "theory/parallel_mode_recalculation.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr std::array<std::string_view, 5> kEditSections = {"progression", "key", "progressionLog", "voicing",
                                                           "gesture"};
constexpr std::array<std::string_view, 3> kTransformSections = {"progression", "key", "progressionLog"};

BridgeReply invalidFields(const DocumentCommandContext& context, const char* message) {
    return makeDocumentErrorReply(context.request, "invalid_document_command", message);
}

// The optional section overrides a progression command may carry.
struct SectionOverrides {
    std::shared_ptr<const KeySection> key;
    std::shared_ptr<const VoicingSection> voicing;
    std::shared_ptr<const GestureSection> gesture;
};

SectionOverrides readOverrides(const json& command) {
    SectionOverrides overrides;
    if (const auto it = command.find("key"); it != command.end()) overrides.key = readKeySection(*it);
    if (const auto it = command.find("voicing"); it != command.end()) overrides.voicing = readVoicingSection(*it);
    if (const auto it = command.find("gesture"); it != command.end()) overrides.gesture = readGestureSection(*it);
    return overrides;
}

// The three commands that read the current document before the transaction check
// answer as that check would while there is none yet.
BridgeReply noDocumentYet(const DocumentCommandContext& context, std::uint64_t baseRevision) {
    return makeDocumentErrorReply(context.request, "document_revision_mismatch",
                                  "Document command baseRevision " + std::to_string(baseRevision) +
                                      " does not match current revision uninitialized");
}

json currentKeyObject(const KeySection& key) {
    return {{"root", key.root}, {"mode", key.mode}, {"minorScaleType", key.minorScaleType}};
}

std::string serviceError(const json& payload) {
    const auto error = payload.find("error");
    return error->is_string() ? error->get<std::string>() : error->dump();
}

}  // namespace

BridgeReply runReplaceProgressionText(const DocumentCommandContext& context) {
    const json& command = context.command;
    if (!readDocumentCommandEnvelope(context.request) ||
        !hasOnlyAllowedKeys(command, {"type", "text"},
                            {"resetAutoVoicing", "progressionLog", "key", "voicing", "gesture"}) ||
        !command["text"].is_string()) {
        return invalidFields(context, "replace_progression_text fields are invalid");
    }
    std::shared_ptr<const ProgressionLog> log;
    if (const auto it = command.find("progressionLog"); it != command.end()) {
        log = std::make_shared<const ProgressionLog>(it->get<ProgressionLog>());
    }
    auto overrides = readOverrides(command);
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    bool resetAutoVoicing = false;
    if (const auto it = command.find("resetAutoVoicing"); it != command.end()) resetAutoVoicing = it->get<bool>();
    const auto& settings = requireUserSettings(context);
    const SessionResult result = context.session.replaceProgressionText(
        command["text"].get_ref<const std::string&>(), resetAutoVoicing, std::move(log), std::move(overrides.key),
        std::move(overrides.voicing), std::move(overrides.gesture), settings, baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kEditSections);
}

BridgeReply runApplySlotEdits(const DocumentCommandContext& context) {
    const json& command = context.command;
    if (!readDocumentCommandEnvelope(context.request) ||
        !hasOnlyAllowedKeys(command, {"type", "edits"}, {"key", "voicing", "gesture"})) {
        return invalidFields(context, "apply_slot_edits fields are invalid");
    }
    auto overrides = readOverrides(command);
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    const auto edits = parseSlotEdits(command["edits"]);
    const auto& settings = requireUserSettings(context);
    const SessionResult result =
        context.session.applySlotEdits(edits, std::move(overrides.key), std::move(overrides.voicing),
                                       std::move(overrides.gesture), settings, baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kEditSections);
}

BridgeReply runTransposeProgression(const DocumentCommandContext& context) {
    const json& command = context.command;
    std::optional<std::int32_t> semitones;
    if (hasExactlyKeys(command, {"type", "semitones"}) && command["semitones"].is_number_integer()) {
        semitones = readInt32Exact(command["semitones"]);
    }
    if (!readDocumentCommandEnvelope(context.request) || !semitones) {
        return invalidFields(context, "transpose_progression fields are invalid");
    }
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    if (!previous) return noDocumentYet(context, baseRevision);
    const auto& settings = requireUserSettings(context);
    const ProjectDocument& document = *previous->document;
    json request = {{"request_id", context.transactionId},
                    {"chords", buildTransformChordList(*document.progression)},
                    {"key", currentKeyObject(*document.key)},
                    {"semitones", *semitones},
                    {"keyLinked", true}};
    addTransformOptions(request, settings);
    const BridgeReply answer = handleTransposeChords(request);
    if (answer.payload.contains("error")) {
        return makeDocumentErrorReply(context.request, "document_transpose_failed", serviceError(answer.payload));
    }
    auto key = makeKeySectionFromTransform(*document.key, answer.payload.at("key"), semitones);
    auto chords = readTransformedChords(answer.payload.at("chords"));
    const SessionResult result = context.session.applyMusicalTransform(std::move(chords), std::move(key), settings,
                                                                       baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kTransformSections);
}

BridgeReply runSetParallelMode(const DocumentCommandContext& context) {
    const json& command = context.command;
    if (!readDocumentCommandEnvelope(context.request) || !hasExactlyKeys(command, {"type", "mode", "minorScaleType"}) ||
        !command["mode"].is_string() || !command["minorScaleType"].is_string()) {
        return invalidFields(context, "set_parallel_mode fields are invalid");
    }
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    if (!previous) return noDocumentYet(context, baseRevision);
    const auto& settings = requireUserSettings(context);
    const ProjectDocument& document = *previous->document;
    json request = {
        {"request_id", context.transactionId},
        {"chords", buildTransformChordList(*document.progression)},
        {"key",
         {{"root", document.key->root}, {"mode", command["mode"]}, {"minorScaleType", command["minorScaleType"]}}},
        {"oldMode", document.key->mode},
        {"oldMinorScaleType", document.key->minorScaleType},
        {"keyLinked", true}};
    addTransformOptions(request, settings);
    const BridgeReply answer = handleRecalculateRomans(request);
    if (answer.payload.contains("error")) {
        return makeDocumentErrorReply(context.request, "document_parallel_mode_failed", serviceError(answer.payload));
    }
    auto key = makeKeySectionFromTransform(*document.key, request["key"], std::nullopt);
    auto chords = readTransformedChords(answer.payload.at("chords"));
    const SessionResult result = context.session.applyMusicalTransform(std::move(chords), std::move(key), settings,
                                                                       baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kTransformSections);
}

BridgeReply runApplyGeneratedProgression(const DocumentCommandContext& context) {
    const json& command = context.command;
    if (!readDocumentCommandEnvelope(context.request) ||
        !hasExactlyKeys(command, {"type", "requestId", "items", "key"}) || !command["requestId"].is_string()) {
        return invalidFields(context, "apply_generated_progression fields are invalid");
    }
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    if (!previous) return noDocumentYet(context, baseRevision);
    auto key = makeKeySectionFromTransform(*previous->document->key, command["key"], std::nullopt);
    const auto items = readGeneratedProgressionItems(command["items"]);
    const auto& settings = requireUserSettings(context);
    const SessionResult result =
        context.session.applyGeneratedProgression(items, std::move(key), settings, baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kTransformSections);
}

}  // namespace quillex
