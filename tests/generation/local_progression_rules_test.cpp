// Style catalogue, modal substitution rules, walk rule helpers, lock parsing and finalisation pieces.
#include <gtest/gtest.h>

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "generation/lock_context.h"
#include "generation/modal_substitution_rules.h"
#include "generation/progression_finalisation.h"
#include "generation/style_catalogue.h"
#include "generation/temperature_walk.h"

namespace quillex {
namespace {

using nlohmann::json;
using Tokens = std::vector<std::string>;

TEST(StyleCatalogueTest, DisplayNamesAfterNormalisingAndRootNamesByPreference) {
    EXPECT_EQ(genreDisplayName("Pop+EDM"), "Pop + EDM");
    EXPECT_EQ(genreDisplayName("POPEDM"), "Pop + EDM");
    EXPECT_EQ(genreDisplayName("Jazz + Neo Soul"), "Jazz + Neo Soul");
    EXPECT_EQ(genreDisplayName("modal colors: dark & exotic"), "Modal Colors: Dark & Exotic");
    EXPECT_EQ(genreDisplayName("blues"), "blues");
    EXPECT_EQ(spellPitchClass(SpellingPreference::Fifths, 6, ""), "F#");
    EXPECT_EQ(spellPitchClass(SpellingPreference::Flats, 6, ""), "Gb");
    EXPECT_EQ(spellPitchClass(SpellingPreference::Sharps, 6, ""), "F#");
    EXPECT_EQ(spellPitchClass(SpellingPreference::Fifths, 10, ""), "Bb");
    EXPECT_EQ(spellPitchClass(SpellingPreference::Sharps, 10, "Bb"), "Bb");
}

struct RuleCase {
    Tokens source;
    Tokens candidate;
    const char* family;
    int mode;
    const char* reason;  // empty when the candidate passes
};

TEST(ModalSubstitutionRulesTest, NameTheFirstBrokenRule) {
    const std::vector<RuleCase> cases{
        {{"i", "iv", "v", "i"}, {"iv", "iv", "v", "VI"}, "aeolian", 1, "would remove the tonic anchor"},
        {{"i", "iv", "v", "i"}, {"i", "iv", "I", "i"}, "aeolian", 1, "would introduce the wrong tonic quality"},
        {{"i", "bII", "iv", "i"}, {"i", "bII", "i", "i"}, "phrygian", 1, "would reduce main-degree diversity"},
        {{"i", "iv", "iv", "bII"},
         {"i", "bII", "iv", "bII"},
         "phrygian",
         1,
         "would increase tonic-bII transition density"},
        {{"i", "i", "bII", "bII"},
         {"i", "bII", "i", "bII"},
         "phrygian",
         1,
         "would create a tonic-bII alternating loop"},
        {{"bII", "i", "bII", "i"}, {"i", "bII", "i", "bII"}, "phrygian", 1, ""},
        {{"i", "iv", "v", "i"}, {"i", "iv", "v", "iv"}, "phrygian", 1, "would lose Phrygian identity"},
        {{"I", "bII", "iv", "I"}, {"I", "bII", "iv", "I"}, "Phrygian Dominant", 0, ""},
        {{"I", "bII", "iv", "I"},
         {"I", "bII", "i", "I"},
         "phrygiandominant",
         0,
         "would introduce the wrong tonic quality"},
        {{"i", "iv"}, {"i", "iv", "i"}, "aeolian", 1, "invalid progression shape"},
        {{"i"}, {"i"}, "aeolian", 1, "invalid progression shape"},
        {{"i", "iv", "v", "i"}, {"i", "iv", "v", "i"}, "aeolian", 0, "would change the inferred mode"},
    };
    for (const RuleCase& c : cases) {
        std::string reason = "stale";
        const bool passed = checkSubstitutionRules(c.source, c.candidate, c.family, "vamp", c.mode, &reason);
        EXPECT_EQ(passed, std::string(c.reason).empty()) << c.candidate[0] << " " << c.family;
        EXPECT_EQ(reason, c.reason) << ::testing::PrintToString(c.candidate);
    }
    EXPECT_TRUE(hasPhrygianMotion({"i/bII", "iv"}));
    EXPECT_TRUE(hasPhrygianMotion({"i", "iv", "bII", "V"}));
    EXPECT_FALSE(hasPhrygianDominantMotion({"I", "iv", "bII", "V"}));
    EXPECT_EQ(countTonicBiiTransitions("i", {"bII", "iv", "v", "i"}), 1u);
}

TEST(WalkRuleHelpersTest, ClassifyTokensAsTheStyleRulesReadThem) {
    EXPECT_EQ(romanTokenQuality("bVIImaj7/V"), "maj7");
    EXPECT_EQ(romanTokenQuality("\u266D\u266FIIm7"), "m7");
    EXPECT_TRUE(isExtendedColour("V7"));
    EXPECT_TRUE(isExtendedColour("IVsus2"));
    EXPECT_FALSE(isExtendedColour("Imaj7"));
    EXPECT_FALSE(isExtendedColour("iim7"));
    EXPECT_FALSE(isExtendedColour("viiø7"));
    EXPECT_TRUE(isMinorPopDegree("VII"));
    EXPECT_FALSE(isMinorPopDegree("bVII"));
    EXPECT_FALSE(isMinorPopDegree("ii"));
    EXPECT_TRUE(isClassicalQuality("V7"));
    EXPECT_TRUE(isClassicalQuality("vii\u00B07"));
    EXPECT_FALSE(isClassicalQuality("IV7"));
    EXPECT_FALSE(isClassicalQuality("m7"));
    const std::vector<std::pair<const char*, int>> classes{{"i", 1},   {"III", 1},  {"VI", 4}, {"iv", 2},
                                                           {"ii", 2},  {"viio", 2}, {"V", 3},  {"vii", 3},
                                                           {"VII", 1}, {"IV", 2},   {"v", 0},  {"", 0}};
    for (const auto& [token, cls] : classes) EXPECT_EQ(classicalFunctionClass(token), cls) << token;
    const Tokens walk{"i", "iv", "V", "i"};
    EXPECT_TRUE(keepsClassicalFunction("iv", "ii", walk, 1));
    EXPECT_FALSE(keepsClassicalFunction("iv", "V", walk, 1));
    EXPECT_FALSE(keepsClassicalFunction("VI", "IV", walk, 1));
    EXPECT_TRUE(isColourResolution("Vsus4", "V"));
    EXPECT_TRUE(isColourResolution("IVmaj7", "IV"));
    EXPECT_FALSE(isColourResolution("V", "V7"));
    EXPECT_TRUE(breaksNeighbourDegreeRule({"V", "I", "V", "I"}, 1, "V7"));
    EXPECT_FALSE(breaksNeighbourDegreeRule({"I", "IV", "V", "I"}, 1, "V7"));  // V7 resolves into V
    EXPECT_FALSE(breaksNeighbourDegreeRule({"I", "Vsus4", "vi", "I"}, 2, "V"));
    EXPECT_TRUE(breaksNeighbourDegreeRule({"I", "V", "vi", "I"}, 2, "Vsus4"));
}

TEST(LockContextTest, ReadsTheSourceKeyAndPlacesChordsByDegree) {
    const json request{
        {"lockContext",
         {{"sourceKey", {{"root", "f#"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}},
          {"slots", {{{"index", 0}, {"type", "rest"}}, {{"index", 2}, {"type", "chord"}, {"symbol", "Bm7/E"}}}}}}};
    std::string error;
    const std::optional<LockContext> context = parseLockContext(request, error);
    ASSERT_TRUE(context) << error;
    EXPECT_EQ(context->sourceKey, (MusicalKey{6, kMinorMode, kMelodicMinorScale}));
    EXPECT_EQ(context->sourceKeyRootText, "F#");
    ASSERT_EQ(context->slots.size(), 2u);
    EXPECT_TRUE(context->slots[0].rest);
    EXPECT_EQ(context->slots[1].rootPlacement, (AlteredDegree{3, 0, true}));
    EXPECT_EQ(context->slots[1].bassPlacement, (AlteredDegree{6, -1, true}));
    // A quality with a slash of its own: the bass is what follows the last one.
    const json sixNine{{"lockContext",
                        {{"sourceKey", {{"root", "C"}, {"mode", "major"}}},
                         {"slots", {{{"index", 0}, {"type", "chord"}, {"symbol", "C6/9/E"}}}}}}};
    const std::optional<LockContext> withSlashQuality = parseLockContext(sixNine, error);
    ASSERT_TRUE(withSlashQuality) << error;
    EXPECT_EQ(withSlashQuality->slots[0].bassPlacement, (AlteredDegree{2, 0, true}));
    EXPECT_EQ(slashBassSpellingToken("C6/9/Eb"), "Eb");
    EXPECT_EQ(parseLockContext(json::object(), error), LockContext{});
    EXPECT_EQ(parseLockContext(json::array(), error), LockContext{});
}

GeneratedChord chordSlot(PitchClass root, const char* quality) {
    GeneratedChord slot;
    slot.chord = makeChord(root, *lookupChordQuality(quality), std::nullopt, "");
    return slot;
}

TEST(FinalisationTest, ShowsTheSimplifiedSymbolAndNamesTheNumeralFromTheLetterTrueSpelling) {
    // IV of Gb major is Cb; simplified it shows as B, and the numeral stays IV.
    const KeyContext gFlat{MusicalKey{6, kMajorMode, kNaturalMinorScale}, "Gb"};
    const json shown = renderGeneratedChord(chordSlot(11, "maj"), gFlat, true);
    EXPECT_EQ(shown.at("symbol"), "Bmaj");
    EXPECT_EQ(shown.at("original"), "Bmaj");
    EXPECT_EQ(shown.at("root"), "B");
    EXPECT_EQ(shown.at("roman"), "IV");
    EXPECT_EQ(shown.at("degree"), 4);
    const json letterTrue = renderGeneratedChord(chordSlot(11, "maj"), gFlat, false);
    EXPECT_EQ(letterTrue.at("symbol"), "Cbmaj");
    EXPECT_EQ(letterTrue.at("roman"), "IV");
}

TEST(FinalisationTest, LockedRestsInsertAndChordsReplace) {
    const std::vector<GeneratedChord> generated{chordSlot(0, "maj"), chordSlot(9, "m"), chordSlot(5, "maj"),
                                                chordSlot(7, "7")};
    LockContext locks;
    LockedSlot rest;
    rest.index = 1;
    rest.rest = true;
    locks.slots = {rest};
    const auto placed = applyLockedSlots(generated, locks, MusicalKey{});
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_TRUE(placed[1].rest);
    EXPECT_EQ(placed[2], generated[1]);
    EXPECT_EQ(placed[4], generated[3]);

    LockedSlot chord;
    chord.index = 2;
    chord.chord = *parseChordSymbol("Dm7");
    chord.authoredSymbol = "Dm7";
    chord.rootPlacement = {1, 0, true};
    locks.slots = {chord};
    const auto moved = applyLockedSlots(generated, locks, MusicalKey{2, kMajorMode, kNaturalMinorScale});
    ASSERT_EQ(moved.size(), 4u);
    EXPECT_EQ(moved[2].chord.root, 4);
    EXPECT_FALSE(moved[2].keepAuthoredSpelling);
    EXPECT_EQ(moved[3], generated[3]);
}

TEST(FinalisationTest, KeyObjectsAndQualityFailures) {
    EXPECT_EQ(serializeGeneratedKey(MusicalKey{}, SpellingOptions{}, "C"),
              (json{{"root", "C"}, {"mode", "major"}, {"minorScaleType", "natural"}}));
    EXPECT_EQ(serializeGeneratedKey(MusicalKey{3, kMinorMode, kMelodicMinorScale}, SpellingOptions{true, true}, ""),
              (json{{"root", "Eb"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}));
    LocalGenerationResult result;
    result.items = {{0, "", std::nullopt, "I"}, {7, "nonsense", std::nullopt, "V"}};
    try {
        buildGeneratedChords(result);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Generated chord has invalid quality at index 1");
    }
}

}  // namespace
}  // namespace quillex
