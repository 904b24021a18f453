// The page's rhythm and gesture preset requests: exact key sets per action, then the store's entry functions.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"
#include "storage/preset_library.h"

namespace quillex {

enum class PresetKind { Rhythm, Gesture };

// "rhythm_preset_result" or "gesture_preset_result" with {"success", "transactionId"}
// and then "catalog" and "preset", or "code" and "error". Never throws for any payload.
BridgeReply handlePresetRequest(PresetLibrary& store, PresetKind kind, const nlohmann::json& payload);

}  // namespace quillex
