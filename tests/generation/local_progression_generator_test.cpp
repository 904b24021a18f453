// Draw for draw: the generator's choices derived from raw Mersenne Twister outputs of a reference twister.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "generation/generation_fixture.h"
#include "generation/local_progression_generator.h"
#include "generation/modal_substitution_rules.h"
#include "generation/temperature_walk.h"
#include "platform/random_device.h"

namespace quillex {
namespace {

using testing::FollowerRow;
using testing::GenerationFixture;
using testing::makeSource;
using Tokens = std::vector<std::string>;

// MT19937 written out from its definition, independent of the library's engine.
class ReferenceTwister {
public:
    using State = std::array<std::uint32_t, 624>;

    explicit ReferenceTwister(std::uint32_t seed) {
        x_[0] = seed;
        for (std::uint32_t i = 1; i < 624; ++i) x_[i] = 1812433253u * (x_[i - 1] ^ (x_[i - 1] >> 30)) + i;
    }
    explicit ReferenceTwister(const State& state) : x_(state) {}
    static ReferenceTwister fromSeedWords(std::vector<std::uint32_t> words) {
        std::seed_seq sequence(words.begin(), words.end());
        State state{};
        sequence.generate(state.begin(), state.end());
        bool zero = (state[0] & 0x80000000u) == 0;
        for (std::size_t i = 1; i < 624 && zero; ++i) zero = state[i] == 0;
        if (zero) state[0] = 0x80000000u;
        return ReferenceTwister(state);
    }

