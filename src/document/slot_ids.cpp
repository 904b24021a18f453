// Slot identifier validation.
#include "document/slot_ids.h"

#include <stdexcept>
#include <string_view>
#include <unordered_set>

namespace quillex {

void validateSlotIds(const std::vector<ProgressionSlot>& slots) {
    std::unordered_set<std::string_view> seen;
    seen.reserve(slots.size());
    for (const auto& slot : slots) {
        if (!slot.id || slot.id->empty() || !seen.insert(*slot.id).second) {
            throw std::runtime_error("Document slot IDs must be non-empty and unique");
        }
    }
}

}  // namespace quillex
