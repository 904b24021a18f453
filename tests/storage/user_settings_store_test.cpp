// The settings file store: first loads, legacy files, migrations, writes, and the file left by every failure.
#include "storage/user_settings_store.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "storage/user_settings_contract.h"
#include "support/environment.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using platform::FileCall;
using testing::fileText;
using testing::kIoError;
using testing::putFile;
using testing::ScopedFilePrimitives;
using testing::TempFolder;

class SettingsStore : public ::testing::Test {
protected:
    SettingsStore()
        : paths{folder / "Quillex/user_settings.json", folder / "Quillex.user_settings.json"},
          defaultsText(userSettingsDefaults().dump()) {}

    void putCurrent(const std::string& text) {
        std::filesystem::create_directories(folder / "Quillex");
        putFile(paths.current, text);
    }
    bool currentExists() const { return std::filesystem::exists(paths.current); }
    std::optional<std::string> currentText() const {
        if (!currentExists()) return std::nullopt;
        return fileText(paths.current);
    }
    std::uint64_t currentIdentity() const { return testing::fileIdentity(paths.current); }
    bool lockIsFree() const { return testing::lockIsFree(paths.current + ".lock"); }
    bool noCompanionsLeft() const {
        return !std::filesystem::exists(paths.current + ".tmp") &&
               !std::filesystem::exists(paths.current + ".rollback.tmp");
    }
    static std::string with(std::initializer_list<std::pair<const char*, json>> changes) {
        json settings = userSettingsDefaults();
        for (const auto& [key, value] : changes) settings[key] = value;
        return settings.dump();
    }

    TempFolder folder;
    UserSettingsPaths paths;
    std::string defaultsText;
};

TEST_F(SettingsStore, PathsLieUnderTheDataFolder) {
    const testing::EnvironmentGuard saved({"APPDATA", "HOME", "XDG_DATA_HOME"});
#ifdef _WIN32
    testing::setEnvironment("APPDATA", "C:\\roaming");
    EXPECT_EQ(userSettingsPaths(), (UserSettingsPaths{"C:\\roaming\\Quillex\\user_settings.json",
                                                      "C:\\roaming\\Quillex.user_settings.json"}));
#else
    testing::setEnvironment("APPDATA", "/roaming");
    EXPECT_EQ(userSettingsPaths(),
              (UserSettingsPaths{"/roaming/Quillex/user_settings.json", "/roaming/Quillex.user_settings.json"}));
#endif
    for (const char* name : {"APPDATA", "HOME", "XDG_DATA_HOME"}) testing::setEnvironment(name, {});
    try {
        (void)userSettingsPaths();
        ADD_FAILURE() << "no data folder, yet paths";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "APPDATA is unavailable");
    }
}

TEST_F(SettingsStore, AFirstLoadWritesTheDefaultsAndASecondRewritesNothing) {
    const UserSettingsResult first = loadUserSettings(paths);
    EXPECT_EQ(first, (UserSettingsResult{true, defaultsText, "", "", true}));
    EXPECT_EQ(currentText(), defaultsText);  // compact, sorted, no newline
    const std::uint64_t identity = currentIdentity();

    const UserSettingsResult second = loadUserSettings(paths);
    EXPECT_EQ(second, (UserSettingsResult{true, defaultsText, "", "", false}));
    EXPECT_EQ(currentText(), defaultsText);
    EXPECT_EQ(currentIdentity(), identity);
    EXPECT_TRUE(noCompanionsLeft());
    EXPECT_TRUE(std::filesystem::exists(paths.current + ".lock"));
}

TEST_F(SettingsStore, TextIsStoredAsRawUtf8) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    const UserSettingsResult written = writeUserSettings(paths, "defaultBootProgression", R"("C\u00e9 \u266fIV")");
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_NE(currentText()->find("\"C\xc3\xa9 \xe2\x99\xafIV\""), std::string::npos);
    EXPECT_EQ(currentText(), written.settingsJson);
    EXPECT_EQ(loadUserSettings(paths).rewritten, false);
}

