// The request table, envelope checks and the stateless services behind it.
#include "host/bridge_request_table.h"

#include <array>
#include <stdexcept>

#include "generation/local_progression_request.h"
#include "generation/suggestions_request.h"
#include "performance/rhythm_patterns_request.h"
#include "theory/catalogue_requests.h"
#include "voicing/chord_modifier_requests.h"
#include "voicing/diatonic_chords_request.h"
#include "voicing/generate_voicing_request.h"
#include "voicing/progression_voicing_request.h"
#include "voicing/voicing_catalogue_requests.h"

namespace quillex {

using nlohmann::json;

namespace {

bool hasChordAndStyle(const json& p) { return p.is_object() && p.contains("chord") && p.contains("style"); }
bool hasSlotsArray(const json& p) {
    if (!p.is_object()) return false;
    const auto slots = p.find("slots");
    return slots != p.end() && slots->is_array();
}
bool hasGenreAndLength(const json& p) { return p.is_object() && p.contains("genre") && p.contains("length"); }
bool hasSuggestionContext(const json& p) {
    return p.is_object() && p.contains("root") && p.contains("mode") && p.contains("position");
}
bool hasDiatonicContext(const json& p) {
    return p.is_object() && p.contains("root") && p.contains("mode") && !p.contains("position");
}
bool hasIntervalsArray(const json& p) {
    if (!p.is_object()) return false;
    const auto intervals = p.find("intervals");
    return intervals != p.end() && intervals->is_array();
}
bool hasChordAndGetModifiers(const json& p) {
    return p.is_object() && p.contains("chord") && p.contains("getModifiers");
}
bool hasChordAndModifiers(const json& p) { return p.is_object() && p.contains("chord") && p.contains("modifiers"); }

using K = RequestKind;

constexpr std::array<BridgeRequestSpec, 23> kRequestTable{{
    {"generate_voicing", K::GenerateVoicing, true, &hasChordAndStyle},
    {"generate_progression", K::GenerateProgression, true, &hasSlotsArray},
    {"generate_local_progression", K::GenerateLocalProgression, true, &hasGenreAndLength},
    {"parse_chord", K::ParseChord, false, nullptr},
    {"get_suggestions", K::Suggestions, false, &hasSuggestionContext},
    {"get_diatonic_chords", K::DiatonicChords, false, &hasDiatonicContext},
    {"get_voicing_styles", K::VoicingStyles, false, nullptr},
    {"get_relevant_voicings", K::RelevantVoicings, true, &hasIntervalsArray},
    {"get_range_presets", K::RangePresets, false, nullptr},
    {"get_rhythm_patterns", K::RhythmPatterns, false, nullptr},
    {"get_supported_qualities", K::SupportedQualities, false, nullptr},
    {"get_available_modifiers", K::AvailableModifiers, false, &hasChordAndGetModifiers},
    {"apply_modifiers", K::ApplyModifiers, false, &hasChordAndModifiers},
    {"get_version", K::Version, false, nullptr},
    {"read_clipboard", K::ReadClipboard, false, nullptr},
    {"write_clipboard", K::WriteClipboard, false, nullptr},
    {"get_user_settings", K::GetUserSettings, false, nullptr},
    {"set_user_setting", K::SetUserSetting, false, nullptr},
    {"rhythm_preset_request", K::RhythmPreset, false, nullptr},
    {"gesture_preset_request", K::GesturePreset, false, nullptr},
    {"render_performance", K::RenderPerformance, false, nullptr},
    {"document_command", K::DocumentCommand, false, nullptr},
    {"ready", K::Ready, false, nullptr},
}};

// {"key": value} plus the payload's "request_id", whatever its type.
BridgeReply withRequestId(const char* type, json body, const json& payload) {
    if (payload.is_object()) {
        const auto requestId = payload.find("request_id");
        if (requestId != payload.end()) body["request_id"] = *requestId;
    }
    return {type, std::move(body)};
}

}  // namespace

std::span<const BridgeRequestSpec> bridgeRequestTable() { return kRequestTable; }

const BridgeRequestSpec* findBridgeRequest(std::string_view type) {
    for (const BridgeRequestSpec& row : kRequestTable) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

std::string stringMemberOrEmpty(const json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : std::string();
}

json validateRequestEnvelope(std::string_view requestType, const json& message) {
    if (!message.is_object()) return message;
    const auto payload = message.find("payload");
    if (payload == message.end()) return message;
    if (!payload->is_object()) throw std::runtime_error("Expected request payload object");
    const auto type = message.find("type");
    if (type != message.end()) {
        // A type that is not a string cannot name this request.
        if (!type->is_string()) throw std::runtime_error("Request type mismatch");
        const auto& text = type->get_ref<const std::string&>();
        if (!text.empty() && text != requestType) throw std::runtime_error("Request type mismatch");
    }
    json result = *payload;
    const auto requestId = message.find("request_id");
    if (requestId != message.end() && requestId->is_string() && !result.contains("request_id")) {
        result["request_id"] = *requestId;
    }
    return result;
}

std::optional<BridgeReply> executeBridgeRequest(const BridgeRequestSpec& row, const json& payload,
                                                std::string_view versionText) {
    switch (row.kind) {
        case K::GenerateVoicing:
            return handleGenerateVoicing(payload);
        case K::GenerateProgression:
            return handleGenerateProgression(payload);
        case K::GenerateLocalProgression:
            return handleGenerateLocalProgression(payload);
        case K::ParseChord:
            return handleParseChord(payload);
        case K::DiatonicChords:
            return handleGetDiatonicChords(payload);
        case K::VoicingStyles:
            return handleGetVoicingStyles(payload);
        case K::RelevantVoicings:
            return handleGetRelevantVoicings(payload);
        case K::RangePresets:
            return handleGetRangePresets(payload);
        case K::RhythmPatterns:
            return handleGetRhythmPatterns(payload);
        case K::SupportedQualities:
            return handleGetSupportedQualities(payload);
        case K::AvailableModifiers:
            return handleGetAvailableModifiers(payload);
        case K::ApplyModifiers:
            return handleApplyModifiers(payload);
        case K::Suggestions:
            return handleGetSuggestions(payload);
        case K::Version:
            return withRequestId("version", json{{"version", versionText}}, payload);
        case K::Ready:
            return withRequestId("ready_ack", json::object(), payload);
        default:
            return std::nullopt;
    }
}

json makeRequestErrorPayload(std::string_view requestType, const json& message, std::string_view text,
                             std::string_view code) {
    json payload = {{"code", code}, {"error", text}, {"message", text}};
    if (!requestType.empty()) payload["requested_type"] = requestType;
    if (message.is_object()) {
        const auto requestId = message.find("request_id");
        if (requestId != message.end() && requestId->is_string()) payload["request_id"] = *requestId;
    }
    return payload;
}

BridgeReply makeBridgeDocumentError(const json& request, std::string_view code, std::string_view text) {
    return {"document_error", json{{"transactionId", stringMemberOrEmpty(request, "transactionId")},
                                   {"code", code},
                                   {"message", text},
                                   {"error", text}}};
}

}  // namespace quillex
