// Corpus suggestions: corpus tokens of chords, follower fallbacks, bridging chords and the smart suggestions.
#include "generation/corpus_suggestions.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "generation/theory_suggestions.h"

namespace quillex {
namespace {

ChordTransitionModel modelOf(std::vector<std::pair<std::string, TokenWeights>> rows) {
    ChordTransitionTables tables;
    for (auto& [token, weights] : rows) tables.pairs[token] = std::move(weights);
    ChordTransitionModel model;
    model.install(std::move(tables));
    return model;
}

SuggestionContext cMajor(std::vector<const char*> previous, std::optional<const char*> next = std::nullopt) {
    SuggestionContext context;
    context.keyRootText = "C";
    context.spellingOptions = SpellingOptions{false, true};
    for (const char* p : previous) context.prevChords.push_back(*parseChordSymbol(p));
    if (next) context.nextChord = parseChordSymbol(*next);
    return context;
}

std::vector<std::string> tokensOf(const TransitionCandidates& list) {
    std::vector<std::string> tokens;
    for (const auto& c : list) tokens.push_back(c.token);
    return tokens;
}

TEST(CorpusToken, NumeralCutAtTheSlashPlusTheBassDegree) {
    const KeyContext c{{0, kMajorMode, 0}, "C"};
    const auto token = [&](const char* symbol) { return deriveCorpusRomanBassDegree(*parseChordSymbol(symbol), c); };
    EXPECT_EQ(token("C"), "I");
    EXPECT_EQ(token("Dm7"), "iim7");
    EXPECT_EQ(token("C/E"), "I/III");
    EXPECT_EQ(token("G7/B"), "V7/VII");
    EXPECT_EQ(token("Bb"), "\u266DVII");
    // The bass is spelled without a preference: the lower letter raised.
    EXPECT_EQ(token("C/Eb"), "I/\u266FII");
    EXPECT_EQ(token("C/C"), "I");
    Chord odd = *parseChordSymbol("C");
    odd.symbol = "?";
    EXPECT_THROW(deriveCorpusRomanBassDegree(odd, c), std::runtime_error);
    EXPECT_EQ(romanWithoutBass("V7/VII"), "V7");
    EXPECT_EQ(romanWithoutBass("IV"), "IV");
    EXPECT_EQ(romanWithoutBass("/x"), "");
}

TEST(CorpusQualities, ColourSubstitutesAndSimplification) {
    const auto subs = [](std::string_view q) {
        const auto span = colourSubstitutes(q);
        return std::vector<std::string_view>(span.begin(), span.end());
    };
    using V = std::vector<std::string_view>;
    EXPECT_EQ(subs("sus4"), (V{"sus2"}));
    EXPECT_EQ(subs("add9"), (V{"maj9", "maj7", "6", "69"}));
    EXPECT_EQ(subs("69"), (V{"maj7", "maj9"}));
    EXPECT_EQ(subs("m7"), (V{"m9", "m6"}));
    EXPECT_EQ(subs("7"), (V{"9", "13"}));
    EXPECT_EQ(subs("7b9b13"), (V{"7"}));
    EXPECT_EQ(subs("7#11"), (V{"7"}));
    EXPECT_EQ(subs("mM9"), (V{"mM7", "m7"}));
    EXPECT_EQ(subs("mM7"), (V{"m7"}));
    EXPECT_EQ(subs(""), V{});
    EXPECT_EQ(subs("o7"), V{});
    for (const auto& [from, to] : std::vector<std::pair<const char*, const char*>>{{"add9", "maj7"},
                                                                                   {"69", "maj7"},
                                                                                   {"maj7", ""},
                                                                                   {"m69", "m7"},
                                                                                   {"m7", "m"},
                                                                                   {"13", "7"},
                                                                                   {"7", ""},
                                                                                   {"7b9", "7"},
                                                                                   {"o7", "7"},
                                                                                   {"sus4", ""},
                                                                                   {"", ""}}) {
        EXPECT_EQ(simplifyCorpusQuality(from), to) << from;
    }
}

TEST(CorpusFollowers, ExactRowWithFiveOrMoreIsReturnedUnchanged) {
    const auto model = modelOf({{"I", {{"IV", 0.3f}, {"V", 0.25f}, {"vi", 0.2f}, {"ii", 0.1f}, {"iii", 0.05f}}},
                                {"I/III", {{"IV", 0.5f}, {"V", 0.2f}}}});
    EXPECT_EQ(corpusFollowerCandidates(model, "I", 20), *model.followers("I"));
    EXPECT_EQ(tokensOf(corpusFollowerCandidates(model, "I", 3)), (std::vector<std::string>{"IV", "V", "vi"}));
    EXPECT_TRUE(corpusFollowerCandidates(model, "nothing", 20).empty());
    EXPECT_TRUE(corpusFollowerCandidates(model, "I", 0).empty());
}

TEST(CorpusFollowers, SlashTokenPicksUpTheSlashFreeRowAtEightTenths) {
    const auto model = modelOf({{"I", {{"IV", 0.3f}, {"V", 0.25f}, {"vi", 0.2f}, {"ii", 0.1f}, {"iii", 0.05f}}},
                                {"I/III", {{"IV", 0.5f}, {"V", 0.1f}}}});
    const auto list = corpusFollowerCandidates(model, "I/III", 20);
    EXPECT_EQ(list,
              (TransitionCandidates{
                  {"IV", 0.5f}, {"V", 0.25f * 0.8f}, {"vi", 0.2f * 0.8f}, {"ii", 0.1f * 0.8f}, {"iii", 0.05f * 0.8f}}));
}

TEST(CorpusFollowers, ColourSubstitutesThenSimplifiedQuality) {
    const auto model = modelOf({{"IVmaj7", {{"V", 0.4f}, {"I", 0.2f}}},
                                {"IV6", {{"ii", 0.5f}}},
                                {"iim", {{"V7", 0.6f}}},
                                {"ii", {{"V", 0.9f}}}});
    // maj9: maj7 and 6 at 0.7 (69 unknown), then the simplified maj7 again at 0.5.
    EXPECT_EQ(corpusFollowerCandidates(model, "IVmaj9", 20),
              (TransitionCandidates{{"ii", 0.5f * 0.7f}, {"V", 0.4f * 0.7f}, {"I", 0.2f * 0.7f}}));
    // k reached after the first substitute: 6 is not tried.
    EXPECT_EQ(tokensOf(corpusFollowerCandidates(model, "IVmaj9", 2)), (std::vector<std::string>{"V", "I"}));
    // m7: m9 and m6 unknown, simplified to "m" at 0.5.
    EXPECT_EQ(corpusFollowerCandidates(model, "iim7", 20), (TransitionCandidates{{"V7", 0.6f * 0.5f}}));
    // No quality marks and none after simplification: nothing further is tried.
    EXPECT_TRUE(corpusFollowerCandidates(model, "vi", 20).empty());
    // The head keeps UTF-8 marks whole: the tail of "vii°7" is "7", tried as 9 and 13, then plain.
    const auto dim = modelOf({{"vii\u00B0", {{"I", 0.3f}}}});
    EXPECT_EQ(corpusFollowerCandidates(dim, "vii\u00B07", 20), (TransitionCandidates{{"I", 0.3f * 0.5f}}));
}

TEST(CorpusSuggestions, FollowersBecomeSpelledSuggestionsWithTheirWeights) {
    const auto model = modelOf({{"I", {{"IV", 0.4f}, {"V", 0.3f}, {"\u266DVII", 0.2f}, {"vi", 0.1f}, {"zz", 0.05f}}}});
    const auto list = suggestFromCorpus(cMajor({"C"}), model);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].chord.symbol, "Fmaj");
    EXPECT_EQ(list[0].label, "Fmaj");
    EXPECT_EQ(list[0].roman, "IV");
    EXPECT_EQ(list[0].score, static_cast<double>(0.4f));
    EXPECT_TRUE(list[0].isDiatonic);
    EXPECT_EQ(list[0].category, kSmartCategory);
    EXPECT_EQ(list[0].kind, SuggestionKind::Corpus);
    EXPECT_FALSE(list[0].target);
    EXPECT_EQ(list[2].chord.symbol, "Bbmaj");
    EXPECT_EQ(list[2].roman, "\u266DVII");
    EXPECT_FALSE(list[2].isDiatonic);
    EXPECT_TRUE(suggestFromCorpus(cMajor({}, "G"), model).empty());
    EXPECT_TRUE(suggestFromCorpus(cMajor({"C"}), ChordTransitionModel{}).empty());
}

