// The voicing catalogues the page lists: styles, the styles offered for a chord, register presets.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// "get_voicing_styles": the five catalogue styles with display texts.
BridgeReply handleGetVoicingStyles(const nlohmann::json& request);

// "get_relevant_voicings": style ids offered for a chord or an interval list.
BridgeReply handleGetRelevantVoicings(const nlohmann::json& request);

// "get_range_presets": the four register presets.
BridgeReply handleGetRangePresets(const nlohmann::json& request);

}  // namespace quillex
