// The document command dispatcher and the steps of the reads, restore, log update and settlements.
#include "session/document_command.h"

#include <array>
#include <stdexcept>

#include "document/document_reader.h"
#include "session/progression_commands.h"
#include "session/section_commands.h"
#include "protocol/diagnostic_trace.h"
#include "protocol/json_number.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr std::array<std::string_view, 2> kKeySections = {"key", "progression"};
constexpr std::array<std::string_view, 2> kVoicingSections = {"voicing", "progression"};
constexpr std::array<std::string_view, 1> kRhythmSections = {"rhythm"};
constexpr std::array<std::string_view, 1> kGestureSections = {"gesture"};
constexpr std::array<std::string_view, 1> kBassSplitSections = {"bassSplit"};
constexpr std::array<std::string_view, 1> kClipSyncSections = {"clipSync"};
constexpr std::array<std::string_view, 2> kClipSyncAndBassSplitSections = {"clipSync", "bassSplit"};
constexpr std::array<std::string_view, 1> kLogSections = {"progressionLog"};

BridgeReply invalidFields(const DocumentCommandContext& context, std::string_view message) {
    return makeDocumentErrorReply(context.request, "invalid_document_command", message);
}

bool hasReadEnvelope(const json& request) {
    return hasOnlyAllowedKeys(request, {"schemaVersion", "transactionId", "command"}, {"responseTarget"});
}

bool hasSettlementEnvelope(const json& request) {
    return hasExactlyKeys(request, {"schemaVersion", "transactionId", "command"});
}

BridgeReply runGetDocumentView(const DocumentCommandContext& context) {
    if (!hasReadEnvelope(context.request) || !hasExactlyKeys(context.command, {"type"})) {
        return invalidFields(context, "get_document_view fields are invalid");
    }
    const RevisionPtr current = context.session.currentRevisionBetweenCommands();
    if (!current) {
        return makeDocumentErrorReply(context.request, "document_unavailable",
                                      "Authoritative document state is unavailable");
    }
    const RevisionPtr durable = context.session.durableRevision();
    json payload = makeDocumentViewReply(*current);
    payload["transactionId"] = context.transactionId;
    payload["durableRevision"] = durable ? durable->revision : std::uint64_t{0};
    payload["clipPlanChanged"] = !durable || durable->plan != current->plan;
    if (!durable || durable != current) payload["originatingTransactionId"] = current->originatingTransactionId;
    return {"document_view", std::move(payload)};
}

BridgeReply runGetDocumentRevision(const DocumentCommandContext& context) {
    const auto number = context.command.is_object() && context.command.contains("revision")
                            ? readUint64Integer(context.command["revision"])
                            : std::nullopt;
    if (!hasReadEnvelope(context.request) || !hasExactlyKeys(context.command, {"type", "revision"}) || !number) {
        return invalidFields(context, "get_document_revision fields are invalid");
    }
    const RevisionPtr found = context.session.revisionAt(*number);
    if (!found) {
        return makeDocumentErrorReply(context.request, "document_revision_unavailable",
                                      "Requested document revision is unavailable");
    }
    json payload = makeDocumentRevisionReply(*found);
    payload["transactionId"] = context.transactionId;
    payload["originatingTransactionId"] = found->originatingTransactionId;
    return {"document_view", std::move(payload)};
}

BridgeReply runRestoreProjectSnapshot(const DocumentCommandContext& context) {
    if (!hasSettlementEnvelope(context.request) || !hasExactlyKeys(context.command, {"type", "documentState"}) ||
        !context.command["documentState"].is_object()) {
        return invalidFields(context, "restore_project_snapshot fields are invalid");
    }
    const auto& settings = requireUserSettings(context);
    const SessionResult result =
        context.session.restoreProjectSnapshot(context.command["documentState"], settings, context.transactionId);
    if (!result.succeeded()) return makeDocumentErrorReply(context.request, result.errorCode, result.errorMessage);
    json payload = makeDocumentViewReply(*result.revision);
    payload["transactionId"] = context.transactionId;
    payload["baseRevision"] = nullptr;
    return formatDocumentCommandTrace(context.trace, {"document_revision", std::move(payload)});
}

template <bool (*handler)(const DocumentCommandContext&, SectionNames, BridgeReply&), const auto& sections>
BridgeReply runSectionHandler(const DocumentCommandContext& context) {
    BridgeReply reply;
    handler(context, SectionNames(sections), reply);
    return reply;
}

