// Chord-list analysis and transposition: request checks, per-chord spelling and the reply payload.
#include "theory/chord_list_transpose.h"

#include <stdexcept>
#include <utility>

#include "protocol/json_number.h"
#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/key_spelling.h"
#include "theory/pitch_class.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kReplyType = "transpose_result";

TransposeReply errorReply(const std::string& message, const std::string& requestId, const char* code = nullptr,
                          std::optional<std::uint64_t> index = std::nullopt) {
    json payload = json::object();
    payload["error"] = message;
    if (code != nullptr) payload["code"] = code;
    if (index) payload["index"] = *index;
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

TransposeReply missingKeyContext(const std::string& requestId) {
    return errorReply("Missing key context", requestId, "missing_key_context");
}

MusicalKey makeKey(PitchClass root, bool minor, bool melodic) {
    return MusicalKey{root, minor ? kMinorMode : kMajorMode, melodic ? kMelodicMinorScale : kNaturalMinorScale};
}

bool isSpellingToken(std::string_view token) { return !token.empty() && startsWithNoteLetter(token); }

}  // namespace

bool requestWantsMelodicMinor(const json& keyObject) { return readMinorScaleType(keyObject) == "melodic"; }

std::optional<std::string> readChordEntrySymbol(const json& entry) {
    if (entry.is_string()) return entry.get<std::string>();
    if (entry.is_object()) {
        const auto it = entry.find("symbol");
        if (it != entry.end() && it->is_string()) return it->get<std::string>();
    }
    return std::nullopt;
}

bool readChordList(const json& chords, std::vector<ChordListEntry>& entries, std::string& message,
                   std::uint64_t& index) {
    entries.clear();
    entries.reserve(chords.size());
    std::uint64_t i = 0;
    for (const json& element : chords) {
        std::optional<std::string> text = readChordEntrySymbol(element);
        if (!text) {
            message = "Invalid chord entry: expected string or {symbol}";
            index = i;
            return false;
        }
        std::optional<Chord> chord = parseChordSymbol(*text);
        if (!chord) {
            message = "Invalid chord at index " + std::to_string(i) + ": " + *text;
            index = i;
            return false;
        }
        entries.push_back(ChordListEntry{std::move(*text), std::move(*chord), i});
        ++i;
    }
    return true;
}

json writeChordAnalysis(const Chord& chord, const MusicalKey& key, std::string_view keyToken) {
    const std::string rootToken = rootSpellingToken(chord.symbol);
    const std::string bassToken = slashBassSpellingToken(chord.symbol);
    if (!isSpellingToken(rootToken)) {
        throw std::runtime_error("Parsed chord is missing a valid root spelling token");
    }
    if (!isSpellingToken(keyToken)) {
        throw std::runtime_error("Roman derivation requires a valid key root spelling token");
    }
    const std::string rootName = spellPitchClassOnLetter(chord.root, rootToken);
    if (rootName.empty()) {
        throw std::runtime_error("Could not derive analysis chord spelling from authored root");
    }

    json analysis = json::object();
    analysis["root"] = rootName;
    analysis["quality"] = chord.quality;
    std::string symbol = rootName + chord.quality;
    if (chord.bass) {
        if (!isSpellingToken(bassToken)) {
            throw std::runtime_error("Parsed slash chord is missing a valid bass spelling token");
        }
        const std::string bassName = spellPitchClassOnLetter(*chord.bass, bassToken);
        if (bassName.empty()) {
            throw std::runtime_error("Could not derive analysis chord spelling from authored bass");
        }
        symbol += "/" + bassName;
        analysis["bass"] = bassName;
    }
    analysis["symbol"] = symbol;
    analysis["original"] = chord.symbol;
    analysis["category"] = classifyQualityFamily(ChordQuality{chord.quality, chord.intervals});
    analysis["intervals"] = chord.intervals;

    const int degree = scaleDegreeOf(key, chord.root);
    std::optional<std::string> roman;
    if (const std::optional<Chord> spelled = parseChordSymbol(symbol)) {
        roman = deriveRomanNumeral(*spelled, KeyContext{key, std::string(keyToken)});
    }
    if (!roman) throw std::runtime_error("Could not derive Roman numeral from chord symbol and key");
    analysis["roman"] = *roman;
    analysis["degree"] = degree;
    return analysis;
}

std::optional<bool> accidentalDirectionOfRoman(const ChordListEntry& entry, const MusicalKey& sourceKey,
                                               std::string_view sourceToken) {
    if (!isSpellingToken(sourceToken)) {
        throw std::runtime_error("Transpose requires a valid source key root spelling token");
    }
    const std::string numeral =
        requireRomanNumeralFromSymbol(entry.source, KeyContext{sourceKey, std::string(sourceToken)});
    if (numeral.empty()) return std::nullopt;
    if (numeral[0] == 'b') return true;
    if (numeral[0] == '#') return false;
    const std::string_view text = numeral;
    if (text.starts_with("\u266D")) return true;
    if (text.starts_with("\u266F")) return false;
    return std::nullopt;
}

