// Viterbi-style beam search with a candidate cap, an exact early exit and reuse of the previous solve.
#include "voicing/voicer_solve.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "protocol/diagnostic_trace.h"
#include "voicing/move_bound.h"
#include "voicing/solver_team.h"
#include "voicing/voicing_candidates.h"
#include "voicing/voicing_scores.h"

namespace quillex {
namespace {

constexpr double kNegativeInfinity = -std::numeric_limits<double>::infinity();

void siftDown(std::vector<std::int32_t>& heap, std::size_t size, std::size_t i, std::span<const double> scores) {
    while (true) {
        const std::size_t left = 2 * i + 1;
        const std::size_t right = left + 1;
        std::size_t smallest = i;
        if (left < size && scores[heap[left]] < scores[heap[smallest]]) smallest = left;
        if (right < size && scores[heap[right]] < scores[heap[smallest]]) smallest = right;
        if (smallest == i) return;
        std::swap(heap[i], heap[smallest]);
        i = smallest;
    }
}

std::int64_t elapsedMs(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count() / 1'000'000;
}

std::string threadNumber() {
    std::ostringstream out;
    out << std::this_thread::get_id();
    return out.str();
}

// Upper bound of the positive part of any move score in a step, so that a
// predecessor that cannot win even with it ends the scan.
double transitionBound(const LearnedWeights& w, const VoicerOptions& o, std::int64_t largestCountChange) {
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

void noteCountRange(const CandidateList& list, std::int64_t& fewest, std::int64_t& most) {
    fewest = std::numeric_limits<std::int64_t>::max();
    most = 0;
    for (const CandidateVoicing& v : list) {
        fewest = std::min<std::int64_t>(fewest, static_cast<std::int64_t>(v.size()));
        most = std::max<std::int64_t>(most, static_cast<std::int64_t>(v.size()));
    }
}

// Work (candidates x predecessors summed over the steps) from which a solve
// shares its steps out, and the least work of a step worth sharing.
constexpr std::uint64_t kParallelWorkThreshold = 200'000;
constexpr std::size_t kParallelStepThreshold = 8'192;
constexpr std::size_t kCandidatesPerChunk = 8;
// Candidates of one chord from which their own scores are shared out.
constexpr std::size_t kParallelOwnScoreThreshold = 512;
constexpr std::size_t kCandidatesPerOwnChunk = 64;

// Whether a solve has enough work to start the team: many candidates to
// score on their own, or many moves to score (estimated before the cap).
bool worthSharing(const std::vector<SharedCandidateList>& cands, std::size_t reused, std::size_t beam) {
    std::uint64_t own = 0;
    std::uint64_t moves = 0;
    for (std::size_t i = reused; i < cands.size(); ++i) {
        own += cands[i]->size();
        if (i > 0) {
            moves += std::min(cands[i]->size(), kCandidateCap) *
                     std::min({cands[i - 1]->size(), kCandidateCap, std::max<std::size_t>(beam, 1)});
        }
    }
    return own >= 2 * kParallelOwnScoreThreshold || moves >= kParallelWorkThreshold;
}

std::vector<VoicingOutline> outlinesOf(const CandidateList& list) {
    std::vector<VoicingOutline> outlines(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) outlines[i] = outlineOf(list[i]);
    return outlines;
}

// What one step of the search reads; shared read-only by the threads of a step.
struct MoveStep {
    const CandidateList& previous;
    const CandidateList& current;
    const std::vector<VoicingOutline>& previousOutlines;
    const std::vector<VoicingOutline>& currentOutlines;
    const std::vector<double>& previousScore;
    const std::vector<double>& unary;
    const std::vector<std::int32_t>& order;
    const ChordScoreFacts& previousFacts;
    const ChordScoreFacts& currentFacts;
    const VoicerOptions& options;
    const LearnedWeights& weights;
    MoveBoundWeights boundWeights;
    double bound;  // of the positive move terms, for the early exit
    bool truncated;
};

// True when the move from predecessor q to candidate c, bounded from above
// with a margin far beyond rounding, scores below `best`: first from the outer
// notes alone, then from every term the outlines decide.
bool cannotWin(const MoveStep& step, std::int32_t q, std::size_t c, double base, double baseMagnitude, double best) {
    const VoicingOutline& previous = step.previousOutlines[static_cast<std::size_t>(q)];
    const VoicingOutline& next = step.currentOutlines[c];
    const MoveScoreBound quick = quickMoveBound(previous, next, step.boundWeights);
    if (base + quick.value + (baseMagnitude + quick.magnitude + 1.0) * 1e-9 < best) return true;
    const MoveScoreBound move =
        moveScoreUpperBound(previous, next, step.previousFacts, step.currentFacts, step.options, step.boundWeights);
    return base + move.value + (baseMagnitude + move.magnitude + 1.0) * 1e-9 < best;
}

// Best predecessor of each candidate in [begin, end), written to its own
// entries only, so any split of the range gives the same result. A move whose
// score bound (with a rounding margin) falls below the best so far cannot
// win and is not scored. Returns the moves scored.
std::uint64_t scanMoves(const MoveStep& step, std::size_t begin, std::size_t end, std::vector<double>& score,
                        std::vector<std::int32_t>& back) {
    std::uint64_t evaluated = 0;
    for (std::size_t c = begin; c < end; ++c) {
        const double u = step.unary[c];
        const CandidateVoicing& next = step.current[c];
        double best = kNegativeInfinity;
        std::int32_t from = -1;
        for (const std::int32_t q : step.order) {
            const double previousScore = step.previousScore[q];
            const double limit = u + step.bound + previousScore;
            if (step.truncated) {
                if (best >= limit) break;
            } else if (best > limit + std::fabs(limit) * 1e-9 + 1e-9) {
                break;
            }
            if (best != kNegativeInfinity &&
                cannotWin(step, q, c, u + previousScore, std::fabs(u) + std::fabs(previousScore), best)) {
                continue;
            }
            ++evaluated;
            const double s = u + previousScore +
                             transitionCost(step.previous[q], next, step.previousFacts, step.currentFacts, step.options,
                                            step.weights);
            if (s > best || (!step.truncated && s == best && q < from)) {
                best = s;
                from = q;
            }
        }
        score[c] = best;
        back[c] = from;
    }
    return evaluated;
}

std::string chordLine(std::size_t i, const std::string& symbol, const Chord& chord, const VoicerOptions& o,
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

}  // namespace

std::vector<std::int32_t> selectHighestScores(std::span<const double> scores, std::size_t count) {
    count = std::min(count, scores.size());
    std::vector<std::int32_t> heap(count);
    for (std::size_t i = 0; i < count; ++i) heap[i] = static_cast<std::int32_t>(i);
    if (count == 0) return heap;
    for (std::size_t i = count / 2; i-- > 0;) siftDown(heap, count, i, scores);
    for (std::size_t j = count; j < scores.size(); ++j) {
        if (scores[j] > scores[heap[0]]) {
            heap[0] = static_cast<std::int32_t>(j);
            siftDown(heap, count, 0, scores);
        }
    }
    for (std::size_t end = count; end-- > 1;) {
        std::swap(heap[0], heap[end]);
        siftDown(heap, end, 0, scores);
    }
    return heap;
}

std::vector<CandidateVoicing> voicerSolve(const std::vector<Chord>& chords, const VoicerOptions& options,
                                          const std::vector<FixedNotes>& fixed, VoicerPort* port,
                                          const VoicerSolveSettings& settings) {
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
        // A chord the segment's limits leave without a voicing gets the
        // loosest limits it needs; the solve's scores stay the segment's.
        std::optional<RelaxedCandidates> relaxed;
        if (result.list && result.list->empty() && !fixedAt(i)) {
            relaxed = relaxedCandidateVoicings(chords[i], options, *cache);
            result = relaxed->result;
        }
        if (!result.list || result.list->empty()) throw std::runtime_error("no legal revoicings found");
        stats.rawCandidates += result.list->size();
        if (result.cacheHit) ++stats.candidateCacheHits;
        if (debug) {
            appendAvlDebugLine(chordLine(i, symbols[i], chords[i], relaxed ? relaxed->options : options,
                                         result.list->size(), result.cacheHit ? "hit" : "miss"));
        }
        cands[i] = std::move(result.list);
    }
    const Clock::time_point t1 = Clock::now();

    std::vector<ChordScoreFacts> facts(count);
    for (std::size_t i = (r > 0 ? r - 1 : 0); i < count; ++i) facts[i] = chordScoreFacts(chords[i]);

    // A chord that comes back shares its cached candidate list, and its own
    // scores depend only on that list and the chord's facts: work them out
    // once per solve.
    struct OwnScores {
        SharedCandidateList source;
        ChordScoreFacts facts;
        SharedCandidateList kept;
        std::vector<double> scores;
    };
    std::vector<OwnScores> known;
    SolverTeam team(worthSharing(cands, r, settings.beamWidth) ? solverThreadCount(settings.threads) : 1);
    std::vector<std::vector<double>> unary(count);
    for (std::size_t i = r; i < count; ++i) {
        const auto same = std::find_if(known.begin(), known.end(), [&](const OwnScores& entry) {
            return entry.source == cands[i] && entry.facts == facts[i];
        });
        if (same != known.end()) {
            cands[i] = same->kept;
            unary[i] = same->scores;
            continue;
        }
        const SharedCandidateList source = cands[i];
        const CandidateList& list = *source;
        std::vector<double>& own = unary[i];
        own.resize(list.size());
        if (team.size() > 1 && list.size() >= kParallelOwnScoreThreshold) {
            // Roughness values on the team; the cache then sees the same
            // lookups and stores, in the same order, as one thread would make.
            std::vector<double> roughness(list.size());
            team.forEachChunk(list.size(), kCandidatesPerOwnChunk, [&](std::size_t begin, std::size_t end) {
                for (std::size_t c = begin; c < end; ++c) roughness[c] = roughnessValue(list[c]);
            });
            for (std::size_t c = 0; c < list.size(); ++c) roughness[c] = roughnessCost(list[c], *cache, roughness[c]);
            team.forEachChunk(list.size(), kCandidatesPerOwnChunk, [&](std::size_t begin, std::size_t end) {
                for (std::size_t c = begin; c < end; ++c) {
                    own[c] = voicingCostWithRoughness(list[c], facts[i], options, w, roughness[c]);
                }
            });
        } else {
            for (std::size_t c = 0; c < list.size(); ++c) own[c] = voicingCost(list[c], facts[i], options, w, *cache);
        }
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
        known.push_back({source, facts[i], cands[i], own});
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
    const std::size_t first = std::max<std::size_t>(r, 1);
    std::vector<std::int32_t> order;
    std::vector<VoicingOutline> previousOutlines = outlinesOf(*cands[first - 1]);
    for (std::size_t p = first; p < count; ++p) {
        const CandidateList& previous = *cands[p - 1];
        const CandidateList& current = *cands[p];
        std::vector<VoicingOutline> currentOutlines = outlinesOf(current);
        score[p].assign(current.size(), kNegativeInfinity);
        back[p].assign(current.size(), -1);
        const std::size_t m = previous.size();
        const std::size_t k = std::min(m, beam);
        // Predecessors best first. Without truncation every predecessor is a
        // candidate and the lowest index wins ties; scanning best first with a
        // strict, rounding-safe exit finds that same predecessor sooner.
        order = selectHighestScores(score[p - 1], k);
        std::int64_t prevFewest = 0, prevMost = 0, curFewest = 0, curMost = 0;
        noteCountRange(previous, prevFewest, prevMost);
        noteCountRange(current, curFewest, curMost);
        const std::int64_t countChange = std::max(curMost - prevFewest, prevMost - curFewest);
        const MoveStep step{previous,
                            current,
                            previousOutlines,
                            currentOutlines,
                            score[p - 1],
                            unary[p],
                            order,
                            facts[p - 1],
                            facts[p],
                            options,
                            w,
                            MoveBoundWeights(w, options, countChange),
                            transitionBound(w, options, countChange),
                            k < m};
        std::atomic<std::uint64_t> evaluated{0};
        const bool shared = current.size() * k >= kParallelStepThreshold;
        const auto scan = [&](std::size_t begin, std::size_t end) {
            evaluated.fetch_add(scanMoves(step, begin, end, score[p], back[p]), std::memory_order_relaxed);
        };
        if (shared) {
            team.forEachChunk(current.size(), kCandidatesPerChunk, scan);
        } else {
            scan(0, current.size());
        }
        stats.transitionsEvaluated += evaluated.load(std::memory_order_relaxed);
        previousOutlines = std::move(currentOutlines);
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

}  // namespace quillex
