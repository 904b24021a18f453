// Handler of the progression voicing request, in both modes, with its error payloads.
#include "voicing/progression_voicing_request.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/key_spelling.h"
#include "theory/pitch_class.h"
#include "voicing/semitone_transpose.h"
#include "voicing/voicing_anchors.h"
#include "voicing/voicing_display.h"

namespace quillex {
namespace {

using nlohmann::json;

constexpr const char* kReplyType = "progression_voicings";
constexpr const char* kErrorType = "progression_error";

struct Echoes {
    std::string source;
    std::string requestId;
    std::string fingerprint;

    void attachAll(json& payload) const {
        if (!source.empty()) payload["source"] = source;
        payload = attachRequestId(std::move(payload), requestId);
        if (!fingerprint.empty()) payload["fingerprint"] = fingerprint;
    }
};

BridgeReply error(json payload) { return BridgeReply{kErrorType, std::move(payload)}; }

std::int32_t signedRemainder(std::int32_t semitones) { return semitones % 12; }

// The per-thread debug switch, switched off however the voice leading ends.
class AvlDebugSession {
public:
    explicit AvlDebugSession(bool on) {
        clearAvlDebugLines();
        setAvlDebugEnabled(on);
    }
    ~AvlDebugSession() { finish(); }
    AvlDebugSession(const AvlDebugSession&) = delete;
    AvlDebugSession& operator=(const AvlDebugSession&) = delete;

