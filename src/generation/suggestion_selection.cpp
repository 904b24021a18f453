// Suggestion ranking, de-duplication, shuffling, normalisation and per-category caps.
#include "generation/suggestion_selection.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "digest/fnv1a.h"
#include "generation/suggestion_scoring.h"
#include "platform/random_device.h"
#include "theory/quality_family.h"

namespace quillex {

namespace {

constexpr double kRankTolerance = 1e-6;
constexpr double kMinShuffledSmartScore = 0.001;

bool sameChordSpelling(const Chord& a, const Chord& b) {
    return a.root == b.root && a.quality == b.quality && a.bass == b.bass;
}

// Over the category-5 suggestions that pass `eligible`, drops all but the
// best-ranked of each group that `sameGroup` forms.
template <typename Eligible, typename SameGroup>
void dropWorseApproaches(const std::vector<ChordSuggestion>& list, std::vector<bool>& dropped,
                         const SuggestionContext& context, Eligible eligible, SameGroup sameGroup) {
    const auto considered = [&](std::size_t k) {
        return !dropped[k] && list[k].category == kDiminishedApproachCategory && eligible(list[k]);
    };
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!considered(i)) continue;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (!considered(j) || !sameGroup(list[i], list[j])) continue;
            if (compareSuggestionRank(list[j], list[i], context)) {
                dropped[i] = true;
                break;
            }
            dropped[j] = true;
        }
    }
}

std::vector<ChordSuggestion> keepUnmarked(std::vector<ChordSuggestion>& list, const std::vector<bool>& dropped) {
    std::vector<ChordSuggestion> kept;
    kept.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!dropped[i]) kept.push_back(std::move(list[i]));
    }
    return kept;
}

using VariantKey = std::tuple<PitchClass, bool, int, std::string, std::string, std::string>;

VariantKey variantKey(const ChordSuggestion& s) {
    return {s.chord.root,  s.isDiatonic,    s.target ? int{*s.target} : -1,
            s.targetRoman, s.targetQuality, coarseQualityFamily(ChordQuality{s.chord.quality, s.chord.intervals})};
}

// Moves the category-0 suggestions to the front with two indices walking
// toward each other; returns the length of that front run.
std::size_t partitionSmartFirst(std::vector<ChordSuggestion>& list) {
    std::size_t front = 0;
    std::size_t back = list.size();
    while (true) {
        while (front < back && list[front].category == kSmartCategory) ++front;
        while (front < back && list[back - 1].category != kSmartCategory) --back;
        if (front >= back) return front;
        std::swap(list[front], list[back - 1]);
        ++front;
        --back;
    }
}

std::vector<ChordSuggestion> shuffleSelection(std::vector<ChordSuggestion> list, bool mergeVariants,
                                              std::string_view shuffleSeed) {
    const std::uint32_t seed = shuffleSeed.empty() ? platform::randomDeviceWord() : hashShuffleSeed(shuffleSeed);
    std::mt19937 generator(seed);
    std::erase_if(list, [](const ChordSuggestion& s) {
        return s.category == kSmartCategory && s.score < kMinShuffledSmartScore;
    });
    const std::size_t smartCount = partitionSmartFirst(list);
    std::vector<ChordSuggestion> diatonic;
    std::vector<ChordSuggestion> chromatic;
    for (std::size_t i = 0; i < smartCount; ++i) {
        (list[i].isDiatonic ? diatonic : chromatic).push_back(std::move(list[i]));
    }
    std::vector<ChordSuggestion> tail(std::make_move_iterator(list.begin() + static_cast<std::ptrdiff_t>(smartCount)),
                                      std::make_move_iterator(list.end()));
    shuffleSuggestions(diatonic, generator);
    shuffleSuggestions(chromatic, generator);
    if (mergeVariants) {
        diatonic = mergeVariantKeys(std::move(diatonic));
        chromatic = mergeVariantKeys(std::move(chromatic));
        tail = mergeVariantKeys(std::move(tail));
    }
    std::size_t keepChromatic = std::min(chromatic.size(), kMaxSmartSuggestions);
    const std::size_t keepDiatonic =
        std::min(diatonic.size(), std::max(kMaxSmartSuggestions - keepChromatic, kMinShuffledDiatonicSuggestions));
    keepChromatic = std::min(kMaxSmartSuggestions - keepDiatonic, chromatic.size());
    diatonic.resize(keepDiatonic);
    chromatic.resize(keepChromatic);

    std::vector<ChordSuggestion> result = std::move(diatonic);
    std::move(chromatic.begin(), chromatic.end(), std::back_inserter(result));
    std::move(tail.begin(), tail.end(), std::back_inserter(result));
    return result;
}

// Highest score first, equal scores in list order; the records move once.
std::vector<ChordSuggestion> sortedByScore(std::vector<ChordSuggestion> list) {
    std::vector<std::size_t> order(list.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return list[a].score > list[b].score; });
    std::vector<ChordSuggestion> sorted;
    sorted.reserve(list.size());
    for (const std::size_t i : order) sorted.push_back(std::move(list[i]));
    return sorted;
}

}  // namespace

