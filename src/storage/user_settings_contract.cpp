// The embedded user settings contract and the value, mapping, octave and whole-object checks.
#include "storage/user_settings_contract.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <compare>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "protocol/json_text.h"

namespace quillex {
namespace {

using nlohmann::json;

// Kept as text, in the order the settings are presented; the parsed object
// walks its keys in byte order.
constexpr std::string_view kContractText = R"({
  "theme": {"type": "enum", "default": "corvane-12", "values": ["corvane-12", "arctic", "deep-ocean"]},
  "spellingPreference": {"type": "enum", "default": "fifths", "values": ["fifths", "flats", "sharps"]},
  "simplifyAccidentals": {"type": "boolean", "default": true},
  "pickerOrdering": {"type": "enum", "default": "sequential", "values": ["sequential", "fifths", "fourths"]},
  "clipPosition": {"type": "enum", "default": "loop", "values": ["playhead", "loop"]},
  "midiMappings": {"type": "midiMappings", "default": {}},
  "previewOctave": {"type": "enum", "default": "7", "values": ["-2", "-1", "0", "6", "7"]},
  "gestureKeyswitchOctave": {"type": "enum", "default": "6",
    "values": ["-2", "-1", "0", "1", "2", "3", "4", "5", "6", "7", "8"]},
  "defaultChordWheelPage": {"type": "enum", "default": "smart", "values": ["smart", "key"]},
  "defaultKeyPageDiatonicExtension": {"type": "enum", "default": 7, "values": [3, 7, 9]},
  "defaultBootProgression": {"type": "string", "default": "Dm7 G7 Cmaj7 Am7", "minLength": 1, "maxLength": 4096},
  "localGenerationTemperature": {"type": "number", "default": 0.25, "minimum": 0, "maximum": 1},
  "chordLabelPriority": {"type": "enum", "default": "symbol", "values": ["symbol", "roman"]},
  "defaultVelocity": {"type": "number", "default": 100, "minimum": 1, "maximum": 127, "integer": true},
  "chordBlockSubsection": {"type": "enum", "default": "intervals", "values": ["noteNames", "intervals", "gestureValues"]},
  "previewOnHover": {"type": "boolean", "default": true},
  "midiTriggersUseRhythm": {"type": "boolean", "default": true},
  "clipDestination": {"type": "enum", "default": "arrangement", "values": ["arrangement", "session"]},
  "pickerShuffleMode": {"type": "boolean", "default": false},
  "pickerCollapseMode": {"type": "boolean", "default": false},
  "pickerMoreMergeVariants": {"type": "boolean", "default": true},
  "gestureRandomize": {"type": "gestureRandomize",
    "default": {"scope": "slot", "order": true, "velocity": false, "keepFirst": false, "keepLast": false}},
  "patternRandomize": {"type": "patternRandomize",
    "default": {"randomizeEvents": true, "perLane": true, "randomizeVelocities": true, "resolution": 16,
                "velocityMinimum": 50, "velocityMaximum": 100}},
  "externalWindowGeometry": {"type": "externalWindowGeometry", "default": null,
    "minimumScale": 1, "maximumScale": 2.5, "maximumWidthScale": 32767}
})";

constexpr std::array<std::string_view, 5> kMidiMappingCommands = {"nav_prev", "nav_next", "tab_prev", "tab_next",
                                                                  "regenerate_progression"};

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

bool hasExactly(const json& object, std::initializer_list<std::string_view> keys) {
    if (!object.is_object() || object.size() != keys.size()) return false;
    for (std::string_view key : keys) {
        if (!object.contains(key)) return false;
    }
    return true;
}

// lo <= value <= hi, compared exactly.
bool within(const json& value, const json& lo, const json& hi) {
    return compareJsonNumbers(lo, value) <= 0 && compareJsonNumbers(value, hi) <= 0;
}

bool isFiniteNumber(const json& value) {
    return value.is_number() && (!value.is_number_float() || std::isfinite(value.get<double>()));
}

// A JSON integer (signed or unsigned, never floating) that fits 32 bits exactly.
std::optional<std::int32_t> exactInt32(const json& value) {
    if (!value.is_number_integer()) return std::nullopt;
    return readInt32Exact(value);
}

