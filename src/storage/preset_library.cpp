// The preset store: transaction IDs, the locked read-modify-write, and atomic writes with rollback.
#include "storage/preset_library.h"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/file_system.h"
#include "protocol/json_text.h"
#include "storage/native_preset_file_system.h"
#include "storage/preset_id.h"
#include "storage/preset_library_shape.h"
#include "storage/preset_name.h"
#include "storage/preset_revision.h"
#include "storage/store_error.h"

namespace quillex {

namespace {

nlohmann::json parseText(std::string_view text) { return parseJsonText(text); }

// Deleting a companion is best effort: its outcome is never reported.
void removeQuietly(host::PresetFileSystem& fileSystem, const std::string& path) {
    try {
        fileSystem.remove(path);
    } catch (const std::exception&) {}
}

}  // namespace

PresetStoreResult PresetStoreResult::fromException(const std::exception& error, std::string defaultCode) {
    PresetStoreResult result;
    result.message = error.what();
    const auto* storeError = dynamic_cast<const host::StoreError*>(&error);
    result.code = storeError != nullptr ? storeError->code : std::move(defaultCode);
    return result;
}

PresetLibrary::PresetLibrary(PresetLibraryDefinition definition, std::string libraryPath,
                             std::shared_ptr<host::PresetFileSystem> fileSystem)
    : definition_(std::move(definition)), libraryPath_(std::move(libraryPath)), fileSystem_(std::move(fileSystem)) {
    if (!fileSystem_) throw std::invalid_argument("Preset filesystem is required");
    if (!definition_.decodeLibrary || !definition_.makeEntry || !definition_.renameEntry || definition_.label.empty() ||
        definition_.codePrefix.empty() || definition_.fileName.empty()) {
        throw std::invalid_argument("Preset library definition is incomplete");
    }
}

std::string PresetLibrary::code(std::string_view suffix) const { return definition_.codePrefix + std::string(suffix); }

void PresetLibrary::registerTransactionId(std::string_view transactionId) {
    if (transactionId.empty()) {
        throw host::StoreError(code("_transaction_invalid"), definition_.label + " transaction ID must not be empty");
    }
    std::lock_guard guard(transactionMutex_);
    std::string id(transactionId);
    if (!seenTransactions_.insert(id).second) {
        throw host::StoreError(code("_transaction_reused"),
                               definition_.label + " transaction ID has already been used");
    }
    transactionOrder_.push_back(std::move(id));
    if (transactionOrder_.size() > kPresetTransactionHistory) {
        seenTransactions_.erase(transactionOrder_.front());
        transactionOrder_.pop_front();
    }
}

nlohmann::json PresetLibrary::readLibrary() {
    if (fileSystem_->exists(libraryPath_)) {
        const auto parsed = parseText(fileSystem_->readFile(libraryPath_));
        auto decoded = definition_.decodeLibrary(parsed);
        // An older version or any other non-canonical content is stored canonically at once.
        if (decoded != parsed) writeLibrary(decoded);
        return decoded;
    }
    return definition_.decodeLibrary(
        nlohmann::json{{"schemaVersion", definition_.schemaVersion}, {"presets", nlohmann::json::array()}});
}

void PresetLibrary::writeLibrary(const nlohmann::json& library) {
    if (definition_.decodeLibrary(library) != library) {
        throw std::runtime_error(definition_.label + " library mutation was not canonical");
    }
    const std::string text = compactPresetText(library);
    const std::string temporaryPath = libraryPath_ + ".tmp";
    const bool existed = fileSystem_->exists(libraryPath_);
    const std::string previous = existed ? fileSystem_->readFile(libraryPath_) : std::string();

    bool installed = false;
    try {
        fileSystem_->createDirectories(platform::parentDirectory(libraryPath_));
        fileSystem_->writeTemporaryFile(temporaryPath, text);
        // A failed install may still have replaced the file (the rename went through but
        // the folder sync after it failed), so the restore below covers it too; when the
        // file is in fact unchanged, restoring the previous text is harmless.
        installed = true;
        fileSystem_->install(temporaryPath, libraryPath_);
        if (definition_.decodeLibrary(parseText(fileSystem_->readFile(libraryPath_))) != library) {
            throw std::runtime_error(definition_.label + " library readback mismatch");
        }
    } catch (const std::exception&) {
        const std::exception_ptr failure = std::current_exception();
        removeQuietly(*fileSystem_, temporaryPath);
        if (!installed) std::rethrow_exception(failure);
        if (existed) {
            const std::string rollbackPath = libraryPath_ + ".rollback.tmp";
            bool restored = false;
            try {
                fileSystem_->writeTemporaryFile(rollbackPath, previous);
                fileSystem_->install(rollbackPath, libraryPath_);
                restored = fileSystem_->readFile(libraryPath_) == previous;
            } catch (const std::exception&) {}
            if (!restored) {
                removeQuietly(*fileSystem_, rollbackPath);
                throw std::runtime_error(definition_.label + " write failed and rollback could not be completed");
            }
        } else {
            // Only a regular file can be the new library; whatever else holds the name
            // (an install that failed before replacing it) is left alone.
            if (fileSystem_->exists(libraryPath_)) removeQuietly(*fileSystem_, libraryPath_);
            if (fileSystem_->exists(libraryPath_)) {
                throw std::runtime_error(definition_.label + " write failed and the new library could not be removed");
            }
        }
        std::rethrow_exception(failure);
    }
}

std::size_t PresetLibrary::findEntryToChange(const nlohmann::json& library, std::string_view id,
                                             std::string_view expectedRevision) const {
    if (!isValidPresetId(id)) throw host::StoreError(code("_id_invalid"), definition_.label + " ID is invalid");
    if (!isPresetRevisionForm(expectedRevision)) {
        throw host::StoreError(code("_revision_invalid"), definition_.label + " revision is invalid");
    }
    const auto& presets = library.at("presets");
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].at("id").get_ref<const std::string&>() != id) continue;
        if (presets[i].at("revision").get_ref<const std::string&>() != expectedRevision) {
            throw host::StoreError(code("_revision_conflict"),
                                   definition_.label + " changed in another device instance");
        }
        return i;
    }
    throw host::StoreError(code("_not_found"), definition_.label + " no longer exists");
}

