// Test helper: writes or loads user settings from its own process, for crash and concurrency tests.
//
//   quillex_settings_writer <settings path> <legacy path> takes <first take> [<file call> <occurrence>]
//     Take n stores "take n" as "defaultBootProgression", forever. Prints "ready" once
//     running, then the number of each take once its write succeeded. With a file call
//     named, the process kills itself at that call's given occurrence (counted from 1).
//   quillex_settings_writer <settings path> <legacy path> writes <key> <value JSON>...
//     Sets the key to each value in turn; exits 0 when every write succeeded, else 1.
//   quillex_settings_writer <settings path> <legacy path> load
//     Waits for the end of its input, then loads once: exits 10 when the load wrote
//     the file, 0 when it did not, 1 when it failed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "storage/user_settings_store.h"
#include "support/child_process.h"

namespace {

using quillex::testing::writeLine;

int usage() {
    std::fprintf(stderr,
                 "usage: quillex_settings_writer <settings path> <legacy path> "
                 "(takes <first take> [<file call> <occurrence>] | writes <key> <value>... | load)\n");
    return 2;
}

int writeTakes(const quillex::UserSettingsPaths& paths, const std::vector<std::string>& args) {
    if (args.size() != 5 && args.size() != 7) return usage();
    const std::int64_t first = std::strtoll(args[4].c_str(), nullptr, 10);
    if (args.size() == 7) {
        const std::optional<quillex::platform::FileCall> stopAt = quillex::platform::fileCallFromName(args[5]);
        if (!stopAt) {
            std::fprintf(stderr, "unknown file call %s\n", args[5].c_str());
            return 2;
        }
        const long occurrence = std::atol(args[6].c_str());
        quillex::platform::setFilePrimitivesForTesting(quillex::platform::gatedFilePrimitives(
            quillex::platform::realFilePrimitives(), [call = *stopAt, occurrence, seen = 0L](auto c) mutable {
                if (c == call && ++seen == occurrence) quillex::testing::killThisProcess();
                return 0;
            }));
    }
    writeLine("ready");
    for (std::int64_t take = first;; ++take) {
        const std::string value = nlohmann::json("take " + std::to_string(take)).dump();
        const quillex::UserSettingsResult result = quillex::writeUserSettings(paths, "defaultBootProgression", value);
        if (!result.ok) {
            std::fprintf(stderr, "write failed: %s\n", result.message.c_str());
            return 1;
        }
        writeLine(std::to_string(take));
    }
}

int writeValues(const quillex::UserSettingsPaths& paths, const std::vector<std::string>& args) {
    if (args.size() < 5) return usage();
    for (std::size_t i = 5; i < args.size(); ++i) {
        const quillex::UserSettingsResult result = quillex::writeUserSettings(paths, args[4], args[i]);
        if (!result.ok) {
            std::fprintf(stderr, "write failed: %s\n", result.message.c_str());
            return 1;
        }
    }
    return 0;
}

int loadOnce(const quillex::UserSettingsPaths& paths) {
    while (std::getchar() != EOF) {}
    const quillex::UserSettingsResult result = quillex::loadUserSettings(paths);
    if (!result.ok) {
        std::fprintf(stderr, "load failed: %s\n", result.message.c_str());
        return 1;
    }
    return result.rewritten ? 10 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = quillex::testing::programArguments(argc, argv);
    if (args.size() < 4) return usage();
    const quillex::UserSettingsPaths paths{args[1], args[2]};
    if (args[3] == "takes") return writeTakes(paths, args);
    if (args[3] == "writes") return writeValues(paths, args);
    if (args[3] == "load" && args.size() == 4) return loadOnce(paths);
    return usage();
}
