// The page's "get_diatonic_chords" request: the seven chords of a key, spelled, numbered and voiced.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// Always answers "diatonic_chords"; invalid requests get an error payload.
// JSON type errors and an underivable Roman numeral leave as exceptions.
BridgeReply handleGetDiatonicChords(const nlohmann::json& request);

}  // namespace quillex
