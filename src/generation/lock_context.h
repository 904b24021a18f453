// The locked slots of a local generation request and the key they were written in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"

namespace quillex {

// One slot the user fixed: a rest, or a chord with its place on the source
// key's scale, so it can follow the final key by degree rather than by pitch.
struct LockedSlot {
    std::uint64_t index = 0;
    bool rest = false;
    std::string authoredSymbol;  // exactly as sent; empty for a rest
    Chord chord;
    AlteredDegree rootPlacement;
    std::optional<AlteredDegree> bassPlacement;

    bool operator==(const LockedSlot&) const = default;
};

struct LockContext {
    MusicalKey sourceKey;
    std::string sourceKeyRootText = "C";
    std::vector<LockedSlot> slots;  // strictly ascending indices

    bool operator==(const LockContext&) const = default;
};

// Checks "minorScaleType" of `object`: absent is natural; otherwise "natural"
// or "melodic", and only "natural" in a major key. Messages start with `prefix`.
bool validateMinorScaleType(const nlohmann::json& object, bool minor, bool& melodic, std::string& error,
                            std::string_view prefix);

// The lock context's "sourceKey" object: "root" and "mode" strings and an
// optional "minorScaleType".
bool parseLockSourceKey(const nlohmann::json& sourceKey, MusicalKey& key, std::string& rootText, std::string& error);

// The request's "lockContext"; C major with no slots when there is none.
// Never throws; a refused context gives no value and the first reason.
std::optional<LockContext> parseLockContext(const nlohmann::json& request, std::string& error);

}  // namespace quillex
