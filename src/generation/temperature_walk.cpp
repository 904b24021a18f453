// The temperature walk over a source progression and its style rules.
#include "generation/temperature_walk.h"

#include <algorithm>
#include <map>

#include "generation/corpus_roman_token.h"
#include "generation/modal_substitution_rules.h"
#include "generation/walk_draws.h"

namespace quillex {

namespace {

constexpr std::string_view kFlatGlyph = "\u266D";
constexpr std::string_view kSharpGlyph = "\u266F";
constexpr const char* kSharedRulesReason = "failed shared compatibility rules";

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool containsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
    return std::any_of(parts.begin(), parts.end(), [&](std::string_view part) { return contains(text, part); });
}

bool isPlainTriadQuality(std::string_view quality) {
    return quality.empty() || quality == "maj" || quality == "m" || quality == "min" || quality == "-";
}

bool startsWithAsciiAccidental(std::string_view token) {
    return !token.empty() && (token.front() == 'b' || token.front() == '#');
}

struct Style {
    bool classical = false;
    bool popedm = false;
    bool jazz = false;
    bool dark = false;
};

Style styleOf(std::string_view genre) {
    const std::string id = normalizeGenreId(genre);
    return Style{id == "classical", id == "popedm", id == "jazzneosoul", id == "modalcolorsdarkexotic"};
}

struct Eligible {
    std::string_view token;
    float weight = 0.0f;
};

// The rules of every style but the dark one's progression check, in order.
bool passesStyleRules(const Style& style, std::string_view candidate, const std::vector<std::string>& walk,
                      std::size_t pos, int mode) {
    const std::string letters = romanNumeralLetters(candidate);
    if ((letters == "I" || letters == "i") && letters != (mode == 1 ? "i" : "I")) return false;
    const std::string quality = romanTokenQuality(candidate);
    if (style.popedm) {
        if (isExtendedColour(candidate) || containsAny(quality, {"dim", "o", "\u00B0"})) return false;
        if (mode == 1 && !isMinorPopDegree(candidate)) return false;
    }
    if (style.jazz && !letters.empty() && isPlainTriadQuality(quality)) return false;
    if (style.classical) {
        if (!isClassicalQuality(candidate)) return false;
        if (mode == 1 && !keepsClassicalFunction(walk[pos], candidate, walk, pos)) return false;
    }
    if (breaksNeighbourDegreeRule(walk, pos, candidate)) return false;
    return candidate != walk[pos];
}

std::string noEligibleLine(std::size_t position, const std::map<std::string, int>& reasons) {
    std::string line = "position " + std::to_string(position) + ": no eligible candidate";
    if (reasons.empty()) return line;
    line += " (";
    bool first = true;
    for (const auto& [reason, count] : reasons) {
        if (!first) line += ", ";
        first = false;
        line += reason + "=" + std::to_string(count);
    }
    return line + ")";
}

// Popedm: up to three diatonic-letter candidates and the first strong chromatic one.
std::vector<Eligible> popPool(const std::vector<Eligible>& eligible) {
    std::vector<Eligible> plain;
    std::optional<Eligible> chromatic;
    for (const Eligible& e : eligible) {
        if (!startsWithAsciiAccidental(e.token)) {
            if (plain.size() < 3) plain.push_back(e);
        } else if (!chromatic && e.weight * 100.0f >= 15.0f) {
            chromatic = e;
        }
    }
    if (chromatic) plain.push_back(*chromatic);
    return plain;
}

// Dark: one draw of 53 bits against the normalised cumulative weights.
std::string_view weightedChoice(const std::vector<Eligible>& eligible, std::mt19937& generator) {
    const double u = drawUnitInterval(generator);
    double total = 0.0;
    for (const Eligible& e : eligible) total += e.weight;
    if (total <= 0.0) return eligible.front().token;
    double cumulative = 0.0;
    std::string_view lastPositive;
    for (const Eligible& e : eligible) {
        cumulative += e.weight / total;
        if (e.weight > 0.0f) lastPositive = e.token;
        if (cumulative >= u) return e.token;
    }
    // Rounding can leave the sum a hair below u: the last weighted candidate stands.
    return lastPositive;
}

}  // namespace

