// Reading "pc.bin" into the progression corpus, and the corpus queries.
#include "generation/progression_corpus.h"

#include <algorithm>
#include <utility>

#include "generation/corpus_bytes.h"
#include "generation/corpus_cipher.h"
#include "theory/roman_progression_profile.h"

namespace quillex {
namespace {

bool isAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::uint8_t capAt255(std::size_t value) { return static_cast<std::uint8_t>(std::min<std::size_t>(value, 255)); }

std::optional<std::vector<std::string>> readTokenList(CorpusByteReader& reader, std::size_t count) {
    std::vector<std::string> tokens;
    tokens.reserve(std::min(count, reader.remaining()));
    for (std::size_t i = 0; i < count; ++i) {
        auto token = reader.readShortText();
        if (!token) return std::nullopt;
        tokens.push_back(std::move(*token));
    }
    return tokens;
}

std::optional<std::vector<std::string>> readCountedTokenList(CorpusByteReader& reader) {
    const auto count = reader.readU8();
    if (!count) return std::nullopt;
    return readTokenList(reader, *count);
}

std::optional<SourceProgression> readRecord(CorpusByteReader& reader, std::uint16_t version, std::uint8_t bucketLength,
                                            std::uint16_t poolIndex) {
    SourceProgression record;
    auto tokens = readCountedTokenList(reader);
    if (!tokens) return std::nullopt;
    record.romanTokens = std::move(*tokens);
    deriveNumeralShape(record);

    // Later layouts store the case code and the accidental count themselves.
    if (version != 1) {
        const auto numeralCase = reader.readU8();
        const auto accidentals = reader.readU8();
        if (!numeralCase || !accidentals) return std::nullopt;
        record.numeralCase = std::min<std::uint8_t>(*numeralCase, 2);
        record.accidentalCount = *accidentals;
    }

    if (version >= 3) {
        auto modeFamily = reader.readShortText();
        auto subcategory = reader.readShortText();
        if (!modeFamily || !subcategory) return std::nullopt;
        record.modeFamily = std::move(*modeFamily);
        record.subcategory = std::move(*subcategory);
        if (version >= 5) {
            const auto scale = reader.readShortText();
            if (!scale || !parseCorpusMinorScaleType(*scale, record.minorScaleType)) {
                return std::nullopt;
            }
        }
        auto extra = readCountedTokenList(reader);
        if (!extra) return std::nullopt;
        record.extraTokens = std::move(*extra);
    }

    record.poolIndex = poolIndex;
    if (version >= 4) {
        const auto sourceIndex = reader.readU16();
        const auto sourceLength = reader.readU8();
        if (!sourceIndex || !sourceLength) return std::nullopt;
        auto sourceTokens = readCountedTokenList(reader);
        if (!sourceTokens) return std::nullopt;
        record.sourceIndex = *sourceIndex;
        record.sourceLength = *sourceLength;
        record.sourceRoman = std::move(*sourceTokens);
    } else {
        record.sourceIndex = poolIndex;
        record.sourceLength = bucketLength;
        record.sourceRoman = record.romanTokens;
    }
    return record;
}

bool parseInto(ProgressionCorpus& corpus, const std::uint8_t* bytes, std::size_t size) {
    std::vector<std::uint8_t> plain(bytes, bytes + size);
    decipherCorpusBytes(plain, progressionCorpusKey());
    CorpusByteReader reader(plain.data(), plain.size());

    const std::uint8_t magic[4] = {'Q', 'X', 'L', 'P'};
    if (!std::equal(magic, magic + 4, plain.begin())) return false;
    reader.skip(4);
    const auto version = reader.readU16();
    const auto groupCount = reader.readU16();
    if (!version || !groupCount || *version < 1 || *version > 5) return false;

    auto& pools = corpus.mutablePools();
    for (std::uint32_t g = 0; g < *groupCount; ++g) {
        const auto genre = reader.readShortText();
        const auto bucketCount = reader.readU8();
        if (!genre || !bucketCount) return false;
        auto& lengths = pools[*genre];
        for (std::uint32_t b = 0; b < *bucketCount; ++b) {
            const auto length = reader.readU8();
            const auto recordCount = reader.readU16();
            if (!length || !recordCount) return false;
            auto& bucket = lengths[*length];
            bucket.clear();
            // A record takes at least one byte, so the rest of the data bounds the reservation.
            bucket.reserve(std::min<std::size_t>(*recordCount, reader.remaining()));
            for (std::uint32_t r = 0; r < *recordCount; ++r) {
                auto record = readRecord(reader, *version, *length, static_cast<std::uint16_t>(r));
                if (!record) return false;
                bucket.push_back(std::move(*record));
            }
        }
    }
    corpus.buildGroupVocabularies();
    corpus.buildProfileModes();
    return corpus.hasGenres();
}

}  // namespace

void deriveNumeralShape(SourceProgression& record) {
    std::size_t upper = 0;
    std::size_t lower = 0;
    std::size_t accidentals = 0;
    for (const auto& token : record.romanTokens) {
        std::size_t pos = 0;
        while (pos < token.size() && (token[pos] == 'b' || token[pos] == '#')) ++pos;
        if (pos < token.size() && token[pos] >= 'A' && token[pos] <= 'Z') ++upper;
        if (pos < token.size() && token[pos] >= 'a' && token[pos] <= 'z') ++lower;
        accidentals += static_cast<std::size_t>(
            std::count_if(token.begin(), token.end(), [](char c) { return c == 'b' || c == '#'; }));
    }
    record.numeralCase = (upper > 0 && lower == 0) ? 0 : (lower > 0 && upper == 0) ? 1 : 2;
    record.accidentalCount = capAt255(accidentals);
    record.upperNumeralCount = capAt255(upper);
    record.lowerNumeralCount = capAt255(lower);
}

std::string normalizeGenreId(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (isAsciiAlnum(c)) out.push_back(asciiLower(c));
    }
    return out;
}

