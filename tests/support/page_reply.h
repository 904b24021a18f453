// What the page sees of a handler's reply: the bridge's "ok" rule, for tests.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quillex::testing {

// "ok" is false for an error reply type, a payload holding "error", or a
// payload holding "success": false; true otherwise.
inline bool pageOk(std::string_view type, const nlohmann::json& payload) {
    if (type == "error" || type == "parse_error") return false;
    if (type.size() >= 6 && type.substr(type.size() - 6) == "_error") return false;
    if (payload.is_object()) {
        if (payload.contains("error")) return false;
        const auto success = payload.find("success");
        if (success != payload.end() && success->is_boolean() && !success->get<bool>()) return false;
    }
    return true;
}

// The JSON library's own message for a failed conversion, so tests never hand-type it.
template <typename T>
std::string libraryTypeErrorText(const nlohmann::json& value) {
    try {
        (void)value.get<T>();
    } catch (const nlohmann::json::exception& e) {
        return e.what();
    }
    return {};
}

// The library's message for `value()` on something that is not an object.
inline std::string libraryValueErrorText(const nlohmann::json& notAnObject) {
    try {
        (void)notAnObject.value("x", 0);
    } catch (const nlohmann::json::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace quillex::testing
