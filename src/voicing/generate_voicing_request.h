// The "generate_voicing" request: one chord symbol voiced in one style.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// Answers "voicing_result" or "voicing_error"; a key of the wrong JSON type
// raises the JSON library's type error, and a style without a plan raises
// "No descriptor-based voicing plan available for style".
BridgeReply handleGenerateVoicing(const nlohmann::json& request);

}  // namespace quillex
