// Tests of chord-symbol parsing, formatting and quality lookup.
#include "theory/chord_symbol.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "theory/chord_quality_table.h"
#include "theory/key_spelling.h"

namespace quillex {
namespace {

using Intervals = std::vector<std::int32_t>;

Chord parsed(std::string_view text) {
    const std::optional<Chord> chord = parseChordSymbol(text);
    EXPECT_TRUE(chord.has_value()) << '"' << text << '"';
    return chord.value_or(Chord{});
}

TEST(ChordSymbolParse, PlainAndTrimmed) {
    const Chord c = parsed("C");
    EXPECT_EQ(c, (Chord{0, "maj", {0, 4, 7}, std::nullopt, "C"}));
    const Chord trimmed = parsed("  Cmaj7\t");
    EXPECT_EQ(trimmed.symbol, "Cmaj7");
    EXPECT_EQ(trimmed.quality, "maj7");
    EXPECT_EQ(trimmed.intervals, (Intervals{0, 4, 7, 11}));
    EXPECT_EQ(parsed("\v\f\r\nEbm7b5/A \n").symbol, "Ebm7b5/A");
    const Chord lower = parsed("c");
    EXPECT_EQ(lower.root, 0);
    EXPECT_EQ(lower.quality, "maj");
    EXPECT_EQ(lower.symbol, "c");
}

TEST(ChordSymbolParse, SlashBass) {
    EXPECT_EQ(parsed("C/E").bass, 4);
    EXPECT_EQ(parsed("C/E").quality, "maj");
    EXPECT_EQ(parsed("C/e").bass, 4);
    EXPECT_EQ(parsed("C/Eb").bass, 3);
    EXPECT_EQ(parsed("C/C").bass, 0);
    const Chord seventh = parsed("Cmaj7/G");
    EXPECT_EQ(seventh.quality, "maj7");
    EXPECT_EQ(seventh.bass, 7);
    const Chord flat = parsed("Ebm7b5/A");
    EXPECT_EQ(flat.root, 3);
    EXPECT_EQ(flat.quality, "m7b5");
    EXPECT_EQ(flat.bass, 9);
}

TEST(ChordSymbolParse, WholeRestIsTriedBeforeTheSlash) {
    const Chord sixNine = parsed("C6/9");
    EXPECT_EQ(sixNine.quality, "69");
    EXPECT_FALSE(sixNine.bass.has_value());
    EXPECT_EQ(parsed("Am/M7").quality, "mM7");
    EXPECT_EQ(parsed("Fmaj6/9").quality, "69");
    // A quality spelled with a "/" over a bass splits at the last "/".
    EXPECT_EQ(parsed("C6/9/E"), (Chord{0, "69", {0, 4, 7, 9, 14}, 4, "C6/9/E"}));
    EXPECT_EQ(parsed("Dm/M7/A").quality, "mM7");
    EXPECT_EQ(parsed("Dm/M7/A").bass, 9);
    EXPECT_EQ(parsed("Fm6/9/C").quality, "m69");
    EXPECT_FALSE(parseChordSymbol("C6/9/"));
    EXPECT_FALSE(parseChordSymbol("C6/9/E/G"));
    EXPECT_FALSE(parseChordSymbol("C/E/G"));
}

// Every alias or canonical name holding a "/", after every root and over every bass.
TEST(ChordSymbolParse, SlashQualitiesTakeEveryBass) {
    std::vector<std::pair<std::string_view, std::string_view>> slashed;  // spelling, canonical name
    for (const auto& [alias, canonical] : qualityAliasTable()) {
        if (alias.find('/') != std::string_view::npos) slashed.emplace_back(alias, canonical);
    }
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        if (name.find('/') != std::string_view::npos) slashed.emplace_back(name, name);
    }
    ASSERT_GE(slashed.size(), 3u);
    std::vector<std::string> notes;
    for (std::string_view letter : {"C", "D", "E", "F", "G", "A", "B"}) {
        for (std::string_view accidental : {"", "#", "b"}) notes.push_back(std::string(letter).append(accidental));
    }
    for (const auto& [spelling, canonical] : slashed) {
        for (const std::string& root : notes) {
            // A spelling that begins with the root's own accidental would join its run.
            if (root.size() > 1 && spelling.starts_with(root[1])) continue;
            for (const std::string& bass : notes) {
                const std::string text = root + std::string(spelling) + "/" + bass;
                const std::optional<Chord> chord = parseChordSymbol(text);
                ASSERT_TRUE(chord.has_value()) << text;
                EXPECT_EQ(chord->root, parseKeyRoot(root)) << text;
                EXPECT_EQ(chord->quality, canonical) << text;
                EXPECT_EQ(chord->bass, parseKeyRoot(bass)) << text;
                EXPECT_EQ(slashBassSpellingToken(text), bass) << text;
            }
        }
    }
}

TEST(ChordSymbolParse, RootTokenRuns) {
    EXPECT_EQ(parsed("b").root, 11);
    EXPECT_EQ(parsed("bm").quality, "m");
    EXPECT_EQ(parsed("bb").root, 10);
    EXPECT_EQ(parsed("bb").quality, "maj");
    EXPECT_EQ(parsed("bb7").quality, "7");
    EXPECT_EQ(parsed("bb7").root, 10);
    EXPECT_EQ(parsed("Cb5").root, 11);
    EXPECT_EQ(parsed("Cb5").quality, "5");
    EXPECT_EQ(parsed("Cbb").root, 10);
    EXPECT_EQ(parsed("C##").root, 2);
    EXPECT_EQ(parsed("Cb9sus").root, 11);
    EXPECT_EQ(parsed("Cb9sus").quality, "9sus4");
    EXPECT_FALSE(parseChordSymbol("C#b"));

    EXPECT_EQ(parseRootToken("C#b"), (ChordRootToken{1, "b"}));
    EXPECT_EQ(parseRootToken("Cbb"), (ChordRootToken{10, ""}));
    EXPECT_EQ(parseRootToken("Cb5"), (ChordRootToken{11, "5"}));
    EXPECT_EQ(parseRootToken("C\u266Fm"), (ChordRootToken{0, "\u266Fm"}));
    EXPECT_EQ(parseRootToken(""), (ChordRootToken{std::nullopt, ""}));
    EXPECT_EQ(parseRootToken("H7"), (ChordRootToken{std::nullopt, ""}));
}

TEST(ChordSymbolParse, NormalisedQualityText) {
    EXPECT_FALSE(parseChordSymbol("C\u266Fm"));
    EXPECT_FALSE(parseChordSymbol("C\u266D"));
    EXPECT_EQ(parsed("C7\u266F9").quality, "7#9");
    EXPECT_EQ(parsed("C7\u266D9").quality, "7b9");
    const Chord triangle = parsed("C\u25B37");
    EXPECT_EQ(triangle.quality, "maj7");
    EXPECT_EQ(triangle.symbol, "C\u25B37");
    EXPECT_EQ(parsed("C\u03947").quality, "maj7");
    EXPECT_EQ(parsed("C\u00B07").quality, "dim7");
    EXPECT_EQ(parsed("C(maj7)").quality, "maj7");
    EXPECT_EQ(parsed("G7(no5)").quality, "7no5");
    EXPECT_EQ(parsed("Am(maj7)").quality, "mM7");
    EXPECT_EQ(parsed("C11(add13)").quality, "11add13");
}

TEST(ChordSymbolParse, InvalidFormsGiveNoChord) {
    for (std::string text :
         {"",   " ",   "\t\n",     "|",       " | ",       "C/",  "C/E7",     "C/E/G", "C()",   "C maj7",
          "H7", "C#b", "C\u266Fm", "C\u266D", "Cmaj7/",    "C/H", "C/ E",     "CM6",   "CMaj6", "/E",
          "7",  "#C",  "\u00A0C",  "C\u00A0", "C/E\u266D", "C(",  "Cm7b5 /E", "C/#"}) {
        EXPECT_FALSE(parseChordSymbol(text).has_value()) << '"' << text << '"';
    }
}

// Every canonical name and alias after each letter, with and without an
// accidental. A quality that begins with the accidental's own byte would be
// read into the root's run, so those spellings are left out for that root.
TEST(ChordSymbolParse, EveryVocabularyKeyAfterEveryRoot) {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto& [name, intervals] : canonicalQualityTable()) keys.emplace_back(name, name);
    for (const auto& [alias, target] : qualityAliasTable()) keys.emplace_back(alias, target);
    ASSERT_EQ(keys.size(), 382u + 1646u);
    std::size_t checked = 0;
    for (char letter : std::string("CDEFGAB")) {
        for (std::string accidental : {"", "#", "b"}) {
            const std::string root = std::string(1, letter) + accidental;
            const PitchClass pc = parseKeyRoot(root).value();
            for (const auto& [key, target] : keys) {
                const char first = key.empty() ? '\0' : key[0];
                if ((accidental.empty() && (first == '#' || first == 'b')) ||
                    (!accidental.empty() && first == accidental[0])) {
                    continue;
                }
                const std::optional<Chord> chord = parseChordSymbol(root + key);
                ASSERT_TRUE(chord.has_value()) << root + key;
                EXPECT_EQ(chord->root, pc) << root + key;
                EXPECT_EQ(chord->quality, target) << root + key;
                EXPECT_EQ(chord->intervals, canonicalQualityTable().at(target)) << root + key;
                EXPECT_FALSE(chord->bass.has_value()) << root + key;
                EXPECT_EQ(chord->symbol, root + key);
                ++checked;
            }
        }
    }
    // Only "b9sus" and "b9sus4" are left out, after a bare letter and after "b".
    EXPECT_EQ(checked, 21u * (382u + 1646u) - 14u * 2u);
}

