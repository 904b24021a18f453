// Anchors, segments, segment options and the segment debug line.
#include "voicing/voicing_anchors.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "protocol/diagnostic_trace.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

VoicingSlot slot(std::string_view symbol, VoicingStyle style = VoicingStyle::Closed, bool autoVoiced = true) {
    VoicingSlot s;
    s.chord = *parseChordSymbol(symbol);
    s.style = style;
    s.autoVoiced = autoVoiced;
    return s;
}

VoicingSlot manual(std::string_view symbol, std::vector<std::int32_t> notes,
                   VoicingStyle style = VoicingStyle::Closed) {
    VoicingSlot s = slot(symbol, style, false);
    s.manualMidi = std::move(notes);
    return s;
}

std::vector<std::int32_t> midiOf(const std::vector<Pitch>& pitches) { return notesToMidi(pitches); }

TEST(AnchorVoicing, ManualNotesSortedStyleVoicingsAtOctaveThree) {
    EXPECT_EQ(voiceAnchorSlot(manual("C", {67, 60, 64})), (std::vector<std::int32_t>{60, 64, 67}));
    VoicingSlot s = slot("C");
    s.octave = 6;
    s.dropBass = true;
    EXPECT_EQ(voiceAnchorSlot(s), (std::vector<std::int32_t>{48, 52, 55})) << "octave and drop bass wait for later";
    s.inversion = 1;
    s.octaveShift = 1;
    EXPECT_EQ(voiceAnchorSlot(s), (std::vector<std::int32_t>{64, 67, 72}));
}

TEST(Segments, SingleSlotIsItsOwnAnchor) {
    AnchorNotes anchors;
    EXPECT_TRUE(buildAvlSegments({slot("C")}, anchors, false).empty());
    const auto result = planAutoVoiceLeading({slot("C")}, false, nullptr);
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(midiOf(result[0]), (std::vector<std::int32_t>{48, 52, 55}));
    EXPECT_TRUE(planAutoVoiceLeading({}, false, nullptr).empty());
}

TEST(Segments, ConsecutivePinnedSlotsFormNoSegment) {
    const std::vector<VoicingSlot> slots{slot("C"), manual("F", {53, 57, 60}), manual("G", {55, 59, 62})};
    AnchorNotes anchors;
    EXPECT_TRUE(buildAvlSegments(slots, anchors, false).empty());
    const auto result = planAutoVoiceLeading(slots, false, nullptr);
    EXPECT_EQ(midiOf(result[1]), (std::vector<std::int32_t>{53, 57, 60}));
    EXPECT_EQ(midiOf(result[2]), (std::vector<std::int32_t>{55, 59, 62}));
}

TEST(Segments, AllAutoVoicedSlotsFormOneSegmentFixedOnlyAtItsStart) {
    const std::vector<VoicingSlot> slots{slot("C"), slot("Am"), slot("F"), slot("G7")};
    AnchorNotes anchors;
    const auto segments = buildAvlSegments(slots, anchors, false);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].start, 0u);
    EXPECT_EQ(segments[0].end, 3u);
    EXPECT_EQ(segments[0].chords.size(), 4u);
    EXPECT_EQ(segments[0].fixedChords, (std::vector<FixedNotes>{std::vector<std::int32_t>{48, 52, 55}, std::nullopt,
                                                                std::nullopt, std::nullopt}));
}

TEST(Segments, PinnedSlotsCutTheProgressionAndEndSegments) {
    const std::vector<VoicingSlot> slots{slot("C"), slot("Am"), manual("F", {53, 57, 60}), slot("G7"), slot("C")};
    AnchorNotes anchors;
    const auto segments = buildAvlSegments(slots, anchors, false);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].end, 2u);
    EXPECT_EQ(segments[0].fixedChords.back(), (std::vector<std::int32_t>{53, 57, 60}));
    EXPECT_EQ(segments[1].start, 2u);
    EXPECT_EQ(segments[1].end, 4u);
    EXPECT_EQ(segments[1].anchorMidi, (std::vector<std::int32_t>{53, 57, 60}));
    const auto result = planAutoVoiceLeading(slots, false, nullptr);
    EXPECT_EQ(midiOf(result[2]), (std::vector<std::int32_t>{53, 57, 60}));
    for (const auto& pitches : result) EXPECT_TRUE(std::is_sorted(pitches.begin(), pitches.end()));
}

