// The phrase path: estimate, expand every slot into collecting sinks, tie, sort and label.
#include "performance/phrase_render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <stdexcept>

#include "digest/fnv1a.h"
#include "protocol/trace_clock.h"
#include "performance/clip_label.h"
#include "platform/thread_id.h"
#include "protocol/diagnostic_trace.h"

namespace quillex {
namespace {

constexpr double kEpsilon = kTriggerBeatEpsilon;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

std::size_t slotCountOf(const ProjectDocument& document) {
    return document.progression ? document.progression->slots.size() : 0;
}

std::int32_t lowestFirstPagePitch(const TriggerRow& row) {
    const TriggerPage& page = row.pages[0];
    const std::size_t count = std::min<std::size_t>(page.noteCount, kTriggerNotesPerPage);
    if (count == 0) return -1;
    return *std::min_element(page.pitches.begin(), page.pitches.begin() + count);
}

struct NoteEstimate {
    double main = 0.0;
    double bass = 0.0;
};

NoteEstimate estimateNotes(const ResolvedPerformancePlan& plan,
                           const std::optional<std::span<const double>>& durations) {
    NoteEstimate estimate;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const TriggerRow& row = plan.rows[i];
        if (!row.enabled || row.pageCount == 0) continue;
        if (row.rhythmic && row.hitCount > 0) {
            const double duration = durations ? (*durations)[i] : row.duration;
            // Rows the walk places no hits for count nothing.
            double cycles = 0.0;
            if (std::isfinite(row.cycleLength) && row.cycleLength > kEpsilon) {
                cycles = std::ceil(duration / row.cycleLength);
                if (!(cycles > 0.0)) cycles = 0.0;
            }
            const std::size_t hits = std::min<std::size_t>(row.hitCount, kTriggerHitsPerRow);
            for (std::size_t h = 0; h < hits; ++h) {
                estimate.main += row.hits[h].noteCount * cycles;
                estimate.bass += cycles;
            }
        } else {
            estimate.main += row.pages[0].noteCount;
            estimate.bass += 1.0;
        }
    }
    return estimate;
}

// The standard 64-bit FNV-1a hash of the thread id's four bytes, low byte first.
std::uint64_t threadTag() {
    const std::uint32_t id = platform::currentThreadId();
    const std::array<char, 4> bytes = {static_cast<char>(id & 0xff), static_cast<char>((id >> 8) & 0xff),
                                       static_cast<char>((id >> 16) & 0xff), static_cast<char>((id >> 24) & 0xff)};
    return fnv1a64(std::string_view(bytes.data(), bytes.size()));
}

}  // namespace

