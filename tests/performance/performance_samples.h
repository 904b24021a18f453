// Slots, attacks and documents shared by the performance tests and benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/project_document.h"
#include "performance/trigger_row.h"

namespace quillex::testing {

// Rows are fixed-size and trivially copyable: equal rows hold equal bytes.
inline bool sameBytes(const TriggerRow& a, const TriggerRow& b) { return std::memcmp(&a, &b, sizeof(TriggerRow)) == 0; }

inline AttackOrders sampleAttackOrders() {
    AttackOrders orders(8);
    for (std::uint32_t page = 0; page < 8; ++page) {
        for (std::uint64_t note = 0; note < page; ++note) orders[page].order.push_back((note * 5 + page) % 12);
        orders[page].velocitySeed = page + 1;
    }
    return orders;
}

// A full advanced attack: every order kind, a velocity range and shaped curves.
inline AttackSettings advancedAttack(std::uint64_t pages = 3, bool dynamic = true) {
    AttackSettings attack;
    attack.isFullForm = true;
    attack.mode = "advanced";
    attack.orderKinds = {"up", "down", "custom", "up", "down", "custom", "up", "down"};
    attack.roundRobinLength = pages;
    attack.globalFollow = true;
    attack.timingBasis = "total";
    attack.gate = "step";
    attack.dynamic = dynamic;
    attack.spread = "1/16";
    attack.includeBass = true;
    attack.velocityRange = {40, 160};
    attack.velocityCurve = {80, 200, 35, 60, -25, 40};
    attack.rateContour = {10, 20, 70, 90, 5, -5};
    attack.velocityRateCurve = {100, 50, 50, 0, 0, 0};
    return attack;
}

inline ProgressionSlot chordSlot(const AttackSettings& attack = AttackSettings{}, double duration = 4.0) {
    ProgressionSlot slot;
    slot.type = "chord";
    slot.duration = duration;
    slot.chord.original = "C";
    slot.velocity = 100;
    slot.attack = attack;
    slot.attackOrders = sampleAttackOrders();
    return slot;
}

inline ProgressionSlot restSlot(double duration) {
    ProgressionSlot slot;
    slot.type = "rest";
    slot.isRest = true;
    slot.duration = duration;
    return slot;
}

// `count` distinct notes from 48 upward, listed out of order (the voicing's order counts).
inline std::vector<std::int32_t> spreadVoicing(int count) {
    std::vector<std::int32_t> notes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int rank = i % 2 == 0 ? i / 2 : count - 1 - i / 2;  // low, high, low, ...
        notes[static_cast<std::size_t>(i)] = 48 + rank * 4;
    }
    return notes;
}

inline RhythmSection rhythmOf(const std::string& pattern, std::int32_t shift = 0) {
    RhythmSection rhythm;
    rhythm.pattern = pattern;
    rhythm.shift = shift;
    return rhythm;
}

// A document with the given slots and rhythm, other sections at their plain defaults.
inline ProjectDocument documentOf(std::vector<ProgressionSlot> slots, RhythmSection rhythm = RhythmSection{},
                                  std::string input = "C") {
    ProjectDocument document;
    document.schemaVersion = 15;
    auto progression = std::make_shared<ProgressionSection>();
    progression->input = std::move(input);
    progression->slots = std::move(slots);
    document.progression = progression;
    document.progressionLog = std::make_shared<ProgressionLog>();
    document.key = std::make_shared<KeySection>(KeySection{"C", "major", "natural", 0, false});
    document.voicing = std::make_shared<VoicingSection>(VoicingSection{false, false, false, "closed"});
    document.rhythm = std::make_shared<RhythmSection>(std::move(rhythm));
    return document;
}

}  // namespace quillex::testing