template <typename Change>
PresetStoreResult PresetLibrary::mutate(std::string_view transactionId, std::string_view codeSuffix, Change change) {
    try {
        PresetStoreResult result;
        {
            registerTransactionId(transactionId);
            const auto lock = fileSystem_->lock(libraryPath_ + ".lock");
            nlohmann::json library = readLibrary();
            const nlohmann::json entry = change(library);
            result.libraryJson = compactPresetText(library);
            if (!entry.is_null()) result.entryJson = compactPresetText(entry);
        }  // the lock is released before the result is handed back
        result.ok = true;
        return result;
    } catch (const std::exception& error) {
        return PresetStoreResult::fromException(error, code(codeSuffix));
    }
}

PresetStoreResult PresetLibrary::list() {
    try {
        PresetStoreResult result;
        {
            const auto lock = fileSystem_->lock(libraryPath_ + ".lock");
            result.libraryJson = compactPresetText(readLibrary());
        }
        result.ok = true;
        return result;
    } catch (const std::exception& error) {
        return PresetStoreResult::fromException(error, code("_load_error"));
    }
}

PresetStoreResult PresetLibrary::create(std::string_view transactionId, std::string_view name,
                                        std::string_view payload) {
    return mutate(transactionId, "_create_error", [&](nlohmann::json& library) {
        auto& presets = library.at("presets");
        if (presets.size() >= kMaximumPresetsPerLibrary) {
            throw std::runtime_error(definition_.label + " library is full");
        }
        const std::string canonical = canonicalPresetName(name, definition_.label);
        const auto parsed = parseText(payload);
        const std::string id = generatePresetId(library, definition_.label);
        presets.push_back(definition_.makeEntry(id, canonical, parsed));
        writeLibrary(library);
        return presets.back();
    });
}

PresetStoreResult PresetLibrary::update(std::string_view transactionId, std::string_view id,
                                        std::string_view expectedRevision, std::string_view name,
                                        std::string_view payload) {
    return mutate(transactionId, "_update_error", [&](nlohmann::json& library) {
        const std::size_t index = findEntryToChange(library, id, expectedRevision);
        const std::string canonical = canonicalPresetName(name, definition_.label);
        const auto parsed = parseText(payload);
        auto& presets = library.at("presets");
        presets[index] = definition_.makeEntry(std::string(id), canonical, parsed);
        writeLibrary(library);
        return presets[index];
    });
}

PresetStoreResult PresetLibrary::rename(std::string_view transactionId, std::string_view id,
                                        std::string_view expectedRevision, std::string_view name) {
    return mutate(transactionId, "_rename_error", [&](nlohmann::json& library) {
        const std::size_t index = findEntryToChange(library, id, expectedRevision);
        const std::string canonical = canonicalPresetName(name, definition_.label);
        auto& presets = library.at("presets");
        presets[index] = definition_.renameEntry(presets[index], canonical);
        writeLibrary(library);
        return presets[index];
    });
}

PresetStoreResult PresetLibrary::deletePreset(std::string_view transactionId, std::string_view id,
                                              std::string_view expectedRevision) {
    return mutate(transactionId, "_delete_error", [&](nlohmann::json& library) {
        const std::size_t index = findEntryToChange(library, id, expectedRevision);
        auto& presets = library.at("presets");
        presets.erase(presets.begin() + static_cast<std::ptrdiff_t>(index));
        writeLibrary(library);
        return nlohmann::json();
    });
}

std::string presetLibraryPath(std::string_view fileName) {
    const auto folder = platform::userDataFolder();
    if (!folder) throw std::runtime_error("APPDATA is unavailable");
    return platform::joinPath(platform::joinPath(*folder, "Quillex"), fileName);
}

std::unique_ptr<PresetLibrary> makePresetLibrary(PresetLibraryDefinition definition) {
    std::string path = presetLibraryPath(definition.fileName);
    return std::make_unique<PresetLibrary>(std::move(definition), std::move(path), host::makeNativePresetFileSystem());
}

}  // namespace quillex
