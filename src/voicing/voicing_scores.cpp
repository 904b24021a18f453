// Voicing and transition scores, roughness from a partial table, and voice matching.
#include "voicing/voicing_scores.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "theory/pitch_class.h"
#include "theory/quality_family.h"

namespace quillex {
namespace {

constexpr int kPartials = 11;

double computePartialFrequency(std::int32_t note, int k) {
    const double pitch = std::round((note + 12.0 * std::log2(k + 1.0)) * 1e6) / 1e6;
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

const std::array<double, 128 * kPartials>& partialTable() {
    static const std::array<double, 128 * kPartials> table = [] {
        std::array<double, 128 * kPartials> t{};
        for (int note = 0; note < 128; ++note) {
            for (int k = 0; k < kPartials; ++k) t[note * kPartials + k] = computePartialFrequency(note, k);
        }
        return t;
    }();
    return table;
}

struct Partial {
    double frequency;
    double amplitude;
};

// The roughness weight (4s e^(1 - 4s))^2 of two partial frequencies, or
// nothing when s exceeds 1.2 (where the walk over partials stops).
double pairWeight(double fi, double fj, bool& beyond) {
    const double s = (fj - fi) / (1.72 * std::pow((fi + fj) / 2.0, 0.65));
    beyond = s > 1.2;
    const double g = 4.0 * s * std::exp(1.0 - 4.0 * s);
    return g * g;
}

// Every distinct partial frequency of MIDI 0..127, ascending, with the pair
// weights of each against the higher ones up to safely past the stop point.
// Summing from this table visits the same pairs in the same order, with the
// same values, as walking the partials directly.
struct PartialPairTable {
    std::vector<double> frequencies;           // distinct, ascending
    std::array<std::uint16_t, 128 * 11> id{};  // (note, k) -> index into frequencies
    std::vector<std::uint32_t> offset;         // per index: first weight of its row
    std::vector<std::uint16_t> rowLength;      // weights stored in the row
    std::vector<double> weight;                // (4s e^(1 - 4s))^2 per stored pair
    std::vector<std::uint8_t> beyond;          // 1 where s > 1.2
};

const PartialPairTable& partialPairTable() {
    static const PartialPairTable table = [] {
        PartialPairTable t;
        std::vector<double> all;
        for (int note = 0; note < 128; ++note) {
            for (int k = 0; k < 11; ++k) all.push_back(computePartialFrequency(note, k));
        }
        t.frequencies = all;
        std::sort(t.frequencies.begin(), t.frequencies.end());
        t.frequencies.erase(std::unique(t.frequencies.begin(), t.frequencies.end()), t.frequencies.end());
        for (std::size_t i = 0; i < all.size(); ++i) {
            t.id[i] = static_cast<std::uint16_t>(std::lower_bound(t.frequencies.begin(), t.frequencies.end(), all[i]) -
                                                 t.frequencies.begin());
        }
        const std::size_t n = t.frequencies.size();
        t.offset.resize(n);
        t.rowLength.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            t.offset[i] = static_cast<std::uint32_t>(t.weight.size());
            std::size_t length = 0;
            for (std::size_t j = i + 1; j < n; ++j) {
                const double fi = t.frequencies[i];
                const double fj = t.frequencies[j];
                bool over = false;
                const double w = pairWeight(fi, fj, over);
                t.weight.push_back(w);
                t.beyond.push_back(over ? 1 : 0);
                ++length;
                // Far past the stop point: every later pair stops the walk too.
                if ((fj - fi) / (1.72 * std::pow((fi + fj) / 2.0, 0.65)) > 1.5) break;
            }
            t.rowLength[i] = static_cast<std::uint16_t>(length);
        }
        return t;
    }();
    return table;
}

struct KeptPartial {
    std::uint16_t id;
    double amplitude;
};

// Roughness from the pair table; only for notes within MIDI 0..127. The
// partials are gathered by frequency index in a bit set: equal frequencies add
// their amplitudes in note-list order, as the stable walk over sorted
// partials does, and the set bits come out in ascending frequency.
double tabledRoughness(std::span<const std::int32_t> voicing) {
    const PartialPairTable& t = partialPairTable();
    constexpr std::size_t kWords = (128 * kPartials + 63) / 64;
    thread_local std::array<std::uint64_t, kWords> present{};
    thread_local std::vector<double> amplitudeOf(128 * kPartials, 0.0);
    thread_local std::vector<KeptPartial> kept;
    for (const std::int32_t note : voicing) {
        for (int k = 0; k < kPartials; ++k) {
            const std::uint16_t id = t.id[static_cast<std::size_t>(note * kPartials + k)];
            present[id / 64] |= std::uint64_t{1} << (id % 64);
            amplitudeOf[id] += 1.0 / (k + 1);
        }
    }
    kept.clear();
    for (std::size_t word = 0; word < kWords; ++word) {
        for (std::uint64_t bits = present[word]; bits != 0; bits &= bits - 1) {
            const auto id = static_cast<std::uint16_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
            kept.push_back({id, amplitudeOf[id]});
            amplitudeOf[id] = 0.0;
        }
        present[word] = 0;
    }
    if (kept.size() < 2) return 0.0;
    double squares = 0.0;
    for (const KeptPartial& partial : kept) squares += partial.amplitude * partial.amplitude;
    if (squares == 0.0) return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::uint16_t row = kept[i].id;
        const std::uint32_t base = t.offset[row];
        const std::size_t length = t.rowLength[row];
        for (std::size_t j = i + 1; j < kept.size(); ++j) {
            const std::size_t column = static_cast<std::size_t>(kept[j].id) - row - 1;
            if (column >= length || t.beyond[base + column]) break;
            sum += kept[i].amplitude * kept[j].amplitude * t.weight[base + column];
        }
    }
    return sum / squares;
}

bool applies(double weight, StyleMask styles, const VoicerOptions& options) {
    return ruleTermApplies(weight, styles, options.style);
}

using NotePair = std::pair<std::int32_t, std::int32_t>;

// Dynamic-time-warping alignment of the longer list A (the previous one on
// equal length) against B, each extended by its own first note. The table
// and the pair list are sized from the note counts: `table` holds
// (p + 1) x (q + 1) cells and `pairs` room for p + q pairs.
std::int64_t alignCore(std::span<const std::int32_t> previous, std::span<const std::int32_t> next, std::int64_t* table,
                       std::int64_t* ext, NotePair* pairs, std::size_t& pairCount) {
    pairCount = 0;
    if (previous.empty() || next.empty()) return 0;
    const bool swapped = previous.size() < next.size();
    const std::span<const std::int32_t> a = swapped ? next : previous;
    const std::span<const std::int32_t> b = swapped ? previous : next;
    const std::size_t p = a.size();
    const std::size_t q = b.size();
    const std::size_t cols = q + 1;
    std::int64_t* av = ext;
    std::int64_t* bv = ext + p + 1;
    for (std::size_t i = 0; i < p; ++i) av[i] = a[i];
    av[p] = a[0];
    for (std::size_t j = 0; j < q; ++j) bv[j] = b[j];
    bv[q] = b[0];
    auto d = [&](std::size_t i, std::size_t j) -> std::int64_t& { return table[i * cols + j]; };

    d(0, 0) = std::llabs(av[0] - bv[0]);
    for (std::size_t j = 1; j <= q; ++j) d(0, j) = std::llabs(av[0] - bv[j]) + d(0, j - 1);
    for (std::size_t i = 1; i <= p; ++i) {
        const std::int64_t ai = av[i];
        const std::int64_t* up = table + (i - 1) * cols;
        std::int64_t* row = table + i * cols;
        row[0] = std::llabs(ai - bv[0]) + up[0];
        for (std::size_t j = 1; j <= q; ++j) {
            row[j] = std::llabs(ai - bv[j]) + std::min(std::min(up[j - 1], up[j]), row[j - 1]);
        }
    }
    const std::int64_t movement = std::min(std::min(d(p - 1, q - 1), d(p, q - 1)), d(p - 1, q));

    std::size_t i = p;
    std::size_t j = q;
    while (i != 0 || j != 0) {
        std::int64_t best = std::numeric_limits<std::int64_t>::max();
        std::size_t ni = i;
        std::size_t nj = j;
        if (i > 0 && j > 0) {
            best = d(i - 1, j - 1);
            ni = i - 1;
            nj = j - 1;
        }
        if (i > 0 && d(i - 1, j) < best) {
            best = d(i - 1, j);
            ni = i - 1;
            nj = j;
        }
        if (j > 0 && d(i, j - 1) < best) {
            best = d(i, j - 1);
            ni = i;
            nj = j - 1;
        }
        i = ni;
        j = nj;
        const auto x = static_cast<std::int32_t>(av[i]);
        const auto y = static_cast<std::int32_t>(bv[j]);
        pairs[pairCount++] = swapped ? NotePair{y, x} : NotePair{x, y};
    }
    std::reverse(pairs, pairs + pairCount);
    return movement;
}

double scoreMove(std::span<const std::int32_t> a, std::span<const std::int32_t> b, std::int64_t movement,
                 std::span<const NotePair> pairs, const ChordScoreFacts& previousChord,
                 const ChordScoreFacts& nextChord, const VoicerOptions& o, const LearnedWeights& w);

// Small alignments use stack buffers; larger ones reusable per-thread ones.
template <typename Use>
auto withAlignment(std::span<const std::int32_t> previous, std::span<const std::int32_t> next, Use&& use) {
    constexpr std::size_t kStackCells = 256;
    constexpr std::size_t kStackPairs = 64;
    const std::size_t cells = (previous.size() + 1) * (next.size() + 1);
    const std::size_t pairRoom = previous.size() + next.size();
    std::size_t pairCount = 0;
    if (cells <= kStackCells && pairRoom <= kStackPairs) {
        std::int64_t table[kStackCells];
        std::int64_t ext[kStackPairs + 2];
        NotePair pairs[kStackPairs];
        const std::int64_t movement = alignCore(previous, next, table, ext, pairs, pairCount);
        return use(movement, std::span<const NotePair>(pairs, pairCount));
    }
    thread_local std::vector<std::int64_t> table;
    thread_local std::vector<std::int64_t> ext;
    thread_local std::vector<NotePair> pairs;
    table.resize(cells);
    ext.resize(pairRoom + 2);
    pairs.resize(std::max<std::size_t>(pairRoom, 1));
    const std::int64_t movement = alignCore(previous, next, table.data(), ext.data(), pairs.data(), pairCount);
    return use(movement, std::span<const NotePair>(pairs.data(), pairCount));
}

}  // namespace

