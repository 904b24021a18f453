// The fast voice-leading solver against the straightforward one: same voicings, port state and lines, any thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>

#include "protocol/diagnostic_trace.h"
#include "voicing/voicer_solve.h"
#include "voicing/voicer_solve_oracle.h"
#include "voicing/voicing_anchors.h"

namespace quillex {
namespace {

#ifdef QUILLEX_SANITIZED
constexpr int kProgressions = 100;
#else
constexpr int kProgressions = 500;
#endif

constexpr std::string_view kPlain[] = {"C",   "Am",  "F",   "G7",  "Dm7",   "Em", "Cmaj7", "A7", "Bb",     "Ebmaj7",
                                       "Fm6", "C/E", "F/G", "Am9", "Bm7b5", "Ab", "Gsus4", "C6", "F#dim7", "G7/B"};
constexpr std::string_view kRich[] = {"Eb7#9",  "Ab13/C", "Dbmaj9/F", "Gb7#11",   "Bm11/E",  "E13b9/G#", "D7alt",
                                      "Gmaj13", "C#m11",  "F#7#9#5",  "Bb13sus4", "Db13#11", "Cm11/Eb",  "G13/B"};

struct Case {
    std::vector<VoicingSlot> slots;
    bool bassChanges = false;
    std::size_t beam = kBeamWidth;
};

Case randomCase(std::mt19937& rng) {
    Case c;
    const std::size_t length = 2 + rng() % 4;
    const auto style = static_cast<VoicingStyle>(rng() % 6);
    const bool rich = rng() % 3 == 0;
    c.slots.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        VoicingSlot& slot = c.slots[i];
        const std::string_view symbol =
            rich && rng() % 2 == 0 ? kRich[rng() % std::size(kRich)] : kPlain[rng() % std::size(kPlain)];
        slot.chord = parseChordSymbol(symbol).value();
        // Mostly one style, sometimes a slot of another (a new segment).
        slot.style = rng() % 8 == 0 ? static_cast<VoicingStyle>(rng() % 6) : style;
        if (i > 0 && rng() % 7 == 0) slot.autoVoiced = false;
        if (i > 0 && rng() % 11 == 0) {
            slot.autoVoiced = false;
            slot.manualMidi = {40 + static_cast<std::int32_t>(rng() % 12), 55 + static_cast<std::int32_t>(rng() % 9),
                               64 + static_cast<std::int32_t>(rng() % 10)};
        }
    }
    c.bassChanges = rng() % 2 == 0;
    const std::uint32_t beamChoice = rng() % 6;
    c.beam = beamChoice == 0   ? 200 + rng() % 400
             : beamChoice == 1 ? std::numeric_limits<std::size_t>::max()
                               : kBeamWidth;
    return c;
}

// The timing fields of the lines, which no two runs share.
std::vector<std::string> withoutTimes(std::vector<std::string> lines) {
    static const std::regex times("(gen_ms|total_ms)=[0-9]+");
    static const std::regex thread(" thread=[^ ]+");
    for (std::string& line : lines) line = std::regex_replace(std::regex_replace(line, times, "$1=T"), thread, "");
    return lines;
}

bool sameBits(const std::vector<std::vector<double>>& a, const std::vector<std::vector<double>>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size()) return false;
        if (!a[i].empty() && std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(double)) != 0) return false;
    }
    return true;
}

void expectSamePort(const VoicerPort& fast, const VoicerPort& oracle, const std::string& where) {
    EXPECT_EQ(fast.hasPrevious, oracle.hasPrevious) << where;
    EXPECT_EQ(fast.previousOptions, oracle.previousOptions) << where;
    EXPECT_EQ(fast.previousSymbols, oracle.previousSymbols) << where;
    EXPECT_EQ(fast.previousFixed, oracle.previousFixed) << where;
    ASSERT_EQ(fast.previousCandidates.size(), oracle.previousCandidates.size()) << where;
    for (std::size_t i = 0; i < fast.previousCandidates.size(); ++i) {
        EXPECT_EQ(*fast.previousCandidates[i], *oracle.previousCandidates[i]) << where << " position " << i;
    }
    EXPECT_TRUE(sameBits(fast.previousScores, oracle.previousScores)) << where;
    EXPECT_EQ(fast.previousBacks, oracle.previousBacks) << where;
}

