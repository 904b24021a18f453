// The "midi_input_config" bridge payload built from the user settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace quillex {

// (n + 2) x 12 for the leading decimal integer n of an octave text ("-2" gives
// 0, "7" gives 108). Raises std::invalid_argument or std::out_of_range as the
// standard conversion does, and std::invalid_argument for a value that is not a string.
int octaveToBaseNote(const nlohmann::json& value);

// {"previewBaseNote", "keyswitchBaseNote", "mappings"} from the settings;
// raises when a key is missing or an octave does not convert.
nlohmann::json buildMidiInputConfig(const nlohmann::json& settings);

}  // namespace quillex
