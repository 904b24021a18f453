// The check that every slot of a progression has its own identifier.
#pragma once

#include <vector>

#include "document/progression_slot.h"

namespace quillex {

// Throws std::runtime_error "Document slot IDs must be non-empty and unique" at the
// first slot whose identifier is missing, empty or already used by an earlier slot.
void validateSlotIds(const std::vector<ProgressionSlot>& slots);

}  // namespace quillex