TEST(CorpusSuggestions, BridgesToTheNextChordWeighTenfoldAndCapsApply) {
    // 48 followers of I; the 28 lightest all lead to V, so they can bridge to a G.
    std::vector<std::string> tokens;
    for (const char* numeral :
         {"I", "\u266DII", "II", "\u266DIII", "III", "IV", "\u266FIV", "V", "\u266DVI", "VI", "\u266DVII", "VII"}) {
        for (const char* marks : {"", "7", "maj7", "6"}) tokens.push_back(std::string(numeral) + marks);
    }
    TokenWeights row;
    std::vector<std::pair<std::string, TokenWeights>> rows;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        row[tokens[i]] = 0.5f - 0.01f * static_cast<float>(i);
        if (i >= 20) rows.push_back({tokens[i], {{"V", 1.0f}}});
    }
    rows.push_back({"I", row});
    // A bridge below 0.001 is ignored: vi -> V is too light.
    rows.push_back({"vi", {{"V", 0.0001f}}});
    const auto model = modelOf(rows);

    const auto plain = suggestFromCorpus(cMajor({"C"}, "G"), model);
    ASSERT_EQ(plain.size(), 30u);                                        // 20 followers + 15 bridges, cut to 30
    EXPECT_NEAR(plain.front().score, 10.0 * (0.5f - 0.01f * 20), 1e-5);  // the heaviest bridge leads
    SuggestionContext shuffled = cMajor({"C"}, "G");
    shuffled.shuffleMode = true;
    EXPECT_EQ(suggestFromCorpus(shuffled, model).size(), tokens.size());
    EXPECT_EQ(suggestFromCorpus(cMajor({"C"}), model).size(), 20u);
}

