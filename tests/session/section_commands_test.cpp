// Section setters: key respelling, automatic key, auto-voicing resets and section sharing.
#include "session/section_commands.h"

#include <gtest/gtest.h>

#include "document/document_reader.h"
#include "support/document_samples.h"
#include "session_support.h"
#include "theory/chord_symbol.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::StandInResolver;

json progressionDocument(const std::vector<std::string>& chords) {
    json document = testing::minimalDocumentJson();
    json slots = json::array();
    for (std::size_t i = 0; i < chords.size(); ++i) {
        json slot = {{"id", "s" + std::to_string(i)}, {"duration", 2.0}};
        if (chords[i] == "r") {
            slot["type"] = "rest";
        } else {
            slot["chord"] = {{"original", chords[i]}};
            slot["velocity"] = 100;
            slot["attack"] = {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}};
            slot["attackOrders"] = json::array();
        }
        slots.push_back(slot);
    }
    document["progression"]["slots"] = slots;
    return document;
}

std::shared_ptr<const KeySection> key(std::string root, std::string mode, bool autoKey) {
    return std::make_shared<const KeySection>(KeySection{std::move(root), std::move(mode), "natural", 0, autoKey});
}

class SectionTest : public ::testing::Test {
protected:
    std::shared_ptr<StandInResolver> resolver = std::make_shared<StandInResolver>();
    DocumentSession session{resolver};
    UserSettingsSection settings = testing::defaultUserSettings();

    RevisionPtr restore(const json& state) {
        const auto result = session.restoreProjectSnapshot(state, settings, "r" + std::to_string(restores++));
        EXPECT_TRUE(result.succeeded()) << result.errorMessage;
        return result.revision;
    }
    std::uint64_t current() { return session.currentRevision()->revision; }
    std::string id() { return "t" + std::to_string(ids++); }
    int restores = 0;
    int ids = 0;
};

TEST_F(SectionTest, SetKeyRespellsChordSlotsAndLeavesRests) {
    const auto base = restore(progressionDocument({"C", "r", "Bb7", "F#m7b5/C"}));
    const int calls = resolver->voicingCalls;
    const auto newKey = key("F", "major", false);
    const auto result = session.setKey(newKey, settings, current(), id());
    ASSERT_TRUE(result.succeeded()) << result.errorMessage;
    EXPECT_EQ(resolver->voicingCalls, calls + 1);
    const auto& before = base->document->progression->slots;
    const auto& after = result.revision->document->progression->slots;
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[1], before[1]);
    for (const std::size_t i : {0u, 2u, 3u}) {
        EXPECT_EQ(after[i].chord, analyzeSlotChord(*parseChordSymbol(before[i].chord.original), *newKey));
        ProgressionSlot rest = after[i];
        rest.chord = before[i].chord;
        EXPECT_EQ(rest, before[i]);  // nothing but the chord changed
    }
    EXPECT_EQ(*result.revision->document->key, *newKey);
    EXPECT_NE(result.revision->document->key, newKey);  // a copy: the key may be inferred into
    EXPECT_EQ(result.revision->document->progressionLog, base->document->progressionLog);
    EXPECT_EQ(result.revision->document->rhythm, base->document->rhythm);

    // The same key again still publishes and re-voices.
    const auto again = session.setKey(newKey, settings, current(), id());
    ASSERT_TRUE(again.succeeded());
    EXPECT_EQ(again.revision->revision, result.revision->revision + 1);
    EXPECT_EQ(resolver->voicingCalls, calls + 2);
}

