// MIDI input configuration from the settings' octaves and mappings.
#include "host/midi_input_config.h"

#include <stdexcept>
#include <string>

namespace quillex {

using nlohmann::json;

int octaveToBaseNote(const json& value) {
    if (!value.is_string()) throw std::invalid_argument("Octave setting is not a string");
    const int octave = std::stoi(value.get_ref<const std::string&>());
    // Octave texts are -2 to 8 by contract; the product is computed wide so that
    // an unchecked value cannot overflow.
    const long long note = (static_cast<long long>(octave) + 2) * 12;
    if (note < INT32_MIN || note > INT32_MAX) throw std::out_of_range("Octave setting is out of range");
    return static_cast<int>(note);
}

json buildMidiInputConfig(const json& settings) {
    return json{{"previewBaseNote", octaveToBaseNote(settings.at("previewOctave"))},
                {"keyswitchBaseNote", octaveToBaseNote(settings.at("gestureKeyswitchOctave"))},
                {"mappings", settings.at("midiMappings")}};
}

}  // namespace quillex
