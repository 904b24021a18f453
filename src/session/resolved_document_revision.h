// One resolved state of the project, and the outcome of a session operation that may produce one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/project_document.h"
#include "document/user_settings_section.h"
#include "performance/performance_plan.h"

namespace quillex {

// Created complete, published once and never changed; everything in it is shared.
struct ResolvedDocumentRevision {
    std::uint64_t revision = 0;
    std::string originatingTransactionId;
    std::shared_ptr<const ProjectDocument> document;
    std::shared_ptr<const UserSettingsSection> userSettings;
    std::shared_ptr<const ResolvedVoicings> voicings;
    std::shared_ptr<const ResolvedPerformancePlan> plan;
};

using RevisionPtr = std::shared_ptr<const ResolvedDocumentRevision>;

struct SessionResult {
    RevisionPtr revision;  // empty on failure
    std::string errorCode;
    std::string errorMessage;

    bool succeeded() const { return revision != nullptr && errorMessage.empty(); }

    static SessionResult success(RevisionPtr revision) { return {std::move(revision), {}, {}}; }
    static SessionResult failure(std::string code, std::string message) {
        return {nullptr, std::move(code), std::move(message)};
    }
};

// How much of a revision a change must compute again; any other value counts as None.
enum class ResolveImpact : std::int32_t {
    None = 0,         // voicings and plan shared with the base revision
    Performance = 1,  // voicings shared, plan compiled anew
    Harmony = 2,      // both compiled anew
};

}  // namespace quillex
