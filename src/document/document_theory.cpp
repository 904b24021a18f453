// Theory services of the project document: progression text, automatic key, slot chord analysis.
#include "document/document_theory.h"

#include <stdexcept>

#include "theory/key_inference.h"
#include "theory/musical_key.h"
#include "theory/pitch_class.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_derivation.h"

namespace quillex {

namespace {

// The same six ASCII white-space bytes as chord parsing.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Marks each "(" that a later ")" closes. Brackets nest: a ")" closes the
// nearest "(" before it that is still open. Counted from the right, a "(" is
// closed exactly when some ")" after it is still waiting for its opener.
std::vector<bool> closedOpenings(std::string_view text) {
    std::vector<bool> closed(text.size(), false);
    std::size_t waiting = 0;
    for (std::size_t at = text.size(); at-- > 0;) {
        if (text[at] == ')') {
            ++waiting;
        } else if (text[at] == '(' && waiting > 0) {
            closed[at] = true;
            --waiting;
        }
    }
    return closed;
}

// Calls visit(word) for each word of the text. A word ends at ASCII white space,
// and also at "|" and "," when `barsSeparate`, but never between a "(" and its
// own ")": "G7(b9, b13)" is one word (chord parsing drops brackets, so its
// halves would read as two wrong chords). Blank runs inside brackets become one
// blank. A "(" that nothing closes groups nothing, so "Dm(add9 G" is two words,
// as the session writes a slot typed "Dm(add9" beside "G".
template <typename Visit>
void forEachWord(std::string_view text, bool barsSeparate, Visit visit) {
    const std::vector<bool> closed = closedOpenings(text);
    std::string word;
    std::size_t depth = 0;
    bool blankPending = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (depth == 0 && (isBlank(c) || (barsSeparate && (c == '|' || c == ',')))) {
            if (!word.empty()) visit(std::string_view(word));
            word.clear();
            continue;
        }
        if (isBlank(c)) {
            blankPending = true;
            continue;
        }
        if (blankPending) word.push_back(' ');
        blankPending = false;
        if (c == '(' && closed[at]) {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        }
        word.push_back(c);
    }
    if (!word.empty()) visit(std::string_view(word));
}

}  // namespace

std::string normalizeProgressionText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    forEachWord(text, true, [&result](std::string_view word) {
        if (!result.empty()) result.push_back(' ');
        result.append(word);
    });
    return result;
}

std::vector<std::string> splitProgressionTokens(std::string_view text) {
    std::vector<std::string> tokens;
    forEachWord(text, false, [&tokens](std::string_view word) { tokens.emplace_back(word); });
    return tokens;
}

std::optional<KeyContext> keyContextOfSection(const KeySection& section) {
    const std::optional<PitchClass> root = parseKeyRoot(section.root);
    if (!root) return std::nullopt;
    const bool minor = section.mode == "minor";
    const bool melodic = minor && section.minorScaleType == "melodic";
    return KeyContext{
        MusicalKey{*root, minor ? kMinorMode : kMajorMode, melodic ? kMelodicMinorScale : kNaturalMinorScale},
        section.root};
}

void applyAutoKey(KeySection& section, const std::vector<Chord>& chords) {
    if (!section.autoKey || chords.empty()) return;

    std::vector<KeyInferenceChord> input;
    input.reserve(chords.size());
    for (const Chord& chord : chords) input.push_back(KeyInferenceChord{chord.root, chord.quality, chord.bass});
    const MusicalKey key = inferKey(toWeightedChords(input)).key;

    std::string rootText;
    for (const Chord& chord : chords) {
        if (chord.root != key.root) continue;
        rootText = rootSpellingToken(chord.symbol);
        if (!rootText.empty()) break;
    }
    if (rootText.empty()) rootText = std::string(pitchClassName(key.root, keyPrefersFlatsByDefault(key)));

    section.root = std::move(rootText);
    section.mode = key.isMinor() ? "minor" : "major";
    section.minorScaleType = key.isMelodicMinor() ? "melodic" : "natural";
}

SlotChord analyzeSlotChord(const Chord& chord, const KeySection& section) {
    const std::optional<KeyContext> key = keyContextOfSection(section);
    if (!key) throw std::runtime_error("Document key root is invalid");

    const std::string rootName = spellPitchClassOnLetter(chord.root, rootSpellingToken(chord.symbol));
    if (rootName.empty()) throw std::runtime_error("Chord root spelling is invalid");
    std::string symbol = rootName + chord.quality;

    std::optional<std::string> bassName;
    if (chord.bass) {
        bassName = spellPitchClassOnLetter(*chord.bass, slashBassSpellingToken(chord.symbol));
        if (bassName->empty()) throw std::runtime_error("Chord bass spelling is invalid");
        symbol += "/" + *bassName;
    }

    std::string roman = requireRomanNumeralFromSymbol(symbol, *key);

    SlotChord slot;
    slot.original = chord.symbol;
    slot.root = rootName;
    slot.quality = chord.quality;
    slot.symbol = std::move(symbol);
    slot.category = familyOfChord(chord);
    slot.roman = std::move(roman);
    slot.degree = static_cast<double>(scaleDegreeOf(key->key, chord.root));
    slot.bassNote = std::move(bassName);
    slot.usesLegacyBassKey = false;
    slot.intervals = chord.intervals;
    return slot;
}

}  // namespace quillex
