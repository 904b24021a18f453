// Project document records: defaults, equality relations and section sharing.
#include "document/project_document.h"

#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

namespace quillex {
namespace {

TEST(ProgressionSlotDefaults, AFreshSlotIsAFourBeatChordWithTheDefaultAttack) {
    const ProgressionSlot slot;
    EXPECT_EQ(slot.duration, 4.0);
    EXPECT_EQ(slot.velocity, 100);
    EXPECT_FALSE(slot.type.has_value());
    EXPECT_FALSE(slot.isRest);
    EXPECT_FALSE(slot.id.has_value());
    EXPECT_TRUE(slot.chord.original.empty());
    EXPECT_FALSE(slot.attack.isFullForm);
    EXPECT_EQ(slot.attack.mode, "off");
    EXPECT_EQ(slot.attack.gate, "hold");
    EXPECT_EQ(slot.attack.timingBasis, "total");
    EXPECT_EQ(slot.attack.spread, "1/64");
    EXPECT_TRUE(slot.attack.includeBass);
    EXPECT_EQ(slot.attack.roundRobinLength, 1u);
    EXPECT_TRUE(slot.attack.orderKinds.empty());
    EXPECT_TRUE(slot.attackOrders.empty());
    EXPECT_FALSE(slot.gesturePresetIdPresent);
}

TEST(SectionDefaults, TheDefaultGestureHasNoAttackOrderPages) {
    const auto gesture = makeDefaultGestureSection();
    EXPECT_EQ(gesture->newChordVelocity, 100);
    EXPECT_EQ(gesture->newChordAttack, AttackSettings{});
    EXPECT_TRUE(gesture->newChordAttackOrders.empty());
    EXPECT_FALSE(gesture->newChordPresetId.has_value());
    EXPECT_NE(makeDefaultGestureSection(), gesture);  // a new section each time
    EXPECT_EQ(makeDefaultClipSyncSection()->mode, "off");
}

TEST(SlotEquality, PresenceFlagsAndNaNDurationsMakeSlotsUnequal) {
    ProgressionSlot a;
    ProgressionSlot b;
    EXPECT_EQ(a, b);
    b.gesturePresetIdPresent = true;
    EXPECT_NE(a, b);

    ProgressionSlot nanA;
    nanA.duration = std::numeric_limits<double>::quiet_NaN();
    const ProgressionSlot nanB = nanA;
    EXPECT_NE(nanA, nanB);

    ProgressionSlot withPreset;
    withPreset.gesturePresetId = "p";
    EXPECT_NE(withPreset, ProgressionSlot{});

    ProgressionSlot pages;
    pages.attackOrders = {AttackOrderPage{{1, 2}, 1}};
    ProgressionSlot otherSeed = pages;
    otherSeed.attackOrders[0].velocitySeed = 2;
    EXPECT_NE(pages, otherSeed);
}

TEST(SlotEquality, AttacksCompareEveryFieldWhateverTheirForm) {
    AttackSettings shortForm;
    AttackSettings changedHidden;
    changedHidden.velocityCurve.secondBend = 5;  // not meaningful in the short form, still compared
    EXPECT_NE(shortForm, changedHidden);
    AttackSettings fullForm;
    fullForm.isFullForm = true;
    EXPECT_NE(shortForm, fullForm);
}

TEST(SlotChordEquality, OptionalsCompareByPresenceAndValue) {
    SlotChord a;
    a.original = "C";
    SlotChord b = a;
    EXPECT_EQ(a, b);
    b.root = "";
    EXPECT_NE(a, b);  // present-but-empty differs from absent

    SlotChord degreeA = a;
    degreeA.degree = 1.0;
    SlotChord degreeB = a;
    degreeB.degree = 1.0;
    EXPECT_EQ(degreeA, degreeB);
    degreeA.degree = std::nan("");
    degreeB.degree = std::nan("");
    EXPECT_NE(degreeA, degreeB);

    SlotChord legacy = a;
    legacy.bassNote = "E";
    SlotChord modern = legacy;
    legacy.usesLegacyBassKey = true;
    EXPECT_NE(legacy, modern);

    SlotChord intervals = a;
    intervals.intervals = {0, 4, 7};
    SlotChord longer = intervals;
    longer.intervals.push_back(10);
    EXPECT_NE(intervals, longer);

    SlotChord assigned;
    assigned = legacy;  // copy assignment keeps presence and values
    EXPECT_EQ(assigned, legacy);
}

ProjectDocument makeDocument() {
    ProjectDocument document;
    document.schemaVersion = 15;
    document.progression = std::make_shared<const ProgressionSection>();
    document.progressionLog = std::make_shared<const ProgressionLog>();
    document.key = std::make_shared<const KeySection>(KeySection{"C", "major", "natural", 0, false});
    document.voicing = std::make_shared<const VoicingSection>();
    document.rhythm = std::make_shared<const RhythmSection>();
    document.gesture = makeDefaultGestureSection();
    document.bassSplit = std::make_shared<const BassSplitSection>();
    document.clipSync = makeDefaultClipSyncSection();
    return document;
}

TEST(DocumentSharing, AKeyChangeSharesEveryOtherSection) {
    const ProjectDocument before = makeDocument();
    ProjectDocument after = before;
    after.key = std::make_shared<const KeySection>(KeySection{"G", "major", "natural", 0, false});

    EXPECT_NE(after.key, before.key);
    EXPECT_EQ(after.progression, before.progression);
    EXPECT_EQ(after.progressionLog, before.progressionLog);
    EXPECT_EQ(after.voicing, before.voicing);
    EXPECT_EQ(after.rhythm, before.rhythm);
    EXPECT_EQ(after.gesture, before.gesture);
    EXPECT_EQ(after.bassSplit, before.bassSplit);
    EXPECT_EQ(after.clipSync, before.clipSync);
    EXPECT_EQ(before.key->root, "C");
}

TEST(DocumentSharing, CopiesShareAndMovesEmptyTheSource) {
    ProjectDocument source = makeDocument();
    const long before = source.rhythm.use_count();
    {
        const ProjectDocument copy = source;
        EXPECT_EQ(source.rhythm.use_count(), before + 1);
    }
    EXPECT_EQ(source.rhythm.use_count(), before);

    const auto* rhythm = source.rhythm.get();
    ProjectDocument moved = std::move(source);
    EXPECT_EQ(moved.rhythm.get(), rhythm);
    EXPECT_EQ(source.rhythm, nullptr);  // NOLINT(bugprone-use-after-move): moved-from state is specified
    EXPECT_EQ(source.clipSync, nullptr);
}

}  // namespace
}  // namespace quillex