    std::uint32_t next() {
        if (index_ >= 624) twist();
        std::uint32_t y = x_[index_++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        return y ^ (y >> 18);
    }

    // Inverse of the output tempering.
    static std::uint32_t untemper(std::uint32_t y) {
        y ^= y >> 18;
        y ^= (y << 15) & 0xefc60000u;
        std::uint32_t x = y;
        for (int i = 0; i < 5; ++i) x = y ^ ((x << 7) & 0x9d2c5680u);
        y = x;
        for (int i = 0; i < 3; ++i) x = y ^ (x >> 11);
        return x;
    }

private:
    void twist() {
        for (std::size_t i = 0; i < 624; ++i) {
            const std::uint32_t y = (x_[i] & 0x80000000u) | (x_[(i + 1) % 624] & 0x7fffffffu);
            x_[i] = x_[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
        }
        index_ = 0;
    }

    State x_{};
    std::size_t index_ = 624;
};

// A standard engine whose next outputs are exactly `words` (at most 227): the
// state of its textual form is zero where the twist would mix in other words.
std::mt19937 twisterEmitting(const std::vector<std::uint32_t>& words) {
    ReferenceTwister::State state{};
    for (std::size_t k = 0; k < words.size(); ++k) state[397 + k] = ReferenceTwister::untemper(words[k]);
    std::ostringstream text;
    for (std::size_t i = 0; i < 624; ++i) text << state[i] << (i + 1 < 624 ? " " : "");
    std::istringstream in(text.str());
    std::mt19937 engine;
    in >> engine;
    return engine;
}

std::uint32_t fnv(std::string_view text, std::uint32_t h = 2166136261u) {
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

std::uint32_t expectedSeed(const std::string& genre, const std::string& family, const std::string& subcategory,
                           std::uint32_t length, std::uint32_t index) {
    std::uint32_t h = fnv(subcategory, fnv(family, fnv(genre)));
    h = (h ^ length) * 16777619u;
    return (h ^ index) * 16777619u;
}

// An index drawn from one raw word, asserting the draw needs no second word.
std::size_t indexOf(std::uint32_t word, std::size_t n) {
    const std::uint64_t m = std::uint64_t{n} * word;
    EXPECT_GE(static_cast<std::uint32_t>(m), n) << "this seed takes the rejection path";
    return static_cast<std::size_t>(m >> 32);
}

double unitOf(std::uint32_t a, std::uint32_t b) {
    return static_cast<double>((std::uint64_t{b} << 21) | (a >> 11)) / 9007199254740992.0;
}

LocalGenerationRequest sequentialRequest(const std::string& genre, std::int32_t index) {
    LocalGenerationRequest request;
    request.genre = genre;
    request.length = 4;
    request.autoKey = true;
    request.debugSequential = true;
    request.debugTrace = true;
    request.debugSequenceIndex = index;
    return request;
}

LocalGenerationResult run(const GenerationFixture& f, const LocalGenerationRequest& request, float temperature) {
    LocalGenerationResult result;
    CorpusRandomGenerator().generate(result, request, f.corpus, f.model, temperature);
    return result;
}

// Rock: no style flags. The eligible lists are fixed by the followers below.
GenerationFixture rockFixture() {
    return GenerationFixture("rock", 4, {makeSource({"I", "IV", "V", "I"})},
                             {{"I", {{"ii", 0.5f}, {"vi", 0.3f}, {"iii", 0.2f}}},
                              {"ii", {{"V", 0.5f}, {"iii", 0.3f}, {"vi", 0.2f}}},
                              {"vi", {{"V", 0.5f}, {"iii", 0.3f}, {"ii", 0.2f}}},
                              {"iii", {{"V", 0.5f}, {"vi", 0.3f}, {"ii", 0.2f}}},
                              {"IV", {{"V", 0.5f}, {"iii", 0.3f}, {"vi", 0.2f}}},
                              {"V", {{"I", 1.0f}}}});
}

// At position 2 the current V is refused and so is a repeat of the previous numeral.
const std::map<std::string, Tokens>& rockEligibleAtTwo() {
    static const std::map<std::string, Tokens> lists{
        {"IV", {"iii", "vi"}}, {"ii", {"iii", "vi"}}, {"vi", {"iii", "ii"}}, {"iii", {"vi", "ii"}}};
    return lists;
}

TEST(ReferenceTwisterTest, MatchesTheStandardsTenThousandthOutput) {
    ReferenceTwister reference(5489u);
    std::mt19937 engine;
    std::uint32_t last = 0;
    for (int i = 0; i < 10000; ++i) {
        last = reference.next();
        ASSERT_EQ(last, engine()) << i;
    }
    EXPECT_EQ(last, 4123659995u);
    std::mt19937 crafted = twisterEmitting({7u, 0u, 0xFFFFFFFFu});
    EXPECT_EQ(crafted(), 7u);
    EXPECT_EQ(crafted(), 0u);
    EXPECT_EQ(crafted(), 0xFFFFFFFFu);
}

TEST(SequentialSeedTest, HashesTheTextsAsSentThenLengthAndIndex) {
    LocalGenerationRequest request = sequentialRequest("Pop + EDM", 3);
    request.modeFamily = "Ionian";
    request.subcategory = "chorus";
    EXPECT_EQ(sequentialGenerationSeed(request), expectedSeed("Pop + EDM", "Ionian", "chorus", 4, 3));
    LocalGenerationRequest normalised = request;
    normalised.genre = "popedm";
    EXPECT_NE(sequentialGenerationSeed(normalised), sequentialGenerationSeed(request));
    LocalGenerationRequest negative = request;
    negative.debugSequenceIndex = -5;
    EXPECT_EQ(sequentialGenerationSeed(negative), expectedSeed("Pop + EDM", "Ionian", "chorus", 4, 0));
}

TEST(GeneratorDrawsTest, KeepAndReplaceBelowTemperatureOneFollowTheTopBits) {
    const GenerationFixture f = rockFixture();
    int kept = 0;
    int replaced = 0;
    for (std::int32_t index = 0; index < 24; ++index) {
        const LocalGenerationRequest request = sequentialRequest("Rock", index);
        ReferenceTwister mt(expectedSeed("Rock", "", "", 4, static_cast<std::uint32_t>(index)));
        Tokens expected{"I", "IV", "V", "I"};
        if ((mt.next() >> 8) < (1u << 23)) {  // (r >> 8) * 2^-24 < 0.5
            expected[1] = Tokens{"ii", "vi", "iii"}[indexOf(mt.next(), 3)];
            ++replaced;
        } else {
            ++kept;
        }
        if ((mt.next() >> 8) < (1u << 23)) {
            const Tokens& eligible = rockEligibleAtTwo().at(expected[1]);
            expected[2] = eligible[indexOf(mt.next(), eligible.size())];
        }
        const LocalGenerationResult result = run(f, request, 0.5f);
        EXPECT_EQ(result.generatedRoman, expected) << "index " << index;
        EXPECT_EQ(result.selectedRoman, (Tokens{"I", "IV", "V", "I"}));
        EXPECT_EQ(result.substituted, expected != result.selectedRoman);
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(replaced, 0);
}

TEST(GeneratorDrawsTest, UniformIndexRedrawsABiasedWord) {
    const GenerationFixture f = rockFixture();
    LocalGenerationRequest request = sequentialRequest("Rock", 0);
    // Position 2: any keep word, then 0 (for three entries 3 * 0 mod 2^32 lies below
    // (2^32 - 3) mod 3 = 1, so it is redrawn), then the top word, index 2.
    // Position 3: any keep word, then 2^31 for index 1 of two.
    std::mt19937 engine = twisterEmitting({12345u, 0u, 0xFFFFFFFFu, 999u, 0x80000000u});
    const WalkOutcome walk =
        generateFromSource({"I", "IV", "V", "I"}, f.corpus, f.model, 1.0f, request, "", "", 0, engine, false);
    EXPECT_EQ(walk.tokens, (Tokens{"I", "iii", "ii", "I"}));
}

TEST(GeneratorDrawsTest, PopPoolKeepsThreePlainChordsAndTheStrongChromaticOne) {
    // Accepted in order: ii, bVII (0.16), vi, bVI (0.06), iii; IV repeats the chord,
    // V7 is an extended colour and V repeats the next numeral.
    const GenerationFixture f("popedm", 4, {makeSource({"I", "IV", "V", "I"})},
                              {{"I",
                                {{"IV", 0.30f},
                                 {"ii", 0.20f},
                                 {"bVII", 0.16f},
                                 {"V7", 0.14f},
                                 {"vi", 0.10f},
                                 {"bVI", 0.06f},
                                 {"iii", 0.03f},
                                 {"V", 0.01f}}},
                               {"ii", {{"V", 0.5f}, {"IV", 0.3f}, {"vi", 0.2f}}},
                               {"vi", {{"V", 0.5f}, {"IV", 0.3f}, {"vi", 0.2f}}},
                               {"iii", {{"V", 0.5f}, {"IV", 0.3f}, {"vi", 0.2f}}},
                               {"bVII", {{"V", 0.5f}, {"IV", 0.3f}, {"vi", 0.2f}}}});
    const Tokens pool{"ii", "vi", "iii", "bVII"};
    std::set<std::string> seen;
    for (std::int32_t index = 0; index < 24; ++index) {
        ReferenceTwister mt(expectedSeed("Pop + EDM", "", "", 4, static_cast<std::uint32_t>(index)));
        Tokens expected{"I", "IV", "V", "I"};
        mt.next();
        expected[1] = pool[indexOf(mt.next(), pool.size())];
        mt.next();
        const Tokens atTwo = expected[1] == "vi" ? Tokens{"IV"} : Tokens{"IV", "vi"};
        expected[2] = atTwo[indexOf(mt.next(), atTwo.size())];
        seen.insert(expected[1]);
        EXPECT_EQ(run(f, sequentialRequest("Pop + EDM", index), 1.0f).generatedRoman, expected) << index;
    }
    EXPECT_EQ(seen.size(), 4u);

    const GenerationFixture weak("popedm", 4, {makeSource({"I", "IV", "V", "I"})},
                                 {{"I", {{"IV", 0.5f}, {"bVI", 0.1f}, {"bVII", 0.05f}}}, {"IV", {{"V", 1.0f}}}});
    EXPECT_EQ(run(weak, sequentialRequest("popedm", 0), 1.0f).generatedRoman, (Tokens{"I", "IV", "V", "I"}));
}

GenerationFixture darkFixture(Tokens source, const std::string& family, std::vector<FollowerRow> rows) {
    Tokens vocabulary = source;
    for (const char* token : {"VI", "v", "III", "bII"}) vocabulary.push_back(token);
    return GenerationFixture("modalcolorsdarkexotic", 4, {makeSource(source, family, "vamp", vocabulary)}, rows);
}

TEST(GeneratorDrawsTest, DarkStyleDrawsTwoWordsAgainstTheCumulativeWeights) {
    const GenerationFixture f = darkFixture({"i", "iv", "VII", "i"}, "aeolian",
                                            {{"i", {{"VI", 0.5f}, {"v", 0.3f}, {"III", 0.2f}}},
                                             {"VI", {{"VII", 0.6f}, {"iv", 0.4f}}},
                                             {"v", {{"VII", 0.6f}, {"iv", 0.4f}}},
                                             {"III", {{"VII", 0.6f}, {"iv", 0.4f}}}});
    for (const char* chord : {"VI", "v", "III"}) {
        ASSERT_TRUE(
            checkSubstitutionRules({"i", "iv", "VII", "i"}, {"i", chord, "VII", "i"}, "aeolian", "vamp", 1, nullptr));
        ASSERT_TRUE(
            checkSubstitutionRules({"i", "iv", "VII", "i"}, {"i", chord, "iv", "i"}, "aeolian", "vamp", 1, nullptr));
    }
    std::set<std::string> seen;
    for (std::int32_t index = 0; index < 24; ++index) {
        ReferenceTwister mt(expectedSeed("Modal Colors: Dark & Exotic", "", "", 4, static_cast<std::uint32_t>(index)));
        mt.next();
        const std::uint32_t a = mt.next();
        const double u = unitOf(a, mt.next());
        const std::string first = u <= 0.5 ? "VI" : u <= 0.8 ? "v" : "III";
        seen.insert(first);
        const LocalGenerationResult result = run(f, sequentialRequest("Modal Colors: Dark & Exotic", index), 1.0f);
        EXPECT_EQ(result.generatedRoman, (Tokens{"i", first, "iv", "i"})) << index << " u=" << u;
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST(GeneratorDrawsTest, DarkStyleSkipsBiiWithoutADraw) {
    const GenerationFixture f =
        darkFixture({"i", "bII", "VII", "i"}, "phrygian",
                    {{"i", {{"bII", 1.0f}}}, {"bII", {{"VII", 0.5f}, {"v", 0.3f}, {"III", 0.2f}}}});
    for (std::int32_t index = 0; index < 16; ++index) {
        ReferenceTwister mt(expectedSeed("modalcolorsdarkexotic", "", "", 4, static_cast<std::uint32_t>(index)));
        mt.next();  // the keep word of position 3; position 2 draws nothing
        const std::uint32_t a = mt.next();
        const std::string chosen = unitOf(a, mt.next()) <= 0.6 ? "v" : "III";
        EXPECT_EQ(run(f, sequentialRequest("modalcolorsdarkexotic", index), 1.0f).generatedRoman,
                  (Tokens{"i", "bII", chosen, "i"}))
            << index;
    }
}

TEST(GeneratorDrawsTest, DarkTraceNamesWhyNothingWasEligible) {
    const GenerationFixture f =
        darkFixture({"i", "iv", "VII", "i"}, "aeolian", {{"i", {{"bII", 0.5f}, {"I", 0.3f}, {"iv", 0.2f}}}});
    const LocalGenerationResult result = run(f, sequentialRequest("modalcolorsdarkexotic", 0), 1.0f);
    EXPECT_EQ(result.generatedRoman, (Tokens{"i", "iv", "VII", "i"}));
    EXPECT_EQ(result.substitutionTrace,
              (Tokens{"position 2: no eligible candidate (failed shared compatibility rules=1, outside subcategory "
                      "vocabulary=1, would introduce a new bII position=1)",
                      "position 3: no following-chord candidates"}));
    EXPECT_FALSE(result.substituted);
}

TEST(GeneratorDrawsTest, WithoutSequentialSeedingFourDeviceWordsSeedTheSourceChoiceAndWalk) {
    const GenerationFixture f(
        "rock", 4,
        {makeSource({"I", "IV", "V", "I"}), makeSource({"I", "IV", "V", "I"}), makeSource({"I", "IV", "V", "I"}),
         makeSource({"I", "IV", "V", "I"}), makeSource({"I", "IV", "V", "I"})},
        {{"I", {{"ii", 0.5f}, {"vi", 0.3f}, {"iii", 0.2f}}},
         {"ii", {{"V", 0.5f}, {"iii", 0.3f}, {"vi", 0.2f}}},
         {"vi", {{"V", 0.5f}, {"iii", 0.3f}, {"ii", 0.2f}}},
         {"iii", {{"V", 0.5f}, {"vi", 0.3f}, {"ii", 0.2f}}}});
    std::set<std::uint64_t> sources;
    for (std::uint32_t trial = 0; trial < 8; ++trial) {
        const std::vector<std::uint32_t> words{trial * 7919u, 0xDEADBEEFu, trial, 42u};
        std::size_t next = 0;
        platform::setRandomWordSourceForTesting([&] { return words.at(next++); });
        LocalGenerationRequest request = sequentialRequest("Rock", 0);
        request.debugSequential = false;
        const LocalGenerationResult result = run(f, request, 1.0f);
        platform::setRandomWordSourceForTesting({});
        EXPECT_EQ(next, 4u);

        ReferenceTwister mt = ReferenceTwister::fromSeedWords(words);
        const std::size_t source = indexOf(mt.next(), 5);
        Tokens expected{"I", "IV", "V", "I"};
        mt.next();
        expected[1] = Tokens{"ii", "vi", "iii"}[indexOf(mt.next(), 3)];
        mt.next();
        const Tokens& eligible = rockEligibleAtTwo().at(expected[1]);
        expected[2] = eligible[indexOf(mt.next(), eligible.size())];
        EXPECT_EQ(result.candidateIndex, source);
        EXPECT_EQ(result.sourceIndex, source);
        EXPECT_EQ(result.generatedRoman, expected);
        sources.insert(source);
    }
    EXPECT_GT(sources.size(), 1u);
}

}  // namespace
}  // namespace quillex