    // The lines not taken yet; the switch goes off.
    std::vector<std::string> finish() {
        if (finished_) return {};
        finished_ = true;
        std::vector<std::string> lines = takeAvlDebugLines();
        setAvlDebugEnabled(false);
        return lines;
    }

private:
    bool finished_ = false;
};

struct SlotRead {
    std::string chordText;
    std::string styleText;
    std::int32_t octave = 4;
    std::int32_t inversion = 0;
    bool dropBass = false;
    std::int32_t octaveShift = 0;
};

SlotRead readCommonSlotKeys(const json& slot) {
    SlotRead read;
    read.chordText = slot.value("chord", std::string());
    read.styleText = slot.value("style", std::string());
    read.octave = readOctave(slot);
    read.inversion = readInversion(slot);
    read.dropBass = readDropBass(slot);
    read.octaveShift = readOctaveShift(slot, 0);
    return read;
}

std::optional<std::vector<std::int32_t>> readManualNotes(const json& slot) {
    const json* source = nullptr;
    if (const auto it = slot.find("manual_midi"); it != slot.end() && it->is_array()) {
        source = &*it;
    } else if (const auto notes = slot.find("notes"); notes != slot.end() && notes->is_array()) {
        source = &*notes;
    }
    if (!source) return std::nullopt;
    std::vector<std::int32_t> notes;
    notes.reserve(source->size());
    for (const json& note : *source) notes.push_back(std::clamp(readInt32Saturating(note), 0, 127));
    return notes;
}

json labelsJson(const VoicingDisplayMetadata& metadata) { return json(metadata.noteLabels); }

json slashJson(const VoicingDisplayMetadata& metadata) {
    return metadata.slashBass ? json(*metadata.slashBass) : json(nullptr);
}

json successPayload(json voicings, json inversions, json slashes, json labels) {
    json payload = json::object();
    payload["voicings"] = std::move(voicings);
    payload["max_manual_inversions"] = std::move(inversions);
    payload["voicing_slash_basses"] = std::move(slashes);
    payload["voicing_note_labels"] = std::move(labels);
    return payload;
}

BridgeReply voiceWithoutLeading(const json& slots, const KeyContext& key, bool simplify, std::int32_t semitones,
                                const Echoes& echoes) {
    json voicings = json::array();
    json inversions = json::array();
    json slashes = json::array();
    json labels = json::array();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const SlotRead read = readCommonSlotKeys(slots[i]);
        const std::optional<Chord> chord = parseChordSymbol(read.chordText);
        const std::optional<VoicingStyle> style = parseVoicingStyle(read.styleText);
        if (!chord || !style) {
            json payload = {{"error", "progression slot parse failed"},
                            {"message", "progression slot parse failed"},
                            {"code", "progression_slot_parse_failed"},
                            {"index", i},
                            {"chord", read.chordText},
                            {"style", read.styleText},
                            {"voicings", json::array()}};
            echoes.attachAll(payload);
            return error(std::move(payload));
        }
        const ChordVoicingOptions options{read.octaveShift, read.dropBass, read.inversion};
        inversions.push_back(maxManualInversion(*chord, *style, read.octave, read.octaveShift));
        std::optional<VoicingDisplayMetadata> metadata;
        try {
            const std::vector<std::int32_t> display = voiceChordToMidi(*chord, *style, read.octave, options, semitones);
            metadata = buildVoicingDisplayMetadata(*chord, key, simplify, display);
        } catch (const std::exception& failure) {
            json payload = {{"error", "voicing display metadata failed"},
                            {"message", failure.what()},
                            {"code", "voicing_display_failed"},
                            {"index", i},
                            {"chord", read.chordText},
                            {"voicings", json::array()}};
            echoes.attachAll(payload);
            return error(std::move(payload));
        }
        slashes.push_back(slashJson(*metadata));
        labels.push_back(labelsJson(*metadata));
        voicings.push_back(voiceChordWithTranspose(*chord, *style, read.octave, options, semitones));
    }
    json payload = successPayload(std::move(voicings), std::move(inversions), std::move(slashes), std::move(labels));
    echoes.attachAll(payload);
    return BridgeReply{kReplyType, std::move(payload)};
}

struct LeadSlot {
    Chord parsed;
    VoicingSlot slot;
    bool dropBass = false;
    bool hasManual = false;
};

BridgeReply voiceWithLeading(const json& slots, const KeyContext& key, bool simplify, std::int32_t semitones,
                             bool allowBassChanges, bool includeDebug, VoicerPort* port, const Echoes& echoes) {
    if (slots.size() > kMaxVoiceLedSlots) {
        const std::string message = "auto_voice_lead supports at most " + std::to_string(kMaxVoiceLedSlots) + " slots";
        json payload = {{"error", message},
                        {"message", message},
                        {"code", "auto_voice_lead_too_many_slots"},
                        {"voicings", json::array()}};
        echoes.attachAll(payload);
        return error(std::move(payload));
    }
    std::vector<LeadSlot> read;
    read.reserve(slots.size());
    for (const json& slot : slots) {
        const std::string chordText = slot.value("chord", std::string());
        const std::string styleText = slot.value("style", std::string());
        const std::optional<Chord> chord = parseChordSymbol(chordText);
        const std::optional<VoicingStyle> style = parseVoicingStyle(styleText);
        if (!chord || !style) {
            json payload = {{"error", "auto_voice_lead could not parse one or more slots"},
                            {"message", "auto_voice_lead could not parse one or more slots"},
                            {"code", "auto_voice_lead_parse_failed"},
                            {"voicings", json::array()}};
            if (!chordText.empty()) payload["chord"] = chordText;
            if (!styleText.empty()) payload["style"] = styleText;
            echoes.attachAll(payload);
            return error(std::move(payload));
        }
        LeadSlot entry;
        entry.parsed = *chord;
        entry.slot.chord = untransposeChord(*chord, semitones);
        entry.slot.style = *style;
        entry.slot.octave = readOctave(slot);
        entry.slot.inversion = readInversion(slot);
        entry.slot.octaveShift = readOctaveShift(slot, 0);
        entry.dropBass = readDropBass(slot);
        entry.slot.dropBass = false;
        if (std::optional<std::vector<std::int32_t>> manual = readManualNotes(slot)) {
            entry.slot.manualMidi = std::move(*manual);
            entry.hasManual = true;
        }
        entry.slot.autoVoiced = slot.value("auto_voiced", true);
        read.push_back(std::move(entry));
    }

    json voicings = json::array();
    json inversions = json::array();
    json slashes = json::array();
    json labels = json::array();
    if (read.empty()) {
        json payload =
            successPayload(std::move(voicings), std::move(inversions), std::move(slashes), std::move(labels));
        echoes.attachAll(payload);
        return BridgeReply{kReplyType, std::move(payload)};
    }
    for (const LeadSlot& entry : read) {
        inversions.push_back(
            maxManualInversion(entry.slot.chord, entry.slot.style, entry.slot.octave, entry.slot.octaveShift));
    }

    std::vector<std::string> lines;
    AvlDebugSession debug(includeDebug);
    try {
        std::vector<VoicingSlot> voicingSlots;
        voicingSlots.reserve(read.size());
        for (const LeadSlot& entry : read) voicingSlots.push_back(entry.slot);
        const std::vector<std::vector<Pitch>> results = planAutoVoiceLeading(voicingSlots, allowBassChanges, port);
        lines = debug.finish();
        const std::int32_t remainder = signedRemainder(semitones);
        for (std::size_t i = 0; i < results.size(); ++i) {
            VoicingSlot finished = read[i].slot;
            finished.dropBass = read[i].dropBass;
            const std::vector<std::int32_t> notes = notesToMidi(results[i]);
            std::vector<std::int32_t> display = finishSlotMidiNotes(notes, finished, 0, read[i].hasManual);
            transposeMidiNotes(display, remainder);
            const std::vector<std::int32_t> reply = finishSlotMidiNotes(notes, finished, semitones, read[i].hasManual);
            std::optional<VoicingDisplayMetadata> metadata;
            try {
                metadata = buildVoicingDisplayMetadata(read[i].parsed, key, simplify, display);
            } catch (const std::exception& failure) {
                json payload = {{"error", "voicing display metadata failed"},
                                {"message", failure.what()},
                                {"code", "voicing_display_failed"},
                                {"index", i},
                                {"chord", read[i].parsed.symbol},
                                {"voicings", json::array()}};
                echoes.attachAll(payload);
                return error(std::move(payload));
            }
            slashes.push_back(slashJson(*metadata));
            labels.push_back(labelsJson(*metadata));
            voicings.push_back(json{{"notes", reply}});
        }
    } catch (const std::exception& failure) {
        const std::vector<std::string> pending = debug.finish();
        json payload = {{"error", "auto_voice_lead failed"},
                        {"message", failure.what()},
                        {"code", "auto_voice_lead_failed"},
                        {"voicings", json::array()}};
        if (!pending.empty()) payload["avl_debug"] = pending;
        echoes.attachAll(payload);
        return error(std::move(payload));
    }
    json payload = successPayload(std::move(voicings), std::move(inversions), std::move(slashes), std::move(labels));
    if (!lines.empty()) payload["avl_debug"] = lines;
    echoes.attachAll(payload);
    return BridgeReply{kReplyType, std::move(payload)};
}

}  // namespace