struct Outcome {
    std::vector<CandidateVoicing> voicings;
    std::string failure;
    std::vector<std::string> debug;
    std::vector<std::string> trace;
};

template <typename Solve>
Outcome run(Solve&& solve) {
    Outcome out;
    clearAvlDebugLines();
    discardDiagnosticTrace();
    try {
        out.voicings = solve();
    } catch (const std::exception& e) {
        out.failure = e.what();
    }
    out.debug = withoutTimes(takeAvlDebugLines());
    out.trace = withoutTimes(diagnosticTraceLines());
    return out;
}

void expectSameOutcome(const Outcome& fast, const Outcome& oracle, const std::string& where) {
    EXPECT_EQ(fast.voicings, oracle.voicings) << where;
    EXPECT_EQ(fast.failure, oracle.failure) << where;
    EXPECT_EQ(fast.debug, oracle.debug) << where;
    EXPECT_EQ(fast.trace, oracle.trace) << where;
}

TEST(VoicerSolveOracle, SeededProgressionsMatchTheStraightforwardSolverOnEveryThreadCount) {
    std::mt19937 rng(3113);
    setAvlDebugEnabled(true);
    setDiagnosticTraceEnabled(true);
    for (int n = 0; n < kProgressions; ++n) {
        Case c = randomCase(rng);
        AnchorNotes anchors;
        const std::vector<AvlSegment> segments = buildAvlSegments(c.slots, anchors, c.bassChanges);
        // One port per solver, kept across the segments and an edited re-solve, as a session does.
        VoicerPort oraclePort;
        VoicerPort fastPorts[2];
        const std::size_t threads[2] = {1, 4};
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t s = 0; s < segments.size(); ++s) {
                const AvlSegment& segment = segments[s];
                const std::string where = "progression " + std::to_string(n) + " pass " + std::to_string(pass) +
                                          " segment " + std::to_string(s);
                VoicerSolveSettings oracleSettings;
                oracleSettings.beamWidth = c.beam;
                const Outcome oracle = run([&] {
                    return testing::referenceVoicerSolve(segment.chords, segment.options, segment.fixedChords,
                                                         &oraclePort, oracleSettings);
                });
                for (int t = 0; t < 2; ++t) {
                    VoicerSolveSettings settings;
                    settings.beamWidth = c.beam;
                    settings.threads = threads[t];
                    const Outcome fast = run([&] {
                        return voicerSolve(segment.chords, segment.options, segment.fixedChords, &fastPorts[t],
                                           settings);
                    });
                    expectSameOutcome(fast, oracle, where + " threads " + std::to_string(threads[t]));
                    expectSamePort(fastPorts[t], oraclePort, where + " threads " + std::to_string(threads[t]));
                }
            }
        }
        if (::testing::Test::HasFailure()) break;
    }
    setAvlDebugEnabled(false);
    resetDiagnosticTrace();
}

