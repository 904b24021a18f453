// Model-based test of the progression commands: seeded random sequences checked after every command
// against a reference model of the slot list, the text, the log and the impact level.
#include <algorithm>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "document/progression_slots.h"
#include "progression_support.h"
#include "document/document_theory.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kSequences = 100;
#else
constexpr int kSequences = 1000;
#endif
constexpr int kCommandsPerSequence = 30;
constexpr int kRealResolverSequences = 3;

const std::vector<std::string> kChords = {"C", "Dm", "Em7", "F", "G7", "Am", "Bb", "Eb", "D/F#", "Fmaj7", "E7"};
const std::vector<json> kKeys = {
    {{"root", "C"}, {"mode", "major"}, {"minorScaleType", "natural"}, {"transposeOffset", 0}, {"autoKey", false}},
    {{"root", "G"}, {"mode", "major"}, {"minorScaleType", "natural"}, {"transposeOffset", 0}, {"autoKey", false}},
    {{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "natural"}, {"transposeOffset", 0}, {"autoKey", false}},
    {{"root", "Eb"}, {"mode", "major"}, {"minorScaleType", "natural"}, {"transposeOffset", 0}, {"autoKey", false}},
};

// What the model knows of a slot. An empty id stands for a slot the command made.
struct ModelSlot {
    std::string id;
    bool isRest = false;
    std::string text;  // empty when only the service knows it (after a transform)
    double duration = 2.0;
    std::int32_t velocity = 90;
    std::string lock = "";  // "" for absent
};

struct Model {
    std::vector<ModelSlot> slots;
    std::vector<std::string> log;
    std::string input;
    bool parseError = false;
};

// What one command is expected to do to the model.
struct Expectation {
    bool succeeds = true;
    Model after;
    int impact = 0;
};

void appendLog(Model& model) {
    if (model.input.empty() || (!model.log.empty() && model.log.back() == model.input)) return;
    model.log.push_back(model.input);
    if (model.log.size() > 50) model.log.erase(model.log.begin());
}

std::string textOf(const std::vector<ModelSlot>& slots) {
    std::string text;
    for (std::size_t i = 0; i < slots.size(); ++i) text += (i ? " " : "") + (slots[i].isRest ? "r" : slots[i].text);
    return text;
}

class ProgressionModelRun {
public:
    ProgressionModelRun(std::uint32_t seed, bool realResolver)
        : random_(seed),
          resolver_(std::make_shared<testing::StandInResolver>()),
          session_(realResolver ? std::make_unique<DocumentSession>() : std::make_unique<DocumentSession>(resolver_)) {}

