// Seeded, time-bounded fuzz of document command envelopes and commands.
#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "session/document_command.h"
#include "support/document_samples.h"
#include "session_support.h"

namespace quillex {
namespace {

using nlohmann::json;
using Access = DocumentSessionTestAccess;

const std::vector<std::string>& commandTypes() {
    static const std::vector<std::string> types = {"get_document_view",
                                                   "get_document_revision",
                                                   "restore_project_snapshot",
                                                   "replace_progression_text",
                                                   "apply_slot_edits",
                                                   "transpose_progression",
                                                   "set_parallel_mode",
                                                   "apply_generated_progression",
                                                   "set_key",
                                                   "set_voicing_policy",
                                                   "set_rhythm",
                                                   "set_gesture_defaults",
                                                   "set_bass_split",
                                                   "set_clip_sync",
                                                   "update_progression_log",
                                                   "commit_revision",
                                                   "rollback_revision",
                                                   "",
                                                   "SET_KEY"};
    return types;
}

class Fuzzer {
public:
    explicit Fuzzer(std::uint32_t seed) : random_(seed) {}

    json request(std::uint64_t current) {
        const json document = testing::fullDocumentJson();
        const std::string type = oneOf(commandTypes());
        json command = {{"type", type}};
        // Members the commands read, with good or wild values.
        for (const char* key : {"key", "voicing", "rhythm", "gesture", "bassSplit", "clipSync"}) {
            if (pick(6) == 0) command[key] = pick(3) == 0 ? wild(2) : document[key];
        }
        if (pick(4) == 0) command["progressionLog"] = pick(2) == 0 ? wild(2) : json{"C", "F"};
        if (pick(4) == 0) command["documentState"] = pick(3) == 0 ? mutate(document) : document;
        if (pick(3) == 0) command["revision"] = pick(2) == 0 ? json(current - pick(3)) : wild(1);
        if (pick(4) == 0)
            command["originatingTransactionId"] = pick(2) == 0 ? json("t" + std::to_string(pick(40))) : wild(1);
        if (pick(8) == 0) command["type"] = wild(1);

        json request = {{"schemaVersion", 1}, {"transactionId", "f" + std::to_string(next_++)}, {"command", command}};
        if (pick(2) == 0) request["baseRevision"] = pick(4) == 0 ? wild(1) : json(current);
        if (pick(10) == 0) request["responseTarget"] = "bridge";
        if (pick(8) == 0) request["schemaVersion"] = wild(1);
        if (pick(8) == 0) request["transactionId"] = pick(2) == 0 ? wild(1) : json("t" + std::to_string(pick(40)));
        if (pick(12) == 0) request.erase(oneOf(std::vector<std::string>{"schemaVersion", "transactionId", "command"}));
        if (pick(20) == 0) return wild(3);
        return request;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
    template <typename T>
    const T& oneOf(const std::vector<T>& values) {
        return values[static_cast<std::size_t>(pick(static_cast<int>(values.size())))];
    }

    json wild(int depth) {
        switch (pick(depth > 0 ? 10 : 8)) {
            case 0:
                return nullptr;
            case 1:
                return pick(2) == 0;
            case 2:
                return static_cast<std::int64_t>(random_()) - 2147483648LL;
            case 3:
                return json::parse(oneOf(std::vector<std::string>{"18446744073709551615", "-9223372036854775808",
                                                                  "1e308", "-0.0", "4294967297", "1.5"}));
            case 4:
                return std::string(static_cast<std::size_t>(pick(12)), static_cast<char>('a' + pick(26)));
            case 5:
                return "\xff\xfe";
            case 6:
                return json::array();
            case 7:
                return json::object();
            case 8: {
                json array = json::array();
                for (int i = pick(4); i > 0; --i) array.push_back(wild(depth - 1));
                return array;
            }
            default: {
                json object = json::object();
                for (int i = pick(4); i > 0; --i) object["k" + std::to_string(pick(5))] = wild(depth - 1);
                return object;
            }
        }
    }

    // The document with one member somewhere replaced by a wild value.
    json mutate(json document) {
        json* at = &document;
        for (int depth = 0; depth < 4 && (at->is_object() || at->is_array()) && !at->empty(); ++depth) {
            auto it = at->begin();
            std::advance(it, pick(static_cast<int>(at->size())));
            at = &*it;
        }
        *at = wild(2);
        return document;
    }

    std::mt19937 random_;
    int next_ = 0;
};

bool isReplyType(const std::string& type) {
    return type == "document_view" || type == "document_revision" || type == "document_commit_result" ||
           type == "document_rollback" || type == "document_error";
}

TEST(DocumentCommandFuzz, EveryRequestGetsOneWellFormedReply) {
#ifdef QUILLEX_SANITIZED
    const auto budget = std::chrono::milliseconds(1500);
#else
    const auto budget = std::chrono::milliseconds(700);
#endif
    const auto deadline = std::chrono::steady_clock::now() + budget;
    auto resolver = std::make_shared<testing::StandInResolver>();
    DocumentSession session(resolver);
    const auto settings = testing::sharedUserSettings();
    Fuzzer fuzzer(20261207);
    int requests = 0;
    while (std::chrono::steady_clock::now() < deadline || requests < 200) {
        const auto current = session.currentRevision();
        const json request = fuzzer.request(current ? current->revision : 0);
        const BridgeReply reply = executeDocumentCommand(request, settings, session);
        ++requests;
        ASSERT_TRUE(isReplyType(reply.type)) << reply.type;
        ASSERT_TRUE(reply.payload.is_object());
        if (reply.type == "document_error") {
            ASSERT_EQ(reply.payload.size(), 4u);
            ASSERT_EQ(reply.payload["error"], reply.payload["message"]);
        } else {
            // Serialisable; texts the page sent come back as they came, repaired by the bridge.
            (void)reply.payload.dump(-1, ' ', false, json::error_handler_t::replace);
        }
        const auto revisions = Access::revisions(session);
        if (const auto now = session.currentRevision()) {
            ASSERT_EQ(revisions.back(), now);
        }
        for (std::size_t i = 1; i < revisions.size(); ++i)
            ASSERT_LT(revisions[i - 1]->revision, revisions[i]->revision);
        ASSERT_LE(Access::transactionIdOrder(session).size(), 256u);
    }
    const json restore = testing::commandRequest(
        "final-restore", {{"type", "restore_project_snapshot"}, {"documentState", testing::fullDocumentJson()}});
    ASSERT_EQ(executeDocumentCommand(restore, settings, session).type, "document_revision");
    EXPECT_EQ(executeDocumentCommand(testing::commandRequest("final-view", {{"type", "get_document_view"}}), settings,
                                     session)
                  .type,
              "document_view");
}

}  // namespace
}  // namespace quillex
