// Field readers and writers of the corpus file layouts.
#include "generation/corpus_bytes.h"

#include <bit>
#include <stdexcept>

namespace quillex {

std::optional<std::uint8_t> CorpusByteReader::readU8() {
    if (remaining() < 1) return std::nullopt;
    return data_[pos_++];
}

std::optional<std::uint16_t> CorpusByteReader::readU16() {
    if (remaining() < 2) return std::nullopt;
    const auto value = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return value;
}

std::optional<std::uint32_t> CorpusByteReader::readU32() {
    if (remaining() < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t b = 0; b < 4; ++b) {
        value |= static_cast<std::uint32_t>(data_[pos_ + b]) << (8 * b);
    }
    pos_ += 4;
    return value;
}

std::optional<float> CorpusByteReader::readF32() {
    const auto bits = readU32();
    if (!bits) return std::nullopt;
    return std::bit_cast<float>(*bits);
}

std::optional<std::string> CorpusByteReader::readShortText() {
    if (remaining() < 1) return std::nullopt;
    const std::size_t length = data_[pos_];
    if (remaining() - 1 < length) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(data_ + pos_ + 1), length);
    pos_ += 1 + length;
    return text;
}

bool CorpusByteReader::skip(std::size_t count) {
    if (remaining() < count) return false;
    pos_ += count;
    return true;
}

void CorpusByteWriter::writeU16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xff));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CorpusByteWriter::writeU32(std::uint32_t value) {
    for (std::size_t b = 0; b < 4; ++b) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
}

void CorpusByteWriter::writeF32(float value) { writeU32(std::bit_cast<std::uint32_t>(value)); }

void CorpusByteWriter::writeBytes(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }

void CorpusByteWriter::writeShortText(std::string_view text) {
    if (text.size() > 255) throw std::runtime_error("Corpus text is longer than 255 bytes");
    writeU8(static_cast<std::uint8_t>(text.size()));
    writeBytes(text);
}

}  // namespace quillex
