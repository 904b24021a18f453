// Candidate enumeration against brute-force oracles, widening, caching and failures.
#include "voicing/voicing_candidates.h"

#include "chord_samples.h"
#include "theory/chord_quality_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>

namespace quillex {
namespace {

using testing::chordOf;

std::vector<std::int64_t> defaultBases() { return {36, 48, 60, 72}; }

// Every assignment of octave bases to list positions, in odometer order, with
// every condition checked only at the end.
void odometerPlace(const std::vector<std::uint8_t>& list, const std::vector<std::int64_t>& bases, std::int64_t bottom,
                   std::int64_t top, std::int64_t minSpan, std::int64_t maxSpan, std::set<CandidateVoicing>& seen,
                   CandidateList& out, std::int64_t above = -1000) {
    std::vector<std::size_t> digit(list.size(), 0);
    while (true) {
        CandidateVoicing notes;
        bool ok = true;
        for (std::size_t i = 0; i < list.size() && ok; ++i) {
            const std::int64_t note = list[i] + bases[digit[i]];
            ok = note >= bottom && note <= top && note > above &&
                 std::find(notes.begin(), notes.end(), note) == notes.end();
            notes.push_back(static_cast<std::int32_t>(note));
        }
        if (ok) {
            std::sort(notes.begin(), notes.end());
            const std::int64_t span = notes.back() - notes.front();
            if (span >= minSpan && span <= maxSpan && seen.insert(notes).second) out.push_back(notes);
        }
        std::size_t i = list.size();
        while (i > 0 && ++digit[i - 1] == bases.size()) digit[--i] = 0;
        if (i == 0) return;
    }
}

std::vector<std::vector<std::uint8_t>> multisets(const std::vector<std::uint8_t>& p, std::size_t size) {
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::uint8_t> current;
    auto rec = [&](auto& self, std::size_t from) -> void {
        if (current.size() == size) {
            out.push_back(current);
            return;
        }
        for (std::size_t i = from; i < p.size(); ++i) {
            current.push_back(p[i]);
            self(self, i);
            current.pop_back();
        }
    };
    rec(rec, 0);
    return out;
}

CandidateList oracleFree(std::vector<std::uint8_t> p, std::int64_t bottom, std::int64_t top, std::int64_t minSpan,
                         std::int64_t maxSpan, bool doubling, std::int32_t fewest, std::int32_t most) {
    std::sort(p.begin(), p.end());
    p.erase(std::unique(p.begin(), p.end()), p.end());
    std::set<CandidateVoicing> seen;
    CandidateList out;
    const auto bases = defaultBases();
    if (!doubling) {
        odometerPlace(p, bases, bottom, top, minSpan, maxSpan, seen, out);
        return out;
    }
    for (std::int32_t k = std::max<std::int32_t>(static_cast<std::int32_t>(p.size()), fewest); k <= most; ++k) {
        for (const auto& extra : multisets(p, static_cast<std::size_t>(k) - p.size())) {
            std::vector<std::uint8_t> list = p;
            list.insert(list.end(), extra.begin(), extra.end());
            odometerPlace(list, bases, bottom, top, minSpan, maxSpan, seen, out);
        }
    }
    return out;
}

CandidateList oracleBass(std::vector<std::uint8_t> p, std::uint8_t bass, std::int64_t bottom, std::int64_t top,
                         std::int64_t minSpan, std::int64_t maxSpan, bool doubling, std::int32_t fewest,
                         std::int32_t most) {
    std::sort(p.begin(), p.end());
    p.erase(std::unique(p.begin(), p.end()), p.end());
    std::vector<std::uint8_t> upper;
    for (auto pc : p) {
        if (pc != bass) upper.push_back(pc);
    }
    std::set<CandidateVoicing> seen;
    CandidateList out;
    const auto bases = defaultBases();
    auto above = [&](const std::vector<std::uint8_t>& list, std::int64_t bassNote) {
        if (list.empty()) {
            if (minSpan < 1 && maxSpan >= 0 && seen.insert({static_cast<std::int32_t>(bassNote)}).second) {
                out.push_back({static_cast<std::int32_t>(bassNote)});
            }
            return;
        }
        std::set<CandidateVoicing> upperSeen;
        CandidateList uppers;
        odometerPlace(list, bases, std::max(bottom, bassNote + 1), top, 0, maxSpan, upperSeen, uppers);
        for (const auto& u : uppers) {
            CandidateVoicing full{static_cast<std::int32_t>(bassNote)};
            full.insert(full.end(), u.begin(), u.end());
            const std::int64_t span = full.back() - full.front();
            if (span >= minSpan && span <= maxSpan && seen.insert(full).second) out.push_back(full);
        }
    };
    std::vector<std::int64_t> bassNotes;
    for (auto base : bases) {
        if (bass + base >= bottom && bass + base <= top) bassNotes.push_back(bass + base);
    }
    if (!doubling) {
        for (auto b : bassNotes) above(upper, b);
        return out;
    }
    for (std::int32_t k = std::max<std::int32_t>(static_cast<std::int32_t>(p.size()), fewest); k <= most; ++k) {
        const std::size_t extra = static_cast<std::size_t>(k) - 1 - upper.size();
        for (const auto& ms : multisets(p, extra)) {
            std::vector<std::uint8_t> list = upper;
            list.insert(list.end(), ms.begin(), ms.end());
            for (auto b : bassNotes) above(list, b);
        }
    }
    return out;
}

// Every note set in the window that holds each pitch class, by subsets.
std::set<CandidateVoicing> subsetOracle(const std::vector<std::uint8_t>& p, std::int64_t bottom, std::int64_t top,
                                        std::int64_t minSpan, std::int64_t maxSpan, std::int32_t fewest,
                                        std::int32_t most, std::optional<std::uint8_t> bass) {
    std::vector<std::int32_t> pool;
    for (std::int64_t n = std::max<std::int64_t>(bottom, 36); n <= std::min<std::int64_t>(top, 83); ++n) {
        if (std::find(p.begin(), p.end(), n % 12) != p.end()) pool.push_back(static_cast<std::int32_t>(n));
    }
    std::set<CandidateVoicing> out;
    for (std::uint64_t mask = 1; mask < (1ULL << pool.size()); ++mask) {
        CandidateVoicing v;
        for (std::size_t i = 0; i < pool.size(); ++i) {
            if (mask >> i & 1) v.push_back(pool[i]);
        }
        const auto k = static_cast<std::int32_t>(v.size());
        if (k < fewest || k > most) continue;
        std::set<int> pcs;
        for (auto n : v) pcs.insert(n % 12);
        if (pcs.size() != std::set<int>(p.begin(), p.end()).size()) continue;
        const std::int64_t span = v.back() - v.front();
        if (span < minSpan || span > maxSpan) continue;
        if (bass && v.front() % 12 != *bass) continue;
        out.insert(v);
    }
    return out;
}

TEST(CandidateEnumeration, FreeBassMatchesOdometerOrderAndSubsetContent) {
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::uint8_t> p;
        const int size = 1 + static_cast<int>(rng() % 3);
        while (static_cast<int>(p.size()) < size) {
            const auto pc = static_cast<std::uint8_t>(rng() % 12);
            if (std::find(p.begin(), p.end(), pc) == p.end()) p.push_back(pc);
        }
        const std::int32_t bottom = 36 + static_cast<std::int32_t>(rng() % 18);
        const std::int32_t top = bottom + 10 + static_cast<std::int32_t>(rng() % 24);
        const std::int32_t minSpan = static_cast<std::int32_t>(rng() % 6);
        const std::int32_t maxSpan = 12 + static_cast<std::int32_t>(rng() % 20);
        const std::int32_t fewest = 1 + static_cast<std::int32_t>(rng() % 4);
        const std::int32_t most = size + static_cast<std::int32_t>(rng() % 3);
        const auto bases = defaultBases();
        const CandidateList got =
            enumeratePitchClassVoicings(p, bases, bottom, top, minSpan, maxSpan, true, fewest, most);
        EXPECT_EQ(got, oracleFree(p, bottom, top, minSpan, maxSpan, true, fewest, most)) << round;
        const std::set<CandidateVoicing> content(got.begin(), got.end());
        EXPECT_EQ(content.size(), got.size());
        EXPECT_EQ(content, subsetOracle(p, bottom, top, minSpan, maxSpan, std::max(size, fewest), most, std::nullopt));
        EXPECT_EQ(enumeratePitchClassVoicings(p, bases, bottom, top, minSpan, maxSpan, false, fewest, most),
                  oracleFree(p, bottom, top, minSpan, maxSpan, false, fewest, most));
    }
}

TEST(CandidateEnumeration, FixedBassMatchesOdometerOrderAndSubsetContent) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::uint8_t> p;
        const int size = 1 + static_cast<int>(rng() % 3);
        while (static_cast<int>(p.size()) < size) {
            const auto pc = static_cast<std::uint8_t>(rng() % 12);
            if (std::find(p.begin(), p.end(), pc) == p.end()) p.push_back(pc);
        }
        const std::uint8_t bass = p[rng() % p.size()];
        const std::int32_t bottom = 36 + static_cast<std::int32_t>(rng() % 18);
        const std::int32_t top = bottom + 10 + static_cast<std::int32_t>(rng() % 24);
        const std::int32_t minSpan = static_cast<std::int32_t>(rng() % 6);
        const std::int32_t maxSpan = 12 + static_cast<std::int32_t>(rng() % 20);
        const std::int32_t fewest = 1 + static_cast<std::int32_t>(rng() % 4);
        const std::int32_t most = size + static_cast<std::int32_t>(rng() % 3);
        const auto bases = defaultBases();
        const CandidateList got =
            enumerateVoicingsWithBass(p, bass, bases, bottom, top, minSpan, maxSpan, true, fewest, most);
        EXPECT_EQ(got, oracleBass(p, bass, bottom, top, minSpan, maxSpan, true, fewest, most)) << round;
        const std::set<CandidateVoicing> content(got.begin(), got.end());
        EXPECT_EQ(content, subsetOracle(p, bottom, top, minSpan, maxSpan, std::max(size, fewest), most, bass));
        EXPECT_EQ(enumerateVoicingsWithBass(p, bass, bases, bottom, top, minSpan, maxSpan, false, fewest, most),
                  oracleBass(p, bass, bottom, top, minSpan, maxSpan, false, fewest, most));
    }
}

