// Tests of progression text handling, the automatic key and slot chord analysis.
#include "document/document_theory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "theory/musical_key.h"
#include "theory/pitch_class.h"

namespace quillex {
namespace {

Chord chord(const char* symbol) {
    std::optional<Chord> c = parseChordSymbol(symbol);
    EXPECT_TRUE(c.has_value()) << symbol;
    return c.value_or(Chord{});
}

std::vector<Chord> chords(std::initializer_list<const char*> symbols) {
    std::vector<Chord> result;
    for (const char* s : symbols) result.push_back(chord(s));
    return result;
}

KeySection autoSection() { return KeySection{"C", "major", "natural", 3, true}; }

void expectThrowsWith(const Chord& c, const KeySection& key, const std::string& message) {
    try {
        analyzeSlotChord(c, key);
        ADD_FAILURE() << "no exception for " << c.symbol;
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), message) << c.symbol;
    }
}

// ---- Progression text

TEST(NormalizeProgressionText, ReplacesSeparatorsAndCollapsesBlanks) {
    EXPECT_EQ(normalizeProgressionText("C|G, Am  F"), "C G Am F");
    EXPECT_EQ(normalizeProgressionText("  Dm7\tG7\n"), "Dm7 G7");
    EXPECT_EQ(normalizeProgressionText("||"), "");
    EXPECT_EQ(normalizeProgressionText(""), "");
    EXPECT_EQ(normalizeProgressionText("C\vG\fAm\rF"), "C G Am F");
    // Only ASCII white space separates: a no-break space stays inside the word.
    EXPECT_EQ(normalizeProgressionText("C\xC2\xA0G"), "C\xC2\xA0G");
}

TEST(SplitProgressionTokens, SplitsOnWhiteSpaceOnly) {
    EXPECT_EQ(splitProgressionTokens("C G  Am"), (std::vector<std::string>{"C", "G", "Am"}));
    EXPECT_TRUE(splitProgressionTokens("").empty());
    EXPECT_TRUE(splitProgressionTokens(" \t\n").empty());
    EXPECT_EQ(splitProgressionTokens("C|G,Am"), (std::vector<std::string>{"C|G,Am"}));
}

// The words as read before parentheses grouped: "|" and "," are blanks, blanks split.
std::vector<std::string> ungroupedWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + ' ') {
        if (std::string_view("|, \t\n\v\f\r").find(c) == std::string_view::npos) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    return words;
}

// For each byte, whether it lies between a "(" and the ")" that closes it, found
// the usual way, left to right with a stack of the brackets still open.
std::vector<bool> insideClosedBrackets(const std::string& text) {
    std::vector<bool> inside(text.size(), false);
    std::vector<std::size_t> open;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '(') open.push_back(at);
        if (text[at] == ')' && !open.empty()) {
            std::fill(inside.begin() + static_cast<std::ptrdiff_t>(open.back()),
                      inside.begin() + static_cast<std::ptrdiff_t>(at) + 1, true);
            open.pop_back();
        }
    }
    return inside;
}

// Some "(" has a ")" after it, so at least one bracket pair closes.
bool holdsAClosedBracket(const std::string& text) {
    const std::size_t open = text.find('(');
    return open != std::string::npos && text.find(')', open) != std::string::npos;
}

