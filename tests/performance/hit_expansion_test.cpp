// Hit expansion and the row walk: refusals, strum clipping, step gates, velocities, grids, round robins.
#include "performance/hit_expansion.h"

#include <array>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "trigger_samples.h"

namespace quillex {
namespace {

using testing::addHit;
using testing::chordRow;
using testing::NoteList;
using testing::pageOf;
using testing::rhythmRow;
using testing::setSpread;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One hit over a row's first page with every note `length` beats and factor `factor`.
struct Hit {
    TriggerRow row;
    std::array<double, 16> lengths{};
    std::array<double, 16> factors{};
    HitExpansionRequest request;

    Hit(const TriggerRow& source, double length, double end, double factor = 1.0) : row(source) {
        lengths.fill(length);
        factors.fill(factor);
        request.row = &row;
        request.page = &row.pages[0];
        request.pitches = row.pages[0].pitches.data();
        request.lengths = lengths.data();
        request.velocityFactors = factors.data();
        request.noteCount = row.pages[0].noteCount;
        request.velocity = 100;
        request.hitStart = 0.0;
        request.end = end;
    }

    NoteList expand(bool* result = nullptr) {
        NoteList list;
        bool emitted = true;
        const bool ok = expandTriggerHit(request, &list, NoteList::sink, emitted);
        if (result) *result = ok;
        EXPECT_EQ(emitted, !list.notes.empty());
        return list;
    }
};

TEST(HitExpansion, RefusesMalformedRequests) {
    const TriggerRow row = chordRow({pageOf({60, 64, 67})});
    const auto refused = [&](auto change) {
        Hit hit(row, 1.0, 4.0);
        change(hit.request);
        NoteList list;
        bool emitted = true;
        const bool ok = expandTriggerHit(hit.request, &list, NoteList::sink, emitted);
        return !ok && !emitted && list.notes.empty();
    };
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.row = nullptr; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.page = nullptr; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.pitches = nullptr; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.lengths = nullptr; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.velocityFactors = nullptr; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.noteCount = 0; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.noteCount = 17; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.noteCount = 2; }));  // the page holds 3
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.velocity = 0; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.velocity = 128; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.hitStart = kNaN; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.end = kInf; }));
    EXPECT_TRUE(refused([](HitExpansionRequest& r) { r.end = r.hitStart + kTriggerBeatEpsilon; }));
    EXPECT_FALSE(refused([](HitExpansionRequest&) {}));

    Hit hit(row, 1.0, 4.0);
    bool emitted = true;
    EXPECT_FALSE(expandTriggerHit(hit.request, nullptr, nullptr, emitted));
    EXPECT_FALSE(emitted);
}

TEST(HitExpansion, StrumBeyondTheLengthsDropsOnlyTheLateNotes) {
    TriggerRow row = chordRow({pageOf({60, 64, 67, 71}, {0.0, 0.5, 1.0, 0.5 - kTriggerBeatEpsilon})});
    setSpread(row, 1.0);
    Hit hit(row, 0.5, 4.0);
    hit.request.hitStart = 2.0;
    hit.request.end = 6.0;
    hit.request.hitOrdinal = 9;
    hit.request.rowSequence = 4;
    const NoteList list = hit.expand();
    ASSERT_EQ(list.notes.size(), 1u);  // 0.5 and 1.0 are past the length; 0.5 - eps leaves only eps
    EXPECT_EQ(list.notes[0], (ExpandedNote{2.0, 2.5, 2.0, 9, 0, 4, 60, 100}));

    Hit longer(row, 0.6, 4.0);
    const NoteList kept = longer.expand();
    ASSERT_EQ(kept.notes.size(), 3u);
    EXPECT_EQ(kept.notes[1].noteIndex, 1u);
    EXPECT_NEAR(kept.notes[1].end - kept.notes[1].onset, 0.1, 1e-12);
    EXPECT_EQ(kept.notes[2].noteIndex, 3u);

    // A note clipped to eps or less by the hit's end is dropped too.
    Hit clipped(row, 1.0, 0.5 + kTriggerBeatEpsilon / 2);
    for (const ExpandedNote& note : clipped.expand().notes) EXPECT_GT(note.end - note.onset, kTriggerBeatEpsilon);
}