TEST(CandidateEnumeration, RefusesImpossibleRequests) {
    const auto bases = defaultBases();
    const std::vector<std::uint8_t> none;
    const std::vector<std::uint8_t> triad{0, 4, 7};
    EXPECT_THROW(enumeratePitchClassVoicings(none, bases, 36, 83, 0, 127, true, 1, 4), std::runtime_error);
    try {
        enumeratePitchClassVoicings(triad, bases, 36, 83, 0, 127, true, 1, 2);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "cannot voice this pitch-class set with requested maxNotes without omitting pitch classes");
    }
    try {
        enumerateVoicingsWithBass(triad, 2, bases, 36, 83, 0, 127, true, 1, 4);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "fixed bass pitch class missing from pitch-class set");
    }
    try {
        enumeratePitchClassVoicings(none, bases, 36, 83, 0, 127, true, 1, 4);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "empty pitch-class set not permitted");
    }
}

TEST(CandidateEnumeration, HugeNoteCountsStopAtTheWorkBudget) {
    const std::vector<std::int64_t> bases = octaveBases(-2, 1, 0, 127);
    const std::vector<std::uint8_t> scale{0, 2, 4, 5, 7, 9, 11};
    try {
        enumeratePitchClassVoicings(scale, bases, 36, 83, 0, 127, true, 12, 12);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("work budget"), std::string::npos);
    }
    // A rich chord with a doubled note stays well inside it.
    EXPECT_FALSE(enumeratePitchClassVoicings(scale, bases, 36, 83, 0, 127, true, 7, 8).empty());
}