TEST(ProgressionTextFuzz, NormalisedTextIsCanonical) {
    const std::string plain = "CGAm7b#|, \t\n\v\f\r/\xC2\xA0x";
    const std::vector<std::string> alphabets = {plain, plain + "(())", plain + "((((", plain + "((()"};
    std::mt19937 rng(42);
    int ungroupedTexts = 0;
    for (int round = 0; round < 24000; ++round) {
        const std::string& alphabet = alphabets[static_cast<std::size_t>(round) % alphabets.size()];
        std::string text(rng() % 24, ' ');
        for (char& c : text) c = (rng() % 8 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        const std::string normalised = normalizeProgressionText(text);
        ASSERT_EQ(normalizeProgressionText(normalised), normalised);
        EXPECT_EQ(normalised.find_first_of("\t\n\v\f\r"), std::string::npos);
        // "|" and "," are kept only between a "(" and its own ")".
        const std::vector<bool> inside = insideClosedBrackets(normalised);
        for (std::size_t at = 0; at < normalised.size(); ++at) {
            if (normalised[at] == '|' || normalised[at] == ',') {
                EXPECT_TRUE(inside[at]) << text;
            }
        }
        EXPECT_EQ(normalised.find("  "), std::string::npos);
        if (!normalised.empty()) {
            EXPECT_NE(normalised.front(), ' ');
            EXPECT_NE(normalised.back(), ' ');
        }
        std::string joined;
        const std::vector<std::string> tokens = splitProgressionTokens(normalised);
        for (const std::string& token : tokens) {
            EXPECT_FALSE(token.empty());
            joined += (joined.empty() ? "" : " ") + token;
        }
        EXPECT_EQ(joined, normalised);
        // A blank between tokens is never inside a closed pair: no group spans two tokens.
        for (std::size_t at = 0, token = 0; token + 1 < tokens.size(); ++token) {
            at += tokens[token].size();
            EXPECT_FALSE(inside[at]) << text;
            ++at;
        }
        // Without a bracket pair that closes, the words are exactly the ungrouped ones.
        if (!holdsAClosedBracket(text)) {
            ++ungroupedTexts;
            EXPECT_EQ(tokens, ungroupedWords(text)) << text;
        }
    }
    EXPECT_GT(ungroupedTexts, 12000);  // the unbalanced alphabets are really exercised
}

TEST(ProgressionText, ABracketGroupsOnlyUpToItsOwnClosingBracket) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"C Dm(add9 G F", {"C", "Dm(add9", "G", "F"}},
        {"G7(b9, C(add9 | Am7(b5 F", {"G7(b9", "C(add9", "Am7(b5", "F"}},
        {"C(add9 G(7) F", {"C(add9", "G(7)", "F"}},  // the ")" closes the nearer "("
        {"C(add9 G(b9, b13) F", {"C(add9", "G(b9, b13)", "F"}},
        {"Ab7(b9,b13) Db", {"Ab7(b9,b13)", "Db"}},
        {"Ab7(b9,\t b13) | Db", {"Ab7(b9, b13)", "Db"}},
        {"C((b9) b13)|F", {"C((b9) b13)", "F"}},
        {"C) (G", {"C)", "(G"}},  // a ")" before any "(" closes nothing
        {"C(9 | ( | F", {"C(9", "(", "F"}},
    };
    for (const auto& [text, words] : cases) {
        EXPECT_EQ(splitProgressionTokens(normalizeProgressionText(text)), words) << text;
    }
}

