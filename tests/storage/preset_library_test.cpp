// The preset store on the in-memory file system: codes, order of checks, transactions, rewrites and rollback.
#include "storage/preset_library.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "preset_samples.h"
#include "storage/preset_bridge_entries.h"
#include "storage/preset_id.h"
#include "storage/rhythm_preset_codec.h"
#include "support/fake_preset_file_system.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::FakeFileCall;
using testing::FakeFileOperation;
using testing::FakePresetFileSystem;

// What a test needs to drive one kind of library.
struct Kind {
    const char* name;
    PresetLibraryDefinition (*definition)();
    std::string payload;       // valid
    std::string otherPayload;  // valid and different
    std::string invalidPayload;
    std::string invalidMessage;
    json sampleEntry;  // a stored entry with a known revision
};

std::vector<Kind> kinds() {
    using namespace testing;
    json quieter = advancedGesture();
    quieter["velocity"] = 90;
    json off = advancedGesture();
    off["attack"]["mode"] = "off";
    return {
        {"rhythm", rhythmPresetLibraryDefinition, json{{"lengthSteps", 16}, {"events", grooveEvents()}}.dump(),
         json{{"lengthSteps", 8}, {"events", cafeEvents()}}.dump(),
         json{{"lengthSteps", 0}, {"events", json::array()}}.dump(), "Rhythm preset length is invalid", grooveEntry()},
        {"gesture", gesturePresetLibraryDefinition, advancedGesture().dump(), quieter.dump(), off.dump(),
         "Gesture presets must use Advanced mode", strumEntry()},
    };
}

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class PresetStore : public ::testing::TestWithParam<Kind> {
protected:
    PresetStore()
        : definition(GetParam().definition()),
          path("/data/Quillex/" + definition.fileName),
          fileSystem(std::make_shared<FakePresetFileSystem>()),
          store(std::make_unique<PresetLibrary>(definition, path, fileSystem)) {}

    const Kind& kind() const { return GetParam(); }
    std::string code(const char* suffix) const { return definition.codePrefix + suffix; }
    std::string message(const char* suffix) const { return definition.label + suffix; }
    json libraryOf(std::vector<json> entries) const {
        return testing::presetLibrary(definition.schemaVersion, std::move(entries));
    }
    // Stores `library` as the file, as its compact text.
    std::string storeFile(const json& library) { return fileSystem->files[path] = library.dump(); }
    std::string entryId() const { return kind().sampleEntry["id"]; }
    std::string entryRevision() const { return kind().sampleEntry["revision"]; }

    // A failed operation: the code and message it reported, and nothing else in the result.
    void expectFailure(const PresetStoreResult& result, const std::string& expectedCode,
                       const std::string& expectedMessage) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.code, expectedCode);
        EXPECT_EQ(result.message, expectedMessage);
        EXPECT_TRUE(result.libraryJson.empty());
        EXPECT_TRUE(result.entryJson.empty());
        EXPECT_EQ(fileSystem->locksHeld, 0);
    }

    PresetLibraryDefinition definition;
    std::string path;
    std::shared_ptr<FakePresetFileSystem> fileSystem;
    std::unique_ptr<PresetLibrary> store;
};

TEST_P(PresetStore, ListsAMissingLibraryWithoutCreatingIt) {
    const auto result = store->list();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.libraryJson,
              "{\"presets\":[],\"schemaVersion\":" + std::to_string(definition.schemaVersion) + "}");
    EXPECT_TRUE(result.code.empty() && result.message.empty() && result.entryJson.empty());
    EXPECT_EQ(fileSystem->files.count(path), 0u);
    EXPECT_EQ(fileSystem->lockFiles, std::set<std::string>{path + ".lock"});
    EXPECT_EQ(fileSystem->locksHeld, 0);
    EXPECT_EQ(fileSystem->calls.back(), (FakeFileCall{FakeFileOperation::unlock, path + ".lock"}));
}

