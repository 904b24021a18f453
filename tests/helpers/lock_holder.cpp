// Test helper: takes the file lock on a path and holds it until killed or its input ends.
//
//   quillex_lock_holder <lock path>
//
// Prints "locked" once the lock is held, or "failed" when it could not be taken.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/child_process.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args = quillex::testing::programArguments(argc, argv);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillex_lock_holder <lock path>\n");
        return 2;
    }
    const quillex::platform::FileResult<quillex::platform::FileLock> lock = quillex::platform::lockFile(args[1]);
    quillex::testing::writeLine(lock.ok() ? "locked" : "failed");
    while (std::getchar() != EOF) {}
    return lock.ok() ? 0 : 1;
}
