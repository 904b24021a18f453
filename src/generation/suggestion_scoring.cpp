// Suggestion scoring terms and variant merging.
#include "generation/suggestion_scoring.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>

#include "generation/corpus_suggestions.h"

namespace quillex {

namespace {

// The tables below name the major triad by the empty quality; chords carry
// its canonical name "maj".
std::string_view tableQuality(std::string_view quality) { return quality == "maj" ? std::string_view() : quality; }

// A chord's distinct pitch classes as bits 0..11: membership tests and
// counts without allocating in the scorer's inner loops.
using ToneMask = std::uint16_t;

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> options) {
    return std::find(options.begin(), options.end(), text) != options.end();
}

ToneMask toneMask(const Chord& chord) {
    ToneMask mask = 0;
    for (const std::int32_t interval : chord.intervals)
        mask |= ToneMask(1u << transposePitchClass(chord.root, interval));
    return mask;
}

int toneCount(ToneMask mask) { return std::popcount(mask); }

bool contains(ToneMask tones, PitchClass pc) { return (tones >> pc) & 1u; }

bool hasNeighbour(ToneMask tones, PitchClass pc, int distance) {
    return contains(tones, transposePitchClass(pc, distance)) || contains(tones, transposePitchClass(pc, -distance));
}

int mod12(int value) { return reducePitchClass(value); }

int nearestDistance(PitchClass pc, ToneMask tones) {
    for (int d = 0; d < 6; ++d) {
        if (hasNeighbour(tones, pc, d)) return d;
    }
    return 6;
}

// Calls `visit` for each pitch class of the mask.
template <typename Visit>
void forEachTone(ToneMask mask, Visit visit) {
    for (PitchClass pc = 0; pc < 12; ++pc) {
        if (contains(mask, pc)) visit(pc);
    }
}

bool hasInterval(const Chord& chord, std::int32_t interval) {
    return std::find(chord.intervals.begin(), chord.intervals.end(), interval) != chord.intervals.end();
}

std::optional<PitchClass> lastIntervalOf(const Chord& chord, std::int32_t a, std::int32_t b) {
    std::optional<PitchClass> found;
    for (const std::int32_t interval : chord.intervals) {
        if (interval == a || interval == b) found = transposePitchClass(chord.root, interval);
    }
    return found;
}

// A chord tone of the given interval, when the chord has it.
std::optional<PitchClass> toneAt(const Chord& chord, std::int32_t interval) {
    if (!hasInterval(chord, interval)) return std::nullopt;
    return transposePitchClass(chord.root, interval);
}

bool isDominantKind(const ChordSuggestion& s) {
    return s.kind == SuggestionKind::SecondaryDominant || s.kind == SuggestionKind::TritoneSubstitute;
}

bool isPassingKind(const ChordSuggestion& s) {
    return s.kind == SuggestionKind::PassingFromBelow || s.kind == SuggestionKind::PassingFromAbove;
}

bool aimsAtNextChord(const ChordSuggestion& s, const SuggestionContext& context) {
    return context.nextChord && s.target && *s.target == context.nextChord->root;
}

// Distance of a chord's tone count from the context size (`contextChordSize`).
double sizeDistance(const Chord& chord, double contextSize) {
    return std::abs(static_cast<double>(toneCount(toneMask(chord))) - contextSize);
}

// Near, close or far from the context size: the two rewards and the slope and cap of the penalty.
double sizeFit(double d, double nearReward, double closeReward, double slope, double cap) {
    if (d <= 0.25) return nearReward;
    if (d <= 1.0) return closeReward;
    return -std::min((d - 1.0) * slope, cap);
}

enum class DominantGroup {
    PlainSeven,
    NineOrThirteen,
    Suspended,
    SharpEleven,
    SingleAlteration,
    DoubleAlteration,
    None
};

DominantGroup dominantGroup(std::string_view q) {
    if (q == "7") return DominantGroup::PlainSeven;
    if (isOneOf(q, {"9", "13"})) return DominantGroup::NineOrThirteen;
    if (isOneOf(q, {"7sus4", "9sus4", "13sus4"})) return DominantGroup::Suspended;
    if (isOneOf(q, {"7#11", "9#11", "13#11"})) return DominantGroup::SharpEleven;
    if (isOneOf(q, {"7b9", "13b9", "7#9", "7#5", "7b13"})) return DominantGroup::SingleAlteration;
    if (isOneOf(q, {"7#5b9", "7b9b13", "7#9b13", "7alt"})) return DominantGroup::DoubleAlteration;
    return DominantGroup::None;
}

double tensionTableValue(std::int32_t tension, int targetClass, bool tritone) {
    switch (tension) {
        case 5:
            return targetClass == 2 ? 0.008 : 0.002;
        case 8:
        case 20:
            if (targetClass == 1) return 0.008;
            if (targetClass == 0) return tritone ? -0.008 : -0.026;
            return 0.001;
        case 13:
            if (targetClass == 1) return 0.01;
            if (targetClass == 0) return tritone ? -0.01 : -0.03;
            return 0.002;
        case 14:
            return targetClass == 0 || targetClass == 2 ? 0.008 : 0.004;
        case 15:
            if (targetClass == 1) return 0.008;
            if (targetClass == 0) return tritone ? -0.012 : -0.032;
            return 0.0;
        case 18:
            if (tritone) {
                if (targetClass == 0 || targetClass == 2) return 0.026;
                return targetClass == 1 ? 0.016 : 0.008;
            }
            return targetClass == 2 ? 0.004 : -0.006;
        case 21:
            return targetClass == 0 || targetClass == 2 ? 0.006 : 0.002;
        default:
            return 0.0;
    }
}

std::string_view borrowedFamily(std::string_view q) {
    if (isOneOf(q, {"", "6", "add9", "maj7", "maj9", "maj13", "maj7#11"})) return "major";
    if (isOneOf(q, {"m", "m6", "madd9", "m7", "m9", "m11", "m13"})) return "minor";
    if (isOneOf(q, {"dim", "dim7", "m7b5", "ø"})) return "diminished";
    if (q == "7") return "dominant";
    return "other";
}

double borrowedColourBonus(std::string_view q) {
    if (isOneOf(q, {"", "m"})) return 0.022;
    if (isOneOf(q, {"m6", "m7", "maj7"})) return 0.02;
    if (isOneOf(q, {"add9", "madd9", "6"})) return 0.014;
    if (isOneOf(q, {"maj9", "m9"})) return 0.01;
    if (isOneOf(q, {"dim", "dim7", "m7b5"})) return 0.008;
    if (q == "7") return 0.006;
    if (isOneOf(q, {"maj13", "m11"})) return 0.0;
    if (isOneOf(q, {"m13", "maj7#11"})) return -0.012;
    return -0.02;
}

double borrowedDegreeBonus(int interval, std::string_view q, bool minorKey) {
    if (minorKey) {
        if (interval == 5 && isOneOf(q, {"", "6", "maj7"})) return 0.05;
        if (interval == 9 && isOneOf(q, {"m", "m7"})) return 0.024;
        if (interval == 0 && isOneOf(q, {"", "maj7"})) return 0.05;
        return 0.0;
    }
    if (interval == 5 && isOneOf(q, {"m", "m6", "m7"})) return 0.08;
    if (interval == 8 && isOneOf(q, {"maj7", "maj9"})) return 0.06;
    if (interval == 10 && isOneOf(q, {"", "7"})) return 0.064;
    if (interval == 3 && isOneOf(q, {"maj7", "maj9"})) return 0.05;
    if (interval == 1 && isOneOf(q, {"maj7", "maj7#11"})) return 0.05;
    if (interval == 0 && isOneOf(q, {"m", "m7"})) return 0.02;
    return 0.0;
}

double mediantColourBonus(std::string_view q) {
    if (q.empty() || q == "m") return 0.02;
    if (isOneOf(q, {"maj7", "m7"})) return 0.018;
    if (isOneOf(q, {"add9", "madd9"})) return 0.016;
    if (isOneOf(q, {"maj9", "m9"})) return 0.014;
    if (isOneOf(q, {"6", "m6"})) return 0.012;
    if (isOneOf(q, {"maj13", "m11", "7"})) return 0.004;
    if (q == "9") return 0.0;
    if (q == "13") return -0.018;
    if (q == "7#11") return -0.024;
    return -0.03;
}

// How a colour class sits beside a neighbour's class.
double classRelation(int mine, int neighbour, double weight) {
    if (mine == 3 || neighbour == 3) return 0.0;
    if (mine == neighbour) return weight;
    if (mine == 2) return -0.85 * weight;
    if (neighbour == 2) return -0.35 * weight;
    return -0.25 * weight;
}

// Mean interval count of the previous chords and the next chord; 4.0 without any.
double meanIntervalCount(const SuggestionContext& context) {
    double total = 0.0;
    std::size_t count = 0;
    for (const Chord& chord : context.prevChords) {
        total += static_cast<double>(chord.intervals.size());
        ++count;
    }
    if (context.nextChord) {
        total += static_cast<double>(context.nextChord->intervals.size());
        ++count;
    }
    return count == 0 ? 4.0 : total / static_cast<double>(count);
}

// `meanIntervals` is `meanIntervalCount` of the context.
double corpusSizeAdjustment(const ChordSuggestion& s, double meanIntervals) {
    const double d = static_cast<double>(s.chord.intervals.size()) - meanIntervals;
    if (std::abs(d) <= 0.5) return 0.02;
    if (d > 0.5) return 0.01;
    return std::max(0.02 * d, -0.03);
}

// The terms that weigh a suggestion's size against `contextSize`, the
// context's `contextChordSize`.
double tensionLoadAt(const ChordSuggestion& suggestion, const SuggestionContext& context, double contextSize) {
    if (!isDominantKind(suggestion)) return 0.0;
    double term = sizeFit(sizeDistance(suggestion.chord, contextSize), 0.024, 0.006, 0.06, 0.12);
    if (context.nextChord) return term;
    const std::vector<std::int32_t> tensions = chordTensions(suggestion.chord);
    const auto k = static_cast<double>(tensions.size());
    if (tensions.empty()) {
        term += 0.012;
    } else if (tensions.size() == 1) {
        term += 0.002;
    } else {
        term -= std::min((k - 1.0) * 0.016, 0.05);
    }
    const auto altered = std::count_if(tensions.begin(), tensions.end(), isAlteredTension);
    return term - std::min(0.008 * static_cast<double>(altered), 0.03);
}

double borrowedChordTermAt(const ChordSuggestion& suggestion, const SuggestionContext& context, double contextSize) {
    if (suggestion.kind != SuggestionKind::Borrowed) return 0.0;
    const std::string_view q = tableQuality(suggestion.chord.quality);
    const std::string_view family = borrowedFamily(q);
    double term = borrowedColourBonus(q);
    if (!suggestion.targetQuality.empty()) {
        const bool fits = suggestion.targetQuality == family ||
                          (suggestion.targetQuality == "major_dominant" && (family == "major" || family == "dominant"));
        term += fits ? 0.045 : -0.045;
    }
    term += borrowedDegreeBonus(mod12(int{suggestion.chord.root} - int{context.key.root}), q, context.key.isMinor());
    term += sizeFit(sizeDistance(suggestion.chord, contextSize), 0.034, 0.01, 0.075, 0.155);
    if (!context.prevChords.empty()) term += nearestToneSmoothness(context.prevChords.back(), suggestion.chord, 0.03);
    if (context.nextChord) term += nearestToneSmoothness(suggestion.chord, *context.nextChord, 0.034);
    return std::clamp(term, -0.18, 0.22);
}

double mediantTermAt(const ChordSuggestion& suggestion, const SuggestionContext& context, double contextSize) {
    if (suggestion.kind != SuggestionKind::ChromaticMediant) return 0.0;
    const std::string_view q = tableQuality(suggestion.chord.quality);
    const int mine = colourClass(q);
    double term = mediantColourBonus(q);
    bool neighbourIsDominant = false;
    if (!context.prevChords.empty()) {
        const Chord& previous = context.prevChords.back();
        const int theirs = colourClass(previous.quality);
        neighbourIsDominant = neighbourIsDominant || theirs == 2;
        term += classRelation(mine, theirs, 0.04) + sharedToneWeight(previous, suggestion.chord, 0.02, 0.055);
    }
    if (context.nextChord) {
        const int theirs = colourClass(context.nextChord->quality);
        neighbourIsDominant = neighbourIsDominant || theirs == 2;
        term +=
            classRelation(mine, theirs, 0.026) + sharedToneWeight(suggestion.chord, *context.nextChord, 0.014, 0.04);
    }
    term += sizeFit(sizeDistance(suggestion.chord, contextSize), 0.03, 0.01, 0.07, 0.14);
    if (mine == 2 && !neighbourIsDominant) {
        term -= 0.125;
        if (q == "13" || q == "7#11") term -= 0.04;
    }
    return std::clamp(term, -0.24, 0.18);
}

}  // namespace

