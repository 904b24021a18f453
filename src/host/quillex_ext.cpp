// The host object: construction, teardown, message bodies, request dispatch and the outlet roads.
#include "host/quillex_ext.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "session/document_command.h"
#include "generation/corpus_loader.h"
#include "host/bridge_request_table.h"
#include "host/midi_input_config.h"
#include "host/page_message.h"
#include "host/payload_shape.h"
#include "host/preset_request.h"
#include "host/simulated_services.h"
#include "session/render_performance_request.h"
#include "protocol/diagnostic_trace.h"
#include "protocol/json_text.h"
#include "storage/user_settings_store.h"

namespace quillex {

using nlohmann::json;
using q37::lyra::atom_text;
using q37::lyra::atoms;

namespace {

constexpr std::array<std::string_view, 7> kLoadEvents{"onloadstart", "onloadend", "onload", "url",
                                                      "title",       "loading",   "loaded"};

bool isLoadEvent(std::string_view text) {
    return std::find(kLoadEvents.begin(), kLoadEvents.end(), text) != kLoadEvents.end();
}

// "responseTarget" "bridge" on an object; any other value, or none, is the page.
bool addressedToBridge(const json& target) { return stringMemberOrEmpty(target, "responseTarget") == "bridge"; }

json parseRequestText(std::string_view text) { return parseJsonText(text); }

}  // namespace

const std::array<const char*, 31>& quillex_ext::message_names() {
    static constexpr std::array<const char*, 31> names{
        "fromJweb",
        "generate_progression",
        "generate_local_progression",
        "generate_voicing",
        "parse_chord",
        "get_supported_qualities",
        "get_diatonic_chords",
        "get_voicing_styles",
        "get_relevant_voicings",
        "get_range_presets",
        "get_rhythm_patterns",
        "get_available_modifiers",
        "apply_modifiers",
        "get_suggestions",
        "get_version",
        "get_user_settings",
        "midi_input_config_request",
        "set_user_setting",
        "rhythm_preset_request",
        "gesture_preset_request",
        "render_performance",
        "document_command",
        "trigger_start",
        "trigger_horizon",
        "trigger_stop",
        "external_window_opened",
        "get_external_window_state",
        "close_external_window",
        "external_window_closed",
        "notify",
        "anything",
    };
    return names;
}

quillex_ext::quillex_ext(const atoms&) {
    ensureCorporaInitialized();
    adoptHostSystemServices();
    // Runs on the system's thread: it only arms the wake timer.
    powerRegistration.registerFor([this] { systemWakeTimer.delay(500); });
    {
        // The worker may only arm the delivery queue; the install runs on the main thread.
        std::lock_guard lock(compileMailbox->mutex);
        compileMailbox->deliver = [this] { deliveryQueue.set(); };
    }
    resetDiagnosticTrace();
    TriggerCompileWorker::retain();  // last, so a throwing constructor holds nothing
}

quillex_ext::~quillex_ext() {
    // Nothing may leave a destructor; each step reports its own failure.
    try {
        powerRegistration.unregister();
        systemWakeTimer.stop();
        triggerResponseTimer.stop();
        bridgeFlushQueue.unset();
        dragPollTimer.stop();
        geometryTimer.stop();
        triggerResponses.clear();
        bridgeResponses.clear();
        resetTriggerPlayback(*playback);
        cancelTriggerCompile();
        {
            std::lock_guard lock(compileMailbox->mutex);
            compileMailbox->deliver = nullptr;
            compileMailbox->pendingTable.reset();
            compileMailbox->hasResult = false;
        }
        deliveryQueue.unset();
        teardownPopout();
    } catch (const std::exception& e) {
        error(std::string("teardown: ") + e.what());
    } catch (...) {
        error("teardown: unknown exception");
    }
    try {
        TriggerCompileWorker::release();
    } catch (const std::exception& e) {
        error(std::string("teardown: ") + e.what());
    } catch (...) {
        error("teardown: unknown exception");
    }
}

q37::lyra::message quillex_ext::request(const char* name) {
    return q37::lyra::message(this, name, [this, name = std::string(name)](const atoms& args) {
        handleRequestMessage(name, args.empty() ? std::string() : atom_text(args[0]));
    });
}

q37::lyra::message quillex_ext::transport(const char* name) {
    return q37::lyra::message(this, name, [this, name = std::string(name)](const atoms& args) {
        routeTransportMessage(name, args.empty() ? std::string("{}") : atom_text(args[0]));
    });
}

q37::lyra::message quillex_ext::popoutMessage(const char* name) {
    return q37::lyra::message(this, name,
                              [this, name = std::string(name)](const atoms&) { handlePopoutMessage(name); });
}

void quillex_ext::notAvailable(std::string_view what) const {
    post(std::string(what) + " is not available in this build");
}

// ---- Requests ------------------------------------------------------------

void quillex_ext::handleRequestMessage(std::string_view messageName, std::string_view payloadText) {
    if (isLoadEvent(messageName)) return;
    json message = json::object();
    if (!payloadText.empty()) {
        try {
            message = parseRequestText(payloadText);
        } catch (const std::exception& e) {
            sendToPage("error", json{{"message", std::string("Invalid JSON: ") + e.what()}});
            return;
        }
    }
    dispatchRequestSafely(messageName, message);
    discardDiagnosticTrace();
}

void quillex_ext::routeTransportMessage(std::string_view name, std::string_view text) {
    if (name == "trigger_start") {
        handleTriggerStart(text);
    } else if (name == "trigger_horizon") {
        handleTriggerHorizon(text);
    } else if (name == "trigger_stop") {
        handleTriggerStop(text);
    } else if (name == "midi_input_config_request") {
        handleMidiInputConfigRequest();
    } else {
        handleRequestMessage(name, text);
    }
}

void quillex_ext::dispatchRequestSafely(std::string_view requestType, const json& message) {
    try {
        dispatchRequest(requestType, message);
    } catch (const std::exception&) {
        const auto payload = message.is_object() ? message.find("payload") : message.end();
        const json& target =
            message.is_object() && payload != message.end() && payload->is_object() ? *payload : message;
        const bool bridge = addressedToBridge(target);
        if (bridge && requestType == "render_performance") {
            enqueueBridgeResponse(true,
                                  makePerformanceRenderError(target, "invalid_payload", "Request handling failed"));
        } else if (bridge && requestType == "document_command") {
            enqueueBridgeResponse(true, makeBridgeDocumentError(target, "invalid_payload", "Request handling failed"));
        } else {
            sendToPage("error",
                       makeRequestErrorPayload(requestType, message, "Request handling failed", "invalid_payload"));
        }
    }
}

void quillex_ext::dispatchRequest(std::string_view requestType, const json& message) {
    if (requestType.empty()) {
        sendToPage("error", makeRequestErrorPayload(requestType, message, "Missing request type", "missing_type"));
        return;
    }
    const BridgeRequestSpec* row = findBridgeRequest(requestType);
    if (row == nullptr) {
        sendToPage("error", makeRequestErrorPayload(requestType, message, "Unknown request type", "unknown_type"));
        return;
    }
    const json payload = validateRequestEnvelope(requestType, message);
    if (auto reply = executeBridgeRequest(*row, payload, kBridgeVersion)) {
        sendToPage(reply->type, reply->payload);
        return;
    }
    switch (row->kind) {
        case RequestKind::ReadClipboard:
        case RequestKind::WriteClipboard:
            return;
        case RequestKind::GetUserSettings:
            handleGetUserSettings();
            return;
        case RequestKind::SetUserSetting:
            handleSetUserSetting(payload);
            return;
        case RequestKind::RhythmPreset: {
            const BridgeReply reply = handlePresetRequest(*rhythmPresets, PresetKind::Rhythm, payload);
            sendToPage(reply.type, reply.payload);
            return;
        }
        case RequestKind::GesturePreset: {
            const BridgeReply reply = handlePresetRequest(*gesturePresets, PresetKind::Gesture, payload);
            sendToPage(reply.type, reply.payload);
            return;
        }
        case RequestKind::RenderPerformance: {
            const bool bridge = addressedToBridge(payload);
            BridgeReply reply = handleRenderPerformance(payload, *documentSession);
            discardDiagnosticTrace();
            enqueueBridgeResponse(bridge, std::move(reply));
            return;
        }
        case RequestKind::DocumentCommand:
            handleDocumentCommand(payload);
            return;
        default:
            sendToPage("error",
                       makeRequestErrorPayload(requestType, payload, "Unhandled request type", "unhandled_type"));
    }
}

// ---- User settings ----------------------------------------------------------

void quillex_ext::storeUserSettings(const std::string& settingsText) {
    userSettings = parseJsonText(settingsText);
    userSettingsSection = readUserSettingsSection(*userSettings);
}

void quillex_ext::handleGetUserSettings() {
    const UserSettingsResult result = loadUserSettings(settingsPaths, {});
    if (!result.ok) {
        sendToPage("host_error", json{{"code", "user_settings_load_error"}, {"error", result.message}});
        return;
    }
    storeUserSettings(result.settingsJson);
    sendToPage("user_settings", json{{"settings", *userSettings}});
}

void quillex_ext::handleSetUserSetting(const json& payload) {
    const std::string transactionId = stringMemberOrEmpty(payload, "transactionId");
    if (transactionId.empty()) {
        sendToPage("user_setting_saved", json{{"success", false},
                                              {"transactionId", ""},
                                              {"code", "invalid_payload"},
                                              {"error", "set_user_setting requires a non-empty transactionId"}});
        return;
    }
    auto guard = PersistenceTransactionGuard::acquire(persistenceRegistry, transactionId);
    if (!guard) {
        sendToPage("user_setting_saved", json{{"success", false},
                                              {"transactionId", transactionId},
                                              {"code", "persistence_transaction_duplicate_pending"},
                                              {"error", "User settings transaction ID is already pending"}});
        return;
    }
    const std::string key = stringMemberOrEmpty(payload, "key");
    const auto value = payload.find("value");
    if (key.empty() || value == payload.end()) throw std::runtime_error("set_user_setting requires key and value");
    const UserSettingsResult result = writeUserSettings(settingsPaths, key, value->dump());
    if (!result.ok && result.storedUnreadable) {
        sendToPage("user_setting_saved", json{{"success", false},
                                              {"transactionId", transactionId},
                                              {"code", "user_settings_load_error"},
                                              {"error", result.message}});
        return;
    }
    if (!result.ok) throw std::runtime_error(result.message);
    storeUserSettings(result.settingsJson);
    if (key == "previewOctave" || key == "gestureKeyswitchOctave" || key == "midiMappings") {
        sendMidiInputConfig(*userSettings);
    }
    if (key == "midiTriggersUseRhythm") compileTriggerProgram(nullptr);
    if ((key == "spellingPreference" || key == "simplifyAccidentals") && userSettingsSection) {
        if (const RevisionPtr current = documentSession->currentRevision()) {
            const SessionResult refreshed =
                documentSession->refreshUserSettings(*userSettingsSection, current->revision, transactionId);
            if (!refreshed.succeeded()) {
                throw std::runtime_error(refreshed.errorMessage.empty() ? "Document revision is unavailable"
                                                                        : refreshed.errorMessage);
            }
            if (refreshed.revision->plan != current->plan) compileTriggerProgram(refreshed.revision);
        }
    }
    sendToPage("user_setting_saved",
               json{{"success", true}, {"transactionId", transactionId}, {"settings", *userSettings}});
}

// ---- Document commands ------------------------------------------------------

void quillex_ext::handleDocumentCommand(const json& payload) {
    const bool bridge = addressedToBridge(payload);
    json command = payload;
    if (bridge) command.erase("responseTarget");
    std::string error;
    if (!readTriggerSettings(error)) {
        enqueueBridgeResponse(bridge, makeBridgeDocumentError(command, "user_settings_load_error", error));
        return;
    }
    const RevisionPtr previous = documentSession->currentRevision();
    BridgeReply reply = executeDocumentCommand(command, userSettingsSection, *documentSession);
    if (reply.type == "document_revision") {
        const RevisionPtr revision =
            documentSession->requireRevision(reply.payload.at("revision").get<std::uint64_t>());
        if (!previous || previous->plan != revision->plan) compileTriggerProgram(revision);
    }
    enqueueBridgeResponse(bridge, std::move(reply));
    discardDiagnosticTrace();
}

// ---- MIDI input configuration --------------------------------------------

void quillex_ext::handleMidiInputConfigRequest() {
    const UserSettingsResult result = loadUserSettings(settingsPaths, {});
    if (!result.ok) {
        sendToPage("host_error", json{{"code", "user_settings_load_error"}, {"error", result.message}});
        return;
    }
    sendMidiInputConfig(parseJsonText(result.settingsJson));
}

void quillex_ext::sendMidiInputConfig(const json& settings) {
    json config;
    try {
        config = buildMidiInputConfig(settings);
    } catch (const std::exception& e) {
        post(std::string("midi_input_config not sent: ") + e.what());
        return;
    }
    emitToBridge("midi_input_config", config);
}

// ---- Host messages without a request type ---------------------------------

void quillex_ext::onAnything(const atoms& args) {
    if (args.empty()) {
        post("anything: message without arguments ignored");
        return;
    }
    std::string text = atom_text(args[0]);
    if (text.empty() || isLoadEvent(text) || text == "{}") return;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty()) return;
    if (text == "__qx_to_core_chunk") {
        if (args.size() < 2) {
            post("__qx_to_core_chunk without a frame ignored");
            return;
        }
        acceptToCoreChunk(atom_text(args[1]));
        return;
    }
    if (!text.starts_with("{")) {
        post("anything: text that is neither a load event nor JSON ignored");
        return;
    }
    try {
        parsePayloadShape(parseRequestText(text));
    } catch (const std::exception& e) {
        sendToPage("error", json{{"message", std::string("JSON parse error: ") + e.what()}});
    }
}

