// Ordering clip notes and tying legato notes, in n log n.
#include "performance/phrase_notes.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstddef>

#include "performance/trigger_row.h"

namespace quillex {
namespace {

constexpr double kEpsilon = kTriggerBeatEpsilon;

// IEEE total order: a strict weak order even with NaN.
bool below(double a, double b) { return std::strong_order(a, b) < 0; }

// Calls `each` on the runs of [first, last) whose key lies within the tolerance of the run's first.
template <typename Key, typename Each>
void forEachRun(PhraseNote* first, PhraseNote* last, Key key, Each each) {
    while (first != last) {
        PhraseNote* run = first + 1;
        while (run != last && key(*run) - key(*first) <= kEpsilon) ++run;
        each(first, run);
        first = run;
    }
}

// Indices of notes whose key is not NaN, sorted by that key.
template <typename Key>
std::vector<std::uint32_t> indexBy(const std::vector<PhraseNote>& notes, Key key) {
    std::vector<std::uint32_t> index;
    index.reserve(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (!std::isnan(key(notes[i]))) index.push_back(static_cast<std::uint32_t>(i));
    }
    std::sort(index.begin(), index.end(),
              [&](std::uint32_t a, std::uint32_t b) { return key(notes[a]) < key(notes[b]); });
    return index;
}

// The indexed notes whose key lies within the tolerance of b. Exact because the
// rounded difference key - b never decreases as the key grows.
template <typename Key>
std::pair<const std::uint32_t*, const std::uint32_t*> within(const std::vector<std::uint32_t>& index,
                                                             const std::vector<PhraseNote>& notes, Key key, double b) {
    const auto lo = std::partition_point(index.begin(), index.end(),
                                         [&](std::uint32_t i) { return key(notes[i]) - b < -kEpsilon; });
    const auto hi =
        std::partition_point(lo, index.end(), [&](std::uint32_t i) { return key(notes[i]) - b <= kEpsilon; });
    return {index.data() + (lo - index.begin()), index.data() + (hi - index.begin())};
}

double hitStartOf(const PhraseNote& note) { return note.hitStart; }
double endOf(const PhraseNote& note) { return note.start + note.duration; }

}  // namespace

void sortPhraseNotes(std::span<PhraseNote> notes) {
    std::sort(notes.begin(), notes.end(),
              [](const PhraseNote& a, const PhraseNote& b) { return below(a.start, b.start); });
    const auto start = [](const PhraseNote& n) { return n.start; };
    const auto duration = [](const PhraseNote& n) { return n.duration; };
    forEachRun(notes.data(), notes.data() + notes.size(), start, [&](PhraseNote* first, PhraseNote* last) {
        std::sort(first, last, [](const PhraseNote& a, const PhraseNote& b) {
            if (a.pitch != b.pitch) return a.pitch < b.pitch;
            return below(a.duration, b.duration);
        });
        while (first != last) {
            PhraseNote* pitchEnd =
                std::find_if(first, last, [&](const PhraseNote& n) { return n.pitch != first->pitch; });
            forEachRun(first, pitchEnd, duration, [](PhraseNote* from, PhraseNote* to) {
                std::sort(from, to, [](const PhraseNote& a, const PhraseNote& b) {
                    if (a.velocity != b.velocity) return a.velocity < b.velocity;
                    if (a.start != b.start) return below(a.start, b.start);
                    if (a.duration != b.duration) return below(a.duration, b.duration);
                    return below(a.hitStart, b.hitStart);
                });
            });
            first = pitchEnd;
        }
    });
}

void mergeTiedNotes(std::vector<PhraseNote>& notes, std::span<const double> boundaries) {
    if (notes.empty() || boundaries.empty()) return;
    const std::size_t n = notes.size();
    // Hit starts never change; ends change only for notes that were extended, which are
    // then looked at one by one instead of through the index.
    const std::vector<std::uint32_t> byHitStart = indexBy(notes, hitStartOf);
    const std::vector<std::uint32_t> byEnd = indexBy(notes, endOf);
    std::vector<std::uint8_t> removed(n, 0);
    std::vector<std::uint8_t> extended(n, 0);
    std::vector<std::uint32_t> extendedList;
    std::vector<std::uint32_t> struck;
    std::vector<std::uint32_t> held;

    for (const double b : boundaries) {
        const auto [strikeFirst, strikeLast] = within(byHitStart, notes, hitStartOf, b);
        if (strikeFirst == strikeLast) continue;
        struck.assign(strikeFirst, strikeLast);
        std::sort(struck.begin(), struck.end());  // list order

        const auto [heldFirst, heldLast] = within(byEnd, notes, endOf, b);
        held.clear();
        for (const std::uint32_t* i = heldFirst; i != heldLast; ++i) {
            if (!extended[*i]) held.push_back(*i);
        }
        held.insert(held.end(), extendedList.begin(), extendedList.end());
        std::sort(held.begin(), held.end());

        for (const std::uint32_t a : struck) {
            if (removed[a]) continue;
            const PhraseNote& note = notes[a];
            std::int64_t best = -1;
            for (const std::uint32_t j : held) {
                const PhraseNote& candidate = notes[j];
                if (removed[j] || candidate.pitch != note.pitch || !(candidate.start < b - kEpsilon)) continue;
                if (!(std::fabs(candidate.start + candidate.duration - b) <= kEpsilon)) continue;
                if (best < 0 || candidate.start > notes[static_cast<std::size_t>(best)].start) best = j;
            }
            if (best < 0) continue;
            PhraseNote& tied = notes[static_cast<std::size_t>(best)];
            tied.duration = std::max(note.start + note.duration - tied.start, tied.duration);
            if (!extended[static_cast<std::size_t>(best)]) {
                extended[static_cast<std::size_t>(best)] = 1;
                extendedList.push_back(static_cast<std::uint32_t>(best));
            }
            removed[a] = 1;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!removed[i]) notes[kept++] = notes[i];
    }
    notes.resize(kept);
}

}  // namespace quillex