TEST(VoicerSolveOracle, EditedProgressionsReuseThePortAsTheStraightforwardSolverDoes) {
    std::mt19937 rng(777);
    setAvlDebugEnabled(true);
    for (int n = 0; n < kProgressions / 10; ++n) {
        Case c = randomCase(rng);
        c.slots.resize(std::max<std::size_t>(c.slots.size(), 3));
        for (VoicingSlot& slot : c.slots) {
            if (slot.chord.quality.empty() && slot.chord.intervals.empty()) slot.chord = parseChordSymbol("C").value();
            slot.autoVoiced = true;
            slot.manualMidi.clear();
            slot.style = c.slots.front().style;
        }
        VoicerPort oraclePort;
        VoicerPort fastPort;
        for (int edit = 0; edit < 3; ++edit) {
            AnchorNotes anchors;
            const AvlSegment segment = buildAvlSegments(c.slots, anchors, c.bassChanges).front();
            const std::string where = "progression " + std::to_string(n) + " edit " + std::to_string(edit);
            const Outcome oracle = run([&] {
                return testing::referenceVoicerSolve(segment.chords, segment.options, segment.fixedChords, &oraclePort);
            });
            const Outcome fast =
                run([&] { return voicerSolve(segment.chords, segment.options, segment.fixedChords, &fastPort); });
            expectSameOutcome(fast, oracle, where);
            expectSamePort(fastPort, oraclePort, where);
            c.slots.back().chord = parseChordSymbol(kPlain[rng() % std::size(kPlain)]).value();
        }
    }
    setAvlDebugEnabled(false);
}

// Sparse chords after dense anchors, some of which the straightforward solver
// refuses: the fast one agrees with it wherever it finds voicings, and voices
// the rest with the same lines up to the refused chord.
TEST(VoicerSolveOracle, SparseChordsAfterDenseAnchorsMatchWhereverTheStraightforwardSolverSucceeds) {
    constexpr std::string_view kDense[] = {"C9",   "C7b9",   "C7alt", "C7#9",   "C13",
                                           "Cm11", "C13#11", "C6/9",  "C7#9#5", "Eb9"};
    constexpr std::string_view kSparse[] = {"C5", "F5", "Bb5", "E5", "G5", "A5", "G", "Dsus2", "Am", "E7"};
    std::mt19937 rng(105);
    int refused = 0;
    setAvlDebugEnabled(true);
    for (int n = 0; n < 100; ++n) {
        std::vector<VoicingSlot> slots(2 + rng() % 3);
        // Mostly the styles whose dense anchors leave power chords no voicing.
        const auto style = static_cast<VoicingStyle>(rng() % 3 != 0 ? 4 + rng() % 2 : rng() % 6);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            const bool dense = i == 0 || rng() % 4 == 0;
            slots[i].chord =
                parseChordSymbol(dense ? kDense[rng() % std::size(kDense)] : kSparse[rng() % std::size(kSparse)])
                    .value();
            slots[i].style = style;
        }
        AnchorNotes anchors;
        const AvlSegment segment = buildAvlSegments(slots, anchors, rng() % 2 == 0).front();
        const std::string where = "progression " + std::to_string(n);
        VoicerPort oraclePort;
        VoicerPort fastPort;
        const Outcome oracle = run([&] {
            return testing::referenceVoicerSolve(segment.chords, segment.options, segment.fixedChords, &oraclePort);
        });
        const Outcome fast =
            run([&] { return voicerSolve(segment.chords, segment.options, segment.fixedChords, &fastPort); });
        if (oracle.failure != "no legal revoicings found") {
            expectSameOutcome(fast, oracle, where);
            expectSamePort(fastPort, oraclePort, where);
            continue;
        }
        ++refused;
        EXPECT_EQ(fast.failure, "") << where;
        EXPECT_EQ(fast.voicings.size(), slots.size()) << where;
        ASSERT_LT(oracle.debug.size(), fast.debug.size()) << where;
        EXPECT_TRUE(std::equal(oracle.debug.begin(), oracle.debug.end(), fast.debug.begin())) << where;
        // The relaxed solve is kept in the port like any other.
        VoicerSolveStats stats;
        VoicerSolveSettings settings;
        settings.stats = &stats;
        const Outcome again =
            run([&] { return voicerSolve(segment.chords, segment.options, segment.fixedChords, &fastPort, settings); });
        EXPECT_EQ(again.voicings, fast.voicings) << where;
        EXPECT_EQ(stats.reusedPrefix, slots.size()) << where;
    }
    setAvlDebugEnabled(false);
    EXPECT_GE(refused, 10);
}

}  // namespace
}  // namespace quillex