std::optional<ContextCorpusTokens> deriveContextCorpusTokens(const SuggestionContext& context) {
    if (context.prevChords.empty()) return std::nullopt;
    const KeyContext key = context.keyContext();
    ContextCorpusTokens tokens;
    tokens.previous = deriveCorpusRomanBassDegree(context.prevChords.back(), key);
    if (context.nextChord) tokens.next = deriveCorpusRomanBassDegree(*context.nextChord, key);
    return tokens;
}

ContextChordSummary summarizeContextChords(const SuggestionContext& context) {
    ContextChordSummary summary;
    summary.toneCount = contextChordSize(context);
    summary.intervalCount = meanIntervalCount(context);
    for (const Chord& chord : context.prevChords) {
        const PitchClass root = reducePitchClass(chord.root);
        summary.previousRoots |= ToneMask(1u << root);
        summary.previousQualities[root].insert(chord.quality);
    }
    return summary;
}

std::vector<PitchClass> uniquePitchClasses(const Chord& chord) {
    std::vector<PitchClass> tones;
    for (const std::int32_t interval : chord.intervals) {
        const PitchClass pc = transposePitchClass(chord.root, interval);
        if (std::find(tones.begin(), tones.end(), pc) == tones.end()) tones.push_back(pc);
    }
    return tones;
}

