// The file layer on each system: path rules, existence, folders, bounded reads, durable writes and installs, locks.
#include "platform/file_system.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_primitives.h"
#include "platform/utf8_sequence.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/file_testing.h"

namespace quillex::platform {
namespace {

using testing::fileText;
using testing::kDiskFullError;
using testing::kIoError;
using testing::kLockError;
using testing::lockIsFree;
using testing::putFile;
using testing::ScopedFilePrimitives;
using testing::TempFolder;

#ifndef _WIN32  // file modes exist only on POSIX
mode_t permissionBits(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}
#endif

// A table that records every call's step and fails the ones `failing` names.
struct CallLog {
    std::vector<FileCall> calls;
    FilePrimitives table(std::function<int(FileCall)> failing = [](FileCall) { return 0; }) {
        return gatedFilePrimitives(realFilePrimitives(), [this, failing](FileCall call) {
            calls.push_back(call);
            return failing(call);
        });
    }
};

TEST(FilePaths, JoinAndParentUseEitherSeparator) {
    // Joins with the system's own separator, and adds none after either one.
    const std::string separator(1, testing::kPathSeparator);
    EXPECT_EQ(joinPath("/data", "Quillex"), "/data" + separator + "Quillex");
    EXPECT_EQ(joinPath("/data/", "Quillex"), "/data/Quillex");
#ifdef _WIN32
    EXPECT_EQ(joinPath("C:\\data\\", "Quillex"), "C:\\data\\Quillex");
#endif
    EXPECT_EQ(joinPath("", "a"), "a");
    EXPECT_EQ(parentDirectory("/data/Quillex/user_settings.json"), "/data/Quillex");
    EXPECT_EQ(parentDirectory("C:\\Users\\me\\Quillex\\a.json"), "C:\\Users\\me\\Quillex");
    EXPECT_EQ(parentDirectory("C:\\Users/me\\x"), "C:\\Users/me");
    EXPECT_EQ(parentDirectory("/top"), "");
    EXPECT_EQ(parentDirectory("plain"), "");
    EXPECT_EQ(parentDirectory(""), "");
}

TEST(FilePaths, Utf8CheckRefusesEveryMalformedForm) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"/plain/ascii", true},
        {"caf\xc3\xa9", true},
        {"\xe2\x82\xac", true},
        {"\xf0\x9f\x8e\xb9", true},
        {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF
        {"\xc3", false},             // cut short
        {"\xe2\x82", false},
        {"\x80", false},      // lone continuation
        {"\xc0\xaf", false},  // overlong '/'
        {"\xc1\xbf", false},
        {"\xe0\x80\xaf", false},      // overlong, three bytes
        {"\xf0\x80\x80\xaf", false},  // overlong, four bytes
        {"\xed\xa0\x80", false},      // surrogate U+D800
        {"\xf4\x90\x80\x80", false},  // above U+10FFFF
        {"\xf5\x80\x80\x80", false},
        {"\xff", false},
        {"a\xc3(", false},  // continuation byte missing
    };
    for (const Case& c : cases) EXPECT_EQ(isValidUtf8(c.text), c.valid) << ::testing::PrintToString(c.text);
}

TEST(FilePaths, EveryOperationRefusesAPathThatIsNotUtf8) {
    TempFolder folder;
    const std::string bad = folder / "bad\xff.json";
    EXPECT_EQ(regularFileExists(bad).status, FileStatus::invalidPath);
    EXPECT_EQ(createDirectories(bad).status, FileStatus::invalidPath);
    EXPECT_EQ(removeFile(bad).status, FileStatus::invalidPath);
    EXPECT_EQ(readFileBounded(bad, 10).status, FileStatus::invalidPath);
    EXPECT_EQ(writeTemporaryFile(bad, "x").status, FileStatus::invalidPath);
    EXPECT_EQ(installFile(folder / "a", bad).status, FileStatus::invalidPath);
    EXPECT_EQ(installFile(bad, folder / "a").status, FileStatus::invalidPath);
    EXPECT_EQ(lockFile(bad).status, FileStatus::invalidPath);
    EXPECT_FALSE(std::filesystem::exists(folder / "bad\xff.json"));
}