TEST(HitExpansion, StepNotesEndAtTheNextLaterOnset) {
    TriggerRow row = chordRow({pageOf({60, 64, 67}, {0.5, 0.0, 0.25})}, 4.0, true);
    setSpread(row, 1.0);
    const NoteList list = Hit(row, 2.0, 4.0).expand();
    ASSERT_EQ(list.notes.size(), 3u);
    EXPECT_DOUBLE_EQ(list.notes[0].end, 2.0);   // the last onset keeps its length
    EXPECT_DOUBLE_EQ(list.notes[1].end, 0.25);  // ends where the next later onset starts
    EXPECT_DOUBLE_EQ(list.notes[2].end, 0.5);
    row.step = 0;
    for (const ExpandedNote& note : Hit(row, 2.0, 4.0).expand().notes) EXPECT_DOUBLE_EQ(note.end, 2.0);
}

TEST(HitExpansion, VelocitiesRoundHalfAwayAndClamp) {
    struct Case {
        std::uint32_t velocity;
        double factor;
        double multiplier;
        int expected;
    };
    const Case cases[] = {{3, 0.5, 1.0, 2},     {100, 1.0, 2.0, 127}, {100, 0.004, 1.0, 1}, {100, 0.0055, 1.0, 1},
                          {100, 0.005, 1.0, 1}, {127, 1.0, 1.0, 127}, {100, kNaN, 1.0, 1},  {100, 1.0, 1e300, 1},
                          {100, 1.0, -3.0, 1},  {5, 0.25, 2.0, 3}};
    for (const Case& c : cases) {
        TriggerRow row = chordRow({pageOf({60})});
        row.pages[0].velocityMultipliers[0] = c.multiplier;
        Hit hit(row, 1.0, 4.0, c.factor);
        hit.request.velocity = c.velocity;
        const NoteList list = hit.expand();
        ASSERT_EQ(list.notes.size(), 1u);
        EXPECT_EQ(list.notes[0].velocity, c.expected) << c.velocity << " " << c.factor << " " << c.multiplier;
    }
}

TEST(HitExpansion, SinkStopEndsTheExpansion) {
    Hit hit(chordRow({pageOf({60, 64, 67})}), 1.0, 4.0);
    NoteList list;
    list.limit = 2;
    bool emitted = false;
    EXPECT_FALSE(expandTriggerHit(hit.request, &list, NoteList::sink, emitted));
    EXPECT_TRUE(emitted);
    EXPECT_EQ(list.notes.size(), 2u);
}

// Walks rows and returns the notes, failing the test when the walk refuses.
NoteList walk(const std::vector<TriggerRow>& rows, double length, bool loop = false, bool restart = false,
              const TriggerRow* content = nullptr, std::int32_t pageOverride = -1, const double* durations = nullptr) {
    NoteList list;
    EXPECT_TRUE(renderTriggerRows(rows.data(), rows.size(), length, durations, loop, restart, content, 0, pageOverride,
                                  &list, NoteList::sink));
    return list;
}

std::vector<double> onsets(const NoteList& list) {
    std::vector<double> out;
    for (const ExpandedNote& note : list.notes) out.push_back(note.onset);
    return out;
}