double contextChordSize(const SuggestionContext& context) {
    double total = 0.0;
    std::size_t count = 0;
    for (const Chord& chord : context.prevChords) {
        total += toneCount(toneMask(chord));
        ++count;
    }
    if (context.nextChord) {
        total += toneCount(toneMask(*context.nextChord));
        ++count;
    }
    return count == 0 ? 4.0 : total / static_cast<double>(count);
}

std::optional<PitchClass> chordThird(const Chord& chord) { return lastIntervalOf(chord, 3, 4); }

std::optional<PitchClass> chordSeventh(const Chord& chord) { return lastIntervalOf(chord, 10, 11); }

std::vector<std::int32_t> chordTensions(const Chord& chord) {
    const bool hasMajorThird = hasInterval(chord, 4);
    std::vector<std::int32_t> tensions;
    for (const std::int32_t interval : chord.intervals) {
        if (interval == 0 || interval == 4 || interval == 7 || interval == 10) continue;
        if (interval == 5 && hasMajorThird) continue;
        tensions.push_back(interval);
    }
    return tensions;
}

bool isAlteredTension(std::int32_t interval) {
    return interval == 8 || interval == 13 || interval == 15 || interval == 18 || interval == 20;
}

int qualityClass(std::string_view quality) {
    if (quality.empty() || quality.starts_with("maj")) return 0;
    if (quality == "-" || quality.starts_with('m')) return 1;
    if (quality == "sus4" || quality.find('7') != std::string_view::npos || quality.starts_with('9') ||
        quality.starts_with("11") || quality.starts_with("13") || quality.find("sus") != std::string_view::npos) {
        return 2;
    }
    return 3;
}

