// Compiling one progression slot into a fixed-size trigger row.
#include "performance/trigger_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quillex {
namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

constexpr const char* kPageInvalid = "Trigger gesture page is invalid";
constexpr const char* kPitchInvalid = "Trigger gesture pitch is invalid";

// Working form of a hit while events are gathered. A hit that gathers more notes than a
// page holds fails later (after the hit limit check), so only the count of the excess is kept.
struct GatheredHit {
    double onset = 0.0;
    std::size_t count = 0;
    std::array<std::int32_t, kTriggerNotesPerPage> notes{};
    std::array<double, kTriggerNotesPerPage> lengths{};
    std::array<double, kTriggerNotesPerPage> factors{};

    std::span<const std::int32_t> storedNotes() const { return {notes.data(), std::min(count, notes.size())}; }
};

// The notes of each part, worked out once per row from the sorted voicing.
struct PartNotes {
    std::vector<std::int32_t> bass, middle, top;

    explicit PartNotes(std::span<const std::int32_t> voicedNotes)
        : bass(selectRhythmPartNotes(voicedNotes, "bass")),
          middle(selectRhythmPartNotes(voicedNotes, "middle")),
          top(selectRhythmPartNotes(voicedNotes, "top")) {}

    const std::vector<std::int32_t>& of(std::string_view part) const {
        if (part == "bass") return bass;
        if (part == "middle") return middle;
        if (part == "top") return top;
        throw std::runtime_error("Trigger rhythm contains an unsupported part");
    }
};

// The pattern's length and events without copying them out of the catalogue or the section.
struct PatternView {
    std::int32_t lengthSteps = 16;
    std::span<const RhythmEvent> events;
};

PatternView viewRhythmPattern(const RhythmSection& rhythm) {
    if (rhythm.pattern == "none") return {};
    if (rhythm.pattern == "custom") {
        if (!rhythm.customPattern) fail("Custom rhythm pattern is missing");
        return {rhythm.customPattern->lengthSteps, rhythm.customPattern->events};
    }
    const RhythmPatternPreset* preset = findBuiltInRhythmPattern(rhythm.pattern);
    if (!preset) fail("Trigger rhythm preset could not be resolved");
    return {preset->lengthSteps, preset->events};
}

std::uint8_t pitchByte(std::int32_t pitch) {
    if (pitch < 0 || pitch > 127) fail(kPitchInvalid);
    return static_cast<std::uint8_t>(pitch);
}

// What every page of a slot shares: the sorted voicing and the strike shapes.
struct PageContext {
    const ProgressionSlot& slot;
    std::span<const std::int32_t> voicedNotes;
    std::vector<std::int32_t> sortedVoicing;
    attack_detail::StrikeShapeCache shapes;

    PageContext(const ProgressionSlot& s, std::span<const std::int32_t> notes)
        : slot(s), voicedNotes(notes), sortedVoicing(notes.begin(), notes.end()) {
        std::sort(sortedVoicing.begin(), sortedVoicing.end());
    }
};

void compilePages(std::array<TriggerPage, kTriggerPagesPerRow>& pages, std::size_t pageCount,
                  std::span<const std::int32_t> pageNotes, PageContext& context) {
    for (std::size_t p = 0; p < pageCount; ++p) {
        const AttackPageTiming timing = attack_detail::compileSortedTriggerPage(
            pageNotes, context.sortedVoicing, context.slot.attack, context.slot.attackOrders, p, context.shapes);
        fillTriggerPage(pages[p], pageNotes, timing);
    }
}

void setSpreadContour(TriggerRow& row, const AttackSettings& attack, bool advanced) {
    if (!advanced) return;  // the reset row already holds no strum
    if (attack.dynamic) {
        const AttackContour& curve = attack.velocityRateCurve;
        row.spreadAtSoftest = spreadBeatsAtVelocityPosition(attack, 0.0);
        row.spreadAtMiddle = spreadBeatsAtVelocityPosition(attack, curve.midPosition / 100.0);
        row.spreadAtHardest = spreadBeatsAtVelocityPosition(attack, 1.0);
        row.firstBend = curve.firstBend;
        row.secondBend = curve.secondBend;
        row.midPosition = static_cast<std::uint8_t>(curve.midPosition);
        return;
    }
    const double spread = parseAttackSpreadNoteValue(attack.spread);
    row.spreadAtSoftest = spread;
    row.spreadAtMiddle = spread;
    row.spreadAtHardest = spread;
}

