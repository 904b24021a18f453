// Host program controls of the patcher model: patcher pieces, window chrome, user resizes and closes, mouse, DPI, failures.
#pragma once

#include <string>
#include <vector>

namespace vessa_host {

// Runs a ":patcher", ":chrome", ":window", ":mouse", ":dpi" or ":fail" control for
// the object; false when the words are no such control (or malformed). `reply`
// receives a notice to print, if any.
bool runWindowControl(const std::vector<std::string>& words, void* object, std::string& reply);

}  // namespace vessa_host
