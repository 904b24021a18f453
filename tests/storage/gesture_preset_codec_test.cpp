// Gesture presets: one message for every invalid gesture, the Advanced-mode rule, decoding and revisions.
#include "storage/gesture_preset_codec.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/refusal.h"
#include "preset_samples.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::advancedGesture;
using testing::ownRefusal;

TEST(GesturePreset, RefusesEveryInvalidGestureWithOneMessage) {
    const auto changed = [](const json::json_pointer& at, json value) {
        json gesture = advancedGesture();
        gesture[at] = std::move(value);
        return gesture;
    };
    json seven = advancedGesture();
    seven["attackOrders"].erase(7);
    json extra = advancedGesture();
    extra["newChordPresetId"] = nullptr;
    json missing = advancedGesture();
    missing.erase("velocity");
    const std::vector<std::pair<const char*, json>> invalid = {
        {"velocity 0", changed(json::json_pointer("/velocity"), 0)},
        {"velocity 128", changed(json::json_pointer("/velocity"), 128)},
        {"velocity 100.0", changed(json::json_pointer("/velocity"), 100.0)},
        {"velocity wrapping to 100", changed(json::json_pointer("/velocity"), (std::int64_t{1} << 32) + 100)},
        {"velocity as text", changed(json::json_pointer("/velocity"), "100")},
        {"seven pages", seven},
        {"repeated note", changed(json::json_pointer("/attackOrders/0/order"), {3, 3})},
        {"seed 0", changed(json::json_pointer("/attackOrders/2/velocitySeed"), 0)},
        {"unknown mode", changed(json::json_pointer("/attack/mode"), "directional")},
        {"range upside down", changed(json::json_pointer("/attack/velocityRange/minimum"), 101)},
        {"extra member", extra},
        {"missing member", missing},
        {"not an object", json::array()},
    };
    for (const auto& [what, gesture] : invalid) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ownRefusal([&] { validateGesturePreset(gesture); }), "Gesture preset is invalid");
    }
    for (const int velocity : {1, 127}) {
        EXPECT_EQ(validateGesturePreset(changed(json::json_pointer("/velocity"), velocity))["velocity"], velocity);
    }
}

TEST(GesturePreset, StoresOnlyAdvancedAttacks) {
    using namespace testing;
    json off = advancedGesture();
    off["attack"]["mode"] = "off";  // the schema's default new-chord gesture
    EXPECT_EQ(validateGesturePreset(off), off);
    EXPECT_EQ(ownRefusal([&] { makeGesturePresetEntry(kStrumId, "Strum", off); }),
              "Gesture presets must use Advanced mode");
    EXPECT_EQ(makeGesturePresetEntry(kStrumId, "Strum", advancedGesture()), strumEntry());

    json storedOff = strumEntry();
    storedOff["gesture"] = off;
    storedOff["revision"] = computeGesturePresetRevision("Strum", off);
    EXPECT_EQ(ownRefusal([&] { decodeGesturePresetLibrary(presetLibrary(1, {storedOff})); }),
              "Gesture presets must use Advanced mode");
}

TEST(GesturePreset, RevisionCoversTheNameAsRawUtf8) {
    using namespace testing;
    EXPECT_EQ(computeGesturePresetRevision("Strum", advancedGesture()), kStrumRevision);
    const json renamed = renameGesturePresetEntry(strumEntry(), kStromeName);
    EXPECT_EQ(
        renamed,
        (json{{"id", kStrumId}, {"name", kStromeName}, {"revision", kStromeRevision}, {"gesture", advancedGesture()}}));
}

TEST(GesturePresetLibrary, DecodesOrRefusesWithTheFirstFailingCheck) {
    using namespace testing;
    const json library = presetLibrary(1, {strumEntry()});
    EXPECT_EQ(decodeGesturePresetLibrary(library), library);

    const auto with = [](const char* key, json value) {
        json entry = strumEntry();
        entry[key] = std::move(value);
        return entry;
    };
    std::string upper = kStrumRevision;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    json badGesture = advancedGesture();
    badGesture["velocity"] = 0;
    const std::string unsupported = "Gesture preset library has an unsupported schema";
    const std::string invalidEntry = "Gesture preset library contains an invalid entry";
    const std::string mismatch = "Gesture preset revision does not match its contents";
    const std::vector<std::pair<json, std::string>> cases = {
        {presetLibrary(2, {}), unsupported},
        {presetLibrary(0, {}), unsupported},
        {{{"schemaVersion", 1}}, unsupported},
        {presetLibrary(1, std::vector<json>(257, strumEntry())), unsupported},
        {presetLibrary(1, {with("extra", 1)}), invalidEntry},
        {presetLibrary(1, {with("id", "not-an-id")}), invalidEntry},
        {presetLibrary(1, {strumEntry(), strumEntry()}), "Gesture preset library contains duplicate IDs"},
        {presetLibrary(1, {with("name", "Strum ")}), "Gesture preset name is not canonical"},
        {presetLibrary(1, {with("name", " ")}), "Gesture preset name must not be empty"},
        {presetLibrary(1, {with("gesture", badGesture)}), "Gesture preset is invalid"},
        {presetLibrary(1, {with("revision", upper)}), mismatch},
        {presetLibrary(1, {with("revision", kStromeRevision)}), mismatch},
        {presetLibrary(1, {with("revision", "")}), mismatch},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value.dump().substr(0, 200));
        EXPECT_EQ(ownRefusal([&] { decodeGesturePresetLibrary(value); }), expected);
    }
}

}  // namespace
}  // namespace quillex
