// Suggestion selection: rank order, de-duplication, variant keys, the seeded shuffle against a hand-written oracle, caps.
#include "generation/suggestion_selection.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/random_device.h"

namespace quillex {
namespace {

// MT19937 written from its definition, independent of the standard library's.
class ReferenceMersenneTwister {
public:
    explicit ReferenceMersenneTwister(std::uint32_t seed) {
        state_[0] = seed;
        for (std::uint32_t i = 1; i < 624; ++i) state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
    }
    std::uint32_t next() {
        if (index_ == 624) twist();
        std::uint32_t y = state_[index_++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        return y ^ (y >> 18);
    }

private:
    void twist() {
        for (std::uint32_t i = 0; i < 624; ++i) {
            const std::uint32_t y = (state_[i] & 0x80000000u) | (state_[(i + 1) % 624] & 0x7fffffffu);
            state_[i] = state_[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
        }
        index_ = 0;
    }
    std::array<std::uint32_t, 624> state_{};
    std::uint32_t index_ = 624;
};

std::uint32_t referenceFnv(std::string_view text) {
    std::uint32_t h = 2166136261u;
    for (const unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

// The draw and Fisher-Yates of the selection, replayed on indices.
std::vector<int> referenceShuffle(std::vector<int> items, ReferenceMersenneTwister& rng) {
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::uint32_t m = static_cast<std::uint32_t>(i + 1);
        std::uint32_t r = 0;
        do {
            r = rng.next();
        } while (!(r / m < 0xFFFFFFFFu / m || 0xFFFFFFFFu % m == m - 1));
        const std::size_t j = r % m;
        if (j != i) std::swap(items[i], items[j]);
    }
    return items;
}

ChordSuggestion make(PitchClass root, const char* quality, std::uint8_t category, double score) {
    ChordSuggestion s;
    const auto q = *lookupChordQuality(quality);
    s.chord = makeChord(root, q, std::nullopt, "");
    s.category = category;
    s.score = score;
    return s;
}

TEST(ShuffleOracle, ReferenceTwisterMatchesTheKnownOutputAndTheEngine) {
    ReferenceMersenneTwister reference(5489u);
    std::uint32_t value = 0;
    for (int i = 0; i < 10000; ++i) value = reference.next();
    EXPECT_EQ(value, 4123659995u);
    EXPECT_EQ(hashShuffleSeed(""), 2166136261u);
    EXPECT_EQ(hashShuffleSeed("a"), 0xe40c292cu);
    EXPECT_EQ(hashShuffleSeed("sweep"), referenceFnv("sweep"));
}

TEST(ShuffleOracle, DiatonicAndChromaticRunsShuffleDrawForDraw) {
    // 12 diatonic and 17 chromatic corpus chords, with theory chords and a near-zero corpus chord mixed in.
    std::vector<ChordSuggestion> list;
    for (int i = 0; i < 40; ++i) {
        ChordSuggestion s = make(static_cast<PitchClass>(i % 12), i % 2 ? "m7" : "maj", kSmartCategory, 0.9 - i * 0.01);
        s.chord.symbol = std::to_string(i);
        if (i % 7 == 3) s.category = kTritoneSubCategory;
        s.isDiatonic = i % 3 == 0;
        s.target = static_cast<PitchClass>(i % 12);  // distinct variant keys
        s.targetRoman = std::to_string(i);
        list.push_back(s);
    }
    list[5].score = 0.0005;
    for (const char* seed : {"D and N", "another seed", "x"}) {
        SuggestionContext context;
        context.shuffleMode = true;
        const auto chosen = selectSuggestions(list, context, false, seed);

        // Scores fall with the index; the near-zero corpus chord is dropped.
        std::vector<int> order;
        for (int i = 0; i < 40; ++i) {
            if (i != 5) order.push_back(i);
        }
        // Two indices walk toward each other, swapping a theory chord in front with the last corpus chord.
        std::size_t front = 0, back = order.size();
        while (true) {
            while (front < back && list[order[front]].category == kSmartCategory) ++front;
            while (front < back && list[order[back - 1]].category != kSmartCategory) --back;
            if (front >= back) break;
            std::swap(order[front++], order[--back]);
        }
        std::vector<int> diatonic, chromatic;
        for (std::size_t k = 0; k < front; ++k) (list[order[k]].isDiatonic ? diatonic : chromatic).push_back(order[k]);
        ReferenceMersenneTwister rng(referenceFnv(seed));
        diatonic = referenceShuffle(diatonic, rng);
        chromatic = referenceShuffle(chromatic, rng);
        std::size_t keepChromatic = std::min<std::size_t>(chromatic.size(), 30);
        const std::size_t keepDiatonic =
            std::min<std::size_t>(diatonic.size(), std::max<std::size_t>(30 - keepChromatic, 8));
        keepChromatic = std::min<std::size_t>(30 - keepDiatonic, chromatic.size());
        diatonic.resize(keepDiatonic);
        chromatic.resize(keepChromatic);
        std::vector<int> expected = diatonic;
        expected.insert(expected.end(), chromatic.begin(), chromatic.end());
        ASSERT_GE(chosen.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(chosen[k].chord.symbol, std::to_string(expected[k])) << seed << " " << k;
        }
        for (std::size_t k = expected.size(); k < chosen.size(); ++k) {
            EXPECT_EQ(chosen[k].category, kTritoneSubCategory);
        }
    }
}

TEST(ShuffleOracle, EmptySeedUsesOneRandomDeviceWord) {
    std::vector<ChordSuggestion> list;
    for (int i = 0; i < 10; ++i) {
        ChordSuggestion s = make(static_cast<PitchClass>(i), "maj", kSmartCategory, 0.5);
        s.chord.symbol = std::to_string(i);
        list.push_back(s);
    }
    int draws = 0;
    platform::setRandomWordSourceForTesting([&] {
        ++draws;
        return 77u;
    });
    SuggestionContext context;
    context.shuffleMode = true;
    const auto chosen = selectSuggestions(list, context, false, "");
    platform::setRandomWordSourceForTesting({});
    EXPECT_EQ(draws, 1);
    ReferenceMersenneTwister rng(77u);
    const auto expected = referenceShuffle({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, rng);
    for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(chosen[k].chord.symbol, std::to_string(expected[k]));
}

TEST(ShuffleCaps, DiatonicAndChromaticShareThirtySlots) {
    struct Row {
        int chromatic, diatonic, keptDiatonic, keptChromatic;
    };
    for (const Row& row : {Row{40, 5, 5, 25}, Row{10, 50, 20, 10}, Row{35, 20, 8, 22}, Row{0, 40, 30, 0}}) {
        std::vector<ChordSuggestion> list;
        for (int i = 0; i < row.chromatic + row.diatonic; ++i) {
            ChordSuggestion s = make(static_cast<PitchClass>(i % 12), "maj", kSmartCategory, 0.5);
            s.isDiatonic = i >= row.chromatic;
            list.push_back(s);
        }
        SuggestionContext context;
        context.shuffleMode = true;
        const auto chosen = selectSuggestions(list, context, false, "caps");
        ASSERT_EQ(chosen.size(), static_cast<std::size_t>(row.keptDiatonic + row.keptChromatic));
        for (int k = 0; k < row.keptDiatonic; ++k) EXPECT_TRUE(chosen[k].isDiatonic);
        for (std::size_t k = row.keptDiatonic; k < chosen.size(); ++k) EXPECT_FALSE(chosen[k].isDiatonic);
    }
}

TEST(Normalisation, CategoriesScaleAndClampOnListsStraddlingTheBounds) {
    std::vector<ChordSuggestion> list = {
        make(0, "maj", kSmartCategory, 1.4),           make(1, "maj", kSmartCategory, -0.2),
        make(2, "7", kSecondaryDominantCategory, 0.5), make(3, "7", kSecondaryDominantCategory, 0.01),
        make(4, "7", kTritoneSubCategory, 2.0),        make(5, "7", kTritoneSubCategory, 0.5),
        make(6, "7", kTritoneSubCategory, -1.0)};
    normalizeSuggestionScores(list);
    std::vector<double> scores;
    for (const auto& s : list) scores.push_back(s.score);
    EXPECT_EQ(scores, (std::vector<double>{1.0, 0.0, 0.5, 0.05, 1.0, 0.25, 0.05}));

    std::vector<ChordSuggestion> many;
    for (int i = 0; i < 40; ++i) many.push_back(make(0, "maj", kSmartCategory, 0.5));
    for (int i = 0; i < 10; ++i) many.push_back(make(0, "7", kModalInterchangeCategory, 0.5));
    for (int i = 0; i < 3; ++i) many.push_back(make(0, "7", 9, 0.5));
    const auto capped = capSuggestionsPerCategory(many);
    EXPECT_EQ(capped.size(), 30u + 8u + 3u);
}

TEST(Ranking, ScoreToleranceTargetsAndDiminishedGroups) {
    SuggestionContext context;
    context.nextChord = *parseChordSymbol("Dm");
    ChordSuggestion a = make(1, "dim7", kDiminishedApproachCategory, 0.4);
    ChordSuggestion b = make(1, "dim7", kDiminishedApproachCategory, 0.4000001);
    EXPECT_FALSE(compareSuggestionRank(b, a, context));
    a.target = 7;
    b.target = 2;
    EXPECT_TRUE(compareSuggestionRank(b, a, context));
    EXPECT_FALSE(compareSuggestionRank(a, b, context));
    a.target = 2;
    EXPECT_FALSE(compareSuggestionRank(a, b, context));
    a.target.reset();
    b.target = 9;
    EXPECT_TRUE(compareSuggestionRank(b, a, context));

    EXPECT_EQ(diminishedSeventhClass(11), 2);
    EXPECT_EQ(diminishedSeventhClass(0), 0);
    const SuggestionContext none;
    // Equal chords: the earlier stays on a near tie, the better one otherwise.
    auto kept = rankAndDeduplicateSuggestions({make(1, "dim7", 5, 0.4), make(1, "dim7", 5, 0.4000001)}, none);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].score, 0.4);
    kept = rankAndDeduplicateSuggestions({make(1, "dim7", 5, 0.4), make(1, "dim7", 5, 0.5)}, none);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].score, 0.5);
    // One diminished-seventh class, but plain "dim" chords are both kept.
    kept = rankAndDeduplicateSuggestions({make(11, "dim7", 5, 0.3), make(2, "dim7", 5, 0.6), make(11, "dim", 5, 0.3),
                                          make(2, "dim", 5, 0.2), make(2, "dim7", 2, 0.1)},
                                         none);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].chord.root, 2);
    EXPECT_EQ(kept[0].score, 0.6);
}

