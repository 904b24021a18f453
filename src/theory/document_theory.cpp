// Theory services of the project document: progression text, automatic key, slot chord analysis.
#include "theory/document_theory.h"

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

template <typename Visit>
void forEachWord(std::string_view text, Visit visit) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBlank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !isBlank(text[pos])) ++pos;
        if (pos > start) visit(text.substr(start, pos - start));
    }
}

}  // namespace

std::string normalizeProgressionText(std::string text) {
    for (char& c : text) {
        if (c == '|' || c == ',') c = ' ';
    }
    std::string result;
    result.reserve(text.size());
    forEachWord(text, [&result](std::string_view word) {
        if (!result.empty()) result.push_back(' ');
        result.append(word);
    });
    return result;
}

std::vector<std::string> splitProgressionTokens(std::string_view text) {
    std::vector<std::string> tokens;
    forEachWord(text, [&tokens](std::string_view word) { tokens.emplace_back(word); });
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
