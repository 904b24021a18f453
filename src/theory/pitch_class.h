// Pitch classes, the fixed note-name tables and note-name parsing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillex {

// 0..11, C = 0.
using PitchClass = std::uint8_t;

// Note names by pitch class.
extern const std::array<std::string_view, 12> defaultNoteNames;
extern const std::array<std::string_view, 12> flatNoteNames;
extern const std::array<std::string_view, 12> sharpNoteNames;

// "CDEFGAB", and the pitch class of each letter by letter index.
extern const std::string_view noteLetters;
extern const std::array<std::int32_t, 7> naturalPitchClasses;

// The text with its first byte turned to ASCII upper case.
std::string capitalizeNoteName(std::string_view text);

// A letter (either case) and any mix of ASCII "#" and "b"; nothing else.
std::optional<PitchClass> parseKeyRoot(std::string_view text);

// Name from `flatNoteNames` when `flat`, else from `sharpNoteNames`.
// `pitchClass` must be 0..11.
std::string_view pitchClassName(PitchClass pitchClass, bool flat);

// C 0, D 1, E 2, F 3, G 4, A 5, B 6 (either case); -1 for anything else.
std::int32_t noteLetterIndex(std::uint8_t character);

bool startsWithNoteLetter(std::string_view text);

// The pitch class written on letter index 0..6 (C..B), with up to six "#" or "b".
std::string noteNameOnLetter(PitchClass pitchClass, std::int32_t letterIndex);

// The non-negative remainder of any semitone count modulo 12.
// Inline: the voice-leading scorer calls it for every note pair.
inline PitchClass reducePitchClass(std::int64_t semitones) {
    return static_cast<PitchClass>(((semitones % 12) + 12) % 12);
}

// A semitone difference brought into -6..6 by whole octaves (+6 stays +6).
std::int32_t wrapToTritone(std::int32_t semitones);

// (pitchClass + offset) reduced to 0..11 for any offset.
PitchClass transposePitchClass(PitchClass pitchClass, std::int32_t offset);

}  // namespace quillex
