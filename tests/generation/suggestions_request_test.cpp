// The "get_suggestions" request: error replies, request fields, a sweep over keys and contexts on the shipped corpus, fuzzing.
#include "generation/suggestions_request.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <stdexcept>
#include <tuple>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/corpus_suggestions.h"
#include "generation/suggestion_scoring.h"
#include "generation/suggestion_selection.h"
#include "generation/theory_suggestions.h"
#include "platform/random_device.h"
#include "support/page_reply.h"
#include "theory/key_inference.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_resolution.h"
#include "voicing/semitone_transpose.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kSweepStride = 5;
constexpr int kFuzzRounds = 2000;
constexpr int kLongContextRounds = 8;
#else
constexpr int kSweepStride = 1;
constexpr int kFuzzRounds = 20000;
constexpr int kLongContextRounds = 40;
#endif

class SuggestionsRequest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureCorporaInitialized(); }
    void SetUp() override { ASSERT_TRUE(corpusInitStatus().suggestionsReady); }
};

json suggest(json request) { return handleGetSuggestions(request).payload; }

TEST(SuggestionsRequestErrors, CorpusTestComesBeforeTheKeyTest) {
    const ChordTransitionModel empty;
    for (const json& request : {json{{"request_id", "a"}}, json{{"root", "C"}, {"request_id", "a"}}}) {
        const BridgeReply reply = handleGetSuggestions(request, empty);
        EXPECT_EQ(reply.type, "suggestions_result");
        EXPECT_EQ(reply.payload, (json{{"suggestions", json::array()},
                                       {"code", "corpus_unavailable"},
                                       {"error", "The chord suggestion corpus failed to initialize"},
                                       {"request_id", "a"}}));
    }
}

TEST_F(SuggestionsRequest, KeyAndSpellingRefusalsAreExact) {
    EXPECT_EQ(suggest({{"request_id", "r"}, {"shuffleMode", true}}), (json{{"suggestions", json::array()},
                                                                           {"shuffleMode", true},
                                                                           {"error", "missing key context"},
                                                                           {"code", "missing_key_context"},
                                                                           {"request_id", "r"}}));
    EXPECT_EQ(suggest({{"key", {{"root", 5}}}}), (json{{"suggestions", json::array()},
                                                       {"shuffleMode", false},
                                                       {"error", "missing key context"},
                                                       {"code", "missing_key_context"}}));
    EXPECT_EQ(suggest(json::array()), suggest(json::object()));
    EXPECT_EQ(suggest({{"key", {{"root", "H"}}}}),
              (json{{"suggestions", json::array()}, {"shuffleMode", false}, {"error", "Invalid key root: H"}}));
    EXPECT_EQ(
        suggest({{"root", "C"}, {"spellingPreference", "upside"}}),
        (json{
            {"suggestions", json::array()}, {"shuffleMode", false}, {"error", "Invalid spellingPreference: upside"}}));
    EXPECT_EQ(suggest({{"root", "C"}, {"simplifyAccidentals", 3}})["error"],
              "Invalid simplifyAccidentals: expected boolean");
}

TEST_F(SuggestionsRequest, FieldsOfTheWrongTypeRaiseTheLibraryTypeError) {
    const json base = {{"root", "C"}, {"prevChords", {"C"}}};
    // A "key" that is read but is not an object.
    EXPECT_THROW(handleGetSuggestions(json{{"key", "C major"}}), json::type_error);
    EXPECT_THROW(handleGetSuggestions(json{{"root", "C"}, {"key", nullptr}}), json::type_error);
    EXPECT_TRUE(testing::pageOk("suggestions_result", suggest({{"root", "C"}, {"mode", "major"}, {"key", 5}})));
    for (const auto& [key, value] : std::vector<std::pair<std::string, json>>{{"shuffleMode", 1},
                                                                              {"mergeVariants", "yes"},
                                                                              {"position", true},
                                                                              {"position", json::array()},
                                                                              {"voicingStyle", 4},
                                                                              {"octave", "4"},
                                                                              {"drop_bass", 0},
                                                                              {"semitone_transpose", "2"}}) {
        json request = base;
        request[key] = value;
        EXPECT_THROW(handleGetSuggestions(request), json::type_error) << key;
    }
    for (const json& position : {json(3), json("before"), json(-1)}) {
        json request = base;
        request["position"] = position;
        EXPECT_TRUE(testing::pageOk("suggestions_result", suggest(request))) << position;
    }
}