    void run() {
        std::vector<std::string> start;
        const int count = pick(0, 6);
        for (int i = 0; i < count; ++i) start.push_back(pick(0, 4) == 0 ? "r" : chord());
        json state = testing::chordsDocument(start);
        state["key"] = kKeys[pick(0, kKeys.size() - 1)];
        const auto reply = execute(json{{"type", "restore_project_snapshot"}, {"documentState", state}}, false);
        ASSERT_EQ(reply.type, "document_revision") << reply.payload.dump();
        for (std::size_t i = 0; i < start.size(); ++i) {
            const bool rest = start[i] == "r";
            model_.slots.push_back({"a" + std::to_string(i), rest, rest ? "" : start[i], 2.0, rest ? 100 : 90});
        }
        model_.input = state["progression"]["input"];
        model_.log = {};
        adoptAndCheck(Expectation{true, model_, 2}, session_->currentRevision(), nullptr);
        for (int step = 0; step < kCommandsPerSequence && !::testing::Test::HasFailure(); ++step) {
            switch (pick(0, 9)) {
                case 0:
                case 1:
                case 2:
                case 3:
                    slotEdits();
                    break;
                case 4:
                case 5:
                    textReplacement();
                    break;
                case 6:
                case 7:
                    generated();
                    break;
                default:
                    transform();
                    break;
            }
        }
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    int pick(int lo, std::size_t hi) { return pick(lo, static_cast<int>(hi)); }
    const std::string& chord() { return kChords[pick(0, kChords.size() - 1)]; }
    std::string someId() {
        if (model_.slots.empty() || pick(0, 9) == 0) return "zz";
        return currentIds()[pick(0, model_.slots.size() - 1)];
    }
    std::vector<std::string> currentIds() {
        std::vector<std::string> ids;
        for (const auto& slot : session_->currentRevision()->document->progression->slots) ids.push_back(*slot.id);
        return ids;
    }

    BridgeReply execute(json command, bool withBase = true) {
        const auto current = session_->currentRevision();
        std::optional<std::uint64_t> base;
        if (withBase) base = current ? current->revision : 0;
        return executeDocumentCommand(
            testing::commandRequest("m" + std::to_string(nextId_++), std::move(command), base), settings_, *session_);
    }

    // One random edit applied to the model; false when the model expects a refusal.
    bool randomEdit(json& edits, Model& model, int& impact) {
        auto& slots = model.slots;
        const auto indexOf = [&](const std::string& id) {
            const auto ids = currentIds();
            for (std::size_t i = 0; i < slots.size(); ++i) {
                if (slots[i].id == id) return static_cast<int>(i);
            }
            (void)ids;
            return -1;
        };
        const std::string id = someId();
        const int at = indexOf(id);
        switch (pick(0, 6)) {
            case 0: {
                const double duration = pick(0, 5) == 0 ? 0.0 : 0.5 * pick(1, 8);
                edits.push_back({{"type", "duration"}, {"slotIds", {id}}, {"duration", duration}});
                impact = std::max(impact, 1);
                if (duration <= 0 || at < 0) return false;
                slots[at].duration = duration;
                return true;
            }
            case 1: {
                const int velocity = pick(0, 5) == 0 ? 128 : pick(1, 127);
                edits.push_back({{"type", "velocity"}, {"slotIds", {id}}, {"velocity", velocity}});
                impact = std::max(impact, 1);
                if (velocity > 127 || at < 0 || slots[at].isRest) return false;
                slots[at].velocity = velocity;
                return true;
            }
            case 2: {
                static const std::vector<std::string> locks = {"none", "shape", "full", "Full"};
                const std::string lock = locks[pick(0, 3)];
                edits.push_back({{"type", "lock_state"}, {"slotIds", {id}}, {"lockState", lock}});
                if (lock == "Full" || at < 0) return false;
                slots[at].lock = lock;
                return true;
            }
            case 3: {
                const bool bad = pick(0, 6) == 0;
                const std::string symbol = bad ? "Hq" : chord();
                edits.push_back({{"type", "chord"}, {"slotId", id}, {"symbol", symbol}});
                impact = 2;
                if (bad || at < 0) return false;
                slots[at].isRest = false;
                slots[at].text = symbol;
                return true;
            }
            case 4: {
                edits.push_back({{"type", "remove"}, {"slotIds", {id}}});
                impact = 2;
                if (at < 0) return false;
                slots.erase(slots.begin() + at);
                return true;
            }
            case 5: {
                const int index = pick(0, slots.size() + 1);
                const bool rest = pick(0, 3) == 0;
                json slot = testing::progressionSlotJson("", rest ? "r" : chord());
                slot.erase("id");
                edits.push_back({{"type", "insert"}, {"index", index}, {"slot", slot}});
                impact = 2;
                if (index > static_cast<int>(slots.size())) return false;
                slots.insert(slots.begin() + index,
                             ModelSlot{"", rest, rest ? "" : slot["chord"]["original"], 2.0, rest ? 100 : 90});
                return true;
            }
            default: {
                // Reorder only works on slots the command has not inserted yet.
                std::vector<std::size_t> order(slots.size());
                for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
                std::shuffle(order.begin(), order.end(), random_);
                const bool drop = !order.empty() && pick(0, 5) == 0;
                json ids = json::array();
                bool known = true;
                for (std::size_t i = drop ? 1 : 0; i < order.size(); ++i) {
                    if (slots[order[i]].id.empty()) known = false;
                    ids.push_back(slots[order[i]].id);
                }
                if (!known || ids.empty()) return true;  // nothing sent
                edits.push_back({{"type", "reorder"}, {"slotIds", ids}});
                impact = 2;
                if (drop) return false;
                std::vector<ModelSlot> reordered;
                for (const auto i : order) reordered.push_back(slots[i]);
                slots = std::move(reordered);
                return true;
            }
        }
    }

    void slotEdits() {
        Expectation expect{true, model_, 0};
        json edits = json::array();
        const int count = pick(1, 3);
        bool structure = false;
        for (int i = 0; i < count && expect.succeeds; ++i) {
            const std::size_t before = edits.size();
            const int impactBefore = expect.impact;
            expect.succeeds = randomEdit(edits, expect.after, expect.impact);
            if (edits.size() != before && expect.impact == 2 && impactBefore < 2) structure = true;
            if (edits.size() != before) {
                const auto& type = edits.back()["type"];
                structure = structure || type == "chord" || type == "remove" || type == "insert" || type == "reorder";
            }
        }
        if (edits.empty()) return;
        json command = {{"type", "apply_slot_edits"}, {"edits", edits}};
        const auto& key = *session_->currentRevision()->document->key;
        if (pick(0, 4) == 0) {
            command["key"] = kKeys[pick(0, kKeys.size() - 1)];
            if (!(*readKeySection(command["key"]) == key)) {
                expect.impact = 2;
                structure = structure || false;
            }
        }
        if (expect.succeeds) {
            expect.after.input = textOf(expect.after.slots);
            expect.after.parseError = false;
            if (structure && expect.after.input != model_.input) appendLog(expect.after);
        }
        submit(command, expect);
    }

    void textReplacement() {
        std::string text;
        const int mode = pick(0, 4);
        if (mode == 0) {
            text = session_->currentRevision()->document->progression->parseError
                       ? std::string()
                       : buildProgressionText(session_->currentRevision()->document->progression->slots);
        } else {
            const int count = pick(0, 7);
            for (int i = 0; i < count; ++i) {
                const int kind = pick(0, 9);
                text += (i ? (pick(0, 3) == 0 ? " | " : " ") : "") + (kind == 0                ? std::string("r")
                                                                      : kind == 1              ? std::string("%")
                                                                      : kind == 2 && mode == 1 ? "Xq"
                                                                                               : chord());
            }
        }
        Expectation expect{true, model_, 2};
        const std::string normalized = normalizeProgressionText(text);
        const auto tokens = splitProgressionTokens(normalized);
        std::vector<std::string> resolved;
        bool invalid = false;
        std::string last;
        for (const auto& token : tokens) {
            if (token == "r" || token == "R") {
                resolved.push_back("r");
            } else if (token == "%") {
                if (last.empty()) invalid = true;
                resolved.push_back(last);
            } else if (parseChordSymbol(token)) {
                resolved.push_back(last = token);
            } else {
                invalid = true;
            }
        }
        expect.after.input = normalized;
        if (invalid) {
            expect.after.parseError = true;
            expect.impact = 0;
        } else {
            expect.after.parseError = false;
            std::vector<ModelSlot> slots;
            std::vector<bool> taken(model_.slots.size(), false);
            const bool same = resolved.size() == model_.slots.size();
            std::size_t cursor = 0;
            for (std::size_t i = 0; i < resolved.size(); ++i) {
                const bool positional = same && !taken[i];
                if (resolved[i] == "r") {
                    if (positional && model_.slots[i].isRest) {
                        taken[i] = true;
                        slots.push_back(model_.slots[i]);
                    } else {
                        slots.push_back({"", true, "", 4.0, 100, "none"});
                    }
                    continue;
                }
                std::optional<std::size_t> match;
                if (positional && !model_.slots[i].isRest) {
                    match = i;
                } else {
                    for (std::size_t j = cursor; j < model_.slots.size(); ++j) {
                        if (taken[j] || model_.slots[j].isRest || model_.slots[j].text != resolved[i]) continue;
                        match = j;
                        cursor = j + 1;
                        break;
                    }
                }
                if (match) {
                    taken[*match] = true;
                    ModelSlot slot = model_.slots[*match];
                    slot.text = resolved[i];
                    slots.push_back(slot);
                } else {
                    slots.push_back({"", false, resolved[i], 4.0, 77, "none"});
                }
            }
            expect.after.slots = std::move(slots);
        }
        const bool ownText = mode == 0 && !model_.parseError;
        const auto before = session_->currentRevision();
        submit({{"type", "replace_progression_text"}, {"text", text}}, expect);
        if (ownText && !::testing::Test::HasFailure()) {
            // The document's own text keeps every slot and setting.
            // The chord record is analysed anew in the key; a transform's record may differ in detail.
            auto kept = session_->currentRevision()->document->progression->slots;
            const auto& old = before->document->progression->slots;
            ASSERT_EQ(kept.size(), old.size());
            for (std::size_t i = 0; i < kept.size(); ++i) {
                EXPECT_EQ(kept[i].chord.original, old[i].chord.original);
                kept[i].chord = old[i].chord;
                if (!old[i].isRest) kept[i].type = old[i].type;  // a matched chord slot is marked "chord"
                EXPECT_EQ(kept[i], old[i])
                    << writeProgressionSlot(kept[i]).dump() << writeProgressionSlot(old[i]).dump();
            }
        }
    }

    void generated() {
        if (!model_.slots.empty() && pick(0, 1) == 0) {
            // Lock a few slots first, so the generator meets every lock state.
            static const std::vector<std::string> locks = {"none", "shape", "full"};
            Expectation lock{true, model_, 0};
            json edits = json::array();
            for (std::size_t i = 0; i < model_.slots.size(); ++i) {
                if (pick(0, 2) != 0) continue;
                const std::string state = locks[pick(0, 2)];
                edits.push_back({{"type", "lock_state"}, {"slotIds", {currentIds()[i]}}, {"lockState", state}});
                lock.after.slots[i].lock = state;
            }
            if (!edits.empty()) {
                lock.after.input = textOf(lock.after.slots);
                lock.after.parseError = false;
                submit({{"type", "apply_slot_edits"}, {"edits", edits}}, lock);
            }
        }
        // Items: full locks mostly get their own kind (as the generator places them).
        const int count = pick(1, 8);
        json items = json::array();
        std::vector<std::optional<std::string>> texts;
        for (int k = 0; k < count; ++k) {
            bool rest = pick(0, 4) == 0;
            std::string text = chord();
            if (k < static_cast<int>(model_.slots.size()) && model_.slots[k].lock == "full" && pick(0, 7) != 0) {
                rest = model_.slots[k].isRest;
                if (!rest && !model_.slots[k].text.empty() && pick(0, 1) == 0) text = model_.slots[k].text;
            }
            items.push_back(rest ? json{{"type", "rest"}} : json{{"type", "chord"}, {"chord", {{"symbol", text}}}});
            texts.push_back(rest ? std::nullopt : std::optional<std::string>(text));
        }
        const json& key = kKeys[pick(0, kKeys.size() - 1)];
        Expectation expect{true, model_, 2};
        std::vector<ModelSlot> slots;
        std::size_t k = 0;
        for (const auto& slot : model_.slots) {
            if (k < texts.size()) {
                const auto& item = texts[k++];
                if (slot.lock == "full") {
                    if (slot.isRest == item.has_value()) expect.succeeds = false;
                    ModelSlot copy = slot;
                    if (item) copy.text = *item;
                    slots.push_back(copy);
                } else if (slot.lock == "shape") {
                    ModelSlot made = item ? ModelSlot{"", false, *item, slot.duration, 77, slot.lock}
                                          : ModelSlot{"", true, "", slot.duration, 100, slot.lock};
                    if (item.has_value() != slot.isRest) {
                        made = slot;
                        made.text = item.value_or("");
                    }
                    slots.push_back(made);
                } else {
                    slots.push_back(item ? ModelSlot{"", false, *item, 4.0, 77, "none"}
                                         : ModelSlot{"", true, "", 4.0, 100, "none"});
                }
            } else if (slot.lock == "full") {
                slots.push_back(slot);
            }
        }
        for (; k < texts.size(); ++k) {
            slots.push_back(texts[k] ? ModelSlot{"", false, *texts[k], 4.0, 77, "none"}
                                     : ModelSlot{"", true, "", 4.0, 100, "none"});
        }
        expect.after.slots = std::move(slots);
        expect.after.parseError = false;
        expect.after.input = textOf(expect.after.slots);
        if (expect.after.input != model_.input) appendLog(expect.after);
        submit({{"type", "apply_generated_progression"}, {"requestId", "r"}, {"items", items}, {"key", key}}, expect);
    }

    void transform() {
        Expectation expect{true, model_, 2};
        for (auto& slot : expect.after.slots) slot.text.clear();  // the service respells
        json command = pick(0, 2) == 0 ? json{{"type", "set_parallel_mode"},
                                              {"mode", pick(0, 1) ? "major" : "minor"},
                                              {"minorScaleType", "natural"}}
                                       : json{{"type", "transpose_progression"}, {"semitones", pick(-11, 11)}};
        submit(command, expect);
    }

    void submit(const json& command, Expectation expect) {
        const RevisionPtr before = session_->currentRevision();
        const auto reply = execute(command);
        const RevisionPtr after = session_->currentRevision();
        if (!expect.succeeds) {
            EXPECT_EQ(reply.type, "document_error") << command.dump();
            EXPECT_EQ(after, before) << command.dump();  // the same object
            return;
        }
        ASSERT_EQ(reply.type, "document_revision") << command.dump() << " -> " << reply.payload.dump();
        if (command["type"] == "transpose_progression" || command["type"] == "set_parallel_mode") {
            // The new texts come from the service; the text and log follow them.
            const auto& slots = after->document->progression->slots;
            for (std::size_t i = 0; i < slots.size(); ++i) {
                if (!slots[i].isRest) expect.after.slots[i].text = slots[i].chord.original;
            }
            expect.after.input = textOf(expect.after.slots);
            expect.after.parseError = false;
            if (expect.after.input != model_.input) appendLog(expect.after);
        }
        adoptAndCheck(expect, after, before);
    }

    // Checks the revision against the expectation; new slots adopt their fresh IDs.
    void adoptAndCheck(Expectation expect, const RevisionPtr& revision, const RevisionPtr& before) {
        const ProjectDocument& document = *revision->document;
        const auto& slots = document.progression->slots;
        ASSERT_EQ(slots.size(), expect.after.slots.size()) << document.progression->input;
        std::set<std::string> ids;
        std::set<std::string> previous;
        for (const auto& slot : model_.slots) previous.insert(slot.id);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            ASSERT_TRUE(slots[i].id && !slots[i].id->empty());
            EXPECT_TRUE(ids.insert(*slots[i].id).second);
            auto& expected = expect.after.slots[i];
            if (expected.id.empty()) {
                EXPECT_EQ(previous.count(*slots[i].id), 0u) << *slots[i].id << " is not new";
                expected.id = *slots[i].id;
            }
            EXPECT_EQ(*slots[i].id, expected.id) << i;
            EXPECT_EQ(slots[i].isRest, expected.isRest) << i;
            if (!expected.isRest) {
                EXPECT_EQ(slots[i].chord.original, expected.text) << i;
            }
            EXPECT_EQ(slots[i].duration, expected.duration) << i;
            if (!expected.isRest) {
                EXPECT_EQ(slots[i].velocity, expected.velocity) << i;
            }
            EXPECT_EQ(slots[i].lockState.value_or(""), expected.lock) << i;
        }
        EXPECT_EQ(document.progression->input, expect.after.input);
        EXPECT_EQ(document.progression->parseError.has_value(), expect.after.parseError);
        EXPECT_EQ(*document.progressionLog, expect.after.log);
        EXPECT_LE(document.progressionLog->size(), 50u);
        if (before) {
            const int impact = revision->voicings != before->voicings ? 2 : revision->plan != before->plan ? 1 : 0;
            EXPECT_EQ(impact, expect.impact);
        }
        const json written = writeProjectDocument(document);
        EXPECT_EQ(writeProjectDocument(readProjectDocument(written)), written);
        model_ = std::move(expect.after);
    }

    std::mt19937 random_;
    std::shared_ptr<testing::StandInResolver> resolver_;
    std::unique_ptr<DocumentSession> session_;
    std::shared_ptr<const UserSettingsSection> settings_ = testing::sharedUserSettings();
    Model model_;
    int nextId_ = 0;
};

TEST(ProgressionModel, RandomCommandSequencesFollowTheModel) {
    for (int seed = 0; seed < kSequences && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ProgressionModelRun(static_cast<std::uint32_t>(seed), seed < kRealResolverSequences).run();
    }
}

}  // namespace
}  // namespace quillex