ChordScoreFacts chordScoreFacts(const Chord& chord) {
    ChordScoreFacts facts;
    facts.root = reducePitchClass(chord.root);
    if (chord.bass) facts.slashBass = reducePitchClass(*chord.bass);
    for (const std::int32_t interval : chord.intervals) {
        const std::int32_t r = reducePitchClass(interval);
        if (r == 6 || r == 7 || r == 8) facts.hasFifth = true;
    }
    const ChordToneSet tones = chordToneDegrees(ChordQuality{chord.quality, chord.intervals});
    for (const ChordToneSlot& tone : tones.tones) {
        if (tone.role != kRoleTension) continue;
        const std::uint8_t d = tone.degree;
        if (d == 11 || d == 13 || d == 14 || d == 15 || d == 16) {
            facts.lowTensions = static_cast<std::uint16_t>(
                facts.lowTensions | (1u << reducePitchClass(static_cast<std::int64_t>(facts.root) + tone.interval)));
        }
    }
    return facts;
}

double partialFrequency(std::int32_t note, int k) {
    if (note >= 0 && note < 128 && k >= 0 && k < kPartials) return partialTable()[note * kPartials + k];
    return computePartialFrequency(note, k);
}

double computeRoughness(std::span<const std::int32_t> voicing) {
    if (voicing.size() < 2) return 0.0;
    thread_local std::vector<Partial> partials;
    thread_local std::vector<Partial> kept;
    partials.clear();
    for (const std::int32_t note : voicing) {
        for (int k = 0; k < kPartials; ++k) partials.push_back({partialFrequency(note, k), 1.0 / (k + 1)});
    }
    std::stable_sort(partials.begin(), partials.end(),
                     [](const Partial& x, const Partial& y) { return x.frequency < y.frequency; });
    kept.clear();
    for (const Partial& partial : partials) {
        if (!kept.empty() && std::fabs(partial.frequency - kept.back().frequency) < 1e-9) {
            kept.back().amplitude += partial.amplitude;
        } else {
            kept.push_back(partial);
        }
    }
    if (kept.size() < 2) return 0.0;
    double squares = 0.0;
    for (const Partial& partial : kept) squares += partial.amplitude * partial.amplitude;
    if (squares == 0.0) return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const double fi = kept[i].frequency;
        for (std::size_t j = i + 1; j < kept.size(); ++j) {
            bool beyond = false;
            const double weight = pairWeight(fi, kept[j].frequency, beyond);
            if (beyond) break;
            sum += kept[i].amplitude * kept[j].amplitude * weight;
        }
    }
    return sum / squares;
}

