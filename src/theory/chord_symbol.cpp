// Chord records, chord-symbol parsing and formatting, quality lookup.
#include "theory/chord_symbol.h"

#include "theory/chord_quality_table.h"

#include <array>

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

// True when normalisation leaves the text as it is: not empty, and holding no
// parenthesis and no lead byte of the three-byte signs it rewrites.
bool normalizesToItself(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\xE2') return false;
    }
    return true;
}

using QualityRow = CanonicalQualityTable::value_type;

// Every alias and canonical name mapped straight to its canonical row, so a
// quality costs one probe of a small open-addressed table. Aliases go in
// first; since no alias is a canonical name, this gives the same answer as
// asking the alias table and then the canonical table.
class QualityIndex {
public:
    QualityIndex() {
        const CanonicalQualityTable& canonical = canonicalQualityTable();
        const QualityAliasTable& aliases = qualityAliasTable();
        for (const auto& [alias, target] : aliases) {
            if (auto row = canonical.find(target); row != canonical.end()) insert(alias, &*row);
        }
        for (const QualityRow& row : canonical) insert(row.first, &row);
    }

    const QualityRow* find(std::string_view key) const {
        for (std::size_t at = hashOf(key) & kMask;; at = (at + 1) & kMask) {
            const Slot& slot = slots_[at];
            if (slot.row == nullptr) return nullptr;
            if (slot.key == key) return slot.row;
        }
    }

private:
    // Twice the 2,028 keys, so probes stay short.
    static constexpr std::size_t kCapacity = 4096;
    static constexpr std::size_t kMask = kCapacity - 1;

    struct Slot {
        std::string_view key;
        const QualityRow* row = nullptr;
    };

    static std::size_t hashOf(std::string_view key) {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (char c : key) {
            hash ^= static_cast<std::uint8_t>(c);
            hash *= 1099511628211ull;
        }
        return static_cast<std::size_t>(hash ^ (hash >> 29));
    }

    // Keeps the first row for a key; the keys point into the tables, which
    // live for the whole process.
    void insert(std::string_view key, const QualityRow* row) {
        for (std::size_t at = hashOf(key) & kMask;; at = (at + 1) & kMask) {
            Slot& slot = slots_[at];
            if (slot.row == nullptr) {
                slot = Slot{key, row};
                return;
            }
            if (slot.key == key) return;
        }
    }

    std::array<Slot, kCapacity> slots_{};
};

const QualityIndex& qualityIndex() {
    static const QualityIndex index;
    return index;
}

// The canonical table row for a quality text, or null.
const QualityRow* findQualityEntry(std::string_view text) {
    std::string normalized;
    std::string_view key = text;
    if (!normalizesToItself(text)) {
        normalized = normalizeQualityText(text);
        key = normalized;
    }
    return qualityIndex().find(key);
}

// Length of the root token at the start of `text` (0 when there is none)
// and its pitch class: a letter plus one run of the same "#" or "b".
std::size_t readRoot(std::string_view text, PitchClass* root) {
    if (text.empty()) return 0;
    const std::int32_t letter = noteLetterIndex(static_cast<std::uint8_t>(text[0]));
    if (letter < 0) return 0;
    std::size_t length = 1;
    if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
        while (length < text.size() && text[length] == text[1]) ++length;
    }
    const std::int64_t run = static_cast<std::int64_t>(length - 1);
    const std::int64_t sum =
        naturalPitchClasses[static_cast<std::size_t>(letter)] + (length > 1 && text[1] == 'b' ? -run : run);
    *root = reducePitchClass(sum);
    return length;
}

struct QualityAndBass {
    const QualityRow* row = nullptr;
    std::optional<PitchClass> bass;
};