int colourClass(std::string_view quality) {
    const std::string_view q = tableQuality(quality);
    if (isOneOf(q, {"", "add9", "6", "maj7", "maj9", "maj13"})) return 0;
    if (isOneOf(q, {"m", "madd9", "m6", "m7", "m9", "m11"})) return 1;
    if (isOneOf(q, {"7", "9", "13", "7#11"})) return 2;
    return 3;
}

double rootMotionWeight(int interval) {
    switch (interval) {
        case 5:
            return 0.3;
        case 7:
            return 0.25;
        case 2:
        case 10:
            return 0.15;
        case 0:
            return 0.1;
        default:
            return 0.0;
    }
}

double guideToneLeading(const Chord& from, const Chord& to) {
    const std::vector<PitchClass> a = chordPitchClasses(from);
    const ToneMask b = toneMask(to);
    const auto common = std::count_if(a.begin(), a.end(), [&](PitchClass pc) { return contains(b, pc); });
    const std::size_t smaller = std::min(from.intervals.size(), to.intervals.size());
    if (smaller > 0 && static_cast<double>(common) / static_cast<double>(smaller) > 0.75) return 0.0;

    const std::optional<PitchClass> thirdA = chordThird(from);
    const std::optional<PitchClass> seventhA = chordSeventh(from);
    const std::optional<PitchClass> thirdB = chordThird(to);
    const std::optional<PitchClass> seventhB = chordSeventh(to);
    double term = 0.0;
    if (thirdA && contains(b, *thirdA)) term += 0.02;
    if (seventhA && contains(b, *seventhA)) term += 0.02;
    if (seventhA && thirdB && mod12(int{*seventhA} - int{*thirdB}) == 1) term += 0.03;
    if (thirdA && seventhB && mod12(int{*thirdA} - int{*seventhB}) == 1) term += 0.02;
    const auto moving = std::count_if(
        a.begin(), a.end(), [&](PitchClass pc) { return pc != thirdA && pc != seventhA && hasNeighbour(b, pc, 1); });
    return term + 0.01 * static_cast<double>(std::min<std::ptrdiff_t>(moving, 2));
}

