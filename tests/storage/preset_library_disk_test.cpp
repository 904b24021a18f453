// The preset store on the real disk: refused files stay byte-identical, every failed call and every
// crash leaves a decodable library, and concurrent processes never lose or duplicate a preset.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/file_primitives.h"
#include "preset_samples.h"
#include "storage/native_preset_file_system.h"
#include "storage/preset_library.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using platform::FileCall;
using testing::fileText;
using testing::kIoError;
using testing::lockIsFree;
using testing::putFile;
using testing::ScopedFilePrimitives;
using testing::TempFolder;

std::unique_ptr<PresetLibrary> storeAt(const std::string& path, PresetLibraryDefinition definition) {
    return std::make_unique<PresetLibrary>(std::move(definition), path, host::makeNativePresetFileSystem());
}

std::unique_ptr<PresetLibrary> rhythmStoreAt(const std::string& path) {
    return storeAt(path, rhythmPresetLibraryDefinition());
}

const std::string kOneEventPayload =
    json{{"lengthSteps", 4}, {"events", {testing::rhythmEvent(0, 1, "top", 9)}}}.dump();

// The legacy file a first list migrates: version 1 with its events out of canonical order.
std::string legacyLibraryText() {
    const json legacy = {{"id", testing::kGrooveId},
                         {"name", "Groove"},
                         {"revision", testing::kGrooveV1Revision},
                         {"events", {testing::grooveEvents()[1], testing::grooveEvents()[0]}}};
    return testing::presetLibrary(1, {legacy}).dump();
}

struct Stamp {
    std::uint64_t identity;
    std::filesystem::file_time_type modified;
};

Stamp stampOf(const std::string& path) {
    return {testing::fileIdentity(path), std::filesystem::last_write_time(testing::fsPath(path))};
}

TEST(PresetLibraryOnDisk, LivesInTheQuillexFolderOfTheDataFolder) {
    TempFolder folder;
    const testing::EnvironmentGuard environment({"APPDATA", "XDG_DATA_HOME", "HOME"});
    testing::setEnvironment("APPDATA", folder.str());
    EXPECT_EQ(presetLibraryPath("gesture_presets.json"), folder / "Quillex/gesture_presets.json");
    const auto store = makePresetLibrary(gesturePresetLibraryDefinition());
    EXPECT_EQ(store->libraryPath(), folder / "Quillex/gesture_presets.json");
    EXPECT_EQ(store->list().libraryJson, R"({"presets":[],"schemaVersion":1})");
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "Quillex/gesture_presets.json.lock"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Quillex/gesture_presets.json"));

    for (const char* name : {"APPDATA", "XDG_DATA_HOME", "HOME"}) testing::setEnvironment(name, {});
    try {
        makePresetLibrary(rhythmPresetLibraryDefinition());
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "APPDATA is unavailable");
    }
}

