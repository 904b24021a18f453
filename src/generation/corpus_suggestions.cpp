// Corpus suggestions: tokens of chords in a key, follower lookup with fallbacks, and the smart suggestions.
#include "generation/corpus_suggestions.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "generation/theory_suggestions.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {

namespace {

constexpr std::size_t kEnoughFollowers = 5;
constexpr float kSlashFreeFactor = 0.8f;
constexpr float kColourFactor = 0.7f;
constexpr float kSimplifiedFactor = 0.5f;
constexpr float kBridgeFactor = 10.0f;
constexpr float kMinBridgeWeight = 0.001f;
constexpr std::size_t kMaxBridges = 15;
constexpr std::size_t kMaxSuggestionsWithoutShuffle = 30;

void appendScaled(TransitionCandidates& into, const TransitionCandidates* from, std::int32_t k, float factor) {
    if (from == nullptr) return;
    for (TransitionCandidate candidate : topCandidates(*from, k)) {
        candidate.weight *= factor;
        into.push_back(std::move(candidate));
    }
}

// Numeral head: accidentals, numeral letters, "+" and any non-ASCII mark.
std::size_t numeralHeadLength(std::string_view token) {
    std::size_t at = 0;
    while (at < token.size()) {
        const auto byte = static_cast<unsigned char>(token[at]);
        if (byte >= 0x80) {
            ++at;
            while (at < token.size() && (static_cast<unsigned char>(token[at]) & 0xC0) == 0x80) ++at;
        } else if (std::string_view("b#+IViv").find(static_cast<char>(byte)) != std::string_view::npos) {
            ++at;
        } else {
            break;
        }
    }
    return at;
}

// One entry per token at its largest weight, heaviest first (stable), at most k.
TransitionCandidates finishCandidates(TransitionCandidates candidates, std::int32_t k) {
    TransitionCandidates unique;
    for (TransitionCandidate& candidate : candidates) {
        const auto same = std::find_if(unique.begin(), unique.end(),
                                       [&](const TransitionCandidate& c) { return c.token == candidate.token; });
        if (same == unique.end()) {
            unique.push_back(std::move(candidate));
        } else {
            same->weight = std::max(same->weight, candidate.weight);
        }
    }
    std::stable_sort(unique.begin(), unique.end(),
                     [](const TransitionCandidate& a, const TransitionCandidate& b) { return a.weight > b.weight; });
    return topCandidates(unique, k);
}

}  // namespace

std::string romanWithoutBass(std::string_view numeral) { return std::string(numeral.substr(0, numeral.find('/'))); }

std::string deriveCorpusRomanBassDegree(const Chord& chord, const KeyContext& key) {
    std::string token = romanWithoutBass(requireRomanNumeralFromSymbol(chord.symbol, key));
    if (!chord.bass || *chord.bass == chord.root) return token;
    const std::optional<std::string> bassSymbol =
        spellChordSymbolInKey(key, *chord.bass, "", std::nullopt, SpellingOptions{}, std::nullopt);
    if (!bassSymbol) throw std::runtime_error("Could not derive corpus Roman bass degree");
    token += "/" + romanWithoutBass(requireRomanNumeralFromSymbol(*bassSymbol, key));
    return token;
}

std::span<const std::string_view> colourSubstitutes(std::string_view quality) {
    struct Row {
        std::string_view quality;
        std::array<std::string_view, 4> substitutes;
        std::size_t count;
    };
    static constexpr std::array<Row, 15> kRows = {{
        {"sus4", {"sus2"}, 1},
        {"sus2", {"sus4"}, 1},
        {"add9", {"maj9", "maj7", "6", "69"}, 4},
        {"maj9", {"maj7", "6", "69"}, 3},
        {"6", {"maj7", "maj9"}, 2},
        {"69", {"maj7", "maj9"}, 2},
        {"maj7", {"maj9", "6"}, 2},
        {"m9", {"m7", "m6", "m69"}, 3},
        {"m6", {"m7", "m9"}, 2},
        {"m69", {"m7", "m9"}, 2},
        {"m7", {"m9", "m6"}, 2},
        {"13", {"9", "7"}, 2},
        {"9", {"7"}, 1},
        {"7", {"9", "13"}, 2},
        {"mM9", {"mM7", "m7"}, 2},
    }};
    static constexpr std::array<std::string_view, 1> kPlainSeven = {"7"};
    static constexpr std::array<std::string_view, 1> kMinorSeven = {"m7"};
    for (const Row& row : kRows) {
        if (row.quality == quality) return std::span(row.substitutes.data(), row.count);
    }
    for (const std::string_view altered : {"7#11", "7b13", "7#9", "7b9", "7#5", "7b5"}) {
        if (quality.starts_with(altered)) return kPlainSeven;
    }
    if (quality == "mM7") return kMinorSeven;
    return {};
}

