// The shipped corpus files: they hold exactly the sources, and enough of them for every request.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "generation/corpus_loader.h"
#include "generation/corpus_source.h"
#include "generation/progression_corpus.h"
#include "theory/roman_progression_profile.h"

namespace quillex {
namespace {

const std::string kSourceFolder =
    (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "data" / "corpus").string();

class ShippedCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        status_ = new CorpusInitStatus(loadRequiredCorpora(getOwnModuleDirectory(), corpus_, model_));
    }
    static void TearDownTestSuite() { delete status_; }
    static inline ProgressionCorpus corpus_;
    static inline ChordTransitionModel model_;
    static inline CorpusInitStatus* status_ = nullptr;
};

TEST_F(ShippedCorpus, BothFilesLoadBesideTheBinary) { EXPECT_EQ(*status_, (CorpusInitStatus{true, true, ""})); }

TEST_F(ShippedCorpus, ProgressionFileHoldsExactlyTheSourceLines) {
    const auto sources = readCorpusSources(kSourceFolder);
    ASSERT_TRUE(sources.errors.empty()) << sources.errors.front();
    const auto groups = assembleProgressionGroups(sources.records);
    std::size_t records = 0;
    for (const auto& group : groups) {
        for (const auto& bucket : group.buckets) {
            const auto pools = corpus_.findSourcePool(group.genreId, bucket.length);
            ASSERT_EQ(pools.size(), 1u) << group.genreId << " " << int(bucket.length);
            const auto& pool = pools[0].get();
            ASSERT_EQ(pool.size(), bucket.records.size());
            for (std::size_t i = 0; i < pool.size(); ++i) {
                auto expected = bucket.records[i];
                EXPECT_EQ(pool[i], expected) << group.genreId << " " << i;
            }
            records += pool.size();
        }
    }
    EXPECT_EQ(records, sources.records.size());
    EXPECT_EQ(corpus_.recordCount(), sources.records.size());
}

TEST_F(ShippedCorpus, TransitionFileHoldsExactlyTheAssembledWeights) {
    const auto sources = readCorpusSources(kSourceFolder);
    const auto image = assembleTransitionImage(sources.counts);
    std::size_t pairs = 0;
    for (const auto& pair : image.pairs) {
        EXPECT_EQ(model_.pairWeight(image.tokens[pair.from], image.tokens[pair.to]), pair.weight);
    }
    for (const auto& [token, row] : model_.pairWeights()) pairs += row.size();
    EXPECT_EQ(pairs, image.pairs.size());
    for (const auto& triple : image.triples) {
        const auto& row =
            model_.tripleWeights().at(makeTransitionPairKey(image.tokens[triple.first], image.tokens[triple.second]));
        EXPECT_EQ(row.at(image.tokens[triple.third]), triple.weight);
    }
}

TEST_F(ShippedCorpus, EveryStyleLengthAndModeOffersThirtyDistinctSources) {
    for (const char* style :
         {"classical", "popedm", "rock", "jazzneosoul", "modalcolorsdarkexotic", "modalcolorslightdreamy"}) {
        for (const std::uint32_t length : {4u, 6u, 8u}) {
            std::map<bool, std::set<std::vector<std::string>>> byMode;
            for (const auto& pool : corpus_.findSourcePool(style, length)) {
                for (const auto& record : pool.get()) {
                    EXPECT_EQ(record.romanTokens.size(), length);
                    byMode[scoreRomanProgression(record.romanTokens).isMinor].insert(record.romanTokens);
                }
            }
            EXPECT_GE(byMode[false].size(), 30u) << style << " " << length << " major";
            EXPECT_GE(byMode[true].size(), 30u) << style << " " << length << " minor";
        }
    }
}

TEST_F(ShippedCorpus, DarkStyleCarriesThePhrygianFamilies) {
    std::set<std::string> families;
    for (const std::uint32_t length : {4u, 6u, 8u}) {
        for (const auto& pool : corpus_.findSourcePool("modalcolorsdarkexotic", length)) {
            for (const auto& record : pool.get()) {
                families.insert(record.modeFamily);
                // Major sources of this style must take "I" as their tonic.
                if (!scoreRomanProgression(record.romanTokens).isMinor) {
                    EXPECT_EQ(record.modeFamily, "phrygiandominant");
                }
                EXPECT_NE(corpus_.groupVocabulary(
                              makeCorpusGroupKey("modalcolorsdarkexotic", record.modeFamily, record.subcategory)),
                          nullptr);
            }
        }
    }
    EXPECT_TRUE(families.count("phrygian"));
    EXPECT_TRUE(families.count("phrygiandominant"));
}

TEST_F(ShippedCorpus, EveryChordThatIsFollowedInASourceHasFollowers) {
    for (const auto& [genre, lengths] : corpus_.pools()) {
        for (const auto& [length, records] : lengths) {
            for (const auto& record : records) {
                for (std::size_t i = 0; i + 1 < record.romanTokens.size(); ++i) {
                    EXPECT_NE(model_.followers(record.romanTokens[i]), nullptr)
                        << genre << ": " << record.romanTokens[i];
                }
            }
        }
    }
}

TEST_F(ShippedCorpus, DerivedNumeralsWithGlyphAccidentalsFindTheirRows) {
    for (const char* token : {"\u266DVII", "\u266DVI", "\u266DIII", "\u266DII"}) {
        ASSERT_NE(model_.followers(token), nullptr) << token;
        for (const auto& candidate : *model_.followers(token)) {
            EXPECT_EQ(candidate.token.find_first_of("b#") == 0, false) << token << " -> " << candidate.token;
        }
    }
    EXPECT_NE(model_.followers("iim7"), nullptr);
    EXPECT_NE(model_.followers("V7"), nullptr);
    EXPECT_NE(model_.followers("vii\u00B07"), nullptr);
}

}  // namespace
}  // namespace quillex
