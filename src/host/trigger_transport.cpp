// Envelope checks in their fixed order, the status words, event items and the overflow rule of the transport queue.
#include "host/trigger_transport.h"

#include <array>
#include <exception>
#include <stdexcept>
#include <utility>

#include "protocol/json_number.h"
#include "protocol/json_text.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kStartInvalid = "Trigger start envelope is invalid";
constexpr const char* kHorizonInvalid = "Trigger horizon envelope is invalid";
constexpr const char* kStopInvalid = "Trigger stop envelope is invalid";
constexpr const char* kPageOverrideInvalid = "Trigger page override is invalid";
constexpr const char* kInitialHorizonTooLarge = "Trigger initial horizon exceeds transport capacity";
constexpr const char* kQueueOverflow = "Native trigger response queue overflow";

constexpr std::array<const char*, 7> kStartKeys{
    "transportSchemaVersion", "requestId", "generation", "playback", "row", "velocity", "pageOverride"};
constexpr std::array<const char*, 7> kHorizonKeys{"transportSchemaVersion", "requestId", "generation", "playback",
                                                  "pageOverride",           "fromBeat",  "throughBeat"};
constexpr std::array<const char*, 4> kStopKeys{"transportSchemaVersion", "requestId", "generation", "playback"};

using EventBuffer = std::array<MidiTransportEvent, kMaximumScheduledEventsPerBlock>;

// The numbers every reply echoes; each holds 0 until it is read.
struct Echo {
    std::uint64_t requestId = 0;
    std::uint64_t generation = 0;
    std::uint64_t playback = 0;
};

// The library's conversions, except that a float whose truncation does not fit
// the key fails with the operation's envelope message instead of an undefined cast.
std::uint64_t readUnsigned(const json& envelope, const char* key, const char* invalid) {
    const json& value = envelope.at(key);
    if (value.is_number_float()) {
        const auto truncated = truncateToUint64(value.get<double>());
        if (!truncated) throw std::runtime_error(invalid);
        return *truncated;
    }
    return value.get<std::uint64_t>();  // a negative integer wraps as the library converts it
}

// As above for a 32-bit key; an integer outside the range fails too, and a boolean counts as 0 or 1.
std::int32_t readSigned32(const json& envelope, const char* key, const char* invalid) {
    const json& value = envelope.at(key);
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_number()) {
        const auto exact = readInt32Exact(value);
        if (!exact) throw std::runtime_error(invalid);
        return *exact;
    }
    return value.get<std::int32_t>();  // the library's type error
}

template <std::size_t N>
bool hasExactly(const json& envelope, const std::array<const char*, N>& keys) {
    if (envelope.size() != N) return false;
    for (const char* key : keys) {
        if (!envelope.contains(key)) return false;
    }
    return true;
}

// Parses the text and reads the three echoed numbers, then checks the key set and the schema version.
template <std::size_t N>
json readEnvelope(std::string_view text, const std::array<const char*, N>& keys, const char* invalid, Echo& echo) {
    json envelope = parseJsonText(text);
    if (!envelope.is_object()) throw std::runtime_error(invalid);
    echo.requestId = readUnsigned(envelope, "requestId", invalid);
    echo.generation = readUnsigned(envelope, "generation", invalid);
    echo.playback = readUnsigned(envelope, "playback", invalid);
    if (!hasExactly(envelope, keys)) throw std::runtime_error(invalid);
    if (readSigned32(envelope, "transportSchemaVersion", invalid) != kTriggerTransportSchemaVersion) {
        throw std::runtime_error(invalid);
    }
    return envelope;
}

std::int8_t readPageOverride(const json& envelope, const char* invalid) {
    const std::int64_t pageOverride = readSigned32(envelope, "pageOverride", invalid);
    if (pageOverride + 1 < 0 || pageOverride + 1 > 8) throw std::runtime_error(kPageOverrideInvalid);
    return static_cast<std::int8_t>(pageOverride);
}

// A changed page override makes the next rendering prepare the rhythmic notes again.
void applyPageOverride(TriggerPlaybackState& state, std::int8_t pageOverride) {
    if (pageOverride == state.pageOverride) return;
    state.pageOverride = pageOverride;
    state.prepared = false;
}

json replyHead(const Echo& echo) {
    return {{"transportSchemaVersion", kTriggerTransportSchemaVersion},
            {"requestId", echo.requestId},
            {"generation", echo.generation},
            {"playback", echo.playback}};
}

BridgeReply staleReply(const char* type, const Echo& echo) {
    json payload = replyHead(echo);
    payload["status"] = "stale";
    payload["events"] = json::array();
    return {type, std::move(payload)};
}

BridgeReply transportError(const char* operation, const Echo& echo, std::string_view message) {
    json payload = replyHead(echo);
    payload["operation"] = operation;
    payload["error"] = message;
    return {"trigger_transport_error", std::move(payload)};
}

const char* startStatusWord(std::uint8_t status) {
    switch (status) {
        case kTriggerStarted:
            return "started";
        case kTriggerIgnored:
            return "ignored";
        case kTriggerDisabled:
            return "disabled";
        default:
            return "invalid";
    }
}

}  // namespace