// Symbols the chord parser reads, some with brackets that never close, closed
// or nested brackets, joined by any separators: the text reads back as the same
// list. No symbol holds a ")" that its own "(" does not open, so no bracket of one
// symbol can close in another.
TEST(ProgressionText, AcceptedSymbolsReadBackThroughAnySeparators) {
    const std::vector<std::string> roots = {"C", "F#", "Bb", "Eb", "G", "A"};
    const std::vector<std::string> qualities = {"",     "m",    "7",    "maj7", "m7b5", "add9",
                                                "madd9", "7b9", "7b9b13", "13#11", "sus4", "6/9"};
    const std::vector<std::string> separators = {" ", ",", "|", " | ", ", ", "\t", "  ,|  "};
    std::mt19937 rng(9);
    const auto pick = [&rng](const auto& list) { return list[rng() % list.size()]; };
    // The quality with brackets put in at random places, in one of five shapes.
    const auto bracketed = [&rng](std::string quality) {
        const auto after = [&rng, &quality](std::size_t from) { return from + rng() % (quality.size() + 1 - from); };
        switch (rng() % 5) {
            case 0:
                return quality;
            case 1:  // unclosed
                return quality.insert(after(0), "(");
            case 2:  // closed
                return quality.insert(after(0), "(") + ")";
            case 3: {  // nested, the outer one unclosed
                const std::size_t first = after(0);
                quality.insert(first, "(");
                return quality.insert(after(first + 1), "(") + ")";
            }
            default:  // nested and closed
                return "(" + quality.insert(after(0), "(") + "))";
        }
    };
    // Lists where a ")" follows a symbol left with an unclosed "(": the case a
    // bracket closing anywhere later would misread.
    int closerAfterUnclosed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> symbols;
        const std::size_t count = 1 + rng() % 8;
        while (symbols.size() < count) {
            std::string symbol = pick(roots) + bracketed(pick(qualities));
            if (rng() % 4 == 0) symbol += "/" + pick(roots);
            if (!parseChordSymbol(symbol)) continue;  // "G()" has no quality text left
            symbols.push_back(symbol);
        }
        std::string text = rng() % 2 ? pick(separators) : "";
        for (std::size_t i = 0; i < symbols.size(); ++i) text += (i ? pick(separators) : "") + symbols[i];
        text += rng() % 2 ? pick(separators) : "";
        ASSERT_EQ(splitProgressionTokens(normalizeProgressionText(text)), symbols) << text;
        const auto unclosed = std::find_if(symbols.begin(), symbols.end(), [](const std::string& symbol) {
            return std::count(symbol.begin(), symbol.end(), '(') > std::count(symbol.begin(), symbol.end(), ')');
        });
        if (unclosed != symbols.end() &&
            std::any_of(unclosed + 1, symbols.end(), [](const std::string& s) { return s.find(')') != s.npos; })) {
            ++closerAfterUnclosed;
        }
    }
    EXPECT_GT(closerAfterUnclosed, 300);
}

// ---- Automatic key

TEST(ApplyAutoKey, DoesNothingWhenOffOrWithoutChords) {
    KeySection off = autoSection();
    off.autoKey = false;
    KeySection before = off;
    applyAutoKey(off, chords({"Am", "Dm", "E7", "Am"}));
    EXPECT_EQ(off, before);

    KeySection on = autoSection();
    before = on;
    applyAutoKey(on, {});
    EXPECT_EQ(on, before);
}

TEST(ApplyAutoKey, WritesTheInferredKeyAndKeepsTheOtherFields) {
    KeySection key = autoSection();
    applyAutoKey(key, chords({"Am", "Dm", "E7", "Am"}));
    EXPECT_EQ(key, (KeySection{"A", "minor", "natural", 3, true}));

    applyAutoKey(key, chords({"AmM7", "Bm7", "D7", "E7", "AmM7"}));
    EXPECT_EQ(key, (KeySection{"A", "minor", "melodic", 3, true}));

    applyAutoKey(key, chords({"C", "F", "G7", "C"}));
    EXPECT_EQ(key, (KeySection{"C", "major", "natural", 3, true}));
}

TEST(ApplyAutoKey, RootTextComesFromTheFirstChordOnItElseTheKeysUsualName) {
    const std::vector<std::pair<std::vector<Chord>, std::string>> cases = {
        {chords({"Ebm7", "Ab7", "Dbmaj7"}), "Db"},  // D-flat major, as written
        {chords({"d#m7", "g#7", "c#maj7"}), "C#"},  // the same key written with sharps
        {chords({"Ebm7", "Ab7"}), "Db"},            // no chord on the root: major root 1
        {chords({"G#m7", "C#7"}), "F#"},            // major root 6
        {chords({"A#m7b5", "D#7"}), "G#"},          // minor root 8
        {chords({"Fm7b5", "Bb7"}), "Eb"},           // minor root 3
    };
    for (const auto& [list, root] : cases) {
        KeySection key = autoSection();
        applyAutoKey(key, list);
        EXPECT_EQ(key.root, root) << list.front().symbol;
    }
    std::vector<Chord> list = chords({"Ebm7", "Ab7", "C#maj7"});
    list[2].symbol = "?";  // a chord on the root whose text names no letter is skipped
    KeySection key = autoSection();
    applyAutoKey(key, list);
    EXPECT_EQ(key.root, "Db");
}

