// Model-based test: seeded command sequences against a plain model of revisions, markers and spent IDs.
#include <deque>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "session/document_command.h"
#include "document/document_reader.h"
#include "document/document_writer.h"
#include "support/document_samples.h"
#include "session_support.h"
#include "theory/chord_symbol.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;
using Access = DocumentSessionTestAccess;

json chordSlot(const std::string& id, const std::string& chord) {
    return {{"id", id},
            {"duration", 1.5},
            {"chord", {{"original", chord}}},
            {"velocity", 90},
            {"attack", {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}}},
            {"attackOrders", json::array()}};
}

// The documents a sequence restores; the last two are refused.
std::vector<json> restorePool() {
    json small = testing::minimalDocumentJson();
    small["progression"]["slots"] = {chordSlot("a", "C"),
                                     chordSlot("b", "Am7"),
                                     {{"id", "c"}, {"type", "rest"}, {"duration", 1.0}},
                                     chordSlot("d", "G7/B")};
    json unnamed = small;
    unnamed["progression"]["slots"][0].erase("id");
    unnamed["progression"]["slots"][2]["id"] = "";
    unnamed["progression"]["slots"][3]["id"] = "s1";
    json duplicate = small;
    duplicate["progression"]["slots"][1]["id"] = "a";
    json oldSchema = small;
    oldSchema["schemaVersion"] = 14;
    return {testing::fullDocumentJson(), small, testing::minimalDocumentJson(), unnamed, duplicate, oldSchema};
}
constexpr std::size_t kValidRestores = 4;

struct SectionChoice {
    std::string type;
    json command;
};

std::vector<SectionChoice> sectionPool() {
    const json full = testing::fullDocumentJson();
    const json minimal = testing::minimalDocumentJson();
    std::vector<SectionChoice> pool;
    for (const auto& [root, mode] : std::vector<std::pair<std::string, std::string>>{
             {"C", "major"}, {"Eb", "minor"}, {"F#", "minor"}, {"Bb", "major"}}) {
        pool.push_back({"set_key",
                        {{"type", "set_key"},
                         {"key",
                          {{"root", root},
                           {"mode", mode},
                           {"minorScaleType", "natural"},
                           {"transposeOffset", 0},
                           {"autoKey", false}}}}});
    }
    for (const bool autoVoice : {true, false}) {
        json voicing = minimal["voicing"];
        voicing["autoVoiceLeading"] = autoVoice;
        pool.push_back({"set_voicing_policy", {{"type", "set_voicing_policy"}, {"voicing", voicing}}});
    }
    for (const auto* source : {&full, &minimal}) {
        pool.push_back({"set_rhythm", {{"type", "set_rhythm"}, {"rhythm", (*source)["rhythm"]}}});
        pool.push_back({"set_gesture_defaults", {{"type", "set_gesture_defaults"}, {"gesture", (*source)["gesture"]}}});
        pool.push_back({"set_bass_split", {{"type", "set_bass_split"}, {"bassSplit", (*source)["bassSplit"]}}});
        pool.push_back({"set_clip_sync", {{"type", "set_clip_sync"}, {"clipSync", (*source)["clipSync"]}}});
        pool.push_back(
            {"set_clip_sync",
             {{"type", "set_clip_sync"}, {"clipSync", (*source)["clipSync"]}, {"bassSplit", (*source)["bassSplit"]}}});
    }
    for (const json& log : {json::array(), json{"C", "G"}, json{"Am"}}) {
        pool.push_back({"update_progression_log", {{"type", "update_progression_log"}, {"progressionLog", log}}});
    }
    return pool;
}

// Texts holding invalid tokens: the slots stay, the text and its parse error are stored.
struct TextChoice {
    std::string text;
    std::string input;
    std::vector<std::string> invalid;
};
std::vector<TextChoice> textPool() {
    return {{"Xyz", "Xyz", {"Xyz"}}, {"C | Xyz, G", "C Xyz G", {"Xyz"}}, {"% C", "% C", {"%"}}};
}

