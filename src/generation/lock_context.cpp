// Reading and checking the lock context of a local generation request.
#include "generation/lock_context.h"

#include <nlohmann/json.hpp>

#include "theory/pitch_class.h"
#include "theory/roman_numeral_derivation.h"

namespace quillex {

namespace {

constexpr const char* kInvalidContext = "Invalid local generation lock context";
constexpr const char* kInvalidSlot = "Invalid local generation locked slot";

const nlohmann::json* findMember(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

bool fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

// Reads one element of "slots" into `slot`; the previous index enforces the order.
bool parseLockedSlot(const nlohmann::json& element, const std::optional<std::uint64_t>& previous,
                     const KeyContext& sourceKey, LockedSlot& slot, std::string& error) {
    const nlohmann::json* index = findMember(element, "index");
    const nlohmann::json* type = findMember(element, "type");
    // Parsed text stores non-negative integers as unsigned; a value built in
    // code may hold one as signed, which counts as long as it is not negative.
    const bool wholeIndex = index != nullptr && (index->is_number_unsigned() ||
                                                 (index->is_number_integer() && index->get<std::int64_t>() >= 0));
    if (!wholeIndex || type == nullptr || !type->is_string()) return fail(error, kInvalidSlot);
    slot.index = index->get<std::uint64_t>();
    if (previous && slot.index <= *previous) {
        return fail(error, "Local generation locked slot indices must be unique and ascending");
    }
    const std::string& kind = type->get_ref<const std::string&>();
    const nlohmann::json* symbol = findMember(element, "symbol");
    if (kind == "rest") {
        if (symbol != nullptr) return fail(error, "Locked rest must not contain a chord symbol");
        slot.rest = true;
        return true;
    }
    if (kind != "chord" || symbol == nullptr || !symbol->is_string()) {
        return fail(error, "Locked chord is missing its authored symbol");
    }
    slot.authoredSymbol = symbol->get<std::string>();
    std::optional<Chord> chord = parseChordSymbol(slot.authoredSymbol);
    if (!chord) return fail(error, "Invalid locked chord symbol: " + slot.authoredSymbol);
    slot.chord = std::move(*chord);
    slot.rootPlacement = locateRootDegree(slot.chord, sourceKey, rootSpellingToken(slot.authoredSymbol));
    if (!slot.rootPlacement.valid) {
        return fail(error, "Locked chord root placement could not be resolved: " + slot.authoredSymbol);
    }
    if (slot.chord.bass) {
        Chord bassNote = slot.chord;
        bassNote.root = *slot.chord.bass;
        const AlteredDegree bass = locateRootDegree(bassNote, sourceKey, slashBassSpellingToken(slot.authoredSymbol));
        if (!bass.valid) {
            return fail(error, "Locked chord bass placement could not be resolved: " + slot.authoredSymbol);
        }
        slot.bassPlacement = bass;
    }
    return true;
}

}  // namespace

bool validateMinorScaleType(const nlohmann::json& object, bool minor, bool& melodic, std::string& error,
                            std::string_view prefix) {
    melodic = false;
    const nlohmann::json* value = findMember(object, "minorScaleType");
    if (value == nullptr) return true;
    const std::string* text = value->is_string() ? &value->get_ref<const std::string&>() : nullptr;
    if (text == nullptr || (*text != "natural" && *text != "melodic")) {
        return fail(error, std::string(prefix) + " minorScaleType must be natural or melodic");
    }
    if (!minor && *text != "natural") {
        return fail(error, std::string(prefix) + " major mode requires natural minorScaleType");
    }
    melodic = *text == "melodic";
    return true;
}

bool parseLockSourceKey(const nlohmann::json& sourceKey, MusicalKey& key, std::string& rootText, std::string& error) {
    constexpr const char* kInvalidKey = "Invalid lock source key";
    const nlohmann::json* root = findMember(sourceKey, "root");
    const nlohmann::json* mode = findMember(sourceKey, "mode");
    if (root == nullptr || !root->is_string() || mode == nullptr || !mode->is_string()) {
        return fail(error, kInvalidKey);
    }
    const std::string token = rootSpellingToken(root->get_ref<const std::string&>());
    const std::optional<PitchClass> pitchClass = parseKeyRoot(token);
    if (!pitchClass || token.empty() || noteLetterIndex(static_cast<std::uint8_t>(token[0])) < 0) {
        return fail(error, kInvalidKey);
    }
    const std::string& modeText = mode->get_ref<const std::string&>();
    if (modeText != "major" && modeText != "minor") return fail(error, kInvalidKey);
    const bool minor = modeText == "minor";
    bool melodic = false;
    if (!validateMinorScaleType(sourceKey, minor, melodic, error, "Lock source key")) return false;
    key = MusicalKey{*pitchClass, minor ? kMinorMode : kMajorMode, melodic ? kMelodicMinorScale : kNaturalMinorScale};
    rootText = token;
    return true;
}

std::optional<LockContext> parseLockContext(const nlohmann::json& request, std::string& error) {
    const nlohmann::json* context = findMember(request, "lockContext");
    if (context == nullptr) return LockContext{};
    const nlohmann::json* sourceKey = findMember(*context, "sourceKey");
    const nlohmann::json* slots = findMember(*context, "slots");
    if (sourceKey == nullptr || slots == nullptr || !slots->is_array() || slots->empty()) {
        error = kInvalidContext;
        return std::nullopt;
    }
    LockContext result;
    if (!parseLockSourceKey(*sourceKey, result.sourceKey, result.sourceKeyRootText, error)) return std::nullopt;
    const KeyContext keyContext{result.sourceKey, result.sourceKeyRootText};
    std::optional<std::uint64_t> previous;
    result.slots.reserve(slots->size());
    for (const nlohmann::json& element : *slots) {
        LockedSlot slot;
        if (!parseLockedSlot(element, previous, keyContext, slot, error)) return std::nullopt;
        previous = slot.index;
        result.slots.push_back(std::move(slot));
    }
    return result;
}

}  // namespace quillex
