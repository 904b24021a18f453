// The user settings contract: its 24 keys with types, defaults and allowed values, and the checks built on it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// The embedded contract, parsed once: one member per setting key, each with
// "default", "type" and the type's parameters. Walked in key order.
const nlohmann::json& userSettingsContract();

// One member per contract key holding that key's default; built once.
const nlohmann::json& userSettingsDefaults();

// Checks one value against its key's contract entry; throws std::runtime_error
// with the first broken rule's message.
void validateUserSettingValue(std::string_view key, const nlohmann::json& value);

// Checks the "midiMappings" object: known commands, {type, value} mappings with
// values 0..127, and no note or controller number mapped twice.
void validateMidiMappings(const nlohmann::json& value);

// The MIDI note of the lowest note of an octave given as text ("-2" .. "8"),
// converted the way std::stoi does: std::invalid_argument("invalid stoi
// argument") without digits, std::out_of_range("stoi argument out of range")
// beyond 32 bits, and std::runtime_error(name + " is invalid") for trailing
// text or an octave outside -2 .. 8.
std::int32_t parseOctaveSetting(const nlohmann::json& value, std::string_view name);

// True when the eight-note keyswitch range starting at `octave` touches neither
// the seventeen-note trigger range of settings' "previewOctave" nor a learned
// "note" command of settings' "midiMappings".
bool isGestureKeyswitchOctaveFree(const nlohmann::json& settings, std::string_view octave);

// The settings object checked against the contract and holding exactly its
// keys: missing keys take their defaults when fillDefaults is set and are an
// error otherwise. Throws std::runtime_error on the first failure in key order.
nlohmann::json validateUserSettings(const nlohmann::json& settings, bool fillDefaults);

}  // namespace quillex
