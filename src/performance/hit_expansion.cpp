// Expanding one hit into notes and walking rows cycle by cycle.
#include "performance/hit_expansion.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillex {
namespace {

constexpr double kEpsilon = kTriggerBeatEpsilon;

// velocity × factor × multiplier, rounded half away from zero, range-checked before the
// cast and clamped to 1..127; a product that is not finite or not a 32-bit number counts as 0.
std::uint8_t scaledVelocity(std::uint32_t velocity, double factor, double multiplier) {
    const double rounded = std::round(static_cast<double>(velocity) * factor * multiplier);
    std::int64_t value = 0;
    if (std::isfinite(rounded) && rounded >= -2147483648.0 && rounded <= 2147483647.0) {
        value = static_cast<std::int64_t>(rounded);
    }
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 1, 127));
}

// The content row may be read only within its arrays.
bool countsFit(const TriggerRow& content) {
    if (content.hitCount > kTriggerHitsPerRow || content.pageCount > kTriggerPagesPerRow) return false;
    return true;
}

bool hitsPlayable(const TriggerRow& content) {
    for (std::size_t h = 0; h < content.hitCount; ++h) {
        const std::uint8_t pages = content.hits[h].pageCount;
        if (pages == 0 || pages > kTriggerPagesPerRow) return false;
    }
    return true;
}

}  // namespace

bool expandTriggerHit(const HitExpansionRequest& request, void* context, NoteSink sink, bool& emitted) noexcept {
    emitted = false;
    if (!request.row || !request.page || !request.pitches || !request.lengths || !request.velocityFactors || !sink) {
        return false;
    }
    const TriggerPage& page = *request.page;
    if (request.noteCount < 1 || request.noteCount > kTriggerNotesPerPage) return false;
    if (page.noteCount != request.noteCount) return false;
    if (request.velocity == 0 || request.velocity > 127) return false;
    if (!std::isfinite(request.hitStart) || !std::isfinite(request.end)) return false;
    if (!(request.hitStart + kEpsilon < request.end)) return false;

    const double spread = velocityToSpreadBeats(*request.row, static_cast<std::int32_t>(request.velocity));
    const bool step = request.row->step != 0;
    const double span = request.end - request.hitStart;
    for (std::size_t i = 0; i < request.noteCount; ++i) {
        const double offset = spread * page.onsetOffsets[i];
        if (!std::isfinite(offset)) continue;
        const double available = std::min(span, request.lengths[i]);
        if (!std::isfinite(available) || offset < 0.0 || available <= kEpsilon) continue;
        if (offset >= available - kEpsilon) continue;
        double duration = available - offset;
        if (step) {
            // A step note ends at the next later onset of the same strum.
            for (std::size_t j = 0; j < page.noteCount; ++j) {
                const double other = spread * page.onsetOffsets[j];
                if (other > offset + kEpsilon) duration = std::min(duration, other - offset);
            }
        }
        duration = std::min(duration, request.end - (request.hitStart + offset));
        if (!(duration > kEpsilon)) continue;

        ExpandedNote note;
        note.onset = request.hitStart + offset;
        note.end = note.onset + duration;
        note.hitStart = request.hitStart;
        note.hitOrdinal = request.hitOrdinal;
        note.noteIndex = i;
        note.rowSequence = request.rowSequence;
        note.pitch = request.pitches[i];
        note.velocity = scaledVelocity(request.velocity, request.velocityFactors[i], page.velocityMultipliers[i]);
        if (!sink(context, note)) return false;
        emitted = true;
    }
    return true;
}

