// From an accepted generation to the answer: chord records, final key, locked slots and rendered items.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "generation/local_generation_request.h"
#include "generation/lock_context.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"

namespace quillex {

// One slot of the final sequence.
struct GeneratedChord {
    bool rest = false;
    Chord chord;
    // Generated chords: the accidental direction their numeral implies.
    std::optional<bool> numeralPrefersFlats;
    // Locked chords: their scale degrees in the lock's source key.
    std::optional<DegreeHint> placement;
    bool locked = false;
    std::string authoredSymbol;
    bool keepAuthoredSpelling = false;

    bool operator==(const GeneratedChord&) const = default;
};

// Throws "Generated chord has invalid quality at index N" for a quality the vocabulary lacks.
std::vector<GeneratedChord> buildGeneratedChords(const LocalGenerationResult& result);

bool hasLockedChord(const std::vector<LockedSlot>& slots);

// The best key of the chord slots; `fallback` when there are none.
MusicalKey inferFinalKey(const std::vector<GeneratedChord>& chords, const MusicalKey& fallback);

// Locked chords take the place of the generated chord at their index, locked
// rests are inserted, and locks past the end are appended in index order;
// locked chords move by the interval from the lock's source key to `finalKey`.
std::vector<GeneratedChord> applyLockedSlots(const std::vector<GeneratedChord>& generated, const LockContext& locks,
                                             const MusicalKey& finalKey);
void placeLockedSlot(std::vector<GeneratedChord>& out, const LockedSlot& slot, int offset);

// {"root", "mode", "minorScaleType"}; no value when no root name results.
std::optional<nlohmann::json> serializeGeneratedKey(const MusicalKey& key, SpellingOptions options,
                                                    std::string_view rootName);

// The answer's "items"; throws the sentence of the first chord that cannot be rendered.
nlohmann::json writeProgressionItems(const std::vector<GeneratedChord>& chords, const KeyContext& key, bool simplify);
nlohmann::json renderGeneratedChord(const GeneratedChord& chord, const KeyContext& key, bool simplify);

}  // namespace quillex
