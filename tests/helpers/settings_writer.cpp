// Test helper: writes user settings in a loop and acknowledges each success on a pipe, for crash tests.
//
//   quillex_settings_writer <settings path> <first take> <ack fd> [<file call> <occurrence>]
//
// Take n stores "take n" as "defaultBootProgression". After each successful
// write the take number goes to the ack descriptor as 8 bytes; a -1 first says
// the program is running. With a file call named, the process kills itself
// with SIGKILL at that call's given occurrence (counted from 1).
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "storage/user_settings_store.h"

namespace {

bool acknowledge(int fd, std::int64_t value) {
    return ::write(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: %s <settings path> <first take> <ack fd> [<file call> <occurrence>]\n", argv[0]);
        return 2;
    }
    const quillex::UserSettingsPaths paths{argv[1], ""};
    const std::int64_t first = std::strtoll(argv[2], nullptr, 10);
    const int ackFd = std::atoi(argv[3]);
    if (argc == 6) {
        const std::optional<quillex::platform::FileCall> stopAt = quillex::platform::fileCallFromName(argv[4]);
        if (!stopAt) {
            std::fprintf(stderr, "unknown file call %s\n", argv[4]);
            return 2;
        }
        const long occurrence = std::atol(argv[5]);
        quillex::platform::setFilePrimitivesForTesting(quillex::platform::gatedFilePrimitives(
            quillex::platform::realFilePrimitives(), [call = *stopAt, occurrence, seen = 0L](auto c) mutable {
                if (c == call && ++seen == occurrence) ::raise(SIGKILL);
                return 0;
            }));
    }
    if (!acknowledge(ackFd, -1)) return 3;
    for (std::int64_t take = first;; ++take) {
        const std::string value = nlohmann::json("take " + std::to_string(take)).dump();
        const quillex::UserSettingsResult result = quillex::writeUserSettings(paths, "defaultBootProgression", value);
        if (!result.ok) {
            std::fprintf(stderr, "write failed: %s\n", result.message.c_str());
            return 1;
        }
        if (!acknowledge(ackFd, take)) return 3;
    }
}
