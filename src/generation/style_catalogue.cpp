// Style catalogue and key-root name tables.
#include "generation/style_catalogue.h"

#include <array>
#include <utility>

#include "generation/progression_corpus.h"

namespace quillex {

namespace {

using StyleEntry = std::pair<std::string_view, std::string_view>;

constexpr std::array<StyleEntry, 6> kStyles{{
    {"classical", "Classical"},
    {"popedm", "Pop + EDM"},
    {"rock", "Rock"},
    {"jazzneosoul", "Jazz + Neo Soul"},
    {"modalcolorsdarkexotic", "Modal Colors: Dark & Exotic"},
    {"modalcolorslightdreamy", "Modal Colors: Light & Dreamy"},
}};

using RootNames = std::array<std::string_view, 12>;
constexpr RootNames kFlatRoots{"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};
constexpr RootNames kSharpRoots{"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr RootNames kFifthsRoots{"C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};

}  // namespace

std::string genreDisplayName(std::string_view genre) {
    const std::string id = normalizeGenreId(genre);
    for (const auto& [styleId, name] : kStyles) {
        if (id == styleId) return std::string(name);
    }
    return std::string(genre);
}

std::string spellPitchClass(SpellingPreference preference, PitchClass pitchClass, std::string_view override) {
    if (!override.empty()) return std::string(override);
    const RootNames& names = preference == SpellingPreference::Flats    ? kFlatRoots
                             : preference == SpellingPreference::Sharps ? kSharpRoots
                                                                        : kFifthsRoots;
    return std::string(names[pitchClass % 12]);
}

}  // namespace quillex
