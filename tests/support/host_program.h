// Process services for tests that drive the stand-in host program: scratch folders and child runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillex::testing {

// A new, empty folder under the system's temporary folder whose name starts with `prefix`.
std::filesystem::path makeScratchFolder(const std::string& prefix);

// The module's file name in the binaries folder: "quillex.so", or "quillex.dll" on Windows.
std::string moduleFileName();

// Runs the host program of the binaries folder (the working folder) with the
// module there and `arguments` after it, reading `input` and writing its
// output to `output`; its exit status, or -1 when it could not be run.
int runHostProgram(const std::vector<std::string>& arguments, const std::filesystem::path& input,
                   const std::filesystem::path& output);

// The largest peak memory, in KiB, of any host program run so far.
long hostProgramPeakKilobytes();

}  // namespace quillex::testing