bool expandHeldPage(const HeldPageHit& hit, void* context, NoteSink sink, bool& emitted) noexcept {
    static constexpr std::array<double, kTriggerNotesPerPage> kUnitFactors = [] {
        std::array<double, kTriggerNotesPerPage> ones{};
        ones.fill(1.0);
        return ones;
    }();
    std::array<double, kTriggerNotesPerPage> lengths;
    lengths.fill(hit.length);
    HitExpansionRequest request;
    request.row = hit.row;
    request.page = hit.page;
    request.pitches = hit.page->pitches.data();
    request.lengths = lengths.data();
    request.velocityFactors = kUnitFactors.data();
    request.noteCount = hit.page->noteCount;
    request.velocity = hit.velocity;
    request.hitStart = hit.hitStart;
    request.end = hit.end;
    request.hitOrdinal = hit.hitOrdinal;
    request.rowSequence = hit.rowSequence;
    return expandTriggerHit(request, context, sink, emitted);
}

bool renderTriggerRows(const TriggerRow* rows, std::uint64_t rowCount, double length, const double* rowDurations,
                       bool loop, bool restartPerRow, const TriggerRow* contentRow, std::uint32_t velocityOverride,
                       std::int32_t pageOverride, void* context, NoteSink sink) noexcept {
    if (!rows || rowCount == 0 || !sink) return false;
    if (!std::isfinite(length) || length <= kEpsilon) return false;
    if (velocityOverride > 127 || pageOverride < -1 || pageOverride > 7) return false;

    double rowStart = 0.0;
    std::uint64_t ordinal = 0;
    std::uint64_t globalHits = 0;
    for (std::uint64_t i = 0; rowStart < length - kEpsilon; ++i) {
        if (!loop && i >= rowCount) return true;
        const std::uint64_t r = loop ? i % rowCount : i;
        const double duration = rowDurations ? rowDurations[r] : rows[r].duration;
        if (!std::isfinite(duration) || duration <= kEpsilon) return false;
        const TriggerRow& content = contentRow ? *contentRow : rows[r];
        if (!countsFit(content)) return false;
        const double rowEnd = std::min(length, rowStart + duration);
        const double cycle = content.cycleLength;

        if (content.enabled && content.rhythmic && content.pageCount > 0 && content.hitCount > 0 &&
            std::isfinite(cycle) && cycle > kEpsilon) {
            if (!hitsPlayable(content)) return false;
            const std::uint32_t velocity = velocityOverride != 0 ? velocityOverride : content.velocity;
            const double origin = restartPerRow ? rowStart : 0.0;
            const double firstCycle = std::floor((rowStart - origin) / cycle);
            const double lastCycle = std::floor((rowEnd - origin - kEpsilon) / cycle);
            // Bounded work, and cycle numbers a double still counts one by one.
            if (!(lastCycle - firstCycle < kMaximumCyclesPerRowVisit) || !(lastCycle < kLargestExactCycle) ||
                !(firstCycle > -kLargestExactCycle)) {
                return false;
            }
            std::uint64_t rowHits = 0;
            for (double c = firstCycle; c <= lastCycle; c += 1.0) {
                for (std::size_t h = 0; h < content.hitCount; ++h) {
                    const TriggerHit& hit = content.hits[h];
                    const double t = origin + c * cycle + hit.onset;
                    if (!(rowStart - kEpsilon <= t && t < rowEnd - kEpsilon)) continue;
                    std::uint64_t counter = restartPerRow && !content.globalFollow ? rowHits : globalHits;
                    if (pageOverride >= 0) counter = static_cast<std::uint64_t>(pageOverride);
                    HitExpansionRequest request;
                    request.row = &content;
                    request.page = &hit.pages[counter % hit.pageCount];
                    request.pitches = hit.pitches.data();
                    request.lengths = hit.lengths.data();
                    request.velocityFactors = hit.velocityFactors.data();
                    request.noteCount = hit.noteCount;
                    request.velocity = velocity;
                    request.hitStart = t;
                    request.end = rowEnd;
                    request.hitOrdinal = ordinal;
                    request.rowSequence = i;
                    bool emitted = false;
                    if (!expandTriggerHit(request, context, sink, emitted)) return false;
                    // A hit that made no note does not turn the round robin.
                    if (emitted) {
                        ++rowHits;
                        ++ordinal;
                        ++globalHits;
                    }
                }
            }
        }
        rowStart = rowEnd;
    }
    return true;
}

}  // namespace quillex
