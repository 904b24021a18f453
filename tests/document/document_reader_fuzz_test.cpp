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
#include "support/document_mutation.h"
#include "support/document_samples.h"
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
    for (int i = 0; i < kRuns; ++i) accepted += checkOne(testing::mutateDocument(seeds[i % seeds.size()], rng)) ? 1 : 0;
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
