// One-time load of "cc.bin" and "pc.bin" from beside the library.
#include "generation/corpus_loader.h"

#include <exception>
#include <mutex>
#include <utility>

#include "platform/module_path.h"
#include "platform/regular_file_read.h"

namespace quillex {
namespace {

ProgressionCorpus& mutableProgressionCorpus() {
    static ProgressionCorpus corpus;
    return corpus;
}

ChordTransitionModel& mutableChordTransitionModel() {
    static ChordTransitionModel model;
    return model;
}

CorpusInitStatus& storedStatus() {
    static CorpusInitStatus status;
    return status;
}

std::once_flag& loadOnce() {
    static std::once_flag flag;
    return flag;
}

}  // namespace

const ProgressionCorpus& sharedProgressionCorpus() { return mutableProgressionCorpus(); }
const ChordTransitionModel& sharedChordTransitionModel() { return mutableChordTransitionModel(); }
CorpusInitStatus corpusInitStatus() { return storedStatus(); }

void ensureCorporaInitialized() {
    // The module lookup runs only on the first call; later calls just pass the flag.
    std::call_once(loadOnce(), [] { initializeRequiredCorpora(getOwnModuleDirectory()); });
}

std::optional<std::size_t> findLastPathSeparator(std::string_view text) {
    const auto pos = text.find_last_of("/\\");
    if (pos == std::string_view::npos) return std::nullopt;
    return pos;
}

std::string getOwnModuleDirectory() {
    const std::string path = platform::ownModuleFilePath();
    const auto separator = findLastPathSeparator(path);
    if (!separator) return {};
    return path.substr(0, *separator);
}

void initializeRequiredCorpora(const std::string& directory) {
    auto& status = storedStatus();
    try {
        status = loadRequiredCorpora(directory);
    } catch (const std::exception& error) {
        status.message = std::string("Required corpus initialization threw an exception: ") + error.what();
    } catch (...) {
        status.message = "Required corpus initialization threw an unknown exception";
    }
}

CorpusInitStatus loadRequiredCorpora(const std::string& directory) {
    return loadRequiredCorpora(directory, mutableProgressionCorpus(), mutableChordTransitionModel());
}

CorpusInitStatus loadRequiredCorpora(const std::string& directory, ProgressionCorpus& corpus,
                                     ChordTransitionModel& model) {
    if (directory.empty()) return makeCorpusInitStatus(false, false);
    std::vector<std::uint8_t> bytes;
    bool suggestionsReady = false;
    if (readWholeFile(directory + "/cc.bin", bytes)) {
        suggestionsReady = loadChordTransitionCorpus(model, bytes.data(), bytes.size()) != 0;
    }
    bool progressionsReady = false;
    if (readWholeFile(directory + "/pc.bin", bytes)) {
        progressionsReady = loadProgressionCorpus(corpus, bytes.data(), bytes.size());
    }
    return makeCorpusInitStatus(suggestionsReady, progressionsReady);
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    // Only a regular file within the bound is read, so a folder, FIFO or
    // device in a corpus's place turns off that corpus alone instead of
    // blocking the load or sizing a buffer from a meaningless end position.
    std::optional<std::vector<std::uint8_t>> read = platform::readRegularFile(path, kMaxCorpusFileBytes);
    if (!read || read->empty()) return false;
    bytes = std::move(*read);
    return true;
}

CorpusInitStatus makeCorpusInitStatus(bool suggestionsReady, bool progressionsReady) {
    CorpusInitStatus status{suggestionsReady, progressionsReady, {}};
    if (suggestionsReady && progressionsReady) return status;
    status.message = "Required corpus initialization failed:";
    if (!suggestionsReady) status.message += " chord suggestions";
    if (!progressionsReady) status.message += " local progressions";
    return status;
}

int loadChordTransitionCorpus(const std::uint8_t* bytes, std::size_t size) {
    return loadChordTransitionCorpus(mutableChordTransitionModel(), bytes, size);
}

}  // namespace quillex
