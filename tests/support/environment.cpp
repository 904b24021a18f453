// Environment variables through setenv on POSIX and the wide _wputenv_s on Windows.
#include "support/environment.h"

#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#include "platform/windows_text.h"
#endif

namespace quillex::testing {

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& text) {
    std::optional<std::wstring> converted = platform::wideFromUtf8(text);
    if (!converted) throw std::invalid_argument("not UTF-8: " + text);
    return *converted;
}

}  // namespace

std::optional<std::string> environmentValue(const std::string& name) {
    const wchar_t* value = ::_wgetenv(wide(name).c_str());
    if (value == nullptr) return std::nullopt;
    return platform::narrowFromWide(value);
}

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // An empty value removes the variable: Windows has no set-but-empty ones.
    if (::_wputenv_s(wide(name).c_str(), value ? wide(*value).c_str() : L"") != 0) {
        throw std::runtime_error("could not set " + name);
    }
}

#else

std::optional<std::string> environmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
    const int result = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    if (result != 0) throw std::runtime_error("could not set " + name);
}

#endif

EnvironmentGuard::EnvironmentGuard(std::vector<std::string> names) {
    for (std::string& name : names) {
        std::optional<std::string> value = environmentValue(name);
        saved_.emplace_back(std::move(name), std::move(value));
    }
}

EnvironmentGuard::~EnvironmentGuard() {
    for (const auto& [name, value] : saved_) setEnvironment(name, value);
}

}  // namespace quillex::testing
