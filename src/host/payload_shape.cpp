// Shape rules for bare payloads, over the request table's inferable rows.
#include "host/payload_shape.h"

#include "host/bridge_request_table.h"

namespace quillex {

using nlohmann::json;

std::string inferPayloadType(const json& payload) {
    if (payload.is_object()) {
        const auto type = payload.find("type");
        if (type != payload.end()) return type->get<std::string>();
    }
    for (const BridgeRequestSpec& row : bridgeRequestTable()) {
        if (row.takesPayloadObject && row.payloadValidator != nullptr && row.payloadValidator(payload)) {
            return std::string(row.type);
        }
    }
    return {};
}

json makePayloadShapeError(const json& payload) {
    const bool loneChord = payload.is_object() && payload.contains("chord") && !payload.contains("style") &&
                           !payload.contains("modifiers") && !payload.contains("getModifiers");
    if (loneChord) {
        return {{"code", "ambiguous_payload"}, {"message", "Ambiguous chord payload: include explicit type"}};
    }
    return {{"code", "unknown_payload_shape"}, {"message", "Unknown JSON message format"}};
}

}  // namespace quillex