bool collectPhraseNote(void* context, const ExpandedNote& note) noexcept {
    auto& collector = *static_cast<PhraseCollector*>(context);
    if (!collector.rows || note.rowSequence >= collector.rowCount) return false;
    const PhraseNote phraseNote{note.pitch, note.onset, note.end - note.onset, note.velocity, note.hitStart};
    const bool isBass = note.pitch == lowestFirstPagePitch(collector.rows[note.rowSequence]);
    try {
        if (!(isBass && collector.disposition == BassDisposition::migrate)) collector.mainNotes->push_back(phraseNote);
        if (isBass && collector.disposition != BassDisposition::none) collector.bassNotes->push_back(phraseNote);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

RenderedPhrase renderPhraseResolved(const ResolvedPerformancePlan& plan, BassDisposition disposition,
                                    std::size_t slotCount, std::string mainLabel, std::string bassLabel,
                                    std::optional<std::span<const double>> slotDurations) {
    if (plan.rows.empty() || plan.rows.size() != slotCount || (slotDurations && slotDurations->size() != slotCount)) {
        fail("Performance phrase requires matching resolved slots");
    }
    double length = plan.totalLength;
    if (slotDurations) {
        length = 0.0;
        for (const double duration : *slotDurations) length += duration;
    }
    if (!std::isfinite(length) || length <= kEpsilon) fail("Performance phrase length is invalid");

    const bool tracing = isDiagnosticTraceEnabled();
    const TraceClock::time_point started = tracing ? TraceClock::now() : TraceClock::time_point{};

    // Slot durations are unbounded: refuse before expanding rather than hang.
    const NoteEstimate estimate = estimateNotes(plan, slotDurations);
    if (!(estimate.main <= kMaximumPhraseNotesPerClip)) fail("Performance phrase length is invalid");
    const bool hasBass = disposition != BassDisposition::none;
    std::vector<PhraseNote> mainNotes;
    std::vector<PhraseNote> bassNotes;
    mainNotes.reserve(static_cast<std::size_t>(estimate.main));
    if (hasBass) bassNotes.reserve(static_cast<std::size_t>(estimate.bass));
    PhraseCollector collector{plan.rows.data(), plan.rows.size(), disposition, &mainNotes, &bassNotes};

    std::vector<double> boundaries;
    boundaries.reserve(slotCount);
    double slotStart = 0.0;
    for (std::size_t i = 0; i < slotCount; ++i) {
        const TriggerRow& row = plan.rows[i];
        const double duration = slotDurations ? (*slotDurations)[i] : row.duration;
        if (!std::isfinite(duration) || duration <= kEpsilon) fail("Performance slot duration is invalid");
        const double slotEnd = slotStart + duration;
        if (i + 1 < slotCount) boundaries.push_back(slotEnd);
        if (row.enabled && !row.rhythmic) {
            const HeldPageHit hit{&row, &row.pages[0], row.velocity, slotStart, duration, slotEnd, i, i};
            bool emitted = false;
            if (!expandHeldPage(hit, &collector, collectPhraseNote, emitted)) {
                fail("Performance chord expansion failed");
            }
        }
        slotStart = slotEnd;
    }
    if (!renderTriggerRows(plan.rows.data(), plan.rows.size(), length, slotDurations ? slotDurations->data() : nullptr,
                           false, plan.retriggerOnBlock != 0, nullptr, 0, -1, &collector, collectPhraseNote)) {
        fail("Performance phrase expansion failed");
    }
    const TraceClock::time_point expanded = tracing ? TraceClock::now() : TraceClock::time_point{};

    if (plan.legato) {
        mergeTiedNotes(mainNotes, boundaries);
        mergeTiedNotes(bassNotes, boundaries);
    }
    sortPhraseNotes(mainNotes);
    sortPhraseNotes(bassNotes);

    const TraceClock::time_point serializing = tracing ? TraceClock::now() : TraceClock::time_point{};
    RenderedPhrase phrase;
    phrase.mainNotes = std::move(mainNotes);
    phrase.bassNotes = std::move(bassNotes);
    phrase.length = length;
    phrase.mainLabel = std::move(mainLabel);
    phrase.bassLabel = std::move(bassLabel);
    phrase.hasBass = hasBass;

    if (tracing) {
        const TraceClock::time_point finished = TraceClock::now();
        appendDiagnosticTraceLine(
            "render_phrase_resolved ms=" + formatTraceMilliseconds(elapsedMilliseconds(started, finished)) +
            " expansion=" + formatTraceMilliseconds(elapsedMilliseconds(started, expanded)) +
            " serialize=" + formatTraceMilliseconds(elapsedMilliseconds(serializing, finished)) +
            " slots=" + std::to_string(slotCount) + " notes_main=" + std::to_string(phrase.mainNotes.size()) +
            " notes_bass=" + std::to_string(phrase.bassNotes.size()) + " thread=" + std::to_string(threadTag()));
    }
    return phrase;
}

RenderedPhrase renderSessionPhrase(const ProjectDocument& document, std::string_view spellingPreference,
                                   const ResolvedPerformancePlan& plan, BassDisposition disposition) {
    std::string bassLabel =
        disposition != BassDisposition::none ? bassClipLabel(document, plan.rows, spellingPreference) : std::string();
    std::string mainLabel = mainClipLabel(document);
    return renderPhraseResolved(plan, disposition, slotCountOf(document), std::move(mainLabel), std::move(bassLabel),
                                std::nullopt);
}

RenderedPhrase renderSessionPhrasePreview(const ProjectDocument& document, std::string_view spellingPreference,
                                          const ResolvedPerformancePlan& plan, BassDisposition disposition,
                                          std::span<const double> slotDurations) {
    std::string bassLabel =
        disposition != BassDisposition::none ? bassClipLabel(document, plan.rows, spellingPreference) : std::string();
    std::string mainLabel = mainClipLabel(document);
    return renderPhraseResolved(plan, disposition, slotCountOf(document), std::move(mainLabel), std::move(bassLabel),
                                slotDurations);
}

}  // namespace quillex
