// The straightforward voice-leading solver, kept as the oracle of the fast one: same voicings, scores and lines.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "protocol/diagnostic_trace.h"
#include "voicing/voicer_solve.h"
#include "voicing/voicing_candidates.h"
#include "voicing/voicing_scores.h"

namespace quillex::testing {
namespace reference {

inline constexpr double kNegativeInfinity = -std::numeric_limits<double>::infinity();

inline std::int64_t elapsedMs(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count() / 1'000'000;
}

inline std::string threadNumber() {
    std::ostringstream out;
    out << std::this_thread::get_id();
    return out.str();
}

// Upper bound of the positive part of any move score in a step, so that a
// predecessor that cannot win even with it ends the scan.
inline double transitionBound(const LearnedWeights& w, const VoicerOptions& o, std::int64_t largestCountChange) {
    auto positive = [](double x) { return std::max(x, 0.0); };
    const auto gated = [&](double weight, StyleMask styles) {
        return ruleTermApplies(weight, styles, o.style) ? weight : 0.0;
    };
    if (w[8] > 0.0 || w[11] > 0.0 || gated(o.closedGapWeight, o.closedGapStyles) > 0.0) {
        return std::numeric_limits<double>::infinity();
    }
    double bound =
        positive(w[1]) * static_cast<double>(std::max<std::int64_t>(14, largestCountChange)) + positive(w[6]);
    bound += positive(w[0]) + positive(w[9]) + positive(w[10]);
    bound += positive(gated(o.sameTopWeight, o.sameTopStyles));
    if (o.allowBassChanges) {
        bound += positive(gated(o.sameBassWeight, o.sameBassStyles));
        bound += positive(gated(o.bassOctaveLeapWeight, o.bassOctaveLeapStyles));
    }
    return bound;
}

inline void noteCountRange(const CandidateList& list, std::int64_t& fewest, std::int64_t& most) {
    fewest = std::numeric_limits<std::int64_t>::max();
    most = 0;
    for (const CandidateVoicing& v : list) {
        fewest = std::min<std::int64_t>(fewest, static_cast<std::int64_t>(v.size()));
        most = std::max<std::int64_t>(most, static_cast<std::int64_t>(v.size()));
    }
}

inline std::string chordLine(std::size_t i, const std::string& symbol, const Chord& chord, const VoicerOptions& o,
                             std::size_t raw, const char* cacheFlag) {
    const std::int64_t u = static_cast<std::int64_t>(voicerChordPitchClasses(chord).size());
    std::int64_t fewest = u;
    std::int64_t most = u;
    if (o.style != VoicingStyle::Closed) {
        fewest = std::max<std::int64_t>(u, o.minNotes);
        most = o.maxNotes;
    }
    return "AVL chord[" + std::to_string(i) + "] " + symbol + " unique=" + std::to_string(u) +
           " min=" + std::to_string(fewest) + " max=" + std::to_string(most) + " raw=" + std::to_string(raw) +
           " cache=" + cacheFlag;
}

}  // namespace reference

using namespace reference;

inline std::vector<CandidateVoicing> referenceVoicerSolve(const std::vector<Chord>& chords,
                                                          const VoicerOptions& options,
                                                          const std::vector<FixedNotes>& fixed, VoicerPort* port,
                                                          const VoicerSolveSettings& settings = {}) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point t0 = Clock::now();
    const std::size_t count = chords.size();
    if (count == 0) return {};
    if (!fixed.empty() && fixed.size() != count) {
        throw std::runtime_error("fixedChords must be empty or match chords length");
    }
    VoicerSolveStats localStats;
    VoicerSolveStats& stats = settings.stats ? *settings.stats : localStats;
    stats = VoicerSolveStats{};

    VoicerPortCacheState* cache = nullptr;
    if (port) {
        if (!port->cacheState) port->cacheState = makeVoicerPortCacheState();
        cache = port->cacheState.get();
    } else {
        cache = &sharedVoicerPortCacheState();
    }
    static const FixedNotes kAbsent;
    auto fixedAt = [&](std::size_t i) -> const FixedNotes& { return fixed.empty() ? kAbsent : fixed[i]; };

    std::vector<std::string> symbols(count);
    for (std::size_t i = 0; i < count; ++i) symbols[i] = formatChordSymbol(chords[i]);

    std::size_t r = 0;
    if (port && port->hasPrevious && port->previousOptions == options) {
        while (r < count && r < port->previousSymbols.size() && symbols[r] == port->previousSymbols[r] &&
               r < port->previousFixed.size() && fixedAt(r) == port->previousFixed[r]) {
            ++r;
        }
    }
    stats.reusedPrefix = r;
    const LearnedWeights w = effectiveCostWeights(options);
    const bool debug = isAvlDebugEnabled();

