// The incoming chunk assembler: check order, limits at their edges, pending-message states and a frame fuzz.
#include "host/to_core_chunk_assembler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace quillex {
namespace {

using nlohmann::json;
using Code = ToCoreChunkCode;

json frame(json id, json type, json index, json total, json chunk) {
    return {{"id", std::move(id)},
            {"type", std::move(type)},
            {"index", std::move(index)},
            {"total", std::move(total)},
            {"chunk", std::move(chunk)}};
}

json piece(std::int64_t index, std::int64_t total, std::string chunk, std::string id = "m") {
    return frame(std::move(id), "get_version", index, total, std::move(chunk));
}

ToCoreChunkResult error(Code code, bool keepPending = false) {
    ToCoreChunkResult result;
    result.hasError = true;
    result.code = code;
    result.keepPending = keepPending;
    return result;
}

ToCoreChunkResult waiting() {
    ToCoreChunkResult result;
    result.keepPending = true;
    return result;
}

ToCoreChunkResult completed(std::string type, std::string text, bool interrupted = false) {
    ToCoreChunkResult result;
    result.hasError = interrupted;
    result.code = interrupted ? Code::Interrupted : Code::None;
    result.type = std::move(type);
    result.text = std::move(text);
    result.complete = true;
    return result;
}

// "é" is two bytes of UTF-8 and six characters when escaped: lengths count the bytes.
std::string bytes(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i + 1 < count; i += 2) text += "\xC3\xA9";
    if (count % 2 == 1) text += 'a';
    return text;
}

TEST(ToCoreChunkAssembler, EachFrameCheckInItsOrder) {
    const std::string id128(128, 'i');
    const std::string type128(128, 't');
    const json big = json(std::uint64_t{1} << 63);  // past 2^63 - 1: counts as negative
    struct Case {
        const char* what;
        json frame;
        ToCoreChunkResult expected;
    };
    const std::vector<Case> cases{
        {"array", json::array({1}), error(Code::Malformed)},
        {"string", "frame", error(Code::Malformed)},
        {"no chunk", {{"id", "m"}, {"type", "t"}, {"index", 0}, {"total", 1}}, error(Code::Malformed)},
        {"numeric id", frame(5, "t", 0, 1, ""), error(Code::Malformed)},
        {"null chunk and bad id", frame("", "t", 0, 1, nullptr), error(Code::Malformed)},
        {"empty id", frame("", "t", 0, 1, "x"), error(Code::BadId)},
        {"id of 129 bytes before a bad type", frame(id128 + "i", "", 0, 1, "x"), error(Code::BadId)},
        {"empty type", frame("m", "", 0, 1, "x"), error(Code::BadType)},
        {"type of 129 bytes", frame("m", type128 + "t", 0, 1, "x"), error(Code::BadType)},
        {"frame name as type", frame("m", "__qx_to_core_chunk", 0, 1, "x"), error(Code::BadType)},
        {"float index", frame("m", "t", 1.0, 2, "x"), error(Code::BadIndex)},
        {"string total before its range", frame("m", "t", 0, "1", "x"), error(Code::BadIndex)},
        {"negative index", frame("m", "t", -1, 2, "x"), error(Code::BadIndex)},
        {"negative total", frame("m", "t", 0, -1, "x"), error(Code::BadIndex)},
        {"unsigned index past 2^63", frame("m", "t", big, 2, "x"), error(Code::BadIndex)},
        {"boolean index", frame("m", "t", false, 2, "x"), error(Code::BadIndex)},
        {"total 0", frame("m", "t", 0, 0, "x"), error(Code::BadTotal)},
        {"total 513", frame("m", "t", 0, 513, "x"), error(Code::BadTotal)},
        {"huge total before index", frame("m", "t", 900, std::numeric_limits<std::int64_t>::max(), "x"),
         error(Code::BadTotal)},
        {"index equal to total", frame("m", "t", 2, 2, "x"), error(Code::BadIndex)},
        {"piece of 12001 bytes", frame("m", "t", 0, 2, bytes(12001)), error(Code::TooLarge)},
        {"later piece while idle", frame("m", "t", 1, 2, "x"), error(Code::BadIndex)},
        {"id of 128 bytes, type of 128", frame(id128, type128, 0, 1, "x"), completed(type128, "x")},
        {"piece of 12000 bytes", frame("m", "t", 0, 1, bytes(12000)), completed("t", bytes(12000))},
        {"total 512", frame("m", "t", 0, 512, "x"), waiting()},
        {"unsigned integers", frame("m", "t", json(std::uint64_t{0}), json(std::uint64_t{1}), ""), completed("t", "")},
    };
    for (const Case& c : cases) {
        ToCoreChunkAssembler assembler;
        EXPECT_EQ(assembler.accept(c.frame), c.expected) << c.what;
    }
}