double corpusTransitionScore(const ChordSuggestion& suggestion, const SuggestionContext& context,
                             const ChordTransitionModel& model, const ContextCorpusTokens* tokens) {
    if (!model.hasPairWeights() || context.prevChords.empty()) return 0.0;
    const KeyContext key = context.keyContext();
    // With the context tokens at hand, a bass-less chord shown as spelled
    // reuses its numeral, which was derived from that very symbol.
    const bool reuseNumeral = tokens && !suggestion.chord.bass && !suggestion.roman.empty() &&
                              suggestion.chord.symbol == suggestion.spelledSymbol;
    const std::string s =
        reuseNumeral ? romanWithoutBass(suggestion.roman) : deriveCorpusRomanBassDegree(suggestion.chord, key);
    const std::string p = tokens ? tokens->previous : deriveCorpusRomanBassDegree(context.prevChords.back(), key);
    const std::string plainP = romanWithoutBass(p);
    const std::string plainS = romanWithoutBass(s);

    double w = model.pairWeight(p, s);
    if (w == 0.0) {
        if (plainP != p) w = std::max(w, 0.8 * model.pairWeight(plainP, s));
        if (plainS != s) w = std::max(w, 0.8 * model.pairWeight(p, plainS));
        if (plainP != p && plainS != s) w = std::max(w, 0.6 * model.pairWeight(plainP, plainS));
    }
    if (!context.nextChord || w <= 0.0) return w;
    const std::string n = tokens && tokens->next ? *tokens->next : deriveCorpusRomanBassDegree(*context.nextChord, key);
    double t = model.tripleTransitionWeight(p, s, n);
    if (t == 0.0) t = 0.6 * model.tripleTransitionWeight(plainP, plainS, romanWithoutBass(n));
    return std::max(w, t);
}

double dominantColourBonus(const ChordSuggestion& suggestion) {
    if (!isDominantKind(suggestion)) return 0.0;
    static constexpr std::array<std::pair<std::string_view, double>, 17> kBonus = {{
        {"7", 0.032},
        {"9", 0.026},
        {"7sus4", 0.018},
        {"13", 0.012},
        {"9sus4", 0.012},
        {"7#11", 0.008},
        {"7b9", 0.006},
        {"13b9", 0.006},
        {"7#9", 0.006},
        {"7#5", 0.006},
        {"7b13", 0.006},
        {"13sus4", 0.004},
        {"9#11", 0.004},
        {"7#5b9", 0.004},
        {"7b9b13", 0.004},
        {"7#9b13", 0.004},
        {"7alt", 0.004},
    }};
    for (const auto& [quality, bonus] : kBonus) {
        if (quality == suggestion.chord.quality) return bonus;
    }
    return 0.0;
}

double dominantTargetFit(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    if (!isDominantKind(suggestion)) return 0.0;
    if (context.nextChord && !aimsAtNextChord(suggestion, context)) return 0.0;
    const bool tritone = suggestion.kind == SuggestionKind::TritoneSubstitute;
    const auto pick = [&](double forTritone, double otherwise) { return tritone ? forTritone : otherwise; };
    using G = DominantGroup;
    const G group = dominantGroup(suggestion.chord.quality);
    switch (qualityClass(suggestion.targetQuality)) {
        case 0:
            if (tritone && group == G::SharpEleven) return 0.048;
            if (group == G::PlainSeven) return pick(0.026, 0.04);
            if (suggestion.chord.quality == "9") return pick(0.02, 0.034);
            if (suggestion.chord.quality == "13") return pick(0.014, 0.018);
            if (group == G::Suspended) return pick(0.012, 0.006);
            if (group == G::SharpEleven) return -0.018;
            if (group == G::SingleAlteration) return pick(-0.018, -0.08);
            if (group == G::DoubleAlteration) return pick(-0.024, -0.09);
            return 0.0;
        case 1:
            if (tritone && group == G::SharpEleven) return 0.032;
            if (group == G::SingleAlteration) return pick(0.018, 0.034);
            if (group == G::DoubleAlteration) return pick(0.006, 0.026);
            if (group == G::PlainSeven) return pick(0.02, 0.012);
            if (group == G::NineOrThirteen) return pick(0.004, -0.02);
            if (group == G::SharpEleven) return -0.032;
            if (group == G::Suspended) return pick(0.004, -0.014);
            return 0.0;
        case 2:
            if (tritone && group == G::SharpEleven) return 0.04;
            if (group == G::Suspended) return 0.024;
            if (group == G::PlainSeven) return 0.022;
            if (group == G::NineOrThirteen) return 0.018;
            if (group == G::SharpEleven) return 0.004;
            if (group == G::SingleAlteration) return pick(0.01, 0.006);
            return 0.0;
        default:
            if (group == G::PlainSeven) return 0.008;
            if (group == G::NineOrThirteen || group == G::Suspended || group == G::SharpEleven) return 0.004;
            if (group == G::DoubleAlteration) return -0.01;
            return 0.0;
    }
}

