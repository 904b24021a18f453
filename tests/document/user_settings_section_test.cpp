// The session's user-settings section: validation and the spelling-preference probe.
#include "document/user_settings_section.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/refusal.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::ownRefusal;

TEST(UserSettingsReading, NeedsTheThreeTypedSettings) {
    const json settings = {
        {"spellingPreference", "flats"}, {"simplifyAccidentals", true}, {"midiTriggersUseRhythm", false}, {"other", 1}};
    const auto section = readUserSettingsSection(settings);
    EXPECT_EQ(*section, (UserSettingsSection{"flats", true, false}));

    constexpr const char* kMessage = "DocumentSession requires validated user settings";
    EXPECT_EQ(ownRefusal([] { readUserSettingsSection(json::array()); }), kMessage);
    for (const char* key : {"spellingPreference", "simplifyAccidentals", "midiTriggersUseRhythm"}) {
        SCOPED_TRACE(key);
        json missing = settings;
        missing.erase(key);
        EXPECT_EQ(ownRefusal([&] { readUserSettingsSection(missing); }), kMessage);
        json wrongType = settings;
        wrongType[key] = 1;
        EXPECT_EQ(ownRefusal([&] { readUserSettingsSection(wrongType); }), kMessage);
    }
}

}  // namespace
}  // namespace quillex