std::string romanTokenQuality(std::string_view token) {
    std::string_view head = token.substr(0, token.find('/'));
    for (;;) {
        if (!head.empty() && (head.front() == 'b' || head.front() == '#')) {
            head.remove_prefix(1);
        } else if (head.starts_with(kFlatGlyph) || head.starts_with(kSharpGlyph)) {
            head.remove_prefix(kFlatGlyph.size());
        } else {
            break;
        }
    }
    std::size_t i = 0;
    while (i < head.size() && (head[i] == 'I' || head[i] == 'V' || head[i] == 'i' || head[i] == 'v')) ++i;
    return std::string(head.substr(i));
}

bool hasAccidentalPrefix(std::string_view token) {
    return startsWithAsciiAccidental(token) || token.starts_with(kFlatGlyph) || token.starts_with(kSharpGlyph);
}

bool isDiminishedMarked(std::string_view token) {
    return containsAny(token, {"dim", "o", "\u00B0", "\u00F8"}) || (token.size() >= 4 && contains(token, "m7b5"));
}

bool isExtendedColour(std::string_view token) {
    const std::string q = romanTokenQuality(token);
    if (contains(q, "maj") || q.starts_with('m') || q.starts_with('-')) return false;
    if (containsAny(q, {"dim", "o", "\u00B0", "\u00F8"})) return false;
    return containsAny(q, {"7", "9", "11", "13", "alt", "sus"});
}

bool isMinorPopDegree(std::string_view token) {
    if (hasAccidentalPrefix(token)) return false;
    const std::string n = romanNumeralLetters(token);
    return n == "i" || n == "iv" || n == "v" || n == "V" || n == "III" || n == "VI" || n == "VII";
}

bool isClassicalQuality(std::string_view token) {
    const std::string n = romanNumeralLetters(token);
    if (n.empty()) return false;
    const std::string q = romanTokenQuality(token);
    if (isPlainTriadQuality(q) || isDiminishedMarked(token)) return true;
    return n == "V" && q == "7";
}

int classicalFunctionClass(std::string_view token) {
    const std::string n = romanNumeralLetters(token);
    if (n.empty()) return 0;
    if (n == "i" || n == "III") return 1;
    if (n == "VI") return 4;
    if (n == "iv" || n == "ii") return 2;
    if (isDiminishedMarked(token)) return 2;
    if (n == "V" || n == "vii") return 3;
    if (n == "VII") return 1;
    if (n == "IV") return 2;
    return 0;
}

bool keepsClassicalFunction(std::string_view current, std::string_view candidate, const std::vector<std::string>& walk,
                            std::size_t pos) {
    const int fc = classicalFunctionClass(current);
    const int fk = classicalFunctionClass(candidate);
    if (fc == 0 || fk == 0) return false;
    const bool allowed = (fc == 1 && (fk == 1 || fk == 4)) || (fc == 2 && fk == 2) || (fc == 3 && fk == 3) ||
                         (fc == 4 && (fk == 4 || fk == 1));
    if (!allowed) return false;
    if ((fc == 1 || fc == 2 || fc == 4) && candidate == "IV") return false;
    if (fk == 3 && classicalFunctionClass(walk[pos - 1]) == 3) return false;
    const auto isColourDegree = [](std::string_view token) {
        return hasAccidentalPrefix(token) || romanNumeralLetters(token) == "IV";
    };
    if (isColourDegree(candidate) && (isColourDegree(walk[pos - 1]) || isColourDegree(walk[pos + 1]))) return false;
    return true;
}

bool isColourResolution(std::string_view a, std::string_view b) {
    if (romanNumeralLetters(a) != romanNumeralLetters(b)) return false;
    const std::string qa = romanTokenQuality(a);
    const std::string qb = romanTokenQuality(b);
    if (qa == qb) return false;
    const auto colour = [](std::string_view q) { return containsAny(q, {"6", "7", "9", "11", "13"}); };
    if (contains(qa, "sus") && !contains(qb, "sus")) return true;
    if (contains(qa, "add") && !contains(qb, "add")) return true;
    if (colour(qa) && !colour(qb)) return true;
    return containsAny(qa, {"maj9", "maj7"}) && (qb.empty() || qb == "maj" || qb == "6");
}

