// Handler of the diatonic chords request.
#include "voicing/diatonic_chords_request.h"

#include <algorithm>
#include <string>

#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"
#include "theory/pitch_class.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"
#include "voicing/chord_voicing.h"
#include "voicing/semitone_transpose.h"
#include "voicing/voicing_style.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kReplyType = "diatonic_chords";

json missingKeyContext() {
    return json{{"chords", json::array()}, {"error", "Missing key context"}, {"code", "missing_key_context"}};
}

}  // namespace

BridgeReply handleGetDiatonicChords(const json& request) {
    const std::string requestId = readRequestId(request);
    auto fail = [&](json payload) { return BridgeReply{kReplyType, attachRequestId(std::move(payload), requestId)}; };

    if (!request.is_object() || !holdsString(request, "root") || !holdsString(request, "mode")) {
        return fail(missingKeyContext());
    }
    const std::string rootText = request.at("root").get<std::string>();
    const std::string modeText = request.at("mode").get<std::string>();
    const std::optional<PitchClass> root = parseKeyRoot(rootText);
    if (!root) return fail(json{{"chords", json::array()}, {"error", "Invalid key root: " + rootText}});

    MusicalKey key;
    key.root = *root;
    key.mode = modeText == "minor" ? kMinorMode : kMajorMode;
    key.minorScaleType = readMinorScaleType(request) == "melodic" ? kMelodicMinorScale : kNaturalMinorScale;

    std::int32_t extension = readDiatonicExtension(request, 7);
    if (extension != 3 && extension != 7 && extension != 9) extension = 7;

    std::string spellingError;
    const std::optional<SpellingOptions> spelling = readSpellingOptions(request, key.root, rootText, spellingError);
    if (!spelling) return fail(json{{"chords", json::array()}, {"error", spellingError}});

    // The key every Roman numeral is taken in: the requested key unless a
    // parsable "relativeToRoot" names another.
    MusicalKey relationKey = key;
    std::string relationRootText = rootText;
    if (request.contains("relativeToRoot")) {
        const std::string relativeText = request.at("relativeToRoot").get<std::string>();
        const std::string relativeMode = readRelativeToMode(request);
        if (const std::optional<PitchClass> relativeRoot = parseKeyRoot(relativeText)) {
            relationKey.root = *relativeRoot;
            relationKey.mode = relativeMode == "minor" ? kMinorMode : kMajorMode;
            relationKey.minorScaleType = relationKey.isMinor() ? key.minorScaleType : kNaturalMinorScale;
            relationRootText = relativeText;
        }
    }
    const std::string relationToken = rootSpellingToken(relationRootText);
    if (!startsWithNoteLetter(relationToken)) return fail(missingKeyContext());
    const std::string keyToken = rootSpellingToken(rootText);
    if (!startsWithNoteLetter(keyToken)) return fail(missingKeyContext());
    const KeyContext relationContext{relationKey, relationToken};
    const KeyContext keyContext{key, keyToken};

    const VoicingStyle style = parseVoicingStyle(readVoicingStyle(request)).value_or(VoicingStyle::Closed);
    const std::int32_t octave = std::clamp(readOctave(request), kMinVoicingOctave, kMaxVoicingOctave);
    ChordVoicingOptions voicingOptions;
    voicingOptions.dropBass = readDropBass(request);
    const std::int32_t semitones = readSemitoneTranspose(request);

    json chords = json::array();
    for (const DiatonicChord& diatonic : diatonicChordsOfKey(key, key.minorScaleType, extension)) {
        const std::optional<RenderedChord> rendered =
            renderChordInKey(RomanChord{diatonic.root, diatonic.quality, std::nullopt, {}}, keyContext, false,
                             SpellingOptions{true, false}, std::nullopt);
        if (!rendered) {
            return fail(json{{"chords", json::array()},
                             {"error", "Could not render diatonic chord"},
                             {"code", "invalid_diatonic_chord"}});
        }
        const std::string& symbol = rendered->displaySymbol;
        const std::string roman = requireRomanNumeralFromSymbol(symbol, relationContext);

        // List qualities such as "+" are aliases: resolve them for the sounding
        // notes and the family, but report the list's own text.
        ChordQuality quality{diatonic.quality, qualityIntervals(diatonic.quality)};
        if (const std::optional<ChordQuality> found = lookupChordQuality(diatonic.quality)) {
            quality.intervals = found->intervals;
        }
        const Chord voiced{diatonic.root, quality.name, quality.intervals, std::nullopt, {}};
        chords.push_back({{"symbol", symbol},
                          {"roman", roman},
                          {"degree", diatonic.degree},
                          {"root", rootSpellingToken(symbol)},
                          {"quality", diatonic.quality},
                          {"colorCategory", familyOfQuality(quality)},
                          {"notes", voiceChordWithTranspose(voiced, style, octave, voicingOptions, semitones)}});
    }

    const std::string relationshipRoman =
        requireRomanNumeralFromSymbol(keyToken + (key.isMinor() ? "m" : ""), relationContext);

    json keyNames = json::array();
    json keyRomans = json::object();
    for (PitchClass p = 0; p < 12; ++p) {
        const std::string name =
            spellPitchClassInKey(relationKey, p, spelling->preferFlats, spelling->simplifyAccidentals);
        keyNames.push_back(name);
        keyRomans[name] = requireRomanNumeralFromSymbol(name + (relationKey.isMinor() ? "m" : ""), relationContext);
    }

    json payload{{"chords", std::move(chords)},
                 {"relationshipRoman", relationshipRoman},
                 {"keyRomans", std::move(keyRomans)},
                 {"keyNames", std::move(keyNames)}};
    return {kReplyType, attachRequestId(std::move(payload), requestId)};
}

}  // namespace quillex
