// Canonical option form, the option-to-suffix table and modifier id lists.
#include "theory/option_spelling.h"

#include <array>
#include <utility>

#include "theory/chord_symbol.h"

namespace quillex {
namespace {

enum Degree : std::uint8_t { kThird, kFifth, kSeventh, kNinth, kEleventh, kThirteenth };

struct DegreeCode {
    std::string_view id;
    Degree degree;
    std::uint8_t code;
};

// The 23 degree modifier ids and the code each sets ("slash" sets none).
constexpr std::array<DegreeCode, 23> kDegreeCodes{{
    {"third-major", kThird, 0},
    {"third-minor", kThird, 1},
    {"third-sus2", kThird, 2},
    {"third-sus4", kThird, 3},
    {"fifth-perfect", kFifth, 0},
    {"fifth-flat5", kFifth, 1},
    {"fifth-sharp5", kFifth, 2},
    {"sixth-6", kThirteenth, 1},
    {"seventh-flat7", kSeventh, 1},
    {"seventh-major7", kSeventh, 2},
    {"seventh-dim7", kSeventh, 3},
    {"ninth-add9", kNinth, 1},
    {"ninth-flat9", kNinth, 2},
    {"ninth-flat9sharp9", kNinth, 3},
    {"ninth-9", kNinth, 4},
    {"ninth-sharp9", kNinth, 5},
    {"eleventh-add11", kEleventh, 1},
    {"eleventh-flat11", kEleventh, 2},
    {"eleventh-11", kEleventh, 3},
    {"eleventh-sharp11", kEleventh, 4},
    {"thirteenth-add13", kThirteenth, 1},
    {"thirteenth-flat13", kThirteenth, 2},
    {"thirteenth-13", kThirteenth, 3},
}};

std::array<std::uint8_t, 6> codesOf(const QualityOptions& options) {
    return {options.third, options.fifth, options.seventh, options.ninth, options.eleventh, options.thirteenth};
}

// The id that stands for `code` of `degree`, empty when none does (code 0 of
// the upper degrees). The thirteenth's code 1 is "thirteenth-add13" here.
std::string_view idOfCode(Degree degree, std::uint8_t code) {
    for (const DegreeCode& entry : kDegreeCodes) {
        if (entry.degree == degree && entry.code == code && entry.id != "sixth-6") {
            return entry.id;
        }
    }
    return {};
}

bool anyStartsWith(const std::vector<std::string>& ids, std::string_view prefix) {
    for (const std::string& id : ids) {
        if (std::string_view(id).starts_with(prefix)) return true;
    }
    return false;
}

}  // namespace

QualityOptions canonicalQualityOptions(QualityOptions options) {
    if (options.seventh != 0) {
        if (options.thirteenth == 1 && options.ninth != 0 && options.ninth != 1) {
            options.thirteenth = 3;
        }
        if (options.ninth == 1) options.ninth = 4;
        if (options.eleventh == 1) {
            options.eleventh = 3;
            if (options.ninth == 0) options.ninth = 4;
        } else if (options.eleventh == 3 || options.thirteenth == 3) {
            if (options.ninth == 0) options.ninth = 4;
        }
    } else if (options.thirteenth == 1) {
        if (options.eleventh == 3) options.eleventh = 1;
    } else {
        if (options.ninth == 4) {
            options.ninth = 1;
        } else if (options.ninth == 2 || options.ninth == 3 || options.ninth == 5) {
            options.ninth = 0;
        }
        if (options.eleventh == 3) {
            options.eleventh = 1;
        } else if (options.eleventh == 2 || options.eleventh == 4) {
            options.eleventh = 0;
        }
        options.thirteenth = 0;
    }
    return options;
}

std::string qualityOptionsKey(const QualityOptions& options) {
    const auto codes = codesOf(canonicalQualityOptions(options));
    std::string key(codes.size(), '0');
    for (std::size_t i = 0; i < codes.size(); ++i) {
        key[i] = static_cast<char>('0' + codes[i]);
    }
    return key;
}

std::int32_t preferSuffixSpelling(std::string_view name, const QualityOptions& canonical) {
    auto score = static_cast<std::int32_t>(name.size());
    if (canonical.third == 1 && canonical.fifth == 1) {
        const bool dimSpelling = name.find("dim") != std::string_view::npos || name == "o" || name == "o7";
        const bool minorFlatFive = name.starts_with("m") && name.find("b5") != std::string_view::npos;
        if (canonical.seventh == 1) {
            if (dimSpelling) score += 40;
            if (minorFlatFive) score -= 10;
        } else {
            if (dimSpelling) score -= 10;
            if (minorFlatFive) score += 40;
        }
    }
    if (name == "maj") score -= 5;
    return score;
}

const OptionSuffixTable& optionSuffixTable() {
    static const OptionSuffixTable table = [] {
        OptionSuffixTable built;
        std::unordered_map<std::string, std::int32_t> scores;
        for (const auto& [name, row] : qualityOptionTable()) {
            if (row.supported == 0) continue;
            const QualityOptions canonical = canonicalQualityOptions(optionsOfRow(row));
            const std::string key = qualityOptionsKey(canonical);
            const std::int32_t score = preferSuffixSpelling(name, canonical);
            const auto found = scores.find(key);
            if (found == scores.end() || score < found->second) {
                scores[key] = score;
                built[key] = name;
            }
        }
        return built;
    }();
    return table;
}

std::optional<std::string> spellQualityOptions(const QualityOptions& options) {
    if (options.suffix && !options.suffix->empty() && lookupChordQuality(*options.suffix)) {
        return *options.suffix;
    }
    const auto& table = optionSuffixTable();
    const auto it = table.find(qualityOptionsKey(options));
    if (it == table.end()) return std::nullopt;
    return it->second;
}

QualityOptions applyModifierIds(const QualityOptions& base, const std::vector<std::string>& ids) {
    std::array<std::uint8_t, 6> codes = codesOf(base);
    std::array<bool, 6> set{};
    const bool fullList = anyStartsWith(ids, "third-") || anyStartsWith(ids, "fifth-");

    for (const std::string& id : ids) {
        for (const DegreeCode& entry : kDegreeCodes) {
            if (entry.id == id) {
                codes[entry.degree] = entry.code;
                set[entry.degree] = true;
                break;
            }
        }
    }

    const auto clearUnset = [&](Degree degree, bool named) {
        if (!set[degree] && (fullList || named)) codes[degree] = 0;
    };
    clearUnset(kSeventh, anyStartsWith(ids, "seventh-"));
    clearUnset(kNinth, anyStartsWith(ids, "ninth-"));
    clearUnset(kEleventh, anyStartsWith(ids, "eleventh-"));
    clearUnset(kThirteenth, anyStartsWith(ids, "thirteenth-") || anyStartsWith(ids, "sixth-"));

    // A ninth id that set nothing leaves no ninth, so the natural eleventh and
    // thirteenth that would bring one back are dropped too.
    if (anyStartsWith(ids, "ninth-") && !set[kNinth]) {
        if (codes[kEleventh] == 3) codes[kEleventh] = 0;
        if (codes[kThirteenth] == 3) codes[kThirteenth] = 0;
    }

    QualityOptions result;
    result.third = codes[kThird];
    result.fifth = codes[kFifth];
    result.seventh = codes[kSeventh];
    result.ninth = codes[kNinth];
    result.eleventh = codes[kEleventh];
    result.thirteenth = codes[kThirteenth];
    result.bass = base.bass;
    return canonicalQualityOptions(std::move(result));
}

std::vector<std::string> modifierIdsOf(const QualityOptions& options) {
    std::vector<std::string> ids;
    ids.reserve(7);
    const auto thirdCode = options.third <= 3 ? options.third : std::uint8_t{0};
    ids.emplace_back(idOfCode(kThird, thirdCode));
    const auto fifthCode = options.fifth <= 2 ? options.fifth : std::uint8_t{0};
    ids.emplace_back(idOfCode(kFifth, fifthCode));
    if (options.seventh >= 1 && options.seventh <= 3) {
        ids.emplace_back(idOfCode(kSeventh, options.seventh));
    }
    if (options.ninth >= 1 && options.ninth <= 5) {
        ids.emplace_back(idOfCode(kNinth, options.ninth));
    }
    if (options.eleventh >= 1 && options.eleventh <= 4) {
        ids.emplace_back(idOfCode(kEleventh, options.eleventh));
    }
    if (options.thirteenth == 1) {
        ids.emplace_back(options.seventh != 0 ? "thirteenth-add13" : "sixth-6");
    } else if (options.thirteenth == 2 || options.thirteenth == 3) {
        ids.emplace_back(idOfCode(kThirteenth, options.thirteenth));
    }
    if (options.bass) ids.emplace_back("slash");
    return ids;
}

}  // namespace quillex
