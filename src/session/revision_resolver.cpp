// The production resolver: the performance compiler's voicing and plan services.
#include "session/revision_resolver.h"

namespace quillex {

namespace {

class PerformanceResolver final : public RevisionResolver {
public:
    std::shared_ptr<const ResolvedVoicings> compileVoicings(const ProjectDocument& document,
                                                            const UserSettingsSection& settings,
                                                            VoicerPort& port) override {
        return compilePerformanceVoicings(document, settings, port);
    }
    std::shared_ptr<const ResolvedPerformancePlan> compilePlan(const ProjectDocument& document,
                                                               const ResolvedVoicings& voicings) override {
        return compilePerformancePlan(document, voicings);
    }
};

}  // namespace

std::shared_ptr<RevisionResolver> makePerformanceResolver() { return std::make_shared<PerformanceResolver>(); }

}  // namespace quillex