// A quality before the "/" at `slash` and a bare note name after it.
std::optional<QualityAndBass> splitQualityAndBass(std::string_view rest, std::size_t slash) {
    const std::string_view left = rest.substr(0, slash);
    const std::string_view right = rest.substr(slash + 1);
    if (right.empty()) return std::nullopt;
    const QualityRow* row = findQualityEntry(left);
    if (row == nullptr) return std::nullopt;
    PitchClass bass = 0;
    if (readRoot(right, &bass) != right.size()) return std::nullopt;
    return QualityAndBass{row, bass};
}

// `rest` is what follows a valid root token. The whole rest is tried first,
// so qualities spelled with a "/" ("6/9", "m/M7") stay qualities; then the
// split at the first "/"; then, for such a quality over a bass ("6/9/A"),
// the split at the last.
std::optional<QualityAndBass> readQualityAndBass(std::string_view rest) {
    if (const QualityRow* row = findQualityEntry(rest)) return QualityAndBass{row, std::nullopt};
    const std::size_t first = rest.find('/');
    if (first == std::string_view::npos) return std::nullopt;
    if (std::optional<QualityAndBass> found = splitQualityAndBass(rest, first)) return found;
    const std::size_t last = rest.rfind('/');
    if (last == first) return std::nullopt;
    return splitQualityAndBass(rest, last);
}

}  // namespace

std::optional<Chord> parseChordSymbol(std::string_view text) {
    std::optional<Chord> chord;
    const std::string_view trimmed = trimAsciiSpace(text);
    if (trimmed.empty() || trimmed == "|") return chord;
    PitchClass root = 0;
    const std::size_t rootLength = readRoot(trimmed, &root);
    if (rootLength == 0) return chord;
    const std::optional<QualityAndBass> found = readQualityAndBass(trimmed.substr(rootLength));
    if (!found) return chord;
    chord.emplace();
    chord->root = root;
    chord->quality = found->row->first;
    chord->intervals = found->row->second;
    chord->bass = found->bass;
    chord->symbol.assign(trimmed);
    return chord;
}

ChordRootToken parseRootToken(std::string_view text) {
    ChordRootToken token;
    PitchClass root = 0;
    const std::size_t length = readRoot(text, &root);
    if (length == 0) return token;
    token.root = root;
    token.rest.assign(text.substr(length));
    return token;
}

std::optional<ChordParts> parseQualityAndBass(const ChordRootToken& token) {
    if (!token.root) return std::nullopt;
    const std::optional<QualityAndBass> found = readQualityAndBass(token.rest);
    if (!found) return std::nullopt;
    return ChordParts{*token.root, found->row->first, found->row->second, found->bass};
}

Chord makeChord(PitchClass root, const ChordQuality& quality, std::optional<PitchClass> bass, std::string symbol) {
    if (symbol.empty()) {
        symbol = std::string(pitchClassName(root, false)) + quality.name;
        if (bass) symbol.append("/").append(pitchClassName(*bass, false));
    }
    return Chord{root, quality.name, quality.intervals, bass, std::move(symbol)};
}

std::string formatChordSymbol(const Chord& chord) {
    std::string text = std::string(pitchClassName(chord.root, true)) + chord.quality;
    if (chord.bass) text.append("/").append(pitchClassName(*chord.bass, true));
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
    // One pass, same result as rewriting "♯", "♭" and "△" and then dropping
    // every parenthesis: the three signs are three-byte sequences that begin
    // with the only 0xE2 byte they hold, so matches never overlap, and no
    // replacement or removal makes or breaks another sign.
    static constexpr std::string_view kSharp = "\u266F";
    static constexpr std::string_view kFlat = "\u266D";
    static constexpr std::string_view kTriangle = "\u25B3";
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '\xE2') {
            const std::string_view sign = text.substr(at, 3);
            if (sign == kSharp) {
                result += '#';
                at += 3;
                continue;
            }
            if (sign == kFlat) {
                result += 'b';
                at += 3;
                continue;
            }
            if (sign == kTriangle) {
                result += "\u0394";
                at += 3;
                continue;
            }
        }
        if (c != '(' && c != ')') result += c;
        ++at;
    }
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
