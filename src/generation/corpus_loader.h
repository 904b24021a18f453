// Finding and loading the two corpus files once per process, and the load status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation/chord_transition_model.h"
#include "generation/progression_corpus.h"

namespace quillex {

struct CorpusInitStatus {
    bool suggestionsReady = false;   // "cc.bin" loaded
    bool progressionsReady = false;  // "pc.bin" loaded
    std::string message;             // empty when both loaded
    bool operator==(const CorpusInitStatus&) const = default;
};

// The process-wide models: empty until the first `ensureCorporaInitialized`,
// read-only afterwards.
const ProgressionCorpus& sharedProgressionCorpus();
const ChordTransitionModel& sharedChordTransitionModel();
// The status stored by the one load (empty flags and message before it).
CorpusInitStatus corpusInitStatus();

// Loads both files from the library's folder the first time it is called in
// the process; later calls return at once, even after a failed load.
void ensureCorporaInitialized();

// Folder of the library's own file without a trailing separator; empty on failure.
std::string getOwnModuleDirectory();
// Position of the last '/' or '\\'.
std::optional<std::size_t> findLastPathSeparator(std::string_view text);
// `loadRequiredCorpora` into the shared models, storing its status; never throws.
void initializeRequiredCorpora(const std::string& directory);
// Reads "cc.bin" and then "pc.bin" from the folder into the shared models.
CorpusInitStatus loadRequiredCorpora(const std::string& directory);
// The same into the given models.
CorpusInitStatus loadRequiredCorpora(const std::string& directory, ProgressionCorpus& corpus,
                                     ChordTransitionModel& model);
// Largest corpus file read: far above the two shipped files (about 150 KB each).
inline constexpr std::size_t kMaxCorpusFileBytes = std::size_t{64} << 20;
// A whole regular file of at most kMaxCorpusFileBytes; an empty, unopenable,
// unreadable or longer file fails, and so does anything that is not a regular file.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);
CorpusInitStatus makeCorpusInitStatus(bool suggestionsReady, bool progressionsReady);
// Loads a "cc.bin" image into the shared model.
int loadChordTransitionCorpus(const std::uint8_t* bytes, std::size_t size);

}  // namespace quillex