void quillex_ext::acceptToCoreChunk(std::string_view frameText) {
    json frame;
    try {
        frame = parseRequestText(frameText);
    } catch (const std::exception&) {
        inboundChunks.reset();
        sendToPage("host_error", makeToCoreChunkUndecodablePayload());
        return;
    }
    ToCoreChunkResult result = inboundChunks.accept(frame);
    if (result.hasError) {
        if (!result.keepPending) inboundChunks.reset();
        sendToPage("host_error", makeToCoreChunkErrorPayload(result.code, frame));
    }
    if (result.complete) routeTransportMessage(result.type, result.text);
}

void quillex_ext::parsePayloadShape(const json& payload) {
    const std::string type = inferPayloadType(payload);
    if (!type.empty()) {
        dispatchRequestSafely(type, payload);
        return;
    }
    sendToPage("error", makePayloadShapeError(payload));
}

void quillex_ext::onNotify(const q37::lyra::notification& note) {
    // Only notifications from the pop-out view matter.
    if (note.source != nullptr && note.source == popout.handles.view) onPopoutNotify(note);
}

// ---- Outlet roads ---------------------------------------------------------

void quillex_ext::sendToPage(std::string_view type, const json& payload) {
    emitToJweb(type, writeWireText(buildPageMessage(type, payload)));
}