TEST_F(SectionTest, AutoKeyInfersOnlyWhenSwitchedOn) {
    restore(progressionDocument({"Am", "Dm", "E7", "Am"}));
    auto result = session.setKey(key("G", "major", true), settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    KeySection inferred = *key("G", "major", true);
    std::vector<Chord> chords;
    for (const auto* text : {"Am", "Dm", "E7", "Am"}) chords.push_back(*parseChordSymbol(text));
    applyAutoKey(inferred, chords);
    EXPECT_EQ(*result.revision->document->key, inferred);
    EXPECT_NE(inferred.root, "G");

    // Already on: the incoming key is kept as sent.
    result = session.setKey(key("G", "major", true), settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.revision->document->key, *key("G", "major", true));

    // Nothing to infer from.
    restore(progressionDocument({"r"}));
    result = session.setKey(key("Eb", "minor", true), settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.revision->document->key, *key("Eb", "minor", true));
}

TEST_F(SectionTest, SetKeyRefusesUnreadableChordsAndKeepsTheSession) {
    const auto base = restore(progressionDocument({"C", "not a chord"}));
    try {
        session.setKey(key("C", "major", false), settings, current(), id());
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Existing slot chord is invalid");
    }
    EXPECT_EQ(session.currentRevision(), base);
    // The command mutex was released: the session still takes commands.
    EXPECT_TRUE(session.setBassSplit(base->document->bassSplit, settings, current(), id()).succeeded());
}

TEST_F(SectionTest, VoicingPolicyResetsAutoVoicingOnlyWhenItsSwitchChanges) {
    const auto base = restore(progressionDocument({"C", "r", "F", "G"}));  // autoVoiceLeading true
    auto policy = std::make_shared<VoicingSection>(*base->document->voicing);
    policy->defaultStyle = "shell";
    auto result = session.setVoicingPolicy(policy, settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.revision->document->progression, base->document->progression);
    EXPECT_EQ(result.revision->document->voicing.get(), policy.get());

    const auto flags = [](const RevisionPtr& revision) {
        std::vector<std::optional<bool>> out;
        for (const auto& slot : revision->document->progression->slots) out.push_back(slot.isAutoVoiced);
        return out;
    };
    auto off = std::make_shared<VoicingSection>(*policy);
    off->autoVoiceLeading = false;
    result = session.setVoicingPolicy(off, settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(flags(result.revision), (std::vector<std::optional<bool>>{false, std::nullopt, false, false}));
    auto on = std::make_shared<VoicingSection>(*policy);
    result = session.setVoicingPolicy(on, settings, current(), id());
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(flags(result.revision), (std::vector<std::optional<bool>>{false, std::nullopt, true, true}));
}

TEST_F(SectionTest, PlainSettersPutTheVerySectionIntoTheDocument) {
    const auto base = restore(testing::fullDocumentJson());
    const auto doc = readProjectDocument(testing::minimalDocumentJson());
    const auto rhythm = session.setRhythm(doc.rhythm, settings, current(), id());
    ASSERT_TRUE(rhythm.succeeded());
    EXPECT_EQ(rhythm.revision->document->rhythm, doc.rhythm);
    EXPECT_EQ(rhythm.revision->voicings, base->voicings);
    EXPECT_NE(rhythm.revision->plan, base->plan);

    const auto both = session.setClipSyncWithBassSplit(doc.clipSync, doc.bassSplit, settings, current(), id());
    ASSERT_TRUE(both.succeeded());
    EXPECT_EQ(both.revision->document->clipSync, doc.clipSync);
    EXPECT_EQ(both.revision->document->bassSplit, doc.bassSplit);
    EXPECT_EQ(both.revision->plan, rhythm.revision->plan);

    const auto log = std::make_shared<const ProgressionLog>();
    const auto logged = session.updateProgressionLog(log, settings, current(), id());
    ASSERT_TRUE(logged.succeeded());
    EXPECT_EQ(logged.revision->document->progressionLog, log);
    EXPECT_EQ(logged.revision->document->progression, base->document->progression);
    EXPECT_EQ(logged.revision->document->key, base->document->key);
    EXPECT_EQ(logged.revision->revision, base->revision + 3);
}

TEST(TransformChordList, TakesTheChordTextsAndSkipsRests) {
    const auto document = readProjectDocument(progressionDocument({"r", "C/E", "r", "Bbmaj7", "??"}));
    EXPECT_EQ(buildTransformChordList(*document.progression), (json{"C/E", "Bbmaj7", "??"}));
    EXPECT_EQ(buildTransformChordList(ProgressionSection{}), json::array());
}

TEST(SectionHandlers, IgnoreOtherCommandTypes) {
    DocumentSession session(std::make_shared<StandInResolver>());
    const json request = testing::commandRequest("x", {{"type", "set_rhythm"}}, 0);
    const auto settings = testing::sharedUserSettings();
    const DocumentCommandTraceContext trace{TraceClock::now(), request};
    const DocumentCommandContext context{"set_rhythm", request, request["command"], request, session, settings,
                                         "x",          trace};
    BridgeReply reply{"untouched", nullptr};
    for (auto* handler :
         {handleSetKey, handleSetVoicingPolicy, handleSetGestureDefaults, handleSetBassSplit, handleSetClipSync}) {
        EXPECT_FALSE(handler(context, {}, reply));
        EXPECT_EQ(reply.type, "untouched");
    }
    EXPECT_TRUE(handleSetRhythm(context, {}, reply));
    EXPECT_EQ(reply.payload["message"], "set_rhythm fields are invalid");
}

}  // namespace
}  // namespace quillex
