// Every style, length, mode, root, source and filter pair of the shipped corpus, answered and checked.
#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/corpus_roman_token.h"
#include "generation/local_progression_generator.h"
#include "generation/local_progression_request.h"
#include "generation/recent_progression_history.h"
#include "generation/temperature_walk.h"
#include "theory/key_inference.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_resolution.h"
#include "theory/roman_progression_profile.h"

namespace quillex {
namespace {

using nlohmann::json;

constexpr std::array<const char*, 6> kStyles{
    "Classical", "Pop + EDM", "Rock", "Jazz + Neo Soul", "Modal Colors: Dark & Exotic", "Modal Colors: Light & Dreamy"};
constexpr std::array<std::uint32_t, 3> kLengths{4, 6, 8};
constexpr std::array<const char*, 12> kRoots{"C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
constexpr const char* kNoProgression = "Could not generate progression";

#ifdef QUILLEX_SANITIZED
constexpr int kCaseStride = 7;  // the sanitizer build runs every seventh case
#else
constexpr int kCaseStride = 1;
#endif

std::set<PitchClass> pitchClassSet(const Chord& chord) {
    Chord plain = chord;
    plain.bass.reset();
    const auto classes = chordPitchClasses(plain);
    return {classes.begin(), classes.end()};
}

class LocalProgressionSweep : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureCorporaInitialized(); }

    // Skips all but every kCaseStride-th case of the whole suite.
    static bool runThisCase() { return (caseCounter_++ % kCaseStride) == 0; }

    enum class Outcome { Progression, NoProgression };

    // Answers one request and checks what every answer must hold.
    static Outcome answerAndCheck(const json& request, const std::string& label) {
        clearRecentProgressionsForTesting();
        const BridgeReply reply = handleGenerateLocalProgression(request);
        if (reply.type != "local_progression_result") {
            EXPECT_EQ(reply.type, "local_progression_error") << label;
            EXPECT_EQ(reply.payload.value("message", ""), kNoProgression) << label << " " << reply.payload.dump();
            return Outcome::NoProgression;
        }
        const json& payload = reply.payload;
        const std::uint32_t length = request.value("length", 4u);
        EXPECT_EQ(payload.at("items").size(), length) << label;
        const json& keyObject = payload.at("key");
        const MusicalKey key{*parseKeyRoot(keyObject.at("root").get<std::string>()),
                             keyObject.at("mode") == "minor" ? kMinorMode : kMajorMode,
                             keyObject.at("minorScaleType") == "melodic" ? kMelodicMinorScale : kNaturalMinorScale};
        std::vector<WeightedChord> weighted;
        for (const json& item : payload.at("items")) {
            const json& chord = item.at("chord");
            const std::string symbol = chord.at("symbol");
            const std::optional<Chord> parsed = parseChordSymbol(symbol);
            if (!parsed) {
                ADD_FAILURE() << label << ": symbol " << symbol << " does not parse";
                continue;
            }
            weighted.push_back(WeightedChord{parsed->root, parsed->quality, parsed->bass, 1.0});
            const std::string roman = romanTokenHead(chord.at("roman").get<std::string>());
            const std::optional<RomanChord> resolved = romanNumeralToChord(roman, key);
            const std::optional<ChordQuality> quality =
                resolved ? lookupChordQuality(resolved->quality) : std::optional<ChordQuality>{};
            if (!resolved || !quality) {
                ADD_FAILURE() << label << ": roman " << roman << " of " << symbol << " does not resolve";
                continue;
            }
            EXPECT_EQ(resolved->root, parsed->root) << label << ": " << symbol << " as " << roman;
            EXPECT_EQ(pitchClassSet(makeChord(resolved->root, *quality, std::nullopt, "")), pitchClassSet(*parsed))
                << label << ": " << symbol << " as " << roman;
            EXPECT_EQ(chord.at("degree"), scaleDegreeOf(key, parsed->root)) << label << ": " << symbol;
            EXPECT_EQ(chord.at("category"), classifyQualityFamily(ChordQuality{parsed->quality, parsed->intervals}))
                << label << ": " << symbol;
            EXPECT_EQ(chord.contains("bass"), parsed->bass.has_value()) << label << ": " << symbol;
        }
        if (payload.contains("corpus")) checkWalkInvariants(request, payload.at("corpus"), label);
        if (!request.value("auto_key", false)) {
            ++manualAnswers_;
            const bool wantMinor = request.at("key").at("mode") == "minor";
            if (!weighted.empty() && inferKey(weighted).key.isMinor() != wantMinor) ++manualOtherMode_;
        }
        return Outcome::Progression;
    }

