// Chord-tone note labels and implied slash-bass labels of a voicing.
#include "voicing/voicing_display.h"

#include <algorithm>
#include <stdexcept>

#include "theory/musical_key.h"
#include "theory/pitch_class.h"
#include "theory/chord_tone_degree.h"

namespace quillex {

std::optional<std::string> spellChordForDisplay(PitchClass pitchClass, const KeyContext& key, bool simplify,
                                                std::optional<DegreeHint> hint) {
    const SpellingOptions options = resolveSpellingOptions(SpellingPreference::Fifths, simplify, key.key.root, "");
    const std::optional<std::string> spelled =
        spellChordSymbolInKey(key, reducePitchClass(pitchClass), "", std::nullopt, options, hint);
    if (!spelled || spelled->empty() || !startsWithNoteLetter(*spelled)) return std::nullopt;
    return simplify ? simplifyNoteName(*spelled) : *spelled;
}

std::string spellChordTone(const Chord& chord, std::string_view spelledRoot, std::int32_t pitchClass, bool simplify) {
    const std::int32_t rootLetter =
        spelledRoot.empty() ? 0 : std::max<std::int32_t>(0, noteLetterIndex(static_cast<std::uint8_t>(spelledRoot[0])));
    const std::int32_t root = reducePitchClass(chord.root);
    const std::int32_t p = reducePitchClass(pitchClass);
    std::int32_t interval = reducePitchClass(static_cast<std::int64_t>(p) - root);
    for (const std::int32_t candidate : chord.intervals) {
        if (reducePitchClass(static_cast<std::int64_t>(root) + candidate) == p) {
            interval = candidate;
            break;
        }
    }
    const std::int32_t letter = (rootLetter + chordToneDegreeOfInterval(chord.quality, interval)) % 7;
    const std::string text = noteNameOnLetter(static_cast<PitchClass>(p), letter);
    return simplify ? simplifyNoteName(text) : text;
}

VoicingDisplayMetadata buildVoicingDisplayMetadata(const Chord& chord, const KeyContext& key, bool simplify,
                                                   std::span<const std::int32_t> notes) {
    if (notes.empty()) throw std::runtime_error("Cannot build voicing display metadata without MIDI notes");
    const std::int32_t lowest = *std::min_element(notes.begin(), notes.end());
    const std::int32_t bass = reducePitchClass(lowest);
    const std::string rootToken = rootSpellingToken(chord.symbol);
    if (rootToken.empty() || !startsWithNoteLetter(rootToken)) {
        throw std::runtime_error("Voicing display metadata requires a valid chord root token");
    }
    const std::string spelledRoot = spellPitchClassOnLetter(reducePitchClass(chord.root), rootToken);

    VoicingDisplayMetadata metadata;
    std::optional<std::string> bassLabel;
    if (bass != reducePitchClass(chord.root)) {
        if (chord.bass) {
            const std::string slashToken = slashBassSpellingToken(chord.symbol);
            if (slashToken.empty() || !startsWithNoteLetter(slashToken)) {
                throw std::runtime_error(
                    "Voicing display metadata requires a valid slash-bass token for explicit slash chords");
            }
            bassLabel = spellPitchClassOnLetter(static_cast<PitchClass>(bass), slashToken);
        } else {
            bassLabel = spellChordForDisplay(static_cast<PitchClass>(bass), key, simplify, std::nullopt);
            if (!bassLabel) throw std::runtime_error("Could not derive key-context slash-bass spelling");
            metadata.slashBass = bassLabel;
        }
    }
    metadata.noteLabels.reserve(notes.size());
    for (const std::int32_t note : notes)
        metadata.noteLabels.push_back(spellChordTone(chord, spelledRoot, reducePitchClass(note), simplify));
    if (bassLabel) {
        const auto first = std::find(notes.begin(), notes.end(), lowest);
        metadata.noteLabels[static_cast<std::size_t>(first - notes.begin())] = *bassLabel;
    }
    return metadata;
}

}  // namespace quillex
