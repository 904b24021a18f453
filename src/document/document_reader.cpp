// Strict JSON reading of the project document and its parts.
#include "document/document_reader.h"

#include <cmath>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "document/document_schema.h"
#include "protocol/json_number.h"

namespace quillex {

namespace {

using nlohmann::json;

constexpr std::string_view kSchemaMessage = "DocumentSession requires the current project schema";
constexpr std::string_view kProgressionMessage = "Document progression is invalid";
constexpr std::string_view kLogMessage = "Document progression log is invalid";
constexpr std::string_view kSlotMessage = "Document slot is invalid";
constexpr std::string_view kDurationMessage = "Document slot duration is invalid";
constexpr std::string_view kChordMessage = "Document chord is invalid";
constexpr std::string_view kAttackMessage = "Document attack is invalid";
constexpr std::string_view kOrdersMessage = "Document attack orders are invalid";
constexpr std::string_view kContourMessage = "Document contour is invalid";
// Sections without a shape message of their own refuse out-of-range numbers with these.
constexpr std::string_view kKeyMessage = "Document key is invalid";
constexpr std::string_view kRhythmMessage = "Document rhythm is invalid";
constexpr std::string_view kGestureMessage = "Document gesture is invalid";

[[noreturn]] void fail(std::string_view message) { throw std::runtime_error(std::string(message)); }

// A 32-bit field: booleans and wrong types follow the library; numbers convert
// only when the exact value fits, else the field's own message.
std::int32_t toInt32(const json& value, std::string_view outOfRange) {
    if (!value.is_number()) return value.get<std::int32_t>();
    const auto v = readInt32Exact(value);
    if (!v) fail(outOfRange);
    return *v;
}

std::uint32_t toUint32(const json& value, std::string_view outOfRange) {
    if (!value.is_number()) return value.get<std::uint32_t>();
    const auto v = readUint32Exact(value);
    if (!v) fail(outOfRange);
    return *v;
}

// An unsigned 64-bit field: booleans and wrong types raise the library's error;
// negative or too-large numbers are refused instead of wrapping.
std::uint64_t toUint64(const json& value, std::string_view outOfRange) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < 0) fail(outOfRange);
        return static_cast<std::uint64_t>(v);
    }
    if (value.is_number_float()) {
        const double t = std::trunc(value.get<double>());
        // 2^64 is exactly representable; every double below it fits.
        if (!(t >= 0.0 && t < 18446744073709551616.0)) fail(outOfRange);
        return static_cast<std::uint64_t>(t);
    }
    return value.get<std::uint64_t>();
}

// Raises the library's "type must be array" error for anything but an array.
const json& requireArray(const json& value) {
    if (!value.is_array()) (void)value.get<std::vector<json>>();
    return value;
}

std::string requiredString(const json& object, const char* key) { return object.at(key).get<std::string>(); }

bool requiredBool(const json& object, const char* key) { return object.at(key).get<bool>(); }

std::int32_t requiredInt(const json& object, const char* key, std::string_view outOfRange) {
    return toInt32(object.at(key), outOfRange);
}

