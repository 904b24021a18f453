// Chord records, chord-symbol parsing and formatting, quality lookup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "theory/pitch_class.h"

namespace quillex {

// A resolved quality: canonical name and its intervals in table order.
struct ChordQuality {
    std::string name;
    std::vector<std::int32_t> intervals;

    bool operator==(const ChordQuality&) const = default;
};

// A parsed chord symbol.
struct Chord {
    PitchClass root = 0;
    std::string quality;
    std::vector<std::int32_t> intervals;
    std::optional<PitchClass> bass;  // slash bass
    std::string symbol;              // trimmed input text, or makeChord's spelling

    bool operator==(const Chord&) const = default;
};

// A note-name token at the start of a text and what follows it.
struct ChordRootToken {
    std::optional<PitchClass> root;
    std::string rest;

    bool operator==(const ChordRootToken&) const = default;
};

// Everything of a chord but its symbol text.
struct ChordParts {
    PitchClass root = 0;
    std::string quality;
    std::vector<std::int32_t> intervals;
    std::optional<PitchClass> bass;

    bool operator==(const ChordParts&) const = default;
};

// Trims ASCII white space, reads root, quality and optional "/bass".
std::optional<Chord> parseChordSymbol(std::string_view text);

// Letter plus one run of the same ASCII "#" or "b".
ChordRootToken parseRootToken(std::string_view text);

// The whole rest is tried as a quality before splitting at the first "/".
std::optional<ChordParts> parseQualityAndBass(const ChordRootToken& token);

// An empty symbol is spelled from the sharp note names.
Chord makeChord(PitchClass root, const ChordQuality& quality, std::optional<PitchClass> bass, std::string symbol);

// Flat root name + quality + optional "/" and flat bass name.
std::string formatChordSymbol(const Chord& chord);

// (root + interval) mod 12 for each interval, in order, duplicates kept.
std::vector<PitchClass> chordPitchClasses(const Chord& chord);

// Begins with "-", "min", or "m" but not "maj".
bool isMinorQuality(std::string_view quality);

// Unicode sharp/flat to "#"/"b", "△" to "Δ", parentheses dropped, "" to "maj".
std::string normalizeQualityText(std::string_view text);

// Alias table first, canonical table second, after normalisation.
std::optional<std::string> canonicalQualityName(std::string_view text);
std::optional<ChordQuality> lookupChordQuality(std::string_view text);

// Intervals of exactly this canonical name; {0, 4, 7} for an unknown name.
const std::vector<std::int32_t>& qualityIntervals(std::string_view canonicalName);

}  // namespace quillex