    static void checkWalkInvariants(const json& request, const json& trace, const std::string& label) {
        const auto selected = trace.at("selectedRoman").get<std::vector<std::string>>();
        const auto generated = trace.at("generatedRoman").get<std::vector<std::string>>();
        ASSERT_EQ(selected.size(), generated.size()) << label;
        ASSERT_GE(selected.size(), 2u) << label;
        EXPECT_EQ(selected.front(), generated.front()) << label;
        EXPECT_EQ(selected.back(), generated.back()) << label;
        const std::string style = normalizeGenreId(request.value("genre", "Pop + EDM"));
        const ChordTransitionModel& model = sharedChordTransitionModel();
        for (std::size_t i = 1; i + 1 < selected.size(); ++i) {
            if (style == "modalcolorsdarkexotic") {
                if (isFlatTwoToken(selected[i])) {
                    EXPECT_EQ(generated[i], selected[i]) << label << " at " << i;
                }
                EXPECT_EQ(isFlatTwoToken(generated[i]), isFlatTwoToken(selected[i])) << label << " at " << i;
            }
            if (generated[i] == selected[i]) continue;
            if (style == "jazzneosoul") {
                const std::string q = romanTokenQuality(generated[i]);
                EXPECT_FALSE(q.empty() || q == "maj" || q == "m" || q == "min" || q == "-")
                    << label << ": plain triad " << generated[i];
            }
            if (style == "popedm" && hasAccidentalPrefix(generated[i])) {
                EXPECT_GE(model.pairWeight(generated[i - 1], generated[i]) * 100.0f, 15.0f)
                    << label << ": weak chromatic " << generated[i];
            }
        }
    }

    static json request(const char* genre, std::uint32_t length) {
        return json{{"genre", genre}, {"length", length}, {"debug_trace", true}, {"debug_sequential", true}};
    }

