// The phrase path: slot strikes, bass dispositions, legato ties, labels, refusals and the diagnostic line.
#include "performance/phrase_render.h"

#include <regex>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "performance/clip_label.h"
#include "performance_samples.h"
#include "protocol/diagnostic_trace.h"
#include "trigger_samples.h"

namespace quillex {
namespace {

using testing::chordRow;
using testing::pageOf;
using testing::rhythmRow;
using testing::setSpread;

ResolvedPerformancePlan planOf(std::vector<TriggerRow> rows, bool legato = false) {
    ResolvedPerformancePlan plan;
    for (const TriggerRow& row : rows) plan.totalLength += row.duration;
    plan.rows = std::move(rows);
    plan.legato = legato ? 1 : 0;
    return plan;
}

ProjectDocument documentOfSlots(const std::vector<std::string>& chords) {
    std::vector<ProgressionSlot> slots;
    for (const std::string& chord : chords) {
        if (chord == "r") {
            slots.push_back(testing::restSlot(4.0));
        } else {
            slots.push_back(testing::chordSlot());
            slots.back().chord.original = chord;
        }
    }
    return testing::documentOf(std::move(slots));
}

std::string renderFailureOf(const auto& render) {
    try {
        render();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "rendered";
}

std::vector<int> pitchesOf(const std::vector<PhraseNote>& notes) {
    std::vector<int> out;
    for (const PhraseNote& note : notes) out.push_back(note.pitch);
    return out;
}

TEST(PhraseRender, ChordSlotsStrikeOnceAndLastToTheirSlotEnd) {
    TriggerRow row = chordRow({pageOf({67, 60, 64}, {1.0, 0.0, 0.5})}, 2.0);
    setSpread(row, 0.2);
    const ProjectDocument document = documentOfSlots({"C", "C", "C", "C"});
    const RenderedPhrase phrase =
        renderSessionPhrase(document, "fifths", planOf({row, row, row, row}), BassDisposition::none);
    ASSERT_EQ(phrase.mainNotes.size(), 12u);
    EXPECT_EQ(phrase.length, 8.0);
    for (std::size_t slot = 0; slot < 4; ++slot) {
        const double start = 2.0 * static_cast<double>(slot);
        const PhraseNote* notes = &phrase.mainNotes[slot * 3];
        EXPECT_EQ(notes[0], (PhraseNote{60, start, 2.0, 100, start}));
        EXPECT_EQ(notes[1].pitch, 64);
        EXPECT_DOUBLE_EQ(notes[1].start, start + 0.1);
        EXPECT_DOUBLE_EQ(notes[1].start + notes[1].duration, start + 2.0);
        EXPECT_DOUBLE_EQ(notes[2].start, start + 0.2);
    }
    EXPECT_EQ(phrase.mainLabel, "QX [C C C C]");
    EXPECT_EQ(phrase.bassLabel, "");
    EXPECT_FALSE(phrase.hasBass);
    EXPECT_TRUE(phrase.bassNotes.empty());
}

TEST(PhraseRender, BassDispositionsSplitTheLowestNote) {
    const TriggerRow row = chordRow({pageOf({52, 48, 55})});
    const ProjectDocument document = documentOfSlots({"C"});
    const ResolvedPerformancePlan plan = planOf({row});
    const RenderedPhrase none = renderSessionPhrase(document, "fifths", plan, BassDisposition::none);
    const RenderedPhrase duplicate = renderSessionPhrase(document, "fifths", plan, BassDisposition::duplicate);
    const RenderedPhrase migrate = renderSessionPhrase(document, "fifths", plan, BassDisposition::migrate);
    EXPECT_EQ(pitchesOf(none.mainNotes), (std::vector<int>{48, 52, 55}));
    EXPECT_TRUE(none.bassNotes.empty());
    EXPECT_EQ(pitchesOf(duplicate.mainNotes), (std::vector<int>{48, 52, 55}));
    EXPECT_EQ(pitchesOf(duplicate.bassNotes), (std::vector<int>{48}));
    EXPECT_EQ(pitchesOf(migrate.mainNotes), (std::vector<int>{52, 55}));
    EXPECT_EQ(pitchesOf(migrate.bassNotes), (std::vector<int>{48}));
    EXPECT_TRUE(duplicate.hasBass);
    EXPECT_EQ(migrate.bassLabel, "QX Bass [C]");

    // A rhythm playing only the middle note never reaches the bass clip.
    TriggerRow middle = chordRow({pageOf({48, 52, 55})});
    middle.rhythmic = 1;
    middle.hitCount = 1;
    middle.hits[0].noteCount = 1;
    middle.hits[0].pageCount = 1;
    middle.hits[0].pitches[0] = 52;
    middle.hits[0].lengths[0] = 1.0;
    middle.hits[0].velocityFactors[0] = 1.0;
    middle.hits[0].pages[0] = pageOf({52});
    const RenderedPhrase rhythm = renderSessionPhrase(document, "fifths", planOf({middle}), BassDisposition::migrate);
    EXPECT_EQ(pitchesOf(rhythm.mainNotes), (std::vector<int>{52}));
    EXPECT_TRUE(rhythm.bassNotes.empty());
}

TEST(PhraseRender, SilentRowsKeepTheLaterSlotsInPlace) {
    TriggerRow empty = rhythmRow({pageOf({60})}, 4.0, 3.0, {});
    const TriggerRow chord = chordRow({pageOf({62})}, 1.0);
    TriggerRow rest;
    rest.duration = 2.0;
    const RenderedPhrase phrase = renderSessionPhrase(documentOfSlots({"C", "r", "D"}), "fifths",
                                                      planOf({empty, rest, chord}), BassDisposition::duplicate);
    ASSERT_EQ(phrase.mainNotes.size(), 1u);
    EXPECT_EQ(phrase.mainNotes[0], (PhraseNote{62, 5.0, 1.0, 100, 5.0}));
    EXPECT_EQ(phrase.mainLabel, "QX [C Rest D]");
    EXPECT_EQ(phrase.bassLabel, "QX Bass [C Rest D]");
}

TEST(PhraseRender, LegatoTiesAHeldPitchAcrossTheSlotBoundary) {
    const TriggerRow c4 = chordRow({pageOf({60, 64})});
    const TriggerRow next = chordRow({pageOf({60, 65})});
    const ProjectDocument document = documentOfSlots({"C", "F/C"});
    const RenderedPhrase tied =
        renderSessionPhrase(document, "fifths", planOf({c4, next}, true), BassDisposition::none);
    EXPECT_EQ(tied.mainNotes,
              (std::vector<PhraseNote>{{60, 0.0, 8.0, 100, 0.0}, {64, 0.0, 4.0, 100, 0.0}, {65, 4.0, 4.0, 100, 4.0}}));
    const RenderedPhrase plain =
        renderSessionPhrase(document, "fifths", planOf({c4, next}), BassDisposition::duplicate);
    EXPECT_EQ(plain.mainNotes.size(), 4u);
    EXPECT_EQ(plain.bassNotes.size(), 2u);
    const RenderedPhrase tiedBass =
        renderSessionPhrase(document, "fifths", planOf({c4, next}, true), BassDisposition::migrate);
    EXPECT_EQ(tiedBass.bassNotes, (std::vector<PhraseNote>{{60, 0.0, 8.0, 100, 0.0}}));
}

TEST(PhraseRender, RefusalsNameTheirFailure) {
    const TriggerRow row = chordRow({pageOf({60})});
    const ProjectDocument two = documentOfSlots({"C", "C"});
    const ResolvedPerformancePlan plan = planOf({row, row});
    EXPECT_EQ(
        renderFailureOf([&] { renderSessionPhrase(documentOfSlots({"C"}), "fifths", plan, BassDisposition::none); }),
        "Performance phrase requires matching resolved slots");
    EXPECT_EQ(
        renderFailureOf([&] { renderSessionPhrase(documentOfSlots({}), "fifths", planOf({}), BassDisposition::none); }),
        "Performance phrase requires matching resolved slots");
    const std::vector<double> one = {1.0};
    EXPECT_EQ(renderFailureOf([&] { renderSessionPhrasePreview(two, "fifths", plan, BassDisposition::none, one); }),
              "Performance phrase requires matching resolved slots");
    const std::vector<double> tiny = {1.0, 0.00005};
    EXPECT_EQ(renderFailureOf([&] { renderSessionPhrasePreview(two, "fifths", plan, BassDisposition::none, tiny); }),
              "Performance slot duration is invalid");
    const std::vector<double> negative = {4.0, -1.0};
    EXPECT_EQ(
        renderFailureOf([&] { renderSessionPhrasePreview(two, "fifths", plan, BassDisposition::none, negative); }),
        "Performance slot duration is invalid");
    const std::vector<double> nothing = {0.0, 0.0};
    EXPECT_EQ(renderFailureOf([&] { renderSessionPhrasePreview(two, "fifths", plan, BassDisposition::none, nothing); }),
              "Performance phrase length is invalid");

    // A render estimated past a million notes is refused before anything is expanded.
    TriggerRow dense = rhythmRow({pageOf({60, 62, 64, 65})}, 1.0, 65536.0, {0.0, 0.25, 0.5, 0.75});
    EXPECT_EQ(renderFailureOf([&] {
                  renderSessionPhrase(documentOfSlots({"C"}), "fifths", planOf({dense}), BassDisposition::none);
              }),
              "Performance phrase length is invalid");
    dense.duration = 4096.0;
    EXPECT_EQ(renderFailureOf([&] {
                  renderSessionPhrase(documentOfSlots({"C"}), "fifths", planOf({dense}), BassDisposition::none);
              }),
              "rendered");

    TriggerRow pageless = row;
    pageless.pageCount = 0;
    pageless.pages[0].noteCount = 0;
    EXPECT_EQ(renderFailureOf([&] {
                  renderSessionPhrase(two, "fifths", planOf({row, pageless}), BassDisposition::none);
              }),
              "Performance chord expansion failed");
    EXPECT_EQ(renderFailureOf([&] {
                  renderSessionPhrase(two, "fifths", planOf({row, pageless}), BassDisposition::migrate);
              }),
              "Bass clip label is missing a resolved row");
    TriggerRow broken = rhythmRow({pageOf({60})}, 4.0, 4.0, {0.0});
    broken.hits[0].pageCount = 0;
    EXPECT_EQ(renderFailureOf([&] {
                  renderSessionPhrase(two, "fifths", planOf({row, broken}), BassDisposition::none);
              }),
              "Performance phrase expansion failed");
}

bool isValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

TEST(ClipLabel, LongTextsAreCutOnCharacterBoundaries) {
    for (const std::string symbol : {"Cø7", "C°7", "CΔ7", "C7"}) {
        for (std::size_t length = 92; length <= 100; ++length) {
            for (std::size_t shift = 0; shift < 4; ++shift) {
                std::string text(shift, 'A');
                while (text.size() < length) text += symbol + " ";
                text.resize(length);
                if (!isValidUtf8(text)) continue;
                const std::string label = formatClipLabel("QX", text);
                ASSERT_TRUE(isValidUtf8(label)) << text;
                if (length <= 96) {
                    EXPECT_EQ(label, "QX [" + text + "]");
                    continue;
                }
                ASSERT_EQ(label.substr(label.size() - 4), "...]");
                const std::string kept = label.substr(4, label.size() - 8);
                EXPECT_LE(kept.size(), 93u);
                EXPECT_GE(kept.size(), 89u);
                EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
                EXPECT_NE(kept.back(), ' ');
            }
        }
    }
    const std::string hundred = std::string(92, 'A') + " " + std::string(7, 'B');
    EXPECT_EQ(formatClipLabel("QX", hundred), "QX [" + std::string(92, 'A') + "...]");
    const std::string split = std::string(92, 'A') + "ø" + std::string(5, 'B');
    EXPECT_EQ(formatClipLabel("QX", split), "QX [" + std::string(92, 'A') + "...]");
    EXPECT_EQ(formatClipLabel("QX Bass", ""), "QX Bass [Empty]");
    EXPECT_EQ(mainClipLabel(documentOfSlots({})), "QX [Empty]");
}

TEST(ClipLabel, BassNamesFollowTheSpellingPreference) {
    std::vector<TriggerRow> rows;
    for (int pitch = 36; pitch < 48; ++pitch) rows.push_back(chordRow({pageOf({pitch + 12, pitch})}));
    std::vector<std::string> chords(12, "X");
    chords.push_back("r");
    rows.push_back(TriggerRow{});
    const ProjectDocument document = documentOfSlots(chords);
    EXPECT_EQ(bassClipLabel(document, rows, "sharps"), "QX Bass [C C# D D# E F F# G G# A A# B Rest]");
    EXPECT_EQ(bassClipLabel(document, rows, "fifths"), "QX Bass [C Db D Eb E F F# G Ab A Bb B Rest]");
    EXPECT_EQ(bassClipLabel(document, rows, "flats"), "QX Bass [C Db D Eb E F Gb G Ab A Bb B Rest]");
    rows.pop_back();
    rows.pop_back();
    EXPECT_EQ(renderFailureOf([&] { bassClipLabel(document, rows, "flats"); }),
              "Bass clip label is missing a resolved row");
}

TEST(PhraseRender, DiagnosticLineOnlyWhileTracing) {
    const TriggerRow row = chordRow({pageOf({60, 64})});
    const ProjectDocument document = documentOfSlots({"C", "C"});
    resetDiagnosticTrace();
    renderSessionPhrase(document, "fifths", planOf({row, row}), BassDisposition::migrate);
    EXPECT_TRUE(diagnosticTraceLines().empty());
    setDiagnosticTraceEnabled(true);
    renderSessionPhrase(document, "fifths", planOf({row, row}), BassDisposition::migrate);
    const std::vector<std::string> lines = diagnosticTraceLines();
    resetDiagnosticTrace();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("render_phrase_resolved ms=[0-9]+\\.[0-9]{6} "
                                                      "expansion=[0-9]+\\.[0-9]{6} serialize=[0-9]+\\.[0-9]{6} "
                                                      "slots=2 notes_main=2 notes_bass=2 thread=[0-9]+")))
        << lines[0];
}

}  // namespace
}  // namespace quillex
