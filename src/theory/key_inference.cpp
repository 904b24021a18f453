// Key inference over 36 candidate keys, its likelihood model and minor-scale inference.
#include "theory/key_inference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "theory/chord_symbol.h"
#include "theory/quality_predicates.h"

namespace quillex {

namespace {

// ---- Likelihood tables: natural-log weights by mode (0 major, 1 minor) and
// scale degree 0..7, where degree 0 is a root outside the scale.

using DegreeRow = std::array<double, 8>;
using DegreeMatrix = std::array<DegreeRow, 8>;

constexpr double kLogEighth = -2.07944;
constexpr DegreeRow kUniformRow = {kLogEighth, kLogEighth, kLogEighth, kLogEighth,
                                   kLogEighth, kLogEighth, kLogEighth, kLogEighth};

constexpr std::array<DegreeRow, 2> kChordDegree = {{
    {-9.50714, -1.31402, -2.08223, -3.08390, -1.61087, -1.66094, -1.94265, -3.58423},
    {-9.41067, -1.25955, -2.53363, -2.76622, -1.92503, -1.84229, -1.89737, -2.12379},
}};

constexpr std::array<DegreeRow, 2> kFirstChordDegree = {{
    {-7.70661, -0.91567, -1.77040, -3.42648, -1.58138, -2.74903, -2.23224, -3.93385},
    {-7.60738, -0.86834, -1.79027, -3.04303, -1.95577, -3.05614, -2.27346, -2.60680},
}};

constexpr std::array<DegreeRow, 2> kLastChordDegree = {{
    {-7.70661, -1.16667, -3.07919, -3.77479, -1.84939, -1.17210, -2.22182, -3.12933},
    {-7.60738, -0.93725, -3.89381, -3.32725, -2.54954, -1.66131, -1.88789, -2.02389},
}};

// Rows: scale degree; columns: quality function class.
constexpr std::array<DegreeMatrix, 2> kClassGivenDegree = {{
    {{
        kUniformRow,
        {-0.08591, -8.19506, -2.55226, -8.19506, -8.19506, -8.19506, -5.79716, -8.19506},
        {-3.44939, -0.25723, -1.79072, -7.42908, -7.42908, -7.42908, -3.65631, -7.42908},
        {-2.38712, -0.15275, -3.17645, -6.43455, -6.43455, -6.43455, -6.43455, -6.43455},
        {-0.21248, -2.57100, -2.54702, -3.34763, -7.89888, -7.89888, -7.89888, -7.89888},
        {-0.70532, -7.84893, -1.34390, -7.84893, -7.84893, -7.84893, -1.41358, -7.84893},
        {-4.31002, -0.24182, -1.61553, -7.56812, -7.56812, -7.56812, -7.56812, -7.56812},
        {-0.57201, -5.94149, -1.91613, -1.37714, -5.94149, -5.94149, -3.66422, -5.94149},
    }},
    {{
        kUniformRow,
        {-8.15313, -0.00202, -8.15313, -8.15313, -8.15313, -8.15313, -8.15313, -8.15313},
        {-1.94438, -1.99954, -3.23357, -6.88423, -0.38859, -6.88423, -6.88423, -6.88423},
        {-0.08860, -6.65351, -2.56334, -6.65351, -6.65351, -6.65351, -6.65351, -6.65351},
        {-6.67862, -0.04618, -7.48955, -3.19227, -7.48955, -7.48955, -7.48955, -7.48955},
        {-0.83443, -1.82021, -1.00708, -7.57199, -7.57199, -7.57199, -3.30931, -7.57199},
        {-0.28655, -7.51711, -1.41120, -7.51711, -7.51711, -7.51711, -5.95897, -7.51711},
        {-0.58724, -7.29166, -1.03831, -2.80865, -7.29166, -7.29166, -3.60905, -7.29166},
    }},
}};

// Rows: degree of a chord; columns: degree of the chord after it.
constexpr std::array<DegreeMatrix, 2> kDegreeTransition = {{
    {{
        kUniformRow,
        {-7.98335, -2.66157, -2.06379, -2.66157, -1.46716, -1.42907, -1.47645, -3.36823},
        {-7.36708, -3.02003, -3.51162, -2.28567, -2.15486, -0.45086, -3.68447, -3.19654},
        {-6.35089, -4.55913, -2.32553, -4.36988, -1.18040, -3.57830, -0.63963, -4.21082},
        {-7.76025, -0.91464, -2.26514, -3.22229, -2.41434, -1.52388, -2.39078, -2.87556},
        {-7.53663, -0.50909, -3.48920, -4.37963, -2.22096, -5.03110, -1.45327, -5.03110},
        {-7.43573, -1.95094, -1.17759, -3.58028, -0.90851, -2.37790, -4.17764, -4.58792},
        {-5.64985, -0.72805, -3.66885, -3.04716, -0.99828, -3.04716, -3.85809, -5.64985},
    }},
    {{
        kUniformRow,
        {-7.89609, -2.32679, -3.05981, -3.14250, -1.41950, -2.43757, -1.30339, -1.55529},
        {-6.84242, -3.19176, -3.92465, -6.84242, -3.01378, -0.15188, -4.70235, -3.92465},
        {-6.55713, -3.20723, -5.30437, -4.57613, -1.85893, -3.51261, -0.67172, -1.40096},
        {-7.39817, -1.35851, -2.06425, -4.48040, -5.00028, -1.29786, -2.01713, -1.65437},
        {-7.35356, -0.26369, -4.84804, -3.70290, -2.97467, -3.39752, -2.48795, -3.47200},
        {-7.33661, -1.87809, -1.78172, -2.39676, -1.18975, -1.93845, -4.23427, -2.08434},
        {-7.09257, -0.99225, -4.40133, -1.21065, -2.14381, -2.86574, -1.98814, -4.95251},
    }},
}};

// Weight of a chord tone in the fit term, by its interval modulo 12.
constexpr std::array<double, 12> kToneWeight = {2.4, 0.45, 0.45, 2.0, 2.0, 0.6, 0.6, 0.8, 0.6, 0.6, 1.7, 1.7};

// ---- Helpers

bool inClasses(int cls, std::initializer_list<int> classes) {
    return std::find(classes.begin(), classes.end(), cls) != classes.end();
}

// One chord tone: its interval modulo 12 and its two possible fit terms.
struct ToneFit {
    std::uint8_t residue = 0;
    double inScale = 0.0;   // 0.35 x tone weight x chord weight
    double outScale = 0.0;  // 1.15 x tone weight x chord weight
};

// What inference needs of a chord, independent of the candidate key.
struct ChordFacts {
    int root = 0;
    int bass = -1;  // -1 without a slash bass
    int cls = kFunctionOther;
    bool majorSeventh = false;
    bool melodicTonicQuality = false;
    double weight = 0.0;
    int stepToNext = -1;                  // semitones up to the next chord's root, -1 for the last
    std::array<std::int8_t, 12> relTo{};  // distance above each possible key root
    std::vector<ToneFit> tones;           // in interval order
};

std::vector<ChordFacts> chordFacts(const std::vector<WeightedChord>& chords) {
    std::vector<ChordFacts> facts;
    facts.reserve(chords.size());
    for (const WeightedChord& chord : chords) {
        ChordFacts f;
        f.root = reducePitchClass(chord.root);
        f.bass = chord.bass ? reducePitchClass(*chord.bass) : -1;
        f.cls = qualityFunctionClass(chord.quality);
        f.majorSeventh = isMajorSeventhQuality(chord.quality);
        f.melodicTonicQuality = isMelodicMinorTonicQuality(chord.quality);
        // NaN stays NaN: it is not positive, so the chord takes no part.
        f.weight = chord.weight > kMaxKeyInferenceWeight ? kMaxKeyInferenceWeight : chord.weight;
        for (int keyRoot = 0; keyRoot < 12; ++keyRoot)
            f.relTo[keyRoot] = static_cast<std::int8_t>(reducePitchClass(f.root - keyRoot));
        const std::vector<std::int32_t>& intervals = qualityIntervals(chord.quality);
        f.tones.reserve(intervals.size());
        for (std::int32_t interval : intervals) {
            const auto residue = static_cast<std::uint8_t>(reducePitchClass(interval));
            const double toneWeight = kToneWeight[residue];
            f.tones.push_back(ToneFit{residue, 0.35 * toneWeight * f.weight, 1.15 * toneWeight * f.weight});
        }
        if (!facts.empty()) facts.back().stepToNext = reducePitchClass(f.root - facts.back().root);
        facts.push_back(std::move(f));
    }
    return facts;
}

// Function class of each degree's diatonic seventh chord, by scale kind.
const std::array<std::array<int, 8>, 3>& diatonicSeventhClasses() {
    static const std::array<std::array<int, 8>, 3> table = [] {
        std::array<std::array<int, 8>, 3> result{};
        const std::array<MusicalKey, 3> keys = {
            MusicalKey{0, kMajorMode, kNaturalMinorScale},
            MusicalKey{0, kMinorMode, kNaturalMinorScale},
            MusicalKey{0, kMinorMode, kMelodicMinorScale},
        };
        for (const MusicalKey& key : keys) {
            auto& row = result[static_cast<std::size_t>(scaleKindOf(key))];
            row[0] = kFunctionOther;
            for (int degree = 1; degree <= 7; ++degree) {
                row[degree] = qualityFunctionClass(diatonicChordOfDegree(key, degree, true).quality);
            }
        }
        return result;
    }();
    return table;
}

// Scale degree of each pitch `rel` semitones above the tonic (0 off the
// scale), by scale kind.
const std::array<std::array<int, 12>, 3>& degreesAboveTonic() {
    static const std::array<std::array<int, 12>, 3> table = [] {
        std::array<std::array<int, 12>, 3> result{};
        for (ScaleKind kind : {ScaleKind::Major, ScaleKind::NaturalMinor, ScaleKind::MelodicMinor}) {
            const MusicalKey key{0, kind == ScaleKind::Major ? kMajorMode : kMinorMode,
                                 kind == ScaleKind::MelodicMinor ? kMelodicMinorScale : kNaturalMinorScale};
            for (int rel = 0; rel < 12; ++rel) {
                result[static_cast<std::size_t>(kind)][rel] = scaleDegreeOf(key, static_cast<PitchClass>(rel));
            }
        }
        return result;
    }();
    return table;
}

// Bit r and bit r + 12 set for each scale tone r above the tonic, by scale kind.
const std::array<std::uint32_t, 3>& scaleMasks() {
    static const std::array<std::uint32_t, 3> table = [] {
        std::array<std::uint32_t, 3> result{};
        for (std::size_t kind = 0; kind < 3; ++kind) {
            for (int rel = 0; rel < 12; ++rel) {
                if (degreesAboveTonic()[kind][rel] != 0) result[kind] |= (1u << rel) | (1u << (rel + 12));
            }
        }
        return result;
    }();
    return table;
}

// What inference needs of a candidate key.
struct KeyFacts {
    MusicalKey key;
    int root = 0;
    bool minor = false;
    bool melodic = false;
    const std::array<int, 12>* degreeOfRel = nullptr;  // scale degree by distance above the tonic
    std::uint32_t scaleMask = 0;                       // bit r (and r + 12) set when r above the tonic is a scale tone
    const std::array<int, 8>* diatonicClass = nullptr;
};

KeyFacts keyFacts(const MusicalKey& key) {
    KeyFacts k;
    k.key = key;
    k.root = reducePitchClass(key.root);
    k.minor = key.isMinor();
    k.melodic = key.isMelodicMinor();
    const auto kind = static_cast<std::size_t>(scaleKindOf(key));
    k.degreeOfRel = &degreesAboveTonic()[kind];
    k.scaleMask = scaleMasks()[kind];
    k.diatonicClass = &diatonicSeventhClasses()[kind];
    return k;
}

// Both roots are 0..11 here.
int relOf(const ChordFacts& chord, const KeyFacts& k) { return chord.relTo[k.root]; }

bool inScale(const KeyFacts& k, int relPlusResidue) { return (k.scaleMask >> relPlusResidue) & 1u; }

double likelihood(const std::vector<ChordFacts>& chords, const KeyFacts& k) {
    auto kept = [](const ChordFacts& chord) { return chord.weight > 0.0; };
    const auto first = std::find_if(chords.begin(), chords.end(), kept);
    if (first == chords.end()) return 0.0;
    const auto last = std::find_if(chords.rbegin(), chords.rend(), kept);
    const std::size_t mode = k.minor ? 1 : 0;
    auto degreeOf = [&k](const ChordFacts& chord) { return (*k.degreeOfRel)[relOf(chord, k)]; };

    double sum = kFirstChordDegree[mode][degreeOf(*first)] + kLastChordDegree[mode][degreeOf(*last)];
    double norm = 2.0;
    for (const ChordFacts& chord : chords) {
        if (!kept(chord)) continue;
        const int degree = degreeOf(chord);
        const double w = chord.weight;
        sum += w * kChordDegree[mode][degree] + 0.65 * w * kClassGivenDegree[mode][degree][chord.cls];
        norm += w + 0.65 * w;
    }
    int previousDegree = -1;
    for (const ChordFacts& chord : chords) {
        if (!kept(chord)) continue;
        const int degree = degreeOf(chord);
        if (previousDegree >= 0) {
            sum += 0.85 * kDegreeTransition[mode][previousDegree][degree];
            norm += 0.85;
        }
        previousDegree = degree;
    }
    return sum / norm * 30.0;
}

double scoreCandidate(const std::vector<ChordFacts>& chords, const KeyFacts& k) {
    const bool minor = k.minor;
    const bool major = !minor;
    const std::size_t count = chords.size();
    double score = k.melodic ? -1.0 : 0.0;
    if (count == 0) return score;

    auto isVType = [&](const ChordFacts& c) {
        return c.cls == 2 || c.cls == 6 || (c.cls == 1 && minor) || (c.cls == 0 && !c.majorSeventh && major);
    };
    // A tonic-quality chord: minor (or suspended) in minor, major-type (or suspended) in major.
    auto isTonicClass = [&](int cls) { return cls == 6 || (minor ? cls == 1 : cls == 0); };
    auto isBorrowed = [&](int rel, int cls) {
        return (rel == 5 && cls == 1) || ((rel == 3 || rel == 8 || rel == 10) && inClasses(cls, {0, 2, 6}));
    };

    // Phase 1: summary of the weighted chords.
    double totalWeight = 0.0, tonicWeight = 0.0, borrowedWeight = 0.0;
    bool hasTonicChord = false, tonicIsDominant = false, hasSubdominantRoot = false;
    bool minorSubdominant = false, hasDominantRoot = false, dominantSupport = false;
    bool harmonicDominant = false;
    int dominantCount = 0;
    for (const ChordFacts& c : chords) {
        const double w = c.weight;
        if (!(w > 0.0)) continue;
        const int rel = relOf(c, k);
        totalWeight += w;
        if (rel == 0) {
            tonicWeight += w;
            if (isTonicClass(c.cls)) hasTonicChord = true;
            if (c.cls == 2) tonicIsDominant = true;
        }
        if (rel == 5) {
            hasSubdominantRoot = true;
            if (c.cls == 1) minorSubdominant = true;
        }
        if (rel == 7) {
            hasDominantRoot = true;
            if (isVType(c)) dominantSupport = true;
            if (minor && (c.cls == 2 || c.cls == 6 || (c.cls == 0 && !c.majorSeventh))) harmonicDominant = true;
        }
        if (major) {
            if (isBorrowed(rel, c.cls)) borrowedWeight += w;
            if (c.cls == 2 && (rel == 0 || rel == 5 || rel == 7)) ++dominantCount;
        }
    }
    const bool bluesFlag = major && dominantCount >= 2 && tonicIsDominant && hasSubdominantRoot && hasDominantRoot;
    const bool heavilyBorrowed = totalWeight > 0.0 && borrowedWeight / totalWeight >= 0.4;
    const ChordFacts& firstChord = chords.front();
    const ChordFacts& lastChord = chords.back();
    const bool startsOnTonic = relOf(firstChord, k) == 0 && isTonicClass(firstChord.cls);
    const bool endsOnTonic = relOf(lastChord, k) == 0 && isTonicClass(lastChord.cls);
    bool minorCadence = false;
    if (minor && count >= 2 && endsOnTonic) {
        const ChordFacts& before = chords[count - 2];
        minorCadence =
            relOf(before, k) == 7 && (before.cls == 2 || before.cls == 6 || (before.cls == 0 && !before.majorSeventh));
    }

    // Phase 2: one term per weighted chord.
    for (std::size_t i = 0; i < count; ++i) {
        const ChordFacts& c = chords[i];
        const double w = c.weight;
        if (!(w > 0.0)) continue;
        const int rel = relOf(c, k);
        const int cls = c.cls;
        const int deg = (*k.degreeOfRel)[rel];

        double inFit = 0.0, outFit = 0.0;
        for (const ToneFit& tone : c.tones) {
            if (inScale(k, rel + tone.residue)) {
                inFit += tone.inScale;
            } else {
                outFit += tone.outScale;
            }
        }
        if (c.bass >= 0 && c.bass != c.root) {
            if (inScale(k, c.bass - k.root + 12)) {
                inFit += 0.15 * w;
            } else {
                outFit += 0.25 * w;
            }
        }

        const bool hasNext = i + 1 < count;
        const int nextRel = hasNext ? relOf(chords[i + 1], k) : -1;
        const int step = c.stepToNext;
        const int prevRel = i > 0 ? relOf(chords[i - 1], k) : -1;
        const int prevCls = i > 0 ? chords[i - 1].cls : kFunctionOther;

        const bool fifthResolution = cls == 2 && step == 5;
        const bool leadingResolution = !fifthResolution && (cls == 3 || cls == 4) && step == 1;
        const bool borrowedChord = major && isBorrowed(rel, cls);
        const bool bluesDominant = major && bluesFlag && cls == 2 && (rel == 0 || rel == 5 || rel == 7);

        double forgiveness = 0.0;
        if (fifthResolution) forgiveness += 0.72 * outFit;
        if (leadingResolution) forgiveness += 0.72 * outFit;
        if (borrowedChord) {
            forgiveness += (hasTonicChord ? 0.78 : heavilyBorrowed ? 0.35 : 0.45) * outFit;
        }
        if (bluesDominant) forgiveness += 0.9 * outFit;
        outFit -= std::min(forgiveness, outFit);
        const double fit = inFit - outFit;

        double t;
        if (deg > 0) {
            t = fit + 0.55 * w;
            const int dCls = (*k.diatonicClass)[deg];
            double match = 0.0;
            bool accepted = true;
            if (cls == dCls) {
                match = 1.5;
            } else if (cls == 2 && dCls == 0 && major && (deg == 4 || deg == 5)) {
                match = 0.8;
            } else if (cls == 0 && dCls == 2 && deg == 5) {
                match = 0.45;
                accepted = !c.majorSeventh;
            } else if (cls == 4 && dCls == 3) {
                match = 0.7;
            } else if (cls == 3 && dCls == 4) {
                match = 0.45;
            } else if (cls == 6 && (dCls == 0 || dCls == 1 || dCls == 2)) {
                match = 0.35;
            } else {
                accepted = false;
            }
            t += match * w;
            if (!accepted) {
                double penalty = 0.6;
                if (cls == 0 && c.majorSeventh && deg == 5) {
                    penalty = 2.4;
                } else if (major && cls == 1 && deg == 7) {
                    penalty = 1.8;
                }
                t -= penalty * w;
            }
        } else {
            t = fit - (borrowedChord ? 0.35 : 0.85) * w;
        }

        if (k.melodic) {
            double bonus = 0.0;
            if (deg == 1 && c.melodicTonicQuality) {
                bonus = 3.2;
            } else if (deg == 2 && cls == 1) {
                bonus = 1.6;
            } else if (deg == 3 && cls == 5) {
                bonus = 1.8;
            } else if (deg == 4 && cls == 2) {
                bonus = 2.2;
            } else if ((deg == 6 || deg == 7) && (cls == 3 || cls == 4)) {
                bonus = 1.7;
            }
            t += bonus * w;
        }

        if (rel == 0) {
            t += 4.0 * w;
            if (isTonicClass(cls)) {
                t += 3.0 * w;
            } else if (cls == 2 && bluesFlag) {
                t += 2.2 * w;
            }
            if (i == 0) t += 2.0 * w;
            if (i + 1 == count) {
                double close;
                const bool cadence = (prevRel == 7 && inClasses(prevCls, {0, 2, 6})) || prevRel == 5 ||
                                     (prevRel == 11 && (prevCls == 3 || prevCls == 4));
                if (cls == 2 && !bluesFlag) {
                    close = 0.8;
                } else if (cadence) {
                    close = 3.2;
                } else if (minor && prevRel == 7 && prevCls == 1) {
                    close = 2.0;
                } else {
                    close = 1.2;
                }
                t += close * w;
            }
            if (count < 3) t += (cls == 2 && !bluesFlag ? 2.0 : 4.5) * w;
        }

        if (rel == 7 && isVType(c)) {
            t += 2.5 * w;
            if (cls == 2 || cls == 6) t += 1.6 * w;
            if (nextRel == 0) {
                if (cls == 2 || cls == 6) {
                    t += 4.2 * w;
                } else if (cls == 0) {
                    t += 3.0 * w;
                } else if (minor && cls == 1) {
                    t += 2.0 * w;
                }
            }
        }

        if (rel == 2 && inClasses(cls, {1, 3, 4}) && nextRel == 7) t += 2.2 * w;

        if (major && rel == 5 && nextRel == 7) t += 1.5 * w;
        if (minor && rel == 5 && cls == 1 && nextRel == 7) t += 2.0 * w;
        if (rel == 11 && (cls == 3 || cls == 4) && nextRel == 0) t += 2.8 * w;

        if (fifthResolution) t += 1.4 * w;
        if (leadingResolution) t += 1.1 * w;
        if (borrowedChord) t += 0.8 * w;
        if (bluesDominant) t += 1.1 * w;

        score += t;
    }

    // Phase 3: whole-list terms.
    if (tonicWeight > 0.0) score += 0.8 * tonicWeight;
    if (major && hasTonicChord && hasSubdominantRoot) score += dominantSupport ? 4.6 : 2.0;
    if (startsOnTonic && endsOnTonic) score += 5.0;
    if (minor && endsOnTonic) score += 1.2;
    if (minorCadence) score += 6.0;
    if (minor && hasTonicChord && minorSubdominant && harmonicDominant) score += 3.0;
    if (bluesFlag) score += 5.5;
    if (count >= 3 && !hasTonicChord && !bluesFlag) score -= 3.2;
    if (heavilyBorrowed && !hasTonicChord && !bluesFlag) score -= 1.5;
    score += likelihood(chords, k);
    return score;
}

// Ranking key of a score: NaN (from non-finite weights) ranks last.
double rankOf(double score) { return std::isnan(score) ? -INFINITY : score; }

}  // namespace

std::vector<WeightedChord> toWeightedChords(const std::vector<KeyInferenceChord>& chords) {
    std::vector<WeightedChord> result;
    result.reserve(chords.size());
    for (const KeyInferenceChord& chord : chords) {
        result.push_back(WeightedChord{chord.root, chord.quality, chord.bass, 1.0});
    }
    return result;
}

std::uint8_t inferMinorScaleType(const MusicalKey& key, const std::vector<KeyInferenceChord>& chords,
                                 std::uint8_t defaultType) {
    if (key.mode != kMinorMode) return key.minorScaleType;
    if (chords.empty()) return defaultType;
    auto any = [](std::string_view q, std::initializer_list<std::string_view> names) {
        return std::find(names.begin(), names.end(), q) != names.end();
    };
    int melodic = 0;
    int natural = 0;
    for (const KeyInferenceChord& chord : chords) {
        const std::string_view q = chord.quality;
        // A parsed major triad is "maj"; the empty text means the same.
        const bool majorTriad = q.empty() || q == "maj";
        switch (degreeOfChordRoot(key, static_cast<PitchClass>(reducePitchClass(chord.root)))) {
            case 1:
                if (isMelodicMinorTonicQuality(q))
                    melodic += 3;
                else if (any(q, {"m", "m7", "m6", "m69", "madd9"}))
                    natural += 1;
                break;
            case 2:
                if (any(q, {"m", "m7", "m9", "m11"}))
                    melodic += 2;
                else if (any(q, {"dim", "m7b5"}))
                    natural += 2;
                break;
            case 4:
                if (any(q, {"7", "9", "11", "13", "7sus4"}))
                    melodic += 2;
                else if (any(q, {"m", "m7", "m9", "m11"}))
                    natural += 2;
                break;
            case 6:
                if (any(q, {"dim", "m7b5"}))
                    melodic += 2;
                else if (majorTriad || any(q, {"maj7", "6", "69", "add9"}))
                    natural += 2;
                break;
            case 7:
                if (any(q, {"dim", "m7b5"}))
                    melodic += 2;
                else if (majorTriad || any(q, {"7", "maj7"}))
                    natural += 1;
                break;
            default:
                break;
        }
    }
    return melodic > natural ? kMelodicMinorScale : defaultType;
}

KeyCandidate scoreKeyCandidate(const std::vector<WeightedChord>& chords, const MusicalKey& key) {
    return KeyCandidate{key, scoreCandidate(chordFacts(chords), keyFacts(key))};
}

double scoreProgressionLikelihood(const MusicalKey& key, const std::vector<WeightedChord>& chords) {
    return likelihood(chordFacts(chords), keyFacts(key));
}

KeyInferenceResult inferKey(const std::vector<WeightedChord>& chords) {
    KeyInferenceResult result;
    if (chords.empty()) return result;

    const std::vector<ChordFacts> facts = chordFacts(chords);
    std::vector<KeyCandidate> candidates;
    candidates.reserve(36);
    for (int root = 0; root < 12; ++root) {
        for (const auto& [mode, scale] :
             {std::pair{kMajorMode, kNaturalMinorScale}, std::pair{kMinorMode, kNaturalMinorScale},
              std::pair{kMinorMode, kMelodicMinorScale}}) {
            const MusicalKey key{static_cast<PitchClass>(root), mode, scale};
            candidates.push_back(KeyCandidate{key, scoreCandidate(facts, keyFacts(key))});
        }
    }
    // Stable: equal scores, modes and scale types keep root order.
    std::stable_sort(candidates.begin(), candidates.end(), [](const KeyCandidate& a, const KeyCandidate& b) {
        const double sa = rankOf(a.score);
        const double sb = rankOf(b.score);
        if (sa != sb) return sa > sb;
        const bool aMinor = a.key.isMinor();
        const bool bMinor = b.key.isMinor();
        if (aMinor != bMinor) return !aMinor;
        return !a.key.isMelodicMinor() && b.key.isMelodicMinor();
    });

    const KeyCandidate& best = candidates[0];
    const double runnerUp = candidates[1].score;
    double confidence = (best.score - runnerUp) / std::max(std::abs(best.score) + 1.0, 4.0);
    if (!std::isfinite(confidence)) confidence = 0.0;
    result.key = best.key;
    result.score = best.score;
    result.confidence = std::clamp(confidence, 0.0, 1.0);
    return result;
}

}  // namespace quillex