// Clears the three variables the data folder depends on, and restores them after.
class DataFolderEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"APPDATA", "XDG_DATA_HOME", "HOME"}) testing::setEnvironment(name, {});
    }
    testing::EnvironmentGuard saved_{{"APPDATA", "XDG_DATA_HOME", "HOME"}};
};

TEST_F(DataFolderEnvironment, AppDataThenAbsoluteXdgThenHome) {
    using testing::setEnvironment;
    EXPECT_EQ(userDataFolder(), std::nullopt);
#ifndef _WIN32  // the XDG and HOME fallbacks exist only off Windows
    setEnvironment("HOME", "/home/me");
    EXPECT_EQ(userDataFolder(), "/home/me/.local/share");
    setEnvironment("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(userDataFolder(), "/home/me/.local/share");
    setEnvironment("XDG_DATA_HOME", "/xdg/share");
    EXPECT_EQ(userDataFolder(), "/xdg/share");
    setEnvironment("APPDATA", "");
    EXPECT_EQ(userDataFolder(), "/xdg/share");
#endif
    setEnvironment("APPDATA", "/roaming");
    EXPECT_EQ(userDataFolder(), "/roaming");
    // Text beyond ASCII comes back as the same UTF-8 ("Zoë 音楽").
    setEnvironment("APPDATA", "/Zo\xc3\xab \xe9\x9f\xb3\xe6\xa5\xbd");
    EXPECT_EQ(userDataFolder(), "/Zo\xc3\xab \xe9\x9f\xb3\xe6\xa5\xbd");
    setEnvironment("HOME", "");
    setEnvironment("APPDATA", {});
    setEnvironment("XDG_DATA_HOME", {});
    EXPECT_EQ(userDataFolder(), std::nullopt);
}

TEST(FileExists, OnlyARegularFileCounts) {
    TempFolder folder;
    putFile(folder / "file", "x");
    std::filesystem::create_directory(folder / "dir");
    EXPECT_TRUE(regularFileExists(folder / "file").value);
    EXPECT_FALSE(regularFileExists(folder / "dir").value);
#ifndef _WIN32  // FIFOs and /dev exist only on POSIX
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(regularFileExists(folder / "fifo").value);
    EXPECT_FALSE(regularFileExists("/dev/null").value);
#endif
    EXPECT_FALSE(regularFileExists(folder / "missing").value);
    EXPECT_TRUE(regularFileExists(folder / "file/below").ok());  // a file as a folder: absent
    EXPECT_FALSE(regularFileExists(folder / "file/below").value);
}

TEST(FileExists, AFailedCheckIsNotAbsence) {
    TempFolder folder;
    putFile(folder / "file", "x");
    CallLog log;
    ScopedFilePrimitives seam(log.table([](FileCall) { return kIoError; }));
    const FileResult<bool> result = regularFileExists(folder / "file");
    EXPECT_EQ(result.status, FileStatus::statFailed);
    EXPECT_EQ(result.systemError, kIoError);
}

#ifndef _WIN32  // records paths through a POSIX-shaped table, and checks file modes
TEST(FileFolders, EveryMissingLevelIsMadeOutermostFirst) {
    TempFolder folder;
    const std::string deep = folder / "a/b/c";
    std::vector<std::string> made;
    FilePrimitives recording = realFilePrimitives();
    recording.mkdir = [&made](FileCall, const char* path, mode_t mode) {
        made.emplace_back(path);
        return ::mkdir(path, mode);
    };
    {
        ScopedFilePrimitives seam(recording);
        ASSERT_TRUE(createDirectories(deep).ok());
        ASSERT_TRUE(createDirectories(deep).ok());  // all exist: still fine
    }
    ASSERT_GE(made.size(), 3u);
    EXPECT_EQ(made[made.size() / 2 - 3], folder / "a");
    EXPECT_EQ(made[made.size() / 2 - 2], folder / "a/b");
    EXPECT_EQ(made[made.size() / 2 - 1], deep);
    // Each level once per call, from the first component down.
    for (std::size_t i = 1; i < made.size() / 2; ++i) EXPECT_TRUE(made[i].starts_with(made[i - 1] + "/")) << made[i];
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(permissionBits(folder / "a"), 0700u);
    EXPECT_EQ(permissionBits(deep), 0700u);
    EXPECT_TRUE(createDirectories("").ok());
}
#endif

TEST(FileFolders, AFileInTheWayFailsTheLevelBelowIt) {
    TempFolder folder;
    putFile(folder / "plain", "x");
    EXPECT_TRUE(createDirectories(folder / "plain").ok());  // an existing entry is accepted
    const FileOutcome below = createDirectories(folder / "plain/sub/deeper");
    EXPECT_EQ(below.status, FileStatus::directoryFailed);
    EXPECT_EQ(below.failedPath, folder / "plain/sub");
}

TEST(FileRemove, AMissingFileIsNoError) {
    TempFolder folder;
    EXPECT_TRUE(removeFile(folder / "missing").ok());
    putFile(folder / "there", "x");
    EXPECT_TRUE(removeFile(folder / "there").ok());
    EXPECT_FALSE(std::filesystem::exists(folder / "there"));
}

TEST(FileRead, TheLimitIsInclusiveAndNeverOverread) {
    TempFolder folder;
    const std::size_t limit = 40000;
    putFile(folder / "empty", "");
    putFile(folder / "exact", std::string(limit, 'e'));
    putFile(folder / "over", std::string(limit + 1, 'o'));
    putFile(folder / "huge", std::string(5 * limit, 'h'));

    EXPECT_EQ(readFileBounded(folder / "empty", limit).value, "");
    EXPECT_EQ(readFileBounded(folder / "exact", limit).value, std::string(limit, 'e'));
    EXPECT_EQ(readFileBounded(folder / "over", limit).status, FileStatus::tooLarge);

#ifndef _WIN32  // counts bytes through a POSIX-shaped table
    std::size_t bytesRead = 0;
    FilePrimitives counting = realFilePrimitives();
    counting.read = [&bytesRead](FileCall, int fd, void* buffer, size_t size) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got > 0) bytesRead += static_cast<std::size_t>(got);
        return got;
    };
    ScopedFilePrimitives seam(counting);
    EXPECT_EQ(readFileBounded(folder / "huge", limit).status, FileStatus::tooLarge);
    EXPECT_EQ(bytesRead, limit + 1);