TEST_P(PresetStore, CreatesUpdatesRenamesAndDeletes) {
    const auto created = store->create("t1", "  First  ", kind().payload);
    ASSERT_TRUE(created.ok) << created.message;
    const json entry = json::parse(created.entryJson);
    EXPECT_TRUE(isValidPresetId(entry["id"].get<std::string>()));
    EXPECT_EQ(entry["name"], "First");
    EXPECT_EQ(fileSystem->files.at(path), created.libraryJson);
    EXPECT_EQ(json::parse(created.libraryJson)["presets"], json::array({entry}));
    EXPECT_EQ(fileSystem->files.count(path + ".tmp"), 0u);

    const std::string id = entry["id"];
    const auto updated = store->update("t2", id, entry["revision"].get<std::string>(), "Second", kind().otherPayload);
    ASSERT_TRUE(updated.ok) << updated.message;
    const json second = json::parse(updated.entryJson);
    EXPECT_EQ(second["id"], id);
    EXPECT_NE(second["revision"], entry["revision"]);

    const auto renamed = store->rename("t3", id, second["revision"].get<std::string>(), testing::kCafeName);
    ASSERT_TRUE(renamed.ok) << renamed.message;
    const json third = json::parse(renamed.entryJson);
    EXPECT_EQ(third["name"], testing::kCafeName);
    EXPECT_NE(third["revision"], second["revision"]);
    // Raw UTF-8 in the file, never \u escapes.
    EXPECT_NE(fileSystem->files.at(path).find(testing::kCafeName), std::string::npos);

    const auto deleted = store->deletePreset("t4", id, third["revision"].get<std::string>());
    ASSERT_TRUE(deleted.ok) << deleted.message;
    EXPECT_TRUE(deleted.entryJson.empty());
    EXPECT_EQ(json::parse(deleted.libraryJson), libraryOf({}));
    EXPECT_EQ(fileSystem->files.at(path), deleted.libraryJson);
    EXPECT_EQ(fileSystem->locksHeld, 0);
}

TEST_P(PresetStore, RevisionsMatchTheIndependentDigests) {
    const auto& sample = kind().sampleEntry;
    const std::string payload = definition.codePrefix == "rhythm_preset"
                                    ? json{{"lengthSteps", sample["lengthSteps"]}, {"events", sample["events"]}}.dump()
                                    : sample["gesture"].dump();
    const auto created = store->create("t", sample["name"].get<std::string>(), payload);
    ASSERT_TRUE(created.ok) << created.message;
    EXPECT_EQ(json::parse(created.entryJson)["revision"], sample["revision"]);
}

TEST_P(PresetStore, ReportsItsOwnCodesAndLeavesTheFileAlone) {
    const std::string stored = storeFile(libraryOf({kind().sampleEntry}));
    const std::string id = entryId();
    const std::string revision = entryRevision();
    std::string upper = revision;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string missingId = "11111111-2222-4333-8444-555555555555";

    expectFailure(store->create("", "x", kind().payload), code("_transaction_invalid"),
                  message(" transaction ID must not be empty"));
    expectFailure(store->rename("u1", id, revision, ""), code("_rename_error"), message(" name must not be empty"));
    expectFailure(store->deletePreset("u1", id, revision), code("_transaction_reused"),
                  message(" transaction ID has already been used"));
    expectFailure(store->update("u2", "not-an-id", revision, "x", kind().payload), code("_id_invalid"),
                  message(" ID is invalid"));
    expectFailure(store->rename("u3", id, upper, "x"), code("_revision_invalid"), message(" revision is invalid"));
    expectFailure(store->deletePreset("u4", id, revision.substr(1)), code("_revision_invalid"),
                  message(" revision is invalid"));
    expectFailure(store->deletePreset("u5", missingId, revision), code("_not_found"), message(" no longer exists"));
    expectFailure(store->update("u6", id, std::string(64, '0'), "x", kind().payload), code("_revision_conflict"),
                  message(" changed in another device instance"));
    expectFailure(store->update("u7", id, revision, "x", kind().invalidPayload), code("_update_error"),
                  kind().invalidMessage);
    expectFailure(store->update("u8", id, revision, "x", "{"), code("_update_error"), testing::libraryParseText("{"));
    expectFailure(store->create("u9", "x\x01", kind().payload), code("_create_error"),
                  "Preset name cannot contain control characters");
    EXPECT_EQ(fileSystem->files.at(path), stored);
}