std::vector<std::int32_t> voiceChordToMidi(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                           const ChordVoicingOptions& options, std::int32_t semitones) {
    std::vector<std::int32_t> midi =
        notesToMidi(voiceChordInStyle(untransposeChord(chord, semitones), style, octave, options));
    transposeMidiNotes(midi, signedRemainder(semitones));
    return midi;
}

std::vector<std::int32_t> finishSlotMidiNotes(std::vector<std::int32_t> midi, const VoicingSlot& slot,
                                              std::int32_t semitones, bool hasManual) {
    if (hasManual) {
        transposeMidiNotes(midi, semitones);
        return midi;
    }
    if (slot.octave != 3) {
        const std::int64_t shift = 12 * (static_cast<std::int64_t>(slot.octave) - 3);
        for (std::int32_t& note : midi) {
            note = static_cast<std::int32_t>(std::clamp<std::int64_t>(note + shift, 0, 127));
        }
    }
    transposeMidiNotes(midi, semitones);
    std::sort(midi.begin(), midi.end());
    if (slot.dropBass && !midi.empty()) {
        midi.front() = std::max(midi.front() - 12, 0);
        std::sort(midi.begin(), midi.end());
    }
    return midi;
}

BridgeReply handleProgressionVoicings(const json& request, VoicerPort* port) {
    if (!request.is_object() || !request.contains("slots") || !request.at("slots").is_array()) {
        return error(json{{"message", "Missing slots array"}});
    }
    Echoes echoes;
    echoes.source = request.value("source", std::string());
    echoes.requestId = readRequestId(request);
    echoes.fingerprint = readStringOrEmpty(request, "fingerprint");
    const bool autoVoiceLead = request.value("auto_voice_lead", false);
    const bool allowBassChanges = request.value("allow_bass_changes", false);
    const bool includeDebug = readIncludeAvlDebug(request, false);

    const auto keyIt = request.find("key");
    if (keyIt == request.end() || !keyIt->is_object()) {
        return error(attachRequestId(json{{"error", "missing key context"},
                                          {"message", "Progression Roman display requires key context"},
                                          {"code", "missing_key_context"},
                                          {"voicings", json::array()}},
                                     echoes.requestId));
    }
    const std::string rootText = keyIt->value("root", std::string());
    const std::optional<PitchClass> keyRoot = parseKeyRoot(rootText);
    if (!keyRoot) {
        return error(attachRequestId(json{{"error", "invalid display key"},
                                          {"message", "Display spelling requires a valid key root"},
                                          {"code", "invalid_display_key"},
                                          {"voicings", json::array()}},
                                     echoes.requestId));
    }
    KeyContext key;
    key.key.root = *keyRoot;
    const bool minor = readKeyMode(*keyIt) == "minor";
    key.key.mode = minor ? kMinorMode : kMajorMode;
    const bool melodic = minor && readMinorScaleType(*keyIt) == "melodic";
    key.key.minorScaleType = melodic ? kMelodicMinorScale : kNaturalMinorScale;
    key.rootSpelling = rootSpellingToken(rootText);

    std::string message;
    SpellingPreference preference = SpellingPreference::Fifths;
    if (!readSpellingPreference(request, preference, message)) {
        return error(attachRequestId(json{{"message", message}}, echoes.requestId));
    }
    bool simplify = true;
    if (!readSimplifyAccidentals(request, simplify, message)) {
        return error(attachRequestId(json{{"message", message}}, echoes.requestId));
    }
    const std::int32_t semitones = readSemitoneTranspose(request);
    (void)request.value("auto_mode", std::string("auto"));

    const json& slots = request.at("slots");
    if (!autoVoiceLead) return voiceWithoutLeading(slots, key, simplify, semitones, echoes);
    return voiceWithLeading(slots, key, simplify, semitones, allowBassChanges, includeDebug, port, echoes);
}

BridgeReply handleGenerateProgression(const json& request) { return handleProgressionVoicings(request, nullptr); }

}  // namespace quillex
