// The POSIX file layer: path rules, existence, folders, bounded reads, durable writes and installs, locks.
#include "platform/file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_primitives.h"
#include "support/file_testing.h"

namespace quillex::platform {
namespace {

using testing::fileText;
using testing::putFile;
using testing::ScopedFilePrimitives;
using testing::TempFolder;

mode_t permissionBits(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

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
    EXPECT_EQ(joinPath("/data", "Quillex"), "/data/Quillex");
    EXPECT_EQ(joinPath("/data/", "Quillex"), "/data/Quillex");
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

// Restores the three variables the data folder depends on.
class DataFolderEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (saved_[i]) {
                ::setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                ::unsetenv(kNames[i]);
            }
        }
    }
    static constexpr const char* kNames[] = {"APPDATA", "XDG_DATA_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(DataFolderEnvironment, AppDataThenAbsoluteXdgThenHome) {
    EXPECT_EQ(userDataFolder(), std::nullopt);
    ::setenv("HOME", "/home/me", 1);
    EXPECT_EQ(userDataFolder(), "/home/me/.local/share");
    ::setenv("XDG_DATA_HOME", "relative/share", 1);
    EXPECT_EQ(userDataFolder(), "/home/me/.local/share");
    ::setenv("XDG_DATA_HOME", "/xdg/share", 1);
    EXPECT_EQ(userDataFolder(), "/xdg/share");
    ::setenv("APPDATA", "", 1);
    EXPECT_EQ(userDataFolder(), "/xdg/share");
    ::setenv("APPDATA", "/roaming", 1);
    EXPECT_EQ(userDataFolder(), "/roaming");
    ::setenv("HOME", "", 1);
    ::unsetenv("APPDATA");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(userDataFolder(), std::nullopt);
}

TEST(FileExists, OnlyARegularFileCounts) {
    TempFolder folder;
    putFile(folder / "file", "x");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "dir");
    EXPECT_TRUE(regularFileExists(folder / "file").value);
    EXPECT_FALSE(regularFileExists(folder / "dir").value);
    EXPECT_FALSE(regularFileExists(folder / "fifo").value);
    EXPECT_FALSE(regularFileExists("/dev/null").value);
    EXPECT_FALSE(regularFileExists(folder / "missing").value);
    EXPECT_TRUE(regularFileExists(folder / "file/below").ok());  // a file as a folder: absent
    EXPECT_FALSE(regularFileExists(folder / "file/below").value);
}

TEST(FileExists, AFailedCheckIsNotAbsence) {
    TempFolder folder;
    putFile(folder / "file", "x");
    CallLog log;
    ScopedFilePrimitives seam(log.table([](FileCall) { return EIO; }));
    const FileResult<bool> result = regularFileExists(folder / "file");
    EXPECT_EQ(result.status, FileStatus::statFailed);
    EXPECT_EQ(result.systemError, EIO);
}

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
}

// A FIFO without a writer must not hold the read; a folder is no file either.
TEST(FileRead, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "dir");
    EXPECT_EQ(readFileBounded(folder / "fifo", 100).status, FileStatus::openFailed);
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
    {
        // An interrupted read is retried; a failed one is reported.
        int interruptions = 2;
        CallLog log;
        ScopedFilePrimitives seam(
            log.table([&](FileCall c) { return c == FileCall::readBytes && interruptions-- > 0 ? EINTR : 0; }));
        EXPECT_EQ(readFileBounded(folder / "file", 100).value, "content");
    }
    CallLog log;
    ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::readBytes ? EIO : 0; }));
    const auto result = readFileBounded(folder / "file", 100);
    EXPECT_EQ(result.status, FileStatus::readFailed);
    EXPECT_EQ(log.calls.back(), FileCall::closeRead);
}

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
        ScopedFilePrimitives seam(log.table([&](FileCall call) { return call == c.call ? ENOSPC : 0; }));
        const FileOutcome outcome = writeTemporaryFile(folder / "t.tmp", "text");
        EXPECT_EQ(outcome.status, c.status) << fileCallName(c.call);
        EXPECT_EQ(outcome.systemError, ENOSPC);
        if (c.call != FileCall::openTemporary) {
            EXPECT_EQ(log.calls.back(), FileCall::closeTemporary);
        }
    }
}