std::string_view simplifyCorpusQuality(std::string_view quality) {
    const auto is = [&](std::initializer_list<std::string_view> set) {
        return std::find(set.begin(), set.end(), quality) != set.end();
    };
    if (is({"add9", "maj9", "6", "69"})) return "maj7";
    if (quality == "maj7") return "";
    if (is({"m9", "m6", "m69"})) return "m7";
    if (quality == "m7") return "m";
    if (is({"13", "9"})) return "7";
    if (quality == "7") return "";
    if (quality.find('7') != std::string_view::npos) return "7";
    return "";
}

TransitionCandidates corpusFollowerCandidates(const ChordTransitionModel& model, std::string_view token,
                                              std::int32_t k) {
    TransitionCandidates result;
    appendScaled(result, model.followers(token), k, 1.0f);
    if (result.size() >= kEnoughFollowers) return result;

    const std::string slashFree = romanWithoutBass(token);
    if (slashFree != token) {
        appendScaled(result, model.followers(slashFree), k, kSlashFreeFactor);
        if (result.size() >= kEnoughFollowers) return finishCandidates(std::move(result), k);
    }
    const std::size_t headLength = numeralHeadLength(slashFree);
    const std::string head = slashFree.substr(0, headLength);
    const std::string_view tail = std::string_view(slashFree).substr(headLength);
    for (const std::string_view substitute : colourSubstitutes(tail)) {
        appendScaled(result, model.followers(head + std::string(substitute)), k, kColourFactor);
        if (k > 0 && result.size() >= static_cast<std::size_t>(k)) break;
    }
    if (result.size() < kEnoughFollowers) {
        const std::string_view simpler = simplifyCorpusQuality(tail);
        if (!tail.empty() || !simpler.empty()) {
            appendScaled(result, model.followers(head + std::string(simpler)), k, kSimplifiedFactor);
        }
    }
    return finishCandidates(std::move(result), k);
}

std::vector<ChordSuggestion> suggestFromCorpus(const SuggestionContext& context, const ChordTransitionModel& model) {
    if (!model.hasPairWeights() || context.prevChords.empty()) return {};
    const KeyContext keyContext = context.keyContext();
    const std::string previousToken = deriveCorpusRomanBassDegree(context.prevChords.back(), keyContext);
    TransitionCandidates merged = corpusFollowerCandidates(model, previousToken, context.shuffleMode ? 200 : 20);

    if (context.nextChord) {
        const std::string nextToken = deriveCorpusRomanBassDegree(*context.nextChord, keyContext);
        std::size_t kept = 0;
        for (const TransitionCandidate& bridge : model.bridgingCandidates(previousToken, nextToken)) {
            if (kept == kMaxBridges) break;
            if (bridge.weight < kMinBridgeWeight) continue;
            ++kept;
            const float weight = bridge.weight * kBridgeFactor;
            const auto same = std::find_if(merged.begin(), merged.end(),
                                           [&](const TransitionCandidate& c) { return c.token == bridge.token; });
            if (same == merged.end()) {
                merged.push_back({bridge.token, weight});
            } else {
                same->weight = std::max(same->weight, weight);
            }
        }
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const TransitionCandidate& a, const TransitionCandidate& b) { return a.weight > b.weight; });
    if (!context.shuffleMode && merged.size() > kMaxSuggestionsWithoutShuffle) {
        merged.resize(kMaxSuggestionsWithoutShuffle);
    }

    std::vector<ChordSuggestion> list;
    for (const TransitionCandidate& candidate : merged) {
        const std::optional<RomanChord> resolved = romanNumeralToChord(candidate.token, context.key);
        if (!resolved) continue;
        const SpellingOptions options =
            applySpellingHint(context.spellingOptions, romanAccidentalPreference(candidate.token));
        const std::optional<RenderedChord> rendered =
            renderChordInKey(RomanChord{resolved->root, resolved->quality, resolved->bass, {}}, keyContext,
                             context.spellingOptions.simplifyAccidentals, options, std::nullopt);
        if (!rendered) continue;
        const std::optional<ChordQuality> quality = lookupChordQuality(resolved->quality);
        if (!quality) continue;

        ChordSuggestion suggestion;
        suggestion.chord = makeChord(resolved->root, *quality, resolved->bass, rendered->displaySymbol);
        suggestion.roman = requireRomanNumeralFromSymbol(rendered->spelledSymbol, keyContext);
        suggestion.category = kSmartCategory;
        suggestion.label = rendered->displaySymbol;
        suggestion.spelledSymbol = rendered->spelledSymbol;
        suggestion.score = static_cast<double>(candidate.weight);
        suggestion.isDiatonic = isDiatonicSuggestionChord(suggestion.chord, context);
        suggestion.kind = SuggestionKind::Corpus;
        list.push_back(std::move(suggestion));
    }
    return list;
}

}  // namespace quillex
