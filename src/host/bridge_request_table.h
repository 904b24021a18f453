// The table of page request types, the envelope reader and the dispatcher's error payloads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

inline constexpr std::string_view kBridgeVersion = "1.3.1";

// Handler selectors of the request table.
enum class RequestKind : std::uint32_t {
    GenerateVoicing = 0,
    GenerateProgression = 1,
    GenerateLocalProgression = 2,
    ParseChord = 3,
    DiatonicChords = 4,
    VoicingStyles = 5,
    RelevantVoicings = 6,
    RangePresets = 7,
    RhythmPatterns = 8,
    SupportedQualities = 9,
    AvailableModifiers = 10,
    ApplyModifiers = 11,
    Suggestions = 12,
    Version = 13,
    ReadClipboard = 15,
    WriteClipboard = 16,
    GetUserSettings = 18,
    SetUserSetting = 19,
    RhythmPreset = 20,
    GesturePreset = 21,
    RenderPerformance = 22,
    DocumentCommand = 23,
    Ready = 24,
};

struct BridgeRequestSpec {
    std::string_view type;
    RequestKind kind;
    bool takesPayloadObject;                          // may be inferred from a bare payload's shape
    bool (*payloadValidator)(const nlohmann::json&);  // null when the row has none
};

// The 23 rows in table order.
std::span<const BridgeRequestSpec> bridgeRequestTable();

// Exact, case-sensitive lookup.
const BridgeRequestSpec* findBridgeRequest(std::string_view type);

// The request's payload: the message itself in the flat form, else a copy of
// its "payload" object carrying the envelope's string "request_id" when the
// payload has none. Raises std::runtime_error "Expected request payload
// object" or "Request type mismatch".
nlohmann::json validateRequestEnvelope(std::string_view requestType, const nlohmann::json& message);

// Runs a row served by a stateless service; no value for the rows the object
// handles itself (and the clipboard rows, which are answered with nothing).
std::optional<BridgeReply> executeBridgeRequest(const BridgeRequestSpec& row, const nlohmann::json& payload,
                                                std::string_view versionText);

// {"code", "error", "message"} plus "requested_type" when not empty and the
// message's string "request_id".
nlohmann::json makeRequestErrorPayload(std::string_view requestType, const nlohmann::json& message,
                                       std::string_view text, std::string_view code);

// "document_error" with the request's string "transactionId" (else "").
BridgeReply makeBridgeDocumentError(const nlohmann::json& request, std::string_view code, std::string_view text);

// A member read as a string: absent or not a string reads as the empty text.
std::string stringMemberOrEmpty(const nlohmann::json& object, const char* key);

}  // namespace quillex