std::vector<GatheredHit> gatherHits(const PatternView& pattern, double cycleLength,
                                    std::span<const std::int32_t> voicedNotes, const RhythmSection& rhythm) {
    std::vector<GatheredHit> hits;
    hits.reserve(kTriggerHitsPerRow);
    // The voicing is not empty here: the new-chord pages refused an empty one.
    const PartNotes parts(voicedNotes);
    // 64-bit step arithmetic: a shift near the 32-bit limits cannot overflow.
    const std::int64_t length = pattern.lengthSteps;
    const std::int64_t shift = rhythm.shift;
    for (const RhythmEvent& event : pattern.events) {
        const std::int64_t stepIndex = ((event.offset - shift) % length + length) % length;
        const double onset = applySwing(static_cast<double>(stepIndex) * 0.25, cycleLength, rhythm);
        const double end = applySwing(static_cast<double>(stepIndex + event.duration) * 0.25, cycleLength, rhythm);
        const std::vector<std::int32_t>& notes = parts.of(event.part);
        if (notes.empty()) continue;

        auto hit = std::find_if(hits.begin(), hits.end(), [&](const GatheredHit& h) {
            return std::fabs(h.onset - onset) <= kTriggerBeatEpsilon;
        });
        if (hit == hits.end()) {
            hits.emplace_back().onset = onset;
            hit = hits.end() - 1;
        }
        for (const std::int32_t note : notes) {
            if (hit->count < kTriggerNotesPerPage) {
                hit->notes[hit->count] = note;
                hit->lengths[hit->count] = end - onset;
                hit->factors[hit->count] = event.velocity / 100.0;
            }
            ++hit->count;
        }
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const GatheredHit& a, const GatheredHit& b) { return a.onset < b.onset; });
    return hits;
}

// Pages of a hit depend only on its notes (in order), so a hit whose notes match
// the whole voicing or an earlier hit takes a copy of those pages.
const std::array<TriggerPage, kTriggerPagesPerRow>* findComputedPages(const TriggerRow& row, std::size_t hitIndex,
                                                                      std::span<const std::int32_t> notes,
                                                                      std::span<const std::int32_t> voicedNotes,
                                                                      const std::vector<GatheredHit>& gathered) {
    if (std::ranges::equal(notes, voicedNotes)) return &row.pages;
    for (std::size_t earlier = 0; earlier < hitIndex; ++earlier) {
        if (std::ranges::equal(notes, gathered[earlier].storedNotes())) return &row.hits[earlier].pages;
    }
    return nullptr;
}

}  // namespace

void TriggerPage::reset() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }

void TriggerHit::reset() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }

void TriggerRow::reset() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    midPosition = 50;
    cycleLength = 4.0;
    duration = 4.0;
    velocity = 100;
}

ResolvedRhythmPattern resolveRhythmPattern(const RhythmSection& rhythm) {
    const PatternView view = viewRhythmPattern(rhythm);
    return {view.lengthSteps, std::vector<RhythmEvent>(view.events.begin(), view.events.end())};
}

std::vector<std::int32_t> selectRhythmPartNotes(std::span<const std::int32_t> voicedNotes, std::string_view part) {
    const bool bass = part == "bass";
    const bool top = part == "top";
    const bool middle = part == "middle";
    if (voicedNotes.empty()) return {};
    if (!bass && !top && !middle) fail("Trigger rhythm contains an unsupported part");
    std::vector<std::int32_t> sorted(voicedNotes.begin(), voicedNotes.end());
    std::sort(sorted.begin(), sorted.end());
    if (bass) return {sorted.front()};
    if (top) return sorted.size() >= 2 ? std::vector<std::int32_t>{sorted.back()} : std::vector<std::int32_t>{};
    if (sorted.size() < 3) return {};
    return std::vector<std::int32_t>(sorted.begin() + 1, sorted.end() - 1);
}

void fillTriggerPage(TriggerPage& page, std::span<const std::int32_t> notes, const AttackPageTiming& timing) {
    const std::size_t n = notes.size();
    if (n < 1 || n > kTriggerNotesPerPage || timing.onsetOffsets.size() != n ||
        timing.velocityMultipliers.size() != n) {
        fail(kPageInvalid);
    }
    page.noteCount = static_cast<std::uint8_t>(n);
    for (std::size_t k = 0; k < n; ++k) {
        // Checked as an integer before it is narrowed to a byte.
        const std::uint8_t pitch = pitchByte(notes[k]);
        for (std::size_t j = 0; j < k; ++j) {
            if (page.pitches[j] == pitch) fail(kPitchInvalid);
        }
        page.pitches[k] = pitch;
        page.onsetOffsets[k] = timing.onsetOffsets[k];
        page.velocityMultipliers[k] = timing.velocityMultipliers[k];
    }
}