json writeTransposedChord(const ChordListEntry& entry, const MusicalKey& sourceKey, std::string_view sourceToken,
                          const MusicalKey& targetKey, std::string_view targetSpelling, std::int32_t offset,
                          bool simplifyAccidentals) {
    // Reduced first, so no offset can overflow the sum.
    const std::int32_t step = offset % 12;
    const Chord& chord = entry.chord;
    const PitchClass newRoot = transposePitchClass(chord.root, step);
    std::optional<PitchClass> newBass;
    if (chord.bass) newBass = transposePitchClass(*chord.bass, step);

    // A flat degree stays a flat degree when two letters are equally near.
    const std::optional<bool> direction = accidentalDirectionOfRoman(entry, sourceKey, sourceToken);
    const KeyContext target{targetKey, std::string(targetSpelling)};
    const std::optional<RenderedChord> rendered =
        renderChordInKey(RomanChord{newRoot, chord.quality, newBass, std::string()}, target, simplifyAccidentals,
                         SpellingOptions{direction.value_or(false), direction.has_value()}, std::nullopt);
    if (!rendered) throw std::runtime_error("Could not derive transpose display spelling");
    const std::optional<Chord> shown = parseChordSymbol(rendered->displaySymbol);
    if (!shown) throw std::runtime_error("Transpose display spelling produced an invalid chord");

    json moved = json::object();
    moved["symbol"] = rendered->displaySymbol;
    moved["roman"] = requireRomanNumeralFromSymbol(rendered->spelledSymbol, target);
    moved["degree"] = scaleDegreeOf(targetKey, newRoot);
    moved["root"] = rootSpellingToken(rendered->displaySymbol);
    moved["quality"] = chord.quality;
    moved["category"] = classifyQualityFamily(ChordQuality{shown->quality, shown->intervals});
    if (shown->bass) moved["bass"] = slashBassSpellingToken(rendered->displaySymbol);
    return moved;
}

TransposeReply handleTransposeChords(const json& request) {
    const std::string requestId = readRequestId(request);
    if (!request.is_object()) return errorReply("Missing chords array", requestId);
    const auto chordsIt = request.find("chords");
    if (chordsIt == request.end() || !chordsIt->is_array()) return errorReply("Missing chords array", requestId);
    const auto keyIt = request.find("key");
    if (keyIt == request.end() || !keyIt->is_object() || !holdsString(*keyIt, "root") || !holdsString(*keyIt, "mode")) {
        return missingKeyContext(requestId);
    }

    const json& keyObject = *keyIt;
    const std::string rootText = keyObject.at("root").get<std::string>();
    const std::string modeText = keyObject.at("mode").get<std::string>();
    const bool melodic = requestWantsMelodicMinor(keyObject);
    const bool minor = modeText == "minor";
    const json* keyLinkedMember = findRequestMember(request, "keyLinked");
    const bool keyLinked = keyLinkedMember == nullptr || keyLinkedMember->get<bool>();

    const std::optional<PitchClass> root = parseKeyRoot(rootText);
    if (!root) return errorReply("Invalid key root", requestId);

    const json* semitonesMember = findRequestMember(request, "semitones");
    std::int32_t offset = semitonesMember == nullptr ? 0 : readInt32Saturating(*semitonesMember);
    if (request.contains("targetRoot")) {
        const std::optional<PitchClass> target = parseKeyRoot(request.at("targetRoot").get<std::string>());
        if (!target) return errorReply("Invalid targetRoot", requestId);
        offset = (std::int32_t{*target} - std::int32_t{*root} + 12) % 12;
    }

    std::vector<ChordListEntry> entries;
    std::string message;
    std::uint64_t badIndex = 0;
    if (!readChordList(*chordsIt, entries, message, badIndex)) {
        return errorReply(message, requestId, "invalid_chord", badIndex);
    }

    const MusicalKey sourceKey = makeKey(*root, minor, melodic);
    const std::string sourceToken = rootSpellingToken(rootText);
    json chords = json::array();
    json payload = json::object();
    std::string error;
    if (offset == 0) {
        // Both option keys are validated even though the analysis spells as written.
        if (!readSpellingOptions(request, *root, rootText, error)) return errorReply(error, requestId);
        if (!startsWithNoteLetter(sourceToken)) return missingKeyContext(requestId);
        for (const ChordListEntry& entry : entries) {
            chords.push_back(writeChordAnalysis(entry.chord, sourceKey, sourceToken));
        }
        payload["key"] = readKeyObject(request, json::object());
    } else {
        const PitchClass newRoot = keyLinked ? transposePitchClass(*root, offset % 12) : *root;
        const MusicalKey targetKey = makeKey(newRoot, minor, melodic);
        const std::optional<SpellingOptions> options =
            readSpellingOptions(request, newRoot, keyLinked ? std::string_view() : std::string_view(rootText), error);
        if (!options) return errorReply(error, requestId);
        const std::string targetSpelling =
            keyLinked ? spellScaleDegreeNote(targetKey, 1, options->preferFlats, options->simplifyAccidentals)
                      : rootText;
        if (!startsWithNoteLetter(targetSpelling)) return missingKeyContext(requestId);
        if (!startsWithNoteLetter(sourceToken)) return missingKeyContext(requestId);
        for (const ChordListEntry& entry : entries) {
            chords.push_back(writeTransposedChord(entry, sourceKey, sourceToken, targetKey, targetSpelling, offset,
                                                  options->simplifyAccidentals));
        }
        if (keyLinked) {
            json newKey = json::object();
            newKey["root"] = targetSpelling;
            newKey["mode"] = modeText;
            newKey["minorScaleType"] = melodic ? "melodic" : "natural";
            payload["key"] = std::move(newKey);
        } else {
            payload["key"] = readKeyObject(request, json::object());
        }
    }
    payload["chords"] = std::move(chords);
    payload["semitones"] = offset;
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

}  // namespace quillex