// The reference: revisions as (number, originating ID, written document), the markers
// and the 256-entry ID queue.
struct Model {
    struct Revision {
        std::uint64_t number;
        std::string id;
        json document;
        std::string text;  // the document as written, dumped once
    };
    std::vector<Revision> kept;
    std::optional<std::uint64_t> durable;
    std::deque<std::string> ids;
    std::set<std::string> idSet;
    std::uint64_t slotCounter = 0;

    const Revision* current() const { return kept.empty() ? nullptr : &kept.back(); }
    const Revision* find(std::uint64_t number, const std::string& id) const {
        for (const auto& r : kept) {
            if (r.number == number && r.id == id) return &r;
        }
        return nullptr;
    }
    bool spend(const std::string& id) {
        if (!idSet.insert(id).second) return false;
        ids.push_back(id);
        if (ids.size() > 256) {
            idSet.erase(ids.front());
            ids.pop_front();
        }
        return true;
    }
    void prune() {
        if (!durable) return;
        std::erase_if(kept, [&](const Revision& r) { return r.number < *durable && &r != current(); });
    }
    // Restored document as written, with the session's identifiers filled in.
    json restored(const json& state) {
        json written = writeProjectDocument(readProjectDocument(state));
        std::set<std::string> used;
        for (const auto& slot : written["progression"]["slots"]) {
            if (slot.contains("id") && slot["id"].is_string() && !slot["id"].get<std::string>().empty()) {
                used.insert(slot["id"].get<std::string>());
            }
        }
        for (auto& slot : written["progression"]["slots"]) {
            if (slot.contains("id") && slot["id"].is_string() && !slot["id"].get<std::string>().empty()) continue;
            std::string id;
            do {
                id = "s" + std::to_string(slotCounter++);
            } while (!used.insert(id).second);
            slot["id"] = id;
        }
        return written;
    }
};

// The written document after a section command, or the text the command fails with.
json applySection(const json& document, const json& command, std::string& failure) {
    json next = document;
    const std::string type = command["type"];
    try {
        if (type == "set_key") {
            const auto key = readKeySection(command["key"]);
            next["key"] = writeKeySection(*key);
            for (auto& slot : next["progression"]["slots"]) {
                if (slot.value("type", "") == "rest") continue;
                const auto chord = parseChordSymbol(slot["chord"]["original"].get<std::string>());
                if (!chord) throw std::runtime_error("Existing slot chord is invalid");
                slot["chord"] = writeSlotChord(analyzeSlotChord(*chord, *key));
            }
        } else if (type == "set_voicing_policy") {
            const bool on = command["voicing"]["autoVoiceLeading"];
            if (on != document["voicing"]["autoVoiceLeading"].get<bool>()) {
                bool first = true;
                for (auto& slot : next["progression"]["slots"]) {
                    if (slot.value("type", "") == "rest") continue;
                    slot["isAutoVoiced"] = first ? false : on;
                    first = false;
                }
            }
            next["voicing"] = writeVoicingSection(*readVoicingSection(command["voicing"]));
        } else if (type == "set_rhythm") {
            next["rhythm"] = writeRhythmSection(*readRhythmSection(command["rhythm"]));
        } else if (type == "set_gesture_defaults") {
            next["gesture"] = writeGestureSection(*readGestureSection(command["gesture"]));
        } else if (type == "set_bass_split") {
            next["bassSplit"] = writeBassSplitSection(*readBassSplitSection(command["bassSplit"]));
        } else if (type == "set_clip_sync") {
            next["clipSync"] = writeClipSyncSection(*readClipSyncSection(command["clipSync"]));
            if (command.contains("bassSplit")) {
                next["bassSplit"] = writeBassSplitSection(*readBassSplitSection(command["bassSplit"]));
            }
        } else {
            next["progressionLog"] = command["progressionLog"];
        }
    } catch (const std::exception& e) {
        failure = e.what();
    }
    return next;
}

struct Pools {
    std::vector<json> restores = restorePool();
    std::vector<SectionChoice> sections = sectionPool();
    std::vector<TextChoice> texts = textPool();
};

const Pools& pools() {
    static const Pools built;
    return built;
}

