// Chord parsing and the supported-qualities catalogue the page lists.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// "parse_chord": "parse_result", or "parse_error" with "Missing chord" / "Invalid chord".
BridgeReply handleParseChord(const nlohmann::json& request);

// "get_supported_qualities": every canonical quality, sorted by name.
BridgeReply handleGetSupportedQualities(const nlohmann::json& request);

}  // namespace quillex