TEST_F(SettingsStore, TheSourceIsCurrentThenLegacyThenInitialTextThenEmpty) {
    putFile(paths.legacy, R"({"theme":"arctic"})");
    // Legacy: read, migrated into the current file, left as it was.
    UserSettingsResult fromLegacy = loadUserSettings(paths);
    EXPECT_TRUE(fromLegacy.ok && fromLegacy.rewritten);
    EXPECT_EQ(fromLegacy.settingsJson, with({{"theme", "arctic"}}));
    EXPECT_EQ(fileText(paths.legacy), R"({"theme":"arctic"})");
    // Current now exists: the legacy file no longer matters.
    putFile(paths.legacy, R"({"theme":"deep-ocean"})");
    EXPECT_EQ(loadUserSettings(paths), (UserSettingsResult{true, with({{"theme", "arctic"}}), "", "", false}));

    std::filesystem::remove(paths.current);
    const UserSettingsPaths noLegacy{paths.current, ""};
    EXPECT_EQ(loadUserSettings(noLegacy, R"({"clipPosition":"playhead"})").settingsJson,
              with({{"clipPosition", "playhead"}}));
    std::filesystem::remove(paths.current);
    EXPECT_EQ(loadUserSettings(noLegacy, "").settingsJson, defaultsText);
}

TEST_F(SettingsStore, OlderFormsAreMigratedInOrder) {
    struct Case {
        std::string file;
        std::string expected;  // the stored settings, or the failure
    };
    auto note = [](int value) { return json{{"type", "note"}, {"value", value}}; };
    const Case cases[] = {
        {R"({"showIntervals":false})", with({{"chordBlockSubsection", "noteNames"}})},
        {R"({"showIntervals":true,"previewShortcuts":{"a":1}})", with({})},
        {R"({"previewShortcuts":[]})", with({})},
        {R"({"showIntervals":true,"chordBlockSubsection":"intervals"})",
         "User settings contain both showIntervals and chordBlockSubsection"},
        {R"({"showIntervals":"yes"})", "Legacy user setting showIntervals must be boolean"},
        // No keyswitch octave: the first free one in the order 6, 5, 7, 4, 8, 3, ...
        {R"({"previewOctave":"6"})", with({{"previewOctave", "6"}, {"gestureKeyswitchOctave", "5"}})},
        {R"({"midiMappings":{"nav_prev":{"type":"note","value":96}}})",
         with({{"midiMappings", {{"nav_prev", note(96)}}}, {"gestureKeyswitchOctave", "5"}})},
        {R"({"midiMappings":{"nav_prev":{"type":"note","value":96},"nav_next":{"type":"note","value":84},)"
         R"("tab_prev":{"type":"note","value":72}}})",
         with({{"midiMappings", {{"nav_prev", note(96)}, {"nav_next", note(84)}, {"tab_prev", note(72)}}},
               {"gestureKeyswitchOctave", "3"}})},
        {R"({"previewOctave":"-2","unknownKey":1})", "Unknown user setting key: unknownKey"},
        {R"({"previewOctave":"5"})", "Invalid value for previewOctave"},
        {R"({"midiMappings":[]})", "midiMappings must be an object"},
        {R"({"theme":"dark"})", "Invalid value for theme"},
        {R"([1,2])", "User settings must be a JSON object"},
    };
    for (const Case& c : cases) {
        putCurrent(c.file);
        const UserSettingsResult result = loadUserSettings(paths);
        if (result.ok) {
            EXPECT_TRUE(result.rewritten) << c.file;
            EXPECT_EQ(result.settingsJson, c.expected) << c.file;
            EXPECT_EQ(currentText(), c.expected) << c.file;
        } else {
            // An invalid current file fails the load and is never overwritten.
            EXPECT_EQ(result, (UserSettingsResult{false, "", c.expected, "user_settings_load_error", false})) << c.file;
            EXPECT_EQ(currentText(), c.file);
        }
    }
}

TEST_F(SettingsStore, UnreadableFilesFailTheLoadUntouched) {
    putCurrent("{\"theme\":");
    const UserSettingsResult cut = loadUserSettings(paths);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.code, "user_settings_load_error");
    EXPECT_NE(cut.message.find("parse error"), std::string::npos) << cut.message;
    EXPECT_EQ(currentText(), "{\"theme\":");

    const std::string huge = "{\"theme\":\"" + std::string(kUserSettingsFileLimit, 'x') + "\"}";
    putCurrent(huge);
    EXPECT_EQ(loadUserSettings(paths), (UserSettingsResult{false, "", "User settings file exceeds the 2 MiB limit",
                                                           "user_settings_load_error"}));
    EXPECT_EQ(writeUserSettings(paths, "theme", "\"arctic\"").message, "User settings file exceeds the 2 MiB limit");
    EXPECT_EQ(currentText(), huge);

    std::filesystem::remove(paths.current);
    std::filesystem::create_directory(paths.current);  // a folder in the file's place
    EXPECT_FALSE(loadUserSettings(paths).ok);
    EXPECT_TRUE(std::filesystem::is_directory(paths.current));
}