    std::vector<SharedCandidateList> cands(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i < r) {
            cands[i] = port->previousCandidates[i];
            if (debug) appendAvlDebugLine(chordLine(i, symbols[i], chords[i], options, cands[i]->size(), "retained"));
            continue;
        }
        CandidateResult result = generateCandidateVoicings(chords[i], options, *cache, fixedAt(i));
        if (!result.list || result.list->empty()) throw std::runtime_error("no legal revoicings found");
        stats.rawCandidates += result.list->size();
        if (result.cacheHit) ++stats.candidateCacheHits;
        if (debug) {
            appendAvlDebugLine(
                chordLine(i, symbols[i], chords[i], options, result.list->size(), result.cacheHit ? "hit" : "miss"));
        }
        cands[i] = std::move(result.list);
    }
    const Clock::time_point t1 = Clock::now();

    std::vector<ChordScoreFacts> facts(count);
    for (std::size_t i = (r > 0 ? r - 1 : 0); i < count; ++i) facts[i] = chordScoreFacts(chords[i]);

    std::vector<std::vector<double>> unary(count);
    for (std::size_t i = r; i < count; ++i) {
        const CandidateList& list = *cands[i];
        std::vector<double>& own = unary[i];
        own.resize(list.size());
        for (std::size_t c = 0; c < list.size(); ++c) own[c] = voicingCost(list[c], facts[i], options, w, *cache);
        if (list.size() > kCandidateCap) {
            const std::vector<std::int32_t> keep = selectHighestScores(own, kCandidateCap);
            CandidateList capped;
            std::vector<double> cappedOwn;
            capped.reserve(keep.size());
            cappedOwn.reserve(keep.size());
            for (const std::int32_t index : keep) {
                capped.push_back(list[index]);
                cappedOwn.push_back(own[index]);
            }
            cands[i] = std::make_shared<const CandidateList>(std::move(capped));
            own = std::move(cappedOwn);
        }
    }
    for (const SharedCandidateList& list : cands) stats.cappedCandidates += list->size();
    if (debug) {
        std::string line = "AVL beam candidates=";
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) line += "/";
            line += std::to_string(cands[i]->size());
        }
        appendAvlDebugLine(std::move(line));
    }

    std::vector<std::vector<double>> score(count);
    std::vector<std::vector<std::int32_t>> back(count);
    for (std::size_t i = 0; i < r; ++i) {
        score[i] = port->previousScores[i];
        back[i] = port->previousBacks[i];
    }
    if (r == 0) {
        score[0] = unary[0];
        back[0].assign(cands[0]->size(), -1);
    }

    const std::size_t beam = std::max<std::size_t>(settings.beamWidth, 1);
    std::vector<std::int32_t> order;
    for (std::size_t p = std::max<std::size_t>(r, 1); p < count; ++p) {
        const CandidateList& previous = *cands[p - 1];
        const CandidateList& current = *cands[p];
        const std::vector<double>& previousScore = score[p - 1];
        score[p].assign(current.size(), kNegativeInfinity);
        back[p].assign(current.size(), -1);
        const std::size_t m = previous.size();
        const std::size_t k = std::min(m, beam);
        const bool truncated = k < m;
        // Predecessors best first. Without truncation every predecessor is a
        // candidate and the lowest index wins ties; scanning best first with a
        // strict, rounding-safe exit finds that same predecessor sooner.
        order = selectHighestScores(previousScore, k);
        std::int64_t prevFewest = 0, prevMost = 0, curFewest = 0, curMost = 0;
        noteCountRange(previous, prevFewest, prevMost);
        noteCountRange(current, curFewest, curMost);
        const double bound = transitionBound(w, options, std::max(curMost - prevFewest, prevMost - curFewest));
        for (std::size_t c = 0; c < current.size(); ++c) {
            const double u = unary[p][c];
            double& best = score[p][c];
            std::int32_t& from = back[p][c];
            for (const std::int32_t q : order) {
                const double limit = u + bound + previousScore[q];
                if (truncated) {
                    if (best >= limit) break;
                } else if (best > limit + std::fabs(limit) * 1e-9 + 1e-9) {
                    break;
                }
                ++stats.transitionsEvaluated;
                const double s =
                    u + previousScore[q] + transitionCost(previous[q], current[c], facts[p - 1], facts[p], options, w);
                if (s > best || (!truncated && s == best && q < from)) {
                    best = s;
                    from = q;
                }
            }
        }
    }

    std::vector<CandidateVoicing> result(count);
    const std::vector<double>& last = score[count - 1];
    std::int32_t index = static_cast<std::int32_t>(std::max_element(last.begin(), last.end()) - last.begin());
    for (std::size_t i = count; i-- > 0;) {
        result[i] = (*cands[i])[index];
        index = back[i][index];
    }
    const Clock::time_point t2 = Clock::now();

    const bool tracing = isDiagnosticTraceEnabled();
    std::uint64_t total = 0;
    if (tracing) {
        for (const SharedCandidateList& list : cands) total += list->size();
    }
    if (port) {
        port->hasPrevious = true;
        port->previousOptions = options;
        port->previousSymbols = std::move(symbols);
        port->previousFixed.assign(count, std::nullopt);
        for (std::size_t i = 0; i < count && !fixed.empty(); ++i) port->previousFixed[i] = fixed[i];
        port->previousCandidates = std::move(cands);
        port->previousScores = std::move(score);
        port->previousBacks = std::move(back);
    }
    const std::int64_t genMs = elapsedMs(t0, t1);
    const std::int64_t totalMs = elapsedMs(t0, t2);
    if (debug) {
        appendAvlDebugLine("AVL solve chords=" + std::to_string(count) + " gen_ms=" + std::to_string(genMs) +
                           " total_ms=" + std::to_string(totalMs));
    }
    if (tracing) {
        appendDiagnosticTraceLine("voicer_solve chords=" + std::to_string(count) + " gen_ms=" + std::to_string(genMs) +
                                  " total_ms=" + std::to_string(totalMs) + " prefix=" + std::to_string(r) +
                                  " cands=" + std::to_string(total) + " thread=" + threadNumber());
    }
    return result;
}

}  // namespace quillex::testing