bool compareSuggestionRank(const ChordSuggestion& a, const ChordSuggestion& b, const SuggestionContext& context) {
    if (a.score > b.score + kRankTolerance) return true;
    if (b.score > a.score + kRankTolerance) return false;
    if (context.nextChord) {
        const PitchClass next = context.nextChord->root;
        const bool aAims = a.target == next;
        const bool bAims = b.target == next;
        if (aAims != bAims) return aAims;
        if (aAims) return false;
    }
    return a.target.has_value() && !b.target.has_value();
}

PitchClass diminishedSeventhClass(PitchClass root) {
    return std::min({transposePitchClass(root, 0), transposePitchClass(root, 3), transposePitchClass(root, 6),
                     transposePitchClass(root, 9)});
}

std::vector<ChordSuggestion> rankAndDeduplicateSuggestions(std::vector<ChordSuggestion> list,
                                                           const SuggestionContext& context) {
    std::vector<bool> dropped(list.size(), false);
    dropWorseApproaches(
        list, dropped, context, [](const ChordSuggestion&) { return true; },
        [](const ChordSuggestion& a, const ChordSuggestion& b) { return sameChordSpelling(a.chord, b.chord); });
    dropWorseApproaches(
        list, dropped, context, [](const ChordSuggestion& s) { return s.chord.quality == "dim7"; },
        [](const ChordSuggestion& a, const ChordSuggestion& b) {
            return diminishedSeventhClass(a.chord.root) == diminishedSeventhClass(b.chord.root);
        });
    return keepUnmarked(list, dropped);
}

std::vector<ChordSuggestion> mergeVariantKeys(std::vector<ChordSuggestion> list) {
    std::set<VariantKey> seen;
    std::vector<bool> dropped(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::uint8_t category = list[i].category;
        if (category == kDiatonicCategory || category > kChromaticMediantCategory) continue;
        dropped[i] = !seen.insert(variantKey(list[i])).second;
    }
    return keepUnmarked(list, dropped);
}

std::uint32_t hashShuffleSeed(std::string_view text) { return fnv1a32(kFnv1a32Basis, text); }

std::uint32_t drawBelow(std::mt19937& generator, std::uint32_t range) {
    constexpr std::uint32_t kMax = 0xFFFFFFFFu;
    while (true) {
        const auto word = static_cast<std::uint32_t>(generator());
        if (word / range < kMax / range || kMax % range == range - 1) return word % range;
    }
}

void shuffleSuggestions(std::vector<ChordSuggestion>& list, std::mt19937& generator) {
    for (std::size_t i = 1; i < list.size(); ++i) {
        const std::size_t j = drawBelow(generator, static_cast<std::uint32_t>(i + 1));
        if (j != i) std::swap(list[i], list[j]);
    }
}

void normalizeSuggestionScores(std::vector<ChordSuggestion>& list) {
    std::map<std::uint8_t, double> best;
    for (const ChordSuggestion& s : list) {
        const auto [it, fresh] = best.emplace(s.category, s.score);
        if (!fresh) it->second = std::max(it->second, s.score);
    }
    for (ChordSuggestion& s : list) {
        if (s.category == kSmartCategory) {
            s.score = std::clamp(s.score, 0.0, 1.0);
        } else {
            s.score = std::clamp(s.score / std::max(best[s.category], 1.0), 0.05, 1.0);
        }
    }
}

std::vector<ChordSuggestion> capSuggestionsPerCategory(std::vector<ChordSuggestion> list) {
    std::array<std::size_t, 256> counts{};
    std::vector<bool> dropped(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::uint8_t category = list[i].category;
        const std::size_t limit = category == kSmartCategory ? kMaxSmartSuggestions : kMaxSuggestionsPerTheoryCategory;
        if (counts[category] < limit) {
            ++counts[category];
        } else {
            dropped[i] = true;
        }
    }
    return keepUnmarked(list, dropped);
}

std::vector<ChordSuggestion> selectSuggestions(std::vector<ChordSuggestion> list, const SuggestionContext& context,
                                               bool mergeVariants, std::string_view shuffleSeed) {
    list = rankAndDeduplicateSuggestions(std::move(list), context);
    list = mergeSuggestionVariants(std::move(list), context);
    if (!context.prevChords.empty()) {
        const Chord& previous = context.prevChords.back();
        const QualityFamily previousFamily = familyOfChord(previous);
        std::erase_if(list, [&](const ChordSuggestion& s) {
            if (sameChordSpelling(s.chord, previous)) return true;
            return !context.shuffleMode && s.category == kSmartCategory && s.chord.root == previous.root &&
                   classifyQualityFamily(ChordQuality{s.chord.quality, s.chord.intervals}) == previousFamily;
        });
    }
    list = sortedByScore(std::move(list));
    if (context.shuffleMode) {
        list = shuffleSelection(std::move(list), mergeVariants, shuffleSeed);
    } else if (mergeVariants) {
        list = mergeVariantKeys(std::move(list));
    }
    normalizeSuggestionScores(list);
    return capSuggestionsPerCategory(std::move(list));
}

}  // namespace quillex