TEST(RowWalk, RefusesMalformedWalks) {
    const TriggerRow good = rhythmRow({pageOf({60})}, 4.0, 4.0, {0.0, 1.0});
    const auto refused = [](const TriggerRow& row, double length = 4.0, std::uint32_t velocity = 0,
                            std::int32_t page = -1, const TriggerRow* content = nullptr) {
        NoteList list;
        return !renderTriggerRows(&row, 1, length, nullptr, false, false, content, velocity, page, &list,
                                  NoteList::sink);
    };
    EXPECT_FALSE(refused(good));
    NoteList list;
    EXPECT_FALSE(renderTriggerRows(nullptr, 1, 4.0, nullptr, false, false, nullptr, 0, -1, &list, NoteList::sink));
    EXPECT_FALSE(renderTriggerRows(&good, 0, 4.0, nullptr, false, false, nullptr, 0, -1, &list, NoteList::sink));
    EXPECT_FALSE(renderTriggerRows(&good, 1, 4.0, nullptr, false, false, nullptr, 0, -1, &list, nullptr));
    EXPECT_TRUE(refused(good, kNaN));
    EXPECT_TRUE(refused(good, kTriggerBeatEpsilon));
    EXPECT_TRUE(refused(good, 4.0, 128));
    EXPECT_TRUE(refused(good, 4.0, 0, -2));
    EXPECT_TRUE(refused(good, 4.0, 0, 8));

    TriggerRow row = good;
    row.duration = kTriggerBeatEpsilon;
    EXPECT_TRUE(refused(row));
    row.duration = kNaN;
    EXPECT_TRUE(refused(row));
    row = good;
    row.hitCount = 17;
    EXPECT_TRUE(refused(row));
    row = good;
    row.pageCount = 9;
    EXPECT_TRUE(refused(row));
    row = good;
    row.hits[1].pageCount = 0;
    EXPECT_TRUE(refused(row));
    row.hits[1].pageCount = 9;
    EXPECT_TRUE(refused(row));
    // A content row is checked in place of the visited one.
    EXPECT_TRUE(refused(good, 4.0, 0, -1, &row));
    // More than 2^20 cycles in one visit (silent hits keep the allowed walk cheap).
    row = good;
    row.cycleLength = 0.001;
    for (TriggerHit& hit : row.hits) hit.lengths[0] = 0.0;
    row.duration = 1049.0;
    EXPECT_TRUE(refused(row, 1049.0));
    row.duration = 1048.0;
    EXPECT_FALSE(refused(row, 1048.0));
    // Cycle numbers past 2^53, where a double no longer counts one by one.
    TriggerRow before = good;
    before.rhythmic = 0;
    before.duration = 1e17;
    const TriggerRow later[] = {before, good};
    EXPECT_FALSE(renderTriggerRows(later, 2, 2e17, nullptr, false, false, nullptr, 0, -1, &list, NoteList::sink));
    before.duration = 1e12;
    const TriggerRow reachable[] = {before, good};
    EXPECT_TRUE(renderTriggerRows(reachable, 2, 2e12, nullptr, false, false, nullptr, 0, -1, &list, NoteList::sink));
    // A hit velocity the expansion refuses fails the walk.
    row = good;
    row.velocity = 0;
    EXPECT_TRUE(refused(row));
}

TEST(RowWalk, GridContinuesAcrossRowsUnlessRestarted) {
    const TriggerRow row = rhythmRow({pageOf({60})}, 4.0, 2.0, {0.0, 1.5, 2.5, 3.0});
    EXPECT_EQ(onsets(walk({row, row}, 4.0)), (std::vector<double>{0.0, 1.5, 2.5, 3.0}));
    EXPECT_EQ(onsets(walk({row, row}, 4.0, false, true)), (std::vector<double>{0.0, 1.5, 2.0, 3.5}));
    // Notes never cross their row's end.
    for (const ExpandedNote& note : walk({row, row}, 4.0).notes) {
        EXPECT_LE(note.end, note.rowSequence == 0 ? 2.0 : 4.0);
    }
}

TEST(RowWalk, HitsAtTheToleranceEdgesBelongToTheRightRow) {
    const TriggerRow row = rhythmRow({pageOf({60})}, 4.0, 2.0, {2.0 - kTriggerBeatEpsilon});
    const NoteList list = walk({row, row}, 4.0);
    ASSERT_EQ(list.notes.size(), 1u);
    EXPECT_EQ(list.notes[0].rowSequence, 1u);
}

