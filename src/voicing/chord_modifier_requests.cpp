// Handlers of the chord-modifier requests.
#include "voicing/chord_modifier_requests.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "protocol/request_readers.h"
#include "protocol/voicing_request_readers.h"
#include "theory/chord_modifier.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"
#include "voicing/chord_voicing.h"
#include "voicing/semitone_transpose.h"
#include "voicing/voicing_style.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr const char* kAvailableType = "available_modifiers";
constexpr const char* kModifiedType = "modified_chord";

bool listHas(const std::vector<std::string>& list, std::string_view id) {
    return std::find(list.begin(), list.end(), id) != list.end();
}

json idArray(const std::vector<std::string>& ids) {
    json array = json::array();
    for (const std::string& id : ids) array.push_back(id);
    return array;
}

// The page's selection as a set of the 24 modifiers, read in one pass so a
// request's work stays bounded however long its list: a repeated id counts
// once, an id outside the table adds nothing, and the ids come back in table
// order. An element that is not a string raises the library's type error.
std::vector<std::string> readSelectedIds(const json& request) {
    std::uint32_t chosen = 0;
    const auto it = request.find("selected");
    if (it != request.end() && it->is_array()) {
        for (const json& element : *it) {
            if (!element.is_string()) (void)element.get<std::string>();
            const std::int32_t index = modifierIndex(element.get_ref<const std::string&>());
            if (index != kUnknownModifierIndex) chosen |= std::uint32_t{1} << index;
        }
    }
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < kModifierCount; ++i) {
        if ((chosen >> i) & 1u) ids.emplace_back(modifierDefinitions()[i].id);
    }
    return ids;
}

json describeModifiers(const Chord& chord, const json& request) {
    const std::vector<std::string> callerIds = readSelectedIds(request);
    const ChordModifierState state = describeChordModifiers(chord, callerIds);

    json modifiers = json::array();
    for (const ModifierDefinition& d : state.definitions) {
        modifiers.push_back(
            {{"id", std::string(d.id)}, {"label", std::string(d.label)}, {"category", std::string(d.category)}});
    }

    json causesVoicingChange = json::array();
    const json* styleMember = findRequestMember(request, "voicingStyle");
    const std::string styleText = styleMember == nullptr ? std::string() : styleMember->get<std::string>();
    if (const std::optional<VoicingStyle> style = parseVoicingStyle(styleText)) {
        const std::vector<std::string>& current = callerIds.empty() ? state.selected : callerIds;
        for (const ModifierDefinition& d : state.definitions) {
            if (d.id == "slash" || listHas(state.disabled, d.id) || listHas(current, d.id)) continue;
            const std::string quality = applyModifiersToQuality(chord, toggleModifier(current, d.id));
            const std::optional<ChordQuality> found = lookupChordQuality(quality);
            if (!found) continue;
            const std::vector<VoicingStyle> offered = relevantVoicingStyles(found->intervals);
            if (std::find(offered.begin(), offered.end(), *style) == offered.end()) {
                causesVoicingChange.push_back(std::string(d.id));
            }
        }
    }

    return json{{"modifiers", std::move(modifiers)},
                {"active", idArray(state.selected)},
                {"disabled", idArray(state.disabled)},
                {"causesVoicingChange", std::move(causesVoicingChange)}};
}

}  // namespace

BridgeReply handleGetAvailableModifiers(const json& request) {
    const std::string requestId = readRequestId(request);
    if (!request.is_object() || !request.contains("chord")) {
        return {kAvailableType, attachRequestId(json{{"error", "Missing chord"}}, requestId)};
    }
    const std::string text = request.at("chord").get<std::string>();
    const std::optional<Chord> chord = parseChordSymbol(text);
    if (!chord) return {kAvailableType, attachRequestId(json{{"error", "Invalid chord: " + text}}, requestId)};

    // After a successful parse every failure is answered in the reply itself.
    try {
        return {kAvailableType, attachRequestId(describeModifiers(*chord, request), requestId)};
    } catch (const std::exception& e) {
        return {kAvailableType, attachRequestId(json{{"error", std::string("Exception: ") + e.what()}}, requestId)};
    }
}

BridgeReply handleApplyModifiers(const json& request) {
    if (!request.is_object() || !request.contains("chord")) return {kModifiedType, json{{"error", "Missing chord"}}};
    const std::string text = request.at("chord").get<std::string>();
    const std::optional<Chord> chord = parseChordSymbol(text);
    if (!chord) return {kModifiedType, json{{"error", "Invalid chord: " + text}}};

    const std::string requestId = readRequestId(request);
    auto fail = [&](json payload) {
        return BridgeReply{kModifiedType, attachRequestId(std::move(payload), requestId)};
    };

    std::vector<std::string> ids;
    if (request.contains("modifiers") && request.at("modifiers").is_array()) {
        for (const json& element : request.at("modifiers")) {
            if (element.is_string()) ids.push_back(element.get<std::string>());
        }
    }

    const std::string quality = applyModifiersToQuality(*chord, ids);
    if (quality.empty()) return fail(json{{"error", "Unable to apply modifiers to chord quality"}});
    const std::optional<ChordQuality> found = lookupChordQuality(quality);
    if (!found) return fail(json{{"error", "Modified chord quality is invalid"}, {"quality", quality}});

    // The page's flat/sharp choice is read from the whole typed text.
    const bool flat = text.find('b') != std::string::npos;
    std::string symbol(pitchClassName(chord->root, flat));
    symbol += quality;

    std::optional<PitchClass> bass;
    const auto bassIt = request.find("bass");
    if (bassIt != request.end() && bassIt->is_string() && !bassIt->get<std::string>().empty()) {
        const std::string bassText = bassIt->get<std::string>();
        bass = parseKeyRoot(bassText);
        if (!bass) return fail(json{{"error", "Invalid bass: " + bassText}});
        symbol += "/" + bassText;
    } else if (chord->bass) {
        bass = chord->bass;
        symbol += "/";
        symbol += pitchClassName(*bass, flat);
    }

    json payload{{"chord", symbol}};
    const json* styleMember = findRequestMember(request, "style");
    const std::string styleText = styleMember == nullptr ? std::string() : styleMember->get<std::string>();
    if (const std::optional<VoicingStyle> style = styleText.empty() ? std::nullopt : parseVoicingStyle(styleText)) {
        const std::int32_t octave = std::clamp(readOctave(request), kMinVoicingOctave, kMaxVoicingOctave);
        ChordVoicingOptions options;
        options.inversion = readInversion(request);
        options.dropBass = readDropBass(request);
        options.octaveShift = readOctaveShift(request, 0);
        const Chord voiced = makeChord(chord->root, *found, bass, symbol);
        payload["notes"] = voiceChordWithTranspose(voiced, *style, octave, options, readSemitoneTranspose(request));
    }
    return {kModifiedType, attachRequestId(std::move(payload), requestId)};
}

}  // namespace quillex
