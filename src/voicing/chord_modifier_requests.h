// The page's chord-modifier requests: list the modifiers of a chord, apply a set of them.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// "get_available_modifiers", answered with "available_modifiers".
BridgeReply handleGetAvailableModifiers(const nlohmann::json& request);

// "apply_modifiers", answered with "modified_chord".
BridgeReply handleApplyModifiers(const nlohmann::json& request);

}  // namespace quillex
