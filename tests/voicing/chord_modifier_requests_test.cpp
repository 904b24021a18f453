// Chord-modifier requests: listing, applying, voicing and every error reply.
#include "voicing/chord_modifier_requests.h"

#include <gtest/gtest.h>

#include "support/page_reply.h"
#include "theory/chord_modifier.h"

namespace quillex {
namespace {

using nlohmann::json;

json available(const json& request) {
    const BridgeReply reply = handleGetAvailableModifiers(request);
    EXPECT_EQ(reply.type, "available_modifiers");
    return reply.payload;
}

json applied(const json& request) {
    const BridgeReply reply = handleApplyModifiers(request);
    EXPECT_EQ(reply.type, "modified_chord");
    return reply.payload;
}

TEST(AvailableModifiersRequest, ErrorRepliesEchoTheRequestId) {
    EXPECT_EQ(available(json{{"request_id", "a"}}), (json{{"error", "Missing chord"}, {"request_id", "a"}}));
    EXPECT_EQ(available(json::array()), (json{{"error", "Missing chord"}}));
    EXPECT_EQ(available(json{{"chord", "xyz"}, {"request_id", "b"}}),
              (json{{"error", "Invalid chord: xyz"}, {"request_id", "b"}}));
    EXPECT_FALSE(testing::pageOk("available_modifiers", available(json{{"chord", "xyz"}})));

    // A bad "selected" element is answered in the reply, after the chord parsed.
    const std::string typeError = testing::libraryTypeErrorText<std::string>(json(3));
    EXPECT_EQ(available(json{{"chord", "C"}, {"selected", {3}}, {"request_id", "c"}}),
              (json{{"error", "Exception: " + typeError}, {"request_id", "c"}}));
    EXPECT_EQ(available(json{{"chord", "C"}, {"voicingStyle", 1}})["error"],
              "Exception: " + testing::libraryTypeErrorText<std::string>(json(1)));
    // A chord of the wrong type leaves the handler.
    EXPECT_THROW(handleGetAvailableModifiers(json{{"chord", 1}}), json::type_error);
}

// The selection is a set: order, repeats and unknown ids do not change the
// answer, so a list of any length costs one pass.
TEST(AvailableModifiersRequest, SelectionIsReadAsASet) {
    const json base = {{"chord", "Cm7"}, {"voicingStyle", "split"}};
    json plain = base;
    plain["selected"] = {"third-minor", "seventh-flat7"};
    const json expected = available(plain);
    json reordered = base;
    reordered["selected"] = {"seventh-flat7", "bogus", "third-minor"};
    EXPECT_EQ(available(reordered), expected);
    json huge = base;
    huge["selected"] = json::array();
    for (int i = 0; i < 100000; ++i)
        huge["selected"].push_back(i % 3 == 0 ? "third-minor" : i % 3 == 1 ? "x" : "seventh-flat7");
    EXPECT_EQ(available(huge), expected);
    // Nothing known selected: the chord's own modifiers stand in, as for an empty list.
    json unknown = base;
    unknown["selected"] = {"bogus"};
    json empty = base;
    empty["selected"] = json::array();
    EXPECT_EQ(available(unknown), available(empty));
}

TEST(AvailableModifiersRequest, ListsEveryModifierAndTheChordsOwnState) {
    const json payload = available(json{{"chord", "C/E"}, {"voicingStyle", "closed"}});
    ASSERT_EQ(payload["modifiers"].size(), 24u);
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(payload["modifiers"][i]["id"], std::string(modifierDefinitions()[i].id));
        EXPECT_EQ(payload["modifiers"][i]["label"], std::string(modifierDefinitions()[i].label));
    }
    const auto active = payload["active"].get<std::vector<std::string>>();
    EXPECT_NE(std::find(active.begin(), active.end(), "slash"), active.end());
    for (const json& id : payload["causesVoicingChange"]) EXPECT_NE(id, "slash");
    EXPECT_FALSE(payload.contains("request_id"));
}

TEST(AvailableModifiersRequest, VoicingChangeNeedsARecognisedStyle) {
    for (const json& request : {json{{"chord", "C7"}}, json{{"chord", "C7"}, {"voicingStyle", ""}},
                                json{{"chord", "C7"}, {"voicingStyle", "Closed"}}}) {
        EXPECT_EQ(available(request)["causesVoicingChange"], json::array());
    }
    // Split is offered only for three or more intervals, so thinning a triad
    // to two notes takes it out of the split style.
    const json split = available(json{{"chord", "C"}, {"voicingStyle", "drop2-4"}});
    const json anthem = available(json{{"chord", "C"}, {"voicingStyle", "pop"}});
    const json closed = available(json{{"chord", "C"}, {"voicingStyle", "closed"}});
    EXPECT_EQ(closed["causesVoicingChange"], json::array());
    EXPECT_EQ(anthem["causesVoicingChange"], json::array());
    const auto disabled = split["disabled"].get<std::vector<std::string>>();
    const auto active = split["active"].get<std::vector<std::string>>();
    for (const json& id : split["causesVoicingChange"]) {
        EXPECT_EQ(std::find(disabled.begin(), disabled.end(), id), disabled.end());
        EXPECT_EQ(std::find(active.begin(), active.end(), id), active.end());
    }
}

TEST(ApplyModifiersRequest, SpellsTheNewChord) {
    EXPECT_EQ(applied(json{{"chord", "C"}}), (json{{"chord", "Cmaj"}}));
    EXPECT_EQ(applied(json{{"chord", "Bb7"}})["chord"], "Bb7");
    EXPECT_EQ(applied(json{{"chord", "F#m7b5"}})["chord"], "Gbm7b5");
    EXPECT_EQ(applied(json{{"chord", "F#m7"}})["chord"], "F#m7");
    EXPECT_EQ(applied(json{{"chord", "C"}, {"bass", "e"}})["chord"], "Cmaj/e");
    EXPECT_EQ(applied(json{{"chord", "C/Gb"}, {"bass", ""}})["chord"], "Cmaj/Gb");
    EXPECT_EQ(applied(json{{"chord", "C/F#"}, {"bass", 4}})["chord"], "Cmaj/F#");
    EXPECT_EQ(applied(json{{"chord", "C"}, {"modifiers", {1, nullptr}}}), (json{{"chord", "Cmaj"}}));
    EXPECT_EQ(applied(json{{"chord", "C"}, {"modifiers", "seventh-minor"}}), (json{{"chord", "Cmaj"}}));
    EXPECT_EQ(applied(json{{"chord", "C"}, {"request_id", "r"}}), (json{{"chord", "Cmaj"}, {"request_id", "r"}}));
}

TEST(ApplyModifiersRequest, VoicesOnlyForARecognisedStyle) {
    const json closed = applied(json{{"chord", "C"}, {"style", "closed"}});
    ASSERT_TRUE(closed.contains("notes"));
    EXPECT_EQ(closed["notes"], (json{60, 64, 67}));
    EXPECT_FALSE(applied(json{{"chord", "C"}, {"style", "nope"}}).contains("notes"));
    EXPECT_FALSE(applied(json{{"chord", "C"}}).contains("notes"));
    // Octave clamps to 0..7 before voicing; an absurd number saturates first.
    const auto lowest = [](const json& payload) { return payload["notes"][0].get<int>(); };
    EXPECT_EQ(lowest(applied(json{{"chord", "C"}, {"style", "closed"}, {"octave", 12}})), 96);
    EXPECT_EQ(lowest(applied(json{{"chord", "C"}, {"style", "closed"}, {"octave", -3}})), 12);
    EXPECT_EQ(lowest(applied(json{{"chord", "C"}, {"style", "closed"}, {"octave", 1e300}})), 96);
    // The new bass reaches the voicing.
    const json slash = applied(json{{"chord", "C"}, {"style", "closed"}, {"bass", "e"}});
    EXPECT_EQ(slash["notes"][0].get<int>() % 12, 4);
    EXPECT_THROW(handleApplyModifiers(json{{"chord", "C"}, {"style", "closed"}, {"drop_bass", 1}}), json::type_error);
    EXPECT_THROW(handleApplyModifiers(json{{"chord", "C"}, {"style", 3}}), json::type_error);
}

TEST(ApplyModifiersRequest, ErrorReplies) {
    EXPECT_EQ(applied(json{{"request_id", "x"}}), (json{{"error", "Missing chord"}}));
    EXPECT_EQ(applied(json::array()), (json{{"error", "Missing chord"}}));
    EXPECT_EQ(applied(json{{"chord", "xyz"}, {"request_id", "x"}}), (json{{"error", "Invalid chord: xyz"}}));
    EXPECT_EQ(applied(json{{"chord", "C"}, {"bass", "H"}, {"request_id", "x"}}),
              (json{{"error", "Invalid bass: H"}, {"request_id", "x"}}));
    // A quality whose changed options have no spelling.
    EXPECT_EQ(applied(json{{"chord", "Cadd9b5"}, {"modifiers", {"third-major"}}, {"request_id", "x"}}),
              (json{{"error", "Unable to apply modifiers to chord quality"}, {"request_id", "x"}}));
    EXPECT_THROW(handleApplyModifiers(json{{"chord", 7}}), json::type_error);
}

}  // namespace
}  // namespace quillex
