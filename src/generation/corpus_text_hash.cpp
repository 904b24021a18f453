// FNV-1a over text bytes and over the bytes of a 32-bit length.
#include "generation/corpus_text_hash.h"

namespace quillex {

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::size_t CorpusLengthHash::operator()(std::uint32_t length) const {
    const char bytes[4] = {static_cast<char>(length & 0xff), static_cast<char>((length >> 8) & 0xff),
                           static_cast<char>((length >> 16) & 0xff), static_cast<char>((length >> 24) & 0xff)};
    return static_cast<std::size_t>(fnv1a64(std::string_view(bytes, 4)));
}

}  // namespace quillex
