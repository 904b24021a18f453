// Strict UTF-8 decoding and trimming of preset names.
#include "storage/preset_name.h"

#include <cstdint>
#include <stdexcept>

namespace quillex {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

PresetNameScan scanPresetName(std::string_view text) {
    constexpr PresetNameScan invalid{PresetNameScan::Status::invalidUtf8, 0};
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        std::uint32_t value = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
            smallest = 0x10000;
        } else {
            return invalid;
        }
        if (length > text.size() - i) return invalid;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return invalid;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return invalid;
        if (value < 0x20 || (value >= 0x7F && value <= 0x9F)) {
            return PresetNameScan{PresetNameScan::Status::controlCharacter, 0};
        }
        i += length;
        ++count;
    }
    return PresetNameScan{PresetNameScan::Status::valid, count};
}

std::size_t countPresetNameCodePoints(std::string_view text) {
    const auto scan = scanPresetName(text);
    switch (scan.status) {
        case PresetNameScan::Status::invalidUtf8:
            throw std::runtime_error("Preset name is not valid UTF-8");
        case PresetNameScan::Status::controlCharacter:
            throw std::runtime_error("Preset name cannot contain control characters");
        case PresetNameScan::Status::valid:
            break;
    }
    return scan.codePoints;
}

std::string canonicalPresetName(std::string_view name, std::string_view label) {
    std::size_t first = 0;
    std::size_t last = name.size();
    while (first < last && isBlank(name[first])) ++first;
    while (last > first && isBlank(name[last - 1])) --last;
    if (first == last) throw std::runtime_error(std::string(label) + " name must not be empty");
    const std::string_view trimmed = name.substr(first, last - first);
    const std::size_t count = countPresetNameCodePoints(trimmed);
    if (count < 1 || count > kMaximumPresetNameCodePoints) {
        throw std::runtime_error(std::string(label) + " name must contain 1 to 64 characters");
    }
    return std::string(trimmed);
}

}  // namespace quillex