double roughnessValue(std::span<const std::int32_t> voicing) {
    if (voicing.size() < 2) return 0.0;
    // The table serves MIDI notes, and its sort keys hold 16-bit positions.
    const bool inRange = std::all_of(voicing.begin(), voicing.end(), [](std::int32_t n) { return n >= 0 && n < 128; });
    return inRange ? tabledRoughness(voicing) : computeRoughness(voicing);
}

double roughnessCost(std::span<const std::int32_t> voicing, VoicerPortCacheState& cache) {
    if (voicing.size() < 2) return 0.0;
    thread_local std::vector<std::int32_t> key;
    key.assign(voicing.begin(), voicing.end());
    if (const double* cached = cache.roughness.find(key)) return *cached;
    const double value = roughnessValue(voicing);
    cache.roughness.put(key, value);
    return value;
}

double roughnessCost(std::span<const std::int32_t> voicing, VoicerPortCacheState& cache, double value) {
    if (voicing.size() < 2) return 0.0;
    thread_local std::vector<std::int32_t> key;
    key.assign(voicing.begin(), voicing.end());
    if (const double* cached = cache.roughness.find(key)) return *cached;
    cache.roughness.put(key, value);
    return value;
}

double chordToneRoleCost(const Chord& chord, std::span<const std::int32_t> voicing, const VoicerOptions& options) {
    return chordToneRoleCost(chordScoreFacts(chord), voicing, options);
}

