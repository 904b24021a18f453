// Reading the "edits" array of "apply_slot_edits" into slot edit records.
#include "session/slot_edit.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include <nlohmann/json.hpp>

#include "document/document_reader.h"
#include "protocol/json_number.h"

namespace quillex {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

bool listed(std::initializer_list<std::string_view> keys, std::string_view key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool hasExactly(const json& value, std::initializer_list<std::string_view> keys) {
    if (value.size() != keys.size()) return false;
    for (const auto key : keys) {
        if (value.find(key) == value.end()) return false;
    }
    return true;
}

bool hasRequiredAndOptional(const json& value, std::initializer_list<std::string_view> required,
                            std::initializer_list<std::string_view> optional) {
    for (const auto key : required) {
        if (value.find(key) == value.end()) return false;
    }
    for (const auto& [key, member] : value.items()) {
        if (!listed(required, key) && !listed(optional, key)) return false;
    }
    return true;
}

// A voicing offset: booleans as 0/1 and fractions truncated, as the library converts;
// a number outside 32 bits is refused rather than narrowed.
std::int32_t readVoicingOffset(const json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (!value.is_number()) return value.get<std::int32_t>();  // the library's type error
    const auto number = readInt32Exact(value);
    if (!number) fail("voicing slot edit is invalid");
    return *number;
}

SlotEdit parseInsert(const json& edit) {
    if (!hasExactly(edit, {"type", "index", "slot"})) fail("insert slot edit is invalid");
    const auto index = readUint64Integer(edit["index"]);
    if (!index) fail("insert slot edit is invalid");
    return InsertSlotEdit{*index, readProgressionSlot(edit["slot"])};
}

SlotEdit parseReorder(const json& edit) {
    if (!hasExactly(edit, {"type", "slotIds"})) fail("reorder slot edit is invalid");
    auto ids = edit["slotIds"].get<std::vector<std::string>>();
    if (ids.empty()) fail("reorder slot edit requires slotIds");
    return ReorderSlotEdit{std::move(ids)};
}

SlotEdit parseChord(const json& edit) {
    if (!hasExactly(edit, {"type", "slotId", "symbol"}) || !edit["slotId"].is_string() || !edit["symbol"].is_string()) {
        fail("chord slot edit is invalid");
    }
    return ChordSlotEdit{edit["slotId"].get<std::string>(), edit["symbol"].get<std::string>()};
}

SlotEdit parseDuration(const json& edit) {
    if (!hasExactly(edit, {"type", "slotIds", "duration"}) || !edit["duration"].is_number()) {
        fail("duration slot edit is invalid");
    }
    const double duration = edit["duration"].get<double>();
    return DurationSlotEdit{readSlotIdList(edit["slotIds"]), duration};
}

SlotEdit parseVoicing(const json& edit) {
    if (!hasRequiredAndOptional(edit, {"type", "slotIds"},
                                {"inversion", "octaveShift", "voicingStyle", "isAutoVoiced"})) {
        fail("voicing slot edit is invalid");
    }
    VoicingSlotEdit result;
    result.slotIds = readSlotIdList(edit["slotIds"]);
    if (const auto it = edit.find("inversion"); it != edit.end()) result.inversion = readVoicingOffset(*it);
    if (const auto it = edit.find("octaveShift"); it != edit.end()) result.octaveShift = readVoicingOffset(*it);
    if (const auto it = edit.find("voicingStyle"); it != edit.end()) result.voicingStyle = it->get<std::string>();
    if (const auto it = edit.find("isAutoVoiced"); it != edit.end()) result.isAutoVoiced = it->get<bool>();
    if (!result.inversion && !result.octaveShift && !result.voicingStyle && !result.isAutoVoiced) {
        fail("voicing slot edit has no change");
    }
    return result;
}

SlotEdit parseVelocity(const json& edit) {
    if (!hasExactly(edit, {"type", "slotIds", "velocity"}) || !edit["velocity"].is_number_integer()) {
        fail("velocity slot edit is invalid");
    }
    // An integer that would only narrow into 32 bits is no velocity at all.
    const auto velocity = readInt32Exact(edit["velocity"]);
    if (!velocity) fail("Slot velocity is invalid");
    return VelocitySlotEdit{readSlotIdList(edit["slotIds"]), *velocity};
}

SlotEdit parseGesture(const json& edit) {
    if (!hasRequiredAndOptional(edit, {"type", "slotIds", "attack", "attackOrders"}, {"gesturePresetId"})) {
        fail("gesture slot edit is invalid");
    }
    GestureSlotEdit result;
    result.slotIds = readSlotIdList(edit["slotIds"]);
    result.attack = readAttackSettings(edit["attack"]);
    result.attackOrders = readAttackOrders(edit["attackOrders"]);
    if (const auto it = edit.find("gesturePresetId"); it != edit.end()) {
        result.gesturePresetIdGiven = true;
        if (!it->is_null()) result.gesturePresetId = it->get<std::string>();
    }
    return result;
}

SlotEdit parseLockState(const json& edit) {
    if (!hasExactly(edit, {"type", "slotIds", "lockState"}) || !edit["lockState"].is_string()) {
        fail("lock-state slot edit is invalid");
    }
    return LockStateSlotEdit{readSlotIdList(edit["slotIds"]), edit["lockState"].get<std::string>()};
}

}  // namespace

std::vector<std::string> readSlotIdList(const json& value) {
    if (!value.is_array() || value.empty()) fail("slotIds must be a non-empty array");
    std::vector<std::string> ids;
    ids.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_string() || element.get_ref<const std::string&>().empty()) {
            fail("slotIds contains an invalid ID");
        }
        ids.push_back(element.get<std::string>());
    }
    std::vector<std::string_view> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) fail("slotIds contains duplicates");
    return ids;
}

std::vector<SlotEdit> parseSlotEdits(const json& edits) {
    if (!edits.is_array() || edits.empty()) fail("edits must be a non-empty array");
    std::vector<SlotEdit> result;
    result.reserve(edits.size());
    for (const auto& edit : edits) {
        const auto type = edit.is_object() ? edit.find("type") : edit.end();
        if (!edit.is_object() || type == edit.end() || !type->is_string()) fail("Slot edit type is missing");
        const auto& name = type->get_ref<const std::string&>();
        if (name == "insert") {
            result.push_back(parseInsert(edit));
        } else if (name == "remove") {
            if (!hasExactly(edit, {"type", "slotIds"})) fail("remove slot edit is invalid");
            result.push_back(RemoveSlotEdit{readSlotIdList(edit["slotIds"])});
        } else if (name == "reorder") {
            result.push_back(parseReorder(edit));
        } else if (name == "chord") {
            result.push_back(parseChord(edit));
        } else if (name == "duration") {
            result.push_back(parseDuration(edit));
        } else if (name == "voicing") {
            result.push_back(parseVoicing(edit));
        } else if (name == "velocity") {
            result.push_back(parseVelocity(edit));
        } else if (name == "gesture") {
            result.push_back(parseGesture(edit));
        } else if (name == "lock_state") {
            result.push_back(parseLockState(edit));
        } else {
            throw std::runtime_error("Unsupported slot edit type: " + name);
        }
    }
    return result;
}

}  // namespace quillex
