// Merging an extension text (figures, alterations) into a base quality.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillex {

// Which family a base quality belongs to; the first true one in this order
// decides the spelling.
struct ExtensionBaseFamily {
    bool plainDominant = false;
    bool major = false;
    bool minorMajor = false;
    bool minor = false;

    bool operator==(const ExtensionBaseFamily&) const = default;
};

// `part` occurs, and its first occurrence starts the text or follows a byte
// that is none of `blockers` ("9" after "b", "#" or "d" is no plain ninth).
bool firstOccurrenceFreeOf(std::string_view text, std::string_view part, std::string_view blockers);

// The quality spelling of `extension` applied on `base`; never fails (the
// base is returned unchanged when no rule applies).
std::string mergeQualityExtension(std::string_view extension, std::string_view base);

// The family's spelling with the given highest degree (13, 11, 9, else the
// seventh), or its add-thirteenth eleventh; empty for no family.
std::string spellExtendedQuality(const ExtensionBaseFamily& family, std::int32_t degree, bool addThirteenth);

}  // namespace quillex
