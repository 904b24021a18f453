// The "generate_local_progression" request: every refusal in order, locks, key object, history and a fuzz run.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/generation_fixture.h"
#include "generation/local_progression_request.h"
#include "generation/recent_progression_history.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;

const json kManualKey{{"root", "C"}, {"mode", "major"}};

json withKey(json request) {
    if (request.contains("noKey")) {
        request.erase("noKey");
    } else if (!request.contains("key") && !request.contains("auto_key")) {
        request["key"] = kManualKey;
    }
    return request;
}

class LocalProgressionRequest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureCorporaInitialized(); }
    void SetUp() override { clearRecentProgressionsForTesting(); }
};

struct Refusal {
    json request;
    const char* code;
    std::string message;
};

TEST_F(LocalProgressionRequest, EveryRefusalAnswersItsCodeAndMessageInOrder) {
    const std::string slotMessage = "Invalid local generation locked slot";
    const json sourceKey{{"root", "C"}, {"mode", "major"}};
    const auto locks = [&](json slots) { return json{{"sourceKey", sourceKey}, {"slots", std::move(slots)}}; };
    const std::vector<Refusal> table{
        {{{"genre", "Rock"}, {"noKey", true}}, "invalid_request", "Manual-key local generation requires a key"},
        {{{"genre", ""}}, "invalid_request", "genre must be a non-empty string"},
        {{{"genre", 7}, {"length", 5}}, "invalid_request", "genre must be a non-empty string"},
        {{{"length", 5}}, "invalid_request", "length must be 4, 6, or 8"},
        {{{"length", 4.0}}, "invalid_request", "length must be an integer"},
        {{{"length", "4"}}, "invalid_request", "length must be an integer"},
        {{{"length", 4294967300ULL}}, "invalid_request", "length must be 4, 6, or 8"},
        {{{"length", -4}, {"temperature", "x"}}, "invalid_request", "length must be 4, 6, or 8"},
        {{{"temperature", 1.5}}, "invalid_request", "temperature must be between 0 and 1"},
        {{{"temperature", -0.01}}, "invalid_request", "temperature must be between 0 and 1"},
        {{{"temperature", 1e300}}, "invalid_request", "temperature must be between 0 and 1"},
        {{{"temperature", "0.5"}}, "invalid_request", "temperature must be a number"},
        {{{"temperature", true}}, "invalid_request", "temperature must be a number"},
        {{{"modeFamily", 3}, {"debug_trace", "x"}}, "invalid_request", "modeFamily must be a string"},
        {{{"subcategory", json::array()}}, "invalid_request", "subcategory must be a string"},
        {{{"debug_trace", "yes"}, {"debug_sequence_index", -1}}, "invalid_request", "debug_trace must be a boolean"},
        {{{"debug_sequential", 1}}, "invalid_request", "debug_sequential must be a boolean"},
        {{{"debug_sequence_index", -1}}, "invalid_request", "debug_sequence_index must be a non-negative integer"},
        {{{"debug_sequence_index", 1.5}}, "invalid_request", "debug_sequence_index must be a non-negative integer"},
        {{{"debug_sequence_index", 4294967300ULL}},
         "invalid_request",
         "debug_sequence_index must be a non-negative integer"},
        {{{"debug_sequence_index", "2"}}, "invalid_request", "debug_sequence_index must be a non-negative integer"},
        {{{"auto_key", "true"}}, "invalid_request", "auto_key must be a boolean"},
        {{{"key", "C"}}, "invalid_request", "Manual-key local generation requires a key"},
        {{{"key", {{"root", "C"}}}}, "invalid_request", "Manual-key local generation requires key root and mode"},
        {{{"key", {{"root", 0}, {"mode", "major"}}}},
         "invalid_request",
         "Manual-key local generation requires key root and mode"},
        {{{"key", {{"root", "H"}, {"mode", "major"}}}}, "invalid_request", "Invalid key root: H"},
        {{{"key", {{"root", "C"}, {"mode", "dorian"}}}}, "invalid_request", "Invalid key mode: dorian"},
        {{{"key", {{"root", "C"}, {"mode", "minor"}, {"minorScaleType", "harmonic"}}}},
         "invalid_request",
         "Key minorScaleType must be natural or melodic"},
        {{{"key", {{"root", "C"}, {"mode", "major"}, {"minorScaleType", "melodic"}}}},
         "invalid_request",
         "Key major mode requires natural minorScaleType"},
        {{{"auto_key", true}, {"key", kManualKey}},
         "invalid_request",
         "Auto-key local generation does not accept a fixed key"},
        {{{"auto_key", true}, {"debug_key_root", "D"}},
         "invalid_request",
         "debug_key_root requires sequential debug generation"},
        {{{"auto_key", true}, {"debug_sequential", true}, {"debug_key_root", "H"}},
         "invalid_request",
         "Invalid debug_key_root"},
        {{{"auto_key", true}, {"debug_sequential", true}, {"debug_key_root", 2}},
         "invalid_request",
         "Invalid debug_key_root"},
        {{{"spellingPreference", "weird"}, {"simplifyAccidentals", 1}},
         "invalid_request",
         "Invalid spellingPreference: weird"},
        {{{"spellingPreference", 1}},
         "invalid_request",
         "Invalid spellingPreference: expected \"fifths\", \"flats\", or \"sharps\""},
        {{{"simplifyAccidentals", "no"}}, "invalid_request", "Invalid simplifyAccidentals: expected boolean"},
        {{{"lockContext", json::object()}}, "invalid_lock_context", "Invalid local generation lock context"},
        {{{"lockContext", "x"}}, "invalid_lock_context", "Invalid local generation lock context"},
        {{{"lockContext", locks(json::array())}}, "invalid_lock_context", "Invalid local generation lock context"},
        {{{"lockContext", {{"slots", {{{"index", 0}, {"type", "rest"}}}}}}},
         "invalid_lock_context",
         "Invalid local generation lock context"},
        {{{"lockContext",
           {{"sourceKey", {{"root", "H"}, {"mode", "major"}}}, {"slots", {{{"index", 0}, {"type", "rest"}}}}}}},
         "invalid_lock_context",
         "Invalid lock source key"},
        {{{"lockContext",
           {{"sourceKey", {{"root", "C"}, {"mode", "lydian"}}}, {"slots", {{{"index", 0}, {"type", "rest"}}}}}}},
         "invalid_lock_context",
         "Invalid lock source key"},
        {{{"lockContext", {{"sourceKey", {{"root", "C"}}}, {"slots", {{{"index", 0}, {"type", "rest"}}}}}}},
         "invalid_lock_context",
         "Invalid lock source key"},
        {{{"lockContext",
           {{"sourceKey", {{"root", "C"}, {"mode", "major"}, {"minorScaleType", "melodic"}}},
            {"slots", {{{"index", 0}, {"type", "rest"}}}}}}},
         "invalid_lock_context",
         "Lock source key major mode requires natural minorScaleType"},
        {{{"lockContext", locks({{{"index", -1}, {"type", "rest"}}})}}, "invalid_lock_context", slotMessage},
        {{{"lockContext", locks({{{"index", 1.0}, {"type", "rest"}}})}}, "invalid_lock_context", slotMessage},
        {{{"lockContext", locks({{{"index", "1"}, {"type", "rest"}}})}}, "invalid_lock_context", slotMessage},
        {{{"lockContext", locks({{{"index", 1}}})}}, "invalid_lock_context", slotMessage},
        {{{"lockContext", locks({3})}}, "invalid_lock_context", slotMessage},
        {{{"lockContext", locks({{{"index", 2}, {"type", "rest"}}, {{"index", 2}, {"type", "rest"}}})}},
         "invalid_lock_context",
         "Local generation locked slot indices must be unique and ascending"},
        {{{"lockContext", locks({{{"index", 3}, {"type", "rest"}}, {{"index", 1}, {"type", "rest"}}})}},
         "invalid_lock_context",
         "Local generation locked slot indices must be unique and ascending"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "rest"}, {"symbol", ""}}})}},
         "invalid_lock_context",
         "Locked rest must not contain a chord symbol"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "Chord"}, {"symbol", "C"}}})}},
         "invalid_lock_context",
         "Locked chord is missing its authored symbol"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "chord"}}})}},
         "invalid_lock_context",
         "Locked chord is missing its authored symbol"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "chord"}, {"symbol", 5}}})}},
         "invalid_lock_context",
         "Locked chord is missing its authored symbol"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "chord"}, {"symbol", "Xyz"}}})}},
         "invalid_lock_context",
         "Invalid locked chord symbol: Xyz"},
        {{{"lockContext", locks({{{"index", 1}, {"type", "chord"}, {"symbol", " Dm7"}}})}},
         "invalid_lock_context",
         "Locked chord root placement could not be resolved:  Dm7"},
    };
    for (const Refusal& row : table) {
        json request = withKey(row.request);
        request["request_id"] = "r1";
        const BridgeReply reply = handleGenerateLocalProgression(request);
        EXPECT_EQ(reply.type, "local_progression_error") << row.request.dump();
        EXPECT_EQ(reply.payload,
                  (json{{"code", row.code}, {"error", row.message}, {"message", row.message}, {"request_id", "r1"}}))
            << row.request.dump();
    }
    // An empty payload passes every field check and stops at the missing key.
    EXPECT_EQ(handleGenerateLocalProgression(json::object()).payload.at("message"),
              "Manual-key local generation requires a key");
    EXPECT_TRUE(recentProgressionsForTesting().empty());
}

