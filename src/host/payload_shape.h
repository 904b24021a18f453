// What a bare JSON object, sent without a message name, asks for.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillex {

// The request type of a bare payload: its "type" when it has one (a "type" that
// is not a string raises the library's type_error), else the first table row
// that may be inferred from a shape and whose validator accepts the payload.
// Empty when neither names a type.
std::string inferPayloadType(const nlohmann::json& payload);

// The "error" payload for a bare object whose type could not be inferred:
// "ambiguous_payload" for a lone "chord", else "unknown_payload_shape".
nlohmann::json makePayloadShapeError(const nlohmann::json& payload);

}  // namespace quillex
