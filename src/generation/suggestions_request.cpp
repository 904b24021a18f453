// Handler of the "get_suggestions" request.
#include "generation/suggestions_request.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/corpus_suggestions.h"
#include "generation/suggestion_scoring.h"
#include "generation/suggestion_selection.h"
#include "generation/theory_suggestions.h"
#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/key_inference.h"
#include "theory/quality_family.h"
#include "voicing/chord_voicing.h"
#include "voicing/semitone_transpose.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kReplyType = "suggestions_result";

// A boolean member read in place; absent (or a request that is not an
// object) gives the fallback, another type raises the library's type error.
bool readBoolMember(const json& request, const char* key, bool fallback) {
    if (!request.is_object()) return fallback;
    const auto it = request.find(key);
    return it == request.end() ? fallback : it->get<bool>();
}

// The member as a string, or of the "key" object as a string; nothing
// otherwise. A "key" that is consulted but is not an object raises the JSON
// library's own type error for reading a member of it.
std::optional<std::string> readKeyText(const json& request, const char* member) {
    if (holdsString(request, member)) return request.at(member).get<std::string>();
    if (!request.is_object()) return std::nullopt;
    const auto key = request.find("key");
    if (key == request.end()) return std::nullopt;
    if (!key->is_object()) (void)key->at(member);
    if (holdsString(*key, member)) return key->at(member).get<std::string>();
    return std::nullopt;
}

std::optional<Chord> readChordMember(const json& request, const char* key) {
    if (!holdsString(request, key)) return std::nullopt;
    return parseChordSymbol(request.at(key).get_ref<const std::string&>());
}

KeyInferenceChord inferenceChord(const Chord& chord) { return {chord.root, chord.quality, chord.bass}; }

bool sameSpelling(const Chord& a, const Chord& b) {
    return a.root == b.root && a.quality == b.quality && a.bass == b.bass;
}

}  // namespace

void parsePrevChords(SuggestionContext& context, const json& chords) {
    if (!chords.is_array()) return;
    for (const json& element : chords) {
        const json* text = &element;
        if (element.is_object()) {
            const auto symbol = element.find("symbol");
            if (symbol == element.end()) continue;
            text = &*symbol;
        }
        if (!text->is_string()) continue;
        if (std::optional<Chord> chord = parseChordSymbol(text->get_ref<const std::string&>())) {
            context.prevChords.push_back(std::move(*chord));
        }
    }
}

std::string readSuggestionPosition(const json& request) {
    if (!request.is_object()) return "append";
    const auto it = request.find("position");
    if (it == request.end()) return "append";
    // An integer is kept as its text; a decimal number raises the type error,
    // as any other type but text does.
    if (it->is_number_integer()) return it->dump();
    return it->get<std::string>();
}

double roundSuggestionScore(double score) { return std::round(score * 100.0) / 100.0; }

bool readMergeVariants(const json& request, bool fallback) {
    return readBoolMember(request, "mergeVariants", fallback);
}

BridgeReply handleGetSuggestions(const json& request) {
    return handleGetSuggestions(request, sharedChordTransitionModel());
}

