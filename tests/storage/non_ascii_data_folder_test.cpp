// The settings store and both preset libraries in a data folder whose name is not ASCII.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "preset_samples.h"
#include "storage/preset_library.h"
#include "storage/user_settings_store.h"
#include "support/environment.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;

// "Zoë Ünïcødé 音楽" as raw UTF-8: two-byte and three-byte characters and blanks.
const std::string kFolderName =
    std::string("Zo\xc3\xab \xc3\x9cn\xc3\xaf") + "c\xc3\xb8" + "d\xc3\xa9 \xe9\x9f\xb3\xe6\xa5\xbd";

TEST(NonAsciiDataFolder, SettingsAndBothPresetLibrariesLoadSaveAndLockThere) {
    const testing::TempFolder scratch;
    const std::string appData = scratch / kFolderName;
    const testing::EnvironmentGuard saved({"APPDATA"});
    testing::setEnvironment("APPDATA", appData);
    const std::string quillex = scratch / (kFolderName + "/Quillex");

    const UserSettingsPaths paths = userSettingsPaths();
    EXPECT_EQ(paths.current, scratch / (kFolderName + "/Quillex/user_settings.json"));
    const UserSettingsResult first = loadUserSettings(paths);
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_TRUE(first.rewritten);
    const UserSettingsResult written = writeUserSettings(paths, "theme", "\"arctic\"");
    ASSERT_TRUE(written.ok) << written.message;
    const UserSettingsResult reloaded = loadUserSettings(paths);
    EXPECT_EQ(reloaded, (UserSettingsResult{true, written.settingsJson, "", "", false}));
    EXPECT_EQ(testing::fileText(paths.current), written.settingsJson);
    {
        const platform::FileLock held = acquireUserSettingsLock(paths.current + ".lock");
        EXPECT_FALSE(testing::lockIsFree(paths.current + ".lock"));
    }
    EXPECT_TRUE(testing::lockIsFree(paths.current + ".lock"));

    const std::string rhythmPayload =
        json{{"lengthSteps", 4}, {"events", {testing::rhythmEvent(0, 1, "top", 9)}}}.dump();
    for (const bool rhythm : {true, false}) {
        const auto store =
            makePresetLibrary(rhythm ? rhythmPresetLibraryDefinition() : gesturePresetLibraryDefinition());
        const std::string name = rhythm ? "rhythm_presets.json" : "gesture_presets.json";
        EXPECT_EQ(store->libraryPath(), scratch / (kFolderName + "/Quillex/" + name));
        const PresetStoreResult created =
            store->create("t", testing::kCafeName, rhythm ? rhythmPayload : testing::advancedGesture().dump());
        ASSERT_TRUE(created.ok) << created.message;
        const PresetStoreResult listed = store->list();
        ASSERT_TRUE(listed.ok) << listed.message;
        EXPECT_EQ(listed.libraryJson, created.libraryJson);
        EXPECT_EQ(testing::fileText(store->libraryPath()), listed.libraryJson);
        EXPECT_TRUE(testing::lockIsFree(store->libraryPath() + ".lock"));
    }

    // Every file sits in the one folder, under its real name.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(testing::fsPath(quillex))) {
        names.push_back(testing::utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"gesture_presets.json", "gesture_presets.json.lock", "rhythm_presets.json",
                                        "rhythm_presets.json.lock", "user_settings.json", "user_settings.json.lock"}));
}

}  // namespace
}  // namespace quillex