    static inline int caseCounter_ = 0;
    static inline int manualAnswers_ = 0;
    static inline int manualOtherMode_ = 0;
};

TEST_F(LocalProgressionSweep, EveryStyleLengthModeAndRootAnswers) {
    for (const char* genre : kStyles) {
        for (const std::uint32_t length : kLengths) {
            for (const char* mode : {"major", "minor"}) {
                for (const char* root : kRoots) {
                    if (!runThisCase()) continue;
                    json r = request(genre, length);
                    r["key"] = json{{"root", root}, {"mode", mode}};
                    r["temperature"] = 1.0;
                    r["debug_sequence_index"] = static_cast<int>(root[0]) + static_cast<int>(length);
                    const std::string label =
                        std::string(genre) + " " + std::to_string(length) + " " + root + " " + mode;
                    EXPECT_EQ(answerAndCheck(r, label), Outcome::Progression) << label;
                }
            }
        }
    }
}

TEST_F(LocalProgressionSweep, EverySourceAnswersAtTemperatureZeroAndOne) {
    const ProgressionCorpus& corpus = sharedProgressionCorpus();
    for (const char* genre : kStyles) {
        for (const std::uint32_t length : kLengths) {
            for (const char* mode : {"major", "minor"}) {
                LocalGenerationRequest filter;
                filter.genre = genre;
                filter.length = length;
                filter.mode = std::string_view(mode) == "minor" ? kMinorMode : kMajorMode;
                const std::size_t count = generationCandidates(filter, corpus).size();
                EXPECT_GT(count, 0u) << genre << " " << length << " " << mode;
                for (std::size_t index = 0; index < count; ++index) {
                    for (const double temperature : {0.0, 1.0}) {
                        if (!runThisCase()) continue;
                        json r = request(genre, length);
                        r["key"] = json{{"root", kRoots[index % 12]}, {"mode", mode}};
                        r["temperature"] = temperature;
                        r["debug_sequence_index"] = index;
                        const std::string label = std::string(genre) + " " + std::to_string(length) + " " + mode +
                                                  " source " + std::to_string(index) + " t" +
                                                  std::to_string(temperature);
                        ASSERT_EQ(answerAndCheck(r, label), Outcome::Progression) << label;
                    }
                }
            }
        }
    }
    // Counted over both manual-key sweeps; the last attempt is accepted even when its chords imply the other mode.
    std::cout << "manual-key answers inferring another mode: " << manualOtherMode_ << " of " << manualAnswers_ << "\n";
}

TEST_F(LocalProgressionSweep, EveryFollowerTheWalkCanChooseResolvesInAllThirtySixKeys) {
    std::set<std::string> tokens;
    for (const auto& [from, row] : sharedChordTransitionModel().pairWeights()) {
        tokens.insert(from);
        for (const auto& [to, weight] : row) tokens.insert(to);
    }
    ASSERT_FALSE(tokens.empty());
    const std::array<MusicalKey, 3> shapes{MusicalKey{0, kMajorMode, kNaturalMinorScale},
                                           MusicalKey{0, kMinorMode, kNaturalMinorScale},
                                           MusicalKey{0, kMinorMode, kMelodicMinorScale}};
    for (const std::string& token : tokens) {
        if (!runThisCase()) continue;
        for (const MusicalKey& shape : shapes) {
            for (PitchClass root = 0; root < 12; ++root) {
                MusicalKey key = shape;
                key.root = root;
                const std::optional<RomanChord> chord = romanNumeralToChord(token, key);
                ASSERT_TRUE(chord) << token << " in " << kRoots[root];
                const std::optional<bool> flats = romanAccidentalPreference(token);
                for (const bool simplify : {true, false}) {
                    EXPECT_TRUE(renderChordInKey(*chord, KeyContext{key, kRoots[root]}, simplify,
                                                 SpellingOptions{flats.value_or(false), flats.has_value()},
                                                 std::nullopt))
                        << token << " in " << kRoots[root];
                }
            }
        }
    }
}

TEST_F(LocalProgressionSweep, ProfileModesKeptAtLoadSelectWhatTheDirectFilterSelects) {
    const ProgressionCorpus& corpus = sharedProgressionCorpus();
    for (const char* genre : kStyles) {
        for (const std::uint32_t length : kLengths) {
            for (const char* family : {"", "aeolian", "ionian", "phrygian"}) {
                for (const std::uint8_t mode : {kMajorMode, kMinorMode}) {
                    LocalGenerationRequest request;
                    request.genre = genre;
                    request.length = length;
                    request.mode = mode;
                    request.modeFamily = family;
                    std::vector<const SourceProgression*> direct;
                    for (const auto& pool : corpus.findSourcePool(normalizeGenreId(genre), length)) {
                        for (const SourceProgression& record : pool.get()) {
                            if (filterIdMatches(family, record.modeFamily) &&
                                scoreRomanProgression(record.romanTokens).isMinor == (mode == kMinorMode)) {
                                direct.push_back(&record);
                            }
                        }
                    }
                    EXPECT_EQ(generationCandidates(request, corpus), direct) << genre << " " << length << family;
                }
            }
        }
    }
}

TEST_F(LocalProgressionSweep, AutoKeyAnswersInEveryDebugRootAndSpelling) {
    for (const char* preference : {"fifths", "flats", "sharps"}) {
        for (const char* root : {"C", "C#", "D", "Eb", "E", "F", "Gb", "G", "G#", "A", "Bb", "B"}) {
            for (const char* genre : kStyles) {
                if (!runThisCase()) continue;
                json r = request(genre, 8);
                r["auto_key"] = true;
                r["debug_key_root"] = root;
                r["spellingPreference"] = preference;
                r["temperature"] = 1.0;
                const std::string label = std::string(genre) + " auto " + root + " " + preference;
                ASSERT_EQ(answerAndCheck(r, label), Outcome::Progression) << label;
            }
        }
    }
}

TEST_F(LocalProgressionSweep, EveryFilterPairAnswersOrSaysTheDataLacksIt) {
    const std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> filters{
        {"classical", {{"ionian", "aeolian", "harmonicminor"}, {"cadence", "sequence", "prolongation"}}},
        {"jazzneosoul",
         {{"ionian", "aeolian", "dorian", "harmonicminor"},
          {"turnaround", "iivi", "backdoor", "neosoul", "minoriivi"}}},
        {"modalcolorsdarkexotic",
         {{"phrygian", "phrygiandominant", "harmonicminor"}, {"vamp", "cadence", "exotic", "doubleharmonic"}}},
        {"modalcolorslightdreamy",
         {{"lydian", "mixolydian", "ionian", "dorian", "aeolian", "melodicminor"}, {"float", "dreamy"}}},
        {"popedm",
         {{"ionian", "mixolydian", "modalmixture", "aeolian", "dorian", "harmonicminor"},
          {"intro", "verse", "prechorus", "chorus", "bridge", "instrumental", "outro"}}},
        {"rock",
         {{"ionian", "mixolydian", "modalmixture", "aeolian", "dorian", "harmonicminor"},
          {"intro", "verse", "prechorus", "chorus", "bridge", "instrumental", "outro"}}},
    };
    std::vector<std::string> lacking;
    for (const auto& [genre, lists] : filters) {
        for (const std::uint32_t length : kLengths) {
            for (const std::string& family : lists.first) {
                for (const std::string& subcategory : lists.second) {
                    if (!runThisCase()) continue;
                    json r = request(genre.c_str(), length);
                    r["auto_key"] = true;
                    r["debug_key_root"] = "A";
                    r["modeFamily"] = family;
                    r["subcategory"] = subcategory;
                    r["temperature"] = 0.5;
                    const std::string label = genre + " " + std::to_string(length) + " " + family + "/" + subcategory;
                    if (answerAndCheck(r, label) == Outcome::NoProgression) lacking.push_back(label);
                }
            }
        }
    }
    std::cout << "filter pairs the data lacks: " << lacking.size() << "\n";
    for (const std::string& label : lacking) std::cout << "  " << label << "\n";
}

}  // namespace
}  // namespace quillex
