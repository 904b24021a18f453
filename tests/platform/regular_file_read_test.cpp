// Reading a whole regular file within a bound; anything else in its place gives nothing, without blocking.
#include "platform/regular_file_read.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/file_testing.h"

namespace quillex::platform {
namespace {

using testing::putFile;
using testing::TempFolder;

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ReadRegularFile, ReadsAWholeFileUpToTheLimit) {
    const TempFolder folder;
    const std::string text(40000, '\x7F');  // more than one read buffer
    putFile(folder / "f", text);
    EXPECT_EQ(readRegularFile(folder / "f", text.size()), bytesOf(text));
    EXPECT_EQ(readRegularFile(folder / "f", text.size() - 1), std::nullopt);
    putFile(folder / "empty", "");
    EXPECT_EQ(readRegularFile(folder / "empty", 0), bytesOf(""));
#ifndef _WIN32  // symbolic links are POSIX-only here
    std::filesystem::create_symlink(folder / "f", folder / "link");
    EXPECT_EQ(readRegularFile(folder / "link", text.size()), bytesOf(text));
#endif
}

TEST(ReadRegularFile, AnythingButARegularFileGivesNothing) {
    const TempFolder folder;
    std::filesystem::create_directory(folder / "dir");
    std::vector<std::string> paths = {folder / "dir", folder / "missing", std::string(""), folder.str()};
#ifndef _WIN32                                                // FIFOs, symbolic links and /dev are POSIX-only here
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);  // no writer: a blocking open would hang
    std::filesystem::create_symlink(folder / "loop", folder / "loop");
    std::filesystem::create_symlink(folder / "missing", folder / "dangling");
    paths.insert(paths.end(), {folder / "fifo", folder / "loop", folder / "dangling", std::string("/dev/null")});
#endif
    for (const std::string& path : paths) EXPECT_EQ(readRegularFile(path, 1 << 20), std::nullopt) << path;
}

}  // namespace
}  // namespace quillex::platform
