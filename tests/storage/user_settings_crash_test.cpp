// Writers killed at random moments and at every step: the settings file always holds a whole, recent value.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "storage/user_settings_contract.h"
#include "storage/user_settings_store.h"
#include "support/child_process.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using platform::FileCall;

// Process start-up is slow under sanitizers and under wine: fewer kills there.
#if defined(QUILLEX_SANITIZED) || defined(_WIN32)
constexpr int kRandomKills = 20;
#else
constexpr int kRandomKills = 100;
#endif

// The writing helper (tests/helpers/settings_writer.cpp) storing takes from `firstTake` on.
std::unique_ptr<testing::ChildProcess> startWriter(const std::string& settingsPath, std::int64_t firstTake,
                                                   const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {settingsPath, "", "takes", std::to_string(firstTake)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return std::make_unique<testing::ChildProcess>(testing::helperProgram("settings_writer"), arguments);
}

// The last take the writer acknowledged before it went, if any; reads until it has gone.
std::optional<std::int64_t> lastAcknowledged(testing::ChildProcess& writer) {
    std::optional<std::int64_t> last;
    while (const std::optional<std::string> line = writer.readLine()) last = std::stoll(*line);
    return last;
}

std::string take(std::int64_t n) { return "take " + std::to_string(n); }

class SettingsCrash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadUserSettings(paths).ok);
#ifndef _WIN32  // no alarm on Windows: the test runner's time-out stands in
        // A load that hangs on a lock left by a dead writer fails the test instead of stalling it.
        ::alarm(120);
#endif
    }
#ifndef _WIN32
    void TearDown() override { ::alarm(0); }
#endif

    // The stored progression after a crash: the lock must be free, and the
    // file load whole, unchanged.
    std::string storedProgression() {
        // A lock left by a dead writer would hang the load: fail instead.
        EXPECT_TRUE(testing::lockIsFree(paths.current + ".lock"));
        if (!testing::lockIsFree(paths.current + ".lock")) return "";
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
        const auto writer = startWriter(paths.current, next);
        ASSERT_TRUE(writer->started());
        ASSERT_EQ(writer->readLine(), "ready");
        // Every fourth round lets one write finish first, so kills also land
        // between later writes however slow the disk is.
        std::optional<std::int64_t> firstAck;
        if (round % 4 == 3) {
            const std::optional<std::string> line = writer->readLine();
            ASSERT_TRUE(line.has_value());
            firstAck = std::stoll(*line);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(rng)));
        writer->kill();
        std::optional<std::int64_t> acked = lastAcknowledged(*writer);
        if (!acked) acked = firstAck;
        ASSERT_TRUE(writer->wait().killed) << "the writer stopped on its own in round " << round;

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
        const auto writer =
            startWriter(paths.current, next, {std::string(platform::fileCallName(call)), std::to_string(occurrence)});
        ASSERT_TRUE(writer->started());
        ASSERT_EQ(writer->readLine(), "ready");
        const std::optional<std::int64_t> acked = lastAcknowledged(*writer);
        const std::string context =
            "killed at " + std::string(platform::fileCallName(call)) + " #" + std::to_string(occurrence);
        ASSERT_TRUE(writer->wait().killed) << context;
        EXPECT_FALSE(acked) << context;
        const std::string stored = storedProgression();
        EXPECT_TRUE(stored == before || stored == take(next)) << context << ": " << stored;
        before = stored;
        ++next;
    }
}

}  // namespace
}  // namespace quillex
