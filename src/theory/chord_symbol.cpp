// Chord records, chord-symbol parsing and formatting, quality lookup.
#include "theory/chord_symbol.h"

#include "theory/chord_quality_table.h"

namespace quillex {

namespace {

constexpr bool isAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trimAsciiSpace(std::string_view text) {
  while (!text.empty() && isAsciiSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isAsciiSpace(text.back())) text.remove_suffix(1);
  return text;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t at = 0;
  while ((at = text.find(from, at)) != std::string::npos) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

// True when normalisation leaves the text as it is: not empty, and holding no
// parenthesis and no lead byte of the three-byte signs it rewrites.
bool normalizesToItself(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c == '(' || c == ')' || c == '\xE2') return false;
  }
  return true;
}

// The canonical table row for a quality text, or null.
const CanonicalQualityTable::value_type* findQualityEntry(std::string_view text) {
  std::string normalized;
  std::string_view key = text;
  if (!normalizesToItself(text)) {
    normalized = normalizeQualityText(text);
    key = normalized;
  }
  const CanonicalQualityTable& canonical = canonicalQualityTable();
  const QualityAliasTable& aliases = qualityAliasTable();
  if (auto alias = aliases.find(key); alias != aliases.end()) {
    auto row = canonical.find(alias->second);
    return row == canonical.end() ? nullptr : &*row;
  }
  auto row = canonical.find(key);
  return row == canonical.end() ? nullptr : &*row;
}

ChordRootToken readRootToken(std::string_view text, std::string_view* rest) {
  ChordRootToken token;
  if (text.empty() || noteLetterIndex(static_cast<std::uint8_t>(text[0])) < 0) {
    *rest = {};
    return token;
  }
  std::size_t length = 1;
  if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
    while (length < text.size() && text[length] == text[1]) ++length;
  }
  token.root = parseKeyRoot(text.substr(0, length));
  *rest = text.substr(length);
  return token;
}

// Root is valid; `rest` is what follows the root token.
std::optional<ChordParts> readQualityAndBass(PitchClass root, std::string_view rest) {
  if (const auto* row = findQualityEntry(rest)) {
    return ChordParts{root, row->first, row->second, std::nullopt};
  }
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view left = rest.substr(0, slash);
  const std::string_view right = rest.substr(slash + 1);
  if (right.empty()) return std::nullopt;
  const auto* row = findQualityEntry(left);
  if (row == nullptr) return std::nullopt;
  std::string_view bassRest;
  const ChordRootToken bass = readRootToken(right, &bassRest);
  if (!bass.root || !bassRest.empty()) return std::nullopt;
  return ChordParts{root, row->first, row->second, bass.root};
}

}  // namespace

std::optional<Chord> parseChordSymbol(std::string_view text) {
  const std::string_view trimmed = trimAsciiSpace(text);
  if (trimmed.empty() || trimmed == "|") return std::nullopt;
  std::string_view rest;
  const ChordRootToken token = readRootToken(trimmed, &rest);
  if (!token.root) return std::nullopt;
  std::optional<ChordParts> parts = readQualityAndBass(*token.root, rest);
  if (!parts) return std::nullopt;
  return Chord{parts->root, std::move(parts->quality), std::move(parts->intervals), parts->bass,
               std::string(trimmed)};
}

ChordRootToken parseRootToken(std::string_view text) {
  std::string_view rest;
  ChordRootToken token = readRootToken(text, &rest);
  token.rest = std::string(rest);
  return token;
}

std::optional<ChordParts> parseQualityAndBass(const ChordRootToken& token) {
  if (!token.root) return std::nullopt;
  return readQualityAndBass(*token.root, token.rest);
}

Chord makeChord(PitchClass root, const ChordQuality& quality, std::optional<PitchClass> bass,
                std::string symbol) {
  if (symbol.empty()) {
    symbol = std::string(sharpNoteNames[root % 12]) + quality.name;
    if (bass) symbol.append("/").append(sharpNoteNames[*bass % 12]);
  }
  return Chord{root, quality.name, quality.intervals, bass, std::move(symbol)};
}

std::string formatChordSymbol(const Chord& chord) {
  std::string text = std::string(flatNoteNames[chord.root % 12]) + chord.quality;
  if (chord.bass) text.append("/").append(flatNoteNames[*chord.bass % 12]);
  return text;
}

std::vector<PitchClass> chordPitchClasses(const Chord& chord) {
  std::vector<PitchClass> result;
  result.reserve(chord.intervals.size());
  for (std::int32_t interval : chord.intervals) {
    result.push_back(transposePitchClass(chord.root, interval));
  }
  return result;
}

bool isMinorQuality(std::string_view quality) {
  if (quality.starts_with("-") || quality.starts_with("min")) return true;
  return quality.starts_with("m") && !quality.starts_with("maj");
}

std::string normalizeQualityText(std::string_view text) {
  if (text.empty()) return "maj";
  std::string result(text);
  replaceAll(result, "\u266F", "#");
  replaceAll(result, "\u266D", "b");
  replaceAll(result, "\u25B3", "\u0394");
  replaceAll(result, "(", "");
  replaceAll(result, ")", "");
  return result;
}

std::optional<std::string> canonicalQualityName(std::string_view text) {
  const auto* row = findQualityEntry(text);
  if (row == nullptr) return std::nullopt;
  return row->first;
}

std::optional<ChordQuality> lookupChordQuality(std::string_view text) {
  const auto* row = findQualityEntry(text);
  if (row == nullptr) return std::nullopt;
  return ChordQuality{row->first, row->second};
}

const std::vector<std::int32_t>& qualityIntervals(std::string_view canonicalName) {
  static const std::vector<std::int32_t> majorTriad = {0, 4, 7};
  const CanonicalQualityTable& canonical = canonicalQualityTable();
  auto row = canonical.find(canonicalName);
  return row == canonical.end() ? majorTriad : row->second;
}

}  // namespace quillex