double tensionLoad(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    return tensionLoadAt(suggestion, context, contextChordSize(context));
}

double neighbourMotion(const Chord& from, const Chord& to, double commonWeight, double semitoneWeight,
                       double wholeToneWeight) {
    const ToneMask a = toneMask(from);
    const ToneMask b = toneMask(to);
    if (a == 0 || b == 0) return 0.0;
    int common = 0;
    int semitone = 0;
    int whole = 0;
    forEachTone(a, [&](PitchClass pc) {
        common += contains(b, pc) ? 1 : 0;
        semitone += hasNeighbour(b, pc, 1) ? 1 : 0;
        whole += hasNeighbour(b, pc, 2) ? 1 : 0;
    });
    const double r = (common * commonWeight + semitone * semitoneWeight + whole * wholeToneWeight) *
                     std::min(4.0 / toneCount(a), 1.0) * std::min(4.0 / toneCount(b), 1.0);
    return std::min(r, 0.08);
}

double dominantResolution(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    if (!isDominantKind(suggestion) || !aimsAtNextChord(suggestion, context)) return 0.0;
    const Chord& next = *context.nextChord;
    const ToneMask nextTones = toneMask(next);
    const std::optional<PitchClass> third = toneAt(suggestion.chord, 4);
    const std::optional<PitchClass> seventh = toneAt(suggestion.chord, 10);
    std::optional<PitchClass> nextThird = toneAt(next, 3);
    if (!nextThird) nextThird = toneAt(next, 4);

    double term = 0.0;
    if (third) {
        const int up = mod12(int{next.root} - int{*third});
        const int down = mod12(int{*third} - int{next.root});
        if (up == 1 || down == 1) {
            term += 0.075;
        } else if (up == 2 || down == 2) {
            term += 0.03;
        }
    }
    if (seventh && nextThird) {
        const int down = mod12(int{*seventh} - int{*nextThird});
        const int up = mod12(int{*nextThird} - int{*seventh});
        if (down == 1 || down == 2) {
            term += 0.075;
        } else if (up == 1 || up == 2) {
            term += 0.035;
        }
    }
    if (third && seventh && hasNeighbour(nextTones, *third, 1) &&
        (hasNeighbour(nextTones, *seventh, 1) || hasNeighbour(nextTones, *seventh, 2))) {
        term += 0.04;
    }
    return term;
}

double tensionFit(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    if (!isDominantKind(suggestion) || !aimsAtNextChord(suggestion, context)) return 0.0;
    const std::vector<std::int32_t> tensions = chordTensions(suggestion.chord);
    if (tensions.empty()) return 0.0;
    const ToneMask nextTones = toneMask(*context.nextChord);
    const int targetClass = qualityClass(suggestion.targetQuality);
    const bool tritone = suggestion.kind == SuggestionKind::TritoneSubstitute;

    std::vector<double> values;
    double penalty = 0.0;
    int altered = 0;
    for (const std::int32_t tension : tensions) {
        const int distance = nearestDistance(transposePitchClass(suggestion.chord.root, tension), nextTones);
        static constexpr std::array<double, 3> kByDistance = {0.018, 0.032, 0.012};
        double value = tensionTableValue(tension, targetClass, tritone);
        value += distance < 3 ? kByDistance[distance] : -0.022;
        if (isAlteredTension(tension)) {
            ++altered;
            if (distance >= 3) penalty += 0.03;
        }
        if (distance == 0 && (tension == 5 || isAlteredTension(tension))) value -= 0.01;
        values.push_back(value);
    }
    std::stable_sort(values.begin(), values.end(), std::greater<>());
    double total = values[0];
    if (values.size() >= 2 && values[1] > 0.0) total += 0.15 * values[1];
    for (const double value : values) {
        if (value < 0.0) total += 0.7 * value;
    }
    if (values.size() >= 2) total -= 0.04 * static_cast<double>(values.size() - 1);
    total -= penalty;
    if (altered >= 2) total -= 0.035 * (altered - 1);
    return std::clamp(total, -0.1, 0.11);
}