TEST(SegmentOptions, RegisterComesFromTheAnchorAndMarginsFromItsStyle) {
    auto options = [](VoicingSlot first, std::string_view next = "F") {
        AnchorNotes anchors;
        const std::vector<VoicingSlot> slots{std::move(first), slot(next)};
        return buildAvlSegments(slots, anchors, true).front().options;
    };
    const VoicerOptions closed = options(manual("C", {48, 52, 55}));
    EXPECT_EQ(closed.top, 59);
    EXPECT_EQ(closed.bottom, 43);
    EXPECT_EQ(closed.middle, 52);
    EXPECT_EQ(closed.minNotes, 3);
    EXPECT_EQ(closed.targetNotes, 3);
    EXPECT_EQ(closed.maxNotes, 3);
    EXPECT_TRUE(closed.allowBassChanges);
    EXPECT_EQ(closed.inversionWeight, -1.5);
    EXPECT_EQ(closed.middleWeightScale, 2.0);
    EXPECT_EQ(closed.bottomWeightScale, 1.5);
    EXPECT_EQ(closed.topWeightScale, 1.0);
    EXPECT_EQ(closed.minSpan, 0);
    EXPECT_EQ(closed.maxSpan, 127);

    const VoicerOptions anthem = options(manual("C", {48, 52, 55}, VoicingStyle::Anthem));
    EXPECT_EQ(anthem.top, 57);
    EXPECT_EQ(anthem.maxNotes, 4);
    EXPECT_EQ(anthem.style, VoicingStyle::Anthem);
    EXPECT_EQ(options(manual("C", {60, 61})).middle, 61) << "halves round away from zero";
    EXPECT_EQ(options(manual("C", {48, 52, 55}), "C13").maxNotes, 6) << "room for every pitch class";
}

TEST(SegmentOptions, WideAnchorsFixTheSpanWindow) {
    auto options = [](std::vector<std::int32_t> notes) {
        AnchorNotes anchors;
        const std::vector<VoicingSlot> slots{manual("C", std::move(notes), VoicingStyle::Tessaro), slot("F")};
        return buildAvlSegments(slots, anchors, false).front().options;
    };
    const VoicerOptions five = options({48, 52, 55, 57, 60});
    EXPECT_EQ(five.minSpan, 4);
    EXPECT_EQ(five.maxSpan, 20);
    const VoicerOptions wide = options({40, 52, 58});
    EXPECT_EQ(wide.minSpan, 10);
    EXPECT_EQ(wide.maxSpan, 26);
    const VoicerOptions tight = options({48, 50, 51, 52, 53});
    EXPECT_EQ(tight.minSpan, 0);
    EXPECT_EQ(tight.maxSpan, 13);
    const VoicerOptions narrow = options({48, 52, 55, 64});
    EXPECT_EQ(narrow.maxSpan, 127);
}

TEST(SegmentOptions, NoteCountsAreCappedAtTwelve) {
    AnchorNotes anchors;
    const std::vector<VoicingSlot> slots{
        manual("C", {36, 40, 43, 48, 52, 55, 60, 64, 67, 72, 76, 79}, VoicingStyle::Tessaro), slot("F")};
    const VoicerOptions o = buildAvlSegments(slots, anchors, false).front().options;
    EXPECT_EQ(o.maxNotes, 12);
    EXPECT_EQ(o.minNotes, 12);
}

TEST(SegmentLine, DescribesTheSegmentWhenDebugIsOn) {
    clearAvlDebugLines();
    setAvlDebugEnabled(true);
    planAutoVoiceLeading({slot("C"), slot("F")}, false, nullptr);
    const std::vector<std::string> lines = takeAvlDebugLines();
    setAvlDebugEnabled(false);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
              "AVL segment start=0 end=1 anchor_style=closed anchor_octave=4 anchor_midi=[48,52,55] top=59 "
              "bottom=43 middle=52 minSpan=0 maxSpan=127 minNotes=3 maxNotes=3");
    EXPECT_EQ(lines[1], "AVL chord[0] Cmaj unique=3 min=3 max=3 raw=1 cache=miss");
}

