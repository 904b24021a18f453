// Trigger rows: reset state, the Part's rows, failure order, step arithmetic and spread by velocity.
#include "performance/trigger_row.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "performance_samples.h"

namespace quillex {
namespace {

using testing::sameBytes;

using testing::advancedAttack;
using testing::chordSlot;
using testing::rhythmOf;

std::string failureOf(const ProgressionSlot& slot, const std::vector<std::int32_t>& notes,
                      const RhythmSection& rhythm) {
    try {
        (void)compileTriggerRow(slot, notes, rhythm);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "compiled";
}

TEST(TriggerRowRecord, ResetRowsAreZeroBytesBesideFourFields) {
    TriggerRow row;
    EXPECT_EQ(row.midPosition, 50);
    EXPECT_EQ(row.cycleLength, 4.0);
    EXPECT_EQ(row.duration, 4.0);
    EXPECT_EQ(row.velocity, 100);
    EXPECT_EQ(row.enabled, 0);
    EXPECT_EQ(row.hitCount, 0);
    EXPECT_EQ(row.hits[15].pages[7].noteCount, 0);

    // Dirty the padding through a byte fill; reset must bring back the same bytes.
    TriggerRow dirty;
    std::memset(static_cast<void*>(&dirty), 0xA5, sizeof(dirty));
    dirty.reset();
    EXPECT_TRUE(sameBytes(dirty, row));
    EXPECT_GT(sizeof(TriggerRow), 40000u);
}

TEST(TriggerRowCompile, PatternNoneStrikesOnceWithNewChordPages) {
    const std::vector<std::int32_t> notes{64, 60, 67};
    const TriggerRow row = compileTriggerRow(chordSlot(AttackSettings{}, 2.5), notes, rhythmOf("none"));
    EXPECT_EQ(row.enabled, 1);
    EXPECT_EQ(row.rhythmic, 0);
    EXPECT_EQ(row.hitCount, 0);
    EXPECT_EQ(row.cycleLength, 4.0);
    EXPECT_EQ(row.duration, 2.5);
    EXPECT_EQ(row.pageCount, 1);
    EXPECT_EQ(row.pages[0].noteCount, 3);
    EXPECT_EQ(row.pages[0].pitches[0], 64);  // the voicing's own order
    EXPECT_EQ(row.pages[0].pitches[2], 67);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(row.pages[0].onsetOffsets[k], 0.0);
        EXPECT_EQ(row.pages[0].velocityMultipliers[k], 1.0);
    }
    EXPECT_EQ(row.spreadAtSoftest, 0.0);
    EXPECT_EQ(row.midPosition, 50);
    for (std::int32_t v : {0, 1, 64, 127, 200}) EXPECT_EQ(velocityToSpreadBeats(row, v), 0.0);
}

TEST(TriggerRowCompile, QuarterHitsWithAndWithoutShift) {
    const std::vector<std::int32_t> notes{67, 60, 72, 64};
    const TriggerRow row = compileTriggerRow(chordSlot(), notes, rhythmOf("quarter"));
    ASSERT_EQ(row.hitCount, 4);
    EXPECT_EQ(row.rhythmic, 1);
    for (int h = 0; h < 4; ++h) {
        const TriggerHit& hit = row.hits[h];
        EXPECT_EQ(hit.onset, h * 1.0);
        ASSERT_EQ(hit.noteCount, 4);
        EXPECT_EQ(hit.pageCount, 1);
        const std::vector<int> pitches(hit.pitches.begin(), hit.pitches.begin() + 4);
        EXPECT_EQ(pitches, (std::vector<int>{60, 64, 67, 72}));  // bass, inner ascending, top
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(hit.lengths[k], 1.0);
            EXPECT_EQ(hit.velocityFactors[k], 1.0);
        }
        EXPECT_EQ(hit.pages[0].noteCount, 4);
    }

