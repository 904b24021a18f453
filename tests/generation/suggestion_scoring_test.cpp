// Suggestion scoring: hand-computed tables for every term and for one suggestion of each kind.
#include "generation/suggestion_scoring.h"

#include <gtest/gtest.h>

namespace quillex {
namespace {

constexpr double kTolerance = 1e-9;

Chord ch(const char* symbol) { return *parseChordSymbol(symbol); }

// A chord of bare intervals, for shapes no quality names.
Chord tones(PitchClass root, std::vector<std::int32_t> intervals, std::string quality = "x") {
    return Chord{root, std::move(quality), std::move(intervals), std::nullopt, "?"};
}

ChordSuggestion sug(const char* symbol, SuggestionKind kind, std::uint8_t category,
                    std::optional<PitchClass> target = std::nullopt, std::string targetQuality = "") {
    ChordSuggestion s;
    s.chord = ch(symbol);
    s.kind = kind;
    s.category = category;
    s.target = target;
    s.targetQuality = std::move(targetQuality);
    return s;
}

SuggestionContext cMajor(std::vector<const char*> previous = {}, std::optional<const char*> next = std::nullopt) {
    SuggestionContext context;
    context.keyRootText = "C";
    for (const char* p : previous) context.prevChords.push_back(ch(p));
    if (next) context.nextChord = ch(*next);
    return context;
}

constexpr auto kSec = SuggestionKind::SecondaryDominant;
constexpr auto kTri = SuggestionKind::TritoneSubstitute;

TEST(ScoringShapes, TonesThirdsSeventhsTensionsAndClasses) {
    EXPECT_EQ(uniquePitchClasses(tones(0, {0, 12, 4, 16})), (std::vector<PitchClass>{0, 4}));
    EXPECT_EQ(contextChordSize(cMajor()), 4.0);
    EXPECT_EQ(contextChordSize(cMajor({"C", "G7"}, "Dm9")), 4.0);
    EXPECT_EQ(chordThird(tones(0, {0, 3, 4})), 4);
    EXPECT_EQ(chordThird(ch("Csus4")), std::nullopt);
    EXPECT_EQ(chordSeventh(ch("Cmaj7")), 11);
    EXPECT_EQ(chordTensions(ch("C7sus4")), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(chordTensions(ch("C11")), (std::vector<std::int32_t>{14, 17}));
    EXPECT_EQ(chordTensions(tones(0, {0, 4, 5, 7})), (std::vector<std::int32_t>{}));
    EXPECT_EQ(chordTensions(ch("C7alt")), (std::vector<std::int32_t>{8, 13, 15}));
    for (const auto& [quality, cls] : std::vector<std::pair<const char*, int>>{{"", 0},
                                                                               {"maj", 0},
                                                                               {"maj7#11", 0},
                                                                               {"m", 1},
                                                                               {"-", 1},
                                                                               {"m7b5", 1},
                                                                               {"sus4", 2},
                                                                               {"7", 2},
                                                                               {"9", 2},
                                                                               {"11", 2},
                                                                               {"13b9", 2},
                                                                               {"sus2", 2},
                                                                               {"add9", 3},
                                                                               {"dim", 3},
                                                                               {"aug", 3},
                                                                               {"6", 3}}) {
        EXPECT_EQ(qualityClass(quality), cls) << quality;
    }
    for (const auto& [quality, cls] : std::vector<std::pair<const char*, int>>{{"", 0},
                                                                               {"maj", 0},
                                                                               {"maj13", 0},
                                                                               {"m11", 1},
                                                                               {"madd9", 1},
                                                                               {"m13", 3},
                                                                               {"7#11", 2},
                                                                               {"13", 2},
                                                                               {"7b9", 3},
                                                                               {"dim", 3}}) {
        EXPECT_EQ(colourClass(quality), cls) << quality;
    }
    const double weights[12] = {0.1, 0, 0.15, 0, 0, 0.3, 0, 0.25, 0, 0, 0.15, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(rootMotionWeight(i), weights[i]) << i;
}

TEST(ScoringTerms, GuideToneLeading) {
    struct Row {
        Chord from, to;
        double expected;
    };
    const std::vector<Row> rows = {
        {ch("G7"), ch("C"), 0.03},         // seventh falls a semitone onto the third
        {ch("C"), ch("C"), 0.0},           // all shared: no leading
        {ch("Dm7"), ch("G7"), 0.05},       // third kept, seventh onto the third
        {ch("C"), ch("Db"), 0.02},         // two tones with a semitone neighbour
        {ch("Cmaj7"), ch("Fmaj7"), 0.02},  // third kept
        {ch("C7"), ch("C6"), 0.02},        // exactly 0.75 shared still scores
        {ch("Cmaj7"), ch("Em"), 0.0},      // above 0.75 shared
        {ch("E7"), ch("Am"), 0.01},        // only the root steps to a neighbour
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(guideToneLeading(row.from, row.to), row.expected, kTolerance)
            << row.from.symbol << " -> " << row.to.symbol;
    }
}

TEST(ScoringTerms, NeighbourMotionSmoothnessAndSharedTones) {
    EXPECT_NEAR(neighbourMotion(ch("G7"), ch("C"), 0.006, 0.011, 0.004), 0.036, kTolerance);
    EXPECT_NEAR(neighbourMotion(ch("C13"), ch("C"), 0.006, 0.011, 0.004), 0.02, kTolerance);
    EXPECT_NEAR(neighbourMotion(ch("G7"), ch("C"), 0.1, 0.0, 0.0), 0.08, kTolerance);
    EXPECT_EQ(neighbourMotion(tones(0, {}), ch("C"), 1, 1, 1), 0.0);

    const double w = 0.045;
    EXPECT_NEAR(nearestToneSmoothness(ch("G7"), ch("C"), w), 0.92 * 0.72 * w, kTolerance);
    EXPECT_NEAR(nearestToneSmoothness(ch("C"), ch("Cmaj7"), w), 0.92 * w, kTolerance);
    EXPECT_NEAR(nearestToneSmoothness(ch("C"), ch("D"), w), 0.42 * w, kTolerance);
    EXPECT_NEAR(nearestToneSmoothness(tones(0, {0}), tones(2, {0}), w), 0.42 * w, kTolerance);  // mean 2.0
    EXPECT_NEAR(nearestToneSmoothness(tones(0, {0}), tones(3, {0}), w), 0.16 * w, kTolerance);  // mean 3.0
    EXPECT_EQ(nearestToneSmoothness(tones(0, {0}), tones(4, {0}), w), 0.0);                     // beyond 3
    EXPECT_NEAR(nearestToneSmoothness(tones(0, {0, 1, 2, 3}), tones(0, {0}), w), 0.76 * 0.42 * w, kTolerance);
    EXPECT_NEAR(nearestToneSmoothness(tones(0, {0}), ch("C13#11"), w), 0.65 * w, kTolerance);  // size penalty cap
    EXPECT_EQ(nearestToneSmoothness(ch("C13#11"), tones(0, {0}), w), 0.0);                     // mean 22/7
    EXPECT_EQ(nearestToneSmoothness(ch("C"), tones(0, {}), w), 0.0);

    EXPECT_NEAR(sharedToneWeight(ch("C"), ch("C"), 0.02, 0.055), 0.055, kTolerance);
    EXPECT_NEAR(sharedToneWeight(ch("C"), ch("E13"), 0.02, 1.0), 0.02 * 4.0 / 6.0, kTolerance);
    EXPECT_EQ(sharedToneWeight(ch("C"), ch("F#"), 0.02, 1.0), 0.0);
}

TEST(ScoringTerms, DominantColourBonusByQuality) {
    const std::vector<std::pair<const char*, double>> rows = {
        {"C7", 0.032},      {"C9", 0.026},      {"C7sus4", 0.018}, {"C13", 0.012},    {"C9sus4", 0.012},
        {"C7#11", 0.008},   {"C7b9", 0.006},    {"C13b9", 0.006},  {"C7#9", 0.006},   {"C7#5", 0.006},
        {"C7b13", 0.006},   {"C13sus4", 0.004}, {"C9#11", 0.004},  {"C7#5b9", 0.004}, {"C7b9b13", 0.004},
        {"C7#9b13", 0.004}, {"C7alt", 0.004},   {"C13#11", 0.0},   {"Cmaj7", 0.0}};
    for (const auto& [symbol, bonus] : rows) {
        EXPECT_EQ(dominantColourBonus(sug(symbol, kSec, 2)), bonus) << symbol;
        EXPECT_EQ(dominantColourBonus(sug(symbol, kTri, 4)), bonus) << symbol;
        EXPECT_EQ(dominantColourBonus(sug(symbol, SuggestionKind::ChromaticMediant, 6)), 0.0) << symbol;
    }
}

TEST(ScoringTerms, DominantTargetFitByTargetClassRows) {
    struct Row {
        const char* targetQuality;
        const char* symbol;
        SuggestionKind kind;
        double expected;
    };
    const std::vector<Row> rows = {
        {"", "G7#11", kTri, 0.048},    {"", "G7#11", kSec, -0.018},    {"", "G7", kSec, 0.04},
        {"", "G7", kTri, 0.026},       {"", "G9", kSec, 0.034},        {"", "G9", kTri, 0.02},
        {"", "G13", kSec, 0.018},      {"", "G13", kTri, 0.014},       {"", "G7sus4", kSec, 0.006},
        {"", "G9sus4", kTri, 0.012},   {"", "G7b9", kSec, -0.08},      {"", "G7#5", kTri, -0.018},
        {"", "G7alt", kSec, -0.09},    {"", "G7b9b13", kTri, -0.024},  {"maj", "G7", kSec, 0.04},
        {"m", "G9#11", kTri, 0.032},   {"m", "G13#11", kSec, -0.032},  {"m", "G7b9", kSec, 0.034},
        {"m", "G7b13", kTri, 0.018},   {"m", "G7#5b9", kSec, 0.026},   {"m", "G7#9b13", kTri, 0.006},
        {"m", "G7", kSec, 0.012},      {"m", "G7", kTri, 0.02},        {"m", "G9", kSec, -0.02},
        {"m", "G13", kTri, 0.004},     {"m", "G7sus4", kSec, -0.014},  {"m", "G13sus4", kTri, 0.004},
        {"7", "G7#11", kTri, 0.04},    {"7", "G7#11", kSec, 0.004},    {"7", "G9sus4", kSec, 0.024},
        {"7", "G7", kTri, 0.022},      {"7", "G13", kSec, 0.018},      {"7", "G7b9", kSec, 0.006},
        {"7", "G7b9", kTri, 0.01},     {"7", "G7alt", kSec, 0.0},      {"dim", "G7", kSec, 0.008},
        {"dim", "G9", kTri, 0.004},    {"dim", "G7sus4", kSec, 0.004}, {"dim", "G7#11", kSec, 0.004},
        {"dim", "G7alt", kTri, -0.01}, {"dim", "G7b9", kSec, 0.0},
    };
    const SuggestionContext noNext = cMajor({"Dm7"});
    for (const Row& row : rows) {
        const ChordSuggestion s = sug(row.symbol, row.kind, 2, 0, row.targetQuality);
        EXPECT_EQ(dominantTargetFit(s, noNext), row.expected) << row.targetQuality << " " << row.symbol;
    }
    // With a next chord only a suggestion aimed at it is rated.
    EXPECT_EQ(dominantTargetFit(sug("G7", kSec, 2, 0, ""), cMajor({}, "C")), 0.04);
    EXPECT_EQ(dominantTargetFit(sug("G7", kSec, 2, 0, ""), cMajor({}, "Dm")), 0.0);
    EXPECT_EQ(dominantTargetFit(sug("G7", SuggestionKind::PassingFromBelow, 5, 0, ""), noNext), 0.0);
}

TEST(ScoringTerms, TensionLoad) {
    const SuggestionContext open = cMajor();  // size 4, no next chord
    EXPECT_NEAR(tensionLoad(sug("G7", kSec, 2), open), 0.036, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G9", kSec, 2), open), 0.008, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G13", kTri, 4), open), -0.076, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G7alt", kSec, 2), open), -0.116, kTolerance);
    const SuggestionContext toC = cMajor({}, "C");  // size 3
    EXPECT_NEAR(tensionLoad(sug("G7", kSec, 2), toC), 0.006, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G13", kSec, 2), toC), -0.12, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G13#11", kSec, 2), toC), -0.12, kTolerance);
    EXPECT_NEAR(tensionLoad(sug("G", kSec, 2), toC), 0.024, kTolerance);
    EXPECT_EQ(tensionLoad(sug("G7", SuggestionKind::Borrowed, 3), open), 0.0);
}

TEST(ScoringTerms, DominantResolution) {
    struct Row {
        const char* symbol;
        SuggestionKind kind;
        PitchClass target;
        const char* next;
        double expected;
    };
    const std::vector<Row> rows = {
        {"G7", kSec, 0, "C", 0.19},  {"G7", kSec, 0, "Cm", 0.19},
        {"A7", kSec, 2, "Dm", 0.19}, {"Bb7", kSec, 0, "C", 0.03},
        {"F7", kTri, 0, "C", 0.035}, {"G7sus4", kSec, 0, "C", 0.075},
        {"G7", kSec, 2, "C", 0.0},   {"G7", SuggestionKind::Borrowed, 0, "C", 0.0},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(dominantResolution(sug(row.symbol, row.kind, 2, row.target), cMajor({}, row.next)), row.expected,
                    kTolerance)
            << row.symbol << " -> " << row.next;
    }
    EXPECT_EQ(dominantResolution(sug("G7", kSec, 2, 0), cMajor({"C"})), 0.0);
}

TEST(ScoringTerms, TensionFit) {
    SuggestionContext toSingleC = cMajor();
    toSingleC.nextChord = tones(0, {0}, "1");
    struct Row {
        const char* symbol;
        SuggestionKind kind;
        PitchClass target;
        const char* targetQuality;
        std::optional<const char*> next;
        double expected;
    };
    const std::vector<Row> rows = {
        {"G7", kSec, 0, "", "C", 0.0},              // no tensions
        {"G9", kSec, 0, "", "C", 0.02},             // 9th a whole step from a tone of C
        {"G7b9", kSec, 0, "", "C", 0.002},          // b9 a semitone above the fifth
        {"Db13", kTri, 0, "", "C", 0.0027},         // two values: the second counts 0.15, minus 0.04
        {"G7alt", kSec, 0, "", "C", -0.1},          // three altered tensions: clamped
        {"G7b13", kSec, 0, "m", "Cm", 0.016},       // a common altered tone loses 0.01
        {"G7b9", kSec, 0, "", std::nullopt, -0.1},  // far from a single-tone target: penalty, clamped
        {"G9", kSec, 2, "", "C", 0.0},              // aimed elsewhere
    };
    for (const Row& row : rows) {
        const SuggestionContext context = row.next ? cMajor({}, *row.next) : toSingleC;
        EXPECT_NEAR(tensionFit(sug(row.symbol, row.kind, 2, row.target, row.targetQuality), context), row.expected,
                    kTolerance)
            << row.symbol;
    }
}

TEST(ScoringTerms, PassingResolution) {
    const SuggestionContext toDm = cMajor({}, "Dm");
    constexpr auto kBelow = SuggestionKind::PassingFromBelow;
    constexpr auto kAbove = SuggestionKind::PassingFromAbove;
    EXPECT_NEAR(passingResolution(sug("C#dim7", kBelow, 5, 2), toDm), 0.875 * 0.062, kTolerance);
    EXPECT_NEAR(passingResolution(sug("Ebdim", kAbove, 5, 2), toDm), 0.056, kTolerance);
    EXPECT_NEAR(passingResolution(sug("F#dim", kBelow, 5, 2), toDm), 0.018, kTolerance);
    EXPECT_EQ(passingResolution(sug("C#dim7", kBelow, 5, 7), toDm), 0.0);
    EXPECT_EQ(passingResolution(sug("C#dim7", kSec, 5, 2), toDm), 0.0);
}

TEST(ScoringTerms, BorrowedChordTerm) {
    constexpr auto kB = SuggestionKind::Borrowed;
    struct Row {
        const char* symbol;
        const char* targetQuality;
        double expected;
    };
    const std::vector<Row> rows = {
        {"Fm", "minor", 0.157},
        {"Abmaj7", "major", 0.159},
        {"Bb7", "major_dominant", 0.149},
        {"Bb", "major_dominant", 0.141},
        {"Dbmaj13", "major", -0.03},
        {"Fm", "major", 0.067},
        {"Fm", "", 0.112},
        {"F7#9", "major", -0.055},
        {"Db13#11", "major", -0.18},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(borrowedChordTerm(sug(row.symbol, kB, 3, std::nullopt, row.targetQuality), cMajor()), row.expected,
                    kTolerance)
            << row.symbol << " " << row.targetQuality;
    }
    SuggestionContext aMinor = cMajor();
    aMinor.key = MusicalKey{9, kMinorMode, kNaturalMinorScale};
    aMinor.keyRootText = "A";
    EXPECT_NEAR(borrowedChordTerm(sug("D", kB, 3, std::nullopt, "major"), aMinor), 0.127, kTolerance);
    EXPECT_NEAR(borrowedChordTerm(sug("Fm", kB, 3, std::nullopt, "minor"), cMajor({"C"}, "C")), 0.22, kTolerance);
    EXPECT_EQ(borrowedChordTerm(sug("Fm", kSec, 3, std::nullopt, "minor"), cMajor()), 0.0);
}

TEST(ScoringTerms, MediantTerm) {
    constexpr auto kM = SuggestionKind::ChromaticMediant;
    struct Row {
        const char* symbol;
        std::vector<const char*> previous;
        std::optional<const char*> next;
        double expected;
    };
    const std::vector<Row> rows = {
        {"Eb", {"C"}, std::nullopt, 0.11},   {"E7", {"C"}, std::nullopt, -0.125},
        {"E13", {"C"}, std::nullopt, -0.24}, {"Abm", {}, "C", 0.0435},
        {"Eb", {"G7"}, std::nullopt, 0.036}, {"Ebmaj7#11", {"C"}, std::nullopt, -0.084},
        {"E7", {"G7"}, std::nullopt, 0.114}, {"Am7", {"Am7"}, "Am7", 0.18},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(mediantTerm(sug(row.symbol, kM, 6), cMajor(row.previous, row.next)), row.expected, kTolerance)
            << row.symbol;
    }
    EXPECT_EQ(mediantTerm(sug("Eb", kSec, 6), cMajor({"C"})), 0.0);
}

TEST(ScoringTerms, CorpusTransitionScoreWithFallbacks) {
    ChordTransitionModel model;
    ChordTransitionTables tables;
    tables.pairs["I"] = {{"iim7", 0.4f}, {"V", 0.5f}};
    tables.pairs["iim7"] = {{"V", 0.25f}};
    tables.triples[makeTransitionPairKey("I", "iim7")] = {{"V", 0.7f}};
    tables.triples[makeTransitionPairKey("I", "V")] = {{"I", 0.9f}};
    model.install(tables);
    const auto score = [&](const char* symbol, std::vector<const char*> previous, std::optional<const char*> next) {
        return corpusTransitionScore(sug(symbol, kSec, 2), cMajor(previous, next), model);
    };
    EXPECT_NEAR(score("Dm7", {"C"}, std::nullopt), 0.4, 1e-6);
    EXPECT_NEAR(score("Dm7", {"C"}, "G"), 0.7, 1e-6);                // the triple outweighs the pair
    EXPECT_NEAR(score("Dm7", {"C"}, "Em"), 0.4, 1e-6);               // no triple, no pair after iim7: the pair stays
    EXPECT_NEAR(score("Dm7", {"C/E"}, std::nullopt), 0.32, 1e-6);    // slash-free previous at 0.8
    EXPECT_NEAR(score("G/B", {"C"}, std::nullopt), 0.4, 1e-6);       // slash-free suggestion at 0.8
    EXPECT_NEAR(score("G/B", {"C/E"}, std::nullopt), 0.3, 1e-6);     // both slash-free at 0.6
    EXPECT_NEAR(score("G/B", {"C/E"}, "C"), 0.3 * 0.9 / 0.5, 1e-6);  // slash-free triple at 0.6
    EXPECT_EQ(score("Em", {"C"}, "G"), 0.0);
    EXPECT_EQ(score("Dm7", {}, "G"), 0.0);
    EXPECT_EQ(corpusTransitionScore(sug("Dm7", kSec, 2), cMajor({"C"}), ChordTransitionModel{}), 0.0);
    // The reused context tokens give the same terms.
    const SuggestionContext context = cMajor({"C/E"}, "G");
    const auto tokens = deriveContextCorpusTokens(context);
    ASSERT_TRUE(tokens);
    EXPECT_EQ(*tokens, (ContextCorpusTokens{"I/III", "V"}));
    for (const char* symbol : {"Dm7", "G/B", "Em"}) {
        const ChordSuggestion s = sug(symbol, kSec, 2);
        EXPECT_EQ(corpusTransitionScore(s, context, model, &*tokens), corpusTransitionScore(s, context, model));
    }
}

TEST(ScoreSuggestion, OneSuggestionOfEachKind) {
    const ChordTransitionModel none;
    struct Row {
        ChordSuggestion suggestion;
        SuggestionContext context;
        double expected;
    };
    ChordSuggestion corpus = sug("F", SuggestionKind::Corpus, kSmartCategory);
    corpus.score = 0.3;
    ChordSuggestion heavy = corpus;
    heavy.score = 1.4;
    ChordSuggestion zero = corpus;
    zero.score = 0.0;
    const std::vector<Row> rows = {
        {corpus, cMajor({"C"}), 0.32},
        {corpus, cMajor({"C9"}), 0.3},  // guide tone 0.03, size 2 below the mean: -0.03
        {heavy, cMajor({"C"}), 1.0},
        {zero, cMajor({"C"}), 0.02},
        {sug("A7", kSec, 2, 2, "m"), cMajor({"C"}), 0.165},
        {sug("Db7", kTri, 4, 0, ""), cMajor({"C"}), 0.179},
        {sug("C#dim7", SuggestionKind::PassingFromBelow, 5, 2, "m"), cMajor({"C"}, "Dm"), 0.42125},
        {sug("C#dim7", SuggestionKind::CommonTone, 5), cMajor({"C"}), 0.051},
        {sug("Fm", SuggestionKind::Borrowed, 3, std::nullopt, "minor"), cMajor({"C"}), 0.297},
        {sug("Eb", SuggestionKind::ChromaticMediant, 6), cMajor({"C"}), 0.046 + 0.11 + 0.65 * 0.72 * 0.045},
        // Only a next chord: 0.65 of the smoothness into it.
        {sug("Eb", SuggestionKind::ChromaticMediant, 6), cMajor({}, "C"), 0.07 + 0.09 + 0.65 * 0.72 * 0.055},
        // Aimed at the next chord: 0.32 and 0.34 and every resolution term.
        {sug("G7", kSec, 2, 0, ""), cMajor({}, "C"), 1.093},
        // Aimed elsewhere: -0.06 and -0.6 and none of them.
        {sug("G7", kSec, 2, 2, "m"), cMajor({}, "C"), -0.531},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(scoreSuggestion(row.suggestion, row.context, none), row.expected, kTolerance)
            << row.suggestion.chord.symbol << " kind " << int(row.suggestion.kind);
    }
}

TEST(ScoreSuggestion, RepeatingThePreviousAndNextChordCostsPointTwo) {
    const ChordTransitionModel none;
    const ChordSuggestion s = sug("C7", kSec, 2, 5, "");
    SuggestionContext same = cMajor();
    same.prevChords = {tones(0, {0, 4, 7, 10}, "7")};
    same.nextChord = tones(0, {0, 4, 7, 10}, "7");
    SuggestionContext other = same;
    other.prevChords[0].quality = "7x";
    other.nextChord->quality = "7x";
    EXPECT_NEAR(scoreSuggestion(s, other, none) - scoreSuggestion(s, same, none), 0.2, kTolerance);
}

TEST(MergeVariants, OnlyCategoriesOutsideTheGeneratorsMerge) {
    const SuggestionContext context = cMajor({"C"});  // size 3
    std::vector<ChordSuggestion> list = {
        sug("Cmaj7", SuggestionKind::Corpus, kDiatonicCategory), sug("C", SuggestionKind::Corpus, kDiatonicCategory),
        sug("Cmaj9", SuggestionKind::Corpus, kDiatonicCategory), sug("Dm", SuggestionKind::Corpus, kDiatonicCategory),
        sug("C", SuggestionKind::Corpus, kSmartCategory),        sug("Cmaj7", SuggestionKind::Corpus, kSmartCategory)};
    const auto merged = mergeSuggestionVariants(list, context);
    std::vector<std::string> symbols;
    for (const auto& s : merged) symbols.push_back(s.chord.symbol);
    // Cmaj7 (4 intervals) gives way to C (3, nearer the size); C then outlasts Cmaj9.
    EXPECT_EQ(symbols, (std::vector<std::string>{"C", "Dm", "C", "Cmaj7"}));
}

}  // namespace
}  // namespace quillex