TEST_P(PresetStore, ChecksInOrderIdThenRevisionFormThenExistenceThenRevisionThenName) {
    storeFile(libraryOf({kind().sampleEntry}));
    const std::string id = entryId();
    const std::string revision = entryRevision();
    const std::string missingId = "11111111-2222-4333-8444-555555555555";
    const std::string stale(64, 'a');
    int n = 0;
    const auto tx = [&] { return "o" + std::to_string(n++); };
    EXPECT_EQ(store->update(tx(), "bad", "bad", "", "{").code, code("_id_invalid"));
    EXPECT_EQ(store->update(tx(), missingId, "bad", "", "{").code, code("_revision_invalid"));
    EXPECT_EQ(store->update(tx(), missingId, stale, "", "{").code, code("_not_found"));
    EXPECT_EQ(store->update(tx(), id, stale, "", "{").code, code("_revision_conflict"));
    expectFailure(store->update(tx(), id, revision, "", "{"), code("_update_error"),
                  message(" name must not be empty"));
    expectFailure(store->rename(tx(), id, revision, std::string(65, 'x')), code("_rename_error"),
                  message(" name must contain 1 to 64 characters"));

    // The frame comes first: the transaction ID, then the lock, then the stored library.
    fileSystem->failWhen = [](const FakeFileCall& call, std::size_t) {
        return call.operation == FakeFileOperation::lock;
    };
    EXPECT_EQ(store->update("", "bad", "bad", "", "{").code, code("_transaction_invalid"));
    EXPECT_EQ(store->update("o0", "bad", "bad", "", "{").code, code("_transaction_reused"));
    expectFailure(store->update(tx(), "bad", "bad", "", "{"), code("_update_error"),
                  "Could not acquire preset library lock");
    expectFailure(store->list(), code("_load_error"), "Could not acquire preset library lock");
    fileSystem->failWhen = nullptr;
    fileSystem->files[path] = libraryOf({kind().sampleEntry, kind().sampleEntry}).dump();
    expectFailure(store->deletePreset(tx(), "bad", "bad"), code("_delete_error"),
                  message(" library contains duplicate IDs"));
}

TEST_P(PresetStore, SpendsTransactionIdsAndForgetsThemAfter256Others) {
    expectFailure(store->create("first", "", kind().payload), code("_create_error"),
                  message(" name must not be empty"));
    expectFailure(store->create("first", "x", kind().payload), code("_transaction_reused"),
                  message(" transaction ID has already been used"));
    // Lists take no transaction ID; failures before the file is touched register theirs.
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(store->deletePreset("other" + std::to_string(i), "bad", "bad").code, code("_id_invalid"));
    }
    EXPECT_EQ(store->deletePreset("first", "bad", "bad").code, code("_transaction_reused"));
    EXPECT_EQ(store->deletePreset("other255", "bad", "bad").code, code("_id_invalid"));
    EXPECT_TRUE(store->create("first", "x", kind().payload).ok);
    EXPECT_EQ(store->deletePreset("other0", "bad", "bad").code, code("_id_invalid"));  // pushed out in turn
}

TEST_P(PresetStore, RefusesThe257thPresetAndLeavesTheFile) {
    std::vector<json> entries;
    const json payload = json::parse(kind().payload);
    for (int i = 0; i < 256; ++i) {
        std::string id = std::to_string(i);
        id = "00000000-0000-4000-8000-" + std::string(12 - id.size(), '0') + id;
        entries.push_back(definition.makeEntry(id, "Preset " + std::to_string(i), payload));
    }
    const std::string stored = storeFile(libraryOf(entries));
    expectFailure(store->create("t", "One more", kind().payload), code("_create_error"), message(" library is full"));
    EXPECT_EQ(fileSystem->files.at(path), stored);
    ASSERT_TRUE(
        store->deletePreset("d", entries[0]["id"].get<std::string>(), entries[0]["revision"].get<std::string>()).ok);
    EXPECT_TRUE(store->create("t2", "One more", kind().payload).ok);
}