TEST(Selection, PreviousChordAndItsFamilyAreDroppedUnlessShuffling) {
    SuggestionContext context;
    context.prevChords = {*parseChordSymbol("Am7")};
    const std::vector<ChordSuggestion> list = {make(9, "m7", kSmartCategory, 0.5), make(9, "m9", kSmartCategory, 0.4),
                                               make(9, "m7", kModalInterchangeCategory, 0.3),
                                               make(9, "m9", kModalInterchangeCategory, 0.3)};
    auto chosen = selectSuggestions(list, context, false, "");
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].chord.quality, "m9");
    EXPECT_EQ(chosen[0].category, kModalInterchangeCategory);
    context.shuffleMode = true;
    chosen = selectSuggestions(list, context, false, "s");
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].chord.quality, "m9");
    EXPECT_EQ(chosen[0].category, kSmartCategory);
}

TEST(VariantKeys, FirstOfEachKeyStaysAndDiatonicAndHighCodesAlwaysStay) {
    ChordSuggestion a = make(0, "maj7", kSmartCategory, 0.9);
    ChordSuggestion b = make(0, "maj9", kChromaticMediantCategory, 0.8);  // same key: root, family, no target
    ChordSuggestion c = make(0, "m7b5", kModalInterchangeCategory, 0.7);
    ChordSuggestion d = make(0, "dim", kModalInterchangeCategory, 0.6);  // half-diminished counts as diminished
    ChordSuggestion e = make(0, "maj", kDiatonicCategory, 0.5);
    ChordSuggestion f = make(0, "maj", kDiatonicCategory, 0.4);
    ChordSuggestion g = make(0, "maj", 7, 0.3);
    ChordSuggestion h = make(0, "maj", kSmartCategory, 0.2);
    h.isDiatonic = true;
    const auto kept = mergeVariantKeys({a, b, c, d, e, f, g, h});
    std::vector<double> scores;
    for (const auto& s : kept) scores.push_back(s.score);
    EXPECT_EQ(scores, (std::vector<double>{0.9, 0.7, 0.5, 0.4, 0.3, 0.2}));
}

}  // namespace
}  // namespace quillex