TEST(ToCoreChunkAssembler, SizesAreBytesAfterUnescaping) {
    // 12000 bytes written as 72000 characters of \u escapes: one allowed piece.
    std::string escaped;
    for (int i = 0; i < 12000; ++i) escaped += "\\u0041";
    const json parsed = json::parse(R"({"id":"m","type":"t","index":0,"total":1,"chunk":")" + escaped + "\"}");
    ToCoreChunkAssembler assembler;
    EXPECT_EQ(assembler.accept(parsed), completed("t", std::string(12000, 'A')));
}

TEST(ToCoreChunkAssembler, PiecesCollectInOrderAndComplete) {
    ToCoreChunkAssembler assembler;
    EXPECT_EQ(assembler.accept(piece(0, 3, "{\"a\"")), waiting());
    EXPECT_EQ(assembler.accept(piece(1, 3, ":")), waiting());
    EXPECT_TRUE(assembler.pending());
    EXPECT_EQ(assembler.accept(piece(2, 3, "1}")), completed("get_version", "{\"a\":1}"));
    EXPECT_FALSE(assembler.pending());
    EXPECT_EQ(assembler.byteCount(), 0u);
}

TEST(ToCoreChunkAssembler, PendingMessageStates) {
    ToCoreChunkAssembler assembler;
    // Out of order drops the message; the next later piece then finds nothing pending.
    assembler.accept(piece(0, 3, "a"));
    EXPECT_EQ(assembler.accept(piece(2, 3, "c")), error(Code::Mismatch));
    assembler.reset();  // what the object does for an error that does not keep the message
    EXPECT_EQ(assembler.accept(piece(1, 3, "b")), error(Code::BadIndex));

    // A piece of another message, or the same id with another type or total, is only reported.
    assembler.accept(piece(0, 3, "a"));
    EXPECT_EQ(assembler.accept(piece(1, 3, "x", "other")), error(Code::Mismatch, true));
    EXPECT_EQ(assembler.accept(frame("m", "parse_chord", 1, 3, "x")), error(Code::Mismatch, true));
    EXPECT_EQ(assembler.accept(piece(1, 4, "x")), error(Code::Mismatch, true));
    EXPECT_EQ(assembler.accept(piece(1, 3, "b")), waiting());
    EXPECT_EQ(assembler.accept(piece(2, 3, "c")), completed("get_version", "abc"));

    // A new first piece replaces the pending message and is reported; one of total 1 completes at once.
    assembler.accept(piece(0, 2, "old"));
    EXPECT_EQ(assembler.accept(piece(0, 2, "new", "n2")), error(Code::Interrupted, true));
    EXPECT_EQ(assembler.accept(piece(1, 2, "!", "n2")), completed("get_version", "new!"));
    assembler.accept(piece(0, 2, "old"));
    EXPECT_EQ(assembler.accept(piece(0, 1, "single", "n3")), completed("get_version", "single", true));
    EXPECT_FALSE(assembler.pending());
}

TEST(ToCoreChunkAssembler, WholeMessageStopsAtFourMebibytes) {
    ToCoreChunkAssembler assembler;
    const std::string full(12000, 'x');
    for (std::int64_t index = 0; index < 349; ++index) {
        ASSERT_EQ(assembler.accept(piece(index, 512, full)), waiting()) << index;
    }
    EXPECT_EQ(assembler.byteCount(), 349u * 12000u);
    EXPECT_EQ(assembler.accept(piece(349, 512, full)), error(Code::TooLarge));
    EXPECT_LE(assembler.byteCount(), kToCoreChunkMaxMessageBytes);

    // 349 x 12000 + 6304 bytes is exactly 4 MiB: allowed; one byte more is not.
    ToCoreChunkAssembler exact;
    for (std::int64_t index = 0; index < 349; ++index) exact.accept(piece(index, 350, full));
    const ToCoreChunkResult last = exact.accept(piece(349, 350, std::string(6304, 'y')));
    EXPECT_TRUE(last.complete);
    EXPECT_EQ(last.text.size(), kToCoreChunkMaxMessageBytes);
    ToCoreChunkAssembler over;
    for (std::int64_t index = 0; index < 349; ++index) over.accept(piece(index, 350, full));
    EXPECT_EQ(over.accept(piece(349, 350, std::string(6305, 'y'))), error(Code::TooLarge));
}