#endif
}

// A FIFO without a writer must not hold the read; a folder is no file either.
TEST(FileRead, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempFolder folder;
#ifndef _WIN32  // FIFOs exist only on POSIX
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readFileBounded(folder / "fifo", 100).status, FileStatus::openFailed);
#endif
    std::filesystem::create_directory(folder / "dir");
    EXPECT_EQ(readFileBounded(folder / "dir", 100).status, FileStatus::openFailed);
}

TEST(FileRead, BinaryBytesComeBackAsStored) {
    TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    bytes += "\r\n\r\n";
    putFile(folder / "bin", bytes);
    EXPECT_EQ(readFileBounded(folder / "bin", 1 << 20).value, bytes);
}

TEST(FileRead, OpenAndReadFailuresAreTold) {
    TempFolder folder;
    putFile(folder / "file", "content");
    EXPECT_EQ(readFileBounded(folder / "missing", 100).status, FileStatus::openFailed);
#ifndef _WIN32  // only POSIX calls are interrupted by signals
    {
        // An interrupted read is retried; a failed one is reported.
        int interruptions = 2;
        CallLog log;
        ScopedFilePrimitives seam(
            log.table([&](FileCall c) { return c == FileCall::readBytes && interruptions-- > 0 ? EINTR : 0; }));
        EXPECT_EQ(readFileBounded(folder / "file", 100).value, "content");
    }
#endif
    CallLog log;
    ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::readBytes ? kIoError : 0; }));
    const auto result = readFileBounded(folder / "file", 100);
    EXPECT_EQ(result.status, FileStatus::readFailed);
    EXPECT_EQ(log.calls.back(), FileCall::closeRead);
}

#ifndef _WIN32  // short and interrupted writes through a POSIX-shaped table, and file modes
TEST(FileWrite, WritesEveryByteThroughShortWritesAndInterruptions) {
    TempFolder folder;
    const std::string path = folder / "x.tmp";
    putFile(path, std::string(5000, 'z'));  // longer than the new text: truncated
    std::string text;
    for (int i = 0; i < 3000; ++i) text += static_cast<char>('a' + i % 26);

    int calls = 0;
    FilePrimitives stingy = realFilePrimitives();
    stingy.write = [&calls](FileCall, int fd, const void* buffer, size_t size) -> ssize_t {
        if (++calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, buffer, std::min<size_t>(size, 7));
    };
    {
        ScopedFilePrimitives seam(stingy);
        ASSERT_TRUE(writeTemporaryFile(path, text).ok());
    }
    EXPECT_EQ(fileText(path), text);
    ASSERT_TRUE(writeTemporaryFile(folder / "fresh", "").ok());
    EXPECT_EQ(permissionBits(folder / "fresh"), 0600u);
}
#endif