TEST(ChordSymbolFormat, EveryQualityRootAndBassRoundTrips) {
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        for (PitchClass root = 0; root < 12; ++root) {
            for (int bass = -1; bass < 12; ++bass) {
                const std::optional<PitchClass> bassPc =
                    bass < 0 ? std::nullopt : std::optional<PitchClass>(static_cast<PitchClass>(bass));
                const Chord made = makeChord(root, ChordQuality{name, intervals}, bassPc, "");
                for (const std::string& text : {made.symbol, formatChordSymbol(made)}) {
                    const std::optional<Chord> back = parseChordSymbol(text);
                    ASSERT_TRUE(back.has_value()) << text;
                    EXPECT_EQ(back->root, root) << text;
                    EXPECT_EQ(back->quality, name) << text;
                    EXPECT_EQ(back->bass, bassPc) << text;
                }
            }
        }
    }
}

TEST(ChordSymbolFormat, MakeChordAndFormatSpelling) {
    const Chord made = makeChord(1, ChordQuality{"m7", {0, 3, 7, 10}}, 10, "");
    EXPECT_EQ(made.symbol, "C#m7/A#");
    EXPECT_EQ(formatChordSymbol(made), "Dbm7/Bb");
    EXPECT_EQ(made.intervals, (Intervals{0, 3, 7, 10}));
    const Chord kept = makeChord(0, ChordQuality{"maj", {0, 4, 7}}, std::nullopt, "whatever");
    EXPECT_EQ(kept.symbol, "whatever");
    EXPECT_EQ(formatChordSymbol(kept), "Cmaj");
    EXPECT_EQ(formatChordSymbol(parsed("f#m7")), "Gbm7");
    EXPECT_EQ(formatChordSymbol(parsed("C-7/a#")), "Cm7/Bb");
}

