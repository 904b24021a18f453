// Request checks, the parallel transform of each chord and the reply of the Roman recalculation.
#include "theory/parallel_mode_recalculation.h"

#include <optional>
#include <string>
#include <utility>

#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/chord_list_transpose.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"
#include "theory/parallel_mode.h"
#include "theory/pitch_class.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_derivation.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kReplyType = "recalculate_romans_result";

BridgeReply errorReply(const std::string& message, const std::string& requestId, const char* code = nullptr) {
    json payload = json::object();
    payload["error"] = message;
    if (code != nullptr) payload["code"] = code;
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

// An "invalid_chord" reply naming the entry's position and, once read, its text.
BridgeReply chordError(const std::string& message, const std::string& requestId, std::uint64_t index,
                       const std::string* text = nullptr) {
    json payload = json::object();
    payload["error"] = message;
    payload["code"] = "invalid_chord";
    payload["index"] = index;
    if (text != nullptr) payload["chord"] = *text;
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

// Present and not one of the two allowed strings.
bool presentAndNotOneOf(const json& object, const char* key, const char* first, const char* second) {
    const auto it = object.find(key);
    if (it == object.end()) return false;
    if (!it->is_string()) return true;
    const std::string& text = it->get_ref<const std::string&>();
    return text != first && text != second;
}

bool presentAndNotBoolean(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && !it->is_boolean();
}

MusicalKey makeKey(PitchClass root, bool minor, bool melodic) {
    return MusicalKey{root, minor ? kMinorMode : kMajorMode, melodic ? kMelodicMinorScale : kNaturalMinorScale};
}

// Moves a pitch class sitting on a scale degree of the old key onto the same
// degree of the new key.
PitchClass moveAlongScale(PitchClass pitchClass, std::int32_t degree, const MusicalKey& oldKey,
                          const MusicalKey& newKey) {
    const std::int32_t shift = scaleIntervalsOf(newKey)[degree - 1] - scaleIntervalsOf(oldKey)[degree - 1];
    return shift == 0 ? pitchClass : transposePitchClass(pitchClass, shift);
}

}  // namespace

BridgeReply handleRecalculateRomans(const json& request) {
    const std::string requestId = readRequestId(request);
    if (!request.is_object() || !request.contains("chords") || !request.at("chords").is_array()) {
        return errorReply("Missing chords array", requestId);
    }
    const auto keyIt = request.find("key");
    if (keyIt == request.end() || !keyIt->is_object() || !holdsString(*keyIt, "root") || !holdsString(*keyIt, "mode")) {
        return errorReply("Missing key context", requestId, "missing_key_context");
    }
    const json& keyObject = *keyIt;
    const std::string rootText = keyObject.at("root").get<std::string>();
    const std::string modeText = keyObject.at("mode").get<std::string>();
    if (modeText != "major" && modeText != "minor") {
        return errorReply("Invalid key mode: " + modeText, requestId, "invalid_key_mode");
    }
    if (presentAndNotOneOf(keyObject, "minorScaleType", "natural", "melodic")) {
        return errorReply("minorScaleType must be natural or melodic", requestId, "invalid_minor_scale_type");
    }
    if (modeText == "major" && keyObject.contains("minorScaleType") && keyObject.at("minorScaleType") != "natural") {
        return errorReply("Major keys require natural minorScaleType", requestId, "invalid_minor_scale_type");
    }

    const bool melodic = requestWantsMelodicMinor(keyObject);
    const std::optional<PitchClass> root = parseKeyRoot(rootText);
    if (!root) return errorReply("Invalid key root", requestId);
    const MusicalKey newKey = makeKey(*root, modeText == "minor", melodic);

    std::string optionsError;
    const std::optional<SpellingOptions> options = readSpellingOptions(request, *root, rootText, optionsError);
    if (!options) return errorReply(optionsError, requestId);
    const std::string tonicName = spellScaleDegreeNote(newKey, 1, options->preferFlats, options->simplifyAccidentals);
    const std::string tonicToken = rootSpellingToken(tonicName);
    if (!startsWithNoteLetter(tonicToken)) {
        return errorReply("Missing key context", requestId, "missing_key_context");
    }

    if (presentAndNotBoolean(request, "respellChordSymbols")) {
        return errorReply("respellChordSymbols must be a boolean", requestId, "invalid_respell_chord_symbols");
    }
    if (presentAndNotBoolean(request, "keyLinked")) {
        return errorReply("keyLinked must be a boolean", requestId, "invalid_key_linked");
    }
    if (presentAndNotOneOf(request, "oldMode", "major", "minor")) {
        return errorReply("oldMode must be major or minor", requestId, "invalid_old_mode");
    }
    if (presentAndNotOneOf(request, "oldMinorScaleType", "natural", "melodic")) {
        return errorReply("oldMinorScaleType must be natural or melodic", requestId, "invalid_old_minor_scale_type");
    }
    const bool keyLinked = request.value("keyLinked", false);
    const bool hasOldMode = request.contains("oldMode");
    const bool parallelAsked = hasOldMode || hasOldMinorScaleType(request);
    if (keyLinked != parallelAsked || (keyLinked && !hasOldMode)) {
        return errorReply("Parallel recalculation requires keyLinked=true with oldMode", requestId,
                          "invalid_parallel_context");
    }
    const bool respell = readRespellChordSymbols(request, false);

    const bool oldMinor = keyLinked ? request.at("oldMode") == "minor" : newKey.isMinor();
    const bool modeChanged = keyLinked && oldMinor != newKey.isMinor();
    const std::string oldType = readOldMinorScaleType(request);
    if (!oldMinor && oldType != "natural") {
        return errorReply("Major oldMode requires natural oldMinorScaleType", requestId,
                          "invalid_old_minor_scale_type");
    }
    const MusicalKey oldKey = makeKey(*root, oldMinor, oldMinor && oldType == "melodic");
    const KeyContext context{newKey, tonicToken};

    json entries = json::array();
    std::uint64_t index = 0;
    for (const json& element : request.at("chords")) {
        const std::uint64_t i = index++;
        const std::optional<std::string> text = readChordEntrySymbol(element);
        if (!text) {
            return chordError("Invalid chord entry: expected string or {symbol}", requestId, i);
        }
        const std::optional<Chord> chord = parseChordSymbol(*text);
        if (!chord) {
            return chordError("Invalid chord at index " + std::to_string(i) + ": " + *text, requestId, i, &*text);
        }
        PitchClass chordRoot = chord->root;
        std::string quality = chord->quality;
        std::optional<PitchClass> bass = chord->bass;
        // Tokens come from the trimmed text, so blanks around an entry cannot hide its letters.
        const std::string rootToken = rootSpellingToken(chord->symbol);
        const std::string bassToken = slashBassSpellingToken(chord->symbol);

        std::string rootName;
        std::optional<std::string> functionalRoman;
        if (modeChanged) {
            const std::optional<BassToneRole> role =
                bass ? bassChordTone(*chord, *bass) : std::optional<BassToneRole>();
            const int degree = scaleDegreeOf(oldKey, chordRoot);
            if (degree >= 1 && degree <= 7) {
                const std::optional<ChordQuality> resolved = lookupChordQuality(quality);
                // A major chord on the lowered seventh keeps its root when minor turns major.
                if (!(resolved && isNaturalMinorMajorSubtonic(*resolved, oldKey, newKey, degree))) {
                    chordRoot = moveAlongScale(chordRoot, degree, oldKey, newKey);
                }
                quality = parallelModeQuality(quality, oldKey, newKey, degree);
            }
            if (bass) {
                std::optional<PitchClass> roleTone;
                if (role) roleTone = chordToneOfRole(chordRoot, quality, *role);
                if (roleTone) {
                    bass = roleTone;
                } else {
                    const int bassDegree = scaleDegreeOf(oldKey, *bass);
                    if (bassDegree >= 1 && bassDegree <= 7) bass = moveAlongScale(*bass, bassDegree, oldKey, newKey);
                }
            }
            // Chromatic roots read as lowered degrees.
            const std::optional<std::string> functional = spellChordSymbolInKey(
                context, chordRoot, quality, std::nullopt, SpellingOptions{true, true}, std::nullopt);
            if (!functional) {
                return chordError(
                    "Could not derive functional Roman for parallel transform at index " + std::to_string(i), requestId,
                    i, &*text);
            }
            functionalRoman = requireRomanNumeralFromSymbol(*functional, context);
            rootName = spellPitchClassInKey(newKey, chordRoot, options->preferFlats, options->simplifyAccidentals);
        } else if (respell) {
            rootName = spellPitchClassInKey(newKey, chordRoot, options->preferFlats, options->simplifyAccidentals);
        } else {
            rootName = spellPitchClassOnLetter(chordRoot, rootToken);
        }
        if (rootName.empty()) {
            return chordError("Could not derive display spelling for chord at index " + std::to_string(i), requestId, i,
                              &*text);
        }

        json entry = json::object();
        std::string symbol = rootName + quality;
        std::string bassName;
        if (bass) {
            if (modeChanged || respell) {
                const Chord spelledChord{chordRoot, quality, qualityIntervals(quality), std::nullopt, std::string()};
                bassName = spellChordToneInKey(newKey, spelledChord, *bass, options->preferFlats,
                                               options->simplifyAccidentals);
            } else {
                bassName = spellPitchClassOnLetter(*bass, bassToken);
            }
            if (bassName.empty()) {
                return chordError("Could not derive display bass spelling for chord at index " + std::to_string(i),
                                  requestId, i, &*text);
            }
            symbol += "/" + bassName;
            entry["bass"] = bassName;
        }

        // Derived even on the parallel path: a symbol without a numeral ends the request.
        std::string roman = requireRomanNumeralFromSymbol(symbol, context);
        if (functionalRoman) roman = bass ? *functionalRoman + "/" + bassName : *functionalRoman;

        entry["roman"] = roman;
        entry["degree"] = scaleDegreeOf(newKey, chordRoot);
        entry["quality"] = quality;
        entry["category"] = familyOfQuality(ChordQuality{quality, qualityIntervals(quality)});
        entry["symbol"] = symbol;
        entry["root"] = rootName;
        entries.push_back(std::move(entry));
    }

    json key = json::object();
    key["root"] = tonicName;
    key["mode"] = modeText;
    key["minorScaleType"] = newKey.isMelodicMinor() ? "melodic" : "natural";
    json payload = json::object();
    payload["chords"] = std::move(entries);
    payload["key"] = std::move(key);
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

}  // namespace quillex