bool isRhythmicPlayback(const TriggerPlaybackState& state) { return state.row != nullptr && state.row->rhythmic != 0; }

json triggerEventsToJson(const MidiTransportEvent* events, std::size_t count) {
    json items = json::array();
    items.get_ref<json::array_t&>().reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const MidiTransportEvent& event = events[i];
        items.push_back({{"beat", event.time},
                         {"token", std::to_string(event.voiceKey)},
                         {"pitch", event.pitch},
                         {"velocity", static_cast<int>(event.velocity)},
                         {"noteOn", event.noteOn != 0},
                         {"continuation", event.continuation != 0}});
    }
    return items;
}

std::optional<BridgeReply> runTriggerStart(std::string_view text, const TriggerRowTable& table,
                                           TriggerPlaybackState& state) {
    Echo echo;
    try {
        const json envelope = readEnvelope(text, kStartKeys, kStartInvalid, echo);
        const std::uint64_t row = readUnsigned(envelope, "row", kStartInvalid);
        const std::int32_t velocity = readSigned32(envelope, "velocity", kStartInvalid);
        const std::int8_t pageOverride = readPageOverride(envelope, kStartInvalid);
        if (echo.generation != table.generation) return staleReply("trigger_start_result", echo);
        applyPageOverride(state, pageOverride);

        EventBuffer events{};
        std::size_t count = 0;
        const std::uint8_t status =
            startTriggerPlayback(state, table, row, velocity, echo.playback, events.data(), events.size(), count);
        const double loopLength = isRhythmicPlayback(state) ? state.loopLength : table.totalLength;
        if (status == kTriggerStarted && isRhythmicPlayback(state) &&
            !renderTriggerHorizon(state, 0.0, loopLength, events.data(), events.size(), count)) {
            resetTriggerPlayback(state);
            throw std::runtime_error(kInitialHorizonTooLarge);
        }
        json payload = replyHead(echo);
        payload["status"] = startStatusWord(status);
        payload["rhythmic"] = isRhythmicPlayback(state);
        payload["throughBeat"] = loopLength;
        payload["events"] = triggerEventsToJson(events.data(), count);
        return BridgeReply{"trigger_start_result", std::move(payload)};
    } catch (const std::exception& e) {
        return transportError("start", echo, e.what());
    }
}

std::optional<BridgeReply> runTriggerHorizon(std::string_view text, const TriggerRowTable& table,
                                             TriggerPlaybackState& state) {
    Echo echo;
    try {
        const json envelope = readEnvelope(text, kHorizonKeys, kHorizonInvalid, echo);
        const double fromBeat = envelope.at("fromBeat").get<double>();
        const double throughBeat = envelope.at("throughBeat").get<double>();
        const std::int8_t pageOverride = readPageOverride(envelope, kHorizonInvalid);
        if (echo.generation != table.generation || echo.playback != state.keyBase) {
            return staleReply("trigger_horizon_result", echo);
        }
        applyPageOverride(state, pageOverride);

        EventBuffer events{};
        std::size_t count = 0;
        json payload = replyHead(echo);
        if (renderTriggerHorizon(state, fromBeat, throughBeat, events.data(), events.size(), count)) {
            payload["status"] = "ok";
            payload["events"] = triggerEventsToJson(events.data(), count);
        } else {
            // Too many events, no rhythmic playback or a bad window: the playback stops in each case.
            resetTriggerPlayback(state);
            payload["status"] = "overflow";
            payload["events"] = json::array();
        }
        return BridgeReply{"trigger_horizon_result", std::move(payload)};
    } catch (const std::exception& e) {
        return transportError("horizon", echo, e.what());
    }
}

std::optional<BridgeReply> runTriggerStop(std::string_view text, const TriggerRowTable& table,
                                          TriggerPlaybackState& state) {
    Echo echo;
    try {
        readEnvelope(text, kStopKeys, kStopInvalid, echo);
        if (echo.generation == table.generation && echo.playback == state.keyBase) resetTriggerPlayback(state);
        return std::nullopt;
    } catch (const std::exception& e) {
        return transportError("stop", echo, e.what());
    }
}

void enqueueTriggerReply(TriggerResponseQueue& queue, TriggerPlaybackState& state, BridgeReply reply) {
    if (queue.size() == TriggerResponseQueue::kCapacity) {
        resetTriggerPlayback(state);
        Echo echo;
        if (reply.payload.is_object()) {
            auto number = [&reply](const char* key) {
                const auto found = reply.payload.find(key);
                if (found == reply.payload.end()) return std::uint64_t{0};
                return readUint64Integer(*found).value_or(0);
            };
            echo = {number("requestId"), number("generation"), number("playback")};
        }
        queue.clear();
        json payload = replyHead(echo);
        payload["operation"] = "response";
        payload["error"] = kQueueOverflow;
        reply = {"trigger_transport_error", std::move(payload)};
    }
    queue.push(std::move(reply.type), std::move(reply.payload));
}

}  // namespace quillex