TEST_F(LocalProgressionRequest, CorpusAbsenceIsReportedOnlyAfterTheRequestIsValid) {
    const ProgressionCorpus noCorpus;
    const ChordTransitionModel noModel;
    const BridgeReply missing = handleGenerateLocalProgression(withKey({}), noCorpus, noModel);
    EXPECT_EQ(missing.payload, (json{{"code", "corpus_unavailable"},
                                     {"error", "The progression corpora failed to initialize"},
                                     {"message", "The progression corpora failed to initialize"}}));
    EXPECT_EQ(handleGenerateLocalProgression({{"length", 5}}, noCorpus, noModel).payload.at("code"), "invalid_request");
}

TEST_F(LocalProgressionRequest, APayloadThatIsNotAnObjectRaisesTheLibraryError) {
    for (const json& payload : {json::array(), json("x"), json(nullptr), json(3)}) {
        EXPECT_THROW(handleGenerateLocalProgression(payload), json::type_error) << payload.dump();
    }
}

TEST_F(LocalProgressionRequest, AResultCarriesTheSourceTagsTheKeyAndTheTraceOnlyWhenAsked) {
    const json request{{"genre", "Jazz + Neo Soul"},
                       {"length", 6},
                       {"key", {{"root", "Eb"}, {"mode", "major"}}},
                       {"request_id", "abc"},
                       {"debug_sequential", true}};
    const BridgeReply reply = handleGenerateLocalProgression(request);
    ASSERT_EQ(reply.type, "local_progression_result") << reply.payload.dump();
    const json& p = reply.payload;
    EXPECT_EQ(p.at("genre"), "Jazz + Neo Soul");
    EXPECT_EQ(p.at("length"), 6);
    EXPECT_EQ(p.at("request_id"), "abc");
    EXPECT_EQ(p.at("key"), (json{{"root", "Eb"}, {"mode", "major"}, {"minorScaleType", "natural"}}));
    EXPECT_TRUE(p.at("modeFamily").is_string());
    EXPECT_FALSE(p.contains("corpus"));
    EXPECT_TRUE(testing::pageOk(reply.type, p));
    for (const json& item : p.at("items")) {
        EXPECT_EQ(item.at("type"), "chord");
        for (const char* key : {"symbol", "original", "root", "quality", "roman", "degree", "category", "intervals"}) {
            EXPECT_TRUE(item.at("chord").contains(key)) << key;
        }
    }

    json traced = request;
    traced["debug_trace"] = true;
    const json corpus = handleGenerateLocalProgression(traced).payload.at("corpus");
    EXPECT_EQ(corpus.at("candidateNumber"), corpus.at("candidateIndex").get<int>() + 1);
    EXPECT_EQ(corpus.at("sourceNumber"), corpus.at("sourceIndex").get<int>() + 1);
    EXPECT_EQ(corpus.at("poolNumber"), corpus.at("poolIndex").get<int>() + 1);
    EXPECT_EQ(corpus.at("sequential"), true);
    EXPECT_EQ(corpus.at("selectedRoman").size(), 6u);
}