BridgeReply runSetClipSync(const DocumentCommandContext& context) {
    if (readDocumentCommandEnvelope(context.request) &&
        hasExactlyKeys(context.command, {"type", "clipSync", "bassSplit"})) {
        auto bassSplit = readBassSplitSection(context.command["bassSplit"]);
        auto clipSync = readClipSyncSection(context.command["clipSync"]);
        const std::uint64_t baseRevision = readBaseRevision(context);
        const RevisionPtr previous = context.session.currentRevision();
        const auto& settings = requireUserSettings(context);
        const SessionResult result = context.session.setClipSyncWithBassSplit(
            std::move(clipSync), std::move(bassSplit), settings, baseRevision, context.transactionId);
        return replyToChange(context, previous, result, kClipSyncAndBassSplitSections);
    }
    return runSectionHandler<handleSetClipSync, kClipSyncSections>(context);
}

BridgeReply runUpdateProgressionLog(const DocumentCommandContext& context) {
    if (!readDocumentCommandEnvelope(context.request) || !hasExactlyKeys(context.command, {"type", "progressionLog"})) {
        return invalidFields(context, "update_progression_log fields are invalid");
    }
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    auto log = readProgressionLog(context.command["progressionLog"]);
    const auto& settings = requireUserSettings(context);
    const SessionResult result =
        context.session.updateProgressionLog(std::move(log), settings, baseRevision, context.transactionId);
    return replyToChange(context, previous, result, kLogSections);
}

template <bool isCommit>
BridgeReply runSettlement(const DocumentCommandContext& context) {
    const auto& command = context.command;
    const auto number = command.contains("revision") ? readUint64Integer(command["revision"]) : std::nullopt;
    if (!hasSettlementEnvelope(context.request) ||
        !hasExactlyKeys(command, {"type", "revision", "originatingTransactionId"}) || !number ||
        !command["originatingTransactionId"].is_string()) {
        return invalidFields(context, "Document settlement fields are invalid");
    }
    const std::uint64_t revision = number.value_or(0);
    const auto& originating = command["originatingTransactionId"].get_ref<const std::string&>();
    RevisionPtr restored;
    const bool settled = isCommit ? context.session.commitRevision(revision, originating)
                                  : (restored = context.session.rollbackRevision(revision, originating)) != nullptr;
    if (!settled) {
        return makeDocumentErrorReply(context.request, "document_settlement_mismatch",
                                      "Document settlement did not match an unsettled revision");
    }
    json payload = json::object();
    payload["originatingTransactionId"] = originating;
    payload["revision"] = revision;
    payload["settledRevision"] = revision;
    payload["status"] = isCommit ? "commit_revision" : "rollback_revision";
    payload["transactionId"] = context.transactionId;
    if (!isCommit) {
        json view = makeDocumentViewReply(*restored);
        for (auto& [key, value] : view.items()) payload[key] = std::move(value);
    }
    return {isCommit ? "document_commit_result" : "document_rollback", std::move(payload)};
}

// The command types in the order they are tried.
constexpr std::array<DocumentCommandEntry, 17> kCommandTable = {{
    {"get_document_view", runGetDocumentView},
    {"get_document_revision", runGetDocumentRevision},
    {"restore_project_snapshot", runRestoreProjectSnapshot},
    {"replace_progression_text", runReplaceProgressionText},
    {"apply_slot_edits", runApplySlotEdits},
    {"transpose_progression", runTransposeProgression},
    {"set_parallel_mode", runSetParallelMode},
    {"apply_generated_progression", runApplyGeneratedProgression},
    {"set_key", runSectionHandler<handleSetKey, kKeySections>},
    {"set_voicing_policy", runSectionHandler<handleSetVoicingPolicy, kVoicingSections>},
    {"set_rhythm", runSectionHandler<handleSetRhythm, kRhythmSections>},
    {"set_gesture_defaults", runSectionHandler<handleSetGestureDefaults, kGestureSections>},
    {"set_bass_split", runSectionHandler<handleSetBassSplit, kBassSplitSections>},
    {"set_clip_sync", runSetClipSync},
    {"update_progression_log", runUpdateProgressionLog},
    {"commit_revision", runSettlement<true>},
    {"rollback_revision", runSettlement<false>},
}};

BridgeReply dispatch(const json& request, const std::shared_ptr<const UserSettingsSection>& userSettings,
                     DocumentSession& session, const DocumentCommandTraceContext& trace) {
    const auto schema = request.is_object() ? request.find("schemaVersion") : request.end();
    const auto id = request.is_object() ? request.find("transactionId") : request.end();
    const auto command = request.is_object() ? request.find("command") : request.end();
    if (!request.is_object() || schema == request.end() || !schema->is_number_integer() || id == request.end() ||
        !id->is_string() || id->get_ref<const std::string&>().empty() || command == request.end() ||
        !command->is_object()) {
        return makeDocumentErrorReply(request, "invalid_document_command", "Document command envelope is invalid");
    }
    if (readUint64Integer(*schema) != std::uint64_t{1}) {
        return makeDocumentErrorReply(request, "unsupported_document_schema",
                                      "Document command schema version is unsupported");
    }
    const std::string& transactionId = id->get_ref<const std::string&>();
    if (!session.rememberTransactionId(transactionId)) {
        return makeDocumentErrorReply(request, "duplicate_transaction_id",
                                      "Document command transaction ID has already been used");
    }
    const auto type = command->find("type");
    if (type == command->end() || !type->is_string()) {
        return makeDocumentErrorReply(request, "invalid_document_command", "Document command type is missing");
    }
    const std::string_view typeText = type->get_ref<const std::string&>();
    for (const auto& entry : kCommandTable) {
        if (entry.type != typeText) continue;
        const DocumentCommandContext context{typeText, request,      *command,      request,
                                             session,  userSettings, transactionId, trace};
        return entry.run(context);
    }
    return makeDocumentErrorReply(request, "unsupported_document_command", "Document command type is unsupported");
}

}  // namespace