TEST_P(PresetStore, RewritesANonCanonicalFileOnceAndOnlyWhenItsValueDiffers) {
    // Whitespace alone does not change the value: nothing is written.
    const std::string spaced = libraryOf({kind().sampleEntry}).dump(2);
    fileSystem->files[path] = spaced;
    EXPECT_TRUE(store->list().ok);
    EXPECT_EQ(fileSystem->files.at(path), spaced);

    if (definition.codePrefix != "rhythm_preset") return;
    json legacy = {{"id", testing::kGrooveId},
                   {"name", "Groove"},
                   {"revision", testing::kGrooveV1Revision},
                   {"events", {testing::grooveEvents()[1], testing::grooveEvents()[0]}}};
    fileSystem->files[path] = testing::presetLibrary(1, {legacy}).dump();
    fileSystem->calls.clear();
    const auto first = store->list();
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.libraryJson, libraryOf({testing::grooveEntry()}).dump());
    EXPECT_EQ(fileSystem->files.at(path), first.libraryJson);
    const auto installs = [&] {
        return std::count_if(fileSystem->calls.begin(), fileSystem->calls.end(),
                             [](const FakeFileCall& c) { return c.operation == FakeFileOperation::install; });
    };
    EXPECT_EQ(installs(), 1);
    EXPECT_EQ(store->list(), first);
    EXPECT_EQ(installs(), 1);
}

TEST_P(PresetStore, RefusesUnreadableLibrariesWithoutTouchingThem) {
    const std::string valid = libraryOf({kind().sampleEntry}).dump();
    const std::vector<std::string> broken = {
        valid.substr(0, valid.size() / 2),
        "{\"presets\":[],\"schemaVersion\":" + std::to_string(definition.schemaVersion) + ",\"x\":\"\xff\"}",
        std::string(host::kPresetLibraryByteLimit + 1, ' '),
    };
    for (const auto& text : broken) {
        fileSystem->files[path] = text;
        EXPECT_EQ(store->list().code, code("_load_error"));
        EXPECT_EQ(store->create("c" + std::to_string(text.size()), "x", kind().payload).code, code("_create_error"));
        EXPECT_EQ(fileSystem->files.at(path), text);
    }
    EXPECT_EQ(store->list().message, "Preset library exceeds the 2 MiB limit");
}

// One way for a create to fail, and what must be reported.
struct FailureCase {
    const char* what;
    bool needsPrevious;
    // Chooses the call to fail from the log so far.
    std::function<bool(const std::vector<FakeFileCall>& calls, const std::string& path)> fail;
    bool tamperReadBack = false;  // the read after the install of the new text sees other bytes
    bool tamperRollbackRead = false;
    const char* messageSuffix = nullptr;  // label + this, or the file system's message below
    const char* fileSystemMessage = nullptr;
    bool rollbackFailure = false;  // the final file may differ from the previous one
};

bool lastIs(const std::vector<FakeFileCall>& calls, FakeFileOperation operation, const std::string& path) {
    return !calls.empty() && calls.back().operation == operation && calls.back().path == path;
}

bool previousIs(const std::vector<FakeFileCall>& calls, FakeFileOperation operation, const std::string& path) {
    return calls.size() >= 2 && calls[calls.size() - 2].operation == operation && calls[calls.size() - 2].path == path;
}