TEST_F(SuggestionsRequest, PositionIsAnIntegerOrATextAndNothingElse) {
    const std::vector<std::pair<json, bool>> positionAccepted = {
        {0, true},
        {-7, true},
        {json(std::numeric_limits<std::uint64_t>::max()), true},
        {"2.5", true},
        {"", true},
        {2.5, false},
        {json::parse("1e10"), false},
        {json::parse("2.0"), false},
        {json::parse("-0.0"), false},
        {json::parse("18446744073709551616"), false},  // past 64 bits: held as a decimal
        {false, false},
        {nullptr, false},
        {json::object(), false},
    };
    for (const auto& [position, ok] : positionAccepted) {
        json request = {{"root", "C"}, {"prevChords", {"C"}}, {"position", position}};
        if (ok) {
            EXPECT_TRUE(testing::pageOk("suggestions_result", suggest(request))) << position;
        } else {
            EXPECT_THROW(handleGetSuggestions(request), json::type_error) << position;
        }
    }
}

TEST_F(SuggestionsRequest, TopLevelModeWinsAndBadChordsAreDropped) {
    const json reply = suggest({{"key", {{"root", "C#"}, {"mode", "minor"}}},
                                {"mode", "major"},
                                {"prevChords", json::array({{{"symbol", "nonsense"}}, {{"symbol", "F#"}}, 7, "zz"})},
                                {"nextChord", "not a chord"}});
    ASSERT_TRUE(testing::pageOk("suggestions_result", reply)) << reply.dump();
    // C# major: the tritone substitute of the tonic is D7, numbered bII.
    bool sawFlatTwo = false;
    for (const json& s : reply["suggestions"]) sawFlatTwo |= s["roman"] == "\u266DII7";
    EXPECT_TRUE(sawFlatTwo);
    // "context" is read only without "prevChords".
    EXPECT_EQ(suggest({{"root", "C"}, {"context", {"G7"}}}), suggest({{"root", "C"}, {"prevChords", {"G7"}}}));
    EXPECT_NE(suggest({{"root", "C"}, {"prevChords", {"C"}}, {"context", {"G7"}}}),
              suggest({{"root", "C"}, {"prevChords", {"G7"}}}));
}

TEST_F(SuggestionsRequest, ReplyFlagsSeedEchoScoresAndCurrentChord) {
    json request = {
        {"root", "C"}, {"prevChords", {"Dm7"}}, {"currentChord", "G7"}, {"shuffleSeed", "s1"}, {"request_id", "id"}};
    json reply = suggest(request);
    EXPECT_EQ(reply["shuffleSeed"], "s1");
    EXPECT_EQ(reply["shuffleMode"], false);
    EXPECT_EQ(reply["mergeVariants"], true);
    EXPECT_EQ(reply["request_id"], "id");
    int current = 0;
    for (const json& s : reply["suggestions"]) {
        if (s.contains("isCurrent")) {
            EXPECT_EQ(s["symbol"], "G7");
            EXPECT_EQ(s["isCurrent"], true);
            ++current;
        }
        const double hundredths = s["score"].get<double>() * 100.0;
        EXPECT_NEAR(hundredths, std::round(hundredths), 1e-6);
    }
    EXPECT_EQ(current, 1);
    request["shuffleSeed"] = 12;
    EXPECT_FALSE(suggest(request).contains("shuffleSeed"));
}

TEST(SuggestionScores, RoundHalfAwayFromZeroAndWriteFloats) {
    EXPECT_EQ(roundSuggestionScore(0.125), 0.13);
    EXPECT_EQ(roundSuggestionScore(-0.125), -0.13);
    EXPECT_EQ(roundSuggestionScore(0.3449), 0.34);
    EXPECT_EQ(json(roundSuggestionScore(1.0)).dump(), "1.0");
}

TEST_F(SuggestionsRequest, EmptySeedDrawsFromTheRandomDevice) {
    std::uint32_t word = 1;
    platform::setRandomWordSourceForTesting([&] { return word; });
    const json request = {{"root", "C"}, {"prevChords", {"C"}}, {"shuffleMode", true}};
    const json first = suggest(request);
    EXPECT_EQ(suggest(request), first);
    word = 2;
    EXPECT_NE(suggest(request), first);
    platform::setRandomWordSourceForTesting({});
}

// --- Sweep on the shipped corpus ----------------------------------------------------------

struct SweepCase {
    MusicalKey key;
    std::string root;
    std::string previous;
    std::optional<std::string> next;
    bool shuffle = false;
    VoicingStyle style = VoicingStyle::Closed;
};