TEST_F(LocalProgressionRequest, AnUnknownGenreRunsOutOfAttempts) {
    const BridgeReply reply = handleGenerateLocalProgression(withKey({{"genre", "Blues"}}));
    EXPECT_EQ(reply.payload,
              (json{{"error", "Could not generate progression"}, {"message", "Could not generate progression"}}));
}

TEST_F(LocalProgressionRequest, AnUnresolvableTokenNamesItWithTheStyleAndLength) {
    const testing::GenerationFixture f("popedm", 4, {testing::makeSource({"I", "Xq", "V", "I"})},
                                       {{"I", {{"V", 1.0f}}}});
    const json request = withKey({{"debug_trace", true}, {"request_id", "t"}});
    const BridgeReply reply = handleGenerateLocalProgression(request, f.corpus, f.model);
    EXPECT_EQ(reply.type, "local_progression_error");
    EXPECT_EQ(reply.payload.at("message"), "Local progression corpus contains an unsupported roman token");
    EXPECT_EQ(reply.payload.at("error"), reply.payload.at("message"));
    EXPECT_EQ(reply.payload.at("invalid_token"), "Xq");
    EXPECT_EQ(reply.payload.at("genre"), "Pop + EDM");
    EXPECT_EQ(reply.payload.at("length"), 4);
    EXPECT_EQ(reply.payload.at("request_id"), "t");
    EXPECT_EQ(reply.payload.at("corpus").at("selectedRoman"), (json{"I", "Xq", "V", "I"}));
    EXPECT_FALSE(reply.payload.contains("code"));
    EXPECT_TRUE(recentProgressionsForTesting().empty());
}