void quillex_ext::emitToJweb(std::string_view type, const std::string& text) {
    if (text.size() <= kWholeTextLimit) {
        output.send("toJweb", {type, text});
        return;
    }
    static const std::string frameType = "__qx_chunk";
    const std::string id = "qx_chunk_" + std::to_string(nextPageChunkNumber());
    for (const std::string& frame : buildChunkFrames(type, text, id, kPageChunkPiece)) {
        output.send("toJweb", frameType, frame);
    }
}

void quillex_ext::emitToBridge(std::string_view type, const json& value) {
    const std::string text = writeWireText(value);
    if (text.size() <= kWholeTextLimit) {
        output.send("toBridge", {type, text});
        return;
    }
    static const std::string frameType = "__qx_native_to_bridge_chunk";
    const std::string id = "qx_native_bridge_" + std::to_string(nextBridgeChunkNumber());
    for (const std::string& frame : buildChunkFrames(type, text, id, kBridgeChunkPiece)) {
        output.send("toBridge", frameType, frame);
    }
}

void quillex_ext::enqueueBridgeResponse(bool toBridge, BridgeReply reply) {
    if (!toBridge) {
        sendToPage(reply.type, reply.payload);
        return;
    }
    // Ids that are not strings count as absent.
    const std::string requestId = stringMemberOrEmpty(reply.payload, "request_id");
    const std::string transactionId = stringMemberOrEmpty(reply.payload, "transactionId");
    json message = buildPageMessage(reply.type, std::move(reply.payload));
    if (bridgeResponses.push(std::move(reply.type), std::move(message))) {
        bridgeFlushQueue.set();
        return;
    }
    const char* type = requestId.empty() ? "document_error" : "performance_render_error";
    json overflow = {{"code", "bridge_response_queue_overflow"},
                     {"message", "Native bridge response queue overflow"},
                     {"error", "Native bridge response queue overflow"}};
    if (!requestId.empty()) overflow["request_id"] = requestId;
    if (!transactionId.empty()) overflow["transactionId"] = transactionId;
    emitToBridge(type, buildPageMessage(type, std::move(overflow)));
}