std::string symbolOfDegree(const MusicalKey& key, const std::string& root, int degree, bool seventh) {
    const DiatonicChord chord = diatonicChordOfDegree(key, degree, seventh);
    const KeyContext context{key, root};
    return *spellChordSymbolInKey(context, chord.root, chord.quality.empty() ? "maj" : chord.quality, std::nullopt,
                                  SpellingOptions{}, std::nullopt);
}

std::vector<SweepCase> sweepCases() {
    std::vector<SweepCase> cases;
    int styleTurn = 0;
    for (PitchClass root = 0; root < 12; ++root) {
        for (int variant = 0; variant < 3; ++variant) {
            const MusicalKey key{root, variant == 0 ? kMajorMode : kMinorMode,
                                 variant == 2 ? kMelodicMinorScale : kNaturalMinorScale};
            const std::string rootName(defaultNoteNames[root]);
            for (int degree = 1; degree <= 7; ++degree) {
                const std::string triad = symbolOfDegree(key, rootName, degree, false);
                const std::string seventh = symbolOfDegree(key, rootName, degree, true);
                const DiatonicChord chord = diatonicChordOfDegree(key, degree, false);
                const PitchClass third =
                    transposePitchClass(chord.root, qualityIntervals(lookupChordQuality(chord.quality)->name)[1]);
                const std::string slash = *spellChordSymbolInKey(KeyContext{key, rootName}, chord.root,
                                                                 chord.quality.empty() ? "maj" : chord.quality, third,
                                                                 SpellingOptions{}, std::nullopt);
                const std::string nextDegree = symbolOfDegree(key, rootName, degree % 7 + 1, false);
                for (const std::string& previous : {triad, seventh, slash}) {
                    for (const bool withNext : {false, true}) {
                        for (const bool shuffle : {false, true}) {
                            const VoicingStyle style = kAllVoicingStyles[styleTurn++ % kVoicingStyleCount];
                            cases.push_back({key, rootName, previous,
                                             withNext ? std::optional(nextDegree) : std::nullopt, shuffle, style});
                        }
                    }
                }
            }
        }
    }
    return cases;
}

json sweepRequest(const SweepCase& c) {
    json request = {{"root", c.root},
                    {"mode", c.key.isMinor() ? "minor" : "major"},
                    {"minorScaleType", c.key.isMelodicMinor() ? "melodic" : "natural"},
                    {"prevChords", {c.previous}},
                    {"voicingStyle", voicingStyleId(c.style)},
                    {"shuffleMode", c.shuffle}};
    if (c.next) request["nextChord"] = *c.next;
    if (c.shuffle) request["shuffleSeed"] = "sweep";
    return request;
}

// The context the handler builds for a sweep request, minor-scale inference included.
SuggestionContext sweepContext(const SweepCase& c) {
    SuggestionContext context;
    context.key = c.key;
    context.keyRootText = c.root;
    context.prevChords = {*parseChordSymbol(c.previous)};
    if (c.next) context.nextChord = parseChordSymbol(*c.next);
    context.voicingStyle = c.style;
    context.shuffleMode = c.shuffle;
    std::string error;
    context.spellingOptions = *readSpellingOptions(json::object(), c.key.root, c.root, error);
    if (c.key.isMinor()) {
        std::vector<KeyInferenceChord> chords;
        for (const Chord& chord : context.prevChords) chords.push_back({chord.root, chord.quality, chord.bass});
        if (context.nextChord)
            chords.push_back({context.nextChord->root, context.nextChord->quality, context.nextChord->bass});
        context.key.minorScaleType = inferMinorScaleType(context.key, chords, context.key.minorScaleType);
    }
    return context;
}

std::set<PitchClass> pitchClassSet(PitchClass root, const std::vector<std::int32_t>& intervals) {
    std::set<PitchClass> set;
    for (const std::int32_t interval : intervals) set.insert(transposePitchClass(root, interval));
    return set;
}