TEST(ChordSymbolFormat, PitchClassesKeepOrderAndDuplicates) {
    Chord chord{9, "9", {0, 4, 7, 14}, std::nullopt, "A9"};
    EXPECT_EQ(chordPitchClasses(chord), (std::vector<PitchClass>{9, 1, 4, 11}));
    chord.intervals = {0, 12, -1, 24};
    chord.bass = 2;
    EXPECT_EQ(chordPitchClasses(chord), (std::vector<PitchClass>{9, 9, 8, 9}));
}

TEST(ChordSymbolQuality, MinorTest) {
    for (std::string text : {"m", "m7", "mM7", "min", "-7", "-", "mi", "madd9"}) {
        EXPECT_TRUE(isMinorQuality(text)) << text;
    }
    for (std::string text : {"maj7", "M7", "Maj7", "dim", "", "Mi7", "\u00F8"}) {
        EXPECT_FALSE(isMinorQuality(text)) << text;
    }
}

TEST(ChordSymbolQuality, Normalisation) {
    EXPECT_EQ(normalizeQualityText(""), "maj");
    EXPECT_EQ(normalizeQualityText("()"), "");
    EXPECT_EQ(normalizeQualityText("7(\u266F9)"), "7#9");
    EXPECT_EQ(normalizeQualityText("\u266D\u266D\u25B3"), "bb\u0394");
    EXPECT_EQ(normalizeQualityText("\u00B07 M7"), "\u00B07 M7");
    // Removing a parenthesis never rebuilds a sign: the sign passes ran first.
    EXPECT_EQ(normalizeQualityText("\xE2\x99(\xAF)"), "\xE2\x99\xAF");
}

// The normalisation as written down: each rewrite over the whole text in turn.
std::string normalizeByPasses(std::string_view text) {
    if (text.empty()) return "maj";
    std::string result(text);
    const auto replaceAll = [&result](std::string_view from, std::string_view to) {
        std::string out;
        for (std::size_t at = 0;;) {
            const std::size_t found = result.find(from, at);
            out.append(result, at, found == std::string::npos ? std::string::npos : found - at);
            if (found == std::string::npos) break;
            out.append(to);
            at = found + from.size();
        }
        result = std::move(out);
    };
    replaceAll("\u266F", "#");
    replaceAll("\u266D", "b");
    replaceAll("\u25B3", "\u0394");
    replaceAll("(", "");
    replaceAll(")", "");
    return result;
}

