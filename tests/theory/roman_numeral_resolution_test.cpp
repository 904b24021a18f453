// Tests of Roman numerals resolved to chords, chords rendered in a key, and the round trip over all keys.
#include "theory/roman_numeral_resolution.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "key_samples.h"
#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"
#include "theory/roman_numeral_derivation.h"

namespace quillex {
namespace {

using testing::kCMajor;
using testing::kCMajorContext;

constexpr SpellingOptions kDiatonicOptions{true, false};

RomanChord resolved(std::string_view text, const MusicalKey& key = kCMajor) {
    std::optional<RomanChord> chord = romanNumeralToChord(text, key);
    EXPECT_TRUE(chord.has_value()) << text;
    return chord.value_or(RomanChord{99, "<none>", std::nullopt, ""});
}

std::string canonicalName(std::string_view quality) {
    return canonicalQualityName(quality).value_or("<unknown " + std::string(quality) + ">");
}

TEST(RomanTokenParse, AccidentalsNumeralAndEnd) {
    EXPECT_EQ(*parseRomanToken("V7"), (RomanToken{5, true, 0, 1}));
    EXPECT_EQ(*parseRomanToken("bVII"), (RomanToken{7, true, -1, 4}));
    EXPECT_EQ(*parseRomanToken("\u266DVII"), (RomanToken{7, true, -1, 6}));
    EXPECT_EQ(*parseRomanToken("#iv\u00B0"), (RomanToken{4, false, 1, 3}));
    EXPECT_EQ(*parseRomanToken("b#\u266F\u266Fii"), (RomanToken{2, false, 2, 10}));
    EXPECT_EQ(*parseRomanToken("vii/V"), (RomanToken{7, false, 0, 3}));
    for (std::string_view none : {"", "bb", "VIII", "iV", "IVV", "x", "7", "\u266D", "Iv"}) {
        EXPECT_FALSE(parseRomanToken(none).has_value()) << none;
    }
}

TEST(RomanTokenParse, LongAccidentalRunsSumWithoutOverflow) {
    const std::string flats(100000, 'b');
    const auto token = parseRomanToken(flats + "I");
    ASSERT_TRUE(token.has_value());
    EXPECT_EQ(token->accidentalOffset, -100000);
    EXPECT_EQ(token->end, 100001u);
    EXPECT_EQ(resolved(flats + "I").root, (12 - 100000 % 12) % 12);
}

TEST(RomanResolution, NumeralsMarksAndFiguresInCMajor) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"I", 0, ""},
        {"ii", 2, "m"},
        {"V7", 7, "7"},
        {"IVmaj7", 5, "maj7"},
        {"Vsus4", 7, "sus4"},
        {"bVII", 10, ""},
        {"\u266DVII", 10, ""},
        {"vii\u00B0", 11, "dim"},
        {"vii\u00B07", 11, "dim7"},
        {"vii\u00F8", 11, "m7b5"},
        {"vii\u00F87", 11, "m7b5"},
        {"vii\u00F89", 11, "m9b5"},
        {"vii\u00F87b9", 11, "m7b5b9"},
        {"III+", 4, "aug"},
        {"III+7", 4, "aug7"},
        {"#iv\u00B0", 6, "dim"},
        // Lower-case numerals read bare figures as minor; named qualities stay.
        {"ii6", 2, "m6"},
        {"ii69", 2, "m69"},
        {"iiadd9", 2, "madd9"},
        {"iim7", 2, "m7"},
        {"ii7", 2, "m7"},
        {"ii9", 2, "m9"},
        {"ii11", 2, "m11"},
        {"iisus4", 2, "sus4"},
        {"imaj7", 0, "maj7"},
        // The derived text is kept, not canonicalised.
        {"V7(b9)", 7, "7(b9)"}};
    for (const auto& [text, root, quality] : cases) {
        EXPECT_EQ(resolved(text), (RomanChord{static_cast<PitchClass>(root), quality, std::nullopt, ""})) << text;
    }
    for (std::string_view none : {"vii\u00F811", "vii\u00F8m", "Vxyz"}) {
        EXPECT_FALSE(romanNumeralToChord(none, kCMajor).has_value()) << none;
    }
}

TEST(RomanResolution, SlashPartNamesTheBassDegree) {
    EXPECT_EQ(resolved("I/V"), (RomanChord{0, "", 7, ""}));
    EXPECT_EQ(resolved("V/V"), (RomanChord{7, "", std::nullopt, ""}));
    EXPECT_EQ(resolved("V/"), (RomanChord{7, "", std::nullopt, ""}));
    EXPECT_EQ(resolved("IV/bVII"), (RomanChord{5, "", 10, ""}));
    EXPECT_FALSE(romanNumeralToChord("I/V7", kCMajor).has_value());
    EXPECT_FALSE(romanNumeralToChord("I/x", kCMajor).has_value());
    for (std::string_view none : {"VIII", "iV", "x", "", "bb", "/V"}) {
        EXPECT_FALSE(romanNumeralToChord(none, kCMajor).has_value()) << none;
    }
}

