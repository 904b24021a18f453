// Test helpers that tell the reader's own refusals from the JSON library's errors.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace quillex::testing {

// The text of a std::runtime_error the call throws; other outcomes are described instead.
template <typename Call>
std::string ownRefusal(Call call) {
    try {
        call();
    } catch (const nlohmann::json::exception& e) {
        return std::string("library error: ") + e.what();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

// The text of a JSON library exception the call throws; other outcomes are described instead.
template <typename Call>
std::string libraryRefusal(Call call) {
    try {
        call();
    } catch (const nlohmann::json::exception& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("own refusal: ") + e.what();
    }
    return "accepted";
}

// The library's own text for a member that `at()` cannot find.
inline std::string libraryNotFoundText(const std::string& key) {
    return libraryRefusal([&] { (void)nlohmann::json::object().at(key); });
}

// The library's own text for `at()` on a value that is not an object.
inline std::string libraryAtText(const nlohmann::json& notAnObject) {
    return libraryRefusal([&] { (void)notAnObject.at("x"); });
}

}  // namespace quillex::testing
