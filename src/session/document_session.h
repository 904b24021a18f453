// The document session: numbered, resolved revisions of one object's project document.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "document/project_document.h"
#include "session/resolved_document_revision.h"
#include "session/revision_resolver.h"
#include "session/slot_edit.h"
#include "document/user_settings_section.h"
#include "voicing/voicer_port.h"

namespace quillex {

// Keeps the current revision (the one played and edited), the durable one (the newest
// the page settled) and the unsettled ones between, oldest first. Two plain mutexes:
// the command mutex serialises whole mutating commands (and rollback and the view
// read); the state mutex guards the revision bookkeeping and the transaction-ID
// memory for short moments. The command mutex is always taken first and neither is
// ever taken twice by one thread. Resolution runs with only the command mutex held,
// so lookups and commits never wait for it.
class DocumentSession {
public:
    // Resolves through the performance compiler.
    DocumentSession();
    // Resolves through the given resolver (tests use stand-ins).
    explicit DocumentSession(std::shared_ptr<RevisionResolver> resolver);
    DocumentSession(const DocumentSession&) = delete;
    DocumentSession& operator=(const DocumentSession&) = delete;

    static constexpr std::size_t kTransactionIdMemory = 256;

    // Lookups: shared copies, usable without any lock.
    RevisionPtr currentRevision() const;
    RevisionPtr durableRevision() const;
    RevisionPtr revisionAt(std::uint64_t number) const;
    // Throws std::runtime_error "Resolved document revision is unavailable" when not kept.
    RevisionPtr requireRevision(std::uint64_t number) const;
    // The current revision once no mutating command is running (waits for one that is).
    RevisionPtr currentRevisionBetweenCommands() const;

    // Settlement by the page.
    bool commitRevision(std::uint64_t number, std::string_view transactionId);
    RevisionPtr rollbackRevision(std::uint64_t number, std::string_view transactionId);

    // Command support. `base` receives the current revision as it was at the check.
    SessionResult checkTransaction(std::uint64_t baseRevision, std::string_view transactionId, RevisionPtr& base) const;
    // True when the ID was new and is now remembered; false when already remembered.
    bool rememberTransactionId(const std::string& transactionId);
    // A fresh "s<n>" not in usedIds, added to it. The caller holds the command mutex.
    std::string makeSlotId(std::unordered_set<std::string>& usedIds);
    // Gives identifiers to the slots that have none, then validates them all.
    void assignMissingSlotIds(ProjectDocument& document);

    // Recording and resolution. recordRevision's caller holds the command mutex and
    // passes the base that checkTransaction gave it.
    SessionResult recordRevision(const RevisionPtr& base, ProjectDocument document,
                                 const UserSettingsSection& userSettings, std::string transactionId,
                                 ResolveImpact impact);
    // A new, unpublished revision with voicings and plan compiled anew; throws on failure.
    std::shared_ptr<ResolvedDocumentRevision> resolveHarmony(ProjectDocument document,
                                                             const UserSettingsSection& userSettings,
                                                             std::uint64_t revisionNumber,
                                                             const std::string& transactionId);
    SessionResult restoreProjectSnapshot(const nlohmann::json& documentState, const UserSettingsSection& userSettings,
                                         std::string transactionId);
    SessionResult refreshUserSettings(const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                      std::string transactionId);

    // Section setters: each records one revision in which its section(s) are replaced.
    SessionResult setKey(std::shared_ptr<const KeySection> key, const UserSettingsSection& userSettings,
                         std::uint64_t baseRevision, std::string transactionId);
    SessionResult setVoicingPolicy(std::shared_ptr<const VoicingSection> voicing,
                                   const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                   std::string transactionId);
    SessionResult setRhythm(std::shared_ptr<const RhythmSection> rhythm, const UserSettingsSection& userSettings,
                            std::uint64_t baseRevision, std::string transactionId);
    SessionResult setGestureDefaults(std::shared_ptr<const GestureSection> gesture,
                                     const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                     std::string transactionId);
    SessionResult setBassSplit(std::shared_ptr<const BassSplitSection> bassSplit,
                               const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                               std::string transactionId);
    SessionResult setClipSync(std::shared_ptr<const ClipSyncSection> clipSync, const UserSettingsSection& userSettings,
                              std::uint64_t baseRevision, std::string transactionId);
    SessionResult setClipSyncWithBassSplit(std::shared_ptr<const ClipSyncSection> clipSync,
                                           std::shared_ptr<const BassSplitSection> bassSplit,
                                           const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                           std::string transactionId);
    SessionResult updateProgressionLog(std::shared_ptr<const ProgressionLog> log,
                                       const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                       std::string transactionId);

    // Progression commands: each records one revision or changes nothing.
    SessionResult applySlotEdits(const std::vector<SlotEdit>& edits, std::shared_ptr<const KeySection> keyOverride,
                                 std::shared_ptr<const VoicingSection> voicingOverride,
                                 std::shared_ptr<const GestureSection> gestureOverride,
                                 const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                 std::string transactionId);
    SessionResult replaceProgressionText(const std::string& text, bool resetAutoVoicing,
                                         std::shared_ptr<const ProgressionLog> progressionLog,
                                         std::shared_ptr<const KeySection> keyOverride,
                                         std::shared_ptr<const VoicingSection> voicingOverride,
                                         std::shared_ptr<const GestureSection> gestureOverride,
                                         const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                         std::string transactionId);
    // Items are chord texts, or none for a rest.
    SessionResult applyGeneratedProgression(const std::vector<std::optional<std::string>>& items,
                                            std::shared_ptr<const KeySection> key,
                                            const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                            std::string transactionId);
    SessionResult applyMusicalTransform(std::vector<SlotChord> chords, std::shared_ptr<const KeySection> key,
                                        const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                        std::string transactionId);

    // The frame every mutating command shares: under the command mutex, check the
    // transaction, copy the base document (sharing every section), let `change` replace
    // sections of the copy, and record the result. An exception from `change` leaves
    // the session untouched and reaches the caller.
    template <typename Change>
    SessionResult changeDocument(std::uint64_t baseRevision, std::string transactionId,
                                 const UserSettingsSection& userSettings, ResolveImpact impact, Change&& change) {
        std::lock_guard command(commandMutex_);
        RevisionPtr base;
        SessionResult check = checkTransaction(baseRevision, transactionId, base);
        if (!check.succeeded()) return check;
        ProjectDocument document = *base->document;
        change(document, *base->document);
        return recordRevision(base, std::move(document), userSettings, std::move(transactionId), impact);
    }

private:
    friend class DocumentSessionTestAccess;

    // Drops superseded revisions; the caller holds the state mutex.
    void pruneRevisions();
    RevisionPtr findRevision(std::uint64_t number, std::string_view transactionId) const;
    RevisionPtr revisionAtLocked(std::uint64_t number) const;

    mutable std::mutex stateMutex_;
    mutable std::mutex commandMutex_;
    RevisionPtr current_;
    RevisionPtr durable_;
    std::deque<RevisionPtr> revisions_;
    VoicerPort voicerPort_;
    std::uint64_t nextSlotNumber_ = 0;
    std::unordered_set<std::string> seenTransactionIds_;
    std::deque<std::string> transactionIdOrder_;
    std::shared_ptr<RevisionResolver> resolver_;
    // Runs between building a revision and publishing it; set only by tests, to reach
    // the stale outcome that the command mutex otherwise rules out.
    std::function<void()> beforePublish_;
};

}  // namespace quillex
