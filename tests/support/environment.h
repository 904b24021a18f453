// Setting and restoring environment variables in tests, with UTF-8 values on every system.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillex::testing {

// The variable's value as UTF-8; no value when it is not set.
std::optional<std::string> environmentValue(const std::string& name);

// Sets the variable to the UTF-8 value, or removes it when there is none. On
// Windows the wide call sets it, so a value outside the ANSI code page
// reaches readers of the wide environment whole.
void setEnvironment(const std::string& name, const std::optional<std::string>& value);

// Saves the named variables and puts them back when destroyed.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::vector<std::string> names);
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
    ~EnvironmentGuard();

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace quillex::testing
