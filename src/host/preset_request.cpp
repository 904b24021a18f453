// Preset request checks and replies.
#include "host/preset_request.h"

#include <initializer_list>
#include <string>
#include <string_view>

#include "host/bridge_request_table.h"
#include "protocol/json_number.h"
#include "protocol/json_text.h"
#include "storage/preset_bridge_entries.h"

namespace quillex {

using nlohmann::json;

namespace {

struct ActionTexts {
    const char* missingTransaction;
    const char* create;
    const char* update;
    const char* rename;
    const char* remove;
    const char* unsupported;
};

constexpr ActionTexts kRhythmTexts{"Rhythm preset request requires a non-empty transactionId",
                                   "Rhythm preset create requires name, lengthSteps, and events",
                                   "Rhythm preset update requires id, expectedRevision, name, lengthSteps, and events",
                                   "Rhythm preset rename requires id, expectedRevision, and name",
                                   "Rhythm preset delete requires id and expectedRevision",
                                   "Unsupported rhythm preset action"};

constexpr ActionTexts kGestureTexts{"Gesture preset request requires a non-empty transactionId",
                                    "Gesture preset create requires name and gesture",
                                    "Gesture preset update requires id, expectedRevision, name, and gesture",
                                    "Gesture preset rename requires id, expectedRevision, and name",
                                    "Gesture preset delete requires id and expectedRevision",
                                    "Unsupported gesture preset action"};

bool hasExactly(const json& payload, std::initializer_list<const char*> keys) {
    if (payload.size() != keys.size()) return false;
    for (const char* key : keys) {
        if (!payload.contains(key)) return false;
    }
    return true;
}

bool allStrings(const json& payload, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        if (!payload.at(key).is_string()) return false;
    }
    return true;
}

const std::string& text(const json& payload, const char* key) { return payload.at(key).get_ref<const std::string&>(); }

PresetStoreResult failure(const char* message) { return PresetStoreResult{false, {}, message, "invalid_payload", {}}; }

PresetStoreResult run(PresetLibrary& store, PresetKind kind, const json& payload, const std::string& transactionId) {
    const ActionTexts& texts = kind == PresetKind::Rhythm ? kRhythmTexts : kGestureTexts;
    if (transactionId.empty()) return failure(texts.missingTransaction);
    const std::string action = stringMemberOrEmpty(payload, "action");
    const bool rhythm = kind == PresetKind::Rhythm;
    if (action == "list") {
        if (!hasExactly(payload, {"action", "transactionId"})) return failure(texts.unsupported);
        return listPresets(store);
    }
    if (action == "create") {
        if (rhythm) {
            if (!hasExactly(payload, {"action", "transactionId", "name", "lengthSteps", "events"}) ||
                !allStrings(payload, {"name"}) || !payload.at("lengthSteps").is_number()) {
                return failure(texts.create);
            }
            // Outside the 32-bit range the length is refused, never cast.
            const auto length = readInt32Exact(payload.at("lengthSteps"));
            if (!length) return failure(texts.create);
            return createRhythmPreset(store, transactionId, text(payload, "name"), *length,
                                      payload.at("events").dump());
        }
        if (!hasExactly(payload, {"action", "transactionId", "name", "gesture"}) || !allStrings(payload, {"name"}) ||
            !payload.at("gesture").is_object()) {
            return failure(texts.create);
        }
        return createGesturePreset(store, transactionId, text(payload, "name"), payload.at("gesture").dump());
    }
    if (action == "update") {
        if (rhythm) {
            if (!hasExactly(payload,
                            {"action", "transactionId", "id", "expectedRevision", "name", "lengthSteps", "events"}) ||
                !allStrings(payload, {"id", "expectedRevision", "name"}) || !payload.at("lengthSteps").is_number()) {
                return failure(texts.update);
            }
            const auto length = readInt32Exact(payload.at("lengthSteps"));
            if (!length) return failure(texts.update);
            return updateRhythmPreset(store, transactionId, text(payload, "id"), text(payload, "expectedRevision"),
                                      text(payload, "name"), *length, payload.at("events").dump());
        }
        if (!hasExactly(payload, {"action", "transactionId", "id", "expectedRevision", "name", "gesture"}) ||
            !allStrings(payload, {"id", "expectedRevision", "name"}) || !payload.at("gesture").is_object()) {
            return failure(texts.update);
        }
        return updateGesturePreset(store, transactionId, text(payload, "id"), text(payload, "expectedRevision"),
                                   text(payload, "name"), payload.at("gesture").dump());
    }
    if (action == "rename") {
        if (!hasExactly(payload, {"action", "transactionId", "id", "expectedRevision", "name"}) ||
            !allStrings(payload, {"id", "expectedRevision", "name"})) {
            return failure(texts.rename);
        }
        return renamePreset(store, transactionId, text(payload, "id"), text(payload, "expectedRevision"),
                            text(payload, "name"));
    }
    if (action == "delete") {
        if (!hasExactly(payload, {"action", "transactionId", "id", "expectedRevision"}) ||
            !allStrings(payload, {"id", "expectedRevision"})) {
            return failure(texts.remove);
        }
        return deletePreset(store, transactionId, text(payload, "id"), text(payload, "expectedRevision"));
    }
    return failure(texts.unsupported);
}

}  // namespace

BridgeReply handlePresetRequest(PresetLibrary& store, PresetKind kind, const json& payload) {
    const std::string transactionId = stringMemberOrEmpty(payload, "transactionId");
    const PresetStoreResult result = run(store, kind, payload, transactionId);
    json reply = {{"success", result.ok}, {"transactionId", transactionId}};
    if (result.ok) {
        reply["catalog"] = parseJsonText(result.libraryJson);
        if (!result.entryJson.empty()) reply["preset"] = parseJsonText(result.entryJson);
    } else {
        reply["code"] = result.code;
        reply["error"] = result.message;
    }
    return {kind == PresetKind::Rhythm ? "rhythm_preset_result" : "gesture_preset_result", std::move(reply)};
}

}  // namespace quillex
