// Tests of the "generate_voicing" request handler.
#include "voicing/generate_voicing_request.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>
#include <stdexcept>

namespace quillex {
namespace {

using json = nlohmann::json;

json notesOf(const BridgeReply& reply) { return reply.payload.at("notes"); }

TEST(GenerateVoicingReply, PlainChordGivesNotesAndInversionCount) {
    const BridgeReply reply = handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}});
    EXPECT_EQ(reply.type, "voicing_result");
    EXPECT_EQ(reply.payload,
              (json{{"chord", "C"}, {"style", "closed"}, {"notes", {60, 64, 67}}, {"max_manual_inversion", 3}}));
}

TEST(GenerateVoicingReply, EchoesChordAndStyleAsSent) {
    const BridgeReply reply = handleGenerateVoicing(json{{"chord", "  Cmaj7 "}, {"style", "pop"}});
    EXPECT_EQ(reply.type, "voicing_result");
    EXPECT_EQ(reply.payload.at("chord"), "  Cmaj7 ");
    EXPECT_EQ(reply.payload.at("style"), "pop");
    EXPECT_EQ(reply.payload.size(), 4u);
}

TEST(GenerateVoicingReply, OctaveAndShiftAreClamped) {
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"octave", 9}})),
              (json{96, 100, 103}));
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"octave", -2}})),
              (json{12, 16, 19}));
    EXPECT_EQ(
        notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"octave", 2}, {"octave_shift", 6}})),
        (json{84, 88, 91}));
    EXPECT_EQ(notesOf(handleGenerateVoicing(
                  json{{"chord", "C"}, {"style", "closed"}, {"octave", 1e20}, {"octave_shift", -1e300}})),
              (json{48, 52, 55}));
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"octave", 2.9}})),
              (json{36, 40, 43}));
}

TEST(GenerateVoicingReply, OptionsReachTheVoicing) {
    const BridgeReply reply =
        handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"inversion", 1}, {"drop_bass", true}});
    EXPECT_EQ(notesOf(reply), (json{52, 67, 72}));
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C/E"}, {"style", "closed"}})), (json{64, 67, 72}));
}

TEST(GenerateVoicingReply, TransposesTheVoicing) {
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"semitone_transpose", 12}})),
              (json{72, 76, 79}));
    EXPECT_EQ(notesOf(handleGenerateVoicing(json{{"chord", "C"}, {"style", "closed"}, {"semitone_transpose", 100}})),
              (json{108, 112, 115}));
    const BridgeReply d = handleGenerateVoicing(json{{"chord", "D"}, {"style", "closed"}, {"semitone_transpose", 2}});
    EXPECT_EQ(notesOf(d), (json{62, 66, 69}));
    // The inversion count is that of the chord as parsed.
    EXPECT_EQ(d.payload.at("max_manual_inversion"), 3);
}

TEST(GenerateVoicingErrors, MissingOrInvalidChordOrStyle) {
    const json missing{{"type", "voicing_error"}};
    auto expectError = [](const json& request, const char* message) {
        const BridgeReply reply = handleGenerateVoicing(request);
        EXPECT_EQ(reply.type, "voicing_error") << request.dump();
        EXPECT_EQ(reply.payload, (json{{"message", message}})) << request.dump();
    };
    expectError(json{{"chord", "C"}}, "Missing chord or style");
    expectError(json{{"style", "closed"}}, "Missing chord or style");
    expectError(json::array({"C", "closed"}), "Missing chord or style");
    expectError(json("C"), "Missing chord or style");
    expectError(json{{"chord", ""}, {"style", "closed"}}, "Invalid chord or style");
    expectError(json{{"chord", "C"}, {"style", "Closed"}}, "Invalid chord or style");
    expectError(json{{"chord", "Cxyz"}, {"style", "closed"}}, "Invalid chord or style");
    // A bad transposition is read only after the chord and style are accepted.
    expectError(json{{"chord", "H"}, {"style", "closed"}, {"semitone_transpose", "x"}}, "Invalid chord or style");
}

TEST(GenerateVoicingErrors, WrongJsonTypesLeaveTheHandler) {
    const json wrong[] = {
        json{{"chord", 1}, {"style", "closed"}},
        json{{"chord", "C"}, {"style", nullptr}},
        json{{"chord", "C"}, {"style", "closed"}, {"octave", "4"}},
        json{{"chord", "C"}, {"style", "closed"}, {"inversion", json::array()}},
        json{{"chord", "C"}, {"style", "closed"}, {"drop_bass", 1}},
        json{{"chord", "C"}, {"style", "closed"}, {"octave_shift", "1"}},
        json{{"chord", "C"}, {"style", "closed"}, {"semitone_transpose", "3"}},
    };
    for (const json& request : wrong) {
        EXPECT_THROW(handleGenerateVoicing(request), json::type_error) << request.dump();
    }
}

// Random requests built from mutated chord and style texts and odd numbers:
// the handler answers or raises only the JSON type error.
TEST(GenerateVoicingFuzz, MutatedRequestsNeverMisbehave) {
    std::mt19937 rng(20261207);
    const std::vector<std::string> chords{"C", "F#m7b5", "Bbmaj9#11", "E13/G#", "Abdim7", "D7sus4", "G/B", "Csus2"};
    const std::vector<std::string> styles{"closed", "shell", "pop", "drop2-4", "guide-color", "tessaro"};
    const std::string alphabet = "ABCDEFGb#/m7913+-()susaddmajdimΔø° ";
    const json numbers[] = {0, -1, 1, 4, 7, 99, -99, 2.5, -1e300, 1e300, true, false, INT64_MIN, UINT64_MAX};
    for (int iteration = 0; iteration < 4000; ++iteration) {
        std::string chord = chords[rng() % chords.size()];
        for (int m = static_cast<int>(rng() % 4); m > 0; --m) {
            const std::size_t at = chord.empty() ? 0 : rng() % (chord.size() + 1);
            switch (rng() % 3) {
                case 0:
                    chord.insert(at, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 1:
                    if (at < chord.size()) chord.erase(at, 1);
                    break;
                default:
                    if (at < chord.size()) chord[at] = static_cast<char>(rng() % 256);
                    break;
            }
        }
        json request{{"chord", chord}, {"style", styles[rng() % styles.size()]}};
        for (const char* key : {"octave", "inversion", "octave_shift", "semitone_transpose"}) {
            if (rng() % 2) request[key] = numbers[rng() % std::size(numbers)];
        }
        if (rng() % 2) request["drop_bass"] = (rng() % 2) == 0;
        try {
            const BridgeReply reply = handleGenerateVoicing(request);
            if (reply.type == "voicing_result") {
                for (const json& n : reply.payload.at("notes")) {
                    ASSERT_GE(n.get<int>(), 0);
                    ASSERT_LE(n.get<int>(), 127);
                }
                ASSERT_GE(reply.payload.at("max_manual_inversion").get<int>(), 1);
            } else {
                ASSERT_EQ(reply.type, "voicing_error");
            }
        } catch (const json::type_error&) {
            ADD_FAILURE() << "unexpected type error for " << request.dump();
        } catch (const std::runtime_error& e) {
            ASSERT_STREQ(e.what(), "No descriptor-based voicing plan available for style") << request.dump();
        }
    }
}

}  // namespace
}  // namespace quillex