TEST(CorpusTextHelpers, AnyBytesAreSplitWithoutReadingPastTheEnd) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 1000;
#else
    constexpr int kRounds = 4000;
#endif
    static const std::vector<std::string> pieces = {"b",        "#",        "I",    "V",    "i", "v",
                                                    "+",        "o",        "/",    "maj7", "m", "\xE2\x99\xAD",
                                                    "\xE2\x99", "\xC2\xB0", "\xC3", "\xFF", "7"};
    const auto model = modelOf({{"I", {{"V", 0.5f}}}, {"IV7", {{"I", 0.5f}}}});
    std::mt19937 rng(114);
    for (int round = 0; round < kRounds; ++round) {
        std::string text;
        for (int n = static_cast<int>(rng() % 6); n > 0; --n) text += pieces[rng() % pieces.size()];
        const std::string head = romanNumeralHead(text);
        EXPECT_TRUE(text.starts_with(head)) << text;
        EXPECT_LE(corpusFollowerCandidates(model, text, static_cast<std::int32_t>(rng() % 8) - 1).size(), 7u);
        EXPECT_TRUE(text.starts_with(romanWithoutBass(text)));
        (void)colourSubstitutes(text);
        (void)simplifyCorpusQuality(text);
    }
}

}  // namespace
}  // namespace quillex
