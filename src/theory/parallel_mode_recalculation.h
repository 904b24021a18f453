// Parallel-mode Roman recalculation: a chord list re-spelled and re-numbered in a key, moved into the parallel mode.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"

namespace quillex {

// Always of type "recalculate_romans_result". Invalid requests and chords come
// back as error payloads; a numeral that cannot be derived throws
// std::runtime_error, and wrongly typed members raise the JSON library's errors.
BridgeReply handleRecalculateRomans(const nlohmann::json& request);

}  // namespace quillex