void checkEnum(const std::string& key, const json& entry, const json& value) {
    for (const json& allowed : entry.at("values")) {
        if (allowed == value) return;
    }
    fail("Invalid value for " + key);
}

void checkString(const std::string& key, const json& entry, const json& value) {
    if (!value.is_string()) fail(key + " must be a string");
    const json length(value.get_ref<const std::string&>().size());
    if (!within(length, entry.at("minLength"), entry.at("maxLength"))) fail("Invalid length for " + key);
}

void checkNumber(const std::string& key, const json& entry, const json& value) {
    if (!value.is_number()) fail(key + " must be numeric");
    const auto integer = entry.find("integer");
    const bool wantsInteger = integer != entry.end() && integer->is_boolean() && integer->get<bool>();
    if (!isFiniteNumber(value) || (wantsInteger && !value.is_number_integer()) ||
        !within(value, entry.at("minimum"), entry.at("maximum"))) {
        fail("Invalid value for " + key);
    }
}

void checkWindowGeometry(const std::string& key, const json& entry, const json& value) {
    if (value.is_null()) return;
    if (!hasExactly(value, {"widthScale", "heightScale"}) || !value.at("widthScale").is_number() ||
        !value.at("heightScale").is_number()) {
        fail(key + " must be null or contain exactly widthScale and heightScale");
    }
    const json& width = value.at("widthScale");
    const json& height = value.at("heightScale");
    const json& minimum = entry.at("minimumScale");
    if (!isFiniteNumber(width) || !isFiniteNumber(height) || !within(width, minimum, entry.at("maximumWidthScale")) ||
        !within(height, minimum, entry.at("maximumScale")) || compareJsonNumbers(height, width) > 0) {
        fail("Invalid external window geometry for " + key);
    }
}

void checkGestureRandomize(const std::string& key, const json& value) {
    const auto isBoolean = [&](const char* member) { return value.at(member).is_boolean(); };
    if (!hasExactly(value, {"scope", "order", "velocity", "keepFirst", "keepLast"}) ||
        !(value.at("scope") == "slot" || value.at("scope") == "all") || !isBoolean("order") || !isBoolean("velocity") ||
        !isBoolean("keepFirst") || !isBoolean("keepLast")) {
        fail("Invalid gesture randomize setting for " + key);
    }
}

void checkPatternRandomize(const std::string& key, const json& value) {
    const std::string message = "Invalid pattern randomize setting for " + key;
    if (!hasExactly(value, {"randomizeEvents", "perLane", "randomizeVelocities", "resolution", "velocityMinimum",
                            "velocityMaximum"})) {
        fail(message);
    }
    if (!value.at("randomizeEvents").is_boolean() || !value.at("perLane").is_boolean() ||
        !value.at("randomizeVelocities").is_boolean()) {
        fail(message);
    }
    const auto resolution = exactInt32(value.at("resolution"));
    const auto minimum = exactInt32(value.at("velocityMinimum"));
    const auto maximum = exactInt32(value.at("velocityMaximum"));
    if (!resolution || !minimum || !maximum) fail(message);
    if ((*resolution != 4 && *resolution != 8 && *resolution != 16) || *minimum < 1 || *maximum > 100 ||
        *minimum > *maximum) {
        fail(message);
    }
}

// Digits in the way std::stoi reads them: leading white space, one sign, then
// base-10 digits; `used` is how many characters were consumed.
std::int32_t convertLikeStoi(const std::string& text, std::size_t& used) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    std::int64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            overflow = magnitude > 2147483648LL;
        }
    }
    if (i == digitsStart) throw std::invalid_argument("invalid stoi argument");
    if (overflow || (!negative && magnitude > 2147483647LL)) throw std::out_of_range("stoi argument out of range");
    used = i;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

const json& userSettingsContract() {
    static const json contract = parseJsonText(kContractText);
    return contract;
}

const json& userSettingsDefaults() {
    static const json defaults = [] {
        json object = json::object();
        for (const auto& [key, entry] : userSettingsContract().items()) object[key] = entry.at("default");
        return object;
    }();
    return defaults;
}

