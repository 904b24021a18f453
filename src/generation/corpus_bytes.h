// Bounds-checked little-endian reading and writing of the corpus file fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillex {

// Reads from a byte range; every read that would pass the end gives nothing
// and leaves the position where it was.
class CorpusByteReader {
public:
    CorpusByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t remaining() const { return size_ - pos_; }
    std::optional<std::uint8_t> readU8();
    std::optional<std::uint16_t> readU16();
    std::optional<std::uint32_t> readU32();
    std::optional<float> readF32();
    // One length byte, then that many bytes.
    std::optional<std::string> readShortText();
    bool skip(std::size_t count);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Appends fields; a short text longer than 255 bytes throws std::runtime_error.
class CorpusByteWriter {
public:
    void writeU8(std::uint8_t value) { bytes_.push_back(value); }
    void writeU16(std::uint16_t value);
    void writeU32(std::uint32_t value);
    void writeF32(float value);
    void writeBytes(std::string_view text);
    void writeShortText(std::string_view text);
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace quillex
