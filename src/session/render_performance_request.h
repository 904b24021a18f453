// The "render_performance" request: phrase clips, clip payloads, phrase previews and attack previews.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "session/document_session.h"
#include "performance/phrase_render.h"
#include "protocol/bridge_reply.h"

namespace quillex {

// "performance_rendered", or "performance_render_error" for every failure; never throws and
// never changes the session's document.
BridgeReply handleRenderPerformance(const nlohmann::json& request, const DocumentSession& session) noexcept;

// {"request_id", "operation", "error": {"code", "message"}}, the first two copied when they are texts.
BridgeReply makePerformanceRenderError(const nlohmann::json& request, std::string_view code, std::string_view message);

// "none", "duplicate" or "migrate"; throws std::runtime_error otherwise.
BassDisposition parseBassDisposition(const nlohmann::json& value);

}  // namespace quillex
