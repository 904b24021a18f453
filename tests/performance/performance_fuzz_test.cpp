// Seeded fuzzing of the note-value reader and of plan compilation on mutated documents.
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/document_mutation.h"
#include "document/document_reader.h"
#include "support/document_samples.h"
#include "performance/performance_plan.h"
#include "performance/trigger_row_table.h"
#include "performance_samples.h"

namespace quillex {
namespace {

#ifdef QUILLEX_SANITIZED
constexpr int kFuzzScale = 4;
#else
constexpr int kFuzzScale = 1;
#endif

// The note value the rule gives, with the standard conversion itself as the oracle for the number.
std::string expectedNoteValue(const std::string& text) {
    if (text.size() < 3 || text[0] != '1' || text[1] != '/') return "Trigger attack spread is malformed";
    std::string number = text.substr(2);
    double factor = 1.0;
    if (text.back() == 'D' || text.back() == 'T') {
        factor = text.back() == 'D' ? 1.5 : 0.6666666666666666;
        number.pop_back();
    }
    int n = 0;
    try {
        n = std::stoi(number);
    } catch (const std::invalid_argument&) {
        return "invalid stoi argument";
    } catch (const std::out_of_range&) {
        return "stoi argument out of range";
    }
    if (n < 2 || n > 256 || (n & (n - 1)) != 0) return "Trigger attack spread is unsupported";
    return std::to_string(4.0 / n * factor);
}

TEST(PerformanceFuzz, NoteValueTextsReadAsTheStandardConversionReads) {
    std::mt19937 rng(0x1f2e3d4cu);
    const std::string alphabet = "1/2486053DT +-\t\nx.";
    const std::vector<std::string> stems = {"1/", "1/1", "1/25", "1/64", "1/ ", "1/-", "1/99999999999", ""};
    int accepted = 0;
    for (int i = 0; i < 20000 / kFuzzScale; ++i) {
        std::string text = stems[std::uniform_int_distribution<std::size_t>(0, stems.size() - 1)(rng)];
        for (int k = std::uniform_int_distribution<int>(0, 6)(rng); k > 0; --k) {
            text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        }
        std::string got;
        try {
            got = std::to_string(parseAttackSpreadNoteValue(text));
            ++accepted;
        } catch (const std::runtime_error& e) {
            got = e.what();
        }
        ASSERT_EQ(got, expectedNoteValue(text)) << '"' << text << '"';
    }
    EXPECT_GT(accepted, 100);
}

const std::set<std::string>& compileMessages() {
    static const std::set<std::string> messages = {
        // the document's range checks
        "Document rhythm is invalid", "Document attack is invalid", "Document contour is invalid",
        "Document slot is invalid",
        // rows
        "Trigger gesture page count is invalid", "Trigger gesture page is invalid", "Trigger gesture pitch is invalid",
        "Trigger attack page is unavailable", "Trigger attack spread is malformed",
        "Trigger attack spread is unsupported", "invalid stoi argument", "stoi argument out of range",
        "Custom rhythm pattern is missing", "Trigger rhythm preset could not be resolved",
        "Trigger rhythm contains an unsupported part", "Trigger rhythm exceeds the hit limit",
        // the plan
        "Performance plan exceeds the row limit", "Resolved voicing count does not match progression"};
    return messages;
}

// Every mutated document the reader accepts compiles to a plan and a table, or fails with a listed message.
TEST(PerformanceFuzz, MutatedDocumentsCompileOrFailWithAListedMessage) {
    std::mt19937 rng(0x9e3779b9u);
    nlohmann::json rhythmic = testing::documentWithSlots(3);
    rhythmic["rhythm"]["pattern"] = "bossa";
    const std::vector<nlohmann::json> seeds = {testing::fullDocumentJson(), testing::documentWithSlots(3), rhythmic};
    int read = 0;
    int compiled = 0;
    for (int i = 0; i < 1500 / kFuzzScale; ++i) {
        const nlohmann::json input = testing::mutateDocument(seeds[static_cast<std::size_t>(i) % seeds.size()], rng);
        ProjectDocument document;
        try {
            document = readProjectDocument(input);
        } catch (const std::exception&) {
            continue;  // the reader's own business
        }
        ++read;
        // A voicing per chord slot, now and then clamped onto repeated pitches or out of the MIDI range.
        ResolvedVoicings voicings;
        for (const ProgressionSlot& slot : document.progression->slots) {
            if (slot.isRest) continue;
            std::vector<std::int32_t> notes = testing::spreadVoicing(1 + static_cast<int>(rng() % 8));
            if (rng() % 10 == 0) notes.push_back(notes.front());
            if (rng() % 20 == 0) notes.back() = 128;
            voicings.push_back({notes, 8, std::nullopt, {}});
        }
        try {
            const auto plan = compilePerformancePlan(document, voicings);
            const TriggerRowTableBuild build = buildTriggerRowTable(*plan, static_cast<std::uint64_t>(i));
            ASSERT_EQ(build.error, "");
            ++compiled;
        } catch (const std::runtime_error& e) {
            ASSERT_TRUE(compileMessages().count(e.what())) << e.what() << "\n" << input.dump();
        }
    }
    EXPECT_GT(read, 100 / kFuzzScale);
    EXPECT_GT(compiled, 20 / kFuzzScale);
}

}  // namespace
}  // namespace quillex
