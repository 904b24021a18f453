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

namespace {

// A JSON string literal of ASCII text, byte for byte as the library writes it.
void appendQuotedAscii(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t plainStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F) continue;  // DEL is escaped too
        out.append(text.substr(plainStart, i - plainStart));
        plainStart = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
        }
    }
    out.append(text.substr(plainStart));
    out += '"';
}

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> buildChunkFrames(std::string_view type, std::string_view text, std::string_view id,
                                          std::size_t piece) {
    const std::size_t total = (text.size() + piece - 1) / piece;
    // Members in key order: chunk, id, index, total, type. The pieces come from
    // wire text, which is ASCII, so they are quoted here without the library.
    std::string tail = ",\"id\":" + writeWireText(json(id)) + ",\"index\":";
    const std::string suffix = ",\"total\":" + std::to_string(total) + ",\"type\":" + writeWireText(json(type)) + "}";
    const bool ascii = isAscii(text);
    std::vector<std::string> frames;
    frames.reserve(total);
    for (std::size_t index = 0; index < total; ++index) {
        const std::string_view chunk = text.substr(index * piece, piece);
        std::string frame;
        frame.reserve(chunk.size() + chunk.size() / 8 + tail.size() + suffix.size() + 32);
        frame += "{\"chunk\":";
        if (ascii) {
            appendQuotedAscii(frame, chunk);
        } else {
            frame += writeWireText(json(std::string(chunk)));  // raises on bad UTF-8, as the strict writer does
        }
        frame += tail;
        frame += std::to_string(index);
        frame += suffix;
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::uint64_t nextPageChunkNumber() { return ++pageChunkCounter; }
std::uint64_t nextBridgeChunkNumber() { return ++bridgeChunkCounter; }

}  // namespace quillex