TEST(PresetLibraryOnDisk, AFolderAtTheLibraryPathListsEmptyAndIsNeverReplaced) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    std::filesystem::create_directories(path);
    putFile(path + "/keep", "mine");
    const auto store = rhythmStoreAt(path);
    EXPECT_EQ(store->list().libraryJson, R"({"presets":[],"schemaVersion":3})");
    const auto created = store->create("t", "Beat", kOneEventPayload);
    EXPECT_EQ(created.code, "rhythm_preset_create_error");
    EXPECT_EQ(created.message, "Could not install preset library");
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(fileText(path + "/keep"), "mine");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(PresetLibraryOnDisk, MigratesOnceThenLeavesTheFileAlone) {
    TempFolder folder;
    const std::string path = folder / "rhythm_presets.json";
    putFile(path, legacyLibraryText());
    const auto store = rhythmStoreAt(path);
    const auto first = store->list();
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(fileText(path), testing::presetLibrary(3, {testing::grooveEntry()}).dump());
    const Stamp before = stampOf(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(store->list(), first);
    const Stamp after = stampOf(path);
    EXPECT_EQ(after.identity, before.identity);
    EXPECT_TRUE(after.modified == before.modified);
}

TEST(PresetLibraryOnDisk, RefusedLibrariesStayByteIdentical) {
    TempFolder folder;
    struct Case {
        const char* what;
        bool rhythm;
        std::string text;
        std::string message;
    };
    using namespace testing;
    const auto rhythm = [](std::vector<json> entries) { return presetLibrary(3, std::move(entries)).dump(); };
    json padded = grooveEntry();
    padded["name"] = "Groove ";
    json upper = grooveEntry();
    for (auto& c : upper["revision"].get_ref<std::string&>()) c = static_cast<char>(std::toupper(c));
    json wrong = grooveEntry();
    wrong["revision"] = kCafeRevision;
    json gestureUpper = strumEntry();
    for (auto& c : gestureUpper["revision"].get_ref<std::string&>()) c = static_cast<char>(std::toupper(c));
    const std::string invalidUtf8 = R"({"presets":[],"schemaVersion":3,"x":")" + std::string("\xc3\x28") + "\"}";
    const std::vector<Case> cases = {
        {"2 MiB plus one byte", true, std::string(host::kPresetLibraryByteLimit + 1, ' '),
         "Preset library exceeds the 2 MiB limit"},
        {"duplicate IDs", true, rhythm({grooveEntry(), grooveEntry()}), "Rhythm preset library contains duplicate IDs"},
        {"upper-case revision", true, rhythm({upper}), "Rhythm preset library contains an invalid revision"},
        {"wrong revision", true, rhythm({wrong}), "Rhythm preset revision does not match its contents"},
        {"non-canonical name", true, rhythm({padded}), "Rhythm preset name is not canonical"},
        {"257 entries", true, rhythm(std::vector<json>(257, grooveEntry())),
         "Rhythm preset library has an unsupported schema"},
        {"invalid UTF-8", true, invalidUtf8, libraryParseText(invalidUtf8)},
        {"gesture upper-case revision", false, presetLibrary(1, {gestureUpper}).dump(),
         "Gesture preset revision does not match its contents"},
    };
    int transaction = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder / (c.rhythm ? "rhythm_presets.json" : "gesture_presets.json");
        putFile(path, c.text);
        const auto store = storeAt(path, c.rhythm ? rhythmPresetLibraryDefinition() : gesturePresetLibraryDefinition());
        const auto listed = store->list();
        EXPECT_EQ(listed.code, c.rhythm ? "rhythm_preset_load_error" : "gesture_preset_load_error");
        EXPECT_EQ(listed.message, c.message);
        const auto created = store->create("t" + std::to_string(transaction++), "New",
                                           c.rhythm ? kOneEventPayload : advancedGesture().dump());
        EXPECT_EQ(created.message, c.message);
        EXPECT_TRUE(fileText(path) == c.text);
    }

    // A valid library cut short at every byte: refused, never rewritten.
    for (const bool isRhythm : {true, false}) {
        const std::string path = folder / (isRhythm ? "cut_rhythm.json" : "cut_gesture.json");
        const std::string whole =
            isRhythm ? rhythm({grooveEntry(), cafeEntry()}) : presetLibrary(1, {strumEntry()}).dump();
        const auto store = storeAt(path, isRhythm ? rhythmPresetLibraryDefinition() : gesturePresetLibraryDefinition());
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            putFile(path, whole.substr(0, cut));
            const auto listed = store->list();
            ASSERT_FALSE(listed.ok) << cut;
            ASSERT_EQ(fileText(path), whole.substr(0, cut)) << cut;
        }
        putFile(path, whole);
        EXPECT_TRUE(store->list().ok);
    }
}

