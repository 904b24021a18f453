// One "get_suggestions" request with a previous and a next chord: whole request, each stage, long previous-chord lists.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/corpus_suggestions.h"
#include "generation/suggestion_scoring.h"
#include "generation/suggestion_selection.h"
#include "generation/suggestions_request.h"
#include "generation/theory_suggestions.h"
#include "voicing/semitone_transpose.h"

namespace {

using namespace quillex;

// Closed style without shuffle (range 0), or guide-color with shuffle (range 1, k = 200).
bool shuffled(const benchmark::State& state) { return state.range(0) == 1; }

nlohmann::json request(bool shuffle) {
    nlohmann::json r = {{"root", "C"}, {"mode", "major"}, {"prevChords", {"C", "Am7"}}, {"nextChord", "Dm7"}};
    if (shuffle) {
        r["shuffleMode"] = true;
        r["shuffleSeed"] = "bench";
        r["voicingStyle"] = "guide-color";
    }
    return r;
}

SuggestionContext context(bool shuffle) {
    SuggestionContext c;
    c.prevChords = {*parseChordSymbol("C"), *parseChordSymbol("Am7")};
    c.nextChord = parseChordSymbol("Dm7");
    c.spellingOptions = SpellingOptions{false, true};
    c.shuffleMode = shuffle;
    c.voicingStyle = shuffle ? VoicingStyle::GuideColor : VoicingStyle::Closed;
    return c;
}

std::vector<ChordSuggestion> generateAll(const SuggestionContext& c) {
    std::vector<ChordSuggestion> all;
    for (auto generate : {suggestSecondaryDominants, suggestBorrowedChords, suggestTritoneSubstitutions,
                          suggestPassingDiminished, suggestChromaticMediants}) {
        auto list = generate(c);
        all.insert(all.end(), list.begin(), list.end());
    }
    auto corpus = suggestFromCorpus(c, sharedChordTransitionModel());
    all.insert(all.end(), corpus.begin(), corpus.end());
    return all;
}

void BM_SuggestionRequest(benchmark::State& state) {
    ensureCorporaInitialized();
    const nlohmann::json r = request(shuffled(state));
    std::size_t sent = 0;
    for (auto _ : state) {
        const BridgeReply reply = handleGetSuggestions(r);
        sent = reply.payload["suggestions"].size();
        benchmark::DoNotOptimize(sent);
    }
    state.counters["sent"] = static_cast<double>(sent);
}
BENCHMARK(BM_SuggestionRequest)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A request with range(0) previous chords, as long requests in chunk frames
// bring them (100,000 is about 800 KB of JSON); the cost should grow linearly.
void BM_SuggestionRequestLongContext(benchmark::State& state) {
    ensureCorporaInitialized();
    static constexpr const char* kCycle[] = {"Cmaj7", "Am7/G", "Dm7b5", "G7sus4", "Em7b5", "A7b9", "Fmaj9", "Bb13"};
    nlohmann::json chords = nlohmann::json::array();
    for (std::int64_t i = 0; i < state.range(0); ++i) chords.push_back(kCycle[i % std::size(kCycle)]);
    const nlohmann::json r = {
        {"root", "C"}, {"mode", "major"}, {"prevChords", std::move(chords)}, {"nextChord", "Dm7"}};
    for (auto _ : state) benchmark::DoNotOptimize(handleGetSuggestions(r));
    state.counters["requestBytes"] = static_cast<double>(r.dump().size());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SuggestionRequestLongContext)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_SuggestionTheoryGenerators(benchmark::State& state) {
    const SuggestionContext c = context(shuffled(state));
    std::size_t made = 0;
    for (auto _ : state) {
        made = 0;
        for (auto generate : {suggestSecondaryDominants, suggestBorrowedChords, suggestTritoneSubstitutions,
                              suggestPassingDiminished, suggestChromaticMediants}) {
            made += generate(c).size();
        }
        benchmark::DoNotOptimize(made);
    }
    state.counters["candidates"] = static_cast<double>(made);
}
BENCHMARK(BM_SuggestionTheoryGenerators)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SuggestionCorpusGenerator(benchmark::State& state) {
    ensureCorporaInitialized();
    const SuggestionContext c = context(shuffled(state));
    std::size_t made = 0;
    for (auto _ : state) {
        made = suggestFromCorpus(c, sharedChordTransitionModel()).size();
        benchmark::DoNotOptimize(made);
    }
    state.counters["candidates"] = static_cast<double>(made);
}
BENCHMARK(BM_SuggestionCorpusGenerator)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SuggestionScoring(benchmark::State& state) {
    ensureCorporaInitialized();
    const SuggestionContext c = context(shuffled(state));
    std::vector<ChordSuggestion> all = generateAll(c);
    const auto tokens = deriveContextCorpusTokens(c);
    const ContextChordSummary chords = summarizeContextChords(c);
    for (auto _ : state) {
        for (ChordSuggestion& s : all) s.score = scoreSuggestion(s, c, sharedChordTransitionModel(), &*tokens, &chords);
        benchmark::ClobberMemory();
    }
    state.counters["candidates"] = static_cast<double>(all.size());
}
BENCHMARK(BM_SuggestionScoring)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SuggestionSelection(benchmark::State& state) {
    ensureCorporaInitialized();
    const SuggestionContext c = context(shuffled(state));
    std::vector<ChordSuggestion> all = generateAll(c);
    for (ChordSuggestion& s : all) s.score = scoreSuggestion(s, c, sharedChordTransitionModel());
    std::size_t kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<ChordSuggestion> copy = all;
        state.ResumeTiming();
        kept = selectSuggestions(std::move(copy), c, true, "bench").size();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_SuggestionSelection)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SuggestionVoicing(benchmark::State& state) {
    ensureCorporaInitialized();
    const SuggestionContext c = context(shuffled(state));
    std::vector<ChordSuggestion> all = generateAll(c);
    for (ChordSuggestion& s : all) s.score = scoreSuggestion(s, c, sharedChordTransitionModel());
    std::vector<ChordSuggestion> kept = selectSuggestions(std::move(all), c, true, "bench");
    for (auto _ : state) {
        for (ChordSuggestion& s : kept) s.notes = voiceChordWithTranspose(s.chord, c.voicingStyle, 4, {}, 0);
        benchmark::ClobberMemory();
    }
    state.counters["voiced"] = static_cast<double>(kept.size());
}
BENCHMARK(BM_SuggestionVoicing)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