double chordToneRoleCost(const ChordScoreFacts& chord, std::span<const std::int32_t> v, const VoicerOptions& o) {
    const std::size_t n = v.size();
    double cost = 0.0;
    if (applies(o.lowIntervalWeight, o.lowIntervalStyles, o) && n >= 2 &&
        static_cast<std::int64_t>(v[1]) - v[0] < o.lowIntervalMin) {
        cost += static_cast<double>(o.lowIntervalMin - (static_cast<std::int64_t>(v[1]) - v[0])) * o.lowIntervalWeight;
    }
    if (applies(o.splitFifthWeight, o.splitFifthStyles, o) && !chord.slashBass && n >= 2 &&
        v[1] <= o.splitFifthCeiling && reducePitchClass(static_cast<std::int64_t>(v[0]) - chord.root) == 0 &&
        chord.hasFifth) {
        const std::int32_t second = reducePitchClass(static_cast<std::int64_t>(v[1]) - chord.root);
        if (second != 6 && second != 7 && second != 8) cost += o.splitFifthWeight;
    }
    if (applies(o.lowClusterWeight, o.lowClusterStyles, o) && n >= 2 && v[1] <= o.lowClusterCeiling &&
        static_cast<std::int64_t>(v[1]) - v[0] < o.lowClusterMin) {
        cost += static_cast<double>(o.lowClusterMin - (static_cast<std::int64_t>(v[1]) - v[0])) * o.lowClusterWeight;
    }
    if (applies(o.lowTensionWeight, o.lowTensionStyles, o) && n >= 1 && chord.lowTensions != 0) {
        const std::size_t count =
            static_cast<std::size_t>(std::clamp<std::int64_t>(o.lowTensionCount, 0, static_cast<std::int64_t>(n)));
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t pc = reducePitchClass(v[i]);
            if (((chord.lowTensions >> pc) & 1u) == 0) continue;
            if (i == 0 && chord.slashBass && *chord.slashBass == pc) continue;
            cost += o.lowTensionWeight;
        }
    }
    if (o.allowBassChanges && !chord.slashBass && n >= 1) {
        const std::int32_t d = reducePitchClass(static_cast<std::int64_t>(v[0]) - chord.root);
        if (applies(o.inversionWeight, o.inversionStyles, o) && d != 0) cost += o.inversionWeight;
        if (applies(o.bassDegreeWeight, o.bassDegreeStyles, o)) {
            switch (d) {
                case 0:
                case 3:
                case 4:
                    break;
                case 6:
                case 7:
                case 8:
                    cost += o.bassDegreeWeight * o.bassFifthFactor;
                    break;
                case 10:
                case 11:
                    cost += o.bassDegreeWeight * o.bassSeventhFactor;
                    break;
                default:
                    cost += o.bassDegreeWeight * o.bassOtherFactor;
                    break;
            }
        }
        const std::int64_t allowance = static_cast<std::int64_t>(o.bottom) + o.highBassAllowance;
        if (applies(o.highBassWeight, o.highBassStyles, o) && d != 0 && v[0] > allowance) {
            cost += static_cast<double>(v[0] - allowance) * o.highBassWeight;
        }
        if (applies(o.lowRootWeight, o.lowRootStyles, o) && d == 0 && v[0] < o.bottom) {
            cost += static_cast<double>(static_cast<std::int64_t>(o.bottom) - v[0]) * o.lowRootWeight;
        }
    }
    if (applies(o.wideSpanWeight, o.wideSpanStyles, o) && n >= 2) {
        const std::int64_t span = static_cast<std::int64_t>(v[n - 1]) - v[0];
        if (span > o.wideSpanLimit) cost += static_cast<double>(span - o.wideSpanLimit) * o.wideSpanWeight;
    }
    if (applies(o.upperGapWeight, o.upperGapStyles, o) && n == 3) {
        const std::int64_t gap = static_cast<std::int64_t>(v[2]) - v[1];
        if (gap > o.upperGapLimit) cost += static_cast<double>(gap - o.upperGapLimit) * o.upperGapWeight;
    }
    return cost;
}

