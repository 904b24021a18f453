// FNV-1a over the bytes of a 32-bit length, for the corpus models' length-keyed maps.
#include "generation/corpus_text_hash.h"

namespace quillex {

std::size_t CorpusLengthHash::operator()(std::uint32_t length) const {
    const char bytes[4] = {static_cast<char>(length & 0xff), static_cast<char>((length >> 8) & 0xff),
                           static_cast<char>((length >> 16) & 0xff), static_cast<char>((length >> 24) & 0xff)};
    return static_cast<std::size_t>(fnv1a64(std::string_view(bytes, 4)));
}

}  // namespace quillex
