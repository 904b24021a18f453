// The page-message envelope, the wire text form and the cutting of long texts into chunk frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace quillex {

// Longest text sent whole on either outlet; pieces are 12000 characters
// towards the page and 4000 towards the bridge.
inline constexpr std::size_t kWholeTextLimit = 12000;
inline constexpr std::size_t kPageChunkPiece = 12000;
inline constexpr std::size_t kBridgeChunkPiece = 4000;

// Whether a message of this type with this payload counts as an error ("ok" false).
bool isErrorMessage(std::string_view type, const nlohmann::json& payload);

// {"type", "ok", "payload"} plus "request_id" moved out of the payload when it
// is a string and "error" copied from it when present; a payload that is not an
// object is wrapped as {"value": payload}.
nlohmann::json buildPageMessage(std::string_view type, nlohmann::json payload);

// Compact text, members in key order, every non-ASCII character escaped. Every
// reply leaves through here, so this is where text that is not UTF-8 (a parser
// message quoting a partial character, say) is repaired: each byte outside a
// well-formed sequence becomes U+FFFD. Never throws for its bytes.
std::string writeWireText(const nlohmann::json& value);

// The frame texts of one long message: piece i covers [i x piece, (i+1) x piece).
std::vector<std::string> buildChunkFrames(std::string_view type, std::string_view text, std::string_view id,
                                          std::size_t piece);

// Process-wide chunk counters, one per outlet: each call counts one cut message.
std::uint64_t nextPageChunkNumber();
std::uint64_t nextBridgeChunkNumber();

}  // namespace quillex
