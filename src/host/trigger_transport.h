// Live trigger transport: the start, horizon and stop requests, their replies and the queue they leave through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "host/bridge_response_queue.h"
#include "performance/trigger_playback.h"
#include "performance/trigger_row_table.h"
#include "protocol/bridge_reply.h"

namespace quillex {

inline constexpr std::int32_t kTriggerTransportSchemaVersion = 3;

// The transport's replies wait in the same fixed queue of eight as the bridge's.
using TriggerResponseQueue = ResponseQueue;

// Each request answers with the reply to queue: the result, "stale", or
// "trigger_transport_error" for any failure; a stop that passes its checks
// answers nothing. They never throw a standard exception, allocate nothing
// while rendering, and render into a buffer of 4096 events on the stack.
std::optional<BridgeReply> runTriggerStart(std::string_view text, const TriggerRowTable& table,
                                           TriggerPlaybackState& state);
std::optional<BridgeReply> runTriggerHorizon(std::string_view text, const TriggerRowTable& table,
                                             TriggerPlaybackState& state);
std::optional<BridgeReply> runTriggerStop(std::string_view text, const TriggerRowTable& table,
                                          TriggerPlaybackState& state);

// Queues one reply. A full queue stops the playback, drops its eight waiting
// replies and takes the overflow error, carrying the new reply's numbers, in
// their place: the page restarts playback from there.
void enqueueTriggerReply(TriggerResponseQueue& queue, TriggerPlaybackState& state, BridgeReply reply);

// The events in buffer order; each voice key as its decimal digits.
nlohmann::json triggerEventsToJson(const MidiTransportEvent* events, std::size_t count);

// A playback is running on a rhythmic row.
bool isRhythmicPlayback(const TriggerPlaybackState& state);

}  // namespace quillex
