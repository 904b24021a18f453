// Reassembly of page requests that arrive as numbered "__qx_to_core_chunk" frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace quillex {

inline constexpr std::size_t kToCoreChunkMaxIdBytes = 128;
inline constexpr std::size_t kToCoreChunkMaxTypeBytes = 128;
inline constexpr std::int64_t kToCoreChunkMaxPieces = 512;
inline constexpr std::size_t kToCoreChunkMaxPieceBytes = 12000;
inline constexpr std::uint64_t kToCoreChunkMaxMessageBytes = 4194304;  // 4 MiB

// Why a frame was refused; the numbers are what the assembler reports.
enum class ToCoreChunkCode : std::uint8_t {
    None = 0,
    BadId = 1,        // "id" length outside 1..128 bytes
    BadType = 2,      // "type" length outside 1..128 bytes, or the frame message's own name
    BadIndex = 3,     // index or total not a non-negative integer, index >= total, or no message pending
    BadTotal = 4,     // total outside 1..512
    Malformed = 5,    // not an object, a key missing, or id, type or chunk not a string
    Interrupted = 6,  // a new first piece replaced the pending message
    Mismatch = 7,     // a piece of another message, or out of order
    TooLarge = 8,     // a piece over 12000 bytes, or the whole over 4 MiB
};

struct ToCoreChunkResult {
    bool hasError = false;
    ToCoreChunkCode code = ToCoreChunkCode::None;
    std::string type;  // set only when complete
    std::string text;  // set only when complete
    bool complete = false;
    bool keepPending = false;  // with an error: whether the pending message survives it

    friend bool operator==(const ToCoreChunkResult&, const ToCoreChunkResult&) = default;
};

// Holds at most one pending message; all sizes are bytes of the decoded strings.
class ToCoreChunkAssembler {
public:
    // Checks one frame and adds its piece; never throws for a bad frame.
    ToCoreChunkResult accept(const nlohmann::json& frame);
    // Drops the pending message, if any.
    void reset();

    bool pending() const { return pending_; }
    std::uint64_t byteCount() const { return byteCount_; }
    std::size_t pieceCount() const { return pieces_.size(); }

private:
    std::string id_;
    std::string type_;
    std::uint64_t total_ = 0;
    std::vector<std::string> pieces_;
    std::uint64_t byteCount_ = 0;
    bool pending_ = false;
};

// The "host_error" payload for a refused frame: code, message, "source" "core",
// "recoveryRequired" false, and the frame's string id and type and integer index.
nlohmann::json makeToCoreChunkErrorPayload(ToCoreChunkCode code, const nlohmann::json& frame);

// The "host_error" payload for a frame text that is not JSON.
nlohmann::json makeToCoreChunkUndecodablePayload();

}  // namespace quillex
