// The seam through which the session compiles a document's voicings and performance plan.
#pragma once

#include <memory>

#include "document/project_document.h"
#include "document/user_settings_section.h"
#include "performance/performance_plan.h"
#include "voicing/voicer_port.h"

namespace quillex {

// Both operations throw a std::exception carrying a sentence on failure and hand out
// results that nobody changes afterwards. The session calls them under its command
// mutex only, so one resolver serves one session's calls one at a time.
class RevisionResolver {
public:
    virtual ~RevisionResolver() = default;
    virtual std::shared_ptr<const ResolvedVoicings> compileVoicings(const ProjectDocument& document,
                                                                    const UserSettingsSection& settings,
                                                                    VoicerPort& port) = 0;
    virtual std::shared_ptr<const ResolvedPerformancePlan> compilePlan(const ProjectDocument& document,
                                                                       const ResolvedVoicings& voicings) = 0;
};

// The performance compiler's two services, with the caller's voicer port.
std::shared_ptr<RevisionResolver> makePerformanceResolver();

}  // namespace quillex