class ModelRun {
public:
    // `withText` mixes text replacements in, drawn from a second stream so that the
    // other steps of a seed stay the same without them.
    explicit ModelRun(std::uint32_t seed, bool withText = false)
        : random_(seed), textRandom_(withText ? std::optional<std::mt19937>(seed ^ 0x9E3779B9u) : std::nullopt) {
        resolver_->rowsPerSlot = false;
        // Some IDs spent before the sequence, so evictions happen inside it.
        const int prefill = pick(300);
        for (int i = 0; i < prefill; ++i) {
            const std::string id = "p" + std::to_string(i);
            session_.rememberTransactionId(id);
            model_.spend(id);
            everSpent_.push_back(id);
        }
    }

    void step() {
        if (textRandom_ && (*textRandom_)() % 4 == 0) {
            textStep();
            check();
            return;
        }
        const int kind = pick(100);
        json request;
        std::string expectedType;
        std::string expectedCode;
        std::string id = chooseId();
        const RevisionPtr before = session_.currentRevision();
        const auto current = model_.current();

        // The envelope goes wrong now and then: not spent, or spent with a field fault.
        const int envelopeFault = pick(40);
        if (kind < 20) {
            const auto& pool = restores_;
            const std::size_t choice = static_cast<std::size_t>(pick(static_cast<int>(pool.size())));
            request =
                testing::commandRequest(id, {{"type", "restore_project_snapshot"}, {"documentState", pool[choice]}});
            if (envelopeFault == 0) request["baseRevision"] = 0;
            expect(request, id, [&]() -> std::pair<std::string, std::string> {
                if (envelopeFault == 0) return {"document_error", "invalid_document_command"};
                if (choice >= kValidRestores) return {"document_error", "document_restore_failed"};
                const std::uint64_t number = current ? current->number + 1 : 0;
                json document = model_.restored(pool[choice]);
                std::string text = document.dump();
                model_.kept = {{number, id, std::move(document), std::move(text)}};
                model_.durable = number;
                return {"document_revision", ""};
            });
        } else if (kind < 65) {
            const auto& choice = sections_[static_cast<std::size_t>(pick(static_cast<int>(sections_.size())))];
            const std::uint64_t base = chooseBase();
            json command = choice.command;
            if (envelopeFault == 0) command["extra"] = 1;
            request = testing::commandRequest(id, command, base);
            expect(request, id, [&]() -> std::pair<std::string, std::string> {
                if (envelopeFault == 0) return {"document_error", "invalid_document_command"};
                if (!current || current->number != base) return {"document_error", "document_revision_mismatch"};
                std::string failure;
                json next = applySection(current->document, command, failure);
                if (!failure.empty()) return {"document_error", "document_command_failed"};
                std::string text = next.dump();
                model_.kept.push_back({current->number + 1, id, std::move(next), std::move(text)});
                model_.prune();
                return {"document_revision", ""};
            });
        } else if (kind < 90) {
            const bool commit = pick(2) == 0;
            const auto [number, originating] = choosePair();
            request = testing::commandRequest(id, {{"type", commit ? "commit_revision" : "rollback_revision"},
                                                   {"revision", number},
                                                   {"originatingTransactionId", originating}});
            if (envelopeFault == 0) request["baseRevision"] = number;
            expect(request, id, [&]() -> std::pair<std::string, std::string> {
                if (envelopeFault == 0) return {"document_error", "invalid_document_command"};
                const auto* found = model_.find(number, originating);
                const bool newer = found && (commit ? !model_.durable || number > *model_.durable
                                                    : model_.durable && number > *model_.durable);
                if (!newer) return {"document_error", "document_settlement_mismatch"};
                if (commit) {
                    model_.durable = number;
                } else {
                    std::erase_if(model_.kept, [&](const Model::Revision& r) { return r.number > *model_.durable; });
                }
                model_.prune();
                return {commit ? "document_commit_result" : "document_rollback", ""};
            });
        } else {
            const bool view = pick(2) == 0;
            const std::uint64_t number = chooseBase();
            request = view ? testing::commandRequest(id, {{"type", "get_document_view"}})
                           : testing::commandRequest(id, {{"type", "get_document_revision"}, {"revision", number}});
            if (envelopeFault == 0) request["baseRevision"] = 0;
            expect(request, id, [&]() -> std::pair<std::string, std::string> {
                if (envelopeFault == 0) return {"document_error", "invalid_document_command"};
                if (view)
                    return current ? std::pair{"document_view", ""}
                                   : std::pair{"document_error", "document_unavailable"};
                for (const auto& r : model_.kept) {
                    if (r.number == number) return {"document_view", ""};
                }
                return {"document_error", "document_revision_unavailable"};
            });
        }
        if (lastFailed_) {
            EXPECT_EQ(session_.currentRevision(), before) << "a failed command replaced the current revision";
        }
        check();
    }