TEST_F(SettingsStore, PathFailuresAreNamed) {
    const UserSettingsPaths badUtf8{folder / "bad\xff/user_settings.json", ""};
    EXPECT_EQ(loadUserSettings(badUtf8).message, "User settings path is not valid UTF-8");
    EXPECT_EQ(writeUserSettings(badUtf8, "theme", "\"arctic\"").message, "User settings path is not valid UTF-8");

    putFile(folder / "blocker", "x");
    const UserSettingsPaths blocked{folder / "blocker/Quillex/user_settings.json", ""};
    EXPECT_EQ(loadUserSettings(blocked).message,
              "Could not create user settings directory: " + folder / "blocker/Quillex");
}

TEST_F(SettingsStore, WritesChangeOneKeyOfALoadedFile) {
    EXPECT_EQ(writeUserSettings(paths, "theme", "\"arctic\""),
              (UserSettingsResult{false, "", "User settings must be loaded before writing", "user_settings_error"}));
    EXPECT_FALSE(currentExists());
    ASSERT_TRUE(loadUserSettings(paths).ok);

    const UserSettingsResult written = writeUserSettings(paths, "theme", "\"arctic\"");
    EXPECT_EQ(written, (UserSettingsResult{true, with({{"theme", "arctic"}}), "", "", false}));
    EXPECT_EQ(currentText(), written.settingsJson);

    struct Refusal {
        const char* key;
        const char* valueText;
        std::string message;
    };
    const Refusal refusals[] = {
        {"theme", "\"dark\"", "Invalid value for theme"},
        {"theme", "\"arctic", ""},  // the parser's message
        {"undo", "true", "Unknown user setting key: undo"},
        {"gestureKeyswitchOctave", "\"7\"",
         "Gesture keyswitch range conflicts with the trigger range or a learned note command"},
        {"midiMappings", R"({"nav_prev":{"type":"note","value":100}})",
         "Gesture keyswitch range conflicts with the trigger range or a learned note command"},
        {"defaultVelocity", "100.0", "Invalid value for defaultVelocity"},
    };
    for (const Refusal& r : refusals) {
        const UserSettingsResult result = writeUserSettings(paths, r.key, r.valueText);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.code, "user_settings_error");
        EXPECT_FALSE(result.storedUnreadable) << r.key;  // the new value failed, not the file
        if (!r.message.empty()) {
            EXPECT_EQ(result.message, r.message) << r.key;
        }
        EXPECT_EQ(currentText(), written.settingsJson) << r.key;
    }

    // A stored file is never migrated by a write: it must already be whole.
    putCurrent(R"({"showIntervals":true})");
    EXPECT_EQ(writeUserSettings(paths, "theme", "\"arctic\"").message, "Unknown user setting key: showIntervals");
    json partial = userSettingsDefaults();
    partial.erase("theme");
    putCurrent(partial.dump());
    EXPECT_EQ(writeUserSettings(paths, "clipPosition", "\"loop\"").message,
              "User settings missing required key: theme");
    EXPECT_FALSE(writeUserSettings(paths, "clipPosition", "\"loop\"").storedUnreadable);  // read, then refused

    // A stored file that is not JSON fails the write on the file itself.
    putCurrent("{\"theme\":");
    const UserSettingsResult unreadable = writeUserSettings(paths, "theme", "\"arctic\"");
    EXPECT_FALSE(unreadable.ok);
    EXPECT_EQ(unreadable.code, "user_settings_error");
    EXPECT_TRUE(unreadable.storedUnreadable);
}

// On Windows the move is write-through, with no folder sync after it.
TEST_F(SettingsStore, AWriteSyncsTheDataThenRenamesThenSyncsTheFolderBeforeReadingBack) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    std::vector<FileCall> calls;
    {
        ScopedFilePrimitives seam(platform::gatedFilePrimitives(platform::realFilePrimitives(), [&](FileCall call) {
            calls.push_back(call);
            return 0;
        }));
        ASSERT_TRUE(writeUserSettings(paths, "theme", "\"arctic\"").ok);
    }
    auto at = [&](FileCall call, std::size_t from = 0) {
        for (std::size_t i = from; i < calls.size(); ++i) {
            if (calls[i] == call) return i;
        }
        return calls.size();
    };
    const std::size_t dataSync = at(FileCall::syncTemporary);
    const std::size_t rename = at(FileCall::renameFile);
    const std::size_t readBack = at(FileCall::openRead, rename);
    EXPECT_EQ(calls.front(), FileCall::makeFolder);  // the lock's folder
    EXPECT_LT(at(FileCall::takeLock), dataSync);
    EXPECT_LT(dataSync, rename);