std::vector<FailureCase> failureCases() {
    using Op = FakeFileOperation;
    const auto readBack = [](const auto& calls, const std::string& path) {
        return lastIs(calls, Op::readFile, path) && previousIs(calls, Op::install, path);
    };
    const auto readBackOfNew = [readBack](const auto& calls, const std::string& path) {
        // The first read after an install: the new text's read-back.
        int installs = 0;
        for (const auto& c : calls) installs += c.operation == Op::install;
        return readBack(calls, path) && installs == 1;
    };
    return {
        {"folder creation", false,
         [](const auto& c, const auto&) { return lastIs(c, Op::createDirectories, "/data/Quillex"); }, false, false,
         nullptr, "Could not create preset directory"},
        {"temporary write", false,
         [](const auto& c, const auto& p) { return lastIs(c, Op::writeTemporaryFile, p + ".tmp"); }, false, false,
         nullptr, "Could not flush temporary preset file"},
        {"install", false,
         [](const auto& c, const auto& p) {
             return lastIs(c, Op::install, p) && std::count_if(c.begin(), c.end(), [](const FakeFileCall& call) {
                                                     return call.operation == Op::install;
                                                 }) == 1;
         },
         false, false, nullptr, "Could not install preset library"},
        {"read-back", false, readBackOfNew, false, false, nullptr, "Could not open preset library"},
        {"tampered read-back", false, nullptr, true, false, " library readback mismatch"},
        {"rollback write", true,
         [readBackOfNew](const auto& c, const auto& p) {
             return readBackOfNew(c, p) || lastIs(c, Op::writeTemporaryFile, p + ".rollback.tmp");
         },
         false, false, " write failed and rollback could not be completed", nullptr, true},
        {"rollback install", true,
         [readBackOfNew](const auto& c, const auto& p) {
             int installs = 0;
             for (const auto& call : c) installs += call.operation == Op::install;
             return readBackOfNew(c, p) || (lastIs(c, Op::install, p) && installs == 2);
         },
         false, false, " write failed and rollback could not be completed", nullptr, true},
        {"rollback read-back differs", true, nullptr, true, true, " write failed and rollback could not be completed",
         nullptr, true},
        {"removal of the new file", false,
         [readBackOfNew](const auto& c, const auto& p) { return readBackOfNew(c, p) || lastIs(c, Op::remove, p); },
         false, false, " write failed and the new library could not be removed", nullptr, true},
    };
}

TEST_P(PresetStore, RollsBackEveryFailedCreate) {
    for (const auto& failure : failureCases()) {
        for (const bool withPrevious : {true, false}) {
            if (failure.needsPrevious && !withPrevious) continue;
            // "removal of the new file" only arises without a previous library.
            if (std::string(failure.what) == "removal of the new file" && withPrevious) continue;
            SCOPED_TRACE(std::string(failure.what) +
                         (withPrevious ? " with a previous library" : " on an empty folder"));
            fileSystem = std::make_shared<FakePresetFileSystem>();
            store = std::make_unique<PresetLibrary>(definition, path, fileSystem);
            const std::string previous = withPrevious ? storeFile(libraryOf({kind().sampleEntry})) : "";
            if (failure.fail) {
                fileSystem->failWhen = [&](const FakeFileCall&, std::size_t) {
                    return failure.fail(fileSystem->calls, path);
                };
            }
            int installs = 0;
            if (failure.tamperReadBack) {
                fileSystem->tamperRead = [&](const std::string& p, std::string& text) {
                    const auto& calls = fileSystem->calls;
                    if (p != path || calls.size() < 2 ||
                        calls[calls.size() - 2].operation != FakeFileOperation::install)
                        return;
                    ++installs;
                    // A valid library of other content: the read-back decodes but differs.
                    if (installs == 1) text = libraryOf({}).dump();
                    if (installs == 2 && failure.tamperRollbackRead) text += " ";
                };
            }
            const auto result = store->create("t", "New", kind().payload);
            const std::string expectedMessage =
                failure.messageSuffix ? message(failure.messageSuffix) : std::string(failure.fileSystemMessage);
            expectFailure(result, code("_create_error"), expectedMessage);
            if (!failure.rollbackFailure) {
                if (withPrevious) {
                    EXPECT_EQ(fileSystem->files.at(path), previous);
                } else {
                    EXPECT_EQ(fileSystem->files.count(path), 0u);
                }
            }
            EXPECT_EQ(fileSystem->files.count(path + ".tmp"), 0u);
            EXPECT_EQ(fileSystem->files.count(path + ".rollback.tmp"), 0u);
            EXPECT_EQ(fileSystem->locksHeld, 0);
            fileSystem->failWhen = nullptr;
            fileSystem->tamperRead = nullptr;
            EXPECT_EQ(store->create("t", "New", kind().payload).code, code("_transaction_reused"));
        }
    }
}

