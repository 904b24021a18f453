// Many processes and threads on one settings file: the lock serialises every read-modify-write.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "storage/user_settings_contract.h"
#include "storage/user_settings_store.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kWritesPerProcess = 15;
#else
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

// Runs `body` in a child process; its return value is the exit status.
template <typename Body>
pid_t spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    return pid;
}

int exitCode(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class SettingsConcurrency : public ::testing::Test {
protected:
    testing::TempFolder folder;
    UserSettingsPaths paths{folder / "Quillex/user_settings.json", folder / "Quillex.user_settings.json"};
};

TEST_F(SettingsConcurrency, EightProcessesRewritingTheirOwnKeysLoseNoWrite) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    const std::vector<OwnedKey> owners = {
        {"theme", {"arctic", "deep-ocean", "corvane-12"}},
        {"defaultBootProgression", {}},
        {"defaultVelocity", {}},
        {"localGenerationTemperature", {0.0, 0.5, 1.0, 0.75}},
        {"previewOnHover", {false, true}},
        {"pickerOrdering", {"fifths", "fourths", "sequential"}},
        {"clipDestination", {"session", "arrangement"}},
        {"chordLabelPriority", {"roman", "symbol"}},
    };
    std::vector<pid_t> children;
    for (const OwnedKey& owned : owners) {
        children.push_back(spawn([&] {
            for (int i = 0; i < kWritesPerProcess; ++i) {
                if (!writeUserSettings(paths, owned.key, valueOf(owned, i).dump()).ok) return 1;
            }
            return 0;
        }));
    }
    for (pid_t child : children) EXPECT_EQ(exitCode(child), 0);

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
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
        children.push_back(spawn([&] {
            ::close(start[1]);
            char go = 0;
            if (::read(start[0], &go, 1) < 0) return 1;  // returns at end of file: everyone starts together
            const UserSettingsResult result = loadUserSettings(paths);
            if (!result.ok) return 1;
            return result.rewritten ? 10 : 0;
        }));
    }
    ::close(start[0]);
    ::close(start[1]);
    int rewrites = 0;
    for (pid_t child : children) {
        const int code = exitCode(child);
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
