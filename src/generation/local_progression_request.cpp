// Handler of the "generate_local_progression" request.
#include "generation/local_progression_request.h"

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/local_progression_generator.h"
#include "generation/lock_context.h"
#include "generation/progression_finalisation.h"
#include "generation/recent_progression_history.h"
#include "generation/style_catalogue.h"
#include "generation/walk_draws.h"
#include "platform/random_device.h"
#include "protocol/json_number.h"
#include "protocol/request_readers.h"
#include "theory/key_inference.h"

namespace quillex {

namespace {

constexpr const char* kErrorType = "local_progression_error";
constexpr int kAttempts = 12;

struct RequestFields {
    std::string requestId;
    std::string genre = "Pop + EDM";
    std::uint32_t length = 4;
    float temperature = 0.25f;
    std::string modeFamily;
    std::string subcategory;
    bool debugTrace = false;
    bool debugSequential = false;
    std::int32_t debugSequenceIndex = 0;
};

const nlohmann::json* member(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

bool readOptionalString(const nlohmann::json& request, const char* key, std::string& out, std::string& error) {
    const nlohmann::json* value = member(request, key);
    if (value == nullptr) return true;
    if (!value->is_string()) {
        error = std::string(key) + " must be a string";
        return false;
    }
    out = value->get<std::string>();
    return true;
}

bool readOptionalBool(const nlohmann::json& request, const char* key, bool& out, std::string& error) {
    const nlohmann::json* value = member(request, key);
    if (value == nullptr) return true;
    if (!value->is_boolean()) {
        error = std::string(key) + " must be a boolean";
        return false;
    }
    out = value->get<bool>();
    return true;
}

// Read as a 32-bit float without converting a double outside the float range.
std::optional<float> readUnitTemperature(double value) {
    if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    const float t = static_cast<float>(value);
    if (!std::isfinite(t) || t < 0.0f || t > 1.0f) return std::nullopt;
    return t;
}

// The checks before the key options, in the order the page is told about them.
bool readRequestFields(const nlohmann::json& request, RequestFields& f, std::string& error) {
    if (const nlohmann::json* id = member(request, "request_id"); id != nullptr && id->is_string()) {
        f.requestId = id->get<std::string>();
    }
    if (const nlohmann::json* genre = member(request, "genre")) {
        if (!genre->is_string() || genre->get_ref<const std::string&>().empty()) {
            error = "genre must be a non-empty string";
            return false;
        }
        f.genre = genre->get<std::string>();
    }
    if (const nlohmann::json* length = member(request, "length")) {
        if (!length->is_number_integer()) {
            error = "length must be an integer";
            return false;
        }
        const std::optional<std::int32_t> n = readInt32Exact(*length);
        if (!n || (*n != 4 && *n != 6 && *n != 8)) {
            error = "length must be 4, 6, or 8";
            return false;
        }
        f.length = static_cast<std::uint32_t>(*n);
    }
    if (const nlohmann::json* temperature = member(request, "temperature")) {
        if (!temperature->is_number()) {
            error = "temperature must be a number";
            return false;
        }
        const std::optional<float> t = readUnitTemperature(temperature->get<double>());
        if (!t) {
            error = "temperature must be between 0 and 1";
            return false;
        }
        f.temperature = *t;
    }
    if (!readOptionalString(request, "modeFamily", f.modeFamily, error)) return false;
    if (!readOptionalString(request, "subcategory", f.subcategory, error)) return false;
    if (!readOptionalBool(request, "debug_trace", f.debugTrace, error)) return false;
    if (!readOptionalBool(request, "debug_sequential", f.debugSequential, error)) return false;
    if (const nlohmann::json* index = member(request, "debug_sequence_index")) {
        const std::optional<std::int32_t> i =
            index->is_number_integer() ? readInt32Exact(*index) : std::optional<std::int32_t>{};
        if (!i || *i < 0) {
            error = "debug_sequence_index must be a non-negative integer";
            return false;
        }
        f.debugSequenceIndex = *i;
    }
    return true;
}

struct AutoKeyRoots {
    std::optional<std::mt19937> generator;
};

AutoKeyRoots& autoKeyRoots() {
    static AutoKeyRoots roots;
    return roots;
}

PitchClass drawAutoKeyRoot() {
    AutoKeyRoots& roots = autoKeyRoots();
    if (!roots.generator) roots.generator.emplace(platform::randomDeviceWord());
    return static_cast<PitchClass>(drawUniformIndex(*roots.generator, 12));
}

nlohmann::json traceObject(const LocalGenerationResult& result, bool sequential) {
    nlohmann::json t = nlohmann::json::object();
    t["candidateIndex"] = result.candidateIndex;
    t["candidateNumber"] = result.candidateIndex + 1;
    t["candidateCount"] = result.candidateCount;
    t["poolIndex"] = result.poolIndex;
    t["poolNumber"] = result.poolIndex + 1;
    t["sourceIndex"] = result.sourceIndex;
    t["sourceNumber"] = result.sourceIndex + 1;
    t["sourceLength"] = result.sourceLength;
    t["selectedRoman"] = result.selectedRoman;
    t["generatedRoman"] = result.generatedRoman;
    t["sourceRoman"] = result.sourceRoman;
    t["substituted"] = result.substituted;
    t["substitutionTrace"] = result.substitutionTrace;
    t["sequential"] = sequential;
    return t;
}

BridgeReply errorReply(const std::string& requestId, nlohmann::json payload) {
    return BridgeReply{kErrorType, attachRequestId(std::move(payload), requestId)};
}

BridgeReply codedError(const std::string& requestId, const char* code, const std::string& message) {
    return errorReply(requestId, nlohmann::json{{"code", code}, {"error", message}, {"message", message}});
}

BridgeReply plainError(const std::string& requestId, const std::string& message) {
    return errorReply(requestId, nlohmann::json{{"error", message}, {"message", message}});
}

}  // namespace

std::variant<LocalKeyOptions, std::string> parseLocalKeyOptions(const nlohmann::json& request, bool debugSequential) {
    LocalKeyOptions options;
    std::string error;
    if (!readOptionalBool(request, "auto_key", options.autoKey, error))
        return std::string("auto_key must be a boolean");
    const nlohmann::json* key = member(request, "key");
    if (!options.autoKey) {
        if (key == nullptr || !key->is_object()) return std::string("Manual-key local generation requires a key");
        const nlohmann::json* root = member(*key, "root");
        const nlohmann::json* mode = member(*key, "mode");
        if (root == nullptr || !root->is_string() || mode == nullptr || !mode->is_string()) {
            return std::string("Manual-key local generation requires key root and mode");
        }
        const std::string& rootText = root->get_ref<const std::string&>();
        const std::optional<PitchClass> pitchClass = parseKeyRoot(rootText);
        if (!pitchClass) return "Invalid key root: " + rootText;
        const std::string& modeText = mode->get_ref<const std::string&>();
        if (modeText != "major" && modeText != "minor") return "Invalid key mode: " + modeText;
        const bool minor = modeText == "minor";
        bool melodic = false;
        if (!validateMinorScaleType(*key, minor, melodic, error, "Key")) return error;
        options.root = *pitchClass;
        options.rootText = rootText;
        options.rootGiven = true;
        options.mode = minor ? kMinorMode : kMajorMode;
        options.minorScaleType = melodic ? kMelodicMinorScale : kNaturalMinorScale;
    } else {
        if (key != nullptr) return std::string("Auto-key local generation does not accept a fixed key");
        if (const nlohmann::json* debugRoot = member(request, "debug_key_root")) {
            if (!debugSequential) return std::string("debug_key_root requires sequential debug generation");
            const std::optional<PitchClass> pitchClass =
                debugRoot->is_string() ? parseKeyRoot(debugRoot->get_ref<const std::string&>()) : std::nullopt;
            if (!pitchClass) return std::string("Invalid debug_key_root");
            options.root = *pitchClass;
            options.rootGiven = true;
        }
    }
    if (!readSpellingPreference(request, options.spellingPreference, error)) return error;
    if (!readSimplifyAccidentals(request, options.simplifyAccidentals, error)) return error;
    return options;
}

BridgeReply makeLocalProgressionError(const std::string& requestId, const std::string& message) {
    return codedError(requestId, "invalid_request", message);
}

bool inferredModeDiffers(const LocalGenerationResult& result) {
    if (result.items.empty()) return false;
    std::vector<WeightedChord> chords;
    chords.reserve(result.items.size());
    for (const GeneratedRomanChord& item : result.items) {
        chords.push_back(WeightedChord{item.root, item.quality, item.bass, 1.0});
    }
    return inferKey(chords).key.isMinor() != result.key.isMinor();
}

BridgeReply handleGenerateLocalProgression(const nlohmann::json& request) {
    return handleGenerateLocalProgression(request, sharedProgressionCorpus(), sharedChordTransitionModel());
}

BridgeReply handleGenerateLocalProgression(const nlohmann::json& request, const ProgressionCorpus& corpus,
                                           const ChordTransitionModel& model) {
    // The library's own error for a payload that is not an object, answered at the request boundary.
    if (!request.is_object()) (void)request.value("genre", std::string());

    RequestFields fields;
    std::string error;
    if (!readRequestFields(request, fields, error)) return makeLocalProgressionError(fields.requestId, error);
    auto parsedKey = parseLocalKeyOptions(request, fields.debugSequential);
    if (const std::string* message = std::get_if<std::string>(&parsedKey)) {
        return makeLocalProgressionError(fields.requestId, *message);
    }
    LocalKeyOptions keyOptions = std::get<LocalKeyOptions>(std::move(parsedKey));
    const std::optional<LockContext> locks = parseLockContext(request, error);
    if (!locks) return codedError(fields.requestId, "invalid_lock_context", error);
    if (!model.hasPairWeights() || !corpus.hasGenres()) {
        return codedError(fields.requestId, "corpus_unavailable", "The progression corpora failed to initialize");
    }
    if (keyOptions.autoKey && !keyOptions.rootGiven) keyOptions.root = drawAutoKeyRoot();

    LocalGenerationRequest generation;
    generation.genre = fields.genre;
    generation.length = fields.length;
    generation.autoKey = keyOptions.autoKey;
    generation.keyRoot = keyOptions.root;
    generation.mode = keyOptions.mode;
    generation.minorScaleType = keyOptions.minorScaleType;
    generation.requestId = fields.requestId;
    generation.spellingPreference = keyOptions.spellingPreference;
    generation.keyRootText = keyOptions.rootText;
    generation.simplifyAccidentals = keyOptions.simplifyAccidentals;
    generation.modeFamily = fields.modeFamily;
    generation.subcategory = fields.subcategory;
    generation.debugTrace = fields.debugTrace;
    generation.debugSequential = fields.debugSequential;
    generation.debugSequenceIndex = fields.debugSequenceIndex;

    const IProgressionGenerator& generator = sharedProgressionGenerator();
    LocalGenerationResult result;
    std::string signature;
    bool accepted = false;
    for (int attempt = 0; attempt < kAttempts && !accepted; ++attempt) {
        LocalGenerationResult next;
        generator.generate(next, generation, corpus, model, fields.temperature);
        if (next.failed) {
            const std::string message =
                next.failureMessage.empty() ? "Malformed local progression corpus candidate" : next.failureMessage;
            nlohmann::json payload{{"error", message},
                                   {"message", message},
                                   {"genre", genreDisplayName(fields.genre)},
                                   {"length", fields.length},
                                   {"invalid_token", next.failedToken}};
            if (next.traceEnabled) payload["corpus"] = traceObject(next, fields.debugSequential);
            return errorReply(fields.requestId, std::move(payload));
        }
        if (next.items.empty()) continue;
        result = std::move(next);
        signature = makeProgressionSignature(result);
        const bool recent = isRecentProgression(signature);
        const bool modeChanged = !generation.autoKey && inferredModeDiffers(result);
        accepted = (!recent && !modeChanged) || attempt == kAttempts - 1;
    }
    if (!accepted) return plainError(fields.requestId, "Could not generate progression");

    const std::string manualRootToken = generation.autoKey ? std::string() : rootSpellingToken(generation.keyRootText);
    MusicalKey finalKey = result.key;
    std::vector<GeneratedChord> chords;
    SpellingOptions spelling;
    try {
        chords = buildGeneratedChords(result);
        if (generation.autoKey && hasLockedChord(locks->slots)) finalKey = inferFinalKey(chords, finalKey);
        chords = applyLockedSlots(chords, *locks, finalKey);
        spelling = resolveSpellingOptions(generation.spellingPreference, generation.simplifyAccidentals, finalKey.root,
                                          manualRootToken);
    } catch (const std::exception& e) {
        return codedError(fields.requestId, "generation_finalization_failed", e.what());
    }
    const std::string rootName = spellPitchClass(generation.spellingPreference, finalKey.root, manualRootToken);
    const std::optional<nlohmann::json> key = serializeGeneratedKey(finalKey, spelling, rootName);
    if (!key) return plainError(fields.requestId, "Could not serialize generated key");
    nlohmann::json items;
    try {
        items = writeProgressionItems(chords, KeyContext{finalKey, key->at("root").get<std::string>()},
                                      generation.simplifyAccidentals);
    } catch (const std::exception& e) {
        return codedError(fields.requestId, "generation_display_failed", e.what());
    }
    // Remembered only once the answer is whole, so no error reply changes the history.
    rememberProgressionSignature(signature);

    nlohmann::json payload = nlohmann::json::object();
    payload["genre"] = genreDisplayName(fields.genre);
    payload["length"] = fields.length;
    payload["items"] = std::move(items);
    payload["key"] = *key;
    if (!result.modeFamily.empty()) payload["modeFamily"] = result.modeFamily;
    if (!result.subcategory.empty()) payload["subcategory"] = result.subcategory;
    if (fields.debugTrace) payload["corpus"] = traceObject(result, fields.debugSequential);
    return BridgeReply{"local_progression_result", attachRequestId(std::move(payload), fields.requestId)};
}

void seedAutoKeyRootGeneratorForTesting(std::optional<std::uint32_t> seed) {
    AutoKeyRoots& roots = autoKeyRoots();
    roots.generator.reset();
    if (seed) roots.generator.emplace(*seed);
}

}  // namespace quillex
