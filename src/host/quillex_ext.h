// The host object class "quillex": its members, its 31 messages and the request bridge it serves.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "session/document_session.h"
#include "document/user_settings_section.h"
#include "host/bridge_response_queue.h"
#include "host/persistence_transaction_guard.h"
#include "host/popout_geometry.h"
#include "host/popout_window.h"
#include "host/power_notification.h"
#include "host/to_core_chunk_assembler.h"
#include "host/trigger_compile_worker.h"
#include "host/trigger_transport.h"
#include "performance/trigger_row_table.h"
#include "platform/lyra/lyra.h"
#include "protocol/bridge_reply.h"
#include "storage/preset_library.h"
#include "storage/user_settings_store.h"

namespace quillex {

// What the worker compiles: a resolved revision's performance plan into a row table.
struct TriggerCompilePolicy {
    using Table = TriggerRowTable;
    using Revision = ResolvedDocumentRevision;
    static TriggerCompileResultOf<TriggerRowTable> build(const RevisionPtr& revision, std::uint64_t generation);
    static std::unique_ptr<TriggerRowTable> emptyTable(std::uint64_t generation);
    static void dropRhythm(TriggerRowTable& table);
};

using TriggerCompileWorker = TriggerCompileWorkerOf<TriggerCompilePolicy>;
using TriggerCompileMailbox = TriggerCompileMailboxOf<TriggerRowTable>;

class quillex_ext : public q37::lyra::object<quillex_ext> {
public:
    explicit quillex_ext(const q37::lyra::atoms& args = {});
    ~quillex_ext() override;

    // The registered messages in registration order.
    static const std::array<const char*, 31>& message_names();

    // Request entry: load events are ignored, the text is parsed (empty means {})
    // and dispatched; exactly one reply or error leaves unless the Parts say none.
    void handleRequestMessage(std::string_view messageName, std::string_view payloadText);
    void routeTransportMessage(std::string_view name, std::string_view text);
    void dispatchRequestSafely(std::string_view requestType, const nlohmann::json& message);

    // Frames of a request too long for one host message, and bare objects routed by their shape.
    void acceptToCoreChunk(std::string_view frameText);
    void parsePayloadShape(const nlohmann::json& payload);
    const ToCoreChunkAssembler& inboundChunkState() const { return inboundChunks; }

    // Live trigger transport: replies wait in their own queue of eight and leave one per timer run.
    void handleTriggerStart(std::string_view text);
    void handleTriggerHorizon(std::string_view text);
    void handleTriggerStop(std::string_view text);
    void enqueueTriggerResponse(BridgeReply reply);
    const TriggerPlaybackState& playbackState() const { return *playback; }

    // The four roads out (page envelope, page text, bridge text, reply queue).
    void sendToPage(std::string_view type, const nlohmann::json& payload);
    void emitToJweb(std::string_view type, const std::string& text);
    void emitToBridge(std::string_view type, const nlohmann::json& value);
    void enqueueBridgeResponse(bool toBridge, BridgeReply reply);
    void flushBridgeResponses();

    // The live trigger program and its generation (read by the transport and by tests).
    const TriggerRowTable& liveTriggerTable() const { return triggerTable; }
    std::uint64_t currentTriggerGeneration() const { return triggerGeneration; }
    const DocumentSession& session() const { return *documentSession; }

private:
    void dispatchRequest(std::string_view requestType, const nlohmann::json& message);
    void onAnything(const q37::lyra::atoms& args);
    void onNotify(const q37::lyra::notification& note);
    void handleGetUserSettings();
    void handleSetUserSetting(const nlohmann::json& payload);
    void handleMidiInputConfigRequest();
    void sendMidiInputConfig(const nlohmann::json& settings);
    void storeUserSettings(const std::string& settingsText);

    // Trigger program: compile on the worker, install on the main thread.
    void handleDocumentCommand(const nlohmann::json& payload);
    void compileTriggerProgram(RevisionPtr revision);
    void cancelTriggerCompile();
    bool readTriggerSettings(std::string& errorOut);
    void installTriggerProgram(std::uint64_t generation, const std::string& error);
    void disableTriggerProgram(const std::string& error);
    void installEmptyProgram(std::uint64_t generation, const std::string& error);
    void sendTriggerProgram(const std::string& error);
    void deliverTriggerProgram();
    void flushTriggerResponses();
    void sendSystemWake();
    // Pop-out window (popout_window.cpp).
    friend class host::VessaExternalWindowHostApi;
    void* hostHandle() { return static_cast<q37::lyra::object_base*>(this); }
    void handlePopoutMessage(std::string_view name);
    void onExternalWindowOpened();
    void onCloseExternalWindow();
    void onExternalWindowClosed();
    void onGetExternalWindowState();
    void onPopoutNotify(const q37::lyra::notification& note);
    void pollPopoutDrag();
    bool restoreDockedLayout();
    bool alignPopoutBoxes();
    void releasePopoutWindow();
    bool applyPopoutWindowStyle();
    std::optional<t_rect> getVisibleCanvasRect() const;
    std::optional<PopoutWindowSize> fitJwebToView();
    bool setPopoutViewRect(std::int32_t width, std::int32_t height);
    void trackPopoutResize(std::int32_t width, std::int32_t height);
    void commitPopoutDrag(std::int32_t width, std::int32_t height);
    void syncPopoutSurface();
    void sendExternalWindowState(bool active, std::int32_t width, std::int32_t height);
    void collectDockedUiMetrics();
    void teardownPopout();
    // Pop-out geometry: writes due scales (reporting to the page when asked).
    bool persistExternalWindowGeometry(bool report);
    void sendExternalWindowError(const std::string& code = "external_window_failed",
                                 const std::string& message = "Quillex pop-out window operation failed");
    void notAvailable(std::string_view what) const;