double passingResolution(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    if (!isPassingKind(suggestion) || !aimsAtNextChord(suggestion, context)) return 0.0;
    const ToneMask tones = toneMask(suggestion.chord);
    const ToneMask nextTones = toneMask(*context.nextChord);
    if (tones == 0 || nextTones == 0) return 0.0;
    int common = 0;
    int semitone = 0;
    int neither = 0;
    forEachTone(tones, [&](PitchClass pc) {
        const bool isCommon = contains(nextTones, pc);
        const bool isNeighbour = hasNeighbour(nextTones, pc, 1);
        common += isCommon ? 1 : 0;
        semitone += isNeighbour ? 1 : 0;
        neither += !isCommon && !isNeighbour ? 1 : 0;
    });
    double r = 0.006 * std::min(common, 2) + 0.018 * semitone - 0.006 * neither;
    const int step = suggestion.kind == SuggestionKind::PassingFromBelow
                         ? mod12(int{*suggestion.target} - int{suggestion.chord.root})
                         : mod12(int{suggestion.chord.root} - int{*suggestion.target});
    if (step == 1) r += 0.014;
    return std::clamp(std::min(3.5 / toneCount(tones), 1.0) * r, -0.025, 0.08);
}

double borrowedChordTerm(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    return borrowedChordTermAt(suggestion, context, contextChordSize(context));
}

double nearestToneSmoothness(const Chord& from, const Chord& to, double weight) {
    const ToneMask a = toneMask(from);
    const ToneMask b = toneMask(to);
    if (a == 0 || b == 0) return 0.0;
    double total = 0.0;
    forEachTone(a, [&](PitchClass pc) { total += nearestDistance(pc, b); });
    const double mean = total / toneCount(a);
    const double sizePenalty = std::min(std::abs(toneCount(a) - toneCount(b)) * 0.08, 0.35);
    double factor = 0.0;
    if (mean <= 0.75) {
        factor = weight;
    } else if (mean <= 1.25) {
        factor = 0.72 * weight;
    } else if (mean <= 2.0) {
        factor = 0.42 * weight;
    } else if (mean <= 3.0) {
        factor = 0.16 * weight;
    }
    return (1.0 - sizePenalty) * factor;
}

double mediantTerm(const ChordSuggestion& suggestion, const SuggestionContext& context) {
    return mediantTermAt(suggestion, context, contextChordSize(context));
}

double sharedToneWeight(const Chord& from, const Chord& to, double weight, double cap) {
    const ToneMask a = toneMask(from);
    const ToneMask b = toneMask(to);
    if (a == 0 || b == 0) return 0.0;
    const int shared = toneCount(ToneMask(a & b));
    const double larger = std::max(toneCount(a), toneCount(b));
    return std::min(std::min(4.0 / larger, 1.0) * shared * weight, cap);
}

