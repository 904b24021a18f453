// JSON writing of the project document and its parts.
#include "document/document_writer.h"

#include <nlohmann/json.hpp>

#include "document/document_schema.h"

namespace quillex {

using nlohmann::json;

json writeOptionalString(const std::optional<std::string>& value) {
    return value ? json(*value) : json(nullptr);
}

json writeProgressionParseErrors(const std::optional<ProgressionParseError>& error) {
    if (!error) return nullptr;
    json errors = json::array();
    for (const auto& token : error->errors) errors.push_back(json{{"token", token}});
    return json{{"errors", std::move(errors)}, {"message", error->message}};
}

const json& clipIdentity() {
    static const json identity = documentShapeSchema().at("defaults").at("clipIdentity");
    return identity;
}

json writeProjectDocument(const ProjectDocument& document) {
    json out = json::object();
    out["bassSplit"] = writeBassSplitSection(*document.bassSplit);
    out["clipIdentity"] = clipIdentity();
    out["clipSync"] = writeClipSyncSection(*document.clipSync);
    out["gesture"] = writeGestureSection(*document.gesture);
    out["key"] = writeKeySection(*document.key);
    out["progression"] = writeProgressionSection(*document.progression);
    out["progressionLog"] = writeProgressionLog(*document.progressionLog);
    out["rhythm"] = writeRhythmSection(*document.rhythm);
    out["schemaVersion"] = document.schemaVersion;
    out["voicing"] = writeVoicingSection(*document.voicing);
    return out;
}

json writeProgressionSection(const ProgressionSection& section) {
    json slots = json::array();
    for (const auto& slot : section.slots) slots.push_back(writeProgressionSlot(slot));
    return json{{"input", section.input},
                {"parseError", writeProgressionParseErrors(section.parseError)},
                {"slots", std::move(slots)}};
}

json writeProgressionLog(const ProgressionLog& log) {
    json out = json::array();
    for (const auto& entry : log) out.push_back(entry);
    return out;
}

json writeKeySection(const KeySection& key) {
    return json{{"autoKey", key.autoKey},
                {"minorScaleType", key.minorScaleType},
                {"mode", key.mode},
                {"root", key.root},
                {"transposeOffset", key.transposeOffset}};
}

json writeVoicingSection(const VoicingSection& voicing) {
    return json{{"allowBassChanges", voicing.allowBassChanges},
                {"autoVoiceLeading", voicing.autoVoiceLeading},
                {"defaultStyle", voicing.defaultStyle},
                {"dropBass", voicing.dropBass}};
}

json writeRhythmSection(const RhythmSection& rhythm) {
    json custom = nullptr;
    if (rhythm.customPattern) {
        json events = json::array();
        for (const auto& event : rhythm.customPattern->events) {
            events.push_back(json{{"duration", event.duration},
                                  {"offset", event.offset},
                                  {"part", event.part},
                                  {"velocity", event.velocity}});
        }
        custom = json{{"events", std::move(events)}, {"lengthSteps", rhythm.customPattern->lengthSteps}};
    }
    return json{{"customPattern", std::move(custom)},
                {"legato", rhythm.legato},
                {"pattern", rhythm.pattern},
                {"presetId", writeOptionalString(rhythm.presetId)},
                {"retriggerOnBlock", rhythm.retriggerOnBlock},
                {"shift", rhythm.shift},
                {"swing", json{{"amount", rhythm.swing.amount}, {"mode", rhythm.swing.mode}}}};
}

json writeGestureSection(const GestureSection& gesture) {
    return json{{"newChordAttack", writeAttackSettings(gesture.newChordAttack)},
                {"newChordAttackOrders", writeAttackOrders(gesture.newChordAttackOrders)},
                {"newChordPresetId", writeOptionalString(gesture.newChordPresetId)},
                {"newChordVelocity", gesture.newChordVelocity}};
}

json writeBassSplitSection(const BassSplitSection& bassSplit) {
    return json{{"mode", bassSplit.mode}, {"target", bassSplit.target}};
}

json writeClipSyncSection(const ClipSyncSection& clipSync) {
    return json{{"mode", clipSync.mode}};
}

json writeProgressionSlot(const ProgressionSlot& slot) {
    json out = json::object();
    out["duration"] = slot.duration;
    if (slot.id) out["id"] = *slot.id;
    if (slot.type) out["type"] = *slot.type;
    if (slot.lockState) out["lockState"] = *slot.lockState;
    if (slot.isRest) return out;

    out["chord"] = writeSlotChord(slot.chord);
    if (slot.inversion) out["inversion"] = *slot.inversion;
    if (slot.octaveShift) out["octaveShift"] = *slot.octaveShift;
    if (slot.voicingStyle) out["voicingStyle"] = *slot.voicingStyle;
    if (slot.isAutoVoiced) out["isAutoVoiced"] = *slot.isAutoVoiced;
    out["velocity"] = slot.velocity;
    out["attack"] = writeAttackSettings(slot.attack);
    out["attackOrders"] = writeAttackOrders(slot.attackOrders);
    // Written back only when the slot arrived with the key; the id alone is not enough.
    if (slot.gesturePresetIdPresent) out["gesturePresetId"] = writeOptionalString(slot.gesturePresetId);
    return out;
}

json writeSlotChord(const SlotChord& chord) {
    json out = json::object();
    out["original"] = chord.original;
    if (chord.root) out["root"] = *chord.root;
    if (chord.quality) out["quality"] = *chord.quality;
    if (chord.symbol) out["symbol"] = *chord.symbol;
    if (chord.category) out["category"] = *chord.category;
    if (chord.roman) out["roman"] = *chord.roman;
    if (chord.degree) out["degree"] = *chord.degree;
    if (chord.bassNote) out[chord.usesLegacyBassKey ? "bass" : "bassNote"] = *chord.bassNote;
    if (!chord.intervals.empty()) out["intervals"] = chord.intervals;
    return out;
}

json writeAttackSettings(const AttackSettings& attack) {
    json out{{"gate", attack.gate}, {"globalFollow", attack.globalFollow}, {"mode", attack.mode}};
    if (!attack.isFullForm) return out;
    out["dynamic"] = attack.dynamic;
    out["includeBass"] = attack.includeBass;
    out["orderKinds"] = attack.orderKinds;
    out["rateContour"] = writeAttackContour(attack.rateContour);
    out["roundRobinLength"] = attack.roundRobinLength;
    out["spread"] = attack.spread;
    out["timingBasis"] = attack.timingBasis;
    out["velocityCurve"] = writeAttackContour(attack.velocityCurve);
    out["velocityRange"] = json{{"maximum", attack.velocityRange.maximum},
                                {"minimum", attack.velocityRange.minimum}};
    out["velocityRateCurve"] = writeAttackContour(attack.velocityRateCurve);
    return out;
}

json writeAttackOrders(const AttackOrders& orders) {
    json out = json::array();
    for (const auto& page : orders) {
        out.push_back(json{{"order", page.order}, {"velocitySeed", page.velocitySeed}});
    }
    return out;
}

json writeAttackContour(const AttackContour& contour) {
    return json{{"end", contour.end},
                {"firstBend", contour.firstBend},
                {"mid", contour.mid},
                {"midPosition", contour.midPosition},
                {"secondBend", contour.secondBend},
                {"start", contour.start}};
}

}  // namespace quillex
