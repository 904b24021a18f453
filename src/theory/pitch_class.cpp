// Pitch classes, the fixed note-name tables and note-name parsing.
#include "theory/pitch_class.h"

namespace quillex {

namespace {

// Only ASCII letters change: bytes of multi-byte UTF-8 characters pass as is.
constexpr char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

constexpr std::array<std::string_view, 12> defaultNoteNames = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                               "F#", "G",  "Ab", "A",  "Bb", "B"};
constexpr std::array<std::string_view, 12> flatNoteNames = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                            "Gb", "G",  "Ab", "A",  "Bb", "B"};
constexpr std::array<std::string_view, 12> sharpNoteNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                             "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::string_view noteLetters = "CDEFGAB";
constexpr std::array<std::int32_t, 7> naturalPitchClasses = {0, 2, 4, 5, 7, 9, 11};

std::string capitalizeNoteName(std::string_view text) {
    std::string result(text);
    if (!result.empty()) result[0] = asciiUpper(result[0]);
    return result;
}

std::optional<PitchClass> parseKeyRoot(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::int32_t letter = noteLetterIndex(static_cast<std::uint8_t>(text[0]));
    if (letter < 0) return std::nullopt;
    // Accidentals are summed in 64 bits: a text of any length cannot overflow.
    std::int64_t sum = naturalPitchClasses[static_cast<std::size_t>(letter)];
    for (char c : text.substr(1)) {
        if (c == '#') {
            ++sum;
        } else if (c == 'b') {
            --sum;
        } else {
            return std::nullopt;
        }
    }
    return reducePitchClass(sum);
}

std::string_view pitchClassName(PitchClass pitchClass, bool flat) {
    // Reduced so that a stray value can never read outside the table.
    return flat ? flatNoteNames[pitchClass % 12] : sharpNoteNames[pitchClass % 12];
}

std::int32_t noteLetterIndex(std::uint8_t character) {
    switch (asciiUpper(static_cast<char>(character))) {
        case 'C':
            return 0;
        case 'D':
            return 1;
        case 'E':
            return 2;
        case 'F':
            return 3;
        case 'G':
            return 4;
        case 'A':
            return 5;
        case 'B':
            return 6;
        default:
            return -1;
    }
}

bool startsWithNoteLetter(std::string_view text) {
    return !text.empty() && noteLetterIndex(static_cast<std::uint8_t>(text[0])) != -1;
}

std::string noteNameOnLetter(PitchClass pitchClass, std::int32_t letterIndex) {
    const auto letter = static_cast<std::size_t>(letterIndex);
    const std::int32_t alteration =
        wrapToTritone(std::int32_t{reducePitchClass(pitchClass)} - naturalPitchClasses[letter]);
    std::string name(1, noteLetters[letter]);
    name.append(static_cast<std::size_t>(alteration < 0 ? -alteration : alteration), alteration > 0 ? '#' : 'b');
    return name;
}

std::int32_t wrapToTritone(std::int32_t semitones) {
    std::int32_t r = semitones % 12;
    if (r > 6) r -= 12;
    if (r < -6) r += 12;
    return r;
}

PitchClass transposePitchClass(PitchClass pitchClass, std::int32_t offset) {
    return reducePitchClass(static_cast<std::int64_t>(pitchClass) + offset);
}

}  // namespace quillex