// Defaulted access: the default only when the member is missing; null still converts (and fails).
const json* defaultedMember(const json& object, const char* key) {
    if (!object.is_object()) (void)object.value(key, 0);  // the library's own error
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// Optional access: a missing member, a null one and a non-object all read as absent.
const json* presentMember(const json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::optional<bool> readOptionalBool(const json& object, const char* key) {
    const auto* member = presentMember(object, key);
    if (!member) return std::nullopt;
    return member->get<bool>();
}

bool isEmptySection(const json& value) {
    return value.is_null() || ((value.is_object() || value.is_array()) && value.empty());
}

RhythmEvent readRhythmEvent(const json& value) {
    RhythmEvent event;
    event.offset = requiredInt(value, "offset", kRhythmMessage);
    event.duration = requiredInt(value, "duration", kRhythmMessage);
    event.part = requiredString(value, "part");
    event.velocity = requiredInt(value, "velocity", kRhythmMessage);
    return event;
}

}  // namespace

std::optional<std::string> readOptionalString(const json& object, std::string_view key) {
    const auto* member = presentMember(object, key);
    if (!member) return std::nullopt;
    return member->get<std::string>();
}

std::optional<std::int32_t> readOptionalInt(const json& object, std::string_view key,
                                            std::string_view outOfRangeMessage) {
    const auto* member = presentMember(object, key);
    if (!member) return std::nullopt;
    return toInt32(*member, outOfRangeMessage);
}

ProjectDocument readProjectDocument(const json& value) {
    if (!value.is_object()) fail(kSchemaMessage);
    static const std::int32_t current = readSchemaVersion(documentShapeSchema(), -1);
    if (readSchemaVersion(value, -1) != current) fail(kSchemaMessage);

    ProjectDocument document;
    document.schemaVersion = toUint32(value.at("schemaVersion"), kSchemaMessage);
    document.progression = readProgressionSection(value.at("progression"));
    document.progressionLog = readProgressionLog(value.at("progressionLog"));
    document.key = readKeySection(value.at("key"));
    document.voicing = readVoicingSection(value.at("voicing"));
    document.rhythm = readRhythmSection(value.at("rhythm"));
    document.gesture = readGestureSection(value.at("gesture"));
    document.bassSplit = readBassSplitSection(value.at("bassSplit"));
    document.clipSync = readClipSyncSection(value.at("clipSync"));
    return document;
}

std::shared_ptr<const ProgressionSection> readProgressionSection(const json& value) {
    if (!value.is_object()) fail(kProgressionMessage);
    const auto input = value.find("input");
    const auto slots = value.find("slots");
    if (input == value.end() || slots == value.end() || !input->is_string() || !slots->is_array()) {
        fail(kProgressionMessage);
    }
    auto section = std::make_shared<ProgressionSection>();
    section->input = input->get<std::string>();
    section->slots.reserve(slots->size());
    for (const auto& slot : *slots) section->slots.push_back(readProgressionSlot(slot));

    if (const auto* parseError = presentMember(value, "parseError")) {
        ProgressionParseError error;
        error.message = requiredString(*parseError, "message");
        for (const auto& entry : parseError->at("errors")) {
            error.errors.push_back(requiredString(entry, "token"));
        }
        section->parseError = std::move(error);
    }
    return section;
}

std::shared_ptr<const ProgressionLog> readProgressionLog(const json& value) {
    if (!value.is_array()) fail(kLogMessage);
    auto log = std::make_shared<ProgressionLog>();
    log->reserve(value.size());
    for (const auto& entry : value) log->push_back(entry.get<std::string>());
    return log;
}

std::shared_ptr<const KeySection> readKeySection(const json& value) {
    auto key = std::make_shared<KeySection>();
    key->root = requiredString(value, "root");
    key->mode = requiredString(value, "mode");
    key->minorScaleType = requiredString(value, "minorScaleType");
    key->transposeOffset = requiredInt(value, "transposeOffset", kKeyMessage);
    key->autoKey = requiredBool(value, "autoKey");
    return key;
}

std::shared_ptr<const VoicingSection> readVoicingSection(const json& value) {
    auto voicing = std::make_shared<VoicingSection>();
    voicing->autoVoiceLeading = requiredBool(value, "autoVoiceLeading");
    voicing->allowBassChanges = requiredBool(value, "allowBassChanges");
    voicing->dropBass = requiredBool(value, "dropBass");
    voicing->defaultStyle = requiredString(value, "defaultStyle");
    return voicing;
}

std::shared_ptr<const RhythmSection> readRhythmSection(const json& value) {
    auto rhythm = std::make_shared<RhythmSection>();
    rhythm->pattern = requiredString(value, "pattern");
    rhythm->presetId = readOptionalString(value, "presetId");
    rhythm->shift = requiredInt(value, "shift", kRhythmMessage);
    rhythm->retriggerOnBlock = requiredBool(value, "retriggerOnBlock");
    rhythm->legato = requiredBool(value, "legato");
    const auto& swing = value.at("swing");
    rhythm->swing.mode = requiredString(swing, "mode");
    rhythm->swing.amount = requiredInt(swing, "amount", kRhythmMessage);

    if (const auto* custom = presentMember(value, "customPattern")) {
        RhythmCustomPattern pattern;
        pattern.lengthSteps = requiredInt(*custom, "lengthSteps", kRhythmMessage);
        // Walked as the library walks any value: null has no elements, a scalar is one.
        for (const auto& event : custom->at("events")) pattern.events.push_back(readRhythmEvent(event));
        rhythm->customPattern = std::move(pattern);
    }
    return rhythm;
}

std::shared_ptr<const GestureSection> readGestureSection(const json& value) {
    if (isEmptySection(value)) return makeDefaultGestureSection();
    auto gesture = std::make_shared<GestureSection>();
    gesture->newChordVelocity = requiredInt(value, "newChordVelocity", kGestureMessage);
    gesture->newChordAttack = readAttackSettings(value.at("newChordAttack"));
    gesture->newChordAttackOrders = readAttackOrders(value.at("newChordAttackOrders"));
    gesture->newChordPresetId = readOptionalString(value, "newChordPresetId");
    return gesture;
}

std::shared_ptr<const BassSplitSection> readBassSplitSection(const json& value) {
    auto bassSplit = std::make_shared<BassSplitSection>();
    if (isEmptySection(value)) return bassSplit;
    bassSplit->target = requiredString(value, "target");
    bassSplit->mode = requiredString(value, "mode");
    return bassSplit;
}

std::shared_ptr<const ClipSyncSection> readClipSyncSection(const json& value) {
    if (isEmptySection(value)) return makeDefaultClipSyncSection();
    auto clipSync = std::make_shared<ClipSyncSection>();
    clipSync->mode = requiredString(value, "mode");
    return clipSync;
}

ProgressionSlot readProgressionSlot(const json& value) {
    if (!value.is_object()) fail(kSlotMessage);
    ProgressionSlot slot;
    slot.id = readOptionalString(value, "id");
    slot.type = readOptionalString(value, "type");
    slot.isRest = slot.type.has_value() && *slot.type == "rest";
    slot.duration = value.at("duration").get<double>();
    if (!std::isfinite(slot.duration) || slot.duration <= 0.0) fail(kDurationMessage);
    slot.lockState = readOptionalString(value, "lockState");
    if (slot.isRest) return slot;

    slot.chord = readSlotChord(value.at("chord"));
    slot.inversion = readOptionalInt(value, "inversion", kSlotMessage);
    slot.octaveShift = readOptionalInt(value, "octaveShift", kSlotMessage);
    slot.voicingStyle = readOptionalString(value, "voicingStyle");
    slot.isAutoVoiced = readOptionalBool(value, "isAutoVoiced");
    slot.velocity = requiredInt(value, "velocity", kSlotMessage);
    slot.attack = readAttackSettings(value.at("attack"));
    slot.attackOrders = readAttackOrders(value.at("attackOrders"));
    slot.gesturePresetId = readOptionalString(value, "gesturePresetId");
    slot.gesturePresetIdPresent = value.contains("gesturePresetId");
    return slot;
}

SlotChord readSlotChord(const json& value) {
    if (!value.is_object()) fail(kChordMessage);
    const auto original = value.find("original");
    if (original == value.end() || !original->is_string()) fail(kChordMessage);
    SlotChord chord;
    chord.original = original->get<std::string>();
    chord.root = readOptionalString(value, "root");
    chord.quality = readOptionalString(value, "quality");
    chord.symbol = readOptionalString(value, "symbol");
    chord.category = readOptionalString(value, "category");
    chord.roman = readOptionalString(value, "roman");
    if (const auto* degree = presentMember(value, "degree")) chord.degree = degree->get<double>();
    if (value.contains("bassNote")) {
        chord.bassNote = readOptionalString(value, "bassNote");
    } else if (value.contains("bass")) {
        chord.bassNote = readOptionalString(value, "bass");
        chord.usesLegacyBassKey = true;
    }
    const auto intervals = value.find("intervals");
    if (intervals != value.end() && intervals->is_array()) {
        chord.intervals.reserve(intervals->size());
        for (const auto& interval : *intervals) chord.intervals.push_back(toInt32(interval, kChordMessage));
    }
    return chord;
}

AttackSettings readAttackSettings(const json& value) {
    if (!value.is_object()) fail(kAttackMessage);
    AttackSettings attack;
    attack.isFullForm = value.contains("orderKinds");
    if (const auto* mode = defaultedMember(value, "mode")) attack.mode = mode->get<std::string>();
    if (const auto* gate = defaultedMember(value, "gate")) attack.gate = gate->get<std::string>();
    if (const auto* follow = defaultedMember(value, "globalFollow")) attack.globalFollow = follow->get<bool>();
    if (!attack.isFullForm) return attack;

    attack.orderKinds = requireArray(value.at("orderKinds")).get<std::vector<std::string>>();
    attack.roundRobinLength = toUint64(value.at("roundRobinLength"), kAttackMessage);
    attack.timingBasis = requiredString(value, "timingBasis");
    attack.dynamic = requiredBool(value, "dynamic");
    attack.spread = requiredString(value, "spread");
    attack.includeBass = requiredBool(value, "includeBass");
    const auto& range = value.at("velocityRange");
    attack.velocityRange.minimum = requiredInt(range, "minimum", kAttackMessage);
    attack.velocityRange.maximum = requiredInt(range, "maximum", kAttackMessage);
    attack.velocityCurve = readAttackContour(value.at("velocityCurve"));
    attack.rateContour = readAttackContour(value.at("rateContour"));
    attack.velocityRateCurve = readAttackContour(value.at("velocityRateCurve"));
    return attack;
}

AttackContour readAttackContour(const json& value) {
    if (!value.is_object()) fail(kContourMessage);
    AttackContour contour;
    contour.start = requiredInt(value, "start", kContourMessage);
    contour.mid = requiredInt(value, "mid", kContourMessage);
    contour.midPosition = requiredInt(value, "midPosition", kContourMessage);
    contour.end = requiredInt(value, "end", kContourMessage);
    contour.firstBend = requiredInt(value, "firstBend", kContourMessage);
    contour.secondBend = requiredInt(value, "secondBend", kContourMessage);
    return contour;
}

AttackOrders readAttackOrders(const json& value) {
    if (!value.is_array()) fail(kOrdersMessage);
    AttackOrders orders;
    orders.reserve(value.size());
    for (const auto& element : value) {
        AttackOrderPage page;
        const auto& order = requireArray(element.at("order"));
        page.order.reserve(order.size());
        for (const auto& entry : order) page.order.push_back(toUint64(entry, kOrdersMessage));
        if (const auto* seed = defaultedMember(element, "velocitySeed")) {
            page.velocitySeed = toUint32(*seed, kOrdersMessage);
        }
        orders.push_back(std::move(page));
    }
    return orders;
}

}  // namespace quillex