    const TriggerRow shifted = compileTriggerRow(chordSlot(), notes, rhythmOf("quarter", 1));
    ASSERT_EQ(shifted.hitCount, 4);
    for (int h = 0; h < 4; ++h) {
        EXPECT_EQ(shifted.hits[h].onset, 0.75 + h);
        EXPECT_EQ(shifted.hits[h].lengths[0], 1.0);
    }
    EXPECT_GT(shifted.hits[3].onset + shifted.hits[3].lengths[0], 4.0);  // reaches past the cycle end
}

TEST(TriggerRowCompile, TwoNotesUnderWholeAndAdvancedFixedSpread) {
    const std::vector<std::int32_t> two{52, 40};
    const TriggerRow whole = compileTriggerRow(chordSlot(), two, rhythmOf("whole"));
    ASSERT_EQ(whole.hitCount, 1);
    ASSERT_EQ(whole.hits[0].noteCount, 2);
    EXPECT_EQ(whole.hits[0].pitches[0], 40);
    EXPECT_EQ(whole.hits[0].pitches[1], 52);
    EXPECT_EQ(whole.hits[0].lengths[0], 4.0);

    AttackSettings attack = advancedAttack(3, false);
    const TriggerRow fixed = compileTriggerRow(chordSlot(attack), two, rhythmOf("none"));
    EXPECT_EQ(fixed.pageCount, 3);
    EXPECT_EQ(fixed.step, 1);
    EXPECT_EQ(fixed.globalFollow, 1);
    EXPECT_EQ(fixed.spreadAtSoftest, 0.25);
    EXPECT_EQ(fixed.spreadAtMiddle, 0.25);
    EXPECT_EQ(fixed.spreadAtHardest, 0.25);
    EXPECT_EQ(fixed.firstBend, 0.0);
    EXPECT_EQ(fixed.midPosition, 50);
    for (std::int32_t v : {-5, 0, 1, 50, 127, 200}) EXPECT_EQ(velocityToSpreadBeats(fixed, v), 0.25);
}

TEST(TriggerRowCompile, VelocitiesOutsideTheMidiRangeClamp) {
    const TriggerRow row =
        compileTriggerRow(chordSlot(advancedAttack()), std::vector<std::int32_t>{60, 64, 67}, rhythmOf("none"));
    EXPECT_EQ(velocityToSpreadBeats(row, 0), velocityToSpreadBeats(row, 1));
    EXPECT_EQ(velocityToSpreadBeats(row, -70), velocityToSpreadBeats(row, 1));
    EXPECT_EQ(velocityToSpreadBeats(row, 200), velocityToSpreadBeats(row, 127));
    EXPECT_DOUBLE_EQ(velocityToSpreadBeats(row, 1), 1.0);
    EXPECT_DOUBLE_EQ(velocityToSpreadBeats(row, 127), 1.0 / 96);
}

TEST(TriggerRowParts, SelectionByPartAndVoicingSize) {
    const std::vector<std::int32_t> four{67, 60, 72, 64};
    EXPECT_EQ(selectRhythmPartNotes(four, "bass"), std::vector<std::int32_t>{60});
    EXPECT_EQ(selectRhythmPartNotes(four, "top"), std::vector<std::int32_t>{72});
    EXPECT_EQ(selectRhythmPartNotes(four, "middle"), (std::vector<std::int32_t>{64, 67}));
    EXPECT_EQ(selectRhythmPartNotes(std::vector<std::int32_t>{60}, "top"), std::vector<std::int32_t>{});
    EXPECT_EQ(selectRhythmPartNotes(std::vector<std::int32_t>{60, 62}, "middle"), std::vector<std::int32_t>{});
    EXPECT_EQ(selectRhythmPartNotes({}, "anything"), std::vector<std::int32_t>{});
    EXPECT_THROW(selectRhythmPartNotes(four, "Bass"), std::runtime_error);
}

TEST(TriggerRowPages, FillChecksCountTimingAndPitches) {
    const auto fillFailure = [](const std::vector<std::int32_t>& notes, std::size_t timingSize) {
        TriggerPage page{};
        try {
            fillTriggerPage(page, notes, {std::vector<double>(timingSize, 0.0), std::vector<double>(timingSize, 1.0)});
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("filled");
    };
    EXPECT_EQ(fillFailure({}, 0), "Trigger gesture page is invalid");
    EXPECT_EQ(fillFailure(std::vector<std::int32_t>(17, 1), 17), "Trigger gesture page is invalid");
    EXPECT_EQ(fillFailure({60, 64}, 3), "Trigger gesture page is invalid");
    EXPECT_EQ(fillFailure({60, 128}, 2), "Trigger gesture pitch is invalid");
    EXPECT_EQ(fillFailure({-1}, 1), "Trigger gesture pitch is invalid");
    EXPECT_EQ(fillFailure({316}, 1), "Trigger gesture pitch is invalid");  // would narrow to 60
    EXPECT_EQ(fillFailure({0, 127, 0}, 3), "Trigger gesture pitch is invalid");
    EXPECT_EQ(fillFailure({0, 127}, 2), "filled");
}

// Each row breaks two checks; the row must report the one compilation reaches first.
TEST(TriggerRowCompile, FailureOrderReportsTheEarlierCheck) {
    struct Case {
        const char* name;
        ProgressionSlot slot;
        std::vector<std::int32_t> notes;
        RhythmSection rhythm;
        const char* expected;
    };
    const std::vector<std::int32_t> chord{60, 64, 67};
    const auto advanced = [](auto edit) {
        AttackSettings attack = advancedAttack(3, false);
        edit(attack);
        return chordSlot(attack);
    };
    RhythmSection missingCustom = rhythmOf("custom");
    RhythmSection seventeenOnsets = rhythmOf("custom");
    seventeenOnsets.customPattern = RhythmCustomPattern{20, {}};
    for (int s = 0; s < 17; ++s) seventeenOnsets.customPattern->events.push_back({s, 1, "bass", 100});
    RhythmSection oddPart = seventeenOnsets;
    oddPart.customPattern->events.push_back({18, 1, "side", 100});
    RhythmSection crowdedThenRepeated = rhythmOf("custom");
    crowdedThenRepeated.customPattern = RhythmCustomPattern{
        16, {{4, 1, "bass", 100}, {4, 1, "bass", 100}, {0, 1, "middle", 100}, {0, 1, "middle", 100}}};
    RhythmSection tooManyWithCrowd = seventeenOnsets;
    for (int i = 0; i < 10; ++i) tooManyWithCrowd.customPattern->events.push_back({0, 1, "middle", 100});
    RhythmSection emptyCycle = oddPart;
    emptyCycle.customPattern->lengthSteps = 0;
    ProgressionSlot loud = advanced([](AttackSettings& a) { a.roundRobinLength = 9; });
    loud.velocity = 300;
    const std::vector<std::int32_t> twelve = testing::spreadVoicing(12);

    const std::vector<Case> cases = {
        {"velocity byte, page count", loud, chord, rhythmOf("none"), "Document slot is invalid"},
        {"page count, empty voicing",
         advanced([](AttackSettings& a) { a.roundRobinLength = 9; }),
         {},
         rhythmOf("none"),
         "Trigger gesture page count is invalid"},
        {"page count 0, bad spread", advanced([](AttackSettings& a) { a.roundRobinLength = 0, a.spread = "2/4"; }),
         chord, rhythmOf("none"), "Trigger gesture page count is invalid"},
        {"page unavailable, bad pitch",
         advanced([](AttackSettings& a) { a.orderKinds.clear(); }),
         {60, 200},
         rhythmOf("none"),
         "Trigger attack page is unavailable"},
        {"page of 17, bad spread", advanced([](AttackSettings& a) { a.spread = "2/4"; }), testing::spreadVoicing(17),
         rhythmOf("none"), "Trigger gesture page is invalid"},
        {"duplicate pitch, unsupported spread",
         advanced([](AttackSettings& a) { a.spread = "1/3"; }),
         {60, 60},
         rhythmOf("none"),
         "Trigger gesture pitch is invalid"},
        {"pitch 128, unknown preset", chordSlot(), {60, 128}, rhythmOf("Quarter"), "Trigger gesture pitch is invalid"},
        {"malformed spread, unknown preset", advanced([](AttackSettings& a) { a.spread = "1:4"; }), chord,
         rhythmOf("nope"), "Trigger attack spread is malformed"},
        {"unsupported spread, missing custom", advanced([](AttackSettings& a) { a.spread = "1/5"; }), chord,
         missingCustom, "Trigger attack spread is unsupported"},
        {"empty cycle, odd part", chordSlot(), chord, emptyCycle, "Document rhythm is invalid"},
        {"odd part, hit limit", chordSlot(), chord, oddPart, "Trigger rhythm contains an unsupported part"},
        {"hit limit, crowded hit", chordSlot(), twelve, tooManyWithCrowd, "Trigger rhythm exceeds the hit limit"},
        {"crowded hit, repeated pitch", chordSlot(), twelve, crowdedThenRepeated, "Trigger gesture page is invalid"},
    };
    for (const Case& c : cases) EXPECT_EQ(failureOf(c.slot, c.notes, c.rhythm), c.expected) << c.name;

    // Alone, each later check does fail with its own message.
    RhythmSection repeated = rhythmOf("custom");
    repeated.customPattern = RhythmCustomPattern{16, {{4, 1, "bass", 100}, {4, 2, "bass", 100}}};
    EXPECT_EQ(failureOf(chordSlot(), chord, repeated), "Trigger gesture pitch is invalid");
    EXPECT_EQ(failureOf(chordSlot(), chord, seventeenOnsets), "Trigger rhythm exceeds the hit limit");
    EXPECT_EQ(failureOf(chordSlot(), chord, missingCustom), "Custom rhythm pattern is missing");
    EXPECT_EQ(failureOf(chordSlot(), chord, rhythmOf("Quarter")), "Trigger rhythm preset could not be resolved");
    EXPECT_EQ(failureOf(chordSlot(), {}, rhythmOf("none")), "Trigger gesture page is invalid");
}

// Step arithmetic runs in 64 bits: shifts and offsets near the 32-bit limits wrap like small ones.
TEST(TriggerRowCompile, ExtremeShiftsWrapWithoutOverflow) {
    const std::vector<std::int32_t> notes{60, 64, 67};
    const auto rowAt = [&](std::int32_t shift) {
        return compileTriggerRow(chordSlot(), notes, rhythmOf("funk-4", shift));
    };
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    EXPECT_TRUE(sameBytes(rowAt(hi), rowAt(-1)));  // 2^31 - 1 = 15 (mod 16)
    EXPECT_TRUE(sameBytes(rowAt(lo), rowAt(0)));   // -2^31 = 0 (mod 16)
    EXPECT_TRUE(sameBytes(rowAt(hi - 16), rowAt(15)));

    RhythmSection custom = rhythmOf("custom", hi);
    custom.customPattern = RhythmCustomPattern{7, {{lo, hi, "bass", 100}, {hi, 1, "top", 100}}};
    const TriggerRow row = compileTriggerRow(chordSlot(), notes, custom);
    ASSERT_EQ(row.hitCount, 2);
    for (int h = 0; h < 2; ++h) {
        EXPECT_GE(row.hits[h].onset, 0.0);
        EXPECT_LT(row.hits[h].onset, 1.75);
        EXPECT_TRUE(std::isfinite(row.hits[h].lengths[0]));
        EXPECT_GT(row.hits[h].lengths[0], 0.0);
    }
}

// For a dynamic attack the row's three-point spread reproduces the direct spread at every velocity.
// Velocities below the middle position read only the first bend and those above only the second,
// so pairing each bend step with its mirror covers every step of both.
TEST(TriggerRowSpread, RowSpreadAgreesWithDirectSpreadAtEveryVelocity) {
#ifdef QUILLEX_SANITIZED
    constexpr int kBendStride = 2;
#else
    constexpr int kBendStride = 1;
#endif
    const std::vector<std::int32_t> notes{60, 64, 67};
    const std::vector<std::array<std::int32_t, 3>> levels = {{100, 50, 0}, {20, 90, 60}, {0, 0, 100}, {40, 40, 40}};
    int checked = 0;
    for (const auto& [start, mid, end] : levels) {
        for (std::int32_t position = 10; position <= 90; position += 5) {
            for (std::int32_t bend = -100; bend <= 100; bend += 5 * kBendStride) {
                AttackSettings attack = advancedAttack(1, true);
                attack.velocityRateCurve = {start, mid, position, end, bend, -bend};
                const TriggerRow row = compileTriggerRow(chordSlot(attack), notes, rhythmOf("none"));
                for (std::int32_t v = 1; v <= 127; ++v) {
                    const double x = (v - 1) / 126.0;
                    const double direct = spreadBeatsAtVelocityPosition(attack, x);
                    const bool lower = x <= position / 100.0;
                    const double r0 = lower ? row.spreadAtSoftest : row.spreadAtMiddle;
                    const double r1 = lower ? row.spreadAtMiddle : row.spreadAtHardest;
                    const double tolerance = std::fabs(r0 - r1) <= 0.0001 ? 0.0001 : 1e-9;
                    ASSERT_NEAR(velocityToSpreadBeats(row, v), direct, tolerance)
                        << start << "/" << mid << "/" << position << "/" << end << " bend " << bend << " velocity "
                        << v;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 100000 / kBendStride);
}

}  // namespace
}  // namespace quillex
