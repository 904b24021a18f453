// Roman numerals to chords: numeral parsing, resolution in a key and letter-true rendering.
#include "theory/roman_numeral_resolution.h"

#include <array>
#include <limits>
#include <utility>

#include "protocol/json_number.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"
#include "theory/quality_extension.h"

namespace quillex {

namespace {

constexpr std::string_view kFlatSign = "\u266D";
constexpr std::string_view kSharpSign = "\u266F";
constexpr std::string_view kDiminishedMark = "\u00B0";
constexpr std::string_view kHalfDiminishedMark = "\u00F8";

constexpr std::array<std::pair<std::string_view, std::int32_t>, 14> kRomanNumeralMap = {{
    {"I", 1},
    {"II", 2},
    {"III", 3},
    {"IV", 4},
    {"V", 5},
    {"VI", 6},
    {"VII", 7},
    {"i", 1},
    {"ii", 2},
    {"iii", 3},
    {"iv", 4},
    {"v", 5},
    {"vi", 6},
    {"vii", 7},
}};

enum class QualityMark { None, Diminished, HalfDiminished, Augmented };

// Quality of a lower-case numeral without a mark, from what follows it.
std::string minorNumeralQuality(std::string_view rest) {
    constexpr std::array<std::string_view, 9> kNamedPrefixes = {"m",      "maj", "M", "dim", "o",
                                                                "\u00F8", "aug", "+", "sus"};
    if (rest == "-") return std::string(rest);
    for (std::string_view prefix : kNamedPrefixes) {
        if (rest.starts_with(prefix)) return std::string(rest);
    }
    if (rest == "6") return "m6";
    if (rest == "69") return "m69";
    if (rest == "add9") return "madd9";
    if (rest[0] >= '0' && rest[0] <= '9') return mergeQualityExtension(rest, "m7");
    return std::string(rest);
}

std::optional<std::string> markedQuality(QualityMark mark, bool upperCase, std::string_view rest) {
    if (rest.empty()) {
        switch (mark) {
            case QualityMark::Diminished:
                return "dim";
            case QualityMark::HalfDiminished:
                return "m7b5";
            case QualityMark::Augmented:
                return "aug";
            case QualityMark::None:
                return upperCase ? "" : "m";
        }
    }
    switch (mark) {
        case QualityMark::Diminished:
            return std::string("dim").append(rest);
        case QualityMark::HalfDiminished:
            if (rest[0] == '7') return std::string("m7b5").append(rest.substr(1));
            if (rest[0] == '9') return std::string("m9b5").append(rest.substr(1));
            return std::nullopt;
        case QualityMark::Augmented:
            return std::string("aug").append(rest);
        case QualityMark::None:
            break;
    }
    return upperCase ? std::string(rest) : minorNumeralQuality(rest);
}

}  // namespace

std::optional<RomanToken> parseRomanToken(std::string_view text) {
    std::size_t pos = 0;
    std::int64_t offset = 0;
    while (pos < text.size()) {
        const std::string_view rest = text.substr(pos);
        if (rest.starts_with(kFlatSign)) {
            --offset;
            pos += kFlatSign.size();
        } else if (rest.starts_with(kSharpSign)) {
            ++offset;
            pos += kSharpSign.size();
        } else if (rest[0] == 'b') {
            --offset;
            ++pos;
        } else if (rest[0] == '#') {
            ++offset;
            ++pos;
        } else {
            break;
        }
    }
    const std::size_t numeralStart = pos;
    bool upperCase = false;
    while (pos < text.size() && (text[pos] == 'I' || text[pos] == 'V' || text[pos] == 'i' || text[pos] == 'v')) {
        if (text[pos] == 'I' || text[pos] == 'V') upperCase = true;
        ++pos;
    }
    if (pos == numeralStart) return std::nullopt;
    const std::string_view numeral = text.substr(numeralStart, pos - numeralStart);
    for (const auto& [name, degree] : kRomanNumeralMap) {
        if (name == numeral) return RomanToken{degree, upperCase, saturateToInt32(offset), pos};
    }
    return std::nullopt;
}

PitchClass rootOfAlteredDegree(const MusicalKey& key, std::int32_t degree, std::int32_t alteration, bool seventh) {
    if (degree < 1 || degree > 7) return reducePitchClass(key.root);
    const DiatonicChord chord = diatonicChordOfDegree(key, degree, seventh);
    return reducePitchClass(std::int64_t{chord.root} + alteration);
}

std::optional<RomanChord> romanNumeralToChord(std::string_view text, const MusicalKey& key) {
    if (text.empty()) return std::nullopt;
    const std::size_t slash = text.find('/');
    const std::string_view main = text.substr(0, slash);
    const std::string_view bassPart = slash == std::string_view::npos ? std::string_view{} : text.substr(slash + 1);

    const std::optional<RomanToken> token = parseRomanToken(main);
    if (!token) return std::nullopt;
    RomanChord chord;
    chord.root = rootOfAlteredDegree(key, token->degree, token->accidentalOffset, true);

    std::string_view rest = main.substr(token->end);
    QualityMark mark = QualityMark::None;
    if (rest.starts_with(kDiminishedMark)) {
        mark = QualityMark::Diminished;
        rest.remove_prefix(kDiminishedMark.size());
    } else if (rest.starts_with(kHalfDiminishedMark)) {
        mark = QualityMark::HalfDiminished;
        rest.remove_prefix(kHalfDiminishedMark.size());
    } else if (rest.starts_with("+")) {
        mark = QualityMark::Augmented;
        rest.remove_prefix(1);
    }
    std::optional<std::string> quality = markedQuality(mark, token->upperCase, rest);
    if (!quality) return std::nullopt;
    if (!quality->empty() && !lookupChordQuality(*quality)) return std::nullopt;
    chord.quality = std::move(*quality);

    if (!bassPart.empty()) {
        const std::optional<RomanToken> bassToken = parseRomanToken(bassPart);
        if (!bassToken || bassToken->end != bassPart.size()) return std::nullopt;
        const PitchClass bass = rootOfAlteredDegree(key, bassToken->degree, bassToken->accidentalOffset, false);
        if (bass != chord.root) chord.bass = bass;
    }
    return chord;
}

std::optional<bool> romanAccidentalPreference(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::size_t slash = text.find('/');
    const auto direction = [](std::string_view part) -> std::optional<bool> {
        const std::optional<RomanToken> token = parseRomanToken(part);
        if (!token || token->accidentalOffset == 0) return std::nullopt;
        return token->accidentalOffset < 0;
    };
    if (const auto main = direction(text.substr(0, slash))) return main;
    if (slash != std::string_view::npos && slash + 1 < text.size()) {
        return direction(text.substr(slash + 1));
    }
    return std::nullopt;
}

std::string qualityOrMaj(std::string_view quality) {
    return quality.empty() ? std::string("maj") : std::string(quality);
}

std::optional<RenderedChord> renderChordInKey(const RomanChord& chord, const KeyContext& key, bool simplify,
                                              SpellingOptions options, std::optional<DegreeHint> hint) {
    const std::string quality = qualityOrMaj(chord.quality);
    std::optional<std::string> spelled = spellChordSymbolInKey(key, chord.root, quality, chord.bass, options, hint);
    if (!spelled) return std::nullopt;
    if (!simplify) return RenderedChord{*spelled, *spelled};

    const std::string rootToken = rootSpellingToken(*spelled);
    if (rootToken.empty()) return std::nullopt;
    std::string display = simplifyNoteName(rootToken);
    display.append(quality);
    if (chord.bass) {
        // The bass follows the last "/": a quality text may hold one of its own.
        const std::string_view text = *spelled;
        const std::size_t slash = text.rfind('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const std::string bassToken = rootSpellingToken(text.substr(slash + 1));
        if (bassToken.empty()) return std::nullopt;
        display.push_back('/');
        display.append(simplifyNoteName(bassToken));
    }
    return RenderedChord{std::move(*spelled), std::move(display)};
}

std::optional<std::string> spellNoteNameInKey(PitchClass pitchClass, const KeyContext& key, bool simplify,
                                              SpellingOptions options) {
    std::optional<std::string> name = spellChordSymbolInKey(key, pitchClass, "", std::nullopt, options, std::nullopt);
    if (!name || !startsWithNoteLetter(*name)) return std::nullopt;
    if (simplify) return simplifyNoteName(*name);
    return name;
}

}  // namespace quillex