TEST(RomanResolution, RootsFollowTheKeysScale) {
    const MusicalKey aNatural{9, kMinorMode, kNaturalMinorScale};
    const MusicalKey aMelodic{9, kMinorMode, kMelodicMinorScale};
    EXPECT_EQ(resolved("VII", aNatural).root, 7);
    EXPECT_EQ(resolved("vii\u00B0", aMelodic).root, 8);
    EXPECT_EQ(resolved("#vii\u00B0", aNatural).root, 8);
    EXPECT_EQ(rootOfAlteredDegree(aNatural, 6, 1, true), 6);
    EXPECT_EQ(rootOfAlteredDegree(aNatural, 0, 5, true), 9);
    EXPECT_EQ(rootOfAlteredDegree(aNatural, 8, 0, false), 9);
}

TEST(RomanAccidentalPreference, NumeralFirstThenBass) {
    EXPECT_EQ(romanAccidentalPreference("bVII"), true);
    EXPECT_EQ(romanAccidentalPreference("#iv"), false);
    EXPECT_EQ(romanAccidentalPreference("IV/bVII"), true);
    EXPECT_EQ(romanAccidentalPreference("#IV/bVII"), false);
    EXPECT_EQ(romanAccidentalPreference("b#IV/#V"), false);
    EXPECT_EQ(romanAccidentalPreference("V7"), std::nullopt);
    EXPECT_EQ(romanAccidentalPreference(""), std::nullopt);
    EXPECT_EQ(romanAccidentalPreference("V/"), std::nullopt);
    EXPECT_EQ(romanAccidentalPreference("x/\u266DII"), true);
}

TEST(ChordRendering, MajorTriadIsWrittenWithMaj) {
    EXPECT_EQ(qualityOrMaj(""), "maj");
    EXPECT_EQ(qualityOrMaj("m7"), "m7");
    const auto rendered =
        renderChordInKey(RomanChord{0, "", std::nullopt, ""}, kCMajorContext, false, {}, std::nullopt);
    ASSERT_TRUE(rendered.has_value());
    EXPECT_EQ(*rendered, (RenderedChord{"Cmaj", "Cmaj"}));
}

TEST(ChordRendering, SimplifyChangesOnlyTheDisplaySymbol) {
    // E forced onto the fourth degree of C major is spelled Fb.
    const auto fb =
        renderChordInKey(RomanChord{4, "7", std::nullopt, ""}, kCMajorContext, true, {}, DegreeHint{3, std::nullopt});
    ASSERT_TRUE(fb.has_value());
    EXPECT_EQ(*fb, (RenderedChord{"Fb7", "E7"}));
    const auto slash = renderChordInKey(RomanChord{4, "m", 0, ""}, kCMajorContext, true, {}, DegreeHint{3, 6});
    ASSERT_TRUE(slash.has_value());
    EXPECT_EQ(*slash, (RenderedChord{"Fbm/B#", "Em/C"}));
    // A quality holding its own "/" keeps the bass after the last one.
    const auto sixNine = renderChordInKey(RomanChord{0, "6/9", 4, ""}, kCMajorContext, true, {}, std::nullopt);
    ASSERT_TRUE(sixNine.has_value());
    EXPECT_EQ(sixNine->displaySymbol, "C6/9/E");
    EXPECT_FALSE(
        renderChordInKey(RomanChord{0, "", std::nullopt, ""}, KeyContext{kCMajor, ""}, false, {}, std::nullopt));
}

TEST(ChordRendering, NoteNamesInKey) {
    EXPECT_EQ(spellNoteNameInKey(1, kCMajorContext, false, {true, true}), "Db");
    EXPECT_EQ(spellNoteNameInKey(1, kCMajorContext, false, {true, false}), "C#");
    EXPECT_EQ(spellNoteNameInKey(1, kCMajorContext, false, {false, true}), "C#");
    const KeyContext cMinor{{0, kMinorMode, kNaturalMinorScale}, "C"};
    EXPECT_EQ(spellNoteNameInKey(11, cMinor, false, {}), "Cb");
    EXPECT_EQ(spellNoteNameInKey(11, cMinor, true, {}), "B");
    EXPECT_FALSE(spellNoteNameInKey(0, KeyContext{kCMajor, "7"}, false, {}).has_value());
}

