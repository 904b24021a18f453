// A library of named presets on disk: list, create, update, rename and delete, safe across processes.
#pragma once

#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

#include <nlohmann/json_fwd.hpp>

#include "storage/preset_file_system.h"
#include "storage/preset_library_definition.h"

namespace quillex {

// The answer of every preset operation; operations never throw.
struct PresetStoreResult {
    bool ok = false;
    std::string libraryJson;  // compact text of the whole library after the operation
    std::string message;
    std::string code;
    std::string entryJson;  // the created, updated or renamed entry

    // A failure: the exception's text, its code when it is a StoreError, else `defaultCode`.
    static PresetStoreResult fromException(const std::exception& error, std::string defaultCode);

    bool operator==(const PresetStoreResult&) const = default;
};

inline constexpr std::size_t kPresetTransactionHistory = 256;

class PresetLibrary {
public:
    // Throws std::invalid_argument "Preset filesystem is required" or "Preset library
    // definition is incomplete".
    PresetLibrary(PresetLibraryDefinition definition, std::string libraryPath,
                  std::shared_ptr<host::PresetFileSystem> fileSystem);
    PresetLibrary(const PresetLibrary&) = delete;
    PresetLibrary& operator=(const PresetLibrary&) = delete;

    PresetStoreResult list();
    PresetStoreResult create(std::string_view transactionId, std::string_view name, std::string_view payload);
    PresetStoreResult update(std::string_view transactionId, std::string_view id, std::string_view expectedRevision,
                             std::string_view name, std::string_view payload);
    PresetStoreResult rename(std::string_view transactionId, std::string_view id, std::string_view expectedRevision,
                             std::string_view name);
    PresetStoreResult deletePreset(std::string_view transactionId, std::string_view id,
                                   std::string_view expectedRevision);

    const PresetLibraryDefinition& definition() const { return definition_; }
    const std::string& libraryPath() const { return libraryPath_; }

private:
    // One locked read-modify-write; `change` edits the library, writes it and gives the
    // entry to report (null for none).
    template <typename Change>
    PresetStoreResult mutate(std::string_view transactionId, std::string_view codeSuffix, Change change);

    void registerTransactionId(std::string_view transactionId);
    nlohmann::json readLibrary();
    void writeLibrary(const nlohmann::json& library);
    // Index of the entry an update, rename or delete names, after the ID, revision-form,
    // existence and revision checks.
    std::size_t findEntryToChange(const nlohmann::json& library, std::string_view id,
                                  std::string_view expectedRevision) const;
    std::string code(std::string_view suffix) const;

    PresetLibraryDefinition definition_;
    std::string libraryPath_;
    std::shared_ptr<host::PresetFileSystem> fileSystem_;
    std::mutex transactionMutex_;  // guards only the two members below
    std::unordered_set<std::string> seenTransactions_;
    std::deque<std::string> transactionOrder_;
};

// The library file in the folder "Quillex" of the user's data folder, joined with "/";
// throws "APPDATA is unavailable" when there is no data folder. Creates nothing.
std::string presetLibraryPath(std::string_view fileName);

// A store on the native file system at presetLibraryPath(definition.fileName).
std::unique_ptr<PresetLibrary> makePresetLibrary(PresetLibraryDefinition definition);

}  // namespace quillex
