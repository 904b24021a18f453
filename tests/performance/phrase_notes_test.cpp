// Clip note order and the legato tie, the tie against a plain copy of its walk on seeded lists.
#include "performance/phrase_notes.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "performance/trigger_row.h"

namespace quillex {
namespace {

#ifdef QUILLEX_SANITIZED
constexpr int kPhraseNotesScale = 10;
#else
constexpr int kPhraseNotesScale = 1;
#endif

// The tie walk exactly as described: boundary by boundary, erasing as it goes.
void mergeTiedNotesOracle(std::vector<PhraseNote>& list, const std::vector<double>& boundaries) {
    for (const double b : boundaries) {
        std::size_t k = 0;
        while (k < list.size()) {
            const PhraseNote a = list[k];
            if (std::fabs(a.hitStart - b) <= kTriggerBeatEpsilon) {
                std::size_t best = list.size();
                for (std::size_t j = 0; j < list.size(); ++j) {
                    const PhraseNote& c = list[j];
                    if (c.pitch == a.pitch && c.start < b - kTriggerBeatEpsilon &&
                        std::fabs(c.start + c.duration - b) <= kTriggerBeatEpsilon &&
                        (best == list.size() || c.start > list[best].start)) {
                        best = j;
                    }
                }
                if (best != list.size()) {
                    list[best].duration = std::max(a.start + a.duration - list[best].start, list[best].duration);
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(k));
                    continue;
                }
            }
            ++k;
        }
    }
}

TEST(PhraseNoteTie, HeldNoteStruckAgainAtTheBoundaryBecomesOne) {
    std::vector<PhraseNote> notes = {
        {60, 0.0, 4.0, 90, 0.0}, {64, 0.0, 4.0, 90, 0.0}, {60, 4.0, 4.0, 80, 4.0}, {67, 4.0, 2.0, 80, 4.0}};
    mergeTiedNotes(notes, std::vector<double>{4.0});
    EXPECT_EQ(notes,
              (std::vector<PhraseNote>{{60, 0.0, 8.0, 90, 0.0}, {64, 0.0, 4.0, 90, 0.0}, {67, 4.0, 2.0, 80, 4.0}}));
    // A strummed note struck late in its hit still ties; the held note keeps a later end.
    const PhraseNote held = {60, 0.0, 4.00005, 90, 0.0};
    std::vector<PhraseNote> strum = {{60, 1.0, 3.0, 90, 1.0}, held, {60, 4.05, 0.5, 70, 4.0}};
    mergeTiedNotes(strum, std::vector<double>{4.0});
    ASSERT_EQ(strum.size(), 2u);
    EXPECT_DOUBLE_EQ(strum[0].duration, 3.55);
    EXPECT_EQ(strum[1], held);
}

// Lists crowded around the boundaries, in random order, with repeated starts and values at the tolerance edges.
TEST(PhraseNoteTie, EqualsThePlainWalkOnSeededLists) {
    std::mt19937 rng(0x7e1dau);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const double nudges[] = {0.0,
                             0.0,
                             0.0,
                             kTriggerBeatEpsilon,
                             -kTriggerBeatEpsilon,
                             kTriggerBeatEpsilon / 2,
                             -kTriggerBeatEpsilon / 2,
                             1.5 * kTriggerBeatEpsilon,
                             0.3};
    int merged = 0;
    for (int round = 0; round < 1000 / kPhraseNotesScale; ++round) {
        std::vector<double> boundaries;
        for (int b = pick(1, 5), t = 0; b > 0; --b) boundaries.push_back(t += pick(1, 3));
        if (pick(0, 9) == 0) std::shuffle(boundaries.begin(), boundaries.end(), rng);
        std::vector<PhraseNote> notes;
        for (int n = pick(0, 40); n > 0; --n) {
            const double at = pick(0, 12) + nudges[pick(0, 8)];
            const double hit = pick(0, 4) == 0 ? at + nudges[pick(0, 8)] : at - 0.05 * pick(0, 2);
            const double end = pick(1, 13) + nudges[pick(0, 8)];
            notes.push_back({60 + pick(0, 2), at, end > at ? end - at : 0.5 * pick(1, 4), pick(1, 127), hit});
        }
        std::vector<PhraseNote> expected = notes;
        mergeTiedNotesOracle(expected, boundaries);
        if (expected.size() < notes.size()) ++merged;
        mergeTiedNotes(notes, boundaries);
        ASSERT_EQ(notes, expected) << "round " << round;
    }
    EXPECT_GT(merged, 100 / kPhraseNotesScale);
}

TEST(PhraseNoteOrder, StartThenPitchThenDurationThenVelocity) {
    std::vector<PhraseNote> notes = {{64, 1.0, 1.0, 50, 0}, {60, 1.00005, 2.0, 50, 0}, {60, 1.0, 1.00002, 40, 0},
                                     {60, 0.5, 1.0, 50, 0}, {60, 1.0, 1.0, 90, 0},     {62, 3.0, 1.0, 10, 0}};
    sortPhraseNotes(notes);
    EXPECT_EQ(notes, (std::vector<PhraseNote>{{60, 0.5, 1.0, 50, 0},
                                              {60, 1.0, 1.00002, 40, 0},
                                              {60, 1.0, 1.0, 90, 0},
                                              {60, 1.00005, 2.0, 50, 0},
                                              {64, 1.0, 1.0, 50, 0},
                                              {62, 3.0, 1.0, 10, 0}}));

    // Sorting is deterministic whatever the input order.
    std::mt19937 rng(5);
    std::vector<PhraseNote> shuffled = notes;
    for (int i = 0; i < 20; ++i) {
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        sortPhraseNotes(shuffled);
        ASSERT_EQ(shuffled, notes);
    }
}

}  // namespace
}  // namespace quillex
