// Letter-true note spelling in a key: key context, spelling preference and options, chord symbols in a key.
#include "theory/key_spelling.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "theory/pitch_class.h"

namespace quillex {

namespace {

constexpr std::string_view kPreferenceExpected =
    "Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\"";
constexpr std::string_view kSimplifyExpected = "Invalid simplifyAccidentals: expected boolean";

// Position of a pitch class forced onto scale-degree index `degree`.
std::optional<AlteredDegree> alteredDegreeOnIndex(const KeyContext& key, PitchClass pitchClass, std::int32_t degree) {
    if (degree < 0 || degree > 6) return std::nullopt;
    const std::int32_t rel = reducePitchClass(std::int64_t{pitchClass} - key.key.root);
    return AlteredDegree{degree, wrapToTritone(rel - scaleIntervalsOf(key.key)[degree]), true};
}

}  // namespace

std::string_view spellingPreferenceName(SpellingPreference preference) {
    switch (preference) {
        case SpellingPreference::Flats:
            return "flats";
        case SpellingPreference::Sharps:
            return "sharps";
        case SpellingPreference::Fifths:
            break;
    }
    return "fifths";
}

std::string rootSpellingToken(std::string_view text) {
    if (text.empty()) return {};
    // ASCII-only: bytes of multi-byte characters must never be case-mapped.
    const std::int32_t letterIndex = noteLetterIndex(static_cast<std::uint8_t>(text[0]));
    if (letterIndex < 0) return {};
    const char letter = noteLetters[static_cast<std::size_t>(letterIndex)];
    std::string token(1, letter);
    if (text.size() > 1 && (text[1] == 'b' || text[1] == '#')) {
        const char accidental = text[1];
        for (std::size_t i = 1; i < text.size() && text[i] == accidental; ++i) token += accidental;
    }
    return token;
}

std::string slashBassSpellingToken(std::string_view chordSymbol) {
    // The bass follows the last "/": qualities such as "6/9" hold one of their own.
    const std::size_t slash = chordSymbol.rfind('/');
    if (slash == std::string_view::npos || slash + 1 >= chordSymbol.size()) return {};
    return rootSpellingToken(chordSymbol.substr(slash + 1));
}

std::string spellPitchClassOnLetter(PitchClass pitchClass, std::string_view token) {
    if (!startsWithNoteLetter(token)) return {};
    return noteNameOnLetter(pitchClass, noteLetterIndex(static_cast<std::uint8_t>(token[0])));
}

bool hasSpellingPreference(const nlohmann::json& value) {
    return value.is_object() && value.contains("spellingPreference");
}

bool readSpellingPreference(const nlohmann::json& request, SpellingPreference& preference, std::string& error) {
    preference = SpellingPreference::Fifths;
    if (!hasSpellingPreference(request)) return true;
    const nlohmann::json& value = request.at("spellingPreference");
    if (!value.is_string()) {
        error = std::string(kPreferenceExpected);
        return false;
    }
    const std::string& text = value.get_ref<const std::string&>();
    if (text == "fifths") {
        preference = SpellingPreference::Fifths;
    } else if (text == "flats") {
        preference = SpellingPreference::Flats;
    } else if (text == "sharps") {
        preference = SpellingPreference::Sharps;
    } else {
        error = "Invalid spellingPreference: " + text;
        return false;
    }
    return true;
}

bool readSimplifyAccidentals(const nlohmann::json& request, bool& simplifyAccidentals, std::string& error) {
    simplifyAccidentals = true;
    if (!request.is_object()) return true;
    const auto it = request.find("simplifyAccidentals");
    if (it == request.end()) return true;
    if (!it->is_boolean()) {
        error = std::string(kSimplifyExpected);
        return false;
    }
    simplifyAccidentals = it->get<bool>();
    return true;
}

SpellingOptions resolveSpellingOptions(SpellingPreference preference, bool simplifyAccidentals, PitchClass keyRoot,
                                       std::string_view chordRootToken) {
    SpellingOptions options;
    options.simplifyAccidentals = simplifyAccidentals;
    if (chordRootToken.size() >= 2 && chordRootToken.find('b', 1) != std::string_view::npos) {
        options.preferFlats = true;
    } else if (!chordRootToken.empty() && chordRootToken.find('#') != std::string_view::npos) {
        options.preferFlats = false;
    } else if (preference == SpellingPreference::Flats) {
        options.preferFlats = true;
    } else if (preference == SpellingPreference::Sharps) {
        options.preferFlats = false;
    } else {
        options.preferFlats = defaultNoteNames[reducePitchClass(keyRoot)].find('b') != std::string_view::npos;
    }
    return options;
}

std::optional<SpellingOptions> readSpellingOptions(const nlohmann::json& request, PitchClass keyRoot,
                                                   std::string_view chordRootToken, std::string& error) {
    SpellingPreference preference = SpellingPreference::Fifths;
    if (!readSpellingPreference(request, preference, error)) return std::nullopt;
    bool simplify = true;
    if (!readSimplifyAccidentals(request, simplify, error)) return std::nullopt;
    return resolveSpellingOptions(preference, simplify, keyRoot, chordRootToken);
}

std::optional<std::string> spellAlteredDegree(const KeyContext& key, std::int32_t degree, std::int32_t alteration) {
    if (degree < 0 || degree > 6 || !startsWithNoteLetter(key.rootSpelling)) return std::nullopt;
    const std::int32_t keyLetter = noteLetterIndex(static_cast<std::uint8_t>(key.rootSpelling[0]));
    const PitchClass pitchClass =
        reducePitchClass(std::int64_t{key.key.root} + scaleIntervalsOf(key.key)[degree] + alteration);
    return noteNameOnLetter(pitchClass, (keyLetter + degree) % 7);
}

AlteredDegree nearestAlteredDegree(const KeyContext& key, PitchClass pitchClass, SpellingOptions options) {
    if (!startsWithNoteLetter(key.rootSpelling)) return {};
    const std::int32_t rel = reducePitchClass(std::int64_t{pitchClass} - key.key.root);
    const ScaleIntervals& scale = scaleIntervalsOf(key.key);
    for (std::int32_t d = 0; d < 7; ++d) {
        if (scale[d] == rel) return {d, 0, true};
    }
    const auto matches = [&](std::int32_t a) {
        return options.simplifyAccidentals && (options.preferFlats ? a < 0 : a > 0);
    };
    AlteredDegree best{0, wrapToTritone(rel - scale[0]), true};
    for (std::int32_t d = 1; d < 7; ++d) {
        const std::int32_t a = wrapToTritone(rel - scale[d]);
        const bool closer = std::abs(a) < std::abs(best.alteration);
        const bool tieWon = std::abs(a) == std::abs(best.alteration) && matches(a) && !matches(best.alteration);
        if (closer || tieWon) best = {d, a, true};
    }
    return best;
}

std::optional<std::string> spellChordSymbolInKey(const KeyContext& key, PitchClass root, std::string_view quality,
                                                 std::optional<PitchClass> bass, SpellingOptions options,
                                                 std::optional<DegreeHint> hint) {
    std::optional<AlteredDegree> rootPosition;
    if (hint) {
        rootPosition = alteredDegreeOnIndex(key, root, hint->rootDegree);
    } else if (const AlteredDegree nearest = nearestAlteredDegree(key, root, options); nearest.valid) {
        rootPosition = nearest;
    }
    if (!rootPosition) return std::nullopt;
    std::optional<std::string> text = spellAlteredDegree(key, rootPosition->degree, rootPosition->alteration);
    if (!text) return std::nullopt;
    text->append(quality);
    if (!bass) {
        if (hint && hint->bassDegree) return std::nullopt;
        return text;
    }
    std::optional<AlteredDegree> bassPosition;
    if (hint) {
        if (!hint->bassDegree) return std::nullopt;
        bassPosition = alteredDegreeOnIndex(key, *bass, *hint->bassDegree);
    } else if (const AlteredDegree nearest = nearestAlteredDegree(key, *bass, options); nearest.valid) {
        bassPosition = nearest;
    }
    if (!bassPosition) return std::nullopt;
    const std::optional<std::string> bassName = spellAlteredDegree(key, bassPosition->degree, bassPosition->alteration);
    if (!bassName || bassName->empty()) return std::nullopt;
    text->append("/").append(*bassName);
    return text;
}

}  // namespace quillex