    bool failed() const { return ::testing::Test::HasFailure(); }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    void textStep() {
        const TextChoice& choice = texts_[(*textRandom_)() % texts_.size()];
        const std::string id = chooseId();
        const std::uint64_t base = chooseBase();
        const auto current = model_.current();
        const RevisionPtr before = session_.currentRevision();
        const json request =
            testing::commandRequest(id, {{"type", "replace_progression_text"}, {"text", choice.text}}, base);
        expect(request, id, [&]() -> std::pair<std::string, std::string> {
            if (!current || current->number != base) return {"document_error", "document_revision_mismatch"};
            json next = current->document;
            json errors = json::array();
            for (const std::string& token : choice.invalid) errors.push_back({{"token", token}});
            next["progression"]["input"] = choice.input;
            next["progression"]["parseError"] = {{"errors", errors},
                                                 {"message", "Parsing error: invalid chord " + choice.invalid.front()}};
            std::string text = next.dump();
            model_.kept.push_back({current->number + 1, id, std::move(next), std::move(text)});
            model_.prune();
            return {"document_revision", ""};
        });
        if (lastFailed_) {
            EXPECT_EQ(session_.currentRevision(), before);
        }
    }

    // Every document state the session hands out opens again in a fresh session that
    // resolves as the host's does, giving the same document. Each text is tried once.
    void expectRestoresAsItself(const std::string& text) {
        static std::set<std::string> tried;
        if (!tried.insert(text).second) return;
        DocumentSession fresh;
        const BridgeReply reply = executeDocumentCommand(
            testing::commandRequest("restore",
                                    {{"type", "restore_project_snapshot"}, {"documentState", json::parse(text)}}),
            settings_, fresh);
        ASSERT_EQ(reply.type, "document_revision") << reply.payload.dump() << "\n" << text;
        EXPECT_EQ(writeProjectDocument(*fresh.currentRevision()->document).dump(), text);
    }

    std::string chooseId() {
        const int roll = pick(100);
        if (roll < 8) return "";
        if (roll < 20 && !model_.ids.empty())
            return model_.ids[static_cast<std::size_t>(pick(static_cast<int>(model_.ids.size())))];
        if (roll < 30 && !everSpent_.empty()) {
            const auto& old = everSpent_[static_cast<std::size_t>(pick(static_cast<int>(everSpent_.size())))];
            return old;  // evicted (accepted again) or still remembered (refused)
        }
        return "i" + std::to_string(nextId_++);
    }

    std::uint64_t chooseBase() {
        const auto current = model_.current();
        const std::uint64_t n = current ? current->number : 0;
        switch (pick(6)) {
            case 0:
                return n + 1;
            case 1:
                return n > 0 ? n - 1 : 0;
            case 2:
                return static_cast<std::uint64_t>(pick(8));
            default:
                return n;
        }
    }

    std::pair<std::uint64_t, std::string> choosePair() {
        const int roll = pick(10);
        if (roll < 6 && !model_.kept.empty()) {
            const auto& r = model_.kept[static_cast<std::size_t>(pick(static_cast<int>(model_.kept.size())))];
            return {r.number, r.id};
        }
        if (roll < 8 && !produced_.empty())
            return produced_[static_cast<std::size_t>(pick(static_cast<int>(produced_.size())))];
        const auto current = model_.current();
        return {current ? current->number : 0, "unknown"};
    }

