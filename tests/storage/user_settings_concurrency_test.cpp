// Many processes and threads on one settings file: the lock serialises every read-modify-write.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "storage/user_settings_contract.h"
#include "storage/user_settings_store.h"
#include "support/child_process.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;

// Process start-up and file calls are slow under sanitizers and under wine: fewer writes there.
#if defined(_WIN32)
constexpr std::size_t kProcesses = 4;
constexpr int kWritesPerProcess = 15;
#elif defined(QUILLEX_SANITIZED)
constexpr std::size_t kProcesses = 8;
constexpr int kWritesPerProcess = 15;
#else
constexpr std::size_t kProcesses = 8;
constexpr int kWritesPerProcess = 50;
#endif

// Each process owns one key and the values it cycles through.
struct OwnedKey {
    const char* key;
    std::vector<json> values;
};

json valueOf(const OwnedKey& owned, int i) {
    if (std::string(owned.key) == "defaultBootProgression") return "step " + std::to_string(i);
    if (std::string(owned.key) == "defaultVelocity") return 1 + i;
    return owned.values[static_cast<std::size_t>(i) % owned.values.size()];
}

// The settings helper (tests/helpers/settings_writer.cpp) on the paths, in one of its modes.
std::unique_ptr<testing::ChildProcess> startHelper(const UserSettingsPaths& paths,
                                                   const std::vector<std::string>& mode) {
    std::vector<std::string> arguments = {paths.current, paths.legacy};
    arguments.insert(arguments.end(), mode.begin(), mode.end());
    return std::make_unique<testing::ChildProcess>(testing::helperProgram("settings_writer"), arguments);
}

// How the child ended: its exit code, or 128 + 9 when it was killed.
int exitCode(testing::ChildProcess& child) {
    const testing::ChildExit exit = child.wait();
    return exit.killed ? 137 : exit.code;
}

class SettingsConcurrency : public ::testing::Test {
protected:
    testing::TempFolder folder;
    UserSettingsPaths paths{folder / "Quillex/user_settings.json", folder / "Quillex.user_settings.json"};
};

TEST_F(SettingsConcurrency, EightProcessesRewritingTheirOwnKeysLoseNoWrite) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    std::vector<OwnedKey> owners = {
        {"theme", {"arctic", "deep-ocean", "corvane-12"}},
        {"defaultBootProgression", {}},
        {"defaultVelocity", {}},
        {"localGenerationTemperature", {0.0, 0.5, 1.0, 0.75}},
        {"previewOnHover", {false, true}},
        {"pickerOrdering", {"fifths", "fourths", "sequential"}},
        {"clipDestination", {"session", "arrangement"}},
        {"chordLabelPriority", {"roman", "symbol"}},
    };
    owners.resize(std::min(owners.size(), kProcesses));
    std::vector<std::unique_ptr<testing::ChildProcess>> children;
    for (const OwnedKey& owned : owners) {
        std::vector<std::string> mode = {"writes", owned.key};
        for (int i = 0; i < kWritesPerProcess; ++i) mode.push_back(valueOf(owned, i).dump());
        children.push_back(startHelper(paths, mode));
        EXPECT_TRUE(children.back()->started());
    }
    for (const auto& child : children) EXPECT_EQ(exitCode(*child), 0);

    const UserSettingsResult loaded = loadUserSettings(paths);
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.rewritten);
    const json settings = json::parse(loaded.settingsJson);
    for (const OwnedKey& owned : owners) {
        EXPECT_EQ(settings.at(owned.key), valueOf(owned, kWritesPerProcess - 1)) << owned.key;
    }
}

TEST_F(SettingsConcurrency, ASecondThreadWaitsForTheLockOfTheFirst) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    platform::FileLock held = acquireUserSettingsLock(paths.current + ".lock");
    std::atomic<bool> written{false};
    std::thread second([&] { written = writeUserSettings(paths, "theme", "\"arctic\"").ok; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(written.load());
    EXPECT_EQ(json::parse(testing::fileText(paths.current)).at("theme"), "corvane-12");
    held.release();
    second.join();
    EXPECT_TRUE(written.load());
}

TEST_F(SettingsConcurrency, FirstLoadsRacingFromALegacyFileLeaveOneValidFile) {
    const std::string legacy = R"({"showIntervals":false,"previewOctave":"6"})";
    testing::putFile(paths.legacy, legacy);
    // Each helper loads once its input ends: closing them all lets everyone start together.
    std::vector<std::unique_ptr<testing::ChildProcess>> children;
    for (std::size_t i = 0; i < kProcesses; ++i) {
        children.push_back(startHelper(paths, {"load"}));
        EXPECT_TRUE(children.back()->started());
    }
    for (const auto& child : children) child->closeInput();
    int rewrites = 0;
    for (const auto& child : children) {
        const int code = exitCode(*child);
        EXPECT_TRUE(code == 0 || code == 10) << code;
        rewrites += code == 10;
    }
    EXPECT_EQ(rewrites, 1);
    json expected = userSettingsDefaults();
    expected["chordBlockSubsection"] = "noteNames";
    expected["previewOctave"] = "6";
    expected["gestureKeyswitchOctave"] = "5";
    EXPECT_EQ(testing::fileText(paths.current), expected.dump());
    EXPECT_EQ(testing::fileText(paths.legacy), legacy);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "Quillex")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"user_settings.json", "user_settings.json.lock"}));
}

}  // namespace
}  // namespace quillex