double scoreSuggestion(const ChordSuggestion& s, const SuggestionContext& context, const ChordTransitionModel& model,
                       const ContextCorpusTokens* tokens, const ContextChordSummary* chords) {
    const bool hasPrevious = !context.prevChords.empty();
    const Chord* previous = hasPrevious ? &context.prevChords.back() : nullptr;
    const Chord* next = context.nextChord ? &*context.nextChord : nullptr;
    const bool towardNext = aimsAtNextChord(s, context);

    const double gP = previous ? guideToneLeading(*previous, s.chord) : 0.0;
    double gN = 0.0;
    if (next) {
        const auto kind = static_cast<int>(s.kind);
        if (kind == 0 || kind > 4 || towardNext) gN = guideToneLeading(s.chord, *next);
    }

    if (s.category == kSmartCategory) {
        const double meanIntervals = chords ? chords->intervalCount : meanIntervalCount(context);
        return std::clamp(gP + s.score + corpusSizeAdjustment(s, meanIntervals), 0.0, 1.0);
    }

    const double contextSize = chords ? chords->toneCount : contextChordSize(context);
    const double size = sizeFit(sizeDistance(s.chord, contextSize), 0.026, 0.026, 0.08, 0.16);
    const double c = corpusTransitionScore(s, context, model, tokens);
    double base = isDominantKind(s) ? 1.65 * c + 0.02 : std::max(0.02, c);
    if (next) {
        base += 0.15 * rootMotionWeight(mod12(int{next->root} - int{s.chord.root}));
        if (s.target) {
            if (towardNext) {
                base += s.kind == SuggestionKind::SecondaryDominant                       ? 0.32
                        : s.kind == SuggestionKind::TritoneSubstitute || isPassingKind(s) ? 0.3
                                                                                          : 0.12;
            } else {
                base += isPassingKind(s) ? -0.6 : isDominantKind(s) ? -0.06 : 0.0;
            }
        }
    }
    if (hasPrevious) {
        // The best root motion from any previous chord: each root once with a summary.
        const auto weightFrom = [&](PitchClass root) { return rootMotionWeight(mod12(int{s.chord.root} - int{root})); };
        double motion = 0.0;
        if (chords) {
            forEachTone(chords->previousRoots, [&](PitchClass root) { motion = std::max(motion, weightFrom(root)); });
        } else {
            for (const Chord& chord : context.prevChords) motion = std::max(motion, weightFrom(chord.root));
        }
        base += 0.1 * motion;
    }
    const double agreement = gP >= 0.025 && gN >= 0.025 ? std::min(0.5 * std::min(gP, gN), 0.03) : 0.0;

    double sum = 0.8 * gN + gP + agreement + size + base;
    sum += dominantColourBonus(s) + dominantTargetFit(s, context) + tensionLoadAt(s, context, contextSize);
    if (isDominantKind(s)) {
        if (next) sum += towardNext ? 0.34 : -0.6;
        if (previous) sum += neighbourMotion(*previous, s.chord, 0.006, 0.011, 0.004);
        if (towardNext) {
            sum += neighbourMotion(s.chord, *next, 0.004, 0.017, 0.006) + dominantResolution(s, context) +
                   tensionFit(s, context);
        }
    }
    sum += passingResolution(s, context);
    if (s.category == kDiminishedApproachCategory) {
        const double z = contextSize;
        const int n = toneCount(toneMask(s.chord));
        if (z <= 3.25) {
            sum += n > 3 ? -0.025 : 0.035;
        } else if (z >= 4.0) {
            sum += n < 4 ? -0.015 : 0.015;
        }
    }
    sum += borrowedChordTermAt(s, context, contextSize) + mediantTermAt(s, context, contextSize);
    if (s.kind == SuggestionKind::ChromaticMediant) {
        const std::optional<double> a =
            previous ? std::optional(nearestToneSmoothness(*previous, s.chord, 0.045)) : std::nullopt;
        const std::optional<double> b =
            next ? std::optional(nearestToneSmoothness(s.chord, *next, 0.055)) : std::nullopt;
        if (a && b) {
            sum += 0.7 * std::max(*a, *b) + 0.15 * (*a + *b);
        } else if (a || b) {
            sum += 0.65 * (a ? *a : *b);
        }
    }
    const auto sameChord = [&](const Chord& chord) {
        return chord.root == s.chord.root && chord.quality == s.chord.quality;
    };
    const bool repeatsPrevious =
        chords ? chords->previousQualities[reducePitchClass(s.chord.root)].contains(s.chord.quality)
               : std::any_of(context.prevChords.begin(), context.prevChords.end(), sameChord);
    if (repeatsPrevious) sum -= 0.1;
    if (next && sameChord(*next)) sum -= 0.1;
    return sum;
}

std::vector<ChordSuggestion> mergeSuggestionVariants(std::vector<ChordSuggestion> list,
                                                     const SuggestionContext& context) {
    const double z = contextChordSize(context);
    const auto mergeable = [](std::uint8_t category) {
        return category != kSmartCategory &&
               (category < kSecondaryDominantCategory || category > kChromaticMediantCategory);
    };
    const auto inside = [](const std::vector<std::int32_t>& small, const std::vector<std::int32_t>& large) {
        return std::includes(large.begin(), large.end(), small.begin(), small.end());
    };
    std::vector<bool> removed(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (removed[i] || !mergeable(list[i].category)) continue;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (removed[j]) continue;
            const Chord& a = list[i].chord;
            const Chord& b = list[j].chord;
            if (list[i].category != list[j].category || !mergeable(list[i].category) || a.root != b.root ||
                a.intervals.size() == b.intervals.size()) {
                continue;
            }
            const bool iSmaller = a.intervals.size() < b.intervals.size();
            if (!(iSmaller ? inside(a.intervals, b.intervals) : inside(b.intervals, a.intervals))) continue;
            const double dI = std::abs(static_cast<double>(a.intervals.size()) - z);
            const double dJ = std::abs(static_cast<double>(b.intervals.size()) - z);
            if (dI > dJ || (dI == dJ && iSmaller)) {
                removed[i] = true;
                break;
            }
            removed[j] = true;
        }
    }
    std::vector<ChordSuggestion> kept;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!removed[i]) kept.push_back(std::move(list[i]));
    }
    return kept;
}

}  // namespace quillex
