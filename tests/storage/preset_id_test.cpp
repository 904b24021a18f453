// Preset IDs: the version-4 form, the bytes behind a new ID, and the bounded retry on collisions.
#include "storage/preset_id.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/random_device.h"

namespace quillex {
namespace {

// Installs a word source for one test and restores the device afterwards.
class InjectedBytes {
public:
    explicit InjectedBytes(std::function<std::uint32_t()> source) {
        platform::setRandomWordSourceForTesting(std::move(source));
    }
    ~InjectedBytes() { platform::setRandomWordSourceForTesting({}); }
};

TEST(PresetId, AcceptsOnlyLowerCaseVersionFourUuids) {
    EXPECT_TRUE(isValidPresetId("0b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4b"));
    EXPECT_TRUE(isValidPresetId("00000000-0000-4000-b000-000000000000"));
    for (const char* bad : {
             "",
             "0B7C5C2E-4D1A-4F3B-8A6E-2C9D1E0F3A4B",   // upper case
             "0b7c5c2e-4d1a-3f3b-8a6e-2c9d1e0f3a4b",   // version 3
             "0b7c5c2e-4d1a-4f3b-ca6e-2c9d1e0f3a4b",   // variant c
             "0b7c5c2e-4d1a-4f3b-7a6e-2c9d1e0f3a4b",   // variant 7
             "0b7c5c2e4d1a-4f3b-8a6e-2c9d1e0f3a4b0",   // dash moved
             "0b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4",    // 35 characters
             "0b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4b0",  // 37 characters
             "0b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4g",   // not hexadecimal
             "{b7c5c2e-4d1a-4f3b-8a6e-2c9d1e0f3a4b",
         }) {
        EXPECT_FALSE(isValidPresetId(bad)) << bad;
    }
}

TEST(PresetId, UsesTheLowByteOfSixteenDrawsWithVersionAndVariantBits) {
    std::uint32_t next = 0;
    // High bits set in every word: only the low byte may reach the ID.
    InjectedBytes bytes([&] { return 0xABCDEF00u | (0xF0u + next++); });
    const nlohmann::json library = {{"presets", nlohmann::json::array()}};
    EXPECT_EQ(generatePresetId(library, "Rhythm preset"), "f0f1f2f3-f4f5-46f7-b8f9-fafbfcfdfeff");
    EXPECT_EQ(next, 16u);

    std::uint32_t zero = 0;
    InjectedBytes zeros([&] { return zero; });
    const std::string id = generatePresetId(library, "Rhythm preset");
    EXPECT_EQ(id, "00000000-0000-4000-8000-000000000000");
    EXPECT_TRUE(isValidPresetId(id));
}

TEST(PresetId, DrawsAgainOnACollisionAndGivesUpAfterSixteenCandidates) {
    std::uint32_t draws = 0;
    InjectedBytes bytes([&] { return draws++ < 16 ? 0u : 1u; });
    const nlohmann::json taken = {{"presets", {{{"id", "00000000-0000-4000-8000-000000000000"}}}}};
    EXPECT_EQ(generatePresetId(taken, "Gesture preset"), "01010101-0101-4101-8101-010101010101");
    EXPECT_EQ(draws, 32u);

    std::uint32_t always = 0;
    InjectedBytes stuck([&] {
        ++always;
        return 0u;
    });
    try {
        generatePresetId(taken, "Gesture preset");
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Could not generate a unique Gesture preset ID");
    }
    EXPECT_EQ(always, 16u * 16u);
}

TEST(PresetId, DeviceIdsAreValidAndDistinct) {
    const nlohmann::json library = {{"presets", nlohmann::json::array()}};
    const std::string a = generatePresetId(library, "Rhythm preset");
    const std::string b = generatePresetId(library, "Rhythm preset");
    EXPECT_TRUE(isValidPresetId(a)) << a;
    EXPECT_TRUE(isValidPresetId(b)) << b;
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace quillex