BridgeReply handleGetSuggestions(const json& request, const ChordTransitionModel& model, bool summarizeContextOnce) {
    const std::string requestId = readRequestId(request);
    const auto reply = [&](json payload) {
        return BridgeReply{kReplyType, attachRequestId(std::move(payload), requestId)};
    };
    if (!model.hasPairWeights()) {
        return reply({{"suggestions", json::array()},
                      {"code", "corpus_unavailable"},
                      {"error", "The chord suggestion corpus failed to initialize"}});
    }
    const bool shuffleMode = readBoolMember(request, "shuffleMode", false);
    const auto refuse = [&](json payload) {
        payload["suggestions"] = json::array();
        payload["shuffleMode"] = shuffleMode;
        return reply(std::move(payload));
    };

    const std::optional<std::string> rootText = readKeyText(request, "root");
    if (!rootText) return refuse({{"error", "missing key context"}, {"code", "missing_key_context"}});
    const std::string modeText = readKeyText(request, "mode").value_or("major");
    const std::optional<PitchClass> root = parseKeyRoot(*rootText);
    if (!root) return refuse({{"error", "Invalid key root: " + *rootText}});

    SuggestionContext context;
    context.shuffleMode = shuffleMode;
    context.keyRootText = rootSpellingToken(*rootText);
    context.key.root = *root;
    context.key.mode = modeText == "minor" ? kMinorMode : kMajorMode;
    if (context.key.isMinor()) {
        context.key.minorScaleType = readMinorScaleType(request) == "melodic" ? kMelodicMinorScale : kNaturalMinorScale;
    }

    std::string spellingError;
    const std::optional<SpellingOptions> spelling =
        readSpellingOptions(request, context.key.root, *rootText, spellingError);
    if (!spelling) return refuse({{"error", spellingError}});
    context.spellingOptions = *spelling;

    if (request.contains("prevChords")) {
        parsePrevChords(context, request.at("prevChords"));
    } else if (request.contains("context")) {
        parsePrevChords(context, request.at("context"));
    }
    context.nextChord = readChordMember(request, "nextChord");
    const std::optional<Chord> currentChord = readChordMember(request, "currentChord");
    (void)readSuggestionPosition(request);
    context.voicingStyle = parseVoicingStyle(readVoicingStyle(request)).value_or(VoicingStyle::Closed);
    const bool mergeVariants = readMergeVariants(request, true);

    if (context.key.isMinor()) {
        std::vector<KeyInferenceChord> chords;
        for (const Chord& chord : context.prevChords) chords.push_back(inferenceChord(chord));
        if (currentChord) chords.push_back(inferenceChord(*currentChord));
        if (context.nextChord) chords.push_back(inferenceChord(*context.nextChord));
        context.key.minorScaleType = inferMinorScaleType(context.key, chords, context.key.minorScaleType);
    }

    std::vector<ChordSuggestion> candidates;
    candidates.reserve(512);
    const auto add = [&](std::vector<ChordSuggestion> list) {
        std::move(list.begin(), list.end(), std::back_inserter(candidates));
    };
    add(suggestSecondaryDominants(context));
    add(suggestBorrowedChords(context));
    add(suggestTritoneSubstitutions(context));
    add(suggestPassingDiminished(context));
    add(suggestChromaticMediants(context));
    add(suggestFromCorpus(context, model));

    // What scoring reads of the context, once for all candidates: the cost
    // of scoring then does not grow with the number of previous chords.
    const std::optional<ContextCorpusTokens> tokens =
        summarizeContextOnce ? deriveContextCorpusTokens(context) : std::nullopt;
    const std::optional<ContextChordSummary> chords =
        summarizeContextOnce ? std::optional(summarizeContextChords(context)) : std::nullopt;
    for (ChordSuggestion& candidate : candidates) {
        candidate.score =
            scoreSuggestion(candidate, context, model, tokens ? &*tokens : nullptr, chords ? &*chords : nullptr);
    }

    const std::string shuffleSeed = readStringOrEmpty(request, "shuffleSeed");
    std::vector<ChordSuggestion> suggestions =
        selectSuggestions(std::move(candidates), context, mergeVariants, shuffleSeed);

    const std::int32_t octave = std::clamp(readOctave(request), kMinVoicingOctave, kMaxVoicingOctave);
    const ChordVoicingOptions options{0, readDropBass(request), 0};
    const std::int32_t semitones = readSemitoneTranspose(request);
    for (ChordSuggestion& suggestion : suggestions) {
        suggestion.notes = voiceChordWithTranspose(suggestion.chord, context.voicingStyle, octave, options, semitones);
    }

    json list = json::array();
    for (const ChordSuggestion& suggestion : suggestions) {
        if (suggestion.chord.symbol.empty()) {
            return refuse({{"mergeVariants", mergeVariants},
                           {"error", "suggestion missing display symbol"},
                           {"code", "invalid_suggestion_symbol"}});
        }
        json item = {{"symbol", suggestion.chord.symbol},
                     {"category", suggestionCategoryName(suggestion.category)},
                     {"label", suggestion.label},
                     {"roman", suggestion.roman},
                     {"score", roundSuggestionScore(suggestion.score)},
                     {"notes", suggestion.notes},
                     {"colorCategory",
                      classifyQualityFamily(ChordQuality{suggestion.chord.quality, suggestion.chord.intervals})},
                     {"isDiatonic", suggestion.isDiatonic}};
        if (currentChord && sameSpelling(suggestion.chord, *currentChord)) item["isCurrent"] = true;
        list.push_back(std::move(item));
    }
    json payload = {{"suggestions", std::move(list)}, {"shuffleMode", shuffleMode}, {"mergeVariants", mergeVariants}};
    if (holdsString(request, "shuffleSeed")) payload["shuffleSeed"] = shuffleSeed;
    return reply(std::move(payload));
}

}  // namespace quillex
