// The answer of a request handler: a reply type and its payload object.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace quillex {

struct BridgeReply {
    std::string type;
    nlohmann::json payload;

    friend bool operator==(const BridgeReply&, const BridgeReply&) = default;
};

}  // namespace quillex