double voicingCost(std::span<const std::int32_t> voicing, const Chord& chord, const VoicerOptions& options,
                   const LearnedWeights& weights, VoicerPortCacheState& cache) {
    return voicingCost(voicing, chordScoreFacts(chord), options, weights, cache);
}

double voicingCost(std::span<const std::int32_t> v, const ChordScoreFacts& chord, const VoicerOptions& o,
                   const LearnedWeights& w, VoicerPortCacheState& cache) {
    return voicingCostWithRoughness(v, chord, o, w, roughnessCost(v, cache));
}

double voicingCostWithRoughness(std::span<const std::int32_t> v, const ChordScoreFacts& chord, const VoicerOptions& o,
                                const LearnedWeights& w, double roughness) {
    const std::int64_t n = static_cast<std::int64_t>(v.size());
    double cost = 0.0;
    cost += static_cast<double>(std::llabs(n - o.targetNotes)) * w[2];
    if (n >= 1) {
        cost += static_cast<double>(std::max<std::int64_t>(static_cast<std::int64_t>(v.back()) - o.top, 0)) * w[3];
        cost += static_cast<double>(std::max<std::int64_t>(static_cast<std::int64_t>(o.bottom) - v.front(), 0)) * w[4];
        double sum = 0.0;
        for (const std::int32_t note : v) sum += note;
        cost += std::fabs(sum / static_cast<double>(n) - o.middle) * w[5];
    }
    cost += roughness * w[7];
    cost += chordToneRoleCost(chord, v, o);
    return cost;
}

VoiceMatch matchVoices(std::span<const std::int32_t> previous, std::span<const std::int32_t> next) {
    return withAlignment(previous, next, [](std::int64_t movement, std::span<const NotePair> pairs) {
        return VoiceMatch{movement, std::vector<NotePair>(pairs.begin(), pairs.end())};
    });
}

double transitionRuleCost(std::span<const std::int32_t> a, std::span<const std::int32_t> b,
                          const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord,
                          const VoicerOptions& o) {
    double cost = 0.0;
    const bool both = !a.empty() && !b.empty();
    if (applies(o.sameTopWeight, o.sameTopStyles, o) && both && a.back() == b.back()) cost += o.sameTopWeight;
    if (o.allowBassChanges && !previousChord.slashBass && !nextChord.slashBass) {
        if (applies(o.sameBassWeight, o.sameBassStyles, o) && both && a.front() == b.front()) {
            cost += o.sameBassWeight;
        }
        if (applies(o.bassOctaveLeapWeight, o.bassOctaveLeapStyles, o) && both &&
            reducePitchClass(a.front()) == reducePitchClass(b.front()) &&
            std::llabs(static_cast<std::int64_t>(b.front()) - a.front()) >= 12) {
            cost += o.bassOctaveLeapWeight;
        }
    }
    if (applies(o.closedGapWeight, o.closedGapStyles, o) && b.size() == 3) {
        const std::int64_t gap = static_cast<std::int64_t>(b[2]) - b[1];
        if (gap > o.closedGapLimit) cost += static_cast<double>(gap - o.closedGapLimit) * o.closedGapWeight;
    }
    return cost;
}

