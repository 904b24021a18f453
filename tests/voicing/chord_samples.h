// The chords the voicing tests are written with, parsed from their symbols.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_symbol.h"
#include "theory/quality_family.h"

namespace quillex::testing {

// The parsed chord; a symbol that does not parse fails the test and gives an empty chord.
inline Chord chordOf(std::string_view symbol) {
    const std::optional<Chord> chord = parseChordSymbol(symbol);
    EXPECT_TRUE(chord.has_value()) << symbol;
    return chord.value_or(Chord{});
}

// The chord-tone degrees of a nameless quality with the given intervals.
inline ChordToneSet tonesOf(std::vector<std::int32_t> intervals) {
    return chordToneDegrees(ChordQuality{"", std::move(intervals)});
}

}  // namespace quillex::testing
