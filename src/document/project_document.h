// The project document: a schema version and eight shared, immutable sections.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/bass_split_section.h"
#include "document/clip_sync_section.h"
#include "document/gesture_section.h"
#include "document/key_section.h"
#include "document/progression_section.h"
#include "document/rhythm_section.h"
#include "document/voicing_section.h"

namespace quillex {

using ProgressionLog = std::vector<std::string>;

// A section is never changed once a document points to it: a change builds a new
// section and a new document sharing every other section, so whether a section
// changed between two documents is a pointer comparison.
struct ProjectDocument {
    std::uint32_t schemaVersion = 0;
    std::shared_ptr<const ProgressionSection> progression;
    std::shared_ptr<const ProgressionLog> progressionLog;
    std::shared_ptr<const KeySection> key;
    std::shared_ptr<const VoicingSection> voicing;
    std::shared_ptr<const RhythmSection> rhythm;
    std::shared_ptr<const GestureSection> gesture;
    std::shared_ptr<const BassSplitSection> bassSplit;
    std::shared_ptr<const ClipSyncSection> clipSync;
};

}  // namespace quillex