void validateUserSettingValue(std::string_view keyView, const json& value) {
    const json& contract = userSettingsContract();
    const std::string key(keyView);
    const auto entryAt = contract.is_object() ? contract.find(key) : contract.end();
    if (entryAt == contract.end()) fail("Unknown user setting key: " + key);
    const json& entry = *entryAt;
    const std::string& type = entry.at("type").get_ref<const std::string&>();
    if (type == "enum") {
        checkEnum(key, entry, value);
    } else if (type == "boolean") {
        if (!value.is_boolean()) fail(key + " must be boolean");
    } else if (type == "midiMappings") {
        validateMidiMappings(value);
    } else if (type == "string") {
        checkString(key, entry, value);
    } else if (type == "number") {
        checkNumber(key, entry, value);
    } else if (type == "externalWindowGeometry") {
        checkWindowGeometry(key, entry, value);
    } else if (type == "gestureRandomize") {
        checkGestureRandomize(key, value);
    } else if (type == "patternRandomize") {
        checkPatternRandomize(key, value);
    } else {
        fail("Unsupported user setting contract type: " + type);
    }
}

void validateMidiMappings(const json& value) {
    if (!value.is_object()) fail("midiMappings must be an object");
    std::array<bool, 128> notes{};
    std::array<bool, 128> controllers{};
    for (const auto& [command, mapping] : value.items()) {
        if (std::find(kMidiMappingCommands.begin(), kMidiMappingCommands.end(), command) ==
            kMidiMappingCommands.end()) {
            fail("Unknown MIDI mapping command: " + command);
        }
        if (!hasExactly(mapping, {"type", "value"})) fail("MIDI mapping must contain exactly type and value");
        const json& type = mapping.at("type");
        if (!(type == "note" || type == "cc") || !mapping.at("value").is_number_integer()) {
            fail("MIDI mapping has invalid type or value");
        }
        const auto number = exactInt32(mapping.at("value"));
        if (!number || *number < 0 || *number > 127) fail("MIDI mapping value must be 0..127");
        bool& taken = (type == "note" ? notes : controllers)[static_cast<std::size_t>(*number)];
        if (taken) fail("Conflicting MIDI mappings");
        taken = true;
    }
}

std::int32_t parseOctaveSetting(const json& value, std::string_view name) {
    if (!value.is_string()) fail(std::string(name) + " must be an octave string");
    const std::string& text = value.get_ref<const std::string&>();
    std::size_t used = 0;
    const std::int32_t octave = convertLikeStoi(text, used);
    if (used != text.size() || octave < -2 || octave > 8) fail(std::string(name) + " is invalid");
    return (octave + 2) * 12;
}

bool isGestureKeyswitchOctaveFree(const json& settings, std::string_view octave) {
    static const json missing;
    const std::int32_t k = parseOctaveSetting(json(std::string(octave)), "gestureKeyswitchOctave");
    const auto preview = settings.is_object() ? settings.find("previewOctave") : settings.end();
    const std::int32_t p = parseOctaveSetting(preview != settings.end() ? *preview : missing, "previewOctave");
    if (k <= p + 16 && k + 7 >= p) return false;
    const auto mappings = settings.is_object() ? settings.find("midiMappings") : settings.end();
    if (mappings == settings.end() || !mappings->is_object()) return true;
    for (const auto& [command, mapping] : mappings->items()) {
        if (!mapping.is_object()) continue;
        const auto type = mapping.find("type");
        const auto number = mapping.find("value");
        if (type == mapping.end() || *type != "note" || number == mapping.end()) continue;
        const auto note = exactInt32(*number);
        if (note && *note >= k && *note <= k + 7) return false;
    }
    return true;
}

json validateUserSettings(const json& settings, bool fillDefaults) {
    if (!settings.is_object()) fail("User settings must be a JSON object");
    const json& contract = userSettingsContract();
    for (const auto& [key, value] : settings.items()) {
        if (!contract.contains(key)) fail("Unknown user setting key: " + key);
    }
    json result = json::object();
    for (const auto& [key, fallback] : userSettingsDefaults().items()) {
        const auto given = settings.find(key);
        if (given != settings.end()) {
            validateUserSettingValue(key, *given);
            result[key] = *given;
        } else if (fillDefaults) {
            result[key] = fallback;
        } else {
            fail("User settings missing required key: " + key);
        }
    }
    if (!isGestureKeyswitchOctaveFree(result, result.at("gestureKeyswitchOctave").get_ref<const std::string&>())) {
        fail("Gesture keyswitch range conflicts with the trigger range or a learned note command");
    }
    return result;
}

}  // namespace quillex