// Fails the n-th primitive call of one operation for every n, with and without a previous
// library: a failed operation leaves the old file, and the file always decodes afterwards.
TEST(PresetLibraryOnDisk, FailingAnyPrimitiveCallKeepsTheOldLibrary) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    const std::string stored = testing::presetLibrary(3, {testing::grooveEntry()}).dump();
    enum class Operation { createOverPrevious, createFirst, canonicalisingList };
    for (const auto operation :
         {Operation::createOverPrevious, Operation::createFirst, Operation::canonicalisingList}) {
        int transaction = 0;
        std::size_t calls = 0;
        for (std::size_t failAt = 0;; ++failAt) {
            SCOPED_TRACE(::testing::Message() << "operation " << static_cast<int>(operation) << " call " << failAt);
            std::filesystem::remove_all(folder / "Quillex");
            std::filesystem::create_directories(folder / "Quillex");
            const std::string before = operation == Operation::createFirst          ? std::string()
                                       : operation == Operation::createOverPrevious ? stored
                                                                                    : legacyLibraryText();
            if (!before.empty()) putFile(path, before);
            const auto store = rhythmStoreAt(path);
            std::size_t seen = 0;
            PresetStoreResult result;
            {
                ScopedFilePrimitives seam(platform::gatedFilePrimitives(
                    platform::realFilePrimitives(), [&](FileCall) { return seen++ == failAt ? kIoError : 0; }));
                result = operation == Operation::canonicalisingList
                             ? store->list()
                             : store->create("t" + std::to_string(transaction++), "New", kOneEventPayload);
            }
            calls = seen;
            EXPECT_TRUE(lockIsFree(path + ".lock"));
            if (!result.ok) {
                if (before.empty()) {
                    EXPECT_FALSE(std::filesystem::exists(path));
                } else {
                    EXPECT_EQ(fileText(path), before);
                }
            } else {
                EXPECT_EQ(fileText(path), result.libraryJson);
            }
            const auto after = rhythmStoreAt(path)->list();
            EXPECT_TRUE(after.ok) << after.message;
            if (failAt >= calls) {
                EXPECT_TRUE(result.ok) << result.message;
                break;
            }
        }
        EXPECT_GT(calls, 15u);
    }
}

// The creating helper (tests/helpers/preset_creator.cpp) on the library: `creates` presets
// named "Beat n", one line "id revision" for each; with `killAt`, it ends itself at that
// occurrence of a file step during its second create.
std::vector<std::string> creatorArguments(const std::string& path, int creates,
                                          std::optional<std::pair<FileCall, int>> killAt) {
    std::vector<std::string> arguments = {path, std::to_string(creates), "t", "Beat ", kOneEventPayload};
    if (killAt) {
        arguments.emplace_back(platform::fileCallName(killAt->first));
        arguments.push_back(std::to_string(killAt->second));
    }
    return arguments;
}

// Checks the library after a helper died: it decodes, holds every acknowledged preset with
// its revision plus at most the one in flight, and the lock is free. Returns the presets.
std::map<std::string, std::string> checkAfterCrash(const std::string& path,
                                                   const std::map<std::string, std::string>& acknowledged) {
    EXPECT_TRUE(lockIsFree(path + ".lock"));
    const auto listed = rhythmStoreAt(path)->list();
    EXPECT_TRUE(listed.ok) << listed.message;
    std::map<std::string, std::string> present;
    if (!listed.ok) return present;
    const json library = json::parse(listed.libraryJson);
    for (const auto& entry : library["presets"]) present[entry["id"]] = entry["revision"];
    for (const auto& [id, revision] : acknowledged) {
        const auto found = present.find(id);
        EXPECT_TRUE(found != present.end() && found->second == revision) << id;
    }
    EXPECT_LE(present.size(), acknowledged.size() + 1);
    return present;
}

// Reads the helper's lines until it has gone: each one acknowledges a preset.
void addAcknowledged(testing::ChildProcess& child, std::map<std::string, std::string>& acknowledged) {
    while (const std::optional<std::string> line = child.readLine()) {
        ASSERT_EQ(line->size(), 36u + 1 + 64) << *line;
        acknowledged[line->substr(0, 36)] = line->substr(37);
    }
}

// Process start-up is slow under sanitizers and under wine: fewer processes there.
#if defined(QUILLEX_SANITIZED) || defined(_WIN32)
constexpr int kRandomKills = 10;
constexpr int kConcurrentProcesses = 4;
constexpr int kCreatesEach = 10;
#else
constexpr int kRandomKills = 40;
constexpr int kConcurrentProcesses = 8;
constexpr int kCreatesEach = 30;
#endif

