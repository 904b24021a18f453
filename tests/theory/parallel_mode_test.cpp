// Tests of the parallel-mode quality mapping and slash-bass roles.
#include "theory/parallel_mode.h"

#include <gtest/gtest.h>

#include "key_samples.h"
#include "theory/chord_quality_table.h"
#include "theory/chord_symbol.h"

namespace quillex {
namespace {

using testing::kCMajor;
using testing::kCMelodic;
using testing::kCMinor;

ChordQuality quality(const char* text) {
    std::optional<ChordQuality> q = lookupChordQuality(text);
    EXPECT_TRUE(q.has_value()) << text;
    return q.value_or(ChordQuality{});
}

TEST(IsExtendedQuality, SeventhsAndPlainUpperExtensionsOnly) {
    for (const char* q : {"maj7", "m9", "7b9", "11", "13", "9", "m11"}) {
        EXPECT_TRUE(isExtendedQuality(q)) << q;
    }
    for (const char* q : {"", "m6", "69", "6/9", "add9", "madd11", "sus4", "b9", "#11", "b13", "mb6", "maj"}) {
        EXPECT_FALSE(isExtendedQuality(q)) << q;
    }
}

TEST(HasAlteredTension, FindsAlteredFiguresAndAlt) {
    for (const char* q : {"7alt", "7#9", "9#11", "m7b5", "7b13", "7#5"}) {
        EXPECT_TRUE(hasAlteredTension(q)) << q;
    }
    for (const char* q : {"7", "maj9", "13", ""}) {
        EXPECT_FALSE(hasAlteredTension(q)) << q;
    }
}

TEST(ParallelModeQuality, MajorToNaturalMinor) {
    EXPECT_EQ(parallelModeQuality("m9", kCMajor, kCMinor, 2), "m7b5");
    EXPECT_EQ(parallelModeQuality("m7", kCMajor, kCMinor, 6), "maj7");
    EXPECT_EQ(parallelModeQuality("7b9", kCMajor, kCMinor, 5), "7b9");
    EXPECT_EQ(parallelModeQuality("maj", kCMajor, kCMinor, 1), "m");
    EXPECT_EQ(parallelModeQuality("7#9", kCMajor, kCMinor, 3), "7#9");
    for (int degree = 1; degree <= 7; ++degree) {
        EXPECT_EQ(parallelModeQuality("sus4", kCMajor, kCMinor, degree), "sus4");
    }
}

TEST(ParallelModeQuality, NaturalMinorToMajor) {
    EXPECT_EQ(parallelModeQuality("m", kCMinor, kCMajor, 5), "");
    EXPECT_EQ(parallelModeQuality("7", kCMinor, kCMajor, 7), "7");
    EXPECT_EQ(parallelModeQuality("maj", kCMinor, kCMajor, 7), "maj");
    EXPECT_EQ(parallelModeQuality("m7", kCMinor, kCMajor, 7), "m7");
}

TEST(ParallelModeQuality, MelodicMinorToMajorKeepsAlteredDominants) {
    EXPECT_EQ(parallelModeQuality("7alt", kCMelodic, kCMajor, 4), "7alt");
    EXPECT_EQ(parallelModeQuality("9", kCMelodic, kCMajor, 4), "maj9");
}

TEST(ParallelModeQuality, UnknownQualityIsReturnedUnchanged) {
    EXPECT_EQ(parallelModeQuality("zz9", kCMajor, kCMinor, 2), "zz9");
}

TEST(ParallelModeHelpers, MinorDominantAndMajorSubtonicNeedNaturalMinor) {
    EXPECT_TRUE(isNaturalMinorMinorDominant(quality("m7"), kCMinor, 5, true));
    EXPECT_FALSE(isNaturalMinorMinorDominant(quality("m"), kCMelodic, 5, false));
    EXPECT_FALSE(isNaturalMinorMinorDominant(quality("m"), kCMinor, 4, false));
    EXPECT_TRUE(isNaturalMinorMajorSubtonic(quality("7"), kCMinor, kCMajor, 7));
    EXPECT_FALSE(isNaturalMinorMajorSubtonic(quality("7"), kCMinor, kCMinor, 7));
    EXPECT_FALSE(isNaturalMinorMajorSubtonic(quality("7"), kCMelodic, kCMajor, 7));
}

TEST(BassChordTone, RoleOfTheFirstMatchingTone) {
    Chord c = *parseChordSymbol("C");
    EXPECT_EQ(bassChordTone(c, 4), BassToneRole::Third);
    EXPECT_EQ(bassChordTone(c, 7), BassToneRole::Fifth);
    EXPECT_EQ(bassChordTone(c, 0), BassToneRole::Root);
    EXPECT_EQ(bassChordTone(c, 2), std::nullopt);
    EXPECT_EQ(bassChordTone(*parseChordSymbol("Ddim7"), 11), BassToneRole::Seventh);
    EXPECT_EQ(bassChordTone(*parseChordSymbol("D6"), 11), std::nullopt);
    EXPECT_EQ(bassChordTone(*parseChordSymbol("Bb7"), 8), BassToneRole::Seventh);
}

TEST(ChordToneOfRole, FirstToneWithThatRole) {
    EXPECT_EQ(chordToneOfRole(0, "m", BassToneRole::Third), PitchClass{3});
    EXPECT_EQ(chordToneOfRole(7, "7", BassToneRole::Seventh), PitchClass{5});
    EXPECT_EQ(chordToneOfRole(0, "maj", BassToneRole::Seventh), std::nullopt);
    EXPECT_EQ(chordToneOfRole(0, "dim7", BassToneRole::Seventh), PitchClass{9});
    EXPECT_EQ(chordToneOfRole(0, "m7b5", BassToneRole::Seventh), PitchClass{10});
    EXPECT_EQ(chordToneOfRole(0, "nonsense", BassToneRole::Root), std::nullopt);
}

TEST(ParallelModeExhaustive, EveryQualityOnEveryDegreeMapsToAKnownOrKeptQuality) {
    // Whatever comes back is the text itself or a quality the vocabulary reads.
    const std::pair<MusicalKey, MusicalKey> switches[] = {
        {kCMajor, kCMinor}, {kCMinor, kCMajor}, {kCMelodic, kCMajor}, {kCMajor, kCMelodic}};
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        for (const auto& [from, to] : switches) {
            for (int degree = 1; degree <= 7; ++degree) {
                std::string mapped = parallelModeQuality(name, from, to, degree);
                if (mapped == name) continue;
                EXPECT_TRUE(lookupChordQuality(mapped).has_value())
                    << name << " on degree " << degree << " gave " << mapped;
            }
        }
        // Every role a bass can take is offered again by the quality.
        for (std::int32_t interval : intervals) {
            Chord chord{0, name, intervals, std::nullopt, name};
            const PitchClass pc = static_cast<PitchClass>(interval % 12);
            if (std::optional<BassToneRole> role = bassChordTone(chord, pc)) {
                std::optional<PitchClass> back = chordToneOfRole(0, name, *role);
                ASSERT_TRUE(back.has_value()) << name;
            }
        }
    }
}

}  // namespace
}  // namespace quillex
