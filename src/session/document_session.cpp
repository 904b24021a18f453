// The document session: revision bookkeeping, transactions, recording and resolution.
#include "session/document_session.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "document/document_reader.h"
#include "document/slot_ids.h"
#include "protocol/trace_clock.h"
#include "protocol/diagnostic_trace.h"

namespace quillex {

namespace {

void traceResolve(const std::string& transactionId, std::uint64_t revision, const std::string& impactPart,
                  double rowCompileMs, double totalMs, const ProjectDocument& document,
                  const ResolvedPerformancePlan& plan) {
    std::string line = "document_resolve trace_id=";
    line += transactionId;
    line += " revision=" + std::to_string(revision);
    line += impactPart;
    line += " row_compile_ms=" + formatTraceMilliseconds(rowCompileMs);
    line += " total_ms=" + formatTraceMilliseconds(totalMs);
    line += " slots=" + std::to_string(document.progression->slots.size());
    line += " rows=" + std::to_string(plan.rows.size());
    appendDiagnosticTraceLine(std::move(line));
}

}  // namespace

DocumentSession::DocumentSession() : DocumentSession(makePerformanceResolver()) {}

DocumentSession::DocumentSession(std::shared_ptr<RevisionResolver> resolver) : resolver_(std::move(resolver)) {
    if (!resolver_) throw std::invalid_argument("DocumentSession requires a resolver");
}

RevisionPtr DocumentSession::currentRevision() const {
    std::lock_guard state(stateMutex_);
    return current_;
}

RevisionPtr DocumentSession::durableRevision() const {
    std::lock_guard state(stateMutex_);
    return durable_;
}

RevisionPtr DocumentSession::revisionAtLocked(std::uint64_t number) const {
    for (const auto& revision : revisions_) {
        if (revision->revision == number) return revision;
    }
    return nullptr;
}

RevisionPtr DocumentSession::revisionAt(std::uint64_t number) const {
    std::lock_guard state(stateMutex_);
    return revisionAtLocked(number);
}

RevisionPtr DocumentSession::requireRevision(std::uint64_t number) const {
    auto revision = revisionAt(number);
    if (!revision) throw std::runtime_error("Resolved document revision is unavailable");
    return revision;
}

RevisionPtr DocumentSession::currentRevisionBetweenCommands() const {
    std::lock_guard command(commandMutex_);
    std::lock_guard state(stateMutex_);
    return current_;
}

RevisionPtr DocumentSession::findRevision(std::uint64_t number, std::string_view transactionId) const {
    for (const auto& revision : revisions_) {
        if (revision->revision == number && revision->originatingTransactionId == transactionId) return revision;
    }
    return nullptr;
}

bool DocumentSession::commitRevision(std::uint64_t number, std::string_view transactionId) {
    std::lock_guard state(stateMutex_);
    auto found = findRevision(number, transactionId);
    if (!found || (durable_ && number <= durable_->revision)) return false;
    durable_ = std::move(found);
    pruneRevisions();
    return true;
}

RevisionPtr DocumentSession::rollbackRevision(std::uint64_t number, std::string_view transactionId) {
    std::lock_guard command(commandMutex_);
    std::lock_guard state(stateMutex_);
    const auto found = findRevision(number, transactionId);
    if (!found || !durable_ || found->revision <= durable_->revision) return nullptr;
    const auto durableNumber = durable_->revision;
    std::erase_if(revisions_, [&](const RevisionPtr& revision) {
        return revision->revision > durableNumber && revision != durable_;
    });
    current_ = durable_;
    pruneRevisions();
    return current_;
}

void DocumentSession::pruneRevisions() {
    if (!durable_) return;
    const auto durableNumber = durable_->revision;
    std::erase_if(revisions_, [&](const RevisionPtr& revision) {
        return revision != current_ && revision != durable_ && revision->revision < durableNumber;
    });
}

SessionResult DocumentSession::checkTransaction(std::uint64_t baseRevision, std::string_view transactionId,
                                                RevisionPtr& base) const {
    {
        std::lock_guard state(stateMutex_);
        base = current_;
    }
    if (!base || base->revision != baseRevision) {
        return SessionResult::failure("document_revision_mismatch",
                                      "Document command baseRevision " + std::to_string(baseRevision) +
                                          " does not match current revision " +
                                          (base ? std::to_string(base->revision) : std::string("uninitialized")));
    }
    if (transactionId.empty()) {
        return SessionResult::failure("invalid_transaction_id", "Document command requires a transaction ID");
    }
    return SessionResult::success(base);
}

bool DocumentSession::rememberTransactionId(const std::string& transactionId) {
    std::lock_guard state(stateMutex_);
    if (!seenTransactionIds_.insert(transactionId).second) return false;
    transactionIdOrder_.push_back(transactionId);
    if (transactionIdOrder_.size() > kTransactionIdMemory) {
        seenTransactionIds_.erase(transactionIdOrder_.front());
        transactionIdOrder_.pop_front();
    }
    return true;
}

std::string DocumentSession::makeSlotId(std::unordered_set<std::string>& usedIds) {
    for (;;) {
        std::string id = "s" + std::to_string(nextSlotNumber_++);
        if (usedIds.insert(id).second) return id;
    }
}

void DocumentSession::assignMissingSlotIds(ProjectDocument& document) {
    auto progression = std::make_shared<ProgressionSection>(*document.progression);
    std::unordered_set<std::string> usedIds;
    for (const auto& slot : progression->slots) {
        if (slot.id && !slot.id->empty()) usedIds.insert(*slot.id);
    }
    for (auto& slot : progression->slots) {
        if (!slot.id || slot.id->empty()) slot.id = makeSlotId(usedIds);
    }
    validateSlotIds(progression->slots);
    document.progression = std::move(progression);
}

std::shared_ptr<ResolvedDocumentRevision> DocumentSession::resolveHarmony(ProjectDocument document,
                                                                          const UserSettingsSection& userSettings,
                                                                          std::uint64_t revisionNumber,
                                                                          const std::string& transactionId) {
    const auto t0 = TraceClock::now();
    if (transactionId.empty()) throw std::runtime_error("DocumentSession requires a transaction ID");
    auto voicings = resolver_->compileVoicings(document, userSettings, voicerPort_);
    const auto t1 = TraceClock::now();
    auto plan = resolver_->compilePlan(document, *voicings);
    const auto t2 = TraceClock::now();

    auto revision = std::make_shared<ResolvedDocumentRevision>();
    revision->revision = revisionNumber;
    revision->originatingTransactionId = transactionId;
    revision->document = std::make_shared<const ProjectDocument>(std::move(document));
    revision->userSettings = std::make_shared<const UserSettingsSection>(userSettings);
    revision->voicings = std::move(voicings);
    revision->plan = std::move(plan);
    if (isDiagnosticTraceEnabled()) {
        traceResolve(transactionId, revisionNumber,
                     " impact=harmony voicing_ms=" + formatTraceMilliseconds(elapsedMilliseconds(t0, t1)),
                     elapsedMilliseconds(t1, t2), elapsedMilliseconds(t0, t2), *revision->document, *revision->plan);
    }
    return revision;
}

SessionResult DocumentSession::recordRevision(const RevisionPtr& base, ProjectDocument document,
                                              const UserSettingsSection& userSettings, std::string transactionId,
                                              ResolveImpact impact) {
    const std::uint64_t number = base->revision + 1;
    RevisionPtr revision;
    try {
        if (impact == ResolveImpact::Harmony) {
            revision = resolveHarmony(std::move(document), userSettings, number, transactionId);
        } else {
            auto built = std::make_shared<ResolvedDocumentRevision>();
            built->revision = number;
            built->originatingTransactionId = transactionId;
            built->document = std::make_shared<const ProjectDocument>(std::move(document));
            built->userSettings = std::make_shared<const UserSettingsSection>(userSettings);
            built->voicings = base->voicings;
            if (impact == ResolveImpact::Performance) {
                const auto t0 = TraceClock::now();
                built->plan = resolver_->compilePlan(*built->document, *base->voicings);
                const auto t1 = TraceClock::now();
                if (isDiagnosticTraceEnabled()) {
                    const double ms = elapsedMilliseconds(t0, t1);
                    traceResolve(transactionId, number, " impact=performance voicing_ms=0.000000", ms, ms,
                                 *built->document, *built->plan);
                }
            } else {
                built->plan = base->plan;
            }
            revision = std::move(built);
        }
    } catch (const std::exception& e) {
        return SessionResult::failure("document_resolution_failed", e.what());
    }

    if (beforePublish_) beforePublish_();
    {
        std::lock_guard state(stateMutex_);
        if (current_ == base) {
            current_ = revision;
            revisions_.push_back(revision);
            pruneRevisions();
            return SessionResult::success(std::move(revision));
        }
    }
    return SessionResult::failure("document_revision_stale",
                                  "Document command became stale while musical state was resolving");
}

SessionResult DocumentSession::restoreProjectSnapshot(const nlohmann::json& documentState,
                                                      const UserSettingsSection& userSettings,
                                                      std::string transactionId) {
    std::lock_guard command(commandMutex_);
    const RevisionPtr previous = currentRevision();
    const std::uint64_t number = previous ? previous->revision + 1 : 0;
    RevisionPtr revision;
    try {
        ProjectDocument document = readProjectDocument(documentState);
        assignMissingSlotIds(document);
        revision = resolveHarmony(std::move(document), userSettings, number, transactionId);
    } catch (const std::exception& e) {
        return SessionResult::failure("document_restore_failed", e.what());
    }

    if (beforePublish_) beforePublish_();
    std::deque<RevisionPtr> dropped;  // released after the state mutex
    {
        std::lock_guard state(stateMutex_);
        if (current_ == previous) {
            current_ = revision;
            durable_ = revision;
            dropped.swap(revisions_);
            revisions_.push_back(revision);
            return SessionResult::success(std::move(revision));
        }
    }
    return SessionResult::failure("document_revision_stale",
                                  "Project restore became stale while musical state was resolving");
}

SessionResult DocumentSession::refreshUserSettings(const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                                   std::string transactionId) {
    std::lock_guard command(commandMutex_);
    RevisionPtr base;
    SessionResult check = checkTransaction(baseRevision, transactionId, base);
    if (!check.succeeded()) return check;

    RevisionPtr revision;
    try {
        auto voicings = resolver_->compileVoicings(*base->document, userSettings, voicerPort_);
        auto plan = resolver_->compilePlan(*base->document, *voicings);
        auto built = std::make_shared<ResolvedDocumentRevision>();
        built->revision = base->revision;
        built->originatingTransactionId = base->originatingTransactionId;
        built->document = base->document;
        built->userSettings = std::make_shared<const UserSettingsSection>(userSettings);
        built->voicings = std::move(voicings);
        built->plan = std::move(plan);
        revision = std::move(built);
    } catch (const std::exception& e) {
        return SessionResult::failure("document_settings_refresh_failed", e.what());
    }

    if (beforePublish_) beforePublish_();
    {
        std::lock_guard state(stateMutex_);
        if (current_ == base) {
            current_ = revision;
            if (durable_ == base) durable_ = revision;
            for (auto& kept : revisions_) {
                if (kept == base) kept = revision;
            }
            return SessionResult::success(std::move(revision));
        }
    }
    return SessionResult::failure("document_revision_stale", "User settings changed while musical state was resolving");
}

}  // namespace quillex
