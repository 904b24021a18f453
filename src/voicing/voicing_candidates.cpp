// Candidate enumeration (depth first over octaves), register widening and caching.
#include "voicing/voicing_candidates.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <unordered_set>

#include "protocol/json_number.h"
#include "theory/pitch_class.h"
#include "theory/quality_family.h"

namespace quillex {
namespace {

constexpr const char* kEmptySet = "empty pitch-class set not permitted";
constexpr const char* kSetTooLarge =
    "cannot voice this pitch-class set with requested maxNotes without omitting pitch classes";
constexpr const char* kBassMissing = "fixed bass pitch class missing from pitch-class set";
constexpr const char* kChordTooLarge = "cannot voice this chord with requested maxNotes without omitting pitch classes";
constexpr const char* kBudgetExceeded = "candidate enumeration exceeded its work budget; the chord needs fewer notes";

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Loosening a limit only adds voicings, so the values of [lo, hi] that fit form
// one run reaching the loose end. Binary search finds the run's tight end: the
// highest value that fits when `tightIsHigh`, else the lowest; none when none fits.
template <typename Fits>
std::optional<std::int64_t> tightestFit(std::int64_t lo, std::int64_t hi, bool tightIsHigh, Fits fits) {
    std::optional<std::int64_t> tightest;
    while (lo <= hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        const bool fit = fits(mid);
        if (fit) tightest = mid;
        if (fit == tightIsHigh) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return tightest;
}

using VoicingSet = std::unordered_set<CandidateVoicing, MidiListHash>;

// A set of notes as bits above an origin note; identifies a sorted voicing.
struct NoteMask {
    std::uint64_t low = 0;
    std::uint64_t high = 0;

    void set(std::int64_t bit) { (bit < 64 ? low : high) |= std::uint64_t{1} << (bit & 63); }
    bool test(std::int64_t bit) const { return (((bit < 64 ? low : high) >> (bit & 63)) & 1u) != 0; }
    friend bool operator==(const NoteMask&, const NoteMask&) = default;
};

struct NoteMaskHash {
    std::size_t operator()(const NoteMask& m) const noexcept {
        return static_cast<std::size_t>(hashCombine(hashCombine(0, m.low), m.high));
    }
};

// The notes an enumeration can place and, when they fit in 128 bits, the
// origin of their masks; duplicate checks then compare masks instead of lists.
struct NoteRange {
    std::int64_t origin = 0;
    bool useMask = false;
};

NoteRange noteRange(std::span<const std::int64_t> bases, std::int64_t bottom, std::int64_t top) {
    if (bases.empty()) return {bottom, false};
    const std::int64_t first = std::max(bottom, bases.front());
    const std::int64_t last = std::min(top, bases.back() + 11);
    return {first, last - first < 128};
}

// The voicings already kept by one enumeration (or one upper placement).
class VoicingDeduper {
public:
    explicit VoicingDeduper(const NoteRange& range) : range_(range) {}

    // True the first time this note set is offered.
    bool insert(const CandidateVoicing& sorted, const NoteMask& mask) {
        if (range_.useMask) return masks_.insert(mask).second;
        return lists_.insert(sorted).second;
    }

private:
    NoteRange range_;
    std::unordered_set<NoteMask, NoteMaskHash> masks_;
    VoicingSet lists_;
};

// Depth-first placement of a list of pitch classes into a window, octave
// bases ascending at each position; completed voicings go to `emit` sorted,
// with their note mask.
class Placer {
public:
    Placer(std::span<const std::int64_t> bases, const NoteRange& range, std::int64_t bottom, std::int64_t top,
           std::int64_t maxSpan, std::uint64_t& used)
        : bases_(bases), range_(range), bottom_(bottom), top_(top), maxSpan_(maxSpan), used_(used) {}

    template <typename Emit>
    void place(const std::vector<std::uint8_t>& list, Emit&& emit) {
        spend();
        chosen_.clear();
        mask_ = NoteMask{};
        recurse(list, 0, 0, 0, emit);
    }

private:
    void spend() {
        if (++used_ > kEnumerationPlacementBudget) throw std::runtime_error(kBudgetExceeded);
    }

    bool taken(std::int64_t note) const {
        if (range_.useMask) return mask_.test(note - range_.origin);
        return std::find(chosen_.begin(), chosen_.end(), note) != chosen_.end();
    }

    template <typename Emit>
    void recurse(const std::vector<std::uint8_t>& list, std::size_t pos, std::int64_t lo, std::int64_t hi, Emit& emit) {
        if (pos == list.size()) {
            sorted_ = chosen_;
            std::sort(sorted_.begin(), sorted_.end());
            emit(sorted_, mask_);
            return;
        }
        for (const std::int64_t base : bases_) {
            const std::int64_t note = list[pos] + base;
            if (note < bottom_ || note > top_) continue;
            if (taken(note)) continue;
            const std::int64_t newLo = chosen_.empty() ? note : std::min(lo, note);
            const std::int64_t newHi = chosen_.empty() ? note : std::max(hi, note);
            if (newHi - newLo > maxSpan_) continue;
            spend();
            const NoteMask saved = mask_;
            if (range_.useMask) mask_.set(note - range_.origin);
            chosen_.push_back(static_cast<std::int32_t>(note));
            recurse(list, pos + 1, newLo, newHi, emit);
            chosen_.pop_back();
            mask_ = saved;
        }
    }

    std::span<const std::int64_t> bases_;
    NoteRange range_;
    std::int64_t bottom_;
    std::int64_t top_;
    std::int64_t maxSpan_;
    std::uint64_t& used_;
    CandidateVoicing chosen_;
    CandidateVoicing sorted_;
    NoteMask mask_;
};

// Every multiset of `size` indices into `count` items, non-decreasing, in
// lexicographic order.
template <typename Visit>
void forEachMultiset(std::size_t count, std::size_t size, Visit&& visit) {
    std::vector<std::size_t> idx(size, 0);
    if (count == 0) return;
    while (true) {
        visit(idx);
        std::size_t i = size;
        while (i > 0 && idx[i - 1] == count - 1) --i;
        if (i == 0) return;
        const std::size_t next = idx[i - 1] + 1;
        for (std::size_t j = i - 1; j < size; ++j) idx[j] = next;
    }
}

std::vector<std::uint8_t> sortedUnique(std::span<const std::uint8_t> pitchClasses) {
    std::vector<std::uint8_t> sorted(pitchClasses.begin(), pitchClasses.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

bool spanWithin(const CandidateVoicing& v, std::int64_t minSpan, std::int64_t maxSpan) {
    if (v.empty()) return false;
    const std::int64_t span = static_cast<std::int64_t>(v.back()) - v.front();
    return span >= minSpan && span <= maxSpan;
}

std::int32_t firstCount(std::size_t c, std::int32_t fewest) { return std::max(static_cast<std::int32_t>(c), fewest); }

}  // namespace

std::vector<std::uint8_t> voicerChordPitchClasses(const Chord& chord) {
    const std::uint8_t root = reducePitchClass(chord.root);
    const std::uint8_t bass = chord.bass ? reducePitchClass(*chord.bass) : root;
    bool present[12] = {};
    present[root] = true;
    for (const std::int32_t interval : chord.intervals) {
        present[reducePitchClass(static_cast<std::int64_t>(root) + interval)] = true;
    }
    std::vector<std::uint8_t> result{bass};
    for (std::uint8_t pc = 0; pc < 12; ++pc) {
        if (present[pc] && pc != bass) result.push_back(pc);
    }
    return result;
}

std::uint16_t bassEligibleSet(const Chord& chord, bool allowBassChanges) {
    if (!allowBassChanges || chord.bass) return 0;
    const std::int64_t root = reducePitchClass(chord.root);
    std::uint16_t set = static_cast<std::uint16_t>(1u << root);
    const ChordToneSet tones = chordToneDegrees(ChordQuality{chord.quality, chord.intervals});
    for (const ChordToneSlot& tone : tones.tones) {
        if (tone.role == kRoleTension) continue;
        set = static_cast<std::uint16_t>(set | (1u << reducePitchClass(root + tone.interval)));
    }
    return set;
}

std::vector<std::int64_t> octaveBases(std::int32_t lowOctaveOffset, std::int32_t highOctaveOffset, std::int64_t bottom,
                                      std::int64_t top) {
    const std::int64_t first = std::max<std::int64_t>(lowOctaveOffset, floorDiv(bottom, 12) - 5);
    const std::int64_t last = std::min<std::int64_t>(highOctaveOffset, floorDiv(top, 12) - 5);
    std::vector<std::int64_t> bases;
    for (std::int64_t offset = first; offset <= last; ++offset) bases.push_back((offset + 5) * 12);
    return bases;
}

CandidateNoteCounts candidateNoteCounts(std::int32_t pitchClassCount, const VoicerOptions& options) {
    if (options.style == VoicingStyle::Closed) return {pitchClassCount, pitchClassCount};
    if (options.maxNotes < pitchClassCount) throw std::runtime_error(kChordTooLarge);
    return {std::max(pitchClassCount, options.minNotes), options.maxNotes};
}

CandidateList enumeratePitchClassVoicings(std::span<const std::uint8_t> pitchClasses,
                                          std::span<const std::int64_t> bases, std::int32_t bottom, std::int32_t top,
                                          std::int32_t minSpan, std::int32_t maxSpan, bool allowDoubling,
                                          std::int32_t fewest, std::int32_t most) {
    if (pitchClasses.empty()) throw std::runtime_error(kEmptySet);
    const std::vector<std::uint8_t> p = sortedUnique(pitchClasses);
    const std::size_t c = p.size();
    if (allowDoubling && most < static_cast<std::int64_t>(c)) throw std::runtime_error(kSetTooLarge);

    CandidateList out;
    const NoteRange range = noteRange(bases, bottom, top);
    VoicingDeduper seen(range);
    std::uint64_t used = 0;
    Placer placer(bases, range, bottom, top, maxSpan, used);
    auto keep = [&](const CandidateVoicing& v, const NoteMask& mask) {
        if (!spanWithin(v, minSpan, maxSpan)) return;
        if (seen.insert(v, mask)) out.push_back(v);
    };
    if (!allowDoubling) {
        placer.place(p, keep);
        return out;
    }
    for (std::int32_t k = firstCount(c, fewest); k <= most; ++k) {
        if (static_cast<std::size_t>(k) == c) {
            placer.place(p, keep);
            continue;
        }
        std::vector<std::uint8_t> list = p;
        forEachMultiset(c, static_cast<std::size_t>(k) - c, [&](const std::vector<std::size_t>& idx) {
            list.resize(c);
            for (const std::size_t i : idx) list.push_back(p[i]);
            placer.place(list, keep);
        });
    }
    return out;
}

CandidateList enumerateVoicingsWithBass(std::span<const std::uint8_t> pitchClasses, std::uint8_t bassPitchClass,
                                        std::span<const std::int64_t> bases, std::int32_t bottom, std::int32_t top,
                                        std::int32_t minSpan, std::int32_t maxSpan, bool allowDoubling,
                                        std::int32_t fewest, std::int32_t most) {
    if (pitchClasses.empty()) throw std::runtime_error(kEmptySet);
    const std::vector<std::uint8_t> p = sortedUnique(pitchClasses);
    const std::size_t c = p.size();
    if (allowDoubling && most < static_cast<std::int64_t>(c)) throw std::runtime_error(kSetTooLarge);
    if (std::find(p.begin(), p.end(), bassPitchClass) == p.end()) throw std::runtime_error(kBassMissing);

    std::vector<std::uint8_t> upper;
    for (const std::uint8_t pc : p) {
        if (pc != bassPitchClass) upper.push_back(pc);
    }
    std::vector<std::int64_t> bassNotes;
    for (const std::int64_t base : bases) {
        const std::int64_t note = bassPitchClass + base;
        if (note >= bottom && note <= top) bassNotes.push_back(note);
    }

    CandidateList out;
    const NoteRange range = noteRange(bases, bottom, top);
    VoicingDeduper seen(range);
    std::uint64_t used = 0;
    CandidateVoicing full;
    auto placeAbove = [&](const std::vector<std::uint8_t>& list, std::int64_t bass) {
        NoteMask bassMask;
        if (range.useMask) bassMask.set(bass - range.origin);
        if (list.empty()) {
            if (minSpan < 1 && maxSpan >= 0) {
                const CandidateVoicing only{static_cast<std::int32_t>(bass)};
                if (seen.insert(only, bassMask)) out.push_back(only);
            }
            return;
        }
        VoicingDeduper upperSeen(range);
        Placer placer(bases, range, std::max<std::int64_t>(bottom, bass + 1), top, maxSpan, used);
        placer.place(list, [&](const CandidateVoicing& u, const NoteMask& mask) {
            if (u.back() - static_cast<std::int64_t>(u.front()) > maxSpan) return;
            if (!upperSeen.insert(u, mask)) return;
            if (u.front() <= bass) return;
            const std::int64_t span = static_cast<std::int64_t>(u.back()) - bass;
            if (span < minSpan || span > maxSpan) return;
            full.assign(1, static_cast<std::int32_t>(bass));
            full.insert(full.end(), u.begin(), u.end());
            const NoteMask fullMask{mask.low | bassMask.low, mask.high | bassMask.high};
            if (seen.insert(full, fullMask)) out.push_back(full);
        });
    };

    if (!allowDoubling) {
        for (const std::int64_t bass : bassNotes) placeAbove(upper, bass);
        return out;
    }
    for (std::int32_t k = firstCount(c, fewest); k <= most; ++k) {
        const std::int64_t extra = static_cast<std::int64_t>(k) - 1 - static_cast<std::int64_t>(upper.size());
        if (extra == 0) {
            for (const std::int64_t bass : bassNotes) placeAbove(upper, bass);
            continue;
        }
        std::vector<std::uint8_t> list = upper;
        forEachMultiset(c, static_cast<std::size_t>(extra), [&](const std::vector<std::size_t>& idx) {
            list.resize(upper.size());
            for (const std::size_t i : idx) list.push_back(p[i]);
            for (const std::int64_t bass : bassNotes) placeAbove(list, bass);
        });
    }
    return out;
}

SharedCandidateList cachedCandidateVoicings(const CandidateKey& key, VoicerPortCacheState& cache, bool& hit) {
    if (const SharedCandidateList* cached = cache.candidates.find(key)) {
        hit = true;
        return *cached;
    }
    const std::vector<std::int64_t> bases = octaveBases(key.lowOctaveOffset, key.highOctaveOffset, key.bottom, key.top);
    const bool fixedBass = !key.allowBassChanges || key.bassEligible == 0;
    CandidateList list;
    if (fixedBass) {
        list = enumerateVoicingsWithBass(key.pitchClasses, key.pitchClasses.front(), bases, key.bottom, key.top,
                                         key.minSpan, key.maxSpan, key.allowDoubling, key.fewest, key.most);
    } else {
        list = enumeratePitchClassVoicings(key.pitchClasses, bases, key.bottom, key.top, key.minSpan, key.maxSpan,
                                           key.allowDoubling, key.fewest, key.most);
        std::erase_if(list, [&](const CandidateVoicing& v) {
            return ((key.bassEligible >> reducePitchClass(v.front())) & 1u) == 0;
        });
    }
    auto shared = std::make_shared<const CandidateList>(std::move(list));
    if (!shared->empty()) cache.candidates.put(key, shared);
    return shared;
}

CandidateResult generateCandidateVoicings(const Chord& chord, const VoicerOptions& options, VoicerPortCacheState& cache,
                                          const FixedNotes& fixed) {
    if (fixed) return {std::make_shared<const CandidateList>(CandidateList{*fixed}), false};

    CandidateKey key;
    key.pitchClasses = voicerChordPitchClasses(chord);
    key.bassEligible = bassEligibleSet(chord, options.allowBassChanges);
    const CandidateNoteCounts counts = candidateNoteCounts(static_cast<std::int32_t>(key.pitchClasses.size()), options);
    key.lowOctaveOffset = options.lowOctaveOffset;
    key.highOctaveOffset = options.highOctaveOffset;
    key.minSpan = options.minSpan;
    key.maxSpan = options.maxSpan;
    key.allowBassChanges = options.allowBassChanges;
    key.allowDoubling = options.allowDoubling;
    key.fewest = counts.fewest;
    key.most = counts.most;

    const std::int64_t lowest = (static_cast<std::int64_t>(options.lowOctaveOffset) + 5) * 12;
    const std::int64_t highestTop = 71 + 12 * static_cast<std::int64_t>(options.highOctaveOffset);
    const bool fixedBass = chord.bass.has_value() || !options.allowBassChanges;
    std::int64_t bottom = options.bottom;
    if (!fixedBass) bottom = std::max(lowest, bottom - 12);
    const std::int64_t top = options.top;

    bool anyHit = false;
    auto attempt = [&](std::int64_t b, std::int64_t t) {
        key.bottom = saturateToInt32(b);
        key.top = saturateToInt32(t);
        bool hit = false;
        SharedCandidateList list = cachedCandidateVoicings(key, cache, hit);
        anyHit = anyHit || hit;
        return list;
    };

    SharedCandidateList list = attempt(bottom, top);
    if (!list->empty()) return {list, anyHit};

    // The window widens as little as it must: lower the bottom first, then raise the top.
    SharedCandidateList best;
    auto keeps = [&best](SharedCandidateList found) {
        if (found->empty()) return false;
        best = std::move(found);
        return true;
    };
    if (bottom > lowest) {
        if (tightestFit(lowest, bottom, true, [&](std::int64_t b) { return keeps(attempt(b, top)); })) {
            return {best, anyHit};
        }
        bottom = lowest;
    }
    if (top < highestTop) {
        if (tightestFit(top, highestTop, false, [&](std::int64_t t) { return keeps(attempt(bottom, t)); })) {
            return {best, anyHit};
        }
    }
    return {std::make_shared<const CandidateList>(), anyHit};
}

RelaxedCandidates relaxedCandidateVoicings(const Chord& chord, const VoicerOptions& options,
                                           VoicerPortCacheState& cache) {
    RelaxedCandidates out{{std::make_shared<const CandidateList>(), false}, options};
    VoicerOptions& relaxed = out.options;
    // Loosening a limit only adds voicings, so the tightest span limit that
    // fits is found by the same search as the register widening's.
    auto fits = [&] {
        CandidateResult found = generateCandidateVoicings(chord, relaxed, cache, std::nullopt);
        out.result.cacheHit = out.result.cacheHit || found.cacheHit;
        if (found.list->empty()) return false;
        out.result.list = std::move(found.list);
        return true;
    };

    const auto pitchClassCount = static_cast<std::int32_t>(voicerChordPitchClasses(chord).size());
    relaxed.minNotes = std::min(options.minNotes, pitchClassCount);
    if (candidateNoteCounts(pitchClassCount, relaxed) != candidateNoteCounts(pitchClassCount, options) && fits()) {
        return out;
    }

    const std::optional<std::int64_t> minSpan =
        tightestFit(0, std::int64_t{options.minSpan} - 1, true, [&](std::int64_t span) {
            relaxed.minSpan = static_cast<std::int32_t>(span);
            return fits();
        });
    if (minSpan) {
        relaxed.minSpan = static_cast<std::int32_t>(*minSpan);
        return out;
    }

    // Nothing fits even without a span minimum: every voicing is too wide.
    relaxed.minSpan = options.minSpan;
    const std::optional<std::int64_t> maxSpan = tightestFit(
        std::int64_t{options.maxSpan} + 1, std::max<std::int64_t>(options.maxSpan, 127), false, [&](std::int64_t span) {
            relaxed.maxSpan = static_cast<std::int32_t>(span);
            return fits();
        });
    relaxed.maxSpan = maxSpan ? static_cast<std::int32_t>(*maxSpan) : options.maxSpan;
    return out;
}

}  // namespace quillex
