// Seeded mutation fuzzing of the document reader: it reads or refuses, never crashes.
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "document_samples.h"
#include "protocol/json_text.h"

namespace quillex {
namespace {

using nlohmann::json;

const std::set<std::string>& ownMessages() {
    static const std::set<std::string> messages = {
        "DocumentSession requires the current project schema",
        "Document progression is invalid",
        "Document progression log is invalid",
        "Document slot is invalid",
        "Document slot duration is invalid",
        "Document chord is invalid",
        "Document attack is invalid",
        "Document attack orders are invalid",
        "Document contour is invalid",
        "Document key is invalid",
        "Document rhythm is invalid",
        "Document gesture is invalid",
    };
    return messages;
}

json randomScalar(std::mt19937& rng) {
    static const std::vector<json> pool = {nullptr,
                                           true,
                                           false,
                                           0,
                                           1,
                                           -1,
                                           15,
                                           100,
                                           99.9,
                                           -0.5,
                                           2147483647,
                                           -2147483648LL,
                                           2147483648LL,
                                           4294967296ULL,
                                           4294967396ULL,
                                           18446744073709551615ULL,
                                           -9223372036854775807LL,
                                           1e300,
                                           -1e300,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           "",
                                           "rest",
                                           "bass",
                                           "C",
                                           "\xc3\xa9",
                                           json::array(),
                                           json::object(),
                                           json::array({1, 2}),
                                           json{{"original", "C"}},
                                           json{{"token", 1}}};
    return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(rng)];
}

// Every node of the value, as JSON pointers.
void collectPointers(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& out) {
    out.push_back(at);
    if (value.is_object()) {
        for (const auto& [key, child] : value.items()) collectPointers(child, at / key, out);
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) collectPointers(value[i], at / i, out);
    }
}

json mutate(json document, std::mt19937& rng) {
    const int edits = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int e = 0; e < edits; ++e) {
        std::vector<json::json_pointer> pointers;
        collectPointers(document, json::json_pointer(), pointers);
        const auto& target = pointers[std::uniform_int_distribution<std::size_t>(0, pointers.size() - 1)(rng)];
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
                document[target] = randomScalar(rng);
                break;
            case 1:  // drop the node from its parent
                if (!target.empty()) {
                    json& parent = document[target.parent_pointer()];
                    if (parent.is_object())
                        parent.erase(target.back());
                    else if (parent.is_array())
                        parent.erase(std::stoul(target.back()));
                }
                break;
            case 2:  // copy another node over it
                document[target] =
                    json(document[pointers[std::uniform_int_distribution<std::size_t>(0, pointers.size() - 1)(rng)]]);
                break;
            default:  // grow a container
                if (document[target].is_array())
                    document[target].push_back(randomScalar(rng));
                else if (document[target].is_object())
                    document[target]["fuzz"] = randomScalar(rng);
                break;
        }
    }
    return parseJsonText(document.dump());  // keep only what text can carry (NaN becomes null)
}

// Reads or refuses; an accepted document must survive a write-read-write round trip unchanged.
// Returns whether the input was accepted.
bool checkOne(const json& input) {
    std::optional<ProjectDocument> document;
    try {
        document = readProjectDocument(input);
    } catch (const json::exception& e) {
        EXPECT_NE(std::string(e.what()), "");
        return false;
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(ownMessages().count(e.what())) << e.what();
        return false;
    }
    const json written = writeProjectDocument(*document);
    const ProjectDocument again = readProjectDocument(written);
    EXPECT_EQ(writeProjectDocument(again), written) << input.dump();
    return true;
}

TEST(DocumentReaderFuzz, MutatedDocumentsAreReadOrRefused) {
    std::mt19937 rng(0x5eed1234u);
    const std::vector<json> seeds = {testing::fullDocumentJson(), testing::minimalDocumentJson(),
                                     testing::documentWithSlots(3)};
    int accepted = 0;
    constexpr int kRuns = 1200;
    for (int i = 0; i < kRuns; ++i) accepted += checkOne(mutate(seeds[i % seeds.size()], rng)) ? 1 : 0;
    // Both outcomes must be exercised for the loop to mean anything.
    EXPECT_GT(accepted, kRuns / 20);
    EXPECT_LT(accepted, kRuns - kRuns / 20);
}

TEST(DocumentReaderFuzz, MutatedTextIsReadOrRefused) {
    std::mt19937 rng(0xfeedbeefu);
    const std::string base = testing::fullDocumentJson().dump();
    const std::string alphabet = "{}[]\",:0123456789.-eE truefalsnl\\";
    int parsed = 0;
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = base;
        const int edits = std::uniform_int_distribution<int>(1, 4)(rng);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
            const char c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
            switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
                case 0:
                    text[at] = c;
                    break;
                case 1:
                    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c);
                    break;
                default:
                    text.erase(at, 1);
                    break;
            }
        }
        json input;
        try {
            input = parseJsonText(text);
        } catch (const json::exception&) {
            continue;
        }
        ++parsed;
        accepted += checkOne(input) ? 1 : 0;
    }
    EXPECT_GT(parsed, 100);
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace quillex
