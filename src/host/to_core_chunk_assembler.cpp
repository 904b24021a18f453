// Frame checks in their fixed order, piece collection and the error payloads of the chunk road.
#include "host/to_core_chunk_assembler.h"

#include <limits>
#include <optional>

namespace quillex {

using nlohmann::json;

namespace {

constexpr std::string_view kFrameMessageName = "__qx_to_core_chunk";

ToCoreChunkResult failure(ToCoreChunkCode code, bool keepPending = false) {
    ToCoreChunkResult result;
    result.hasError = true;
    result.code = code;
    result.keepPending = keepPending;
    return result;
}

// A JSON integer read as signed 64-bit: an unsigned value past 2^63 - 1 counts
// as negative, so it is refused with the negative ones.
std::optional<std::int64_t> readNonNegativeInteger(const json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < 0) return std::nullopt;
        return number;
    }
    return std::nullopt;
}

struct ReplyText {
    const char* code;
    const char* error;
};

ReplyText replyText(ToCoreChunkCode code) {
    switch (code) {
        case ToCoreChunkCode::Interrupted:
            return {"vessa_message_chunk_interrupted", "An oversized toCore message was interrupted."};
        case ToCoreChunkCode::Mismatch:
            return {"vessa_message_chunk_mismatch", "An oversized toCore message arrived out of sequence."};
        case ToCoreChunkCode::TooLarge:
            return {"vessa_message_chunk_too_large", "An oversized toCore message exceeded the supported size."};
        default:
            return {"vessa_message_chunk_invalid", "An oversized toCore message had invalid framing."};
    }
}

}  // namespace

ToCoreChunkResult ToCoreChunkAssembler::accept(const json& frame) {
    if (!frame.is_object()) return failure(ToCoreChunkCode::Malformed);
    const auto id = frame.find("id");
    const auto type = frame.find("type");
    const auto index = frame.find("index");
    const auto total = frame.find("total");
    const auto chunk = frame.find("chunk");
    const auto end = frame.end();
    if (id == end || type == end || index == end || total == end || chunk == end) {
        return failure(ToCoreChunkCode::Malformed);
    }
    if (!id->is_string() || !type->is_string() || !chunk->is_string()) return failure(ToCoreChunkCode::Malformed);

    const auto& idText = id->get_ref<const std::string&>();
    const auto& typeText = type->get_ref<const std::string&>();
    const auto& piece = chunk->get_ref<const std::string&>();
    if (idText.empty() || idText.size() > kToCoreChunkMaxIdBytes) return failure(ToCoreChunkCode::BadId);
    if (typeText.empty() || typeText.size() > kToCoreChunkMaxTypeBytes || typeText == kFrameMessageName) {
        return failure(ToCoreChunkCode::BadType);
    }
    const auto indexValue = readNonNegativeInteger(*index);
    const auto totalValue = readNonNegativeInteger(*total);
    if (!indexValue || !totalValue) return failure(ToCoreChunkCode::BadIndex);
    if (*totalValue < 1 || *totalValue > kToCoreChunkMaxPieces) return failure(ToCoreChunkCode::BadTotal);
    if (*indexValue >= *totalValue) return failure(ToCoreChunkCode::BadIndex);
    if (piece.size() > kToCoreChunkMaxPieceBytes) return failure(ToCoreChunkCode::TooLarge);

    const auto pieceIndex = static_cast<std::uint64_t>(*indexValue);
    const auto pieceTotal = static_cast<std::uint64_t>(*totalValue);
    bool interrupted = false;
    if (pieceIndex == 0) {
        interrupted = pending_;
        reset();
        id_ = idText;
        type_ = typeText;
        total_ = pieceTotal;
        pieces_.reserve(pieceTotal);
        pending_ = true;
    } else if (!pending_) {
        return failure(ToCoreChunkCode::BadIndex);
    }
    if (idText != id_ || typeText != type_ || pieceTotal != total_) return failure(ToCoreChunkCode::Mismatch, true);
    if (pieceIndex != pieces_.size()) return failure(ToCoreChunkCode::Mismatch);
    if (byteCount_ + piece.size() > kToCoreChunkMaxMessageBytes) return failure(ToCoreChunkCode::TooLarge);

    pieces_.push_back(piece);
    byteCount_ += piece.size();

    ToCoreChunkResult result;
    if (interrupted) {
        result.hasError = true;
        result.code = ToCoreChunkCode::Interrupted;
    }
    if (pieces_.size() < total_) {
        result.keepPending = true;
        return result;
    }
    result.text.reserve(byteCount_);
    for (const std::string& held : pieces_) result.text += held;
    result.type = std::move(type_);
    result.complete = true;
    reset();
    return result;
}

void ToCoreChunkAssembler::reset() {
    id_.clear();
    type_.clear();
    total_ = 0;
    // Released, not only cleared: a dropped message gives its memory back.
    std::vector<std::string>().swap(pieces_);
    byteCount_ = 0;
    pending_ = false;
}

json makeToCoreChunkErrorPayload(ToCoreChunkCode code, const json& frame) {
    const ReplyText text = replyText(code);
    json payload = {{"code", text.code}, {"error", text.error}, {"source", "core"}, {"recoveryRequired", false}};
    if (frame.is_object()) {
        const auto id = frame.find("id");
        if (id != frame.end() && id->is_string()) payload["messageId"] = *id;
        const auto type = frame.find("type");
        if (type != frame.end() && type->is_string()) payload["messageType"] = *type;
        const auto index = frame.find("index");
        if (index != frame.end() && index->is_number_integer()) payload["receivedIndex"] = *index;
    }
    return payload;
}

json makeToCoreChunkUndecodablePayload() {
    return {{"code", "vessa_message_chunk_invalid"}, {"error", "An oversized toCore message could not be decoded."}};
}

}  // namespace quillex
