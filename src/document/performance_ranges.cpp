// Range checks that keep compilation clear of division by zero, NaN spreads, overflow and wrapped bytes.
#include "document/performance_ranges.h"

#include <stdexcept>

namespace quillex {
namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

constexpr const char* kRhythmMessage = "Document rhythm is invalid";
constexpr const char* kAttackMessage = "Document attack is invalid";
constexpr const char* kContourMessage = "Document contour is invalid";
constexpr const char* kSlotMessage = "Document slot is invalid";

constexpr std::int32_t kMaximumCustomSteps = 16;
constexpr std::size_t kMaximumCustomEvents = 48;

bool within(std::int32_t value, std::int32_t lo, std::int32_t hi) { return value >= lo && value <= hi; }

void checkContour(const AttackContour& contour, std::int32_t maximumLevel) {
    const bool ok = within(contour.midPosition, 10, 90) && within(contour.firstBend, -100, 100) &&
                    within(contour.secondBend, -100, 100) && within(contour.start, 0, maximumLevel) &&
                    within(contour.mid, 0, maximumLevel) && within(contour.end, 0, maximumLevel);
    if (!ok) fail(kContourMessage);
}

}  // namespace

void checkRhythmRanges(const RhythmSection& rhythm) {
    if (rhythm.pattern == "none") return;
    if (!within(rhythm.swing.amount, 0, 100)) fail(kRhythmMessage);
    if (rhythm.pattern != "custom" || !rhythm.customPattern) return;
    const RhythmCustomPattern& custom = *rhythm.customPattern;
    if (!within(custom.lengthSteps, 1, kMaximumCustomSteps) || custom.events.size() > kMaximumCustomEvents) {
        fail(kRhythmMessage);
    }
    for (const RhythmEvent& event : custom.events) {
        if (!within(event.velocity, 1, 100)) fail(kRhythmMessage);
    }
}

void checkSlotRanges(const ProgressionSlot& slot) {
    if (slot.isRest) return;
    if (!within(slot.velocity, 0, 255)) fail(kSlotMessage);
    const AttackSettings& attack = slot.attack;
    if (attack.mode != "advanced") return;
    if (!within(attack.velocityRange.minimum, 0, 200) || !within(attack.velocityRange.maximum, 0, 200)) {
        fail(kAttackMessage);
    }
    checkContour(attack.velocityCurve, 200);
    checkContour(attack.rateContour, 100);
    checkContour(attack.velocityRateCurve, 100);
}

void checkPerformanceRanges(const ProjectDocument& document) {
    if (document.progression) {
        for (const ProgressionSlot& slot : document.progression->slots) checkSlotRanges(slot);
    }
    if (document.rhythm) checkRhythmRanges(*document.rhythm);
}

}  // namespace quillex