TEST(ChordSymbolQuality, OnePassNormalisationMatchesTheRewrites) {
    // Whole signs, their loose bytes and parentheses between them.
    const std::vector<std::string> pieces = {"\u266F", "\u266D", "\u25B3", "\u0394", "(",    ")", "\xE2",
                                             "\x99",   "\x96",   "\xAF",   "\xAD",   "\xB3", "7", "#"};
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int length = static_cast<int>(rng() % 12);
        for (int j = 0; j < length; ++j) text += pieces[rng() % pieces.size()];
        ASSERT_EQ(normalizeQualityText(text), normalizeByPasses(text)) << text;
    }
}

TEST(ChordSymbolQuality, LookupAndIntervals) {
    EXPECT_EQ(canonicalQualityName("M7"), "maj7");
    EXPECT_EQ(canonicalQualityName("m7"), "m7");
    EXPECT_EQ(canonicalQualityName(""), "maj");
    EXPECT_EQ(canonicalQualityName("(m)(7)"), "m7");
    EXPECT_FALSE(canonicalQualityName("()"));
    EXPECT_FALSE(canonicalQualityName("M6"));
    EXPECT_FALSE(canonicalQualityName("maj7 "));
    EXPECT_EQ(lookupChordQuality("\u00F8"), (ChordQuality{"m7b5", {0, 3, 6, 10}}));
    EXPECT_EQ(lookupChordQuality("m11#11"), (ChordQuality{"m9#11", {0, 3, 7, 10, 14, 18}}));
    EXPECT_FALSE(lookupChordQuality("xyz"));

    EXPECT_EQ(qualityIntervals("M7"), (Intervals{0, 4, 7}));
    EXPECT_EQ(qualityIntervals("maj7"), (Intervals{0, 4, 7, 11}));
    EXPECT_EQ(&qualityIntervals("maj7"), &canonicalQualityTable().at("maj7"));
    EXPECT_EQ(&qualityIntervals("nope"), &qualityIntervals(""));
}

TEST(ChordSymbolConcurrency, FirstParsesFromEightThreadsAgree) {
    std::vector<std::optional<Chord>> results(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 8; ++i) {
        threads.emplace_back([&results, i] { results[i] = parseChordSymbol("F#m7b5/C"); });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) {
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, (Chord{6, "m7b5", {0, 3, 6, 10}, 0, "F#m7b5/C"}));
    }
}

// Seeded mutations of real symbols: nothing crashes, and whatever parses is
// a consistent chord that formats back to itself.
TEST(ChordSymbolFuzz, MutatedSymbolsParseConsistently) {
    const std::vector<std::string> seeds = {"C",      "Ebm7b5/A", "F#maj9#11", "Bb13sus4", "G7(b9)",     "Am/M7",
                                            "C6/9",   "D\u00F87", "E\u00B07",  "C\u25B37", "Ab7\u266F9", "Dbmaj7/F",
                                            "  g-7 ", "B/D#",     "C|",        "F(add9)"};
    const std::string bytes = "ABCDEFGabcdefg#b/()|mM7913+-o \t\xE2\x99\xAF\xAD\xC3\xB8\xCE\x94";
    std::mt19937 rng(7);
    const CanonicalQualityTable& table = canonicalQualityTable();
    int parsedCount = 0;
    for (int i = 0; i < 40000; ++i) {
        std::string text = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
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
        const std::optional<Chord> chord = parseChordSymbol(text);
        if (!chord) continue;
        ++parsedCount;
        ASSERT_LT(chord->root, 12) << text;
        ASSERT_TRUE(table.contains(chord->quality)) << text;
        EXPECT_EQ(chord->intervals, table.at(chord->quality)) << text;
        EXPECT_LT(chord->bass.value_or(0), 12) << text;
        EXPECT_FALSE(chord->symbol.empty());
        EXPECT_NE(text.find(chord->symbol), std::string::npos) << text;
        const std::optional<Chord> again = parseChordSymbol(formatChordSymbol(*chord));
        ASSERT_TRUE(again.has_value()) << text;
        EXPECT_EQ(again->root, chord->root) << text;
        EXPECT_EQ(again->quality, chord->quality) << text;
        EXPECT_EQ(again->bass, chord->bass) << text;
    }
    EXPECT_GT(parsedCount, 1000);
}

}  // namespace
}  // namespace quillex
