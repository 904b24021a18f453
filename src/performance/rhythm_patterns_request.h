// The "get_rhythm_patterns" request: the built-in rhythm catalogue as the page lists it.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// "get_rhythm_patterns": the built-in rhythm catalogue keyed by pattern id.
BridgeReply handleGetRhythmPatterns(const nlohmann::json& request);

}  // namespace quillex
