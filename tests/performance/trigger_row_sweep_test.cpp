// Whole-catalogue sweeps and oracles over trigger rows: invariants of every compiled row,
// page reuse against direct per-hit compilation, and concurrent compilation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "performance/performance_plan.h"
#include "performance/trigger_row_table.h"
#include "performance_samples.h"

namespace quillex {
namespace {

const std::set<std::string>& rowMessages() {
    static const std::set<std::string> messages = {"Trigger gesture page count is invalid",
                                                   "Trigger gesture page is invalid",
                                                   "Trigger gesture pitch is invalid",
                                                   "Trigger attack page is unavailable",
                                                   "Trigger attack spread is malformed",
                                                   "Trigger attack spread is unsupported",
                                                   "Custom rhythm pattern is missing",
                                                   "Trigger rhythm preset could not be resolved",
                                                   "Trigger rhythm contains an unsupported part",
                                                   "Trigger rhythm exceeds the hit limit"};
    return messages;
}

// The notes a part sounds, worked out independently of the engine.
std::vector<std::int32_t> partNotes(std::vector<std::int32_t> sorted, const std::string& part) {
    if (part == "bass") return {sorted.front()};
    if (part == "top")
        return sorted.size() >= 2 ? std::vector<std::int32_t>{sorted.back()} : std::vector<std::int32_t>{};
    if (sorted.size() < 3) return {};
    return {sorted.begin() + 1, sorted.end() - 1};
}

struct EventPlacement {
    double onset;
    double length;
    double factor;
    std::vector<std::int32_t> notes;
};

// The first broken invariant of a page, or nothing.
std::string pageFault(const TriggerPage& page, bool totalBasis) {
    for (int k = 0; k < page.noteCount; ++k) {
        const double offset = page.onsetOffsets[k];
        const double multiplier = page.velocityMultipliers[k];
        if (totalBasis && !(offset >= 0.0 && offset <= 1.0)) return "offset " + std::to_string(offset);
        if (!(multiplier >= 0.0 && multiplier <= 4.0)) return "multiplier " + std::to_string(multiplier);
    }
    return {};
}

std::vector<EventPlacement> placeEvents(const std::vector<std::int32_t>& voicing, const RhythmPatternPreset& pattern,
                                        const RhythmSection& rhythm) {
    std::vector<std::int32_t> sorted = voicing;
    std::sort(sorted.begin(), sorted.end());
    std::vector<EventPlacement> placements;
    for (const RhythmEvent& e : pattern.events) {
        const std::int64_t step = ((e.offset - static_cast<std::int64_t>(rhythm.shift)) % 16 + 16) % 16;
        const double onset = applySwing(step * 0.25, 4.0, rhythm);
        const double end = applySwing((step + e.duration) * 0.25, 4.0, rhythm);
        placements.push_back({onset, end - onset, e.velocity / 100.0, partNotes(sorted, e.part)});
    }
    return placements;
}

// The first broken invariant of a compiled row, or nothing.
std::string rowFault(const TriggerRow& row, const std::vector<std::int32_t>& voicing,
                     const std::vector<EventPlacement>& placements) {
    if (row.pageCount < 1) return "no page";
    for (int p = 0; p < row.pageCount; ++p) {
        const TriggerPage& page = row.pages[p];
        if (page.noteCount != voicing.size()) return "new-chord page size";
        for (std::size_t k = 0; k < voicing.size(); ++k) {
            if (page.pitches[k] != voicing[k]) return "new-chord page order";
        }
        if (auto fault = pageFault(page, true); !fault.empty()) return "new-chord page " + fault;
    }
    for (int h = 0; h < row.hitCount; ++h) {
        const TriggerHit& hit = row.hits[h];
        if (!(hit.onset >= 0.0 && hit.onset < row.cycleLength)) return "hit outside the cycle";
        if (h > 0 && !(hit.onset > row.hits[h - 1].onset)) return "hits out of order";
        if (hit.pageCount != row.pageCount) return "hit page count";
        for (int k = 0; k < hit.noteCount; ++k) {
            // Some event at this onset selects the note and gave its length and factor.
            const bool explained = std::any_of(placements.begin(), placements.end(), [&](const EventPlacement& e) {
                return std::fabs(e.onset - hit.onset) <= 0.0001 &&
                       std::count(e.notes.begin(), e.notes.end(), hit.pitches[k]) == 1 && e.length == hit.lengths[k] &&
                       e.factor == hit.velocityFactors[k];
            });
            if (!explained) return "hit " + std::to_string(h) + " note " + std::to_string(hit.pitches[k]);
        }
        for (int p = 0; p < hit.pageCount; ++p) {
            if (auto fault = pageFault(hit.pages[p], true); !fault.empty()) return "hit page " + fault;
        }
    }
    return {};
}

TEST(TriggerRowSweep, EveryPatternVoicingShiftAndSwing) {
#ifdef QUILLEX_SANITIZED
    constexpr int kShiftStride = 9;
    constexpr int kNoteStride = 5;
#else
    constexpr int kShiftStride = 1;
    constexpr int kNoteStride = 1;
#endif
    const std::vector<ProgressionSlot> slots = {testing::chordSlot(AttackSettings{}),
                                                testing::chordSlot(testing::advancedAttack(8, true))};
    std::size_t compiled = 0;
    TriggerRow row;
    for (const RhythmPatternPreset& pattern : builtInRhythmPatterns()) {
        for (int count = 1; count <= 16; count += kNoteStride) {
            const std::vector<std::int32_t> voicing = testing::spreadVoicing(count);
            for (std::int32_t shift = -20; shift <= 20; shift += kShiftStride) {
                for (const std::string mode : {"swing8", "swing16"}) {
                    for (const std::int32_t amount : {0, 50, 100}) {
                        RhythmSection rhythm = testing::rhythmOf(pattern.id, shift);
                        rhythm.swing = {mode, amount};
                        const std::vector<EventPlacement> placements = placeEvents(voicing, pattern, rhythm);
                        for (const ProgressionSlot& slot : slots) {
                            const auto where = [&] {
                                return pattern.id + " notes " + std::to_string(count) + " shift " +
                                       std::to_string(shift) + " " + mode + " " + std::to_string(amount) + " " +
                                       slot.attack.mode;
                            };
                            row.reset();
                            try {
                                compileTriggerRowInto(row, slot, voicing, rhythm);
                            } catch (const std::runtime_error& e) {
                                ASSERT_TRUE(rowMessages().count(e.what())) << where() << ": " << e.what();
                                continue;
                            }
                            ++compiled;
                            const std::string fault = rowFault(row, voicing, placements);
                            ASSERT_EQ(fault, "") << where();
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compiled, 1000u);
}

// A random document within the document's ranges, with voicings of 1 to 16 notes.
struct RandomCase {
    ProjectDocument document;
    ResolvedVoicings voicings;
};

RandomCase randomCase(std::mt19937& rng) {
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    RhythmSection rhythm;
    const int choice = pick(0, 9);
    if (choice == 0) {
        rhythm.pattern = "none";
    } else if (choice <= 3) {
        rhythm.pattern = "custom";
        RhythmCustomPattern custom{pick(1, 16), {}};
        const char* parts[] = {"bass", "middle", "top"};
        for (int e = pick(0, 12); e > 0; --e) {
            custom.events.push_back({pick(-4, 20), pick(1, 8), parts[pick(0, 2)], pick(1, 100)});
        }
        rhythm.customPattern = std::move(custom);
    } else {
        rhythm.pattern = builtInRhythmPatterns()[static_cast<std::size_t>(pick(0, 39))].id;
    }
    rhythm.shift = pick(-40, 40);
    rhythm.swing = {pick(0, 1) ? "swing8" : "swing16", pick(0, 4) * 25};

    std::vector<ProgressionSlot> slots;
    ResolvedVoicings voicings;
    for (int s = pick(1, 4); s > 0; --s) {
        if (pick(0, 5) == 0) {
            slots.push_back(testing::restSlot(pick(1, 8) * 0.5));
            continue;
        }
        AttackSettings attack = testing::advancedAttack(static_cast<std::uint64_t>(pick(1, 8)), pick(0, 1) == 1);
        if (pick(0, 3) == 0) attack.mode = "off";
        for (auto& kind : attack.orderKinds) kind = std::vector<std::string>{"up", "down", "custom"}[pick(0, 2)];
        attack.includeBass = pick(0, 1) == 1;
        attack.timingBasis = pick(0, 1) ? "perNote" : "total";
        attack.velocityRange = {pick(0, 200), pick(0, 200)};
        attack.velocityCurve = {pick(0, 200), pick(0, 200),      pick(2, 18) * 5,
                                pick(0, 200), pick(-20, 20) * 5, pick(-20, 20) * 5};
        attack.rateContour = {pick(0, 100), pick(0, 100),      pick(2, 18) * 5,
                              pick(0, 100), pick(-20, 20) * 5, pick(-20, 20) * 5};
        ProgressionSlot slot = testing::chordSlot(attack, pick(1, 16) * 0.5);
        slot.velocity = pick(0, 255);
        for (auto& page : slot.attackOrders) {
            page.velocitySeed = static_cast<std::uint32_t>(pick(1, 2147483647));
            for (auto& index : page.order) index = static_cast<std::uint64_t>(pick(0, 17));
        }
        slots.push_back(slot);
        std::vector<std::int32_t> notes = testing::spreadVoicing(pick(1, 16));
        std::shuffle(notes.begin(), notes.end(), rng);
        voicings.push_back({notes, 8, std::nullopt, {}});
    }
    return {testing::documentOf(std::move(slots), rhythm), std::move(voicings)};
}

// Pages reused between hits with the same notes must be the very bytes a direct compile gives.
TEST(TriggerRowOracle, PageReuseMatchesDirectPerHitCompile) {
#ifdef QUILLEX_SANITIZED
    constexpr int kDocuments = 120;
#else
    constexpr int kDocuments = 500;
#endif
    std::mt19937 rng(0x0c0ffee5u);
    int rows = 0;
    for (int d = 0; d < kDocuments; ++d) {
        const RandomCase c = randomCase(rng);
        std::shared_ptr<const ResolvedPerformancePlan> plan;
        try {
            plan = compilePerformancePlan(c.document, c.voicings);
        } catch (const std::runtime_error& e) {
            ASSERT_TRUE(rowMessages().count(e.what())) << d << ": " << e.what();
            continue;
        }
        std::size_t voicing = 0;
        for (std::size_t r = 0; r < plan->rows.size(); ++r) {
            const ProgressionSlot& slot = c.document.progression->slots[r];
            if (slot.isRest) continue;
            const std::vector<std::int32_t>& notes = c.voicings[voicing++].notes;
            TriggerRow direct;
            std::memcpy(static_cast<void*>(&direct), &plan->rows[r], sizeof(TriggerRow));
            for (int h = 0; h < direct.hitCount; ++h) {
                TriggerHit& hit = direct.hits[h];
                const std::vector<std::int32_t> hitNotes(hit.pitches.begin(), hit.pitches.begin() + hit.noteCount);
                for (int p = 0; p < direct.pageCount; ++p) {
                    hit.pages[p].reset();
                    fillTriggerPage(hit.pages[p], hitNotes,
                                    compileTriggerPage(hitNotes, notes, slot.attack, slot.attackOrders,
                                                       static_cast<std::size_t>(p)));
                }
            }
            ASSERT_EQ(std::memcmp(&direct, &plan->rows[r], sizeof(TriggerRow)), 0) << "document " << d << " row " << r;
            ++rows;
        }
    }
    EXPECT_GT(rows, kDocuments);
}

// Plans and tables built on eight threads at once equal the ones built alone.
TEST(TriggerRowThreads, ConcurrentPlansAndTablesAreIdentical) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 3;
#else
    constexpr int kRounds = 12;
#endif
    std::mt19937 rng(0x7123u);
    std::vector<RandomCase> cases;
    while (cases.size() < 6) {
        RandomCase c = randomCase(rng);
        try {
            (void)compilePerformancePlan(c.document, c.voicings);
            cases.push_back(std::move(c));
        } catch (const std::runtime_error&) {}
    }
    std::vector<std::shared_ptr<const ResolvedPerformancePlan>> expected;
    for (const auto& c : cases) expected.push_back(compilePerformancePlan(c.document, c.voicings));
    const UserSettingsSection settings{"fifths", false, true};
    const ProjectDocument voiced = testing::documentOf({testing::chordSlot(), testing::chordSlot()});
    VoicerPort referencePort;
    const ResolvedVoicings referenceVoicings = *compilePerformanceVoicings(voiced, settings, referencePort);

    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            VoicerPort port;
            for (int round = 0; round < kRounds; ++round) {
                if (*compilePerformanceVoicings(voiced, settings, port) != referenceVoicings) ++mismatches[t];
                for (std::size_t i = 0; i < cases.size(); ++i) {
                    const auto plan = compilePerformancePlan(cases[i].document, cases[i].voicings);
                    if (*plan != *expected[i]) ++mismatches[t];
                    const TriggerRowTableBuild build = buildTriggerRowTable(*plan, static_cast<std::uint64_t>(round));
                    for (std::size_t r = 0; r < plan->rows.size(); ++r) {
                        if (std::memcmp(&build.table->rows[r], &expected[i]->rows[r], sizeof(TriggerRow)) != 0) {
                            ++mismatches[t];
                        }
                    }
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

}  // namespace
}  // namespace quillex