TEST(KeySectionEquality, ComparesAllFiveFields) {
    const KeySection a{"Eb", "major", "natural", 0, false};
    EXPECT_EQ(a, (KeySection{"Eb", "major", "natural", 0, false}));
    EXPECT_NE(a, (KeySection{"Eb", "major", "natural", 2, false}));
    EXPECT_NE(a, (KeySection{"Eb", "major", "natural", 0, true}));
}

// ---- Slot chord analysis

TEST(AnalyzeSlotChord, FillsEveryFieldOfASlashChord) {
    SlotChord s = analyzeSlotChord(chord("C#m7/G#"), KeySection{"E", "major", "natural", 0, false});
    EXPECT_EQ(s.original, "C#m7/G#");
    EXPECT_EQ(s.root, "C#");
    EXPECT_EQ(s.quality, "m7");
    EXPECT_EQ(s.symbol, "C#m7/G#");
    EXPECT_EQ(s.category, "minor");
    EXPECT_EQ(s.roman, "vim7/G#");
    EXPECT_EQ(s.degree, 6.0);
    EXPECT_EQ(s.bassNote, "G#");
    EXPECT_FALSE(s.usesLegacyBassKey);
    EXPECT_EQ(s.intervals, (std::vector<std::int32_t>{0, 3, 7, 10}));
}

TEST(AnalyzeSlotChord, RespellsOnTheWrittenLetterWithTheCanonicalQuality) {
    const KeySection c{"C", "major", "natural", 0, false};
    SlotChord s = analyzeSlotChord(chord("  cM7 "), c);
    EXPECT_EQ(s.original, "cM7");
    EXPECT_EQ(s.root, "C");
    EXPECT_EQ(s.symbol, "Cmaj7");
    EXPECT_EQ(s.roman, "Imaj7");
    EXPECT_EQ(s.degree, 1.0);
    EXPECT_EQ(s.bassNote, std::nullopt);

    SlotChord flat = analyzeSlotChord(chord("Db"), c);
    EXPECT_EQ(flat.symbol, "Dbmaj");
    EXPECT_EQ(flat.degree, 0.0);
    EXPECT_EQ(flat.roman, "\xE2\x99\xADII");

    SlotChord bb = analyzeSlotChord(chord("bb7/e"), c);
    EXPECT_EQ(bb.root, "Bb");
    EXPECT_EQ(bb.bassNote, "E");
    EXPECT_EQ(bb.symbol, "Bb7/E");
}

TEST(AnalyzeSlotChord, ReadsModeAndScaleTypeExactly) {
    // "Minor" is not "minor": the key is A major, so C is a lowered third.
    SlotChord s = analyzeSlotChord(chord("C"), KeySection{"A", "Minor", "natural", 0, false});
    EXPECT_EQ(s.roman, "\xE2\x99\xADIII");
    EXPECT_EQ(s.degree, 0.0);
    SlotChord minor = analyzeSlotChord(chord("C"), KeySection{"A", "minor", "natural", 0, false});
    EXPECT_EQ(minor.roman, "III");
    EXPECT_EQ(minor.degree, 3.0);
    // G# is a scale tone only in the melodic minor.
    EXPECT_EQ(analyzeSlotChord(chord("G#dim"), KeySection{"A", "minor", "natural", 0, false}).degree, 0.0);
    EXPECT_EQ(analyzeSlotChord(chord("G#dim"), KeySection{"A", "minor", "melodic", 0, false}).degree, 7.0);
    EXPECT_EQ(analyzeSlotChord(chord("G#dim"), KeySection{"A", "major", "melodic", 0, false}).degree, 7.0);
    EXPECT_EQ(analyzeSlotChord(chord("Fmaj7"), KeySection{"A", "major", "melodic", 0, false}).degree, 0.0);
}

