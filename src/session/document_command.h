// The document command protocol: envelope checks, the transaction-ID rule, dispatch and error replies.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "session/document_replies.h"
#include "session/document_session.h"
#include "protocol/trace_clock.h"
#include "document/user_settings_section.h"
#include "protocol/bridge_reply.h"

namespace quillex {

// Made at the start of every command, for the trace line of a successful change.
struct DocumentCommandTraceContext {
    TraceClock::time_point start;
    const nlohmann::json& request;
};

// What a command's steps receive; everything is borrowed for the call.
struct DocumentCommandContext {
    std::string_view type;
    const nlohmann::json& request;        // as readDocumentCommandEnvelope checks it
    const nlohmann::json& command;        // the "command" object
    const nlohmann::json& requestObject;  // "baseRevision" is read from it
    DocumentSession& session;
    const std::shared_ptr<const UserSettingsSection>& userSettings;  // may be null
    const std::string& transactionId;
    const DocumentCommandTraceContext& trace;
};

// Exactly one reply per request; every failure becomes a "document_error" reply.
BridgeReply executeDocumentCommand(const nlohmann::json& request,
                                   const std::shared_ptr<const UserSettingsSection>& userSettings,
                                   DocumentSession& session) noexcept;

// "document_error" with {"code", "error", "message", "transactionId"}.
BridgeReply makeDocumentErrorReply(const nlohmann::json& request, std::string_view code, std::string_view message);

// The request's string "transactionId", else "".
std::string readTransactionId(const nlohmann::json& request);

// Exactly "schemaVersion", "transactionId", "command" and "baseRevision", the last a
// non-negative integer.
bool readDocumentCommandEnvelope(const nlohmann::json& request);

bool hasExactlyKeys(const nlohmann::json& value, std::initializer_list<std::string_view> keys);
bool hasOnlyAllowedKeys(const nlohmann::json& value, std::initializer_list<std::string_view> required,
                        std::initializer_list<std::string_view> optional);

// Writes the "document_command" trace line while tracing is on; returns the reply.
BridgeReply formatDocumentCommandTrace(const DocumentCommandTraceContext& trace, BridgeReply reply);

// The chord texts ("original") of the chord slots, in slot order; rests are skipped.
nlohmann::json buildTransformChordList(const ProgressionSection& progression);

// Shared by the mutating command steps.

// The strict envelope's "baseRevision" (the envelope has been checked).
std::uint64_t readBaseRevision(const DocumentCommandContext& context);

// The host's user settings; throws "DocumentSession requires validated user settings"
// when there are none, so a change never runs without them.
const UserSettingsSection& requireUserSettings(const DocumentCommandContext& context);

// "document_revision" with the change report (traced) on success, else the result's error.
BridgeReply replyToChange(const DocumentCommandContext& context, const RevisionPtr& previous,
                          const SessionResult& result, SectionNames sections);

// One command type and its steps; tried in table order.
using DocumentCommandStep = BridgeReply (*)(const DocumentCommandContext& context);
struct DocumentCommandEntry {
    std::string_view type;
    DocumentCommandStep run;
};

}  // namespace quillex
