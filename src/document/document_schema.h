// The embedded document shape schema and the small checks that read it.
#pragma once

#include <cstdint>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace quillex {

// The parsed schema: shapes, version flags, defaults, constraints and enums of the
// current document format. Parsed once, on first use, and never changed.
const nlohmann::json& documentShapeSchema();

// The "schemaVersion" of an object as a 32-bit integer, or `defaultVersion` when the
// member is missing. A non-number member raises the library's type error, and so does
// a value that is not an object. A number beyond the 32-bit range reads as the nearest
// 32-bit limit (compared exactly), so it can never pass for a real version.
std::int32_t readSchemaVersion(const nlohmann::json& value, std::int32_t defaultVersion);

// An object with exactly the keys that the shape array names, in any order.
bool matchesSchemaShape(const nlohmann::json& value, const nlohmann::json& shape);

// An integer JSON number within {"minimum", "maximum", "step"} and on its step.
bool isWithinSchemaRange(const nlohmann::json& value, const nlohmann::json& range);

// A JSON string equal to one of the list's entries.
bool isSchemaEnumMember(const nlohmann::json& list, const nlohmann::json& value);

// A contour whose levels lie within the constraint named by `level` and whose
// mid position and bends lie within their own constraints.
bool isValidVelocityCurve(const nlohmann::json& schema, const nlohmann::json& curve, std::string_view level);

// The bend constraint; raises the library's out-of-range error when it is missing.
const nlohmann::json& attackCurveBendConstraint(const nlohmann::json& constraints);

// A full attack object that the schema allows.
bool isValidAttackSettings(const nlohmann::json& attack, const nlohmann::json& schema);

// An array of distinct integer note indices 0..127 (empty allowed).
bool isValidAttackOrder(const nlohmann::json& order);

// Exactly the schema's page count of {order, velocitySeed} pages that the schema allows.
bool isValidAttackOrders(const nlohmann::json& orders, const nlohmann::json& schema);

}  // namespace quillex
