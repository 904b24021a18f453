// Reading a whole regular file within a bound; anything else in its place gives nothing, without blocking.
#include "platform/regular_file_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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
    std::filesystem::create_symlink(folder / "f", folder / "link");
    EXPECT_EQ(readRegularFile(folder / "link", text.size()), bytesOf(text));
}

TEST(ReadRegularFile, AnythingButARegularFileGivesNothing) {
    const TempFolder folder;
    std::filesystem::create_directory(folder / "dir");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);  // no writer: a blocking open would hang
    std::filesystem::create_symlink(folder / "loop", folder / "loop");
    std::filesystem::create_symlink(folder / "missing", folder / "dangling");
    for (const std::string& path : {folder / "dir", folder / "fifo", folder / "loop", folder / "dangling",
                                    folder / "missing", std::string("/dev/null"), std::string(""), folder.str()}) {
        EXPECT_EQ(readRegularFile(path, 1 << 20), std::nullopt) << path;
    }
}

}  // namespace
}  // namespace quillex::platform
