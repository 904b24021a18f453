// Handler of the rhythm-pattern catalogue request.
#include "performance/rhythm_patterns_request.h"

#include "performance/rhythm_pattern.h"
#include "protocol/request_readers.h"

namespace quillex {

using nlohmann::json;

namespace {

json writeRhythmPatternsJson() {
    json patterns = json::object();
    std::int32_t order = 0;
    for (const RhythmPatternPreset& preset : builtInRhythmPatterns()) {
        json events = json::array();
        for (const RhythmEvent& e : preset.events) {
            events.push_back(
                {{"offset", e.offset}, {"duration", e.duration}, {"part", e.part}, {"velocity", e.velocity}});
        }
        patterns[preset.id] = {
            {"name", preset.name}, {"description", preset.description}, {"category", preset.category},
            {"order", order++},    {"lengthSteps", preset.lengthSteps}, {"pattern", std::move(events)}};
    }
    return patterns;
}

}  // namespace

BridgeReply handleGetRhythmPatterns(const json& request) {
    return catalogueReply("rhythm_patterns", "patterns", writeRhythmPatternsJson(), request);
}

}  // namespace quillex