    q37::lyra::message request(const char* name);
    q37::lyra::message transport(const char* name);
    q37::lyra::message popoutMessage(const char* name);

    // Members in construction order.
    q37::lyra::inlet input{this, "(anything) messages from jweb"};
    q37::lyra::outlet output{this, "(anything) messages to jweb"};
    // Deferred to the main thread: its task touches the assembler and the outlet, which only that thread uses.
    q37::lyra::timer systemWakeTimer{this, [this] { sendSystemWake(); }, q37::lyra::timer_options::defer_delivery};
    PowerNotificationRegistration powerRegistration;
    UserSettingsPaths settingsPaths = userSettingsPaths();
    std::unique_ptr<PresetLibrary> rhythmPresets = makePresetLibrary(rhythmPresetLibraryDefinition());
    std::unique_ptr<PresetLibrary> gesturePresets = makePresetLibrary(gesturePresetLibraryDefinition());
    PersistenceTransactionRegistry persistenceRegistry;
    TriggerRowTable triggerTable;
    std::unique_ptr<TriggerPlaybackState> playback = std::make_unique<TriggerPlaybackState>();
    std::shared_ptr<DocumentSession> documentSession = std::make_shared<DocumentSession>();
    std::optional<nlohmann::json> userSettings;
    std::shared_ptr<const UserSettingsSection> userSettingsSection;
    ToCoreChunkAssembler inboundChunks;
    std::uint64_t triggerGeneration = 0;
    std::shared_ptr<TriggerCompileMailbox> compileMailbox = std::make_shared<TriggerCompileMailbox>();
    bool compileStarted = false;
    q37::lyra::queue deliveryQueue{this, [this] { deliverTriggerProgram(); }};
    TriggerResponseQueue triggerResponses;
    q37::lyra::timer triggerResponseTimer{this, [this] { flushTriggerResponses(); },
                                          q37::lyra::timer_options::defer_delivery};
    ResponseQueue bridgeResponses;
    q37::lyra::queue bridgeFlushQueue{this, [this] { flushBridgeResponses(); }};
    q37::lyra::timer dragPollTimer{this, [this] { pollPopoutDrag(); }, q37::lyra::timer_options::defer_delivery};
    PopoutWindowState popout;
    PopoutGeometry popoutGeometry;
    q37::lyra::timer geometryTimer{this, [this] { persistExternalWindowGeometry(true); },
                                   q37::lyra::timer_options::defer_delivery};

    q37::lyra::message fromJweb{this, "fromJweb", [this](const q37::lyra::atoms& args) {
                                    if (args.size() < 2) {
                                        post("fromJweb needs a request type and a JSON text");
                                        return;
                                    }
                                    handleRequestMessage(q37::lyra::atom_text(args[0]), q37::lyra::atom_text(args[1]));
                                }};
    q37::lyra::message generateProgression = request("generate_progression");
    q37::lyra::message generateLocalProgression = request("generate_local_progression");
    q37::lyra::message generateVoicing = request("generate_voicing");
    q37::lyra::message parseChord = request("parse_chord");
    q37::lyra::message getSupportedQualities = request("get_supported_qualities");
    q37::lyra::message getDiatonicChords = request("get_diatonic_chords");
    q37::lyra::message getVoicingStyles = request("get_voicing_styles");
    q37::lyra::message getRelevantVoicings = request("get_relevant_voicings");
    q37::lyra::message getRangePresets = request("get_range_presets");
    q37::lyra::message getRhythmPatterns = request("get_rhythm_patterns");
    q37::lyra::message getAvailableModifiers = request("get_available_modifiers");
    q37::lyra::message applyModifiers = request("apply_modifiers");
    q37::lyra::message getSuggestions = request("get_suggestions");
    q37::lyra::message getVersion = request("get_version");
    q37::lyra::message getUserSettings = request("get_user_settings");
    q37::lyra::message midiInputConfigRequest = transport("midi_input_config_request");
    q37::lyra::message setUserSetting = request("set_user_setting");
    q37::lyra::message rhythmPresetRequest = request("rhythm_preset_request");
    q37::lyra::message gesturePresetRequest = request("gesture_preset_request");
    q37::lyra::message renderPerformance = transport("render_performance");
    q37::lyra::message documentCommand = transport("document_command");
    q37::lyra::message triggerStart = transport("trigger_start");
    q37::lyra::message triggerHorizon = transport("trigger_horizon");
    q37::lyra::message triggerStop = transport("trigger_stop");
    q37::lyra::message externalWindowOpened = popoutMessage("external_window_opened");
    q37::lyra::message getExternalWindowState = popoutMessage("get_external_window_state");
    q37::lyra::message closeExternalWindow = popoutMessage("close_external_window");
    q37::lyra::message externalWindowClosed = popoutMessage("external_window_closed");
    q37::lyra::message notify{this, "notify",
                              [this](const q37::lyra::atoms& args) { onNotify(q37::lyra::notification(args)); }};
    q37::lyra::message anything{this, "anything", [this](const q37::lyra::atoms& args) { onAnything(args); }};
};

// Registers the class "quillex" with the host; what ext_main does.
void registerQuillexClass();

}  // namespace quillex
