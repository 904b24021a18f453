// Test helper: creates rhythm presets one after another from its own process, for crash and concurrency tests.
//
//   quillex_preset_creator <library path> <creates> <transaction prefix> <name prefix> <payload JSON>
//                          [<file call> <occurrence>]
//
// Create n uses the transaction ID <transaction prefix>n and the name <name prefix>n.
// Prints "ready" once running, then "<id> <revision>" of each preset once created;
// exits 0 after the last, 3 when a create fails. With a file call named, the process
// kills itself at that call's given occurrence (counted from 1) during its second create.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "storage/native_preset_file_system.h"
#include "storage/preset_library.h"
#include "support/child_process.h"

int main(int argc, char** argv) {
    using quillex::platform::FileCall;
    const std::vector<std::string> args = quillex::testing::programArguments(argc, argv);
    if (args.size() != 6 && args.size() != 8) {
        std::fprintf(stderr,
                     "usage: quillex_preset_creator <library path> <creates> <transaction prefix> <name prefix> "
                     "<payload JSON> [<file call> <occurrence>]\n");
        return 2;
    }
    const int creates = std::atoi(args[2].c_str());
    std::optional<FileCall> killAt;
    long occurrence = 0;
    if (args.size() == 8) {
        killAt = quillex::platform::fileCallFromName(args[6]);
        if (!killAt) {
            std::fprintf(stderr, "unknown file call %s\n", args[6].c_str());
            return 2;
        }
        occurrence = std::atol(args[7].c_str());
    }
    quillex::PresetLibrary store(quillex::rhythmPresetLibraryDefinition(), args[1],
                                 quillex::host::makeNativePresetFileSystem());
    quillex::testing::writeLine("ready");
    for (int n = 0; n < creates; ++n) {
        if (killAt && n == 1) {
            quillex::platform::setFilePrimitivesForTesting(quillex::platform::gatedFilePrimitives(
                quillex::platform::realFilePrimitives(), [call = *killAt, occurrence, seen = 0L](FileCall c) mutable {
                    if (c == call && ++seen == occurrence) quillex::testing::killThisProcess();
                    return 0;
                }));
        }
        const quillex::PresetStoreResult result =
            store.create(args[3] + std::to_string(n), args[4] + std::to_string(n), args[5]);
        if (!result.ok) {
            std::fprintf(stderr, "create failed: %s\n", result.message.c_str());
            return 3;
        }
        const nlohmann::json entry = nlohmann::json::parse(result.entryJson);
        quillex::testing::writeLine(entry["id"].get<std::string>() + " " + entry["revision"].get<std::string>());
    }
    return 0;
}
