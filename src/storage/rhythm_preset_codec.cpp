// Rhythm preset library: version 3 decoding, migration of versions 1 and 2, entries and revisions.
#include "storage/rhythm_preset_codec.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "document/document_schema.h"
#include "protocol/json_number.h"
#include "storage/preset_library_shape.h"
#include "storage/preset_name.h"
#include "storage/preset_revision.h"
#include "storage/rhythm_pattern_validation.h"

namespace quillex {

namespace {

constexpr std::string_view kLabel = "Rhythm preset";

[[noreturn]] void refuse(const char* message) { throw std::runtime_error(message); }

const std::string& stringMember(const nlohmann::json& entry, const char* key) {
    return entry.at(key).get_ref<const std::string&>();
}

// The ID is new in this library and the name is stored in canonical form.
void checkIdentity(const nlohmann::json& entry, std::unordered_set<std::string>& seenIds) {
    if (!seenIds.insert(stringMember(entry, "id")).second) refuse("Rhythm preset library contains duplicate IDs");
    const auto& name = stringMember(entry, "name");
    if (canonicalPresetName(name, kLabel) != name) refuse("Rhythm preset name is not canonical");
}

nlohmann::json makeEntryValue(const std::string& id, const std::string& name, std::string revision, std::int32_t length,
                              nlohmann::json events) {
    // Member by member: an initializer list would copy the events once more.
    nlohmann::json entry = nlohmann::json::object();
    entry["events"] = std::move(events);
    entry["id"] = id;
    entry["lengthSteps"] = length;
    entry["name"] = name;
    entry["revision"] = std::move(revision);
    return entry;
}

void appendInteger(std::string& text, const nlohmann::json& value) {
    char digits[24];
    const auto end = value.is_number_unsigned()
                         ? std::to_chars(digits, digits + sizeof digits, value.get<std::uint64_t>()).ptr
                         : std::to_chars(digits, digits + sizeof digits, value.get<std::int64_t>()).ptr;
    text.append(digits, end);
}

// Text that the compact form writes as it is, between quotes.
bool needsNoEscape(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
}

// The compact text of an events array, written directly for events of the stored form
// (every revision digests one; the generic serializer costs several times more). Any other
// value is left to the serializer, so the text is always the compact form.
std::string eventsText(const nlohmann::json& events) {
    static constexpr const char* kMembers[] = {"duration", "offset", "part", "velocity"};
    if (!events.is_array()) return compactPresetText(events);
    std::string text = "[";
    text.reserve(events.size() * 56 + 2);
    for (const auto& event : events) {
        if (!event.is_object() || event.size() != 4) return compactPresetText(events);
        if (text.size() > 1) text += ',';
        int index = 0;
        for (auto member = event.begin(); member != event.end(); ++member, ++index) {
            const auto& value = member.value();
            if (member.key() != kMembers[index]) return compactPresetText(events);
            text += index == 0 ? "{\"" : ",\"";
            text += kMembers[index];
            text += "\":";
            if (index == 2) {
                if (!value.is_string() || !needsNoEscape(value.get_ref<const std::string&>())) {
                    return compactPresetText(events);
                }
                text += '"';
                text += value.get_ref<const std::string&>();
                text += '"';
            } else {
                if (!value.is_number_integer()) return compactPresetText(events);
                appendInteger(text, value);
            }
        }
        text += '}';
    }
    text += ']';
    return text;
}

nlohmann::json emptyLibrary() {
    return nlohmann::json{{"schemaVersion", kRhythmPresetSchemaVersion}, {"presets", nlohmann::json::array()}};
}

}  // namespace

std::int32_t validateRhythmPresetLength(const nlohmann::json& value) {
    const auto& pattern = documentShapeSchema().at("constraints").at("rhythmPattern");
    const auto length = value.is_number_integer() ? readInt32Exact(value) : std::nullopt;
    if (!length || *length < pattern.at("minimumStepCount").get<std::int64_t>() ||
        *length > pattern.at("maximumStepCount").get<std::int64_t>()) {
        refuse("Rhythm preset length is invalid");
    }
    return *length;
}

nlohmann::json validateRhythmPresetEvents(const nlohmann::json& events, std::int32_t length) {
    return validateRhythmPattern(events, length, documentShapeSchema(), "Rhythm preset events");
}

// The digested texts are written out directly: they are the compact, sorted form of the
// objects {"events", "lengthSteps", "name"} and {"events", "name"}, without copying the events.
std::string computeRhythmPresetRevision(const std::string& name, std::int32_t length, const nlohmann::json& events) {
    return presetRevisionOfText("{\"events\":" + eventsText(events) + ",\"lengthSteps\":" + std::to_string(length) +
                                ",\"name\":" + compactPresetText(name) + "}");
}

std::string computeLegacyRhythmPresetRevision(const std::string& name, const nlohmann::json& events) {
    return presetRevisionOfText("{\"events\":" + eventsText(events) + ",\"name\":" + compactPresetText(name) + "}");
}

nlohmann::json decodeRhythmPresetLibrary(const nlohmann::json& library) {
    if (library.is_object()) {
        const auto version = readSchemaVersion(library, 0);
        if (version == 1 || version == 2) return decodeLegacyRhythmPresetLibrary(library, version);
    }
    return decodeRhythmPresetLibraryV3(library);
}

nlohmann::json decodeRhythmPresetLibraryV3(const nlohmann::json& library) {
    if (!isPresetLibraryOfVersion(library, kRhythmPresetSchemaVersion)) {
        refuse("Rhythm preset library has an unsupported schema");
    }
    nlohmann::json result = emptyLibrary();
    auto& presets = result["presets"];
    std::unordered_set<std::string> seenIds;
    for (const auto& entry : library.at("presets")) {
        if (!isPresetEntryWithKeys(entry, {"id", "name", "revision", "lengthSteps", "events"})) {
            refuse("Rhythm preset library contains an invalid entry");
        }
        checkIdentity(entry, seenIds);
        const auto& name = stringMember(entry, "name");
        const auto length = validateRhythmPresetLength(entry.at("lengthSteps"));
        auto events = validateRhythmPresetEvents(entry.at("events"), length);
        const auto& revision = stringMember(entry, "revision");
        if (!isPresetRevisionForm(revision)) refuse("Rhythm preset library contains an invalid revision");
        if (revision != computeRhythmPresetRevision(name, length, events)) {
            refuse("Rhythm preset revision does not match its contents");
        }
        presets.push_back(makeEntryValue(stringMember(entry, "id"), name, revision, length, std::move(events)));
    }
    return result;
}

nlohmann::json decodeLegacyRhythmPresetLibrary(const nlohmann::json& library, std::int32_t version) {
    if (!isPresetLibraryOfVersion(library, version)) refuse("Rhythm preset library has an unsupported schema");
    nlohmann::json result = emptyLibrary();
    auto& presets = result["presets"];
    std::unordered_set<std::string> seenIds;
    for (const auto& entry : library.at("presets")) {
        if (!isPresetEntryWithKeys(entry, {"id", "name", "revision", "events"})) {
            refuse("Rhythm preset library contains an invalid legacy entry");
        }
        checkIdentity(entry, seenIds);
        const auto& name = stringMember(entry, "name");
        auto events = validateRhythmPresetEvents(entry.at("events"), kLegacyRhythmPatternSteps);
        // Version 1 digested the events alone; version 2 added the name.
        const std::string expected =
            version == 1 ? presetRevisionOf(events) : computeLegacyRhythmPresetRevision(name, events);
        const auto& revision = stringMember(entry, "revision");
        if (!isPresetRevisionForm(revision) || revision != expected) {
            refuse("Rhythm preset legacy revision does not match its contents");
        }
        auto migrated = computeRhythmPresetRevision(name, kLegacyRhythmPatternSteps, events);
        presets.push_back(makeEntryValue(stringMember(entry, "id"), name, std::move(migrated),
                                         kLegacyRhythmPatternSteps, std::move(events)));
    }
    return result;
}

nlohmann::json makeRhythmPresetEntry(const std::string& id, const std::string& name, const nlohmann::json& payload) {
    if (!payload.is_object() || payload.size() != 2 || !payload.contains("lengthSteps") ||
        !payload.contains("events")) {
        refuse("Rhythm preset payload is invalid");
    }
    const auto length = validateRhythmPresetLength(payload.at("lengthSteps"));
    auto events = validateRhythmPresetEvents(payload.at("events"), length);
    auto revision = computeRhythmPresetRevision(name, length, events);
    return makeEntryValue(id, name, std::move(revision), length, std::move(events));
}

nlohmann::json renameRhythmPresetEntry(const nlohmann::json& entry, const std::string& name) {
    const nlohmann::json payload{{"lengthSteps", entry.at("lengthSteps")}, {"events", entry.at("events")}};
    return makeRhythmPresetEntry(entry.at("id").get<std::string>(), name, payload);
}

}  // namespace quillex
