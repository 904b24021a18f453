// Generation and checking of version-4 preset IDs.
#include "storage/preset_id.h"

#include <array>
#include <cstdint>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/random_device.h"

namespace quillex {

namespace {

constexpr int kMaximumCandidates = 16;

bool isLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::string randomCandidate() {
    std::array<std::uint8_t, 16> bytes{};
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(platform::randomDeviceWord() & 0xFF);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    constexpr char kDigits[] = "0123456789abcdef";
    std::string id;
    id.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id.push_back('-');
        id.push_back(kDigits[bytes[i] >> 4]);
        id.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return id;
}

bool isTaken(const nlohmann::json& library, const std::string& id) {
    const auto presets = library.find("presets");
    if (presets == library.end() || !presets->is_array()) return false;
    for (const auto& entry : *presets) {
        if (!entry.is_object()) continue;
        const auto found = entry.find("id");
        if (found != entry.end() && found->is_string() && found->get_ref<const std::string&>() == id) return true;
    }
    return false;
}

}  // namespace

bool isValidPresetId(std::string_view id) {
    if (id.size() != 36) return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != '-' : !isLowerHexDigit(id[i])) return false;
    }
    return id[14] == '4' && (id[19] == '8' || id[19] == '9' || id[19] == 'a' || id[19] == 'b');
}

std::string generatePresetId(const nlohmann::json& library, std::string_view label) {
    for (int attempt = 0; attempt < kMaximumCandidates; ++attempt) {
        std::string id = randomCandidate();
        if (!isTaken(library, id)) return id;
    }
    throw std::runtime_error("Could not generate a unique " + std::string(label) + " ID");
}

}  // namespace quillex
