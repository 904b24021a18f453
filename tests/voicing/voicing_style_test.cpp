// Tests of voicing style ids, aliases and the offered-style rules.
#include "voicing/voicing_style.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace quillex {
namespace {

TEST(VoicingStyleParse, IdsAndAliasesMatchExactly) {
    EXPECT_EQ(parseVoicingStyle("closed"), VoicingStyle::Closed);
    EXPECT_EQ(parseVoicingStyle("shell"), VoicingStyle::Shell);
    EXPECT_EQ(parseVoicingStyle("anthem"), VoicingStyle::Anthem);
    EXPECT_EQ(parseVoicingStyle("pop"), VoicingStyle::Anthem);
    EXPECT_EQ(parseVoicingStyle("split"), VoicingStyle::Split);
    EXPECT_EQ(parseVoicingStyle("drop24"), VoicingStyle::Split);
    EXPECT_EQ(parseVoicingStyle("drop2-4"), VoicingStyle::Split);
    EXPECT_EQ(parseVoicingStyle("guide-color"), VoicingStyle::GuideColor);
    EXPECT_EQ(parseVoicingStyle("tessaro"), VoicingStyle::Tessaro);
}

TEST(VoicingStyleParse, RefusesNearMisses) {
    for (const char* text : {"", "Closed", " closed", "closed ", "POP", "guide_color", "drop2"}) {
        EXPECT_FALSE(parseVoicingStyle(text).has_value()) << text;
    }
}

TEST(VoicingStyleParse, EveryIdRoundTrips) {
    for (VoicingStyle style : kAllVoicingStyles) {
        EXPECT_EQ(parseVoicingStyle(voicingStyleId(style)), style);
    }
    EXPECT_EQ(voicingStyleId(static_cast<VoicingStyle>(9)), "closed");
}

// Mutated ids parse only when they spell an id or alias exactly.
TEST(VoicingStyleParse, MutatedIdsFuzz) {
    const std::vector<std::string> known{"closed", "shell",   "anthem",      "pop",    "split",
                                         "drop24", "drop2-4", "guide-color", "tessaro"};
    std::mt19937 rng(7);
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string text = known[rng() % known.size()];
        for (int m = static_cast<int>(rng() % 3); m > 0; --m) {
            const std::size_t at = rng() % (text.size() + 1);
            if (rng() % 2 && at < text.size())
                text[at] = static_cast<char>(rng() % 256);
            else
                text.insert(at, 1, static_cast<char>("-24adeloprst "[rng() % 13]));
        }
        const auto style = parseVoicingStyle(text);
        const bool isKnown = std::find(known.begin(), known.end(), text) != known.end();
        ASSERT_EQ(style.has_value(), isKnown) << text;
    }
}

TEST(VoicingStyleOffers, OfferedListSkipsShell) {
    auto offered = offeredVoicingStyles();
    ASSERT_EQ(offered.size(), 5u);
    EXPECT_EQ(offered[0], VoicingStyle::Closed);
    EXPECT_EQ(offered[1], VoicingStyle::Anthem);
    EXPECT_EQ(offered[2], VoicingStyle::Split);
    EXPECT_EQ(offered[3], VoicingStyle::GuideColor);
    EXPECT_EQ(offered[4], VoicingStyle::Tessaro);
}

TEST(VoicingStyleOffers, RelevantStylesDependOnIntervalCount) {
    using V = std::vector<VoicingStyle>;
    EXPECT_EQ(relevantVoicingStyles({}), (V{VoicingStyle::Closed, VoicingStyle::Tessaro}));
    std::vector<std::int32_t> power{0, 7};
    EXPECT_EQ(relevantVoicingStyles(power),
              (V{VoicingStyle::Closed, VoicingStyle::Anthem, VoicingStyle::GuideColor, VoicingStyle::Tessaro}));
    std::vector<std::int32_t> triad{0, 4, 7};
    EXPECT_EQ(relevantVoicingStyles(triad), (V{VoicingStyle::Closed, VoicingStyle::Anthem, VoicingStyle::Split,
                                               VoicingStyle::GuideColor, VoicingStyle::Tessaro}));
    // Duplicates count: only the number of entries is looked at.
    std::vector<std::int32_t> doubled{0, 0, 0};
    EXPECT_EQ(relevantVoicingStyles(doubled).size(), 5u);
}

}  // namespace
}  // namespace quillex
