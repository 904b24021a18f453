// Where the library's own file lies: the platform's answer, replaceable per system.
#pragma once

#include <string>

namespace quillex::platform {

// Full path of the file (shared library or executable) that holds this
// library's code, as the platform reports it; empty when it cannot say.
std::string ownModuleFilePath();

}  // namespace quillex::platform