TEST(AnalyzeSlotChord, ThrowsTheFourMessagesInStepOrder) {
    expectThrowsWith(chord("C"), KeySection{"H", "major", "natural", 0, false}, "Document key root is invalid");
    expectThrowsWith(chord("C"), KeySection{"", "major", "natural", 0, false}, "Document key root is invalid");
    // The key is checked before the chord.
    Chord noLetter = chord("C");
    noLetter.symbol = "?";
    expectThrowsWith(noLetter, KeySection{"H", "major", "natural", 0, false}, "Document key root is invalid");
    expectThrowsWith(noLetter, KeySection{"C", "major", "natural", 0, false}, "Chord root spelling is invalid");

    Chord lostBass = chord("C/E");
    lostBass.symbol = "C";
    expectThrowsWith(lostBass, KeySection{"C", "major", "natural", 0, false}, "Chord bass spelling is invalid");
    lostBass.symbol = "C/";
    expectThrowsWith(lostBass, KeySection{"C", "major", "natural", 0, false}, "Chord bass spelling is invalid");

    Chord unknownQuality = chord("C");
    unknownQuality.quality = "xyz";
    expectThrowsWith(unknownQuality, KeySection{"C", "major", "natural", 0, false},
                     "Could not derive Roman numeral from chord symbol and key");
}

TEST(AnalyzeSlotChord, EveryRootSpellingInEveryKey) {
    for (int keyRoot = 0; keyRoot < 12; ++keyRoot) {
        for (auto [mode, type] :
             {std::pair{"major", "natural"}, std::pair{"minor", "natural"}, std::pair{"minor", "melodic"}}) {
            const bool minor = std::string(mode) == "minor";
            const MusicalKey musical{static_cast<PitchClass>(keyRoot), minor ? kMinorMode : kMajorMode,
                                     std::string(type) == "melodic" && minor ? kMelodicMinorScale : kNaturalMinorScale};
            const KeySection section{std::string(pitchClassName(musical.root, keyPrefersFlatsByDefault(musical))), mode,
                                     type, 0, false};
            for (int pc = 0; pc < 12; ++pc) {
                for (bool flat : {false, true}) {
                    const std::string name(pitchClassName(static_cast<PitchClass>(pc), flat));
                    SlotChord s = analyzeSlotChord(chord((name + "m7").c_str()), section);
                    EXPECT_EQ(s.root, name);
                    EXPECT_EQ(s.degree, static_cast<double>(scaleDegreeOf(musical, static_cast<PitchClass>(pc))));
                    ASSERT_TRUE(s.roman.has_value());
                    EXPECT_FALSE(s.roman->empty());
                }
            }
        }
    }
}

TEST(AnalyzeSlotChordFuzz, MutatedSymbolsEitherAnalyseOrThrowAKnownMessage) {
    const std::vector<std::string> seeds = {"C#m7/G#", "Bbmaj7", "F#dim7", "Ebm7b5/A", "G7sus4", "Cb/Fb"};
    const std::string alphabet = "ABCDEFGabcdefg#b/m7913+o";
    const std::vector<KeySection> keys = {{"C", "major", "natural", 0, false},
                                          {"Eb", "minor", "melodic", 0, false},
                                          {"f#", "minor", "natural", 0, false}};
    const std::vector<std::string> messages = {"Chord root spelling is invalid", "Chord bass spelling is invalid",
                                               "Could not derive Roman numeral from chord symbol and key"};
    std::mt19937 rng(77);
    for (int round = 0; round < 5000; ++round) {
        std::string text = seeds[rng() % seeds.size()];
        for (int edits = rng() % 3; edits >= 0; --edits) {
            const std::size_t pos = rng() % (text.size() + 1);
            if (rng() % 2 && pos < text.size()) {
                text.erase(pos, 1);
            } else {
                text.insert(pos, 1, alphabet[rng() % alphabet.size()]);
            }
        }
        std::optional<Chord> parsed = parseChordSymbol(text);
        if (!parsed) continue;
        for (const KeySection& key : keys) {
            try {
                SlotChord s = analyzeSlotChord(*parsed, key);
                std::optional<Chord> again = parseChordSymbol(*s.symbol);
                ASSERT_TRUE(again.has_value()) << *s.symbol;
                EXPECT_EQ(again->root, parsed->root) << text;
                EXPECT_EQ(again->bass, parsed->bass) << text;
                EXPECT_EQ(again->quality, parsed->quality) << text;
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::find(messages.begin(), messages.end(), e.what()), messages.end()) << e.what();
            }
        }
    }
}

}  // namespace
}  // namespace quillex
