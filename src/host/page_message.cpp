// Page messages, wire text and chunk frames.
#include "host/page_message.h"

#include <atomic>
#include <cstdint>

#include "platform/utf8_sequence.h"

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

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

void appendEscapedUnit(std::string& out, std::uint32_t unit) {
    out += "\\u";
    out += kHexDigits[(unit >> 12) & 0xF];
    out += kHexDigits[(unit >> 8) & 0xF];
    out += kHexDigits[(unit >> 4) & 0xF];
    out += kHexDigits[unit & 0xF];
}

// The library's escaping with every character beyond ASCII as \u escapes; a
// byte that starts no well-formed UTF-8 sequence is written as U+FFFD, one per
// byte.
void appendWireString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t plain = i;
        while (plain < text.size()) {
            const auto c = static_cast<unsigned char>(text[plain]);
            if (c < 0x20 || c == '"' || c == '\\' || c >= 0x7F) break;
            ++plain;
        }
        out.append(text.substr(i, plain - i));
        i = plain;
        if (i == text.size()) break;
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"':
                out += "\\\"";
                ++i;
                continue;
            case '\\':
                out += "\\\\";
                ++i;
                continue;
            case '\b':
                out += "\\b";
                ++i;
                continue;
            case '\f':
                out += "\\f";
                ++i;
                continue;
            case '\n':
                out += "\\n";
                ++i;
                continue;
            case '\r':
                out += "\\r";
                ++i;
                continue;
            case '\t':
                out += "\\t";
                ++i;
                continue;
            default:
                break;
        }
        if (c < 0x80) {
            appendEscapedUnit(out, c);
            ++i;
            continue;
        }
        const std::size_t length = platform::wellFormedUtf8Length(text, i);
        if (length == 0) {
            appendEscapedUnit(out, kReplacementCharacter);
            ++i;
            continue;
        }
        std::uint32_t point = c & (length == 2 ? 0x1Fu : length == 3 ? 0x0Fu : 0x07u);
        for (std::size_t k = 1; k < length; ++k)
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        if (point <= 0xFFFF) {
            appendEscapedUnit(out, point);
        } else {
            appendEscapedUnit(out, 0xD7C0 + (point >> 10));
            appendEscapedUnit(out, 0xDC00 + (point & 0x3FF));
        }
        i += length;
    }
    out += '"';
}

void appendWire(std::string& out, const json& value) {
    switch (value.type()) {
        case json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : value.items()) {
                if (!first) out += ',';
                first = false;
                appendWireString(out, key);
                out += ':';
                appendWire(out, member);
            }
            out += '}';
            return;
        }
        case json::value_t::array: {
            out += '[';
            bool first = true;
            for (const json& element : value) {
                if (!first) out += ',';
                first = false;
                appendWire(out, element);
            }
            out += ']';
            return;
        }
        case json::value_t::string:
            appendWireString(out, value.get_ref<const std::string&>());
            return;
        case json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            return;
        case json::value_t::null:
            out += "null";
            return;
        case json::value_t::number_integer:
            out += std::to_string(value.get<std::int64_t>());
            return;
        case json::value_t::number_unsigned:
            out += std::to_string(value.get<std::uint64_t>());
            return;
        default:
            // Floats (shortest round trip, always with a fraction or exponent) and
            // anything rarer keep the library's own form; none holds text.
            out += value.dump(-1, ' ', true, json::error_handler_t::strict);
            return;
    }
}

}  // namespace

std::string writeWireText(const json& value) {
    // The library's ASCII form, written without its per-byte decoder on the
    // plain runs that make up nearly all of a long text.
    std::string text;
    appendWire(text, value);
    return text;
}

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
            frame += writeWireText(json(std::string(chunk)));
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
