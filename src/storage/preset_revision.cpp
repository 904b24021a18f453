// Digest of the compact preset text.
#include "storage/preset_revision.h"

#include <cstdint>

#include <nlohmann/json.hpp>

#include "digest/sha256.h"

namespace quillex {

std::string compactPresetText(const nlohmann::json& value) {
    // Object members are held sorted by key already; indent -1 and no ASCII escaping
    // give the compact raw UTF-8 form.
    return value.dump();
}

std::string presetRevisionOf(const nlohmann::json& value) { return presetRevisionOfText(compactPresetText(value)); }

std::string presetRevisionOfText(std::string_view text) {
    std::uint8_t digest[kSha256DigestSize];
    sha256(text.data(), text.size(), digest);
    return toLowerHex(digest, sizeof digest);
}

bool isPresetRevisionForm(std::string_view revision) {
    if (revision.size() != 64) return false;
    for (const char c : revision) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

}  // namespace quillex
