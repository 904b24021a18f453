// Validation of custom rhythm patterns against the document shape schema, with their canonical order.
#pragma once

#include <cstdint>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// An object with exactly the keys of the schema's "rhythmEvent" shape.
bool matchesRhythmEventShape(const nlohmann::json& event, const nlohmann::json& shape);

// Whether `a` comes before `b`: offset ascending, then part in the order of `parts`
// (the "rhythmPart" list), then duration descending. Both must be valid events.
bool compareRhythmEvents(const nlohmann::json& a, const nlohmann::json& b, const nlohmann::json& parts);

// The events of a pattern of `length` sixteenth steps, checked and sorted canonically.
// Throws std::runtime_error with `label` in front of: " length is invalid", " must be an
// array of at most 48 events", " event has an invalid shape", " event has invalid values",
// " contains overlapping <part> events". Numbers are compared exactly, never narrowed.
nlohmann::json validateRhythmPattern(const nlohmann::json& events, std::int32_t length, const nlohmann::json& schema,
                                     std::string_view label);

}  // namespace quillex
