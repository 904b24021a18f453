// Major / minor / melodic-minor reading of a progression written as Roman numerals.
#include "theory/roman_progression_profile.h"

#include <algorithm>
#include <cmath>

#include "theory/quality_predicates.h"

namespace quillex {

namespace {

constexpr std::string_view kFlatSign = "\xE2\x99\xAD";   // ♭ U+266D
constexpr std::string_view kSharpSign = "\xE2\x99\xAF";  // ♯ U+266F

// Length of the leading accidentals; appends them, normalised, to `out` when given.
std::size_t scanAccidentals(std::string_view text, std::string* out, std::int32_t* count) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::string_view rest = text.substr(pos);
        char normalised;
        std::size_t width;
        if (rest[0] == 'b' || rest[0] == '#') {
            normalised = rest[0];
            width = 1;
        } else if (rest.starts_with(kFlatSign)) {
            normalised = 'b';
            width = kFlatSign.size();
        } else if (rest.starts_with(kSharpSign)) {
            normalised = '#';
            width = kSharpSign.size();
        } else {
            break;
        }
        if (out) out->push_back(normalised);
        if (count) ++*count;
        pos += width;
    }
    return pos;
}

bool isNumeralChar(char c) { return c == 'I' || c == 'V' || c == 'i' || c == 'v'; }

std::size_t numeralEnd(std::string_view text) {
    std::size_t pos = scanAccidentals(text, nullptr, nullptr);
    while (pos < text.size() && isNumeralChar(text[pos])) ++pos;
    return pos;
}

bool isLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool anyOf(std::string_view value, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), value) != names.end();
}

bool isMinorReading(int mode) { return mode != 0; }

// Weight of a token without accidentals, from the per-reading table.
double plainNumeralWeight(std::string_view n, int cls, int mode, bool melodic) {
    auto in = [cls](std::initializer_list<int> classes) {
        return std::find(classes.begin(), classes.end(), cls) != classes.end();
    };
    if (!isMinorReading(mode)) {
        if (n == "ii" && in({1})) return 4.6;
        if (n == "iii" && in({1})) return 3.4;
        if (n == "IV" && in({0, 6})) return 4.2;
        if (n == "V" && in({0, 2, 6})) return 4.8;
        if (n == "vi" && in({1})) return 3.3;
        if (n == "vii" && in({3, 4})) return 4.3;
        return 0.0;
    }
    if (!melodic) {
        if (n == "ii" && in({3, 4})) return 4.7;
        if (n == "III" && in({0})) return 3.8;
        if (n == "iv" && in({1})) return 4.3;
        if (n == "V" && in({0, 2})) return 5.0;
        if (n == "v" && in({1})) return 2.5;
        if (n == "VI" && in({0})) return 3.7;
        if (n == "VII" && in({0, 2})) return 3.5;
        return 0.0;
    }
    if (n == "ii" && in({1})) return 4.8;
    if (n == "III" && in({5})) return 4.8;
    if (n == "IV" && in({0, 2})) return 4.7;
    if (n == "V" && in({0, 2})) return 4.9;
    if ((n == "vi" || n == "vii") && in({3, 4})) return 4.4;
    return 0.0;
}

}  // namespace

std::string romanNumeralPart(std::string_view token) {
    std::size_t start = scanAccidentals(token, nullptr, nullptr);
    return std::string(token.substr(start, numeralEnd(token) - start));
}

std::string romanSuffixPart(std::string_view token) { return std::string(token.substr(numeralEnd(token))); }

RomanProfileToken parseRomanProfileToken(std::string_view token) {
    RomanProfileToken result;
    std::string_view head = token;
    std::string_view target;
    bool hasTarget = false;
    if (std::size_t slash = token.find('/'); slash != std::string_view::npos) {
        head = token.substr(0, slash);
        target = token.substr(slash + 1);
        hasTarget = true;
    }
    scanAccidentals(head, &result.accidentals, &result.accidentalCount);
    result.numeral = romanNumeralPart(head);
    result.suffix = romanSuffixPart(head);
    if (hasTarget) result.appliedNumeral = romanNumeralPart(target);
    result.isAppliedDominant = !result.appliedNumeral.empty() && anyOf(result.numeral, {"V", "vii", "VII"});
    return result;
}

