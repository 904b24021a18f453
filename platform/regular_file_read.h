// Reading a whole regular file within a size bound, without ever blocking on what is not a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillex::platform {

// The bytes of the regular file at path, when it opens, is a regular file
// (after following symbolic links) and holds at most `limit` bytes. A folder,
// FIFO, socket or device gives no value without being read, and so does a
// file that cannot be opened or read or that is longer than the limit.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::size_t limit);

}  // namespace quillex::platform
