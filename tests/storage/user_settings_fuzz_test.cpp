// Seeded fuzzing of settings loads: every file either loads whole or fails the load with its bytes untouched.
#include <filesystem>
#include <limits>
#include <random>
#include <string>
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
constexpr int kMutations = 120;
constexpr int kRandomFiles = 30;
#else
constexpr int kMutations = 400;
constexpr int kRandomFiles = 100;
#endif

const std::vector<json>& scalarPool() {
    static const std::vector<json> pool = {nullptr,
                                           true,
                                           false,
                                           0,
                                           -1,
                                           7,
                                           7.0,
                                           127,
                                           128,
                                           0.25,
                                           4294967312ULL,
                                           std::numeric_limits<std::uint64_t>::max(),
                                           -1e300,
                                           "",
                                           "6",
                                           "7",
                                           "-2",
                                           " 5",
                                           "arctic",
                                           "\xc3\xa9",
                                           json::array(),
                                           json::object(),
                                           json{{"type", "note"}, {"value", 100}},
                                           json{{"widthScale", 2}, {"heightScale", 1}}};
    return pool;
}

const std::vector<std::string>& keyPool() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all = {"showIntervals", "previewShortcuts", "nav_prev", "widthScale", "unknown"};
        for (const auto& [key, entry] : userSettingsContract().items()) all.push_back(key);
        return all;
    }();
    return keys;
}

std::size_t pick(std::mt19937& rng, std::size_t size) {
    return std::uniform_int_distribution<std::size_t>(0, size - 1)(rng);
}

// A structural change: a member replaced, removed or added, at the top or one level down.
json mutateValue(json settings, std::mt19937& rng) {
    const int steps = 1 + static_cast<int>(pick(rng, 3));
    for (int s = 0; s < steps; ++s) {
        json* target = &settings;
        const std::string& key = keyPool()[pick(rng, keyPool().size())];
        if (pick(rng, 4) == 0 && settings.contains(key) && settings[key].is_object()) target = &settings[key];
        switch (pick(rng, 3)) {
            case 0:
                target->erase(key);
                break;
            case 1:
                (*target)[key] = scalarPool()[pick(rng, scalarPool().size())];
                break;
            default:
                if (!target->empty()) {
                    auto it = target->begin();
                    std::advance(it, static_cast<std::ptrdiff_t>(pick(rng, target->size())));
                    *it = scalarPool()[pick(rng, scalarPool().size())];
                }
        }
    }
    return settings;
}

// A byte-level change: flips, insertions, deletions and repeats.
std::string mutateBytes(std::string text, std::mt19937& rng) {
    const int steps = 1 + static_cast<int>(pick(rng, 4));
    for (int s = 0; s < steps && !text.empty(); ++s) {
        const std::size_t at = pick(rng, text.size());
        switch (pick(rng, 4)) {
            case 0:
                text[at] = static_cast<char>(pick(rng, 256));
                break;
            case 1:
                text.insert(at, 1, "{}[]\",:\\0e-"[pick(rng, 11)]);
                break;
            case 2:
                text.erase(at, 1 + pick(rng, 8));
                break;
            default:
                text.insert(at, text.substr(at, 1 + pick(rng, 16)));
        }
    }
    return text;
}

class SettingsLoadFuzz : public ::testing::Test {
protected:
    // Loads `bytes` as the current file: a success must leave a file that loads
    // again unchanged; a failure must be a load error with the bytes as they were.
    void expectLoadOrRefusal(const std::string& bytes, const std::string& context) {
        std::filesystem::create_directories(folder / "Quillex");
        testing::putFile(paths.current, bytes);
        const UserSettingsResult result = loadUserSettings(paths);
        if (result.ok) {
            const UserSettingsResult again = loadUserSettings(paths);
            EXPECT_EQ(again, (UserSettingsResult{true, result.settingsJson, "", "", false})) << context;
            EXPECT_EQ(testing::fileText(paths.current), result.settingsJson) << context;
            ++loads;
        } else {
            EXPECT_EQ(result.code, "user_settings_load_error") << context;
            EXPECT_FALSE(result.message.empty()) << context;
            EXPECT_EQ(testing::fileText(paths.current), bytes) << context;
            ++refusals;
        }
    }

    testing::TempFolder folder;
    UserSettingsPaths paths{folder / "Quillex/user_settings.json", ""};
    int loads = 0;
    int refusals = 0;
};

TEST_F(SettingsLoadFuzz, AValidFileCutAtEveryOffsetIsRefusedUntouched) {
    json settings = userSettingsDefaults();
    settings["defaultBootProgression"] = "C\xc3\xa9 \xe2\x99\xaf";
    settings["midiMappings"] = {{"nav_prev", {{"type", "cc"}, {"value", 3}}}};
    const std::string text = settings.dump();
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        expectLoadOrRefusal(text.substr(0, cut), "cut at " + std::to_string(cut));
    }
    EXPECT_EQ(loads, 0);
    expectLoadOrRefusal(text, "whole");
    EXPECT_EQ(loads, 1);
}

TEST_F(SettingsLoadFuzz, MutatedAndRandomFilesLoadOrAreRefusedUntouched) {
    std::mt19937 rng(1407);
    const json base = userSettingsDefaults();
    for (int i = 0; i < kMutations; ++i) {
        std::string bytes;
        switch (i % 3) {
            case 0:
                bytes = mutateValue(base, rng).dump();
                break;
            case 1:
                bytes = mutateBytes(base.dump(), rng);
                break;
            default:
                bytes = mutateBytes(mutateValue(base, rng).dump(), rng);
        }
        expectLoadOrRefusal(bytes, "mutation " + std::to_string(i) + ": " + bytes);
    }
    for (int i = 0; i < kRandomFiles; ++i) {
        std::string bytes(pick(rng, 64), '\0');
        for (char& c : bytes) c = static_cast<char>(pick(rng, 256));
        expectLoadOrRefusal(bytes, "random file " + std::to_string(i));
    }
    // Both outcomes must be reached, or the fuzzing tells nothing.
    EXPECT_GT(loads, 0);
    EXPECT_GT(refusals, 0);
}

}  // namespace
}  // namespace quillex
