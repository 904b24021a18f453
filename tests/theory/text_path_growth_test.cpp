// The chord-text paths cost the same per byte for 1 KB, 64 KB and 1 MB texts.
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {
namespace {

constexpr std::size_t kTotalBytes = std::size_t{1} << 20;
#ifdef QUILLEX_SANITIZED
constexpr int kTries = 2;
#else
constexpr int kTries = 3;
#endif

// Best time, over a few tries, to feed `kTotalBytes` of text to `path` in
// pieces of `pieceBytes`, each piece `prefix` then a run of `unit`. The piece is
// built before the clock starts, so only the path is timed.
double secondsPerMegabyte(const std::function<void(const std::string&)>& path, std::string_view prefix,
                          std::string_view unit, std::size_t pieceBytes) {
    std::string piece(prefix);
    while (piece.size() + unit.size() <= pieceBytes) piece += unit;
    const std::size_t pieces = kTotalBytes / pieceBytes;
    double best = 1e9;
    for (int t = 0; t < kTries; ++t) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < pieces; ++i) path(piece);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A linear path spends about the same on a megabyte whatever the piece size;
// a quadratic one spends 64 times more on 64 KB pieces than on 1 KB pieces,
// and 16 times more again on one 1 MB piece. The bound of 8 per step leaves
// room for caches and a busy machine, not for a growing cost per byte.
TEST(TextPathGrowth, LongRunsOfEachGlyphCostTheSamePerByte) {
    const MusicalKey cMajor{0, kMajorMode, kNaturalMinorScale};
    std::size_t sink = 0;  // keeps the results in use
    struct Path {
        const char* name;
        std::string_view prefix;
        std::function<void(const std::string&)> run;
    };
    const std::vector<Path> paths = {
        {"normalizeQualityText", "", [&](const std::string& text) { sink += normalizeQualityText(text).size(); }},
        {"parseChordSymbol", "C", [&](const std::string& text) { sink += parseChordSymbol(text).has_value(); }},
        {"romanNumeralToChord", "V",
         [&](const std::string& text) { sink += romanNumeralToChord(text, cMajor).has_value(); }},
        {"slashBassSpellingToken", "", [&](const std::string& text) { sink += slashBassSpellingToken(text).size(); }},
    };
    const std::vector<std::string_view> units = {"\u266F", "\u266D", "\u25B3", "(", ")", "7(\u266F9)", "/", "6/9/"};
    for (const auto& [name, prefix, path] : paths) {
        for (std::string_view unit : units) {
            std::vector<double> costs;
            for (std::size_t pieceBytes : {std::size_t{1} << 10, std::size_t{1} << 16, kTotalBytes}) {
                costs.push_back(secondsPerMegabyte(path, prefix, unit, pieceBytes));
            }
            // Costs under 10 us per MB are noise: some paths stop at the first bytes.
            for (std::size_t k = 1; k < costs.size(); ++k) {
                EXPECT_LT(costs[k], 8.0 * std::max(costs[k - 1], 1e-5))
                    << name << " on runs of \"" << unit << "\": " << costs[0] << " s, " << costs[1] << " s, "
                    << costs[2] << " s per MB";
            }
        }
    }
    EXPECT_GT(sink, 0u);
}

}  // namespace
}  // namespace quillex