// Chord symbols of a reply, "-" for a rest.
std::vector<std::string> symbols(const json& payload) {
    std::vector<std::string> out;
    for (const json& item : payload.at("items")) {
        out.push_back(item.at("type") == "rest" ? "-" : item.at("chord").at("symbol").get<std::string>());
    }
    return out;
}

TEST_F(LocalProgressionRequest, LocksReplaceInsertAndAppendAroundTheGeneratedChords) {
    const json base{{"genre", "Rock"}, {"key", {{"root", "D"}, {"mode", "major"}}}, {"debug_sequential", true}};
    const std::vector<std::string> plain = symbols(handleGenerateLocalProgression(base).payload);
    ASSERT_EQ(plain.size(), 4u);
    const auto locked = [&](json slots) {
        clearRecentProgressionsForTesting();
        json request = base;
        request["lockContext"] = {{"sourceKey", {{"root", "D"}, {"mode", "major"}}}, {"slots", std::move(slots)}};
        return symbols(handleGenerateLocalProgression(request).payload);
    };
    EXPECT_EQ(locked({{{"index", 1}, {"type", "rest"}}}),
              (std::vector<std::string>{plain[0], "-", plain[1], plain[2], plain[3]}));
    EXPECT_EQ(locked({{{"index", 2}, {"type", "chord"}, {"symbol", "F#m7"}}}),
              (std::vector<std::string>{plain[0], plain[1], "F#m7", plain[3]}));
    EXPECT_EQ(locked({{{"index", 0}, {"type", "chord"}, {"symbol", "Bm"}},
                      {{"index", 9}, {"type", "rest"}},
                      {{"index", 12}, {"type", "chord"}, {"symbol", "G/B"}}}),
              (std::vector<std::string>{"Bm", plain[1], plain[2], plain[3], "-", "G/B"}));
}

