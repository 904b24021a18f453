// Shape, range, order and overlap checks of rhythm-pattern events.
#include "storage/rhythm_pattern_validation.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "document/document_schema.h"
#include "protocol/json_number.h"

namespace quillex {

namespace {

// What the canonical order and the overlap walk need of one event.
struct EventKey {
    std::int64_t offset = 0;
    std::int64_t duration = 0;
    std::size_t part = 0;
    std::size_t input = 0;  // position in the given array
};

bool keyBefore(const EventKey& a, const EventKey& b) {
    if (a.offset != b.offset) return a.offset < b.offset;
    if (a.part != b.part) return a.part < b.part;
    return a.duration > b.duration;
}

std::optional<std::size_t> partIndex(const nlohmann::json& parts, const nlohmann::json& part) {
    if (!part.is_string()) return std::nullopt;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == part) return i;
    }
    return std::nullopt;
}

std::int64_t wideInteger(const nlohmann::json& value) {
    // Only for events already checked: every number read here fits 32 bits.
    return readInt32Exact(value).value_or(0);
}

// An object with exactly the four members this code reads, to compare the schema's shape with.
const nlohmann::json& kKnownEventMembers() {
    static const nlohmann::json members = {{"offset", 0}, {"duration", 0}, {"part", 0}, {"velocity", 0}};
    return members;
}

std::runtime_error failure(std::string_view label, std::string_view text) {
    return std::runtime_error(std::string(label) + std::string(text));
}

}  // namespace

bool matchesRhythmEventShape(const nlohmann::json& event, const nlohmann::json& shape) {
    return matchesSchemaShape(event, shape);
}

bool compareRhythmEvents(const nlohmann::json& a, const nlohmann::json& b, const nlohmann::json& parts) {
    const auto key = [&](const nlohmann::json& event) {
        return EventKey{wideInteger(event.at("offset")), wideInteger(event.at("duration")),
                        partIndex(parts, event.at("part")).value_or(parts.size()), 0};
    };
    return keyBefore(key(a), key(b));
}

nlohmann::json validateRhythmPattern(const nlohmann::json& events, std::int32_t length, const nlohmann::json& schema,
                                     std::string_view label) {
    const auto& pattern = schema.at("constraints").at("rhythmPattern");
    const auto& velocityRange = schema.at("constraints").at("rhythmEventVelocity");
    const auto& parts = schema.at("enums").at("rhythmPart");
    const auto& shape = schema.at("shapes").at("rhythmEvent");
    const auto minimumSteps = pattern.at("minimumStepCount").get<std::int64_t>();
    const auto maximumSteps = pattern.at("maximumStepCount").get<std::int64_t>();
    const auto maximumEvents = pattern.at("maximumEvents").get<std::int64_t>();

    if (length < minimumSteps || length > maximumSteps) throw failure(label, " length is invalid");
    if (!events.is_array() || static_cast<std::int64_t>(events.size()) > maximumEvents) {
        throw failure(label, " must be an array of at most " + std::to_string(maximumEvents) + " events");
    }

    // The schema's limits are read once per pattern, not once per event.
    const auto velocityMinimum = readInt32Exact(velocityRange.at("minimum"));
    const auto velocityMaximum = readInt32Exact(velocityRange.at("maximum"));
    const auto velocityStep = readInt32Exact(velocityRange.at("step"));
    if (!velocityMinimum || !velocityMaximum || !velocityStep || *velocityStep <= 0) {
        throw std::runtime_error("Rhythm event velocity constraint is invalid");
    }
    const bool knownShape = shape.size() == 4 && matchesSchemaShape(kKnownEventMembers(), shape);

    std::vector<EventKey> keys;
    keys.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto& event = events[i];
        // One pass over the event's members finds the four values (and proves the shape
        // when the schema's shape is these four keys).
        const nlohmann::json* offsetValue = nullptr;
        const nlohmann::json* durationValue = nullptr;
        const nlohmann::json* partValue = nullptr;
        const nlohmann::json* velocityValue = nullptr;
        if (event.is_object()) {
            for (auto member = event.begin(); member != event.end(); ++member) {
                const std::string& key = member.key();
                if (key == "offset") offsetValue = &member.value();
                if (key == "duration") durationValue = &member.value();
                if (key == "part") partValue = &member.value();
                if (key == "velocity") velocityValue = &member.value();
            }
        }
        const bool allFour = offsetValue && durationValue && partValue && velocityValue;
        const bool shaped =
            knownShape ? allFour && event.size() == 4 : allFour && matchesRhythmEventShape(event, shape);
        if (!shaped || !offsetValue->is_number_integer() || !durationValue->is_number_integer() ||
            !velocityValue->is_number_integer() || !partValue->is_string()) {
            throw failure(label, " event has an invalid shape");
        }
        // Exact 32-bit reads: a huge integer is refused, never wrapped into range.
        const auto offset = readInt32Exact(*offsetValue);
        const auto duration = readInt32Exact(*durationValue);
        const auto velocity = readInt32Exact(*velocityValue);
        const auto part = partIndex(parts, *partValue);
        if (!offset || !duration || !velocity || !part || *offset < 0 || *offset >= length || *duration < 1 ||
            static_cast<std::int64_t>(*offset) + *duration > length || *velocity < *velocityMinimum ||
            *velocity > *velocityMaximum ||
            (static_cast<std::int64_t>(*velocity) - *velocityMinimum) % *velocityStep != 0) {
            throw failure(label, " event has invalid values");
        }
        keys.push_back(EventKey{*offset, *duration, *part, i});
    }

    std::stable_sort(keys.begin(), keys.end(), keyBefore);
    std::vector<std::int64_t> partEnds(parts.size(), 0);
    nlohmann::json sorted = nlohmann::json::array();
    sorted.get_ref<nlohmann::json::array_t&>().reserve(keys.size());
    for (const auto& key : keys) {
        if (key.offset < partEnds[key.part]) {
            throw failure(label, " contains overlapping " + parts[key.part].get<std::string>() + " events");
        }
        partEnds[key.part] = key.offset + key.duration;
        sorted.push_back(events[key.input]);
    }
    return sorted;
}

}  // namespace quillex