// Failing each call of a create in turn, whatever the call: the outcome is whole or nothing.
TEST_P(PresetStore, FailingAnySingleCallLeavesTheOldLibraryOrTheNewOne) {
    for (const bool withPrevious : {true, false}) {
        std::size_t callCount = 0;
        for (std::size_t failAt = 0;; ++failAt) {
            SCOPED_TRACE(::testing::Message() << "call " << failAt << (withPrevious ? " with previous" : ""));
            fileSystem = std::make_shared<FakePresetFileSystem>();
            store = std::make_unique<PresetLibrary>(definition, path, fileSystem);
            const std::string previous = withPrevious ? storeFile(libraryOf({kind().sampleEntry})) : "";
            fileSystem->failWhen = [&](const FakeFileCall&, std::size_t index) { return index == failAt; };
            const auto result = store->create("t", "New", kind().payload);
            callCount = fileSystem->calls.size();
            EXPECT_EQ(fileSystem->locksHeld, 0);
            EXPECT_EQ(fileSystem->files.count(path + ".tmp"), 0u);
            EXPECT_EQ(fileSystem->files.count(path + ".rollback.tmp"), 0u);
            if (result.ok) {
                EXPECT_EQ(fileSystem->files.at(path), result.libraryJson);
            } else if (result.message == message(" write failed and the new library could not be removed")) {
                EXPECT_FALSE(withPrevious);
            } else {
                EXPECT_EQ(result.code, code("_create_error"));
                if (withPrevious) {
                    EXPECT_EQ(fileSystem->files.at(path), previous);
                } else {
                    EXPECT_EQ(fileSystem->files.count(path), 0u);
                }
            }
            if (failAt >= callCount) break;
        }
        EXPECT_GE(callCount, withPrevious ? 10u : 8u);  // the whole write path was swept
    }
}

