// The progression corpus ("pc.bin"): source progressions by style and length, and their queries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "generation/corpus_text_hash.h"

namespace quillex {

inline constexpr std::uint16_t kProgressionCorpusNewestVersion = 5;

// One corpus record.
struct SourceProgression {
    std::vector<std::string> romanTokens;
    std::uint8_t numeralCase = 0;  // 0 all upper-case, 1 all lower-case, 2 mixed
    std::uint8_t accidentalCount = 0;
    std::uint8_t upperNumeralCount = 0;
    std::uint8_t lowerNumeralCount = 0;
    std::string modeFamily;
    std::string subcategory;
    std::optional<std::uint8_t> minorScaleType;  // 0 natural, 1 melodic
    std::vector<std::string> extraTokens;
    std::uint16_t poolIndex = 0;
    std::uint16_t sourceIndex = 0;
    std::uint8_t sourceLength = 0;
    std::vector<std::string> sourceRoman;

    bool operator==(const SourceProgression&) const = default;
};

// Sets the numeral-case counts, the case code and the accidental count from
// `romanTokens`; the oldest file layout and the source texts store none of them.
void deriveNumeralShape(SourceProgression& record);

using SourcePool = std::vector<SourceProgression>;
using RomanVocabulary = std::unordered_set<std::string, CorpusTextHash, std::equal_to<>>;

class ProgressionCorpus {
public:
    using LengthPools = std::unordered_map<std::uint32_t, SourcePool, CorpusLengthHash>;
    using GenrePools = std::unordered_map<std::string, LengthPools, CorpusTextHash, std::equal_to<>>;
    using GroupVocabularies = std::unordered_map<std::string, RomanVocabulary, CorpusTextHash, std::equal_to<>>;

    const GenrePools& pools() const { return pools_; }
    // Loader access: the pools as read, before the vocabularies are built.
    GenrePools& mutablePools() { return pools_; }

    // The bucket of that genre (looked up exactly as given) and length when it
    // holds records; otherwise an empty list.
    std::vector<std::reference_wrapper<const SourcePool>> findSourcePool(std::string_view genreId,
                                                                         std::uint32_t length) const;
    // The tokens seen under one `makeCorpusGroupKey` key; null when none.
    const RomanVocabulary* groupVocabulary(std::string_view groupKey) const;

    // Rebuilds the group vocabularies from every record's tokens and source tokens.
    void buildGroupVocabularies();

    // Whether `scoreRomanProgression` reads each record of that bucket as minor,
    // in bucket order; null when the bucket has none or they were not built.
    const std::vector<bool>* profileMinorFlags(std::string_view genreId, std::uint32_t length) const;
    // Computes the flags of every bucket once, so generation need not score each record per request.
    void buildProfileModes();
    void clear();

    bool hasGenres() const { return !pools_.empty(); }
    std::size_t recordCount() const;

private:
    GenrePools pools_;
    GroupVocabularies vocabularies_;
    std::unordered_map<std::string, std::unordered_map<std::uint32_t, std::vector<bool>, CorpusLengthHash>,
                       CorpusTextHash, std::equal_to<>>
        profileMinor_;
};

// Letters and digits only (C locale), lower-cased: "Pop + EDM" gives "popedm".
std::string normalizeGenreId(std::string_view text);
// genre, mode family and subcategory, each normalised, joined by U+001F.
std::string makeCorpusGroupKey(std::string_view genre, std::string_view modeFamily, std::string_view subcategory);
// An empty filter matches anything, an empty value nothing else; otherwise
// the normalised ids must be equal.
bool filterIdMatches(std::string_view filter, std::string_view value);
// "" (absent), "natural" (0) or "melodic" (1) in any letter case; false otherwise.
bool parseCorpusMinorScaleType(std::string_view text, std::optional<std::uint8_t>& out);

// Deciphers and parses a "pc.bin" image (versions 1 to 5). The corpus is
// cleared first and filled only when the whole image parses, so a failed
// load leaves it empty. True when at least one genre was read.
bool loadProgressionCorpus(ProgressionCorpus& corpus, const std::uint8_t* bytes, std::size_t size);

}  // namespace quillex
