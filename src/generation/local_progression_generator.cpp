// One attempt of local generation: source choice, temperature walk and token resolution.
#include "generation/local_progression_generator.h"

#include <array>

#include "digest/fnv1a.h"
#include "generation/corpus_roman_token.h"
#include "generation/style_catalogue.h"
#include "generation/temperature_walk.h"
#include "generation/walk_draws.h"
#include "platform/random_device.h"
#include "theory/roman_numeral_resolution.h"
#include "theory/roman_progression_profile.h"

namespace quillex {

namespace {

std::uint32_t nonNegativeIndex(const LocalGenerationRequest& request) {
    return request.debugSequenceIndex < 0 ? 0u : static_cast<std::uint32_t>(request.debugSequenceIndex);
}

std::mt19937 seededGenerator(const LocalGenerationRequest& request) {
    if (request.debugSequential) return std::mt19937(sequentialGenerationSeed(request));
    std::array<std::uint32_t, 4> words{};
    for (std::uint32_t& word : words) word = platform::randomDeviceWord();
    std::seed_seq sequence(words.begin(), words.end());
    return std::mt19937(sequence);
}

// Resolves every token in the working key; false with the failure filled in.
bool resolveTokens(const std::vector<std::string>& tokens, const KeyContext& key, bool simplify,
                   LocalGenerationResult& result) {
    for (const std::string& token : tokens) {
        const std::optional<RomanChord> chord = romanNumeralToChord(token, key.key);
        const char* failure = nullptr;
        if (!chord) {
            failure = kUnsupportedRomanToken;
        } else {
            const std::optional<bool> flats = romanAccidentalPreference(token);
            const SpellingOptions hint{flats.value_or(false), flats.has_value()};
            if (!renderChordInKey(*chord, key, simplify, hint, std::nullopt)) failure = kUnanalyzableRomanToken;
        }
        if (failure != nullptr) {
            result.failed = true;
            result.failedToken = token;
            result.failureMessage = failure;
            result.items.clear();
            return false;
        }
        result.items.push_back(GeneratedRomanChord{chord->root, chord->quality, chord->bass, romanDisplayText(token)});
    }
    return true;
}

}  // namespace

std::uint32_t sequentialGenerationSeed(const LocalGenerationRequest& request) {
    std::uint32_t h = fnv1a32(kFnv1a32Basis, request.genre);
    h = fnv1a32(h, request.modeFamily);
    h = fnv1a32(h, request.subcategory);
    h = (h ^ request.length) * kFnv1a32Prime;
    h = (h ^ nonNegativeIndex(request)) * kFnv1a32Prime;
    return h;
}

std::vector<const SourceProgression*> generationCandidates(const LocalGenerationRequest& request,
                                                           const ProgressionCorpus& corpus) {
    std::vector<const SourceProgression*> candidates;
    const std::string genreId = normalizeGenreId(request.genre);
    const auto pools = corpus.findSourcePool(genreId, request.length);
    if (pools.empty()) return candidates;
    const SourcePool& pool = pools.front().get();
    // The profile modes computed at load, when they match the pool; else scored here.
    const std::vector<bool>* minorFlags = corpus.profileMinorFlags(genreId, request.length);
    if (minorFlags != nullptr && minorFlags->size() != pool.size()) minorFlags = nullptr;
    const bool wantMinor = request.mode != kMajorMode;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        const SourceProgression& record = pool[i];
        if (!filterIdMatches(request.modeFamily, record.modeFamily)) continue;
        if (!filterIdMatches(request.subcategory, record.subcategory)) continue;
        if (!request.autoKey) {
            const bool minor =
                minorFlags != nullptr ? (*minorFlags)[i] : scoreRomanProgression(record.romanTokens).isMinor;
            if (minor != wantMinor) continue;
        }
        candidates.push_back(&record);
    }
    return candidates;
}

void CorpusRandomGenerator::generate(LocalGenerationResult& result, const LocalGenerationRequest& request,
                                     const ProgressionCorpus& corpus, const ChordTransitionModel& model,
                                     float temperature) const {
    result = LocalGenerationResult{};
    if (corpus.recordCount() == 0) return;
    std::mt19937 generator = seededGenerator(request);

    const std::vector<const SourceProgression*> candidates = generationCandidates(request, corpus);
    if (candidates.empty()) return;
    const std::uint32_t count = static_cast<std::uint32_t>(candidates.size());
    const std::uint32_t chosen =
        request.debugSequential ? nonNegativeIndex(request) % count : drawUniformIndex(generator, count);
    const SourceProgression& source = *candidates[chosen];

    result.modeFamily = source.modeFamily;
    result.subcategory = source.subcategory;
    result.traceEnabled = request.debugTrace;
    if (request.debugTrace) {
        result.candidateIndex = chosen;
        result.candidateCount = count;
        result.poolIndex = source.poolIndex;
        result.sourceIndex = source.sourceIndex;
        result.sourceLength = source.sourceLength;
        result.selectedRoman = source.romanTokens;
        result.sourceRoman = source.sourceRoman.empty() ? source.romanTokens : source.sourceRoman;
    }

    const RomanProgressionProfile profile = scoreRomanProgression(source.romanTokens);
    const std::uint8_t mode = request.autoKey ? (profile.isMinor ? kMinorMode : kMajorMode) : request.mode;
    std::uint8_t scale = kNaturalMinorScale;
    if (mode != kMajorMode) {
        if (!request.autoKey) {
            scale = request.minorScaleType;
        } else if (source.minorScaleType) {
            scale = *source.minorScaleType;
        } else {
            scale = profile.isMelodic ? kMelodicMinorScale : kNaturalMinorScale;
        }
    }

    WalkOutcome walk =
        generateFromSource(source.romanTokens, corpus, model, temperature, request, source.modeFamily,
                           source.subcategory, mode == kMajorMode ? 0 : 1, generator, request.debugTrace);
    if (request.debugTrace) {
        result.substitutionTrace = std::move(walk.trace);
        result.substituted = walk.tokens != source.romanTokens;
        result.generatedRoman = walk.tokens;
    }

    const MusicalKey key{request.keyRoot, mode, scale};
    const std::string rootSpelling = request.autoKey ? spellPitchClass(request.spellingPreference, request.keyRoot, "")
                                                     : rootSpellingToken(request.keyRootText);
    result.items.reserve(walk.tokens.size());
    if (!resolveTokens(walk.tokens, KeyContext{key, rootSpelling}, request.simplifyAccidentals, result)) return;
    result.key = key;
}

const IProgressionGenerator& sharedProgressionGenerator() {
    static const CorpusRandomGenerator instance;
    return instance;
}

}  // namespace quillex
