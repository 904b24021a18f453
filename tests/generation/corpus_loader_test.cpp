// Finding the library's folder, the one-time load and the load status messages.
#include "generation/corpus_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "generation/chord_transition_writer.h"
#include "generation/progression_corpus_writer.h"

namespace quillex {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the temporary directory, removed afterwards.
class FixtureFolder {
public:
    explicit FixtureFolder(const std::string& name)
        : path_(fs::temp_directory_path() / ("quillex-corpus-" + name + "-" + std::to_string(std::random_device{}()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~FixtureFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string path() const { return path_.string(); }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    fs::path path_;
};

std::vector<std::uint8_t> validProgressionFile() {
    SourceProgression record;
    record.romanTokens = {"I", "V", "vi", "IV"};
    return writeProgressionCorpus({{"popedm", {{4, {record}}}}});
}

std::vector<std::uint8_t> validTransitionFile() {
    ChordTransitionImage image;
    image.tokens = {"I", "V"};
    image.pairs = {{0, 1, 1.0f}};
    return writeChordTransitionCorpus(image);
}

TEST(CorpusInitStatusMessages, NameEachFailedCorpusInOrder) {
    EXPECT_EQ(makeCorpusInitStatus(true, true), (CorpusInitStatus{true, true, ""}));
    EXPECT_EQ(makeCorpusInitStatus(false, true).message, "Required corpus initialization failed: chord suggestions");
    EXPECT_EQ(makeCorpusInitStatus(true, false).message, "Required corpus initialization failed: local progressions");
    EXPECT_EQ(makeCorpusInitStatus(false, false).message,
              "Required corpus initialization failed: chord suggestions local progressions");
}

TEST(CorpusLoading, EmptyFolderReadsNothing) {
    ProgressionCorpus corpus;
    ChordTransitionModel model;
    EXPECT_EQ(loadRequiredCorpora("", corpus, model), makeCorpusInitStatus(false, false));
}

TEST(CorpusLoading, BothFilesLoad) {
    FixtureFolder folder("both");
    folder.write("pc.bin", validProgressionFile());
    folder.write("cc.bin", validTransitionFile());
    ProgressionCorpus corpus;
    ChordTransitionModel model;
    EXPECT_EQ(loadRequiredCorpora(folder.path(), corpus, model), (CorpusInitStatus{true, true, ""}));
    EXPECT_EQ(corpus.recordCount(), 1u);
    EXPECT_FLOAT_EQ(model.pairWeight("I", "V"), 1.0f);
}

TEST(CorpusLoading, OnlyTheProgressionFileMissing) {
    FixtureFolder folder("no-pc");
    folder.write("cc.bin", validTransitionFile());
    ProgressionCorpus corpus;
    ChordTransitionModel model;
    const auto status = loadRequiredCorpora(folder.path(), corpus, model);
    EXPECT_TRUE(status.suggestionsReady);
    EXPECT_FALSE(status.progressionsReady);
    EXPECT_EQ(status.message, "Required corpus initialization failed: local progressions");
}

TEST(CorpusLoading, ZeroByteTransitionFileCountsAsUnreadable) {
    FixtureFolder folder("empty-cc");
    folder.write("cc.bin", {});
    folder.write("pc.bin", validProgressionFile());
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(readWholeFile(folder.path() + "/cc.bin", bytes));
    EXPECT_FALSE(readWholeFile(folder.path() + "/missing.bin", bytes));
    ProgressionCorpus corpus;
    ChordTransitionModel model;
    EXPECT_EQ(loadRequiredCorpora(folder.path(), corpus, model).message,
              "Required corpus initialization failed: chord suggestions");
}

TEST(CorpusLoading, SwappedFilesFailOnTheirMagic) {
    FixtureFolder folder("swapped");
    folder.write("cc.bin", validProgressionFile());
    folder.write("pc.bin", validTransitionFile());
    ProgressionCorpus corpus;
    ChordTransitionModel model;
    EXPECT_EQ(loadRequiredCorpora(folder.path(), corpus, model), makeCorpusInitStatus(false, false));
}

// A folder, a FIFO with no writer, a link that never resolves and a file its
// reader may not open, each in one corpus's place: that corpus is off, the
// other loads, and nothing blocks or throws.
TEST(CorpusLoading, NonFilesInACorpusPlaceTurnOffThatCorpusAlone) {
    struct Replacement {
        const char* name;
        std::function<void(const std::string&)> make;
        bool unreadable;  // false where the reader can open it anyway (root ignores permissions)
    };
    std::vector<Replacement> replacements = {
        {"folder", [](const std::string& path) { fs::create_directory(path); }, true},
    };
#ifndef _WIN32
    // Windows has no FIFO in a folder, and no permission bits that bar a reader.
    replacements.push_back({"fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, true});
    replacements.push_back({"loop", [](const std::string& path) { fs::create_symlink(path, path); }, true});
    replacements.push_back({"no-permission",
                            [](const std::string& path) {
                                std::ofstream(path) << "unreadable";
                                fs::permissions(path, fs::perms::none);
                            },
                            ::geteuid() != 0});  // root ignores permissions
#endif
    for (const Replacement& replacement : replacements) {
        for (const bool replaceTransitions : {true, false}) {
            FixtureFolder folder(std::string("odd-") + replacement.name);
            const std::string odd = replaceTransitions ? "cc.bin" : "pc.bin";
            if (replaceTransitions) {
                folder.write("pc.bin", validProgressionFile());
            } else {
                folder.write("cc.bin", validTransitionFile());
            }
            replacement.make(folder.path() + "/" + odd);
            std::vector<std::uint8_t> bytes;
            if (replacement.unreadable) {
                EXPECT_FALSE(readWholeFile(folder.path() + "/" + odd, bytes));
            }
            ProgressionCorpus corpus;
            ChordTransitionModel model;
            const CorpusInitStatus status = loadRequiredCorpora(folder.path(), corpus, model);
            EXPECT_EQ(status, makeCorpusInitStatus(!replaceTransitions, replaceTransitions))
                << replacement.name << " as " << odd;
        }
    }
}

TEST(CorpusModulePath, SeparatorsOfBothKinds) {
    EXPECT_EQ(findLastPathSeparator("C:\\Hosts\\Library/quillex.dll"), std::optional<std::size_t>(16));
    EXPECT_EQ(findLastPathSeparator("C:\\Hosts\\quillex.dll"), std::optional<std::size_t>(8));
    EXPECT_FALSE(findLastPathSeparator("quillex.dll").has_value());
}

TEST(CorpusModulePath, OwnFolderIsWhereTheBinaryLies) {
    const std::string folder = getOwnModuleDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
#ifdef _WIN32
    wchar_t own[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, own, 32768);
    ASSERT_GT(length, 0u);
    const fs::path binary(std::wstring(own, length));
#else
    const fs::path binary = fs::canonical("/proc/self/exe");
#endif
    EXPECT_TRUE(fs::equivalent(fs::u8path(folder), binary.parent_path())) << folder;
}

TEST(CorpusOneTimeLoad, LoadsTheShippedFilesOnceAndKeepsTheStatus) {
    ensureCorporaInitialized();
    const auto status = corpusInitStatus();
    EXPECT_EQ(status, (CorpusInitStatus{true, true, ""}));
    const auto* before = &sharedProgressionCorpus();
    const auto records = sharedProgressionCorpus().recordCount();
    ensureCorporaInitialized();
    EXPECT_EQ(corpusInitStatus(), status);
    EXPECT_EQ(&sharedProgressionCorpus(), before);
    EXPECT_EQ(sharedProgressionCorpus().recordCount(), records);
    EXPECT_TRUE(sharedChordTransitionModel().hasPairWeights());
}

}  // namespace
}  // namespace quillex
