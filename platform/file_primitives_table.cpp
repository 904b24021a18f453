// The parts of the file-call seam that are the same on every system: step names and the table in use.
#include <utility>

#include "platform/file_primitives.h"

namespace quillex::platform {
namespace {

constexpr std::string_view kCallNames[kFileCallCount] = {
    "statFile",       "makeFolder",    "openRead",       "readBytes",  "closeRead",   "openTemporary",
    "writeTemporary", "syncTemporary", "closeTemporary", "renameFile", "openFolder",  "syncFolder",
    "closeFolder",    "removeFile",    "openLock",       "takeLock",   "releaseLock", "closeLock",
};

struct Installed {
    FilePrimitives real = realFilePrimitives();
    std::optional<FilePrimitives> injected;
};

Installed& installed() {
    static Installed instance;
    return instance;
}

}  // namespace

std::string_view fileCallName(FileCall call) { return kCallNames[static_cast<int>(call)]; }

std::optional<FileCall> fileCallFromName(std::string_view name) {
    for (int i = 0; i < kFileCallCount; ++i) {
        if (kCallNames[i] == name) return static_cast<FileCall>(i);
    }
    return std::nullopt;
}

const FilePrimitives& filePrimitives() {
    const Installed& s = installed();
    return s.injected ? *s.injected : s.real;
}

void setFilePrimitivesForTesting(std::optional<FilePrimitives> primitives) {
    installed().injected = std::move(primitives);
}

}  // namespace quillex::platform