TEST(CandidateGeneration, ClosedTriadKeepsRootInTheBassAndThreeNotes) {
    VoicerOptions options;
    options.bottom = 48;
    options.top = 72;
    VoicerPortCacheState cache;
    const CandidateResult result = generateCandidateVoicings(chordOf("C"), options, cache, std::nullopt);
    ASSERT_FALSE(result.list->empty());
    EXPECT_FALSE(result.cacheHit);
    for (const auto& v : *result.list) {
        EXPECT_EQ(v.size(), 3u);
        EXPECT_EQ(v.front() % 12, 0);
        EXPECT_GE(v.front(), 48);
        EXPECT_LE(v.back(), 72);
    }
    EXPECT_EQ(result.list->front(), (CandidateVoicing{48, 52, 55}));
}

TEST(CandidateGeneration, FreeBassLowersTheWindowAndKeepsOnlyChordToneBasses) {
    VoicerOptions options;
    options.style = VoicingStyle::Anthem;
    options.allowBassChanges = true;
    options.bottom = 50;
    options.top = 74;
    options.maxNotes = 5;
    VoicerPortCacheState cache;
    const Chord chord = chordOf("C9");
    const CandidateResult result = generateCandidateVoicings(chord, options, cache, std::nullopt);
    ASSERT_FALSE(result.list->empty());
    bool sawLowNote = false;
    bool sawInversion = false;
    for (const auto& v : *result.list) {
        const int bass = v.front() % 12;
        EXPECT_NE(bass, 2) << "a ninth is never the bass";
        EXPECT_GE(v.front(), 38);
        sawLowNote = sawLowNote || v.front() < 50;
        sawInversion = sawInversion || bass != 0;
    }
    EXPECT_TRUE(sawLowNote);
    EXPECT_TRUE(sawInversion);
    EXPECT_EQ(bassEligibleSet(chord, true), (1u << 0) | (1u << 4) | (1u << 7) | (1u << 10));
    EXPECT_EQ(bassEligibleSet(chord, false), 0u);
    EXPECT_EQ(bassEligibleSet(chordOf("C9/E"), true), 0u);
}

