// The theory generators: their worked examples, targets claimed once per run, the diatonic test and numeral heads.
#include "generation/theory_suggestions.h"

#include <gtest/gtest.h>

#include <set>

namespace quillex {
namespace {

SuggestionContext keyOf(PitchClass root, std::string token, bool minor) {
    SuggestionContext context;
    context.key = MusicalKey{root, minor ? kMinorMode : kMajorMode, kNaturalMinorScale};
    context.keyRootText = std::move(token);
    context.spellingOptions = SpellingOptions{false, true};  // the request's defaults in C and A
    return context;
}

Chord chord(const char* symbol) { return *parseChordSymbol(symbol); }

// (root, quality, label) of each suggestion, in order.
std::vector<std::tuple<int, std::string, std::string>> summary(const std::vector<ChordSuggestion>& list) {
    std::vector<std::tuple<int, std::string, std::string>> rows;
    for (const auto& s : list) rows.emplace_back(s.chord.root, s.chord.quality, s.label);
    return rows;
}

TEST(SecondaryDominants, NextChordTargetComesFirstAndClaimsItsPairs) {
    SuggestionContext context = keyOf(0, "C", false);
    context.nextChord = chord("Dm7");
    const auto list = suggestSecondaryDominants(context);
    ASSERT_GE(list.size(), 36u);
    // A-rooted dominants aimed at ii, then degree 2 adds nothing, then B-rooted ones aimed at iii.
    for (std::size_t i = 0; i < 18; ++i) {
        EXPECT_EQ(list[i].chord.root, 9);
        EXPECT_EQ(list[i].label, "V of ii");
        EXPECT_EQ(list[i].target, 2);
        EXPECT_EQ(list[i].targetRoman, "iim7");
        EXPECT_EQ(list[i].kind, SuggestionKind::SecondaryDominant);
        EXPECT_EQ(list[i].category, kSecondaryDominantCategory);
    }
    EXPECT_EQ(list[18].chord.root, 11);
    EXPECT_EQ(list[18].label, "V of iii");
    EXPECT_EQ(list[18].targetRoman, "iii");
    std::set<std::pair<int, std::string>> pairs;
    for (const auto& s : list) EXPECT_TRUE(pairs.emplace(s.chord.root, s.chord.quality).second) << s.chord.symbol;
    EXPECT_EQ(list.front().chord.symbol, "A7");
    EXPECT_EQ(list.front().roman, "VI7");
}

TEST(TritoneSubstitutions, TonicTargetGetsSubstitutesButNoSecondaryDominant) {
    SuggestionContext context = keyOf(0, "C", false);
    context.nextChord = chord("C");
    const auto subs = suggestTritoneSubstitutions(context);
    ASSERT_FALSE(subs.empty());
    EXPECT_EQ(subs.front().chord.symbol, "Db7");
    EXPECT_EQ(subs.front().label, "→ I");
    EXPECT_EQ(subs.front().target, 0);
    for (const auto& s : suggestSecondaryDominants(context)) EXPECT_NE(s.target, 0) << s.chord.symbol;
    // Each (quality, root) once: the tonic target claims Db; degree 1 adds nothing on Db.
    std::set<std::pair<int, std::string>> pairs;
    for (const auto& s : subs) EXPECT_TRUE(pairs.emplace(s.chord.root, s.chord.quality).second) << s.chord.symbol;
}

TEST(BorrowedChords, CMajorListFromIvToFlatTwo) {
    const auto list = suggestBorrowedChords(keyOf(0, "C", false));
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(summary({list.begin(), list.begin() + 7}),
              (std::vector<std::tuple<int, std::string, std::string>>{{5, "m", "iv"},
                                                                      {5, "m6", "iv"},
                                                                      {5, "madd9", "iv"},
                                                                      {5, "m7", "iv"},
                                                                      {5, "m9", "iv"},
                                                                      {5, "m11", "iv"},
                                                                      {5, "m13", "iv"}}));
    EXPECT_EQ(list[7].chord.symbol, "Abmaj");
    EXPECT_EQ(list[7].label, "\u266DVI");
    EXPECT_EQ(list[7].targetQuality, "major");
    std::vector<std::string> flatTwo, flatSeven, twoDim;
    for (const auto& s : list) {
        if (s.chord.root == 1) flatTwo.push_back(s.chord.quality);
        if (s.chord.root == 10) flatSeven.push_back(s.chord.quality);
        if (s.chord.root == 2) twoDim.push_back(s.chord.quality);
        EXPECT_EQ(s.kind, SuggestionKind::Borrowed);
        EXPECT_FALSE(s.target);
    }
    EXPECT_EQ(flatTwo, (std::vector<std::string>{"maj", "6", "add9", "maj7", "maj9", "maj13", "maj7#11"}));
    EXPECT_EQ(list.back().label, "\u266DII");
    EXPECT_EQ(flatSeven.back(), "7");
    EXPECT_EQ(twoDim, (std::vector<std::string>{"dim", "dim7", "m7b5"}));
}

TEST(BorrowedChords, MinorKeyBorrowsFourSixAndOneOfTheParallelMajor) {
    const auto list = suggestBorrowedChords(keyOf(9, "A", true));
    std::set<int> roots;
    for (const auto& s : list) roots.insert(s.chord.root);
    EXPECT_EQ(roots, (std::set<int>{2, 6, 9}));
    EXPECT_EQ(list.front().chord.symbol, "Dmaj");
    bool sharpEleven = false;
    for (const auto& s : list) sharpEleven |= s.chord.root == 2 && s.chord.quality == "maj7#11";
    EXPECT_TRUE(sharpEleven);
}

TEST(PassingDiminished, BelowThenAboveEachTargetWithArrowsAndKinds) {
    SuggestionContext context = keyOf(0, "C", false);
    context.nextChord = chord("Dm7");
    const auto list = suggestPassingDiminished(context);
    ASSERT_GE(list.size(), 6u);
    EXPECT_EQ(summary({list.begin(), list.begin() + 6}),
              (std::vector<std::tuple<int, std::string, std::string>>{{1, "dim", "↑ D"},
                                                                      {1, "dim7", "↑ D"},
                                                                      {1, "m7b5", "↑ D"},
                                                                      {3, "dim", "↓ D"},
                                                                      {3, "dim7", "↓ D"},
                                                                      {3, "m7b5", "↓ D"}}));
    EXPECT_EQ(list[0].kind, SuggestionKind::PassingFromBelow);
    EXPECT_EQ(list[3].kind, SuggestionKind::PassingFromAbove);
    EXPECT_EQ(list[0].chord.symbol, "C#dim");
    EXPECT_EQ(list[3].chord.symbol, "Ebdim");
    // D is handled once although degree 2 names it again: 6 targets x 6 chords.
    EXPECT_EQ(list.size(), 36u);
}

TEST(PassingDiminished, CommonToneRowsOfThePreviousChord) {
    for (const char* previous : {"C", "C7"}) {
        SuggestionContext context = keyOf(0, "C", false);
        context.prevChords = {chord(previous)};
        const auto list = suggestPassingDiminished(context);
        std::vector<ChordSuggestion> commonTone;
        for (const auto& s : list) {
            if (s.kind == SuggestionKind::CommonTone) commonTone.push_back(s);
        }
        ASSERT_EQ(commonTone.size(), 1u) << previous;
        EXPECT_EQ(commonTone[0].chord.root, 1);
        EXPECT_EQ(commonTone[0].chord.quality, "dim7");
        EXPECT_EQ(commonTone[0].label, "CT on C");
        EXPECT_FALSE(commonTone[0].target);
    }
}

TEST(ChromaticMediants, ClassOfTheReferenceChordPicksTheQualities) {
    struct Row {
        std::optional<const char*> previous;
        PitchClass keyRoot;
        bool minor;
        std::set<int> roots;
        std::string firstQuality;
    };
    const std::vector<Row> rows = {
        {"C", 0, false, {3, 4, 8, 9}, "maj"},       {"Cmaj7", 0, false, {3, 4, 8, 9}, "maj"},
        {"G7", 0, false, {10, 11, 3, 4}, "maj"},    {"Dm7", 0, false, {5, 6, 10, 11}, "m"},
        {std::nullopt, 9, true, {0, 1, 5, 6}, "m"}, {"Csus4", 0, false, {3, 4, 8, 9}, "maj"}};
    for (const Row& row : rows) {
        SuggestionContext context = keyOf(row.keyRoot, row.keyRoot == 9 ? "A" : "C", row.minor);
        if (row.previous) context.prevChords = {chord(*row.previous)};
        const auto list = suggestChromaticMediants(context);
        std::set<int> roots;
        for (const auto& s : list) {
            roots.insert(s.chord.root);
            EXPECT_FALSE(s.isDiatonic);
            EXPECT_EQ(s.kind, SuggestionKind::ChromaticMediant);
        }
        EXPECT_EQ(roots, row.roots) << row.previous.value_or("none");
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.front().chord.quality, row.firstQuality);
        EXPECT_EQ(list.front().label, "m3 ↑");
    }
    for (const char* other : {"Cdim", "Caug", "Cm7b5", "Cdim7"}) {
        SuggestionContext context = keyOf(0, "C", false);
        context.prevChords = {chord(other)};
        EXPECT_TRUE(suggestChromaticMediants(context).empty()) << other;
    }
}

TEST(DiatonicTest, DegreeRulesAndTheNaturalMinorToneRule) {
    const SuggestionContext cMajor = keyOf(0, "C", false);
    const SuggestionContext aMinor = keyOf(9, "A", true);
    SuggestionContext aMelodic = aMinor;
    aMelodic.key.minorScaleType = kMelodicMinorScale;
    struct Row {
        const char* symbol;
        const SuggestionContext* context;
        bool diatonic;
    };
    const std::vector<Row> rows = {
        {"C", &cMajor, true},         {"C6", &cMajor, true},     {"Csus4", &cMajor, true},  {"Dm9", &cMajor, true},
        {"G13", &cMajor, true},       {"G7sus4", &cMajor, true}, {"Bm7b5", &cMajor, true},  {"Bdim", &cMajor, true},
        {"Bdim7", &cMajor, false},    {"Fmaj11", &cMajor, true}, {"Fm", &cMajor, false},    {"C7b9", &cMajor, false},
        {"Cmaj7#11", &cMajor, false}, {"Em6", &cMajor, true},    {"Dsus2", &aMinor, false}, {"G#dim7", &aMinor, false},
        {"E7", &aMinor, true},        {"Am", &aMinor, true},     {"Asus4", &aMinor, true},  {"Asus4", &aMelodic, false},
        {"C/E", &cMajor, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(isDiatonicSuggestionChord(chord(row.symbol), *row.context), row.diatonic) << row.symbol;
    }
}

TEST(TheoryHelpers, NumeralHeadsDegreeRootsAndCategoryNames) {
    EXPECT_EQ(romanNumeralHead("ii7"), "ii");
    EXPECT_EQ(romanNumeralHead("\u266DVImaj7"), "\u266DVI");
    EXPECT_EQ(romanNumeralHead("vii\u00B07"), "vii\u00B0");
    EXPECT_EQ(romanNumeralHead("#ivø"), "#ivø");
    EXPECT_EQ(romanNumeralHead("maj7"), "maj7");
    EXPECT_EQ(romanNumeralHead(""), "");
    EXPECT_EQ(spellDiatonicDegreeRoot(KeyContext{{1, kMajorMode, 0}, "Db"}, 4), "Gb");
    EXPECT_EQ(spellDiatonicDegreeRoot(KeyContext{{1, kMajorMode, 0}, "C#"}, 4), "F#");
    EXPECT_EQ(spellDiatonicDegreeRoot(KeyContext{{9, kMinorMode, 0}, "A"}, 7), "G");
    EXPECT_EQ(spellDiatonicDegreeRoot(KeyContext{{9, kMinorMode, 1}, "A"}, 7), "G#");
    EXPECT_FALSE(spellDiatonicDegreeRoot(KeyContext{{0, kMajorMode, 0}, "C"}, 8));
    EXPECT_FALSE(spellDiatonicDegreeRoot(KeyContext{{0, kMajorMode, 0}, ""}, 1));
    EXPECT_EQ(suggestionCategoryName(0), "smart");
    EXPECT_EQ(suggestionCategoryName(6), "chromatic_mediant");
    EXPECT_EQ(suggestionCategoryName(7), "unknown");
    EXPECT_EQ(suggestionCategoryName(255), "unknown");
}

TEST(TheorySuggestionMaking, UnknownQualityYieldsNothingAndNumeralFailureThrows) {
    const SuggestionContext context = keyOf(0, "C", false);
    EXPECT_FALSE(makeTheorySuggestion(0, "notaquality", 2, "x", context, std::nullopt, "", "",
                                      SuggestionKind::SecondaryDominant, std::nullopt));
    SuggestionContext noLetter = context;
    noLetter.keyRootText = "";
    EXPECT_FALSE(makeTheorySuggestion(0, "7", 2, "x", noLetter, std::nullopt, "", "", SuggestionKind::SecondaryDominant,
                                      std::nullopt));
    SuggestionContext badNext = context;
    badNext.nextChord = chord("C");
    badNext.nextChord->symbol = "?";
    EXPECT_THROW(suggestSecondaryDominants(badNext), std::runtime_error);
}

}  // namespace
}  // namespace quillex