int romanQualityWeightClass(const RomanProfileToken& token) {
    if (token.numeral.empty()) return kFunctionOther;
    bool lower = isLowerAscii(token.numeral.front());
    if (token.suffix.empty()) return lower ? kFunctionMinor : kFunctionMajor;
    std::string q = token.suffix;
    if (lower) {
        std::string_view v = q;
        bool namesQuality = v == "m" || v == "-";
        for (std::string_view prefix : {"m", "min", "maj", "M", "dim", "o", "\xC3\xB8", "aug", "+", "sus"}) {
            if (v.starts_with(prefix)) namesQuality = true;
        }
        if (!namesQuality) {
            if (v == "6") {
                q = "m6";
            } else if (v == "69") {
                q = "m69";
            } else if (v == "add9") {
                q = "madd9";
            } else if (isDigit(v.front())) {
                q = "m" + q;
            }
        }
    }
    return qualityFunctionClass(q);
}

double romanTokenWeight(const RomanProfileToken& token, int mode, bool melodic) {
    const std::string& n = token.numeral;
    if (n.empty()) return 0.0;
    if (token.isAppliedDominant) return n == "V" ? 1.2 : 0.9;
    const bool minor = isMinorReading(mode);
    if (n == "I") return minor ? 0.0 : 7.0;
    if (n == "i") {
        if (!minor) return 0.0;
        if (melodic && isMelodicMinorTonicQuality(token.suffix)) return 7.5;
        return 6.5;
    }
    double weight;
    if (token.accidentalCount > 0) {
        std::string written = token.accidentals + n;
        bool borrowed = anyOf(written, {"bIII", "bVI", "bVII"});
        if (minor) {
            weight = borrowed ? 1.6 : 0.25;
        } else {
            weight = (borrowed || n == "iv") ? 0.8 : 0.25;
        }
    } else {
        weight = plainNumeralWeight(n, romanQualityWeightClass(token), mode, melodic);
    }
    if (minor && n == "V") weight += 0.8;
    return weight;
}

double romanCadenceWeight(const RomanProfileToken& a, const RomanProfileToken& b, int mode, bool melodic) {
    if (a.isAppliedDominant) return 0.0;
    const std::string& na = a.numeral;
    const std::string& nb = b.numeral;
    const bool dominantToTonic = na == "V" || na == "vii";
    if (!isMinorReading(mode)) {
        if (dominantToTonic && nb == "I") return 2.6;
        if (na == "ii" && nb == "V") return 2.2;
        return 0.0;
    }
    if (dominantToTonic && nb == "i") return 2.6;
    if (na == "ii" && nb == "V") return melodic ? 2.3 : 2.0;
    if (na == "iv" && nb == "V") return 2.0;
    return 0.0;
}

RomanProgressionProfile scoreRomanProgression(const std::vector<std::string>& texts) {
    RomanProgressionProfile profile;
    if (texts.empty()) return profile;

    std::vector<RomanProfileToken> tokens;
    tokens.reserve(texts.size());
    for (const std::string& text : texts) tokens.push_back(parseRomanProfileToken(text));

    double major = 0.0;
    double minor = 0.0;
    double melodic = -0.75;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        major += romanTokenWeight(tokens[i], 0, false);
        minor += romanTokenWeight(tokens[i], 1, false);
        melodic += romanTokenWeight(tokens[i], 1, true);
        if (i + 1 < tokens.size()) {
            major += romanCadenceWeight(tokens[i], tokens[i + 1], 0, false);
            minor += romanCadenceWeight(tokens[i], tokens[i + 1], 1, false);
            melodic += romanCadenceWeight(tokens[i], tokens[i + 1], 1, true);
        }
    }

    double best;
    double runnerUp;
    if (minor > major) {
        profile.isMinor = true;
        best = minor;
        runnerUp = std::max(melodic, major);
    } else {
        best = major;
        runnerUp = std::max(minor, melodic);
    }
    if (melodic > best) {
        profile.isMinor = true;
        profile.isMelodic = true;
        runnerUp = best;
        best = melodic;
    }
    profile.score = best;
    double confidence = (best - runnerUp) / std::max(std::abs(best) + 1.0, 4.0);
    profile.confidence = std::clamp(confidence, 0.0, 1.0);
    return profile;
}

}  // namespace quillex