TEST(FileWrite, EachFailingCallFailsTheWriteAndClosesTheFile) {
    TempFolder folder;
    const struct {
        FileCall call;
        FileStatus status;
    } cases[] = {
        {FileCall::openTemporary, FileStatus::createFailed},
        {FileCall::writeTemporary, FileStatus::writeFailed},
        {FileCall::syncTemporary, FileStatus::writeFailed},
        {FileCall::closeTemporary, FileStatus::writeFailed},
    };
    for (const auto& c : cases) {
        CallLog log;
        ScopedFilePrimitives seam(log.table([&](FileCall call) { return call == c.call ? kDiskFullError : 0; }));
        const FileOutcome outcome = writeTemporaryFile(folder / "t.tmp", "text");
        EXPECT_EQ(outcome.status, c.status) << fileCallName(c.call);
        EXPECT_EQ(outcome.systemError, kDiskFullError);
        if (c.call != FileCall::openTemporary) {
            EXPECT_EQ(log.calls.back(), FileCall::closeTemporary);
        }
    }
}

#ifndef _WIN32  // symbolic links are POSIX-only here
TEST(FileWrite, NeverFollowsASymbolicLink) {
    TempFolder folder;
    putFile(folder / "target", "precious");
    std::filesystem::create_symlink(folder / "target", folder / "link.tmp");
    EXPECT_EQ(writeTemporaryFile(folder / "link.tmp", "overwritten").status, FileStatus::createFailed);
    EXPECT_EQ(fileText(folder / "target"), "precious");
}
#endif

// Windows moves write-through instead of syncing the folder.
TEST(FileInstall, ReplacesThenSyncsTheFolder) {
    TempFolder folder;
    putFile(folder / "f", "old");
    ASSERT_TRUE(writeTemporaryFile(folder / "f.tmp", "new").ok());
    CallLog log;
    {
        ScopedFilePrimitives seam(log.table());
        ASSERT_TRUE(installFile(folder / "f.tmp", folder / "f").ok());
    }
    EXPECT_EQ(fileText(folder / "f"), "new");
    EXPECT_FALSE(std::filesystem::exists(folder / "f.tmp"));
#ifdef _WIN32
    EXPECT_EQ(log.calls, (std::vector<FileCall>{FileCall::renameFile}));
#else
    EXPECT_EQ(log.calls, (std::vector<FileCall>{FileCall::renameFile, FileCall::openFolder, FileCall::syncFolder,
                                                FileCall::closeFolder}));
#endif
}

TEST(FileInstall, ARefusedRenameLeavesTheDestinationAndALateFailureSaysItMoved) {
    TempFolder folder;
    putFile(folder / "f", "old");
    putFile(folder / "f.tmp", "new");
    {
        CallLog log;
        ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::renameFile ? kIoError : 0; }));
        EXPECT_EQ(installFile(folder / "f.tmp", folder / "f").status, FileStatus::renameFailed);
    }
    EXPECT_EQ(fileText(folder / "f"), "old");
#ifndef _WIN32  // the folder sync after the move is POSIX-only
    for (FileCall late : {FileCall::openFolder, FileCall::syncFolder, FileCall::closeFolder}) {
        putFile(folder / "f.tmp", "new");
        CallLog log;
        ScopedFilePrimitives seam(log.table([late](FileCall c) { return c == late ? EIO : 0; }));
        EXPECT_EQ(installFile(folder / "f.tmp", folder / "f").status, FileStatus::folderSyncFailed)
            << fileCallName(late);
        EXPECT_EQ(fileText(folder / "f"), "new");
    }
#endif
    EXPECT_EQ(installFile(folder / "missing.tmp", folder / "f").status, FileStatus::renameFailed);
}

