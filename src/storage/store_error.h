// The preset store's exception that carries the error code meant for the page.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace quillex::host {

// The message is the runtime error's text; `code` is the library's code prefix and a reason suffix.
class StoreError : public std::runtime_error {
public:
    StoreError(std::string code_, std::string message)
        : std::runtime_error(std::move(message)), code(std::move(code_)) {}

    std::string code;
};

}  // namespace quillex::host