void quillex_ext::flushBridgeResponses() {
    auto entry = bridgeResponses.pop();
    if (!entry) return;
    // Armed before the send, so that a send that raises cannot strand the rest.
    if (bridgeResponses.size() > 0) bridgeFlushQueue.set();
    emitToBridge(entry->first, entry->second);
}

// ---- Trigger program --------------------------------------------------------

TriggerCompileResultOf<TriggerRowTable> TriggerCompilePolicy::build(const RevisionPtr& revision,
                                                                    std::uint64_t generation) {
    if (!revision || !revision->plan) throw std::runtime_error("Resolved trigger revision is unavailable");
    TriggerRowTableBuild built = buildTriggerRowTable(*revision->plan, generation);
    return {std::move(built.table), std::move(built.error)};
}

std::unique_ptr<TriggerRowTable> TriggerCompilePolicy::emptyTable(std::uint64_t generation) {
    auto table = std::make_unique<TriggerRowTable>();
    table->generation = generation;
    return table;
}

void TriggerCompilePolicy::dropRhythm(TriggerRowTable& table) {
    table.planValid = false;
    for (TriggerRow& row : table.rows) {
        row.rhythmic = 0;
        row.hitCount = 0;
    }
}

void quillex_ext::compileTriggerProgram(RevisionPtr revision) {
    if (!revision) revision = documentSession->currentRevision();
    if (!revision) {
        disableTriggerProgram("Trigger project state is unavailable");
        return;
    }
    const std::uint64_t generation = ++triggerGeneration;
    cancelTriggerCompile();
    std::string error;
    if (!readTriggerSettings(error)) {
        installTriggerProgram(generation, error);
        return;
    }
    compileStarted = true;
    const auto useRhythm = userSettings->find("midiTriggersUseRhythm");
    TriggerCompileWorker::instance().post(
        compileMailbox, std::move(revision),
        useRhythm != userSettings->end() && useRhythm->is_boolean() && useRhythm->get<bool>(), generation);
}

