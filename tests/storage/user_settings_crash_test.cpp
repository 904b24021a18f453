// Writers killed at random moments and at every step: the settings file always holds a whole, recent value.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "storage/user_settings_contract.h"
#include "storage/user_settings_store.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using platform::FileCall;

#ifdef QUILLEX_SANITIZED
constexpr int kRandomKills = 20;
#else
constexpr int kRandomKills = 100;
#endif

std::string writerProgram() {
    return platform::joinPath(platform::parentDirectory(platform::ownModuleFilePath()), "quillex_settings_writer");
}

// One running writer: its process and the read end of its acknowledgements.
struct Writer {
    pid_t pid = -1;
    int acks = -1;
};

Writer startWriter(const std::string& settingsPath, std::int64_t firstTake,
                   const std::vector<std::string>& extra = {}) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const std::string program = writerProgram();
    const std::string take = std::to_string(firstTake);
    const std::string ackFd = std::to_string(pipeFds[1]);
    std::vector<const char*> argv = {program.c_str(), settingsPath.c_str(), take.c_str(), ackFd.c_str()};
    for (const std::string& arg : extra) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::execv(program.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    return Writer{pid, pipeFds[0]};
}

bool readAck(int fd, std::int64_t& value) {
    std::size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(&value);
    while (got < sizeof value) {
        const ssize_t n = ::read(fd, bytes + got, sizeof value - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Kills the writer (if it still runs) and returns the last take it acknowledged, if any.
std::optional<std::int64_t> stopWriter(Writer& writer, int& status) {
    ::kill(writer.pid, SIGKILL);
    ::waitpid(writer.pid, &status, 0);
    std::optional<std::int64_t> last;
    std::int64_t value = 0;
    while (readAck(writer.acks, value)) {
        if (value >= 0) last = value;
    }
    ::close(writer.acks);
    return last;
}

std::string take(std::int64_t n) { return "take " + std::to_string(n); }

class SettingsCrash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadUserSettings(paths).ok);
        // A load that hangs on a lock left by a dead writer fails the test instead of stalling it.
        ::alarm(120);
    }
    void TearDown() override { ::alarm(0); }

    // The stored progression after a crash: the file must load whole, unchanged.
    std::string storedProgression() {
        const UserSettingsResult result = loadUserSettings(paths);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_FALSE(result.rewritten) << "a crash left a file that needed repair";
        if (!result.ok) return "";
        return json::parse(result.settingsJson).at("defaultBootProgression").get<std::string>();
    }

    testing::TempFolder folder;
    UserSettingsPaths paths{folder / "Quillex/user_settings.json", ""};
};

TEST_F(SettingsCrash, KilledAtRandomMomentsTheFileHoldsTheLastOrTheInFlightTake) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> delayMicros(0, 12000);
    std::string expectedBefore = userSettingsDefaults().at("defaultBootProgression").get<std::string>();
    std::int64_t next = 1;
    int roundsWithAcks = 0;
    int roundsLeavingTemporary = 0;
    for (int round = 0; round < kRandomKills; ++round) {
        Writer writer = startWriter(paths.current, next);
        ASSERT_GE(writer.pid, 0);
        std::int64_t ready = 0;
        ASSERT_TRUE(readAck(writer.acks, ready));
        ASSERT_EQ(ready, -1);
        // Every fourth round lets one write finish first, so kills also land
        // between later writes however slow the disk is.
        std::optional<std::int64_t> firstAck;
        if (round % 4 == 3) {
            std::int64_t value = 0;
            ASSERT_TRUE(readAck(writer.acks, value));
            firstAck = value;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(rng)));
        int status = 0;
        std::optional<std::int64_t> acked = stopWriter(writer, status);
        if (!acked) acked = firstAck;
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own in round " << round;

        if (acked) ++roundsWithAcks;
        if (std::filesystem::exists(paths.current + ".tmp")) ++roundsLeavingTemporary;
        const std::string stored = storedProgression();
        const std::int64_t inFlight = acked ? *acked + 1 : next;
        const std::string confirmed = acked ? take(*acked) : expectedBefore;
        EXPECT_TRUE(stored == confirmed || stored == take(inFlight))
            << "round " << round << ": stored " << stored << ", acknowledged " << confirmed;
        expectedBefore = stored;
        next = inFlight + 1;
    }
    EXPECT_GE(roundsWithAcks, kRandomKills / 4);
    RecordProperty("roundsWithAcks", roundsWithAcks);
    RecordProperty("roundsLeavingTemporary", roundsLeavingTemporary);
}

TEST_F(SettingsCrash, KilledAtEveryStepOfAWriteTheFileIsOldOrNew) {
    // The calls of one write, in order, from a clean run in this process.
    std::vector<FileCall> calls;
    {
        testing::ScopedFilePrimitives seam(
            platform::gatedFilePrimitives(platform::realFilePrimitives(), [&](FileCall c) {
                calls.push_back(c);
                return 0;
            }));
        ASSERT_TRUE(writeUserSettings(paths, "defaultBootProgression", json(take(0)).dump()).ok);
    }
    std::string before = take(0);
    std::int64_t next = 1;
    std::vector<int> seen(platform::kFileCallCount, 0);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const FileCall call = calls[i];
        const int occurrence = ++seen[static_cast<int>(call)];
        Writer writer =
            startWriter(paths.current, next, {std::string(platform::fileCallName(call)), std::to_string(occurrence)});
        ASSERT_GE(writer.pid, 0);
        int status = 0;
        ::waitpid(writer.pid, &status, 0);
        std::int64_t value = 0;
        std::optional<std::int64_t> acked;
        while (readAck(writer.acks, value)) {
            if (value >= 0) acked = value;
        }
        ::close(writer.acks);
        const std::string context =
            "killed at " + std::string(platform::fileCallName(call)) + " #" + std::to_string(occurrence);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << context;
        EXPECT_FALSE(acked) << context;
        const std::string stored = storedProgression();
        EXPECT_TRUE(stored == before || stored == take(next)) << context << ": " << stored;
        before = stored;
        ++next;
    }
}

}  // namespace
}  // namespace quillex