// All 36 keys, triads, sevenths and ninths: every diatonic chord renders on its
// own scale letter, derives a numeral of its own degree, and that numeral
// resolves back to the same root and the same canonical quality.
TEST(RomanRoundTrip, EveryDiatonicChordOfEveryKey) {
    int checked = 0;
    for (std::uint8_t root = 0; root < 12; ++root) {
        for (auto [mode, type] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}}) {
            const MusicalKey key{root, static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(type)};
            const KeyContext context{key, spellScaleDegreeNote(key, 1, std::nullopt, false)};
            const int keyLetter = noteLetterIndex(static_cast<std::uint8_t>(context.rootSpelling[0]));
            for (int extension : {3, 7, 9}) {
                std::set<char> letters;
                for (const DiatonicChord& diatonic : diatonicChordsOfKey(key, key.minorScaleType, extension)) {
                    const std::string where = context.rootSpelling + " mode " + std::to_string(mode) + " type " +
                                              std::to_string(type) + " degree " + std::to_string(diatonic.degree) +
                                              " " + diatonic.quality;
                    const auto rendered = renderChordInKey({diatonic.root, diatonic.quality, std::nullopt, ""}, context,
                                                           false, kDiatonicOptions, std::nullopt);
                    ASSERT_TRUE(rendered.has_value()) << where;
                    const std::string& symbol = rendered->spelledSymbol;
                    letters.insert(symbol[0]);
                    EXPECT_EQ(noteLetterIndex(static_cast<std::uint8_t>(symbol[0])),
                              (keyLetter + diatonic.degree - 1) % 7)
                        << where << " " << symbol;

                    const auto chord = parseChordSymbol(symbol);
                    ASSERT_TRUE(chord.has_value()) << where << " " << symbol;
                    EXPECT_EQ(chord->root, diatonic.root) << where;
                    EXPECT_EQ(chord->quality, canonicalName(diatonic.quality)) << where;

                    const auto numeral = deriveRomanNumeral(*chord, context);
                    ASSERT_TRUE(numeral.has_value()) << where << " " << symbol;
                    const auto token = parseRomanToken(*numeral);
                    ASSERT_TRUE(token.has_value()) << where << " " << *numeral;
                    EXPECT_EQ(token->degree, diatonic.degree) << where << " " << *numeral;
                    EXPECT_EQ(token->accidentalOffset, 0) << where << " " << *numeral;

                    const auto back = romanNumeralToChord(*numeral, key);
                    ASSERT_TRUE(back.has_value()) << where << " " << *numeral;
                    EXPECT_EQ(back->root, diatonic.root) << where << " " << *numeral;
                    EXPECT_FALSE(back->bass.has_value()) << where;
                    EXPECT_EQ(canonicalName(back->quality), canonicalName(diatonic.quality)) << where << " " << *numeral;
                    ++checked;
                }
                EXPECT_EQ(letters.size(), 7u) << context.rootSpelling << " extension " << extension;
            }
        }
    }
    EXPECT_EQ(checked, 36 * 3 * 7);
}

// Bounded seeded fuzz of the numeral readers: no crash, results in range.
TEST(RomanResolutionFuzz, MutatedNumeralsResolveToPitchClasses) {
    const std::vector<std::string> seeds = {"V7",  "bVII",  "vii\u00F87",   "#iv\u00B0", "I/V",
                                            "ii9", "III+7", "\u266DVImaj7", "IV/bVII",   "viadd9"};
    const std::string bytes = "IViv#b/\u00B0+m7913sudagj \xE2\x99\xAD\xAF\xC3\xB8";
    const std::vector<MusicalKey> keys = {kCMajor, {9, 1, 0}, {6, 1, 1}, {1, 0, 0}};
    std::mt19937 rng(3);
    int resolvedCount = 0;
    for (int i = 0; i < 30000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        for (int e = 0; e < 1 + static_cast<int>(rng() % 3); ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            switch (rng() % 3) {
                case 0:
                    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), bytes[rng() % bytes.size()]);
                    break;
                case 1:
                    if (at < text.size()) text.erase(at, 1);
                    break;
                default:
                    if (at < text.size()) text[at] = static_cast<char>(rng() % 256);
                    break;
            }
        }
        if (const auto token = parseRomanToken(text)) {
            ASSERT_GE(token->degree, 1);
            ASSERT_LE(token->degree, 7);
            ASSERT_LE(token->end, text.size());
        }
        (void)romanAccidentalPreference(text);
        const auto chord = romanNumeralToChord(text, keys[rng() % keys.size()]);
        if (!chord) continue;
        ++resolvedCount;
        ASSERT_LT(chord->root, 12) << text;
        if (chord->bass) {
            ASSERT_LT(*chord->bass, 12) << text;
            ASSERT_NE(*chord->bass, chord->root) << text;
        }
        if (!chord->quality.empty()) {
            ASSERT_TRUE(lookupChordQuality(chord->quality)) << text;
        }
        const auto rendered = renderChordInKey(*chord, KeyContext{{0, 0, 0}, "C"}, true, {true, true}, std::nullopt);
        ASSERT_TRUE(rendered.has_value()) << text;
        EXPECT_TRUE(startsWithNoteLetter(rendered->displaySymbol));
    }
    EXPECT_GT(resolvedCount, 1000);
}

}  // namespace
}  // namespace quillex