void checkReply(const SweepCase& c, const json& reply, const std::string& where) {
    ASSERT_TRUE(testing::pageOk("suggestions_result", reply)) << where << reply.dump();
    const SuggestionContext context = sweepContext(c);
    const Chord previous = context.prevChords.back();
    std::map<std::string, int> perCategory;
    for (const json& s : reply["suggestions"]) {
        const std::string category = s["category"];
        ++perCategory[category];
        const double score = s["score"];
        EXPECT_NEAR(score * 100.0, std::round(score * 100.0), 1e-6) << where;
        if (category == "smart") {
            EXPECT_TRUE(score >= 0.0 && score <= 1.0) << where << s;
        } else {
            EXPECT_TRUE(score >= 0.05 && score <= 1.0) << where << s;
        }
        const std::optional<Chord> chord = parseChordSymbol(s["symbol"].get<std::string>());
        ASSERT_TRUE(chord) << where << s;
        const std::string roman = s["roman"];
        const std::optional<RomanChord> resolved = romanNumeralToChord(roman.substr(0, roman.find('/')), context.key);
        ASSERT_TRUE(resolved) << where << s;
        EXPECT_EQ(resolved->root, chord->root) << where << s;
        EXPECT_EQ(pitchClassSet(resolved->root, lookupChordQuality(resolved->quality)->intervals),
                  pitchClassSet(chord->root, chord->intervals))
            << where << s;
        const auto notes = s["notes"].get<std::vector<std::int32_t>>();
        for (const std::int32_t note : notes) EXPECT_TRUE(note >= 0 && note <= 127) << where;
        EXPECT_EQ(notes, voiceChordWithTranspose(*chord, c.style, 4, {}, 0)) << where << s;
        EXPECT_EQ(s["isDiatonic"].get<bool>(), isDiatonicSuggestionChord(*chord, context)) << where << s;
        EXPECT_FALSE(chord->root == previous.root && chord->quality == previous.quality && chord->bass == previous.bass)
            << where << s;
    }
    EXPECT_LE(perCategory["smart"], 30) << where;
    for (const auto& [category, count] : perCategory) {
        if (category != "smart") {
            EXPECT_LE(count, 8) << where << category;
        }
    }
}

// The selection the handler makes, replayed from the public stages.
std::vector<ChordSuggestion> replaySelection(const SuggestionContext& context, std::string_view seed) {
    std::vector<ChordSuggestion> all;
    for (auto generate : {suggestSecondaryDominants, suggestBorrowedChords, suggestTritoneSubstitutions,
                          suggestPassingDiminished, suggestChromaticMediants}) {
        auto list = generate(context);
        all.insert(all.end(), list.begin(), list.end());
    }
    auto corpus = suggestFromCorpus(context, sharedChordTransitionModel());
    all.insert(all.end(), corpus.begin(), corpus.end());
    for (ChordSuggestion& s : all) s.score = scoreSuggestion(s, context, sharedChordTransitionModel());
    return selectSuggestions(std::move(all), context, true, seed);
}

TEST_F(SuggestionsRequest, SweepOverKeysContextsShufflesAndStyles) {
    const std::vector<SweepCase> cases = sweepCases();
    ASSERT_EQ(cases.size(), 36u * 7u * 3u * 2u * 2u);
    for (std::size_t i = 0; i < cases.size(); i += kSweepStride) {
        const SweepCase& c = cases[i];
        const json request = sweepRequest(c);
        const std::string where = request.dump() + "\n";
        const json reply = suggest(request);
        checkReply(c, reply, where);
        if (i % 6 == 0) {
            EXPECT_EQ(handleGetSuggestions(request, sharedChordTransitionModel(), false).payload.dump(), reply.dump())
                << where;
        }
        if (c.shuffle && i % 3 == 1) {
            EXPECT_EQ(suggest(request).dump(), reply.dump()) << where;
        }
        if (i % 8 == 2) {
            const std::vector<ChordSuggestion> replay = replaySelection(sweepContext(c), c.shuffle ? "sweep" : "");
            ASSERT_EQ(replay.size(), reply["suggestions"].size()) << where;
            using Key = std::tuple<PitchClass, bool, int, std::string, std::string, std::string>;
            std::set<Key> keys;
            for (std::size_t k = 0; k < replay.size(); ++k) {
                const ChordSuggestion& s = replay[k];
                EXPECT_EQ(s.chord.symbol, reply["suggestions"][k]["symbol"]) << where;
                if (s.category == kDiatonicCategory || s.category > kChromaticMediantCategory) continue;
                const Key key{
                    s.chord.root,  s.isDiatonic,    s.target ? int{*s.target} : -1,
                    s.targetRoman, s.targetQuality, coarseQualityFamily({s.chord.quality, s.chord.intervals})};
                EXPECT_TRUE(keys.insert(key).second) << where << s.chord.symbol;
            }
        }
    }
}

