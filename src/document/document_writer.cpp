// JSON writing of the project document and its parts.
#include "document/document_writer.h"

#include <nlohmann/json.hpp>

#include "document/document_schema.h"

namespace quillex {

using nlohmann::json;

namespace {

// Members go straight into the object's map: no initializer-list pairs to build and unpack.
// The map keeps its keys sorted, so the insertion order does not show in the output.
class ObjectBuilder {
public:
    ObjectBuilder() : value_(json::object()), members_(&value_.get_ref<json::object_t&>()) {}

    // Members are mostly added in key order, so the end is usually the right place.
    ObjectBuilder& add(const char* key, json member) {
        members_->emplace_hint(members_->end(), key, std::move(member));
        return *this;
    }

    json take() { return std::move(value_); }

private:
    json value_;
    json::object_t* members_;
};

template <typename Value>
json valueArray(const std::vector<Value>& values) {
    json out = json::array();
    auto& elements = out.get_ref<json::array_t&>();
    elements.reserve(values.size());
    for (const auto& v : values) elements.emplace_back(v);
    return out;
}

}  // namespace

json writeOptionalString(const std::optional<std::string>& value) { return value ? json(*value) : json(nullptr); }

json writeProgressionParseErrors(const std::optional<ProgressionParseError>& error) {
    if (!error) return nullptr;
    json errors = json::array();
    for (const auto& token : error->errors) errors.push_back(ObjectBuilder().add("token", token).take());
    return ObjectBuilder().add("errors", std::move(errors)).add("message", error->message).take();
}

const json& clipIdentity() {
    static const json identity = documentShapeSchema().at("defaults").at("clipIdentity");
    return identity;
}

json writeProjectDocument(const ProjectDocument& document) {
    return ObjectBuilder()
        .add("bassSplit", writeBassSplitSection(*document.bassSplit))
        .add("clipIdentity", clipIdentity())
        .add("clipSync", writeClipSyncSection(*document.clipSync))
        .add("gesture", writeGestureSection(*document.gesture))
        .add("key", writeKeySection(*document.key))
        .add("progression", writeProgressionSection(*document.progression))
        .add("progressionLog", writeProgressionLog(*document.progressionLog))
        .add("rhythm", writeRhythmSection(*document.rhythm))
        .add("schemaVersion", document.schemaVersion)
        .add("voicing", writeVoicingSection(*document.voicing))
        .take();
}

json writeProgressionSection(const ProgressionSection& section) {
    json slots = json::array();
    auto& elements = slots.get_ref<json::array_t&>();
    elements.reserve(section.slots.size());
    for (const auto& slot : section.slots) elements.push_back(writeProgressionSlot(slot));
    return ObjectBuilder()
        .add("input", section.input)
        .add("parseError", writeProgressionParseErrors(section.parseError))
        .add("slots", std::move(slots))
        .take();
}

json writeProgressionLog(const ProgressionLog& log) { return valueArray(log); }

json writeKeySection(const KeySection& key) {
    return ObjectBuilder()
        .add("autoKey", key.autoKey)
        .add("minorScaleType", key.minorScaleType)
        .add("mode", key.mode)
        .add("root", key.root)
        .add("transposeOffset", key.transposeOffset)
        .take();
}

json writeVoicingSection(const VoicingSection& voicing) {
    return ObjectBuilder()
        .add("allowBassChanges", voicing.allowBassChanges)
        .add("autoVoiceLeading", voicing.autoVoiceLeading)
        .add("defaultStyle", voicing.defaultStyle)
        .add("dropBass", voicing.dropBass)
        .take();
}

json writeRhythmSection(const RhythmSection& rhythm) {
    json custom = nullptr;
    if (rhythm.customPattern) {
        json events = json::array();
        for (const auto& event : rhythm.customPattern->events) {
            events.push_back(ObjectBuilder()
                                 .add("duration", event.duration)
                                 .add("offset", event.offset)
                                 .add("part", event.part)
                                 .add("velocity", event.velocity)
                                 .take());
        }
        custom = ObjectBuilder()
                     .add("events", std::move(events))
                     .add("lengthSteps", rhythm.customPattern->lengthSteps)
                     .take();
    }
    return ObjectBuilder()
        .add("customPattern", std::move(custom))
        .add("legato", rhythm.legato)
        .add("pattern", rhythm.pattern)
        .add("presetId", writeOptionalString(rhythm.presetId))
        .add("retriggerOnBlock", rhythm.retriggerOnBlock)
        .add("shift", rhythm.shift)
        .add("swing", ObjectBuilder().add("amount", rhythm.swing.amount).add("mode", rhythm.swing.mode).take())
        .take();
}

json writeGestureSection(const GestureSection& gesture) {
    return ObjectBuilder()
        .add("newChordAttack", writeAttackSettings(gesture.newChordAttack))
        .add("newChordAttackOrders", writeAttackOrders(gesture.newChordAttackOrders))
        .add("newChordPresetId", writeOptionalString(gesture.newChordPresetId))
        .add("newChordVelocity", gesture.newChordVelocity)
        .take();
}

json writeBassSplitSection(const BassSplitSection& bassSplit) {
    return ObjectBuilder().add("mode", bassSplit.mode).add("target", bassSplit.target).take();
}

json writeClipSyncSection(const ClipSyncSection& clipSync) { return ObjectBuilder().add("mode", clipSync.mode).take(); }

json writeProgressionSlot(const ProgressionSlot& slot) {
    ObjectBuilder out;
    out.add("duration", slot.duration);
    if (slot.id) out.add("id", *slot.id);
    if (slot.type) out.add("type", *slot.type);
    if (slot.lockState) out.add("lockState", *slot.lockState);
    if (slot.isRest) return out.take();

    out.add("chord", writeSlotChord(slot.chord));
    if (slot.inversion) out.add("inversion", *slot.inversion);
    if (slot.octaveShift) out.add("octaveShift", *slot.octaveShift);
    if (slot.voicingStyle) out.add("voicingStyle", *slot.voicingStyle);
    if (slot.isAutoVoiced) out.add("isAutoVoiced", *slot.isAutoVoiced);
    out.add("velocity", slot.velocity);
    out.add("attack", writeAttackSettings(slot.attack));
    out.add("attackOrders", writeAttackOrders(slot.attackOrders));
    // Written back only when the slot arrived with the key; the id alone is not enough.
    if (slot.gesturePresetIdPresent) out.add("gesturePresetId", writeOptionalString(slot.gesturePresetId));
    return out.take();
}

json writeSlotChord(const SlotChord& chord) {
    ObjectBuilder out;
    out.add("original", chord.original);
    if (chord.root) out.add("root", *chord.root);
    if (chord.quality) out.add("quality", *chord.quality);
    if (chord.symbol) out.add("symbol", *chord.symbol);
    if (chord.category) out.add("category", *chord.category);
    if (chord.roman) out.add("roman", *chord.roman);
    if (chord.degree) out.add("degree", *chord.degree);
    if (chord.bassNote) out.add(chord.usesLegacyBassKey ? "bass" : "bassNote", *chord.bassNote);
    if (!chord.intervals.empty()) out.add("intervals", valueArray(chord.intervals));
    return out.take();
}

json writeAttackSettings(const AttackSettings& attack) {
    ObjectBuilder out;
    out.add("gate", attack.gate).add("globalFollow", attack.globalFollow).add("mode", attack.mode);
    if (!attack.isFullForm) return out.take();
    return out.add("dynamic", attack.dynamic)
        .add("includeBass", attack.includeBass)
        .add("orderKinds", valueArray(attack.orderKinds))
        .add("rateContour", writeAttackContour(attack.rateContour))
        .add("roundRobinLength", attack.roundRobinLength)
        .add("spread", attack.spread)
        .add("timingBasis", attack.timingBasis)
        .add("velocityCurve", writeAttackContour(attack.velocityCurve))
        .add("velocityRange", ObjectBuilder()
                                  .add("maximum", attack.velocityRange.maximum)
                                  .add("minimum", attack.velocityRange.minimum)
                                  .take())
        .add("velocityRateCurve", writeAttackContour(attack.velocityRateCurve))
        .take();
}

json writeAttackOrders(const AttackOrders& orders) {
    json out = json::array();
    auto& pages = out.get_ref<json::array_t&>();
    pages.reserve(orders.size());
    for (const auto& page : orders) {
        pages.push_back(
            ObjectBuilder().add("order", valueArray(page.order)).add("velocitySeed", page.velocitySeed).take());
    }
    return out;
}

json writeAttackContour(const AttackContour& contour) {
    return ObjectBuilder()
        .add("end", contour.end)
        .add("firstBend", contour.firstBend)
        .add("mid", contour.mid)
        .add("midPosition", contour.midPosition)
        .add("secondBend", contour.secondBend)
        .add("start", contour.start)
        .take();
}

}  // namespace quillex
