// Encoding progression records in the "pc.bin" layout of each version.
#include "generation/progression_corpus_writer.h"

#include <limits>
#include <stdexcept>

#include "generation/corpus_bytes.h"
#include "generation/corpus_cipher.h"

namespace quillex {
namespace {

template <typename T>
T checkedCount(std::size_t count) {
    if (count > std::numeric_limits<T>::max()) {
        throw std::runtime_error("Corpus count does not fit its field");
    }
    return static_cast<T>(count);
}

void writeTokens(CorpusByteWriter& out, const std::vector<std::string>& tokens) {
    out.writeU8(checkedCount<std::uint8_t>(tokens.size()));
    for (const auto& token : tokens) out.writeShortText(token);
}

std::string minorScaleTypeText(const std::optional<std::uint8_t>& type) {
    if (!type) return "";
    return *type == 1 ? "melodic" : "natural";
}

}  // namespace

std::vector<std::uint8_t> encodeProgressionCorpus(const std::vector<ProgressionCorpusGroup>& groups,
                                                  std::uint16_t version) {
    if (version < 1 || version > kProgressionCorpusNewestVersion) {
        throw std::runtime_error("Unsupported progression corpus version");
    }
    CorpusByteWriter out;
    out.writeBytes("QXLP");
    out.writeU16(version);
    out.writeU16(checkedCount<std::uint16_t>(groups.size()));
    for (const auto& group : groups) {
        out.writeShortText(group.genreId);
        out.writeU8(checkedCount<std::uint8_t>(group.buckets.size()));
        for (const auto& bucket : group.buckets) {
            out.writeU8(bucket.length);
            out.writeU16(checkedCount<std::uint16_t>(bucket.records.size()));
            for (const auto& record : bucket.records) {
                writeTokens(out, record.romanTokens);
                if (version >= 2) {
                    out.writeU8(record.numeralCase);
                    out.writeU8(record.accidentalCount);
                }
                if (version >= 3) {
                    out.writeShortText(record.modeFamily);
                    out.writeShortText(record.subcategory);
                    if (version >= 5) out.writeShortText(minorScaleTypeText(record.minorScaleType));
                    writeTokens(out, record.extraTokens);
                }
                if (version >= 4) {
                    out.writeU16(record.sourceIndex);
                    out.writeU8(record.sourceLength);
                    writeTokens(out, record.sourceRoman);
                }
            }
        }
    }
    return std::move(out.bytes());
}

std::vector<std::uint8_t> writeProgressionCorpus(const std::vector<ProgressionCorpusGroup>& groups,
                                                 std::uint16_t version) {
    auto bytes = encodeProgressionCorpus(groups, version);
    decipherCorpusBytes(bytes, progressionCorpusKey());
    return bytes;
}

}  // namespace quillex