TEST_P(PresetStore, ConstructorRefusesIncompleteParts) {
    const auto refusal = [](auto make) {
        try {
            make();
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal([&] { PresetLibrary(definition, path, nullptr); }), "Preset filesystem is required");
    for (int part = 0; part < 6; ++part) {
        PresetLibraryDefinition incomplete = definition;
        if (part == 0) incomplete.label.clear();
        if (part == 1) incomplete.codePrefix.clear();
        if (part == 2) incomplete.fileName.clear();
        if (part == 3) incomplete.decodeLibrary = nullptr;
        if (part == 4) incomplete.makeEntry = nullptr;
        if (part == 5) incomplete.renameEntry = nullptr;
        EXPECT_EQ(refusal([&] { PresetLibrary(incomplete, path, fileSystem); }),
                  "Preset library definition is incomplete")
            << part;
    }
}

INSTANTIATE_TEST_SUITE_P(BothKinds, PresetStore, ::testing::ValuesIn(kinds()),
                         [](const auto& info) { return std::string(info.param.name); });

// A codec whose new entries decode to something else (here: events left out of canonical
// order) is caught before anything is written. Only the rhythm kind has such entries.
TEST(PresetStoreWrites, RefuseALibraryThatIsNotCanonical) {
    auto fileSystem = std::make_shared<FakePresetFileSystem>();
    PresetLibraryDefinition careless = rhythmPresetLibraryDefinition();
    careless.makeEntry = [](const std::string& id, const std::string& name, const json& payload) {
        json entry = makeRhythmPresetEntry(id, name, payload);
        std::reverse(entry["events"].begin(), entry["events"].end());
        return entry;
    };
    const std::string path = "/data/Quillex/rhythm_presets.json";
    PresetLibrary store(careless, path, fileSystem);
    const std::string stored = fileSystem->files[path] = testing::presetLibrary(3, {testing::grooveEntry()}).dump();
    const auto result = store.create("t", "x", json{{"lengthSteps", 16}, {"events", testing::grooveEvents()}}.dump());
    EXPECT_EQ(result.code, "rhythm_preset_create_error");
    EXPECT_EQ(result.message, "Rhythm preset library mutation was not canonical");
    EXPECT_EQ(fileSystem->files.at(path), stored);
    EXPECT_EQ(fileSystem->files.count(path + ".tmp"), 0u);
}

TEST(PresetBridgeEntries, RhythmEventsThatAreNotJsonLeaveTheTransactionUnspent) {
    auto fileSystem = std::make_shared<FakePresetFileSystem>();
    PresetLibrary store(rhythmPresetLibraryDefinition(), "/data/Quillex/rhythm_presets.json", fileSystem);
    EXPECT_EQ(encodeRhythmPresetPayload(4, R"([{"offset":0,"duration":1,"part":"top","velocity":9}])"),
              R"({"events":[{"duration":1,"offset":0,"part":"top","velocity":9}],"lengthSteps":4})");

    const auto refused = createRhythmPreset(store, "t", "Beat", 16, "[{");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, "rhythm_preset_create_error");
    EXPECT_EQ(refused.message, testing::libraryParseText("[{"));
    EXPECT_TRUE(fileSystem->calls.empty());
    const auto created = createRhythmPreset(store, "t", "Beat", 16, testing::grooveEvents().dump());
    ASSERT_TRUE(created.ok) << created.message;
    const json entry = json::parse(created.entryJson);

    EXPECT_EQ(updateRhythmPreset(store, "u", entry["id"].get<std::string>(), entry["revision"].get<std::string>(),
                                 "Beat", 16, "nope")
                  .code,
              "rhythm_preset_update_error");
    const auto updated =
        updateRhythmPreset(store, "u", entry["id"].get<std::string>(), entry["revision"].get<std::string>(), "Beat", 8,
                           testing::cafeEvents().dump());
    ASSERT_TRUE(updated.ok) << updated.message;
    EXPECT_EQ(json::parse(updated.entryJson)["lengthSteps"], 8);
    EXPECT_EQ(listPresets(store).libraryJson, updated.libraryJson);
    // The length arrives as a 32-bit integer and is checked by the codec.
    EXPECT_EQ(createRhythmPreset(store, "v", "Beat", 17, "[]").message, "Rhythm preset length is invalid");
}

TEST(PresetBridgeEntries, GestureEntriesPassTheGestureTextThrough) {
    auto fileSystem = std::make_shared<FakePresetFileSystem>();
    PresetLibrary store(gesturePresetLibraryDefinition(), "/data/Quillex/gesture_presets.json", fileSystem);
    const auto created = createGesturePreset(store, "t", "Strum", testing::advancedGesture().dump());
    ASSERT_TRUE(created.ok) << created.message;
    const json entry = json::parse(created.entryJson);
    EXPECT_EQ(entry["revision"], testing::kStrumRevision);
    const std::string id = entry["id"];
    const auto renamed = renamePreset(store, "r", id, testing::kStrumRevision, testing::kStromeName);
    ASSERT_TRUE(renamed.ok) << renamed.message;
    EXPECT_EQ(json::parse(renamed.entryJson)["revision"], testing::kStromeRevision);
    EXPECT_EQ(updateGesturePreset(store, "u", id, testing::kStrumRevision, "x", "{}").code,
              "gesture_preset_revision_conflict");
    EXPECT_EQ(updateGesturePreset(store, "u2", id, testing::kStromeRevision, "x", "{}").message,
              "Gesture preset is invalid");
    EXPECT_TRUE(deletePreset(store, "d", id, testing::kStromeRevision).ok);
}

}  // namespace
}  // namespace quillex
