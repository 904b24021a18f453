// Bounded seeded fuzzing of the progression voicing request: replies or JSON errors, never a crash.
#include "voicing/progression_voicing_request.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kRounds = 150;
#else
constexpr int kRounds = 600;
#endif

json pick(std::mt19937& rng) {
    static const json pool[] = {0,
                                1,
                                -1,
                                3,
                                12,
                                127,
                                128,
                                -129,
                                std::numeric_limits<std::int32_t>::max(),
                                std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::int64_t>::max(),
                                1e300,
                                -1e300,
                                2.5,
                                true,
                                false,
                                nullptr,
                                "",
                                "C",
                                "closed",
                                "anthem",
                                "pop",
                                json::array(),
                                json::array({60, 64, 67}),
                                json::array({-1000, 5000, 64}),
                                json::object()};
    return pool[rng() % std::size(pool)];
}

json randomSlot(std::mt19937& rng) {
    static const char* chords[] = {"C", "Am7", "G13", "F#m7b5", "Bb/D", "E7#9", "Xq", "", "Dbmaj9#11", "C/F#"};
    static const char* styles[] = {"closed", "shell", "anthem", "split", "guide-color", "tessaro", "drop2-4", "Closed"};
    json slot = {{"chord", chords[rng() % std::size(chords)]}, {"style", styles[rng() % std::size(styles)]}};
    static const char* keys[] = {"octave",      "inversion", "drop_bass",  "octave_shift",
                                 "manual_midi", "notes",     "auto_voiced"};
    for (const char* key : keys) {
        if (rng() % 3 == 0) slot[key] = pick(rng);
    }
    return slot;
}

json randomRequest(std::mt19937& rng) {
    json request = {{"slots", json::array()}, {"key", {{"root", rng() % 6 == 0 ? "H" : "Eb"}}}};
    const int slots = static_cast<int>(rng() % 5);
    for (int i = 0; i < slots; ++i) request["slots"].push_back(randomSlot(rng));
    static const char* keys[] = {"auto_voice_lead",
                                 "allow_bass_changes",
                                 "include_avl_debug",
                                 "semitone_transpose",
                                 "simplifyAccidentals",
                                 "spellingPreference",
                                 "source",
                                 "request_id",
                                 "fingerprint"};
    for (const char* key : keys) {
        if (rng() % 3 == 0) request[key] = pick(rng);
    }
    if (rng() % 2 == 0) request["auto_voice_lead"] = true;
    return request;
}

void serve(const json& request) {
    try {
        const BridgeReply reply = handleGenerateProgression(request);
        EXPECT_TRUE(reply.type == "progression_voicings" || reply.type == "progression_error");
        EXPECT_TRUE(reply.payload.is_object());
        if (reply.type == "progression_voicings") {
            for (const json& voicing : reply.payload["voicings"]) {
                const json& notes = voicing.is_object() ? voicing["notes"] : voicing;
                for (const json& note : notes) {
                    EXPECT_GE(note.get<int>(), 0);
                    EXPECT_LE(note.get<int>(), 127);
                }
            }
        }
    } catch (const json::exception&) {
        // A key of the wrong JSON type: the bridge answers for it.
    } catch (const std::runtime_error&) {
        // A style without a plan for the chord: the bridge answers for it.
    }
    EXPECT_FALSE(isAvlDebugEnabled());
}

TEST(ProgressionRequestFuzz, StructuredRequestsNeverCrash) {
    std::mt19937 rng(1234);
    for (int round = 0; round < kRounds; ++round) serve(randomRequest(rng));
}

TEST(ProgressionRequestFuzz, MutatedRequestTextsNeverCrash) {
    std::mt19937 rng(4321);
    const std::string seed =
        R"({"slots":[{"chord":"Cmaj7","style":"tessaro","octave":4},{"chord":"A7","style":"tessaro","manual_midi":[57,61,64,67],"auto_voiced":false},{"chord":"Dm9","style":"tessaro"}],"key":{"root":"C","mode":"minor","minorScaleType":"melodic"},"auto_voice_lead":true,"semitone_transpose":-3,"include_avl_debug":true})";
    for (int round = 0; round < kRounds; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text[at] = static_cast<char>(32 + rng() % 95);
                    break;
                case 1:
                    text.erase(at, 1);
                    break;
                default:
                    text.insert(at, 1, "0123456789-.[]{}\",:"[rng() % 19]);
                    break;
            }
        }
        json request;
        try {
            request = parseJsonText(text);
        } catch (const json::exception&) {
            continue;
        }
        serve(request);
    }
}

}  // namespace
}  // namespace quillex