std::string makeCorpusGroupKey(std::string_view genre, std::string_view modeFamily, std::string_view subcategory) {
    return normalizeGenreId(genre) + '\x1f' + normalizeGenreId(modeFamily) + '\x1f' + normalizeGenreId(subcategory);
}

bool filterIdMatches(std::string_view filter, std::string_view value) {
    if (filter.empty()) return true;
    if (value.empty()) return false;
    return normalizeGenreId(filter) == normalizeGenreId(value);
}

bool parseCorpusMinorScaleType(std::string_view text, std::optional<std::uint8_t>& out) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower);
    if (lower.empty()) {
        out.reset();
        return true;
    }
    if (lower == "natural") {
        out = 0;
        return true;
    }
    if (lower == "melodic") {
        out = 1;
        return true;
    }
    return false;
}

std::vector<std::reference_wrapper<const SourcePool>> ProgressionCorpus::findSourcePool(std::string_view genreId,
                                                                                        std::uint32_t length) const {
    const auto genre = pools_.find(genreId);
    if (genre == pools_.end()) return {};
    const auto bucket = genre->second.find(length);
    if (bucket == genre->second.end() || bucket->second.empty()) return {};
    return {std::cref(bucket->second)};
}

const RomanVocabulary* ProgressionCorpus::groupVocabulary(std::string_view groupKey) const {
    const auto found = vocabularies_.find(groupKey);
    return found == vocabularies_.end() ? nullptr : &found->second;
}

void ProgressionCorpus::buildGroupVocabularies() {
    vocabularies_.clear();
    for (const auto& [genre, lengths] : pools_) {
        for (const auto& [length, records] : lengths) {
            for (const auto& record : records) {
                auto& vocabulary = vocabularies_[makeCorpusGroupKey(genre, record.modeFamily, record.subcategory)];
                vocabulary.insert(record.romanTokens.begin(), record.romanTokens.end());
                vocabulary.insert(record.sourceRoman.begin(), record.sourceRoman.end());
            }
        }
    }
}

const std::vector<bool>* ProgressionCorpus::profileMinorFlags(std::string_view genreId, std::uint32_t length) const {
    const auto genre = profileMinor_.find(genreId);
    if (genre == profileMinor_.end()) return nullptr;
    const auto bucket = genre->second.find(length);
    return bucket == genre->second.end() ? nullptr : &bucket->second;
}

void ProgressionCorpus::buildProfileModes() {
    profileMinor_.clear();
    for (const auto& [genre, lengths] : pools_) {
        for (const auto& [length, records] : lengths) {
            std::vector<bool>& flags = profileMinor_[genre][length];
            flags.reserve(records.size());
            for (const auto& record : records) flags.push_back(scoreRomanProgression(record.romanTokens).isMinor);
        }
    }
}

void ProgressionCorpus::clear() {
    pools_.clear();
    vocabularies_.clear();
    profileMinor_.clear();
}

std::size_t ProgressionCorpus::recordCount() const {
    std::size_t count = 0;
    for (const auto& [genre, lengths] : pools_) {
        for (const auto& [length, records] : lengths) count += records.size();
    }
    return count;
}

bool loadProgressionCorpus(ProgressionCorpus& corpus, const std::uint8_t* bytes, std::size_t size) {
    corpus.clear();
    if (bytes == nullptr || size < 8) return false;
    ProgressionCorpus fresh;
    if (!parseInto(fresh, bytes, size)) return false;
    corpus = std::move(fresh);
    return true;
}

}  // namespace quillex
