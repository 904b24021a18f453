// Payloads of the successful document command replies: views, revisions and change reports.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "session/resolved_document_revision.h"

namespace quillex {

using SectionNames = std::span<const std::string_view>;

// {"derivedVoicings", "documentState", "revision"}.
nlohmann::json makeDocumentViewReply(const ResolvedDocumentRevision& revision);
// {"documentState", "revision"}.
nlohmann::json makeDocumentRevisionReply(const ResolvedDocumentRevision& revision);
// What moved from `previous` to `next`; sections are compared by identity. Without a
// previous revision every candidate section and both lists count as changed.
nlohmann::json makeDocumentChangeReport(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                                        const std::string& transactionId, std::uint64_t baseRevision,
                                        SectionNames sections);

nlohmann::json writeVoicingView(const ResolvedDocumentRevision& revision);
nlohmann::json writeVoicingsPatch(const ResolvedVoicings* previous, const ResolvedVoicings& next);
nlohmann::json writeDocumentChanges(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                                    SectionNames sections);
nlohmann::json writeProgressionParseResult(const ProgressionSection* previous, const ProgressionSection& next);

// True when the two documents hold different objects for the named section; false
// for a name that is no section.
bool sectionChanged(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                    std::string_view name);

}  // namespace quillex