TEST(FileWrite, NeverFollowsASymbolicLink) {
    TempFolder folder;
    putFile(folder / "target", "precious");
    std::filesystem::create_symlink(folder / "target", folder / "link.tmp");
    EXPECT_EQ(writeTemporaryFile(folder / "link.tmp", "overwritten").status, FileStatus::createFailed);
    EXPECT_EQ(fileText(folder / "target"), "precious");
}

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
    EXPECT_EQ(log.calls, (std::vector<FileCall>{FileCall::renameFile, FileCall::openFolder, FileCall::syncFolder,
                                                FileCall::closeFolder}));
}

TEST(FileInstall, ARefusedRenameLeavesTheDestinationAndALateFailureSaysItMoved) {
    TempFolder folder;
    putFile(folder / "f", "old");
    putFile(folder / "f.tmp", "new");
    {
        CallLog log;
        ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::renameFile ? EIO : 0; }));
        EXPECT_EQ(installFile(folder / "f.tmp", folder / "f").status, FileStatus::renameFailed);
    }
    EXPECT_EQ(fileText(folder / "f"), "old");
    for (FileCall late : {FileCall::openFolder, FileCall::syncFolder, FileCall::closeFolder}) {
        putFile(folder / "f.tmp", "new");
        CallLog log;
        ScopedFilePrimitives seam(log.table([late](FileCall c) { return c == late ? EIO : 0; }));
        EXPECT_EQ(installFile(folder / "f.tmp", folder / "f").status, FileStatus::folderSyncFailed)
            << fileCallName(late);
        EXPECT_EQ(fileText(folder / "f"), "new");
    }
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
    EXPECT_EQ(permissionBits(path), 0600u);
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
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        FileResult<FileLock> lock = lockFile(path);
        const char byte = lock.ok() ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    // The holder has it: a non-blocking attempt from here is refused.
    const int probe = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    FileResult<FileLock> after = lockFile(path);
    EXPECT_TRUE(after.ok());
    ::close(probe);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(FileLocks, InterruptionsAreRetriedAndAFailureClosesTheFile) {
    TempFolder folder;
    {
        int interruptions = 3;
        CallLog log;
        ScopedFilePrimitives seam(
            log.table([&](FileCall c) { return c == FileCall::takeLock && interruptions-- > 0 ? EINTR : 0; }));
        FileResult<FileLock> lock = lockFile(folder / "x.lock");
        EXPECT_TRUE(lock.ok());
    }
    for (FileCall failing : {FileCall::openLock, FileCall::takeLock}) {
        CallLog log;
        ScopedFilePrimitives seam(log.table([failing](FileCall c) { return c == failing ? ENOLCK : 0; }));
        const auto lock = lockFile(folder / "x.lock");
        EXPECT_EQ(lock.status, FileStatus::lockFailed);
        EXPECT_FALSE(lock.value.held());
        if (failing == FileCall::takeLock) {
            EXPECT_EQ(log.calls.back(), FileCall::closeLock);
        }
    }
    // After every failure the lock is free again.
    const int probe = ::open((folder / "x.lock").c_str(), O_RDWR);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
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
            realFilePrimitives(), [count = 0](FileCall) mutable { return ++count == 3 ? EIO : 0; }));
        EXPECT_TRUE(regularFileExists(scratch / "f").ok());                            // call 1
        EXPECT_EQ(readFileBounded(scratch / "f", 10).status, FileStatus::readFailed);  // 2 open, 3 read
    }

    TempFolder folder;
    {
        CallLog log;
        ScopedFilePrimitives seam(log.table([](FileCall c) { return c == FileCall::closeLock ? EIO : 0; }));
        FileResult<FileLock> lock = lockFile(folder / "x.lock");
        ASSERT_TRUE(lock.ok());
    }
    const int probe = ::open((folder / "x.lock").c_str(), O_RDWR);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
}

}  // namespace
}  // namespace quillex::platform
