// Handler of the "generate_voicing" request.
#include "voicing/generate_voicing_request.h"

#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/chord_symbol.h"
#include "voicing/chord_voicing.h"
#include "voicing/semitone_transpose.h"
#include "voicing/voicing_style.h"

namespace quillex {

namespace {

constexpr std::int32_t kMaxOctaveShift = 4;

BridgeReply voicingError(const char* message) {
    return BridgeReply{"voicing_error", nlohmann::json{{"message", message}}};
}

}  // namespace

BridgeReply handleGenerateVoicing(const nlohmann::json& request) {
    if (!request.is_object() || !request.contains("chord") || !request.contains("style")) {
        return voicingError("Missing chord or style");
    }
    const std::string chordText = request.at("chord").get<std::string>();
    const std::string styleText = request.at("style").get<std::string>();
    const std::int32_t octave = std::clamp(readOctave(request), kMinVoicingOctave, kMaxVoicingOctave);
    const std::int32_t inversion = readInversion(request);
    const bool dropBass = readDropBass(request);
    const std::int32_t octaveShift = std::clamp(readOctaveShift(request, 0), -kMaxOctaveShift, kMaxOctaveShift);

    const std::optional<Chord> chord = parseChordSymbol(chordText);
    const std::optional<VoicingStyle> style = parseVoicingStyle(styleText);
    if (!chord || !style) return voicingError("Invalid chord or style");

    const std::int32_t semitones = readSemitoneTranspose(request);
    const ChordVoicingOptions options{octaveShift, dropBass, inversion};
    const std::vector<std::int32_t> notes = voiceChordWithTranspose(*chord, *style, octave, options, semitones);
    const std::int32_t maxInversion = maxManualInversion(*chord, *style, octave, octaveShift);

    nlohmann::json payload = nlohmann::json::object();
    payload["chord"] = chordText;
    payload["style"] = styleText;
    payload["notes"] = notes;
    payload["max_manual_inversion"] = maxInversion;
    return BridgeReply{"voicing_result", std::move(payload)};
}

}  // namespace quillex
