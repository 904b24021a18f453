// Theory services of the project document: progression text, automatic key, slot chord analysis.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/key_section.h"
#include "document/slot_chord.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"

namespace quillex {

// The words of the text, separated by white space, "|" and ",", joined by
// single spaces. Between a "(" and its own ")" nothing separates:
// "Ab7(b9,b13)" stays one word and its blank runs become single blanks.
// Brackets nest; a "(" that no ")" closes groups nothing.
std::string normalizeProgressionText(std::string_view text);

// The white-space-separated words of the text, in order; brackets group as
// in normalizeProgressionText.
std::vector<std::string> splitProgressionTokens(std::string_view text);

// The key a document section names: root pitch class (none when the root
// text is no note name), "minor" selects minor, "melodic" the melodic minor;
// the root text is kept as the root spelling.
std::optional<KeyContext> keyContextOfSection(const KeySection& section);

// When autoKey is set and there are chords, rewrites root, mode and minor
// scale type with the key inferred from the chords. The root keeps the
// spelling of the first chord on that root, else the key's usual name.
void applyAutoKey(KeySection& section, const std::vector<Chord>& chords);

// The slot record of a chord in the document key: root and bass respelled on
// the letters the user wrote, canonical quality, family, Roman numeral and
// scale degree. Throws std::runtime_error when the key or the chord cannot
// be spelled or placed.
SlotChord analyzeSlotChord(const Chord& chord, const KeySection& section);

}  // namespace quillex
