// Encoding token tables, pair and triple records in the "cc.bin" layout.
#include "generation/chord_transition_writer.h"

#include <limits>
#include <stdexcept>

#include "generation/corpus_bytes.h"
#include "generation/corpus_cipher.h"

namespace quillex {

std::vector<std::uint8_t> encodeChordTransitionCorpus(const ChordTransitionImage& image) {
    if (image.tokens.size() > std::numeric_limits<std::uint16_t>::max() ||
        image.pairs.size() > std::numeric_limits<std::uint32_t>::max() ||
        image.triples.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::runtime_error("Corpus count does not fit its field");
    }
    CorpusByteWriter out;
    out.writeBytes("QXCP");
    out.writeU16(1);
    out.writeU16(static_cast<std::uint16_t>(image.tokens.size()));
    for (const auto& token : image.tokens) out.writeShortText(token);
    out.writeU32(static_cast<std::uint32_t>(image.pairs.size()));
    for (const auto& pair : image.pairs) {
        out.writeU16(pair.from);
        out.writeU16(pair.to);
        out.writeF32(pair.weight);
    }
    out.writeU32(static_cast<std::uint32_t>(image.triples.size()));
    for (const auto& triple : image.triples) {
        out.writeU16(triple.first);
        out.writeU16(triple.second);
        out.writeU16(triple.third);
        out.writeF32(triple.weight);
    }
    return std::move(out.bytes());
}

std::vector<std::uint8_t> writeChordTransitionCorpus(const ChordTransitionImage& image) {
    auto bytes = encodeChordTransitionCorpus(image);
    decipherCorpusBytes(bytes, chordTransitionCorpusKey());
    return bytes;
}

}  // namespace quillex