#ifdef _WIN32
    EXPECT_LT(rename, readBack);
    EXPECT_EQ(at(FileCall::syncFolder), calls.size());
#else
    const std::size_t folderSync = at(FileCall::syncFolder);
    EXPECT_LT(rename, folderSync);
    EXPECT_LT(folderSync, readBack);
#endif
    EXPECT_LT(readBack, calls.size());
    EXPECT_EQ(calls[calls.size() - 2], FileCall::releaseLock);
    EXPECT_EQ(calls.back(), FileCall::closeLock);
}

#ifndef _WIN32  // a lying rename through a POSIX-shaped table
TEST_F(SettingsStore, AReadBackThatDiffersRestoresTheOldText) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    // A disk that installs something else than what was written.
    platform::FilePrimitives lying = platform::realFilePrimitives();
    const std::string other = with({{"theme", "deep-ocean"}});
    lying.rename = [&](FileCall call, const char* from, const char* to) {
        const int result = std::rename(from, to);
        if (call == FileCall::renameFile && std::string(from) == paths.current + ".tmp") putFile(to, other);
        return result;
    };
    UserSettingsResult result;
    {
        ScopedFilePrimitives seam(lying);
        result = writeUserSettings(paths, "theme", "\"arctic\"");
    }
    EXPECT_EQ(result, (UserSettingsResult{false, "", "User settings readback mismatch", "user_settings_error"}));
    EXPECT_EQ(currentText(), defaultsText);
    EXPECT_TRUE(noCompanionsLeft());
}
#endif

// The failure each step's call reports, when it fails.
std::string expectedMessage(FileCall call) {
    switch (call) {
        case FileCall::statFile:
        case FileCall::openRead:
        case FileCall::readBytes:
            return "Could not open user settings file: ";
        case FileCall::makeFolder:
            return "Could not create user settings directory: ";
        case FileCall::openTemporary:
            return "Could not create temporary user settings file";
        case FileCall::writeTemporary:
        case FileCall::syncTemporary:
        case FileCall::closeTemporary:
            return "Could not flush temporary user settings file";
        case FileCall::renameFile:
        case FileCall::openFolder:
        case FileCall::syncFolder:
        case FileCall::closeFolder:
            return "Could not install user settings file";
        case FileCall::openLock:
        case FileCall::takeLock:
            return "Could not acquire user settings lock";
        default:
            return "";  // a failure that changes nothing
    }
}

// Fails the calls at the given positions (counted from 0 over every call) with EIO.
struct FaultPlan {
    std::set<std::size_t> failing;
    std::vector<FileCall> calls;
    platform::FilePrimitives table() {
        return platform::gatedFilePrimitives(platform::realFilePrimitives(), [this](FileCall call) {
            const std::size_t index = calls.size();
            calls.push_back(call);
            return failing.count(index) != 0 ? kIoError : 0;
        });
    }
};

struct Scenario {
    const char* name;
    std::optional<std::string> current;  // the file before, if any
    std::optional<std::string> legacy;
    std::function<UserSettingsResult(const UserSettingsPaths&)> run;
    const char* code;
};

class SettingsStoreFaults : public SettingsStore {
protected:
    std::vector<Scenario> scenarios() const {
        auto load = [](const UserSettingsPaths& p) { return loadUserSettings(p); };
        auto write = [](const UserSettingsPaths& p) { return writeUserSettings(p, "theme", "\"arctic\""); };
        return {
            {"write", defaultsText, std::nullopt, write, "user_settings_error"},
            {"rewriting load", R"({"showIntervals":false})", std::nullopt, load, "user_settings_load_error"},
            {"first load", std::nullopt, std::nullopt, load, "user_settings_load_error"},
            {"legacy load", std::nullopt, R"({"previewOctave":"6"})", load, "user_settings_load_error"},
        };
    }

    void prepare(const Scenario& s) {
        std::filesystem::remove_all(folder / "Quillex");
        std::filesystem::remove(paths.legacy);
        if (s.current) putCurrent(*s.current);
        if (s.legacy) putFile(paths.legacy, *s.legacy);
    }

    // Runs the scenario under a fault plan; returns the result and the calls made.
    UserSettingsResult runWith(const Scenario& s, FaultPlan& plan) {
        prepare(s);
        ScopedFilePrimitives seam(plan.table());
        return s.run(paths);
    }

    void expectUntouched(const Scenario& s, const std::string& context) {
        EXPECT_EQ(currentText(), s.current) << context;
        if (s.legacy) {
            EXPECT_EQ(fileText(paths.legacy), *s.legacy) << context;
        }
        EXPECT_TRUE(noCompanionsLeft()) << context;
        EXPECT_TRUE(lockIsFree()) << context;
    }
};

