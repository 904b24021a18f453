// Test support for the document session: a stand-in resolver, session internals and request builders.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/document_session.h"
#include "document/user_settings_section.h"

namespace quillex {

// Reaches the session's private state for invariant checks and the stale-outcome hook.
class DocumentSessionTestAccess {
public:
    static std::vector<RevisionPtr> revisions(const DocumentSession& session) {
        std::lock_guard state(session.stateMutex_);
        return {session.revisions_.begin(), session.revisions_.end()};
    }
    static std::vector<std::string> transactionIdOrder(const DocumentSession& session) {
        std::lock_guard state(session.stateMutex_);
        return {session.transactionIdOrder_.begin(), session.transactionIdOrder_.end()};
    }
    static std::size_t seenTransactionIdCount(const DocumentSession& session) {
        std::lock_guard state(session.stateMutex_);
        return session.seenTransactionIds_.size();
    }
    static bool remembers(const DocumentSession& session, const std::string& id) {
        std::lock_guard state(session.stateMutex_);
        return session.seenTransactionIds_.count(id) != 0;
    }
    static void setBeforePublish(DocumentSession& session, std::function<void()> hook) {
        session.beforePublish_ = std::move(hook);
    }
    // Publishes a revision behind a running command's back, as no public path can.
    static void replaceCurrent(DocumentSession& session, RevisionPtr revision) {
        std::lock_guard state(session.stateMutex_);
        session.current_ = revision;
        session.revisions_.push_back(std::move(revision));
    }
    static const VoicerPort& voicerPort(const DocumentSession& session) { return session.voicerPort_; }
    static std::uint64_t nextSlotNumber(const DocumentSession& session) { return session.nextSlotNumber_; }
    static void setNextSlotNumber(DocumentSession& session, std::uint64_t n) { session.nextSlotNumber_ = n; }
};

namespace testing {

// A one-shot gate: waiters block until it opens; every wait is bounded so a broken
// test fails instead of hanging.
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool wait(std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return open_; });
    }
    bool isOpen() {
        std::lock_guard lock(mutex_);
        return open_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Voices each chord slot from its text (so different chords give different records),
// counts calls, fails on demand and can hold a voicing compile on a gate.
class StandInResolver final : public RevisionResolver {
public:
    std::atomic<int> voicingCalls{0};
    std::atomic<int> planCalls{0};
    std::optional<std::string> failVoicings;  // set before use, not while a command runs
    std::optional<std::string> failPlan;
    bool rowsPerSlot = false;  // rows are large; only the trace tests count them
    // When set, compileVoicings opens `entered` and waits for `release`.
    std::shared_ptr<Gate> entered;
    std::shared_ptr<Gate> release;
    std::atomic<bool> releaseTimedOut{false};
    // Returned as they are when set: a resolver whose work is already done.
    std::shared_ptr<const ResolvedVoicings> readyVoicings;
    std::shared_ptr<const ResolvedPerformancePlan> readyPlan;

    std::shared_ptr<const ResolvedVoicings> compileVoicings(const ProjectDocument& document,
                                                            const UserSettingsSection& settings,
                                                            VoicerPort& port) override {
        ++voicingCalls;
        if (entered) entered->open();
        if (release && !release->wait()) releaseTimedOut = true;
        if (failVoicings) throw std::runtime_error(*failVoicings);
        if (readyVoicings) return readyVoicings;
        port.hasPrevious = true;
        auto voicings = std::make_shared<ResolvedVoicings>();
        for (const auto& slot : document.progression->slots) {
            if (slot.isRest) continue;
            ResolvedVoicing voicing;
            const auto& text = slot.chord.original;
            const int base = 48 + static_cast<int>(text.size() % 12) + (settings.simplifyAccidentals ? 1 : 0);
            voicing.notes = {base, base + 4, base + 7};
            voicing.maxManualInversions = static_cast<std::int32_t>(text.size() % 4);
            if (const auto slash = text.find('/'); slash != std::string::npos)
                voicing.slashBass = text.substr(slash + 1);
            voicing.noteLabels = {text, "3", "5"};
            voicings->push_back(std::move(voicing));
        }
        return voicings;
    }

    std::shared_ptr<const ResolvedPerformancePlan> compilePlan(const ProjectDocument& document,
                                                               const ResolvedVoicings&) override {
        ++planCalls;
        if (failPlan) throw std::runtime_error(*failPlan);
        if (readyPlan) return readyPlan;
        auto plan = std::make_shared<ResolvedPerformancePlan>();
        if (rowsPerSlot) plan->rows.resize(document.progression->slots.size());
        return plan;
    }
};

inline UserSettingsSection defaultUserSettings() { return {"fifths", true, false}; }

inline std::shared_ptr<const UserSettingsSection> sharedUserSettings() {
    return std::make_shared<const UserSettingsSection>(defaultUserSettings());
}

// A document_command envelope; `base` adds "baseRevision".
inline nlohmann::json commandRequest(const std::string& transactionId, nlohmann::json command,
                                     std::optional<std::uint64_t> base = std::nullopt) {
    nlohmann::json request = {{"schemaVersion", 1}, {"transactionId", transactionId}, {"command", std::move(command)}};
    if (base) request["baseRevision"] = *base;
    return request;
}

inline std::string errorCode(const nlohmann::json& payload) {
    return payload.is_object() && payload.contains("code") ? payload["code"].get<std::string>() : std::string();
}

}  // namespace testing
}  // namespace quillex
