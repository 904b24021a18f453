// Per-degree option view of a chord quality: the option table and its readers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "theory/chord_quality_table.h"
#include "theory/pitch_class.h"

namespace quillex {

// One option code per chord degree, plus the slash and "alt" states.
// Third: 0 major, 1 minor, 2 sus2, 3 sus4. Fifth: 0 perfect, 1 flat, 2 sharp.
// Seventh: 0 none, 1 minor, 2 major, 3 diminished. Ninth: 0 none, 1 added,
// 2 flat, 3 flat and sharp, 4 natural, 5 sharp. Eleventh: 0 none, 1 added,
// 2 flat, 3 natural, 4 sharp. Thirteenth: 0 none, 1 added (the sixth without
// a seventh), 2 flat, 3 natural.
struct QualityOptions {
    std::uint8_t third = 0;
    std::uint8_t fifth = 0;
    std::uint8_t seventh = 0;
    std::uint8_t ninth = 0;
    std::uint8_t eleventh = 0;
    std::uint8_t thirteenth = 0;
    std::optional<PitchClass> bass;     // slash bass
    bool alt = false;                   // read from a text holding "alt"
    std::optional<std::string> suffix;  // the quality text it was read from

    bool operator==(const QualityOptions&) const = default;
};

// One row of the option table: whether it may be used, then the six codes.
struct QualityOptionRow {
    std::uint8_t supported = 0;
    std::uint8_t third = 0;
    std::uint8_t fifth = 0;
    std::uint8_t seventh = 0;
    std::uint8_t ninth = 0;
    std::uint8_t eleventh = 0;
    std::uint8_t thirteenth = 0;

    bool operator==(const QualityOptionRow&) const = default;
};

// The row's six degree codes as options, with no bass, alt flag or suffix.
QualityOptions optionsOfRow(const QualityOptionRow& row);

using QualityOptionTable = std::unordered_map<std::string, QualityOptionRow, TextHash, std::equal_to<>>;

// The 382 canonical quality names, each with its option row; built on first
// use, read-only afterwards.
const QualityOptionTable& qualityOptionTable();

// The row's codes as a record with `suffix` = text; none when the text is no
// canonical name (exact match) or its row is unsupported.
std::optional<QualityOptions> lookupQualityOptions(std::string_view quality);

// Heuristic reading of any quality text; always gives a record.
QualityOptions parseQualityOptions(std::string_view quality);

// Degree readers used by parseQualityOptions.
std::uint8_t parseThirdOption(std::string_view quality);
std::uint8_t parseFifthOption(std::string_view quality);
std::uint8_t parseSeventhOption(std::string_view quality);
std::uint8_t parseNinthOption(std::string_view quality);
std::uint8_t parseEleventhOption(std::string_view quality, bool hasSeventh);
std::uint8_t parseThirteenthOption(std::string_view quality);

// Token tests used by the degree readers.
bool containsAdd911(std::string_view text);
// Whether the first occurrence of `token` stands as a degree of its own (not
// after "b", "#", "add", nor "11" after "add9").
bool containsBareToken(std::string_view text, std::string_view token);
bool impliesMinorThird(std::string_view text);

}  // namespace quillex