TEST(RowWalk, LoopVisitsTheRowUntilTheLengthIsFilled) {
    const TriggerRow row = rhythmRow({pageOf({60})}, 1.0, 1.0, {0.0, 0.75}, 0.5);
    const NoteList list = walk({row}, 2.5, true);
    ASSERT_EQ(list.notes.size(), 5u);
    EXPECT_EQ(onsets(list), (std::vector<double>{0.0, 0.75, 1.0, 1.75, 2.0}));
    EXPECT_EQ(list.notes[4].rowSequence, 2u);
    EXPECT_EQ(list.notes[4].hitOrdinal, 4u);
    EXPECT_DOUBLE_EQ(list.notes[1].end, 1.0);  // cut at the visit's end
    EXPECT_DOUBLE_EQ(list.notes[4].end, 2.5);  // the last visit is cut at the length
}

// Pages of a hit share its pitches; each page here has its own velocity multiplier.
TriggerPage loudness(double multiplier) {
    TriggerPage page = pageOf({60});
    page.velocityMultipliers[0] = multiplier;
    return page;
}

std::vector<int> velocities(const NoteList& list) {
    std::vector<int> out;
    for (const ExpandedNote& note : list.notes) out.push_back(note.velocity);
    return out;
}

TEST(RowWalk, PagesTurnRoundRobinAndOverridesPickOne) {
    const TriggerRow row = rhythmRow({loudness(1.0), loudness(0.5)}, 4.0, 4.0, {0.0, 1.0, 2.0});
    EXPECT_EQ(velocities(walk({row}, 4.0)), (std::vector<int>{100, 50, 100}));
    EXPECT_EQ(velocities(walk({row}, 4.0, false, false, nullptr, 3)), (std::vector<int>{50, 50, 50}));

    // A hit that makes no note does not turn the round robin.
    TriggerRow silent = row;
    silent.hits[1].lengths[0] = kTriggerBeatEpsilon / 2;
    EXPECT_EQ(velocities(walk({silent}, 4.0)), (std::vector<int>{100, 50}));

    // Restarting rows restart their own counter unless the row follows the global one.
    TriggerRow three = rhythmRow({loudness(1.0), loudness(0.5), loudness(0.25)}, 4.0, 2.0, {0.0, 1.0, 2.0, 3.0});
    EXPECT_EQ(velocities(walk({three, three}, 4.0, false, true)), (std::vector<int>{100, 50, 100, 50}));
    EXPECT_EQ(velocities(walk({three, three}, 4.0)), (std::vector<int>{100, 50, 25, 100}));
    three.globalFollow = 1;
    EXPECT_EQ(velocities(walk({three, three}, 4.0, false, true)), (std::vector<int>{100, 50, 25, 100}));
}

TEST(RowWalk, SilentRowsKeepTheirTimeAndContentRowsPlayEverywhere) {
    const TriggerRow hits = rhythmRow({pageOf({60})}, 4.0, 1.0, {0.0});
    TriggerRow disabled = hits;
    disabled.enabled = 0;
    TriggerRow plain = hits;
    plain.rhythmic = 0;
    TriggerRow empty = hits;
    empty.hitCount = 0;
    const NoteList list = walk({disabled, plain, empty, hits}, 8.0, false, true);
    ASSERT_EQ(list.notes.size(), 1u);
    EXPECT_DOUBLE_EQ(list.notes[0].onset, 3.0);
    EXPECT_EQ(list.notes[0].rowSequence, 3u);

    const NoteList content = walk({disabled, plain, empty}, 8.0, false, true, &hits);
    EXPECT_EQ(onsets(content), (std::vector<double>{0.0, 1.0, 2.0}));

    const std::vector<double> durations = {0.5, 0.5, 3.0};
    EXPECT_EQ(onsets(walk({disabled, plain, empty}, 8.0, false, true, &hits, -1, durations.data())),
              (std::vector<double>{0.0, 0.5, 1.0}));
}

TEST(RowWalk, SinkStopEndsTheWalk) {
    const TriggerRow row = rhythmRow({pageOf({60, 64})}, 1.0, 4.0, {0.0, 0.5});
    NoteList list;
    list.limit = 3;
    EXPECT_FALSE(renderTriggerRows(&row, 1, 4.0, nullptr, false, false, nullptr, 0, -1, &list, NoteList::sink));
    EXPECT_EQ(list.notes.size(), 3u);
}

}  // namespace
}  // namespace quillex