TEST_F(LocalProgressionRequest, UntransposedLocksKeepTheUsersSpellingAndMovedOnesFollowTheirDegree) {
    const auto lockedIn = [](const char* root, const char* symbol) {
        clearRecentProgressionsForTesting();
        const json request{{"genre", "Classical"},
                           {"key", {{"root", root}, {"mode", "major"}}},
                           {"spellingPreference", "sharps"},
                           {"debug_sequential", true},
                           {"lockContext",
                            {{"sourceKey", {{"root", "Bb"}, {"mode", "major"}}},
                             {"slots", {{{"index", 0}, {"type", "chord"}, {"symbol", symbol}}}}}}};
        return handleGenerateLocalProgression(request).payload.at("items").at(0).at("chord");
    };
    const json same = lockedIn("A#", "Bbmaj7");
    EXPECT_EQ(same.at("symbol"), "Bbmaj7");
    EXPECT_EQ(same.at("root"), "Bb");
    const json moved = lockedIn("C", "Ebmaj7/G");
    EXPECT_EQ(moved.at("symbol"), "Fmaj7/A");
    EXPECT_EQ(moved.at("roman"), "IVmaj7/A");
    EXPECT_EQ(moved.at("bass"), "A");
    EXPECT_EQ(moved.at("degree"), 4);
}

TEST_F(LocalProgressionRequest, AutoKeyWithALockedChordTakesTheInferredKey) {
    json request{{"genre", "Pop + EDM"}, {"auto_key", true}, {"debug_sequential", true}, {"debug_key_root", "E"}};
    const json unlocked = handleGenerateLocalProgression(request).payload;
    clearRecentProgressionsForTesting();
    request["lockContext"] = {{"sourceKey", {{"root", "E"}, {"mode", "major"}}},
                              {"slots", {{{"index", 7}, {"type", "chord"}, {"symbol", "Emaj7"}}}}};
    const json locked = handleGenerateLocalProgression(request).payload;
    EXPECT_EQ(locked.at("key"), unlocked.at("key"));  // the generated chords already imply E
    EXPECT_EQ(symbols(locked).back(), "Emaj7");
    EXPECT_EQ(unlocked.at("key").at("root"), "E");
}

TEST_F(LocalProgressionRequest, HistoryKeepsTenMovesRepeatsToTheFrontAndAcceptsTheTwelfthAttempt) {
    const auto ask = [](int index) {
        return handleGenerateLocalProgression({{"genre", "Rock"},
                                               {"length", 8},
                                               {"key", {{"root", "G"}, {"mode", "major"}}},
                                               {"temperature", 0},
                                               {"debug_sequential", true},
                                               {"debug_sequence_index", index}});
    };
    std::vector<std::string> order;
    for (int i = 0; i < 11; ++i) {
        ASSERT_EQ(ask(i).type, "local_progression_result");
        order.insert(order.begin(), recentProgressionsForTesting().front());
    }
    std::vector<std::string> expected(order.begin(), order.begin() + 10);
    EXPECT_EQ(recentProgressionsForTesting(), expected);  // the first one is forgotten
    // Sequential repeats are recent on every attempt; the last attempt is still accepted.
    ASSERT_EQ(ask(5).type, "local_progression_result");
    const std::vector<std::string> history = recentProgressionsForTesting();
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), order[10 - 5]);
    EXPECT_EQ(std::count(history.begin(), history.end(), history.front()), 1);

    rememberProgressionSignature("");
    EXPECT_FALSE(isRecentProgression(""));
    EXPECT_EQ(recentProgressionsForTesting(), history);
}

TEST_F(LocalProgressionRequest, SignaturesAreLowerCaseRootQualityAndBass) {
    LocalGenerationResult result;
    result.items = {{0, "maj7", std::nullopt, "Imaj7"}, {7, "7", 11, "V7/VII"}, {2, "M7", std::nullopt, "II"}};
    EXPECT_EQ(makeProgressionSignature(result), "0:maj7:-|7:7:11|2:m7:-");
    EXPECT_EQ(makeProgressionSignature(LocalGenerationResult{}), "");
}

TEST_F(LocalProgressionRequest, AutoKeyRootsComeFromTheSeededProcessGenerator) {
    std::vector<json> first;
    seedAutoKeyRootGeneratorForTesting(17u);
    for (int i = 0; i < 6; ++i) first.push_back(handleGenerateLocalProgression({{"auto_key", true}}).payload.at("key"));
    seedAutoKeyRootGeneratorForTesting(17u);
    std::set<std::string> roots;
    for (int i = 0; i < 6; ++i) {
        // The same roots again; modes and sources come from the device-seeded walk.
        const json key = handleGenerateLocalProgression({{"auto_key", true}}).payload.at("key");
        EXPECT_EQ(parseKeyRoot(key.at("root").get<std::string>()),
                  parseKeyRoot(first[i].at("root").get<std::string>()));
        roots.insert(key.at("root"));
    }
    EXPECT_GT(roots.size(), 1u);
    seedAutoKeyRootGeneratorForTesting(std::nullopt);
}