void quillex_ext::cancelTriggerCompile() {
    if (compileStarted) TriggerCompileWorker::instance().cancelJobsFor(compileMailbox.get());
    std::lock_guard lock(compileMailbox->mutex);
    if (compileMailbox->hasResult) {
        compileMailbox->pendingError.clear();
        compileMailbox->pendingTable.reset();
        compileMailbox->hasResult = false;
    }
}

bool quillex_ext::readTriggerSettings(std::string& errorOut) {
    if (userSettings && userSettingsSection) return true;
    const UserSettingsResult result = loadUserSettings(settingsPaths, {});
    if (!result.ok) {
        errorOut = result.message;
        return false;
    }
    try {
        userSettings = parseJsonText(result.settingsJson);
    } catch (const std::exception& e) {
        errorOut = e.what();
        return false;
    }
    try {
        userSettingsSection = readUserSettingsSection(*userSettings);
    } catch (const std::exception& e) {
        errorOut = e.what();
        return false;
    }
    return true;
}

void quillex_ext::installEmptyProgram(std::uint64_t generation, const std::string& error) {
    triggerTable.reset();
    triggerTable.generation = generation;
    resetTriggerPlayback(*playback);  // nothing may keep playing rows of the replaced table
    sendTriggerProgram(error);
}

void quillex_ext::installTriggerProgram(std::uint64_t generation, const std::string& error) {
    if (generation == triggerGeneration) installEmptyProgram(generation, error);
}

