// Rendering a resolved revision's performance plan into a main clip and an optional bass clip.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/project_document.h"
#include "performance/hit_expansion.h"
#include "performance/performance_plan.h"
#include "performance/phrase_notes.h"

namespace quillex {

// What happens to each row's bass note (the lowest pitch of its first page).
enum class BassDisposition : std::uint8_t {
    none = 0,       // no bass clip
    duplicate = 1,  // in the main clip and the bass clip
    migrate = 2,    // in the bass clip only
};

struct RenderedPhrase {
    std::vector<PhraseNote> mainNotes;  // sorted
    std::vector<PhraseNote> bassNotes;  // sorted
    double length = 0.0;                // beats
    std::string mainLabel;
    std::string bassLabel;
    bool hasBass = false;

    friend bool operator==(const RenderedPhrase&, const RenderedPhrase&) = default;
};

// Sink context of collectPhraseNote.
struct PhraseCollector {
    const TriggerRow* rows = nullptr;
    std::uint64_t rowCount = 0;
    BassDisposition disposition = BassDisposition::none;
    std::vector<PhraseNote>* mainNotes = nullptr;
    std::vector<PhraseNote>* bassNotes = nullptr;
};

// Files a note under its row (the note's rowSequence); false when the row is unknown or memory ran out.
bool collectPhraseNote(void* context, const ExpandedNote& note) noexcept;

// A render refuses a clip estimated above this many notes before expanding anything.
inline constexpr double kMaximumPhraseNotesPerClip = 1000000.0;

// Every operation below throws std::runtime_error with the failure's sentence.

RenderedPhrase renderPhraseResolved(const ResolvedPerformancePlan& plan, BassDisposition disposition,
                                    std::size_t slotCount, std::string mainLabel, std::string bassLabel,
                                    std::optional<std::span<const double>> slotDurations);

RenderedPhrase renderSessionPhrase(const ProjectDocument& document, std::string_view spellingPreference,
                                   const ResolvedPerformancePlan& plan, BassDisposition disposition);

// As renderSessionPhrase with one duration per progression slot in place of the slots' own.
RenderedPhrase renderSessionPhrasePreview(const ProjectDocument& document, std::string_view spellingPreference,
                                          const ResolvedPerformancePlan& plan, BassDisposition disposition,
                                          std::span<const double> slotDurations);

}  // namespace quillex
