// Roman token helpers: numeral letters, slash parts, canonical and display forms.
#include "generation/corpus_roman_token.h"

namespace quillex {
namespace {

constexpr std::string_view kFlatGlyph = "\u266D";
constexpr std::string_view kSharpGlyph = "\u266F";

bool isNumeralLetter(char c) { return c == 'I' || c == 'V' || c == 'i' || c == 'v'; }

// Reads leading accidentals (ASCII and glyph forms) from `pos`, writing each
// as `flat` or `sharp`.
std::string readAccidentals(std::string_view token, std::size_t& pos, std::string_view flat, std::string_view sharp) {
    std::string out;
    while (pos < token.size()) {
        if (token[pos] == 'b') {
            out += flat;
            pos += 1;
        } else if (token[pos] == '#') {
            out += sharp;
            pos += 1;
        } else if (token.substr(pos, kFlatGlyph.size()) == kFlatGlyph) {
            out += flat;
            pos += kFlatGlyph.size();
        } else if (token.substr(pos, kSharpGlyph.size()) == kSharpGlyph) {
            out += sharp;
            pos += kSharpGlyph.size();
        } else {
            break;
        }
    }
    return out;
}

std::string readNumeral(std::string_view token, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < token.size() && isNumeralLetter(token[pos])) ++pos;
    return std::string(token.substr(start, pos - start));
}

}  // namespace

std::string romanNumeralLetters(std::string_view token) {
    std::size_t pos = 0;
    while (pos < token.size() && (token[pos] == 'b' || token[pos] == '#')) ++pos;
    return readNumeral(token, pos);
}

std::string romanTokenHead(std::string_view token) { return std::string(token.substr(0, token.find('/'))); }

std::string romanTokenSlashPart(std::string_view token) {
    const auto slash = token.find('/');
    return slash == std::string_view::npos ? std::string() : std::string(token.substr(slash + 1));
}

std::string canonicalRomanNumeral(std::string_view token) {
    std::size_t pos = 0;
    std::string out = readAccidentals(token, pos, "b", "#");
    return out + readNumeral(token, pos);
}

bool isFlatTwoToken(std::string_view token) {
    return canonicalRomanNumeral(romanTokenHead(token)) == "bII" ||
           canonicalRomanNumeral(romanTokenSlashPart(token)) == "bII";
}

std::string romanDisplayToken(std::string_view token) {
    std::size_t pos = 0;
    const std::string accidentals = readAccidentals(token, pos, kFlatGlyph, kSharpGlyph);
    const std::string numeral = readNumeral(token, pos);
    const std::string_view suffix = token.substr(pos);
    const std::string base = accidentals + numeral;
    if (suffix == "maj") return base;
    if (suffix == "m" && !numeral.empty() && numeral[0] >= 'a' && numeral[0] <= 'z') return base;
    if (suffix == "m7b5") return base + "\u00F8";
    if (suffix == "m9b5") return base + "\u00F89";
    if (suffix.starts_with("dim")) return base + "\u00B0" + std::string(suffix.substr(3));
    return base + std::string(suffix);
}

std::string romanDisplayText(std::string_view token) {
    const auto slash = token.find('/');
    if (slash == std::string_view::npos) return romanDisplayToken(token);
    return romanDisplayToken(token.substr(0, slash)) + "/" + romanDisplayToken(token.substr(slash + 1));
}

}  // namespace quillex
