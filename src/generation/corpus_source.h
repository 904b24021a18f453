// The human-editable corpus sources: progression lines and transition counts, assembled into file images.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "generation/chord_transition_writer.h"
#include "generation/progression_corpus_writer.h"

namespace quillex {

// One line of a progression source file:
//   <major|minor> <mode family> <subcategory> <natural|melodic|-> : tokens [< source tokens] [; note]
struct ProgressionSourceRecord {
    std::string genreId;
    std::uint8_t mode = 0;  // 0 major, 1 minor
    std::string modeFamily;
    std::string subcategory;
    std::optional<std::uint8_t> minorScaleType;
    std::vector<std::string> tokens;
    std::vector<std::string> sourceTokens;  // empty: the record is its own source
    int lineNumber = 0;
    bool operator==(const ProgressionSourceRecord&) const = default;
};

// Parses one style's file; blank lines and lines starting with "#" are
// skipped. Malformed lines are reported in `errors` as "<line>: <reason>".
std::vector<ProgressionSourceRecord> parseProgressionSource(std::string_view genreId, std::string_view text,
                                                            std::vector<std::string>& errors);

// Groups in first-appearance order of their genre, buckets by ascending
// length, records in source order; source indices number the distinct
// source token lists of a genre by first appearance.
std::vector<ProgressionCorpusGroup> assembleProgressionGroups(const std::vector<ProgressionSourceRecord>& records);

// Counts of token pairs and triples, tokens written with ASCII accidentals.
struct TransitionCounts {
    std::map<std::pair<std::string, std::string>, double> pairs;
    std::map<std::tuple<std::string, std::string, std::string>, double> triples;
};

// Lines "<count> a b" and "<count> a b c"; "#" comment lines and blank lines skipped.
void parseTransitionCounts(std::string_view text, TransitionCounts& counts, std::vector<std::string>& errors);
// Adds each neighbouring pair and triple of one progression once.
void addProgressionTransitions(TransitionCounts& counts, const std::vector<std::string>& tokens);

// Everything read from a corpus source folder: progressions/<style>.txt,
// transitions/*.txt and transition-styles.txt (the styles whose progressions
// also count as transitions).
struct CorpusSources {
    std::vector<ProgressionSourceRecord> records;
    TransitionCounts counts;
    std::vector<std::string> errors;
};

// Files are read in name order; problems are collected in `errors`.
CorpusSources readCorpusSources(const std::string& folder);

// Leading ASCII accidentals of the numeral and of the slash part written as
// "♭"/"♯": the form in which derived Roman numerals are looked up.
std::string glyphRomanToken(std::string_view asciiToken);

// Conditional weights: pairs P(b | a), triples P(c | a, b), in two families.
// Rows keyed by ASCII tokens (and by tokens without accidentals) hold
// ASCII followers, for the progression walk; rows keyed by tokens whose
// glyph form differs hold glyph followers, for lookups of derived numerals.
ChordTransitionImage assembleTransitionImage(const TransitionCounts& counts);

}  // namespace quillex