TEST(PlanAutoVoiceLeading, LastAnchorComesBackExactly) {
    const std::vector<VoicingSlot> slots{slot("C", VoicingStyle::Tessaro), slot("Dm7", VoicingStyle::Tessaro),
                                         manual("G7", {43, 53, 59, 64})};
    const auto result = planAutoVoiceLeading(slots, false, nullptr);
    EXPECT_EQ(midiOf(result[2]), (std::vector<std::int32_t>{43, 53, 59, 64}));
    EXPECT_FALSE(result[1].empty());
}

std::vector<std::string> prefixesOfSolves(const std::vector<VoicingSlot>& slots, VoicerPort& port) {
    resetDiagnosticTrace();
    setDiagnosticTraceEnabled(true);
    planAutoVoiceLeading(slots, false, &port);
    std::vector<std::string> prefixes;
    for (const std::string& line : diagnosticTraceLines()) {
        const auto at = line.find(" prefix=");
        prefixes.push_back(line.substr(at + 8, line.find(' ', at + 1) - at - 8));
    }
    resetDiagnosticTrace();
    return prefixes;
}

TEST(PlanAutoVoiceLeading, PortReusesOneSegmentButNotTwo) {
    VoicerPort port;
    const std::vector<VoicingSlot> one{slot("C"), slot("Am"), slot("F"), slot("G7")};
    EXPECT_EQ(prefixesOfSolves(one, port), (std::vector<std::string>{"0"}));
    EXPECT_EQ(prefixesOfSolves(one, port), (std::vector<std::string>{"4"}));

    const std::vector<VoicingSlot> two{slot("C"), slot("Am"), manual("G7", {43, 53, 59, 64}), slot("Em")};
    // The first segment shares its options and its two leading chords with
    // the previous solve.
    EXPECT_EQ(prefixesOfSolves(two, port), (std::vector<std::string>{"2", "0"}));
    EXPECT_EQ(prefixesOfSolves(two, port), (std::vector<std::string>{"0", "0"}))
        << "each segment overwrites the other's solve";
}

// A sparse chord after a dense anchor (a power chord after a ninth) fits none
// of the anchor's note-count and span limits; every chord the single-chord
// voicer can voice must still be voice-led, holding exactly its pitch classes.
TEST(PlanAutoVoiceLeading, EveryVoicableChordFollowsEveryOtherInEveryStyle) {
    constexpr std::string_view kQualities[] = {
        "C",     "Cm", "C5",   "Csus2", "Csus4", "Cdim", "Caug", "C6",     "C6/9",   "Cmaj7",    "C7",  "Cm7",  "Cm7b5",
        "Cdim7", "C9", "C7b9", "C7#9",  "C7alt", "C13",  "Cm11", "C13#11", "C7#9#5", "Cmaj9#11", "C/E", "C7/Bb"};
    constexpr std::string_view kRoots[] = {"C", "F", "Bb", "E", "G"};
    auto voicable = [](const VoicingSlot& s) {
        try {
            voiceAnchorSlot(s);
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    };
    for (int style = 0; style < 6; ++style) {
        const auto st = static_cast<VoicingStyle>(style);
        for (std::size_t a = 0; a < std::size(kQualities); ++a) {
            const VoicingSlot first = slot(kQualities[a], st);
            if (!voicable(first)) continue;
            for (std::size_t b = 0; b < std::size(kQualities); ++b) {
                std::string symbol(kQualities[b]);
                symbol.replace(0, 1, kRoots[(a + b) % std::size(kRoots)]);
                const VoicingSlot second = slot(symbol, st);
                if (!voicable(second)) continue;
                const std::string where =
                    std::string(voicingStyleId(st)) + " " + std::string(kQualities[a]) + " " + symbol;
                std::vector<std::vector<Pitch>> result;
                try {
                    result = planAutoVoiceLeading({first, second}, (a + b) % 2 == 0, nullptr);
                } catch (const std::exception& e) {
                    ADD_FAILURE() << where << ": " << e.what();
                    continue;
                }
                std::set<PitchClass> got;
                for (const Pitch& p : result[1]) got.insert(p.pitchClass);
                const std::vector<PitchClass> tones = chordPitchClasses(second.chord);
                std::set<PitchClass> expected(tones.begin(), tones.end());
                expected.insert(second.chord.root);
                if (second.chord.bass) expected.insert(*second.chord.bass);
                EXPECT_EQ(got, expected) << where;
            }
        }
    }
}

}  // namespace
}  // namespace quillex