double transitionCost(std::span<const std::int32_t> previous, std::span<const std::int32_t> next,
                      const Chord& previousChord, const Chord& nextChord, const VoicerOptions& options,
                      const LearnedWeights& weights) {
    return transitionCost(previous, next, chordScoreFacts(previousChord), chordScoreFacts(nextChord), options, weights);
}

double transitionCost(std::span<const std::int32_t> a, std::span<const std::int32_t> b,
                      const ChordScoreFacts& previousChord, const ChordScoreFacts& nextChord, const VoicerOptions& o,
                      const LearnedWeights& w) {
    return withAlignment(a, b, [&](std::int64_t movement, std::span<const NotePair> pairs) {
        return scoreMove(a, b, movement, pairs, previousChord, nextChord, o, w);
    });
}

namespace {

double scoreMove(std::span<const std::int32_t> a, std::span<const std::int32_t> b, std::int64_t movement,
                 std::span<const NotePair> pairs, const ChordScoreFacts& previousChord,
                 const ChordScoreFacts& nextChord, const VoicerOptions& o, const LearnedWeights& w) {
    bool parallel = false;
    for (std::size_t i = 0; i < pairs.size() && !parallel; ++i) {
        const std::int64_t moveI = static_cast<std::int64_t>(pairs[i].second) - pairs[i].first;
        if (moveI == 0) continue;
        for (std::size_t j = i + 1; j < pairs.size(); ++j) {
            const std::int32_t interval = reducePitchClass(static_cast<std::int64_t>(pairs[j].first) - pairs[i].first);
            if ((interval == 0 || interval == 7) &&
                static_cast<std::int64_t>(pairs[j].second) - pairs[j].first == moveI) {
                parallel = true;
                break;
            }
        }
    }
    const bool both = !a.empty() && !b.empty();
    const bool bothWide = a.size() >= 2 && b.size() >= 2;

    bool parallelOuter = false;
    if (bothWide) {
        const std::int64_t outer = static_cast<std::int64_t>(a.back()) - a.front();
        const std::int32_t r = reducePitchClass(outer);
        parallelOuter =
            (r == 0 || r == 7) && static_cast<std::int64_t>(b.back()) - b.front() == outer && b.front() != a.front();
    }
    bool overlap = false;
    for (std::size_t k = 0; k + 1 < pairs.size(); ++k) {
        if (pairs[k].second > pairs[k + 1].first || pairs[k + 1].second < pairs[k].first) {
            overlap = true;
            break;
        }
    }
    bool hiddenOctave = false;
    if (bothWide) {
        const std::int64_t outer = static_cast<std::int64_t>(b.back()) - b.front();
        const std::int64_t t = static_cast<std::int64_t>(b.back()) - a.back();
        const std::int64_t u = static_cast<std::int64_t>(b.front()) - a.front();
        hiddenOctave = outer >= 1 && outer % 12 == 0 && t * u >= 1 && std::llabs(t) >= 3 && std::llabs(u) >= 3;
    }

    double cost = 0.0;
    cost += (parallel ? 1.0 : 0.0) * w[0];
    cost += static_cast<double>(std::llabs(static_cast<std::int64_t>(b.size()) - static_cast<std::int64_t>(a.size()))) *
            w[1];
    cost += (both ? static_cast<double>(std::llabs(static_cast<std::int64_t>(b.back()) - a.back())) : 0.0) * w[8];
    cost += (parallelOuter ? 1.0 : 0.0) * w[9];
    cost += (overlap ? 1.0 : 0.0) * w[10];
    cost += static_cast<double>(movement) * w[11];
    cost += (hiddenOctave ? 1.0 : 0.0) * w[6];
    cost += transitionRuleCost(a, b, previousChord, nextChord, o);
    return cost;
}

}  // namespace
}  // namespace quillex