TEST(PresetLibraryOnDisk, SurvivesAKillAtAnyMoment) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    std::map<std::string, std::string> acknowledged;
    // Runs one helper, killed by itself at `killAt` or from here after `killAfter` once it
    // runs; checks the library after it has gone and tells whether it was killed.
    const auto runChild = [&](std::optional<std::pair<FileCall, int>> killAt, int creates,
                              std::optional<std::chrono::microseconds> killAfter) {
        testing::ChildProcess child(testing::helperProgram("preset_creator"), creatorArguments(path, creates, killAt));
        EXPECT_TRUE(child.started());
        EXPECT_EQ(child.readLine(), "ready");
        if (killAfter) {
            std::this_thread::sleep_for(*killAfter);
            child.kill();
        }
        addAcknowledged(child, acknowledged);
        const testing::ChildExit exit = child.wait();
        if (!exit.killed) {
            EXPECT_EQ(exit.code, 0);
        }
        acknowledged = checkAfterCrash(path, acknowledged);
        // Keep the library well below its 256 presets.
        if (acknowledged.size() > 200) {
            std::filesystem::remove(path);
            acknowledged.clear();
        }
        return exit.killed;
    };

    // Every occurrence of every file step of a create.
    int killed = 0;
    for (int step = 0; step < platform::kFileCallCount; ++step) {
        for (int occurrence = 1; occurrence <= 8; ++occurrence) {
            SCOPED_TRACE(::testing::Message()
                         << platform::fileCallName(static_cast<FileCall>(step)) << " #" << occurrence);
            if (!runChild(std::make_pair(static_cast<FileCall>(step), occurrence), 2, std::nullopt)) break;
            ++killed;
        }
    }
    EXPECT_GT(killed, 20);

    // Seeded random moments while a helper creates as fast as it can.
    std::mt19937 rng(15);
    for (int round = 0; round < kRandomKills; ++round) {
        SCOPED_TRACE(round);
        runChild(std::nullopt, 1000, std::chrono::microseconds(rng() % 15000));
    }
}

TEST(PresetLibraryOnDisk, ConcurrentProcessesNeverLoseOrDuplicateAPreset) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    std::vector<std::unique_ptr<testing::ChildProcess>> children;
    for (int p = 0; p < kConcurrentProcesses; ++p) {
        children.push_back(std::make_unique<testing::ChildProcess>(
            testing::helperProgram("preset_creator"),
            std::vector<std::string>{path, std::to_string(kCreatesEach), "", "P" + std::to_string(p) + "-",
                                     kOneEventPayload}));
        EXPECT_TRUE(children.back()->started());
    }
    for (const auto& child : children) {
        while (child->readLine()) {}
        const testing::ChildExit exit = child->wait();
        EXPECT_TRUE(!exit.killed && exit.code == 0) << exit.code;
    }
    const auto listed = rhythmStoreAt(path)->list();
    ASSERT_TRUE(listed.ok) << listed.message;
    const json library = json::parse(listed.libraryJson);
    std::set<std::string> ids;
    for (const auto& entry : library["presets"]) ids.insert(entry["id"].get<std::string>());
    EXPECT_EQ(library["presets"].size(), static_cast<std::size_t>(kConcurrentProcesses * kCreatesEach));
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kConcurrentProcesses * kCreatesEach));
}

TEST(PresetLibraryOnDisk, TwoClientsWithOneExpectedRevisionGetOneConflict) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    const auto created = rhythmStoreAt(path)->create("t", "Shared", kOneEventPayload);
    ASSERT_TRUE(created.ok) << created.message;
    const json entry = json::parse(created.entryJson);
    for (int round = 0; round < 5; ++round) {
        const std::string revision = json::parse(rhythmStoreAt(path)->list().libraryJson)["presets"][0]["revision"];
        // Both clients start together. Not std::barrier: mingw-w64's (GCC 12) can miss
        // a wake-up and hang.
        std::mutex gate;
        std::condition_variable opened;
        int arrived = 0;
        const auto arriveAndWait = [&] {
            std::unique_lock lock(gate);
            if (++arrived == 2) opened.notify_all();
            opened.wait(lock, [&] { return arrived == 2; });
        };
        PresetStoreResult results[2];
        std::vector<std::thread> clients;
        for (int c = 0; c < 2; ++c) {
            clients.emplace_back([&, c] {
                const auto store = rhythmStoreAt(path);
                arriveAndWait();
                results[c] =
                    store->update("u", entry["id"].get<std::string>(), revision,
                                  "Client " + std::to_string(c) + " " + std::to_string(round), kOneEventPayload);
            });
        }
        for (auto& client : clients) client.join();
        EXPECT_NE(results[0].ok, results[1].ok);
        const auto& loser = results[0].ok ? results[1] : results[0];
        EXPECT_EQ(loser.code, "rhythm_preset_revision_conflict");
        EXPECT_EQ(loser.message, "Rhythm preset changed in another device instance");
    }
}

}  // namespace
}  // namespace quillex
