// The native preset file system on the real disk: regular files only, limits, messages and the lock.
#include "storage/native_preset_file_system.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/file_primitives.h"
#ifdef _WIN32
#include "platform/windows_text.h"
#endif
#include "support/file_testing.h"

namespace quillex::host {
namespace {

using quillex::testing::fileText;
using quillex::testing::putFile;
using quillex::testing::TempFolder;

template <typename Call>
std::string refusal(Call call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(NativePresetFileSystem, CountsRegularFilesOnly) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    EXPECT_FALSE(files->exists(folder / "missing.json"));
    std::filesystem::create_directory(folder / "folder.json");
    EXPECT_FALSE(files->exists(folder / "folder.json"));
#ifndef _WIN32  // FIFOs exist only on POSIX
    // A FIFO would block the reader forever: it counts as absent.
    ASSERT_EQ(::mkfifo((folder / "fifo.json").c_str(), 0600), 0);
    EXPECT_FALSE(files->exists(folder / "fifo.json"));
#endif
    putFile(folder / "file.json", "{}");
    EXPECT_TRUE(files->exists(folder / "file.json"));
    EXPECT_NO_THROW(files->remove(folder / "missing.json"));
    files->remove(folder / "file.json");
    EXPECT_FALSE(files->exists(folder / "file.json"));
}

TEST(NativePresetFileSystem, ReadsAndWritesUpToTwoMebibytes) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    const std::string limit(kPresetLibraryByteLimit, 'x');
    files->writeTemporaryFile(folder / "a.tmp", limit);
    EXPECT_EQ(files->readFile(folder / "a.tmp"), limit);
    EXPECT_EQ(refusal([&] { files->writeTemporaryFile(folder / "b.tmp", limit + "x"); }),
              "Preset library exceeds the 2 MiB limit");
    EXPECT_FALSE(std::filesystem::exists(folder / "b.tmp"));  // refused before anything is opened
    putFile(folder / "big.json", limit + "x");
    EXPECT_EQ(refusal([&] { files->readFile(folder / "big.json"); }), "Preset library exceeds the 2 MiB limit");
    putFile(folder / "empty.json", "");
    EXPECT_EQ(files->readFile(folder / "empty.json"), "");
    EXPECT_EQ(refusal([&] { files->readFile(folder / "missing.json"); }), "Could not open preset library");

    files->install(folder / "a.tmp", folder / "lib.json");
    EXPECT_FALSE(std::filesystem::exists(folder / "a.tmp"));
    EXPECT_EQ(fileText(folder / "lib.json"), limit);
    EXPECT_EQ(refusal([&] { files->install(folder / "a.tmp", folder / "lib.json"); }),
              "Could not install preset library");
    EXPECT_EQ(fileText(folder / "lib.json"), limit);
}

TEST(NativePresetFileSystem, CreatesEveryFolderLevelAndNamesEachFailure) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    const std::string deep = folder / "a/b/c";
    files->createDirectories(deep);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_NO_THROW(files->createDirectories(deep));
    EXPECT_NO_THROW(files->createDirectories(""));

    putFile(folder / "plain", "");
    EXPECT_EQ(refusal([&] { files->createDirectories(folder / "plain/sub"); }), "Could not create preset directory");
    EXPECT_EQ(refusal([&] { files->lock(folder / "plain/sub/x.lock"); }), "Could not create preset directory");
    EXPECT_EQ(refusal([&] { files->writeTemporaryFile(folder / "missing/x.tmp", "x"); }),
              "Could not create temporary preset file");
    std::filesystem::create_directory(folder / "dir.lock");
    EXPECT_EQ(refusal([&] { files->lock(folder / "dir.lock"); }), "Could not acquire preset library lock");

    const std::string bad = folder / "bad\xff.json";
    for (const auto& message :
         {refusal([&] { files->exists(bad); }), refusal([&] { files->remove(bad); }),
          refusal([&] { files->readFile(bad); }), refusal([&] { files->writeTemporaryFile(bad, "x"); }),
          refusal([&] { files->install(bad, folder / "x"); }), refusal([&] { files->install(folder / "x", bad); }),
          refusal([&] { files->createDirectories(bad); }), refusal([&] { files->lock(bad); })}) {
        EXPECT_EQ(message, "Preset path is not valid UTF-8");
    }
}

#ifdef _WIN32  // only the Windows file layer converts paths
// A valid path whose conversion into the sized buffer fails is named as such
// by every wide-path operation, not taken for invalid UTF-8.
TEST(NativePresetFileSystem, AFailedPathConversionIsNamedAsSuch) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    const std::string path = folder / "lib.json";
    struct FailingConversion {
        FailingConversion() { platform::failWideConversionCallForTesting(platform::WideConversionCall::converting); }
        ~FailingConversion() { platform::failWideConversionCallForTesting(std::nullopt); }
    } failing;
    for (const auto& message :
         {refusal([&] { files->exists(path); }), refusal([&] { files->remove(path); }),
          refusal([&] { files->readFile(path); }), refusal([&] { files->writeTemporaryFile(path, "x"); }),
          refusal([&] { files->install(path, path); }), refusal([&] { files->createDirectories(path); }),
          refusal([&] { files->lock(path); })}) {
        EXPECT_EQ(message, "Preset path conversion failed");
    }
}
#endif

TEST(NativePresetFileSystem, AShortWriteOrAFailedSyncIsAFlushFailure) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    for (const auto failing :
         {platform::FileCall::writeTemporary, platform::FileCall::syncTemporary, platform::FileCall::closeTemporary}) {
        quillex::testing::ScopedFilePrimitives seam(platform::gatedFilePrimitives(
            platform::realFilePrimitives(),
            [failing](platform::FileCall call) { return call == failing ? quillex::testing::kIoError : 0; }));
        EXPECT_EQ(refusal([&] { files->writeTemporaryFile(folder / "x.tmp", "text"); }),
                  "Could not flush temporary preset file")
            << platform::fileCallName(failing);
    }
#ifndef _WIN32  // the folder sync after the move is POSIX-only
    {
        quillex::testing::ScopedFilePrimitives seam(platform::gatedFilePrimitives(
            platform::realFilePrimitives(),
            [](platform::FileCall call) { return call == platform::FileCall::syncFolder ? EIO : 0; }));
        files->writeTemporaryFile(folder / "y.tmp", "text");
        // The rename went through but is not yet durable: reported as a failed install.
        EXPECT_EQ(refusal([&] { files->install(folder / "y.tmp", folder / "y.json"); }),
                  "Could not install preset library");
    }
#endif
}

TEST(NativePresetFileSystem, ASecondLockOnThePathWaitsForTheFirst) {
    TempFolder folder;
    const auto files = makeNativePresetFileSystem();
    const std::string path = folder / "Quillex/lib.json.lock";
    auto first = files->lock(path);
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    std::atomic<bool> secondHeld{false};
    std::thread second([&] {
        auto lock = makeNativePresetFileSystem()->lock(path);
        secondHeld = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(secondHeld.load());
    first.reset();
    second.join();
    EXPECT_TRUE(secondHeld.load());
    EXPECT_TRUE(std::filesystem::is_regular_file(path));  // never deleted
}

}  // namespace
}  // namespace quillex::host
