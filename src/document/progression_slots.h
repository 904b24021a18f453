// Helpers shared by the progression commands: slot IDs in use, the rebuilt text, the log, new slots.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "document/project_document.h"

namespace quillex {

// The ids of every slot whose id is present and non-empty.
std::unordered_set<std::string> collectSlotIds(const std::vector<ProgressionSlot>& slots);

// Each slot as its chord's "original" text, or "r" for a rest, joined by single spaces.
std::string buildProgressionText(const std::vector<ProgressionSlot>& slots);

// Adds the progression input to the log unless it is empty or already the last entry;
// keeps at most the 50 newest entries.
void appendProgressionLogEntry(ProjectDocument& document);

// A new chord slot with the document's default style and the gesture section's new-chord settings.
ProgressionSlot makeChordSlot(SlotChord chord, const ProjectDocument& document, std::string id, bool isAutoVoiced);
ProgressionSlot makeRestSlot(std::string id);

// Sets every chord slot's auto-voicing flag: false on the first, autoVoiceLeading after it.
void resetAutoVoicing(std::vector<ProgressionSlot>& slots, bool autoVoiceLeading);

}  // namespace quillex
