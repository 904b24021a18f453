// The notes of a rendered clip: their order and the legato tie across slot boundaries.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillex {

struct PhraseNote {
    std::int32_t pitch = 0;
    double start = 0.0;     // beats
    double duration = 0.0;  // beats
    std::int32_t velocity = 0;
    double hitStart = 0.0;  // start of the hit that made the note

    friend bool operator==(const PhraseNote&, const PhraseNote&) = default;
};

// By start; notes starting within the tolerance of a run's first start by pitch, then
// by duration (again in runs within the tolerance), then by velocity.
void sortPhraseNotes(std::span<PhraseNote> notes);

// For each boundary in order, a note struck at the boundary extends the latest earlier note
// of its pitch that ends there and is removed; the list keeps its order otherwise.
void mergeTiedNotes(std::vector<PhraseNote>& notes, std::span<const double> boundaries);

}  // namespace quillex