#ifdef QUILLEX_SANITIZED
constexpr int kFuzzRuns = 2000;
#else
constexpr int kFuzzRuns = 20000;
#endif

// Payloads built from valid and invalid values of every field.
json mutatedPayload(std::mt19937& random) {
    static const std::vector<std::pair<const char*, std::vector<json>>> fields{
        {"genre", {"Pop + EDM", "rock", "", 3, "Blues", "Modal Colors: Dark & Exotic", nullptr}},
        {"length", {4, 6, 8, 5, 4.0, -1, 4294967300ULL, "6", nullptr}},
        {"temperature", {0, 0.25, 1, 1.5, -0.5, "0.5", 1e300, false}},
        {"modeFamily", {"ionian", "phrygian", "dorian", 3, ""}},
        {"subcategory", {"chorus", "vamp", "", json::array()}},
        {"debug_trace", {true, false, "yes"}},
        {"debug_sequential", {true, false, 0}},
        {"debug_sequence_index", {0, 3, 500, -2, 2.5, "1", 9999999999LL}},
        {"auto_key", {true, false, "true"}},
        {"key",
         {json{{"root", "Eb"}, {"mode", "minor"}, {"minorScaleType", "melodic"}},
          json{{"root", "F#"}, {"mode", "major"}}, json{{"root", "x"}, {"mode", "major"}}, json{{"root", "C"}}, "C"}},
        {"debug_key_root", {"Bb", "H", 4}},
        {"spellingPreference", {"flats", "sharps", "fifths", "odd", 2}},
        {"simplifyAccidentals", {true, false, "no"}},
        {"request_id", {"id", 7}},
        {"lockContext",
         {json{{"sourceKey", {{"root", "C"}, {"mode", "major"}}},
               {"slots", {{{"index", 1}, {"type", "chord"}, {"symbol", "Am7"}}, {{"index", 3}, {"type", "rest"}}}}},
          json{{"sourceKey", {{"root", "A"}, {"mode", "minor"}}},
               {"slots", {{{"index", 20}, {"type", "chord"}, {"symbol", "F/A"}}}}},
          json{{"sourceKey", {{"root", "C"}, {"mode", "major"}}},
               {"slots", {{{"index", 1}, {"type", "chord"}, {"symbol", "Q"}}}}},
          json{{"slots", json::array()}}, 7}},
    };
    json payload = json::object();
    for (const auto& [key, values] : fields) {
        if (random() % 3 == 0) payload[key] = values[random() % values.size()];
    }
    return payload;
}

TEST_F(LocalProgressionRequest, MutatedPayloadsAreAnsweredWithAListedTypeAndCode) {
    const std::set<std::string> codes{"invalid_request", "invalid_lock_context", "generation_finalization_failed",
                                      "generation_display_failed"};
    const std::set<std::string> uncoded{"Could not generate progression", "Could not serialize generated key"};
    std::mt19937 random(20261207u);
    int results = 0;
    for (int run = 0; run < kFuzzRuns; ++run) {
        const json payload = mutatedPayload(random);
        const std::vector<std::string> before = recentProgressionsForTesting();
        BridgeReply reply;
        ASSERT_NO_THROW(reply = handleGenerateLocalProgression(payload)) << payload.dump();
        if (reply.type == "local_progression_result") {
            ++results;
            continue;
        }
        ASSERT_EQ(reply.type, "local_progression_error") << payload.dump();
        EXPECT_EQ(recentProgressionsForTesting(), before) << payload.dump();
        if (reply.payload.contains("code")) {
            EXPECT_TRUE(codes.count(reply.payload.at("code"))) << reply.payload.dump();
        } else {
            EXPECT_TRUE(uncoded.count(reply.payload.at("message"))) << reply.payload.dump();
        }
    }
    EXPECT_GT(results, kFuzzRuns / 100);
}

}  // namespace
}  // namespace quillex
