// Chord parsing and the fixed catalogues the page lists: styles, ranges, qualities, rhythm patterns.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// "parse_chord": "parse_result", or "parse_error" with "Missing chord" / "Invalid chord".
BridgeReply handleParseChord(const nlohmann::json& request);

// "get_voicing_styles": the five catalogue styles with display texts.
BridgeReply handleGetVoicingStyles(const nlohmann::json& request);

// "get_relevant_voicings": style ids offered for a chord or an interval list.
BridgeReply handleGetRelevantVoicings(const nlohmann::json& request);

// "get_range_presets": the four register presets.
BridgeReply handleGetRangePresets(const nlohmann::json& request);

// "get_supported_qualities": every canonical quality, sorted by name.
BridgeReply handleGetSupportedQualities(const nlohmann::json& request);

// "get_rhythm_patterns": the built-in rhythm catalogue keyed by pattern id.
BridgeReply handleGetRhythmPatterns(const nlohmann::json& request);

}  // namespace quillex