bool breaksNeighbourDegreeRule(const std::vector<std::string>& walk, std::size_t pos, std::string_view candidate) {
    const std::string letters = romanNumeralLetters(candidate);
    if (letters.empty()) return false;
    const bool prevSame = romanNumeralLetters(walk[pos - 1]) == letters;
    const bool nextSame = romanNumeralLetters(walk[pos + 1]) == letters;
    if (prevSame && nextSame) return true;
    if (prevSame) return !isColourResolution(walk[pos - 1], candidate);
    if (nextSame) return !isColourResolution(candidate, walk[pos + 1]);
    return false;
}

WalkOutcome generateFromSource(const std::vector<std::string>& source, const ProgressionCorpus& corpus,
                               const ChordTransitionModel& model, float temperature,
                               const LocalGenerationRequest& request, std::string_view sourceModeFamily,
                               std::string_view sourceSubcategory, int workingMode, std::mt19937& generator,
                               bool trace) {
    WalkOutcome out{source, {}};
    if (source.size() < 2 || !(temperature > 0.0f) || model.pairWeights().empty()) return out;
    const float p = std::min(temperature, 1.0f);
    const Style style = styleOf(request.genre);
    const bool traceDark = style.dark && trace;
    const RomanVocabulary* vocabulary = style.dark
                                            ? corpus.groupVocabulary(makeCorpusGroupKey(
                                                  normalizeGenreId(request.genre), sourceModeFamily, sourceSubcategory))
                                            : nullptr;
    std::vector<std::string>& walk = out.tokens;
    std::vector<Eligible> eligible;
    std::map<std::string, int> reasons;
    std::string reason;

    for (std::size_t pos = 1; pos + 1 < walk.size(); ++pos) {
        if (style.dark && isFlatTwoToken(walk[pos])) continue;
        if (!drawReplaceTest(generator, p)) continue;
        const TransitionCandidates* followers = model.followers(walk[pos - 1]);
        if (followers == nullptr || followers->empty()) {
            if (traceDark)
                out.trace.push_back("position " + std::to_string(pos + 1) + ": no following-chord candidates");
            continue;
        }
        const TransitionCandidates candidates = topCandidates(*followers, style.popedm ? 12 : 5);
        eligible.clear();
        reasons.clear();
        const auto rejectFor = [&](std::string_view why) {
            if (traceDark) ++reasons[std::string(why)];
        };
        for (const TransitionCandidate& candidate : candidates) {
            const std::string_view token = candidate.token;
            if (style.dark) {
                if (vocabulary == nullptr || !vocabulary->contains(token)) {
                    rejectFor("outside subcategory vocabulary");
                    continue;
                }
                if (isFlatTwoToken(token)) {
                    rejectFor("would introduce a new bII position");
                    continue;
                }
            }
            if (!passesStyleRules(style, token, walk, pos, workingMode)) {
                rejectFor(kSharedRulesReason);
                continue;
            }
            if (style.dark) {
                std::vector<std::string> changed = walk;
                changed[pos] = candidate.token;
                if (!checkSubstitutionRules(source, changed, sourceModeFamily, sourceSubcategory, workingMode,
                                            traceDark ? &reason : nullptr)) {
                    rejectFor(reason.empty() ? std::string_view(kSharedRulesReason) : std::string_view(reason));
                    continue;
                }
            }
            eligible.push_back(Eligible{token, std::max(candidate.weight, 0.0f)});
        }

        const std::vector<Eligible> pool = style.popedm ? popPool(eligible) : eligible;
        if (pool.empty()) {
            if (traceDark) out.trace.push_back(noEligibleLine(pos + 1, reasons));
            continue;
        }
        const std::string_view chosen =
            style.dark ? weightedChoice(pool, generator)
                       : pool[drawUniformIndex(generator, static_cast<std::uint32_t>(pool.size()))].token;
        walk[pos] = std::string(chosen);
    }
    return out;
}

}  // namespace quillex
