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

    std::vector<EventKey> keys;
    keys.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto& event = events[i];
        if (!matchesRhythmEventShape(event, shape) || !event.at("offset").is_number_integer() ||
            !event.at("duration").is_number_integer() || !event.at("velocity").is_number_integer() ||
            !event.at("part").is_string()) {
            throw failure(label, " event has an invalid shape");
        }
        // Exact 32-bit reads: a huge integer is refused, never wrapped into range.
        const auto offset = readInt32Exact(event.at("offset"));
        const auto duration = readInt32Exact(event.at("duration"));
        const auto part = partIndex(parts, event.at("part"));
        if (!offset || !duration || !part || *offset < 0 || *offset >= length || *duration < 1 ||
            static_cast<std::int64_t>(*offset) + *duration > length ||
            !isWithinSchemaRange(event.at("velocity"), velocityRange)) {
            throw failure(label, " event has invalid values");
        }
        keys.push_back(EventKey{*offset, *duration, *part, i});
    }

    std::stable_sort(keys.begin(), keys.end(), keyBefore);
    std::vector<std::int64_t> partEnds(parts.size(), 0);
    nlohmann::json sorted = nlohmann::json::array();
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