TEST(FileLocks, TheLockFileAndItsFolderAreMadeAndKept) {
    TempFolder folder;
    const std::string path = folder / "deep/er/x.lock";
    {
        FileResult<FileLock> lock = lockFile(path);
        ASSERT_TRUE(lock.ok());
        EXPECT_TRUE(lock.value.held());
    }
    EXPECT_TRUE(regularFileExists(path).value);
#ifndef _WIN32  // file modes exist only on POSIX
    EXPECT_EQ(permissionBits(path), 0600u);
#endif
    putFile(folder / "blocker", "x");
    EXPECT_EQ(lockFile(folder / "blocker/x.lock").status, FileStatus::lockFailed);
    const auto refused = lockFile(folder / "blocker/sub/x.lock");
    EXPECT_EQ(refused.status, FileStatus::directoryFailed);
    EXPECT_EQ(refused.failedPath, folder / "blocker/sub");
}

TEST(FileLocks, ASecondThreadWaitsForTheFirst) {
    TempFolder folder;
    const std::string path = folder / "x.lock";
    FileResult<FileLock> first = lockFile(path);
    ASSERT_TRUE(first.ok());
    std::atomic<bool> secondHeld{false};
    std::thread second([&] {
        FileResult<FileLock> lock = lockFile(path);
        secondHeld = lock.ok() && lock.value.held();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(secondHeld.load());
    first.value.release();
    second.join();
    EXPECT_TRUE(secondHeld.load());
}

TEST(FileLocks, AnotherProcessWaitsAndAKilledHolderReleases) {
    TempFolder folder;
    const std::string path = folder / "x.lock";
    testing::ChildProcess holder(testing::helperProgram("lock_holder"), {path});
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.readLine(), "locked");
    // The holder has it: a non-blocking attempt from here is refused.
    EXPECT_FALSE(lockIsFree(path));
    holder.kill();
    EXPECT_TRUE(holder.wait().killed);
    FileResult<FileLock> after = lockFile(path);
    EXPECT_TRUE(after.ok());
}

TEST(FileLocks, InterruptionsAreRetriedAndAFailureClosesTheFile) {
    TempFolder folder;
#ifndef _WIN32  // only POSIX calls are interrupted by signals
    {
        int interruptions = 3;
        CallLog log;
        ScopedFilePrimitives seam(
            log.table([&](FileCall c) { return c == FileCall::takeLock && interruptions-- > 0 ? EINTR : 0; }));
        FileResult<FileLock> lock = lockFile(folder / "x.lock");
        EXPECT_TRUE(lock.ok());
    }
#endif
    for (FileCall failing : {FileCall::openLock, FileCall::takeLock}) {
        CallLog log;
        ScopedFilePrimitives seam(log.table([failing](FileCall c) { return c == failing ? kLockError : 0; }));
        const auto lock = lockFile(folder / "x.lock");
        EXPECT_EQ(lock.status, FileStatus::lockFailed);
        EXPECT_FALSE(lock.value.held());
        if (failing == FileCall::takeLock) {
            EXPECT_EQ(log.calls.back(), FileCall::closeLock);
        }
    }
    // After every failure the lock is free again.
    EXPECT_TRUE(lockIsFree(folder / "x.lock"));
}

TEST(FilePrimitivesSeam, NamesRoundTripAndAFailedCloseStillCloses) {
    for (int i = 0; i < kFileCallCount; ++i) {
        const auto call = static_cast<FileCall>(i);
        EXPECT_EQ(fileCallFromName(fileCallName(call)), call);
    }
    EXPECT_EQ(fileCallFromName("noSuchCall"), std::nullopt);

    // One gate state across every primitive: a counting gate fails the third call overall.
    TempFolder scratch;
    putFile(scratch / "f", "x");
    {
        ScopedFilePrimitives seam(gatedFilePrimitives(
            realFilePrimitives(), [count = 0](FileCall) mutable { return ++count == 3 ? kIoError : 0; }));
        EXPECT_TRUE(regularFileExists(scratch / "f").ok());                            // call 1
        EXPECT_EQ(readFileBounded(scratch / "f", 10).status, FileStatus::readFailed);  // 2 open, 3 read
    }

    TempFolder folder;
    {
        CallLog log;
        ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::closeLock ? kIoError : 0; }));
        FileResult<FileLock> lock = lockFile(folder / "x.lock");
        ASSERT_TRUE(lock.ok());
    }
    EXPECT_TRUE(lockIsFree(folder / "x.lock"));
}

}  // namespace
}  // namespace quillex::platform