TriggerRow compileTriggerRow(const ProgressionSlot& slot, std::span<const std::int32_t> voicedNotes,
                             const RhythmSection& rhythm) {
    TriggerRow row;
    compileTriggerRowInto(row, slot, voicedNotes, rhythm);
    return row;
}

void compileTriggerRowInto(TriggerRow& row, const ProgressionSlot& slot, std::span<const std::int32_t> voicedNotes,
                           const RhythmSection& rhythm) {
    // The row keeps the velocity in a byte; a wider value would silently wrap.
    if (slot.velocity < 0 || slot.velocity > 255) fail("Document slot is invalid");
    row.enabled = 1;
    row.duration = slot.duration;
    row.velocity = static_cast<std::uint8_t>(slot.velocity);

    const AttackSettings& attack = slot.attack;
    const bool advanced = attack.mode == "advanced";
    row.globalFollow = advanced && attack.globalFollow ? 1 : 0;
    row.step = advanced && attack.gate == "step" ? 1 : 0;
    if (advanced && (attack.roundRobinLength < 1 || attack.roundRobinLength > kTriggerPagesPerRow)) {
        fail("Trigger gesture page count is invalid");
    }
    const std::size_t pageCount = advanced ? static_cast<std::size_t>(attack.roundRobinLength) : 1;
    row.pageCount = static_cast<std::uint8_t>(pageCount);

    PageContext pages(slot, voicedNotes);
    compilePages(row.pages, pageCount, voicedNotes, pages);
    setSpreadContour(row, attack, advanced);

    const PatternView pattern = viewRhythmPattern(rhythm);
    row.cycleLength = pattern.lengthSteps * 0.25;
    if (rhythm.pattern == "none") return;
    // A cycle of no steps has no step to land on (and would divide by zero).
    if (pattern.lengthSteps < 1) fail("Document rhythm is invalid");
    row.rhythmic = 1;

    const std::vector<GatheredHit> hits = gatherHits(pattern, row.cycleLength, voicedNotes, rhythm);
    if (hits.size() > kTriggerHitsPerRow) fail("Trigger rhythm exceeds the hit limit");
    row.hitCount = static_cast<std::uint8_t>(hits.size());

    for (std::size_t i = 0; i < hits.size(); ++i) {
        const GatheredHit& gathered = hits[i];
        if (gathered.count > kTriggerNotesPerPage) fail(kPageInvalid);
        const std::span<const std::int32_t> notes = gathered.storedNotes();
        TriggerHit& hit = row.hits[i];
        hit.onset = gathered.onset;
        hit.noteCount = static_cast<std::uint8_t>(notes.size());
        hit.pageCount = row.pageCount;
        for (std::size_t k = 0; k < notes.size(); ++k) {
            hit.pitches[k] = pitchByte(gathered.notes[k]);
            hit.lengths[k] = gathered.lengths[k];
            hit.velocityFactors[k] = gathered.factors[k];
        }
        if (const auto* computed = findComputedPages(row, i, notes, voicedNotes, hits)) {
            std::memcpy(static_cast<void*>(hit.pages.data()), computed->data(), pageCount * sizeof(TriggerPage));
        } else {
            compilePages(hit.pages, pageCount, notes, pages);
        }
    }
}

double velocityToSpreadBeats(const TriggerRow& row, std::int32_t velocity) {
    if (!(row.spreadAtSoftest > 0.0)) return 0.0;
    const double x = (std::clamp(velocity, 1, 127) - 1) / 126.0;
    const double m = row.midPosition / 100.0;
    double local, r0, r1, bend;
    if (x <= m) {
        local = x / m;
        r0 = row.spreadAtSoftest;
        r1 = row.spreadAtMiddle;
        bend = row.firstBend;
    } else {
        local = (x - m) / (1.0 - m);
        r0 = row.spreadAtMiddle;
        r1 = row.spreadAtHardest;
        bend = row.secondBend;
    }
    const double y = attack_detail::shapeByBend(local, bend);
    if (std::fabs(r0 - r1) <= kTriggerBeatEpsilon) return r0;
    return r0 * std::pow(r1 / r0, y);
}

}  // namespace quillex