TEST_F(SettingsStoreFaults, EveryFailingCallLeavesTheOldFileOrNone) {
    for (const Scenario& s : scenarios()) {
        FaultPlan clean;
        const UserSettingsResult expected = runWith(s, clean);
        ASSERT_TRUE(expected.ok) << s.name << ": " << expected.message;
        const std::string newText = *currentText();
        for (std::size_t k = 0; k < clean.calls.size(); ++k) {
            FaultPlan plan{{k}, {}};
            const UserSettingsResult result = runWith(s, plan);
            const FileCall call = clean.calls[k];
            const std::string context = std::string(s.name) + ", call " + std::to_string(k) + " " +
                                        std::string(platform::fileCallName(call)) + ": " + result.message;
            const std::string message = expectedMessage(call);
            if (message.empty()) {
                EXPECT_EQ(result, expected) << context;
                EXPECT_EQ(currentText(), newText) << context;
                EXPECT_TRUE(lockIsFree()) << context;
                continue;
            }
            EXPECT_FALSE(result.ok) << context;
            EXPECT_EQ(result.code, s.code) << context;
            EXPECT_TRUE(result.message.starts_with(message)) << context;
            EXPECT_TRUE(result.settingsJson.empty() && !result.rewritten) << context;
            expectUntouched(s, context);
        }
    }
}

TEST_F(SettingsStoreFaults, AFailedRollbackSaysSo) {
    for (const Scenario& s : scenarios()) {
        FaultPlan clean;
        ASSERT_TRUE(runWith(s, clean).ok);
        const auto rename =
            std::find(clean.calls.begin(), clean.calls.end(), FileCall::renameFile) - clean.calls.begin();
        // Each failure after the install starts a rollback; then fail each call of that rollback.
        for (std::size_t first = static_cast<std::size_t>(rename) + 1; first < clean.calls.size(); ++first) {
            if (expectedMessage(clean.calls[first]).empty()) continue;
            FaultPlan once{{first}, {}};
            const UserSettingsResult restored = runWith(s, once);
            EXPECT_TRUE(restored.message.starts_with(expectedMessage(clean.calls[first]))) << restored.message;
            expectUntouched(s, std::string(s.name) + " rollback after call " + std::to_string(first));
            // The temporary file's removal comes first; the rollback's own calls follow it.
            const std::size_t temporaryRemoval =
                static_cast<std::size_t>(std::find(once.calls.begin() + static_cast<std::ptrdiff_t>(first),
                                                   once.calls.end(), FileCall::removeFile) -
                                         once.calls.begin());
            for (std::size_t second = first + 1; second < once.calls.size(); ++second) {
                const FileCall call = once.calls[second];
                if (call == FileCall::releaseLock || call == FileCall::closeLock) continue;
                FaultPlan twice{{first, second}, {}};
                const UserSettingsResult result = runWith(s, twice);
                const std::string context = std::string(s.name) + ", calls " + std::to_string(first) + " and " +
                                            std::to_string(second) + " " + std::string(platform::fileCallName(call)) +
                                            ": " + result.message;
                EXPECT_FALSE(result.ok) << context;
                EXPECT_TRUE(lockIsFree()) << context;
                EXPECT_TRUE(noCompanionsLeft()) << context;
                if (second <= temporaryRemoval) {
                    EXPECT_EQ(result.message, restored.message) << context;  // ignored: the rollback still ran
                    expectUntouched(s, context);
                } else if (s.current) {
                    EXPECT_EQ(result.message, "User settings installation failed and rollback could not be completed")
                        << context;
                } else {
                    EXPECT_EQ(result.message, "User settings installation failed and new file could not be removed")
                        << context;
                }
            }
        }
    }
}

#ifndef _WIN32  // a full disk made by a file-size rlimit
TEST_F(SettingsStoreFaults, AFullDiskFailsTheWriteAndKeepsTheOldFile) {
    ASSERT_TRUE(loadUserSettings(paths).ok);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit small = saved;
    small.rlim_cur = 300;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const UserSettingsResult result = writeUserSettings(paths, "theme", "\"arctic\"");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(result,
              (UserSettingsResult{false, "", "Could not flush temporary user settings file", "user_settings_error"}));
    EXPECT_EQ(currentText(), defaultsText);
    EXPECT_TRUE(noCompanionsLeft());
    EXPECT_TRUE(lockIsFree());
}
#endif

}  // namespace
}  // namespace quillex
