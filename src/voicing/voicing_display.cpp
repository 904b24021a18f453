// Chord-tone note labels and implied slash-bass labels of a voicing.
#include "voicing/voicing_display.h"

#include <algorithm>
#include <stdexcept>

#include "theory/pitch_class.h"
#include "voicing/chord_tone_degree.h"

namespace quillex {
namespace {

std::int32_t mod12(std::int64_t v) { return static_cast<std::int32_t>(((v % 12) + 12) % 12); }

bool hasDoubled(std::string_view name, char accidental) {
    return name.size() >= 3 && name[1] == accidental && name[2] == accidental;
}

// Cb, Fb and double flats become flat names; E#, B# and double sharps sharp names.
std::string simplifySpelledName(std::string name) {
    if (name.size() < 2) return name;
    const std::optional<PitchClass> pc = parseKeyRoot(name);
    if (!pc) return name;
    if (name == "Cb" || name == "Fb" || (noteLetterIndex(static_cast<std::uint8_t>(name[0])) >= 0 && hasDoubled(name, 'b'))) {
        return std::string(flatNoteNames[*pc]);
    }
    if (name == "E#" || name == "B#" || (noteLetterIndex(static_cast<std::uint8_t>(name[0])) >= 0 && hasDoubled(name, '#'))) {
        return std::string(sharpNoteNames[*pc]);
    }
    return name;
}

}  // namespace

std::optional<std::string> spellChordForDisplay(PitchClass pitchClass, const KeyContext& key, bool simplify,
                                                std::optional<DegreeHint> hint) {
    const SpellingOptions options = resolveSpellingOptions(SpellingPreference::Fifths, simplify, key.key.root, "");
    const std::optional<std::string> spelled =
        spellChordSymbolInKey(key, static_cast<PitchClass>(mod12(pitchClass)), "", std::nullopt, options, hint);
    if (!spelled || spelled->empty() || !startsWithNoteLetter(*spelled)) return std::nullopt;
    return simplify ? simplifySpelledName(*spelled) : *spelled;
}

std::string spellChordTone(const Chord& chord, std::string_view spelledRoot, std::int32_t pitchClass, bool simplify) {
    const std::int32_t rootLetter =
        spelledRoot.empty() ? 0 : std::max<std::int32_t>(0, noteLetterIndex(static_cast<std::uint8_t>(spelledRoot[0])));
    const std::int32_t root = mod12(chord.root);
    const std::int32_t p = mod12(pitchClass);
    std::int32_t interval = mod12(static_cast<std::int64_t>(p) - root);
    for (const std::int32_t candidate : chord.intervals) {
        if (mod12(static_cast<std::int64_t>(root) + candidate) == p) {
            interval = candidate;
            break;
        }
    }
    const std::int32_t letter = (rootLetter + chordToneDegreeOfInterval(chord.quality, interval)) % 7;
    std::int32_t d = p - naturalPitchClasses[static_cast<std::size_t>(letter)];
    while (d > 6) d -= 12;
    while (d < -6) d += 12;
    std::string text(1, noteLetters[static_cast<std::size_t>(letter)]);
    text.append(static_cast<std::size_t>(d < 0 ? -d : d), d > 0 ? '#' : 'b');
    return simplify ? simplifySpelledName(std::move(text)) : text;
}

VoicingDisplayMetadata buildVoicingDisplayMetadata(const Chord& chord, const KeyContext& key, bool simplify,
                                                   std::span<const std::int32_t> notes) {
    if (notes.empty()) throw std::runtime_error("Cannot build voicing display metadata without MIDI notes");
    const std::int32_t lowest = *std::min_element(notes.begin(), notes.end());
    const std::int32_t bass = mod12(lowest);
    const std::string rootToken = rootSpellingToken(chord.symbol);
    if (rootToken.empty() || !startsWithNoteLetter(rootToken)) {
        throw std::runtime_error("Voicing display metadata requires a valid chord root token");
    }
    const std::string spelledRoot = spellPitchClassOnLetter(static_cast<PitchClass>(mod12(chord.root)), rootToken);

    VoicingDisplayMetadata metadata;
    std::optional<std::string> bassLabel;
    if (bass != mod12(chord.root)) {
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
    for (const std::int32_t note : notes) metadata.noteLabels.push_back(spellChordTone(chord, spelledRoot, mod12(note), simplify));
    if (bassLabel) {
        const auto first = std::find(notes.begin(), notes.end(), lowest);
        metadata.noteLabels[static_cast<std::size_t>(first - notes.begin())] = *bassLabel;
    }
    return metadata;
}

}  // namespace quillex
