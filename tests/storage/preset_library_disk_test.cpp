// The preset store on the real disk: refused files stay byte-identical, every failed call and every
// crash leaves a decodable library, and concurrent processes never lose or duplicate a preset.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <barrier>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
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
#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;
using platform::FileCall;
using testing::fileText;
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

// Whether another holder could take the lock right now (no one holds it).
bool lockIsFree(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDWR);
    if (fd < 0) return errno == ENOENT;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

struct Stamp {
    ino_t inode;
    timespec modified;
};

Stamp stampOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return {info.st_ino, info.st_mtim};
}

class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::vector<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name, value->c_str(), 1);
            } else {
                ::unsetenv(name);
            }
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(PresetLibraryOnDisk, LivesInTheQuillexFolderOfTheDataFolder) {
    TempFolder folder;
    EnvironmentGuard environment({"APPDATA", "XDG_DATA_HOME", "HOME"});
    ::setenv("APPDATA", folder.str().c_str(), 1);
    EXPECT_EQ(presetLibraryPath("gesture_presets.json"), folder / "Quillex/gesture_presets.json");
    const auto store = makePresetLibrary(gesturePresetLibraryDefinition());
    EXPECT_EQ(store->libraryPath(), folder / "Quillex/gesture_presets.json");
    EXPECT_EQ(store->list().libraryJson, R"({"presets":[],"schemaVersion":1})");
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "Quillex/gesture_presets.json.lock"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Quillex/gesture_presets.json"));

    ::unsetenv("APPDATA");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
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
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
    EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
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
                    platform::realFilePrimitives(), [&](FileCall) { return seen++ == failAt ? EIO : 0; }));
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

// Reads the whole pipe until every writer has gone.
std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return text;
}

// A helper process: creates presets one after another and writes "id revision" for each
// success; with `killAt`, it ends itself with SIGKILL at that occurrence of a file step
// during its second create.
[[noreturn]] void runCreatingChild(const std::string& path, int ackFd, std::optional<std::pair<FileCall, int>> killAt,
                                   int creates) {
    const auto store = rhythmStoreAt(path);
    for (int n = 0; n < creates; ++n) {
        if (killAt && n == 1) {
            int seen = 0;
            platform::setFilePrimitivesForTesting(
                platform::gatedFilePrimitives(platform::realFilePrimitives(), [killAt, seen](FileCall call) mutable {
                    if (call == killAt->first && ++seen == killAt->second) ::raise(SIGKILL);
                    return 0;
                }));
        }
        const auto result = store->create(std::to_string(::getpid()) + "-" + std::to_string(n),
                                          "Beat " + std::to_string(n), kOneEventPayload);
        if (!result.ok) ::_exit(3);
        const json entry = json::parse(result.entryJson);
        const std::string line = entry["id"].get<std::string>() + " " + entry["revision"].get<std::string>() + "\n";
        if (::write(ackFd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(4);
    }
    ::_exit(0);
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

void addAcknowledged(const std::string& lines, std::map<std::string, std::string>& acknowledged) {
    std::size_t start = 0;
    for (std::size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = lines.substr(start, end - start);
        acknowledged[line.substr(0, 36)] = line.substr(37);
    }
}

TEST(PresetLibraryOnDisk, SurvivesAKillAtAnyMoment) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    std::map<std::string, std::string> acknowledged;
    const auto runChild = [&](std::optional<std::pair<FileCall, int>> killAt, int creates,
                              std::optional<std::chrono::microseconds> killAfter) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            runCreatingChild(path, pipeFds[1], killAt, creates);
        }
        ::close(pipeFds[1]);
        if (killAfter) {
            std::this_thread::sleep_for(*killAfter);
            ::kill(child, SIGKILL);
        }
        addAcknowledged(drain(pipeFds[0]), acknowledged);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        acknowledged = checkAfterCrash(path, acknowledged);
        // Keep the library well below its 256 presets.
        if (acknowledged.size() > 200) {
            std::filesystem::remove(path);
            acknowledged.clear();
        }
        return WIFSIGNALED(status);
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
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 10;
#else
    constexpr int kRounds = 40;
#endif
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        runChild(std::nullopt, 1000, std::chrono::microseconds(rng() % 15000));
    }
}

TEST(PresetLibraryOnDisk, ConcurrentProcessesNeverLoseOrDuplicateAPreset) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
#ifdef QUILLEX_SANITIZED
    constexpr int kProcesses = 4;
    constexpr int kEach = 10;
#else
    constexpr int kProcesses = 8;
    constexpr int kEach = 30;
#endif
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        if (child == 0) {
            const auto store = rhythmStoreAt(path);
            for (int n = 0; n < kEach; ++n) {
                const auto result = store->create(std::to_string(n), "P" + std::to_string(p), kOneEventPayload);
                if (!result.ok) ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto listed = rhythmStoreAt(path)->list();
    ASSERT_TRUE(listed.ok) << listed.message;
    const json library = json::parse(listed.libraryJson);
    std::set<std::string> ids;
    for (const auto& entry : library["presets"]) ids.insert(entry["id"].get<std::string>());
    EXPECT_EQ(library["presets"].size(), static_cast<std::size_t>(kProcesses * kEach));
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kProcesses * kEach));
}

TEST(PresetLibraryOnDisk, TwoClientsWithOneExpectedRevisionGetOneConflict) {
    TempFolder folder;
    const std::string path = folder / "Quillex/rhythm_presets.json";
    const auto created = rhythmStoreAt(path)->create("t", "Shared", kOneEventPayload);
    ASSERT_TRUE(created.ok) << created.message;
    const json entry = json::parse(created.entryJson);
    for (int round = 0; round < 5; ++round) {
        const std::string revision = json::parse(rhythmStoreAt(path)->list().libraryJson)["presets"][0]["revision"];
        std::barrier start(2);
        PresetStoreResult results[2];
        std::vector<std::thread> clients;
        for (int c = 0; c < 2; ++c) {
            clients.emplace_back([&, c] {
                const auto store = rhythmStoreAt(path);
                start.arrive_and_wait();
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
