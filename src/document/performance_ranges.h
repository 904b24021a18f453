// Range checks on the document values that performance compilation reads; the reader checks only types.
#pragma once

#include "document/progression_slot.h"
#include "document/project_document.h"
#include "document/rhythm_section.h"

namespace quillex {

// Each throws std::runtime_error with the reader's own message for the part at fault:
// "Document rhythm is invalid", "Document attack is invalid", "Document contour is invalid"
// or "Document slot is invalid". Only values that compilation reads are checked: the
// custom pattern when the pattern is "custom", swing when a pattern is chosen, the
// curves of an "advanced" attack, and chord slots.
void checkRhythmRanges(const RhythmSection& rhythm);
void checkSlotRanges(const ProgressionSlot& slot);
void checkPerformanceRanges(const ProjectDocument& document);

}  // namespace quillex