TEST(CandidateGeneration, DoublingListsThreeNoteVoicingsBeforeFourNoteOnes) {
    VoicerOptions options;
    options.style = VoicingStyle::Tessaro;
    options.minNotes = 3;
    options.maxNotes = 4;
    VoicerPortCacheState cache;
    const CandidateResult result = generateCandidateVoicings(chordOf("Am"), options, cache, std::nullopt);
    bool seenFour = false;
    for (const auto& v : *result.list) {
        if (v.size() == 4) seenFour = true;
        if (seenFour) {
            EXPECT_EQ(v.size(), 4u);
        }
        std::set<int> notes(v.begin(), v.end());
        EXPECT_EQ(notes.size(), v.size()) << "a doubled pitch class lies in another octave";
    }
    EXPECT_TRUE(seenFour);
}

TEST(CandidateGeneration, NarrowWindowWidensDownThenUp) {
    VoicerOptions options;
    options.bottom = 70;
    options.top = 72;
    VoicerPortCacheState cache;
    const CandidateResult down = generateCandidateVoicings(chordOf("C"), options, cache, std::nullopt);
    ASSERT_FALSE(down.list->empty());
    // The highest bottom that fits C E G below 72 is 60.
    for (const auto& v : *down.list) EXPECT_GE(v.front(), 60);
    EXPECT_EQ(down.list->front(), (CandidateVoicing{60, 64, 67}));

    options.lowOctaveOffset = 1;  // only octave 5: C must sit at 72
    options.bottom = 72;
    options.top = 74;
    const CandidateResult up = generateCandidateVoicings(chordOf("C"), options, cache, std::nullopt);
    ASSERT_FALSE(up.list->empty());
    EXPECT_EQ(up.list->front(), (CandidateVoicing{72, 76, 79}));

    options.top = 60;
    options.highOctaveOffset = 1;
    options.lowOctaveOffset = 1;
    options.bottom = 84;
    // E in the bass leaves no C above it inside octave 5, even with top at 83.
    const CandidateResult none = generateCandidateVoicings(chordOf("C/E"), options, cache, std::nullopt);
    EXPECT_TRUE(none.list->empty());
}