TEST(ToCoreChunkAssembler, ErrorPayloadsCarryTheFramesIdentity) {
    const json payload = makeToCoreChunkErrorPayload(Code::Mismatch, frame("m", "t", 4, 5, "x"));
    EXPECT_EQ(payload, (json{{"code", "vessa_message_chunk_mismatch"},
                             {"error", "An oversized toCore message arrived out of sequence."},
                             {"source", "core"},
                             {"recoveryRequired", false},
                             {"messageId", "m"},
                             {"messageType", "t"},
                             {"receivedIndex", 4}}));
    // Only a string id and type and an integer index are copied.
    const json partial = makeToCoreChunkErrorPayload(Code::Malformed, frame(1, nullptr, 1.5, 1, "x"));
    EXPECT_FALSE(partial.contains("messageId") || partial.contains("messageType") || partial.contains("receivedIndex"));
    EXPECT_EQ(makeToCoreChunkErrorPayload(Code::BadIndex, frame("m", "t", -3, 1, ""))["receivedIndex"], -3);
    EXPECT_EQ(makeToCoreChunkErrorPayload(Code::Malformed, json::array()).size(), 4u);
}

// Random frames, each broken in at least one field, fed between the pieces of one
// good message: none of them completes anything, and the good message completes
// only when its own last piece arrives and no broken frame dropped it.
TEST(ToCoreChunkAssembler, SeededFrameFuzz) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 400;
#else
    constexpr int kRounds = 3000;
#endif
    std::mt19937_64 random(20261207);
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::vector<json> oddValues{nullptr,
                                      true,
                                      -1,
                                      0.5,
                                      1e300,
                                      std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::uint64_t>::max(),
                                      json(std::uint64_t{1} << 63),
                                      "",
                                      std::string(129, 'z'),
                                      "__qx_to_core_chunk",
                                      json::array(),
                                      json::object(),
                                      bytes(12001)};
    const std::vector<const char*> keys{"id", "type", "index", "total", "chunk"};
    int completions = 0;
    for (int round = 0; round < kRounds; ++round) {
        ToCoreChunkAssembler assembler;
        const std::int64_t total = 1 + static_cast<std::int64_t>(pick(4));
        bool dropped = false;
        for (std::int64_t index = 0; index < total; ++index) {
            const json good = piece(index, total, std::to_string(index));
            const std::size_t brokenFrames = pick(3);
            for (std::size_t b = 0; b < brokenFrames; ++b) {
                json broken = good;
                if (pick(8) == 0) {
                    broken = oddValues[pick(oddValues.size())];
                } else if (pick(4) == 0) {
                    broken.erase(keys[pick(keys.size())]);
                } else {
                    const char* key = keys[pick(keys.size())];
                    json value = oddValues[pick(oddValues.size())];
                    // Keep only values that break this key.
                    const std::string name = key;
                    if ((name == "id" || name == "type") && value.is_string() && !value.get<std::string>().empty() &&
                        value.get<std::string>().size() <= 128 && value != "__qx_to_core_chunk") {
                        value = "";
                    }
                    if (name == "id" && value == "__qx_to_core_chunk") value = "";
                    if (name == "index" && value.is_number_integer() && value.get<std::int64_t>() >= 0 &&
                        value.get<std::int64_t>() < total) {
                        value = -1;
                    }
                    if (name == "chunk" && value.is_string() && value.get<std::string>().size() <= 12000) {
                        value = 7;
                    }
                    broken[key] = value;
                }
                const ToCoreChunkResult result = assembler.accept(broken);
                ASSERT_FALSE(result.complete) << broken.dump().substr(0, 200);
                ASSERT_TRUE(result.hasError) << broken.dump().substr(0, 200);
                if (!result.keepPending && assembler.pending()) {
                    assembler.reset();
                    dropped = true;
                }
            }
            const ToCoreChunkResult result = assembler.accept(good);
            if (result.complete) {
                ++completions;
                EXPECT_FALSE(dropped);
                EXPECT_EQ(index, total - 1);
            }
            if (result.hasError && !result.keepPending) {
                assembler.reset();
                dropped = true;
            }
            EXPECT_LE(assembler.byteCount(), kToCoreChunkMaxMessageBytes);
        }
    }
    EXPECT_GT(completions, 0);
}

}  // namespace
}  // namespace quillex