// Long previous-chord lists drawn from a few chords each: the context summarised
// once per request scores as working it out again for every score does.
TEST_F(SuggestionsRequest, LongPreviousChordListsAnswerAsPerScoreWorkDoes) {
    static const std::vector<std::string> pool = {"C",  "Am7",   "Dm7/C", "G7", "A7",   "Db7",    "Fm",
                                                  "Ab", "Eb",    "Bb7",   "E7", "B7#9", "C#dim7", "F#m7b5",
                                                  "D9", "Cmaj9", "Gsus4", "Em", "Gb",   "Bbm6",   "zz"};
    static const std::vector<std::string> roots = {"C", "Eb", "F#", "A", "Bb"};
    std::mt19937 rng(41);
    for (int round = 0; round < kLongContextRounds; ++round) {
        std::vector<std::string> vocabulary;
        for (std::size_t n = 2 + rng() % 6; n > 0; --n) vocabulary.push_back(pool[rng() % pool.size()]);
        json chords = json::array();
        for (std::size_t n = 300 + rng() % 1500; n > 0; --n) chords.push_back(vocabulary[rng() % vocabulary.size()]);
        json request = {{"root", roots[rng() % roots.size()]},
                        {"mode", rng() % 2 ? "minor" : "major"},
                        {"prevChords", std::move(chords)}};
        if (rng() % 2) request["nextChord"] = pool[rng() % pool.size()];
        if (rng() % 3 == 0) {
            request["shuffleMode"] = true;
            request["shuffleSeed"] = "long";
        }
        const json once = handleGetSuggestions(request, sharedChordTransitionModel(), true).payload;
        ASSERT_TRUE(testing::pageOk("suggestions_result", once)) << once.dump();
        EXPECT_EQ(handleGetSuggestions(request, sharedChordTransitionModel(), false).payload.dump(), once.dump())
            << "round " << round;
    }
}

// --- Fuzz ------------------------------------------------------------------------------------

json junkText(std::mt19937& rng) {
    static const std::vector<std::string> pieces = {
        "C",    "D#",           "Eb",           "m7",           "maj9", "/",   "/E", "b", "#",
        "7alt", "\xE2\x99\xAD", "\xE2\x99\xAF", "\xC3",         "\xFF", "sus", "(",  ")", " ",
        "H",    "13",           "dim",          "\xE2\x96\xB3", "Bbbb", "F##", "\0"};
    std::string text;
    const int n = static_cast<int>(rng() % 5);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    return text;
}

json junkValue(std::mt19937& rng) {
    switch (rng() % 9) {
        case 0:
            return nullptr;
        case 1:
            return static_cast<int>(rng() % 300) - 150;
        case 2:
            return 1e300;
        case 3:
            return rng() % 2 == 0;
        case 4:
            return json::array({junkText(rng), junkText(rng)});
        case 5:
            return json{{"symbol", junkText(rng)}};
        case 6:
            return json::object();
        default:
            return junkText(rng);
    }
}

TEST_F(SuggestionsRequest, FuzzedRequestsAnswerOrRaiseDocumentedErrors) {
    static const std::vector<std::string> keys = {"root",
                                                  "mode",
                                                  "key",
                                                  "prevChords",
                                                  "context",
                                                  "nextChord",
                                                  "currentChord",
                                                  "position",
                                                  "voicingStyle",
                                                  "shuffleMode",
                                                  "mergeVariants",
                                                  "shuffleSeed",
                                                  "octave",
                                                  "drop_bass",
                                                  "semitone_transpose",
                                                  "minorScaleType",
                                                  "spellingPreference",
                                                  "simplifyAccidentals",
                                                  "request_id"};
    // Half the roots are refused early, so that most rounds stay cheap.
    static const std::vector<std::string> roots = {
        "C", "F#", "Bb", "g", "Cb", "E#", "Abb", "H", "", "C\xE2\x99\xAF", "Bx", "1", "\xFF", "c#b"};
    std::mt19937 rng(18);
    int answered = 0;
    for (int round = 0; round < kFuzzRounds; ++round) {
        json request = {{"root", roots[rng() % roots.size()]}, {"mode", rng() % 2 ? "minor" : "major"}};
        if (rng() % 2) {
            json chords = json::array();
            for (int i = static_cast<int>(rng() % 3); i > 0; --i) chords.push_back(junkText(rng));
            request["prevChords"] = chords;
        }
        if (rng() % 2) request["nextChord"] = junkText(rng);
        if (rng() % 3 == 0) request["shuffleMode"] = true;
        for (int i = static_cast<int>(rng() % 3); i > 0; --i) request[keys[rng() % keys.size()]] = junkValue(rng);
        try {
            const BridgeReply reply = handleGetSuggestions(request);
            ASSERT_EQ(reply.type, "suggestions_result");
            ASSERT_TRUE(reply.payload["suggestions"].is_array());
            ++answered;
        } catch (const json::type_error&) {
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_TRUE(message == "Could not derive Roman numeral from chord symbol and key" ||
                        message == "Could not derive corpus Roman bass degree")
                << message << " " << request.dump();
        }
    }
    EXPECT_GT(answered, kFuzzRounds / 5);
}

}  // namespace
}  // namespace quillex