TEST(CandidateGeneration, AnchorYieldsExactlyItsNotes) {
    VoicerOptions options;
    VoicerPortCacheState cache;
    const CandidateResult result =
        generateCandidateVoicings(chordOf("C"), options, cache, std::vector<std::int32_t>{67, 40, 100});
    ASSERT_EQ(result.list->size(), 1u);
    EXPECT_EQ(result.list->front(), (CandidateVoicing{67, 40, 100}));
    EXPECT_FALSE(result.cacheHit);
    EXPECT_EQ(cache.candidates.size(), 0u);
}

TEST(CandidateGeneration, RepeatedKeySharesTheCachedList) {
    VoicerOptions options;
    VoicerPortCacheState cache;
    const CandidateResult first = generateCandidateVoicings(chordOf("G7"), options, cache, std::nullopt);
    const CandidateResult second = generateCandidateVoicings(chordOf("G7"), options, cache, std::nullopt);
    EXPECT_FALSE(first.cacheHit);
    EXPECT_TRUE(second.cacheHit);
    EXPECT_EQ(first.list.get(), second.list.get());
}

TEST(CandidateGeneration, NonClosedStyleRefusesTooFewNotes) {
    VoicerOptions options;
    options.style = VoicingStyle::Split;
    options.maxNotes = 3;
    VoicerPortCacheState cache;
    try {
        generateCandidateVoicings(chordOf("C7"), options, cache, std::nullopt);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cannot voice this chord with requested maxNotes without omitting pitch classes");
    }
    options.style = VoicingStyle::Closed;
    EXPECT_NO_THROW(generateCandidateVoicings(chordOf("C7"), options, cache, std::nullopt));
}

// Limits that leave a chord without candidates: the relaxed list is the plain
// enumeration under the relaxed limits, which differ only in the fewest notes
// (down to the pitch-class count) and one span limit, one step short of which
// nothing fits.
TEST(CandidateRelaxation, LoosensTheLimitsJustEnoughForTheChord) {
    constexpr std::string_view kSymbols[] = {"C5", "G", "Dsus2", "F5/C", "Am", "E7"};
    std::mt19937 rng(311);
    VoicerPortCacheState cache;
    int relaxedSpans = 0;
    for (int round = 0; round < 400; ++round) {
        VoicerOptions options;
        options.style = static_cast<VoicingStyle>(rng() % 6);
        options.allowBassChanges = rng() % 2 == 0;
        options.maxNotes = 4 + static_cast<std::int32_t>(rng() % 3);
        options.minNotes = 1 + static_cast<std::int32_t>(rng() % options.maxNotes);
        options.minSpan = static_cast<std::int32_t>(rng() % 30);
        options.maxSpan = options.minSpan + static_cast<std::int32_t>(rng() % 6);
        options.bottom = 40 + static_cast<std::int32_t>(rng() % 12);
        options.top = options.bottom + 12 + static_cast<std::int32_t>(rng() % 12);
        const Chord chord = chordOf(kSymbols[rng() % std::size(kSymbols)]);
        if (!generateCandidateVoicings(chord, options, cache, std::nullopt).list->empty()) continue;

        const RelaxedCandidates relaxed = relaxedCandidateVoicings(chord, options, cache);
        const VoicerOptions& r = relaxed.options;
        ASSERT_FALSE(relaxed.result.list->empty()) << round;
        EXPECT_EQ(*relaxed.result.list, *generateCandidateVoicings(chord, r, cache, std::nullopt).list) << round;
        VoicerOptions unrelaxed = r;
        unrelaxed.minNotes = options.minNotes;
        unrelaxed.minSpan = options.minSpan;
        unrelaxed.maxSpan = options.maxSpan;
        EXPECT_EQ(unrelaxed, options) << round;
        EXPECT_EQ(r.minNotes, std::min<std::int32_t>(options.minNotes,
                                                     static_cast<std::int32_t>(voicerChordPitchClasses(chord).size())));
        EXPECT_LE(r.minSpan, options.minSpan);
        EXPECT_GE(r.maxSpan, options.maxSpan);
        EXPECT_TRUE(r.minSpan == options.minSpan || r.maxSpan == options.maxSpan) << round;
        VoicerOptions tighter = r;
        if (r.minSpan < options.minSpan) ++tighter.minSpan;
        if (r.maxSpan > options.maxSpan) --tighter.maxSpan;
        if (tighter == r) continue;
        ++relaxedSpans;
        EXPECT_TRUE(generateCandidateVoicings(chord, tighter, cache, std::nullopt).list->empty()) << round;
    }
    EXPECT_GT(relaxedSpans, 20);
}

