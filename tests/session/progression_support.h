// Test support for the progression commands: documents from chord lists and a command runner.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "session/document_command.h"
#include "support/document_samples.h"
#include "session_support.h"

namespace quillex::testing {

// A chord slot ("r" makes a rest) with the given id and duration 2.
inline nlohmann::json progressionSlotJson(const std::string& id, const std::string& text) {
    nlohmann::json slot = {{"id", id}, {"duration", 2.0}};
    if (text == "r") {
        slot["type"] = "rest";
        return slot;
    }
    slot["chord"] = {{"original", text}};
    slot["velocity"] = 90;
    slot["attack"] = {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}};
    slot["attackOrders"] = nlohmann::json::array();
    return slot;
}

// A minimal document whose slots are "a0", "a1", ... holding the given chords.
inline nlohmann::json chordsDocument(const std::vector<std::string>& chords) {
    nlohmann::json document = minimalDocumentJson();
    nlohmann::json slots = nlohmann::json::array();
    std::string input;
    for (std::size_t i = 0; i < chords.size(); ++i) {
        slots.push_back(progressionSlotJson("a" + std::to_string(i), chords[i]));
        input += (i ? " " : "") + chords[i];
    }
    document["progression"]["slots"] = slots;
    document["progression"]["input"] = input;
    document["gesture"] = {{"newChordVelocity", 77},
                           {"newChordAttack", {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}}},
                           {"newChordAttackOrders", nlohmann::json::array()}};
    return document;
}

// A session behind the dispatcher, with a stand-in resolver.
class ProgressionCommandTest : public ::testing::Test {
protected:
    std::shared_ptr<StandInResolver> resolver = std::make_shared<StandInResolver>();
    DocumentSession session{resolver};
    std::shared_ptr<const UserSettingsSection> settings = sharedUserSettings();
    int nextId = 0;

    std::string freshId() { return "p" + std::to_string(nextId++); }
    void restore(const nlohmann::json& document) {
        const auto reply = executeDocumentCommand(
            commandRequest(freshId(), {{"type", "restore_project_snapshot"}, {"documentState", document}}), settings,
            session);
        ASSERT_EQ(reply.type, "document_revision") << reply.payload.dump() << "\n" << document.dump();
    }
    void restoreChords(const std::vector<std::string>& chords) { restore(chordsDocument(chords)); }
    std::uint64_t currentNumber() {
        const auto current = session.currentRevision();
        return current ? current->revision : 0;
    }
    // Runs the command against the current revision.
    BridgeReply run(nlohmann::json command) {
        return executeDocumentCommand(commandRequest(freshId(), std::move(command), currentNumber()), settings,
                                      session);
    }
    const ProjectDocument& document() { return *session.currentRevision()->document; }
    const std::vector<ProgressionSlot>& slots() { return document().progression->slots; }
    std::vector<std::string> ids() {
        std::vector<std::string> result;
        for (const auto& slot : slots()) result.push_back(slot.id.value_or(""));
        return result;
    }
    std::vector<std::string> texts() {
        std::vector<std::string> result;
        for (const auto& slot : slots()) result.push_back(slot.isRest ? "r" : slot.chord.original);
        return result;
    }
    // Expects the error and that no revision was recorded.
    void expectRefused(const nlohmann::json& command, const std::string& code, const std::string& message) {
        const auto before = session.currentRevision();
        const auto reply = run(command);
        EXPECT_EQ(reply.type, "document_error");
        EXPECT_EQ(reply.payload.value("code", ""), code) << command.dump();
        EXPECT_EQ(reply.payload.value("message", ""), message) << command.dump();
        EXPECT_EQ(session.currentRevision(), before);
    }
    RevisionPtr expectApplied(const nlohmann::json& command) {
        const auto reply = run(command);
        EXPECT_EQ(reply.type, "document_revision") << command.dump() << " -> " << reply.payload.dump();
        return session.currentRevision();
    }
};

inline nlohmann::json slotEdits(nlohmann::json edits) {
    return {{"type", "apply_slot_edits"}, {"edits", std::move(edits)}};
}

}  // namespace quillex::testing