    template <typename Outcome>
    void expect(const json& request, const std::string& id, Outcome outcome) {
        std::string type = "document_error";
        std::string code;
        if (id.empty()) {
            code = "invalid_document_command";
        } else if (!model_.spend(id)) {
            code = "duplicate_transaction_id";
        } else {
            everSpent_.push_back(id);
            auto [t, c] = outcome();
            type = t;
            code = c;
        }
        const BridgeReply reply = executeDocumentCommand(request, settings_, session_);
        ASSERT_EQ(reply.type, type) << request.dump() << "\n" << reply.payload.dump();
        if (type == "document_error") {
            EXPECT_EQ(reply.payload["code"], code) << request.dump() << "\n" << reply.payload.dump();
        }
        lastFailed_ = type == "document_error";
        if (!lastFailed_ && (type == "document_revision")) {
            const auto current = model_.current();
            produced_.emplace_back(current->number, current->id);
        }
    }

    void check() {
        const auto revisions = Access::revisions(session_);
        const auto current = session_.currentRevision();
        const auto durable = session_.durableRevision();
        // Invariants of the session itself.
        if (current) {
            ASSERT_FALSE(revisions.empty());
            EXPECT_EQ(revisions.back(), current);
        }
        if (durable) {
            EXPECT_NE(std::find(revisions.begin(), revisions.end(), durable), revisions.end());
        }
        for (std::size_t i = 1; i < revisions.size(); ++i)
            EXPECT_LT(revisions[i - 1]->revision, revisions[i]->revision);
        const auto ids = Access::transactionIdOrder(session_);
        EXPECT_LE(ids.size(), 256u);
        EXPECT_EQ(Access::seenTransactionIdCount(session_), ids.size());

        // Agreement with the model.
        EXPECT_EQ(ids, std::vector<std::string>(model_.ids.begin(), model_.ids.end()));
        ASSERT_EQ(revisions.size(), model_.kept.size());
        EXPECT_EQ(durable ? std::optional(durable->revision) : std::nullopt, model_.durable);
        std::map<RevisionPtr, std::string> written;
        for (std::size_t i = 0; i < revisions.size(); ++i) {
            const auto& revision = revisions[i];
            const auto& expected = model_.kept[i];
            EXPECT_EQ(revision->revision, expected.number);
            EXPECT_EQ(revision->originatingTransactionId, expected.id);
            auto cached = written_.find(revision);
            const std::string text =
                cached != written_.end() ? cached->second : writeProjectDocument(*revision->document).dump();
            EXPECT_EQ(text, expected.text) << "revision " << expected.number;
            if (textRandom_) expectRestoresAsItself(text);
            written.emplace(revision, text);
        }
        written_ = std::move(written);
    }

    std::mt19937 random_;
    std::optional<std::mt19937> textRandom_;
    std::shared_ptr<testing::StandInResolver> resolver_ = std::make_shared<testing::StandInResolver>();
    DocumentSession session_{resolver_};
    std::shared_ptr<const UserSettingsSection> settings_ = testing::sharedUserSettings();
    Model model_;
    const std::vector<json>& restores_ = pools().restores;
    const std::vector<SectionChoice>& sections_ = pools().sections;
    const std::vector<TextChoice>& texts_ = pools().texts;
    std::vector<std::string> everSpent_;
    std::vector<std::pair<std::uint64_t, std::string>> produced_;
    std::map<RevisionPtr, std::string> written_;  // documents already written, by revision
    int nextId_ = 0;
    bool lastFailed_ = false;
};

TEST(SessionModel, SeededSequencesAgreeWithTheModel) {
#ifdef QUILLEX_SANITIZED
    constexpr std::uint32_t kSequences = 100;
#else
    constexpr std::uint32_t kSequences = 2000;
#endif
    for (std::uint32_t seed = 1; seed <= kSequences; ++seed) {
        ModelRun run(seed);
        for (int i = 0; i < 50; ++i) {
            run.step();
            if (run.failed()) FAIL() << "seed " << seed << " step " << i;
        }
    }
}

TEST(SessionModel, TextReplacementsAndEveryStateRestoresAsItself) {
#ifdef QUILLEX_SANITIZED
    constexpr std::uint32_t kSequences = 20;
#else
    constexpr std::uint32_t kSequences = 200;
#endif
    for (std::uint32_t seed = 1; seed <= kSequences; ++seed) {
        ModelRun run(seed, true);
        for (int i = 0; i < 50; ++i) {
            run.step();
            if (run.failed()) FAIL() << "seed " << seed << " step " << i;
        }
    }
}

}  // namespace
}  // namespace quillex