std::string readTransactionId(const json& request) {
    if (!request.is_object()) return {};
    const auto id = request.find("transactionId");
    return id != request.end() && id->is_string() ? id->get<std::string>() : std::string();
}

BridgeReply makeDocumentErrorReply(const json& request, std::string_view code, std::string_view message) {
    json payload = json::object();
    payload["code"] = code;
    payload["error"] = message;
    payload["message"] = message;
    payload["transactionId"] = readTransactionId(request);
    return {"document_error", std::move(payload)};
}

bool hasExactlyKeys(const json& value, std::initializer_list<std::string_view> keys) {
    if (!value.is_object() || value.size() != keys.size()) return false;
    for (const auto key : keys) {
        if (value.find(key) == value.end()) return false;
    }
    return true;
}

bool hasOnlyAllowedKeys(const json& value, std::initializer_list<std::string_view> required,
                        std::initializer_list<std::string_view> optional) {
    if (!value.is_object()) return false;
    for (const auto key : required) {
        if (value.find(key) == value.end()) return false;
    }
    for (const auto& [key, member] : value.items()) {
        const auto listed = [&](std::initializer_list<std::string_view> keys) {
            for (const auto k : keys) {
                if (k == key) return true;
            }
            return false;
        };
        if (!listed(required) && !listed(optional)) return false;
    }
    return true;
}

bool readDocumentCommandEnvelope(const json& request) {
    if (!hasExactlyKeys(request, {"schemaVersion", "transactionId", "command", "baseRevision"})) return false;
    return readUint64Integer(request["baseRevision"]).has_value();
}

json buildTransformChordList(const ProgressionSection& progression) {
    json chords = json::array();
    for (const auto& slot : progression.slots) {
        if (!slot.isRest) chords.push_back(slot.chord.original);
    }
    return chords;
}

std::uint64_t readBaseRevision(const DocumentCommandContext& context) {
    const auto value = readUint64Integer(context.requestObject.at("baseRevision"));
    if (!value) throw std::runtime_error("Document command baseRevision is invalid");
    return *value;
}

const UserSettingsSection& requireUserSettings(const DocumentCommandContext& context) {
    if (!context.userSettings) throw std::runtime_error("DocumentSession requires validated user settings");
    return *context.userSettings;
}

BridgeReply replyToChange(const DocumentCommandContext& context, const RevisionPtr& previous,
                          const SessionResult& result, SectionNames sections) {
    if (!result.succeeded()) return makeDocumentErrorReply(context.request, result.errorCode, result.errorMessage);
    json payload = makeDocumentChangeReport(previous.get(), *result.revision, context.transactionId,
                                            readBaseRevision(context), sections);
    return formatDocumentCommandTrace(context.trace, {"document_revision", std::move(payload)});
}

BridgeReply formatDocumentCommandTrace(const DocumentCommandTraceContext& trace, BridgeReply reply) {
    if (!isDiagnosticTraceEnabled()) return reply;
    std::uint64_t revision = 0;
    if (reply.payload.is_object()) {
        const auto member = reply.payload.find("revision");
        if (member != reply.payload.end()) revision = readUint64Integer(*member).value_or(0);
    }
    std::string line = "document_command trace_id=" + readTransactionId(trace.request);
    line += " result=" + reply.type;
    line += " revision=" + std::to_string(revision);
    line += " total_ms=" + formatTraceMilliseconds(elapsedMilliseconds(trace.start, TraceClock::now()));
    appendDiagnosticTraceLine(std::move(line));
    return reply;
}

BridgeReply executeDocumentCommand(const json& request, const std::shared_ptr<const UserSettingsSection>& userSettings,
                                   DocumentSession& session) noexcept {
    const DocumentCommandTraceContext trace{TraceClock::now(), request};
    try {
        return dispatch(request, userSettings, session, trace);
    } catch (const std::exception& e) {
        return makeDocumentErrorReply(request, "document_command_failed", e.what());
    } catch (...) {
        return makeDocumentErrorReply(request, "document_command_failed", "Document command failed");
    }
}

}  // namespace quillex