void quillex_ext::disableTriggerProgram(const std::string& error) {
    ++triggerGeneration;
    cancelTriggerCompile();
    installEmptyProgram(triggerGeneration, error);
}

void quillex_ext::sendTriggerProgram(const std::string& error) {
    emitToBridge("trigger_program", json{{"schemaVersion", triggerTable.schemaVersion},
                                         {"generation", triggerTable.generation},
                                         {"enabled", triggerTable.valid},
                                         {"error", error}});
}

void quillex_ext::deliverTriggerProgram() {
    std::unique_ptr<TriggerRowTable> table;
    std::string error;
    {
        std::lock_guard lock(compileMailbox->mutex);
        if (!compileMailbox->hasResult) return;
        table = std::move(compileMailbox->pendingTable);
        error = std::move(compileMailbox->pendingError);
        compileMailbox->pendingError.clear();
        compileMailbox->hasResult = false;
    }
    if (!table) {
        installTriggerProgram(triggerGeneration, "Trigger compilation returned no program");
        return;
    }
    if (table->generation != triggerGeneration) return;  // a newer compile has started
    resetTriggerPlayback(*playback);
    triggerTable = *table;
    sendTriggerProgram(error);
    discardDiagnosticTrace();
}

// ---- Timer and queue tasks of later features ------------------------------

// ---- Trigger transport ------------------------------------------------------

void quillex_ext::handleTriggerStart(std::string_view text) {
    if (auto reply = runTriggerStart(text, triggerTable, *playback)) enqueueTriggerResponse(std::move(*reply));
}

void quillex_ext::handleTriggerHorizon(std::string_view text) {
    if (auto reply = runTriggerHorizon(text, triggerTable, *playback)) enqueueTriggerResponse(std::move(*reply));
}

void quillex_ext::handleTriggerStop(std::string_view text) {
    if (auto reply = runTriggerStop(text, triggerTable, *playback)) enqueueTriggerResponse(std::move(*reply));
}

void quillex_ext::enqueueTriggerResponse(BridgeReply reply) {
    enqueueTriggerReply(triggerResponses, *playback, std::move(reply));
    triggerResponseTimer.delay(0);
}

void quillex_ext::flushTriggerResponses() {
    auto entry = triggerResponses.pop();
    if (!entry) return;
    // Armed before the send, so that a send that raises cannot strand the rest.
    if (triggerResponses.size() > 0) triggerResponseTimer.delay(0);
    emitToBridge(entry->first, entry->second);
}

// ---- Pop-out geometry -------------------------------------------------------

bool quillex_ext::persistExternalWindowGeometry(bool report) {
    geometryTimer.stop();
    const GeometryPersistOutcome outcome =
        persistPopoutGeometry(settingsPaths, persistenceRegistry, popoutGeometry, nextGeometryTransactionId());
    if (report) {
        if (!outcome.ok)
            sendExternalWindowError("external_window_geometry_persistence_failed", outcome.error);
        else if (outcome.settings)
            sendToPage("user_settings", json{{"settings", *outcome.settings}});
    }
    return outcome.ok;
}

void quillex_ext::sendExternalWindowError(const std::string& code, const std::string& message) {
    sendToPage("host_error", json{{"code", code}, {"error", message}});
}

// ---- Power resume -----------------------------------------------------------

void quillex_ext::sendSystemWake() {
    // A message cut in pieces before the sleep will not be finished after it.
    inboundChunks.reset();
    emitToBridge("system_wake", json::object());
    sendToPage("system_wake", json::object());
}

void registerQuillexClass() { q37::lyra::register_class<quillex_ext>("quillex"); }

}  // namespace quillex
