// Page messages, wire text and chunk frames.
#include "host/page_message.h"

#include <atomic>

namespace quillex {

using nlohmann::json;

namespace {

std::atomic<std::uint64_t> pageChunkCounter{0};
std::atomic<std::uint64_t> bridgeChunkCounter{0};

}  // namespace

bool isErrorMessage(std::string_view type, const json& payload) {
    if (type == "error") return true;
    if (type.size() > 6 && type.ends_with("_error")) return true;
    if (!payload.is_object()) return false;
    const auto success = payload.find("success");
    if (success != payload.end() && success->is_boolean() && !success->get<bool>()) return true;
    return payload.contains("error");
}

json buildPageMessage(std::string_view type, json payload) {
    if (!payload.is_object()) payload = json{{"value", std::move(payload)}};
    json message = json::object();
    message["type"] = type;
    message["ok"] = !isErrorMessage(type, payload);
    const auto requestId = payload.find("request_id");
    if (requestId != payload.end() && requestId->is_string()) {
        message["request_id"] = std::move(*requestId);
        payload.erase("request_id");
    }
    const auto error = payload.find("error");
    if (error != payload.end()) message["error"] = *error;
    message["payload"] = std::move(payload);
    return message;
}

std::string writeWireText(const json& value) { return value.dump(-1, ' ', true, json::error_handler_t::strict); }

std::vector<std::string> buildChunkFrames(std::string_view type, std::string_view text, std::string_view id,
                                          std::size_t piece) {
    const std::size_t total = (text.size() + piece - 1) / piece;
    std::vector<std::string> frames;
    frames.reserve(total);
    json frame = {{"id", id}, {"total", total}, {"type", type}};
    for (std::size_t index = 0; index < total; ++index) {
        frame["index"] = index;
        frame["chunk"] = text.substr(index * piece, piece);
        frames.push_back(writeWireText(frame));
    }
    return frames;
}

std::uint64_t nextPageChunkNumber() { return ++pageChunkCounter; }
std::uint64_t nextBridgeChunkNumber() { return ++bridgeChunkCounter; }

}  // namespace quillex