TEST(CandidateGeneration, PitchClassesPutTheBassFirst) {
    EXPECT_EQ(voicerChordPitchClasses(chordOf("C")), (std::vector<std::uint8_t>{0, 4, 7}));
    EXPECT_EQ(voicerChordPitchClasses(chordOf("C/E")), (std::vector<std::uint8_t>{4, 0, 7}));
    EXPECT_EQ(voicerChordPitchClasses(chordOf("C/D")), (std::vector<std::uint8_t>{2, 0, 4, 7}));
    EXPECT_EQ(voicerChordPitchClasses(chordOf("A7")), (std::vector<std::uint8_t>{9, 1, 4, 7}));
}

}  // namespace
}  // namespace quillex

namespace quillex {
namespace {

// Every quality of the vocabulary on every root.
TEST(CandidateGenerationExhaustive, EveryQualityOnEveryRootHoldsEachPitchClass) {
    VoicerPortCacheState cache;
    for (const auto& [name, intervals] : canonicalQualityTable()) {
        for (PitchClass root = 0; root < 12; ++root) {
            const Chord chord = makeChord(root, ChordQuality{name, intervals}, std::nullopt, "");
            const std::vector<std::uint8_t> pcs = voicerChordPitchClasses(chord);
            ASSERT_FALSE(pcs.empty());
            EXPECT_EQ(pcs.front(), root);
            EXPECT_TRUE(std::is_sorted(pcs.begin() + 1, pcs.end()));
            std::set<int> expected{root};
            for (const std::int32_t i : intervals) expected.insert(((root + i) % 12 + 12) % 12);
            EXPECT_EQ(std::set<int>(pcs.begin(), pcs.end()), expected) << name;
            EXPECT_EQ(pcs.size(), expected.size()) << name;

            VoicerOptions options;  // closed: exactly one note per pitch class
            const CandidateResult result = generateCandidateVoicings(chord, options, cache, std::nullopt);
            ASSERT_FALSE(result.list->empty()) << name << " on " << int(root);
            for (const CandidateVoicing& v : *result.list) {
                ASSERT_EQ(v.size(), expected.size()) << name;
                EXPECT_EQ(v.front() % 12, root) << name;
                EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
                std::set<int> got;
                for (const std::int32_t note : v) got.insert(note % 12);
                EXPECT_EQ(got, expected) << name;
                EXPECT_GE(v.front(), 36);
                EXPECT_LE(v.back(), 83);
            }
        }
    }
}

}  // namespace
}  // namespace quillex
