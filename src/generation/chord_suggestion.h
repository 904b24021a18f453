// Chord suggestion records: the request's context, one ranked suggestion, category codes and kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"
#include "voicing/voicing_style.h"

namespace quillex {

// Category codes, sent by name (`suggestionCategoryName`).
inline constexpr std::uint8_t kSmartCategory = 0;
inline constexpr std::uint8_t kDiatonicCategory = 1;
inline constexpr std::uint8_t kSecondaryDominantCategory = 2;
inline constexpr std::uint8_t kModalInterchangeCategory = 3;
inline constexpr std::uint8_t kTritoneSubCategory = 4;
inline constexpr std::uint8_t kDiminishedApproachCategory = 5;
inline constexpr std::uint8_t kChromaticMediantCategory = 6;

// Which generator made a suggestion; scoring picks its terms by it.
enum class SuggestionKind : std::uint8_t {
    Corpus = 0,
    SecondaryDominant = 1,
    TritoneSubstitute = 2,
    PassingFromBelow = 3,
    PassingFromAbove = 4,
    CommonTone = 5,
    Borrowed = 6,
    ChromaticMediant = 7,
};

// One request's musical context, shared read-only by every generator.
struct SuggestionContext {
    MusicalKey key;
    std::string keyRootText = "C";  // spelling token of the request's root
    std::vector<Chord> prevChords;  // oldest first
    std::optional<Chord> nextChord;
    VoicingStyle voicingStyle = VoicingStyle::Closed;
    SpellingOptions spellingOptions;
    bool shuffleMode = false;

    KeyContext keyContext() const { return KeyContext{key, keyRootText}; }

    friend bool operator==(const SuggestionContext&, const SuggestionContext&) = default;
};

struct ChordSuggestion {
    Chord chord;  // its symbol is the display symbol
    std::uint8_t category = kSmartCategory;
    std::string label;
    std::string roman;
    std::string spelledSymbol;
    double score = 0.0;
    std::vector<std::int32_t> notes;
    bool isDiatonic = false;
    std::optional<PitchClass> target;  // root of the chord it leads to
    std::string targetRoman;
    std::string targetQuality;
    SuggestionKind kind = SuggestionKind::Corpus;

    friend bool operator==(const ChordSuggestion&, const ChordSuggestion&) = default;
};

// "smart", "diatonic", "secondary_dominant", "modal_interchange",
// "tritone_sub", "diminished_approach", "chromatic_mediant"; else "unknown".
std::string_view suggestionCategoryName(std::uint8_t category);

}  // namespace quillex
