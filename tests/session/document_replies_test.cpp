// Reply payloads: views, change reports, progression and voicing patches.
#include "session/document_replies.h"

#include <gtest/gtest.h>

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "support/document_samples.h"

namespace quillex {
namespace {

using nlohmann::json;

ResolvedVoicing voicing(std::vector<std::int32_t> notes, std::optional<std::string> bass = std::nullopt) {
    ResolvedVoicing v;
    v.notes = std::move(notes);
    v.maxManualInversions = 3;
    v.slashBass = std::move(bass);
    v.noteLabels = std::vector<std::string>(v.notes.size(), "x");
    return v;
}

std::shared_ptr<const ResolvedVoicings> voicings(std::vector<ResolvedVoicing> records) {
    return std::make_shared<const ResolvedVoicings>(std::move(records));
}

RevisionPtr revisionOf(const ProjectDocument& document, std::uint64_t number, std::shared_ptr<const ResolvedVoicings> v,
                       std::shared_ptr<const ResolvedPerformancePlan> plan = nullptr) {
    auto revision = std::make_shared<ResolvedDocumentRevision>();
    revision->revision = number;
    revision->document = std::make_shared<const ProjectDocument>(document);
    revision->voicings = std::move(v);
    revision->plan = plan ? std::move(plan) : std::make_shared<const ResolvedPerformancePlan>();
    return revision;
}

std::shared_ptr<const ProgressionSection> withSlots(const ProgressionSection& section, std::size_t count) {
    auto copy = std::make_shared<ProgressionSection>(section);
    copy->slots.clear();
    for (std::size_t i = 0; i < count; ++i) {
        copy->slots.push_back(section.slots[0]);
        copy->slots.back().id = "s" + std::to_string(i);
    }
    return copy;
}

const ProjectDocument& sampleDocument() {
    static const ProjectDocument document = readProjectDocument(testing::fullDocumentJson());
    return document;
}

TEST(ChangeReport, AKeyChangeReportsOnlyTheKey) {
    const auto before = revisionOf(sampleDocument(), 4, voicings({voicing({60, 64})}));
    ProjectDocument next = sampleDocument();
    auto key = std::make_shared<KeySection>(*next.key);
    key->root = "D";
    next.key = key;
    const auto after = revisionOf(next, 5, before->voicings, before->plan);
    const std::string_view names[] = {"key", "progression", "key", "nonsense"};
    const json report = makeDocumentChangeReport(before.get(), *after, "t5", 4, names);
    EXPECT_EQ(report["changes"], (json{{"key", writeKeySection(*key)}}));
    EXPECT_FALSE(report.contains("progressionPatch"));
    EXPECT_EQ(report["clipPlanChanged"], false);
    EXPECT_EQ(report["baseRevision"], 4);
    EXPECT_EQ(report["revision"], 5);
    EXPECT_EQ(report["transactionId"], "t5");
    EXPECT_EQ(report["derivedPatch"], (json{{"inversionLimits", json::array()},
                                            {"noteLabels", json::array()},
                                            {"slashBasses", json::array()},
                                            {"start", 1},
                                            {"total", 1},
                                            {"voicings", json::array()}}));
    EXPECT_FALSE(sectionChanged(before.get(), *after, "nonsense"));
    EXPECT_TRUE(sectionChanged(before.get(), *after, "key"));
    EXPECT_FALSE(sectionChanged(before.get(), *after, "progression"));
}

TEST(ProgressionPatch, SendsTheChangedTailOnly) {
    const auto& base = *sampleDocument().progression;
    struct Case {
        std::size_t before, after, start, sent;
    };
    for (const Case c : {Case{3, 4, 3, 1}, Case{4, 3, 3, 0}, Case{0, 2, 0, 2}, Case{2, 2, 2, 0}}) {
        const auto previous = withSlots(base, c.before);
        const auto next = withSlots(base, c.after);
        const json patch = writeProgressionParseResult(previous.get(), *next);
        EXPECT_EQ(patch["start"], c.start);
        EXPECT_EQ(patch["total"], c.after);
        EXPECT_EQ(patch["slots"].size(), c.sent);
        EXPECT_EQ(patch["input"], next->input);
        EXPECT_EQ(patch["parseError"], writeProgressionParseErrors(next->parseError));
    }
    // A change in the middle resends from there.
    auto previous = withSlots(base, 4);
    auto changed = std::make_shared<ProgressionSection>(*previous);
    changed->slots[1].velocity = 7;
    const json patch = writeProgressionParseResult(previous.get(), *changed);
    EXPECT_EQ(patch["start"], 1);
    ASSERT_EQ(patch["slots"].size(), 3u);
    EXPECT_EQ(patch["slots"][0], writeProgressionSlot(changed->slots[1]));
}

TEST(VoicingPatch, ComparesEveryFieldOfARecord) {
    const std::vector<ResolvedVoicing> records = {voicing({60, 64, 67}), voicing({62, 65}, "A"), voicing({59})};
    const auto previous = voicings(records);
    auto sameButLast = records;
    sameButLast[2].noteLabels[0] = "y";
    auto bassGone = records;
    bassGone[1].slashBass.reset();
    auto inversion = records;
    inversion[0].maxManualInversions = 0;
    struct Case {
        std::vector<ResolvedVoicing> next;
        std::size_t start;
    };
    for (const auto& c : {Case{records, 3}, Case{sameButLast, 2}, Case{bassGone, 1}, Case{inversion, 0},
                          Case{{records[0]}, 1}, Case{{}, 0}}) {
        const auto next = voicings(c.next);
        const json patch = writeVoicingsPatch(previous.get(), *next);
        EXPECT_EQ(patch["start"], c.start);
        EXPECT_EQ(patch["total"], c.next.size());
        const auto sent = c.next.size() - c.start;
        for (const char* member : {"inversionLimits", "noteLabels", "slashBasses", "voicings"}) {
            EXPECT_EQ(patch[member].size(), sent) << member;
        }
        if (sent > 0) {
            EXPECT_EQ(patch["voicings"][0], c.next[c.start].notes);
            EXPECT_EQ(patch["slashBasses"][0],
                      c.next[c.start].slashBass ? json(*c.next[c.start].slashBass) : json(nullptr));
        }
    }
}

TEST(VoicingView, ListsEveryRecordInParallelArrays) {
    const auto empty = revisionOf(sampleDocument(), 9, voicings({}));
    EXPECT_EQ(writeVoicingView(*empty), (json{{"max_manual_inversions", json::array()},
                                              {"revision", 9},
                                              {"source", "display"},
                                              {"voicing_note_labels", json::array()},
                                              {"voicing_slash_basses", json::array()},
                                              {"voicings", json::array()}}));
    const auto full = revisionOf(sampleDocument(), 2, voicings({voicing({60, 64}, "E"), voicing({50})}));
    const json view = writeVoicingView(*full);
    EXPECT_EQ(view["voicings"], json::parse("[[60,64],[50]]"));
    EXPECT_EQ(view["voicing_slash_basses"], json::parse(R"(["E",null])"));
    EXPECT_EQ(view["voicing_note_labels"], json::parse(R"([["x","x"],["x"]])"));
    EXPECT_EQ(view["max_manual_inversions"], json::parse("[3,3]"));
    const json reply = makeDocumentViewReply(*full);
    EXPECT_EQ(reply["derivedVoicings"], view);
    EXPECT_EQ(reply["documentState"], writeProjectDocument(sampleDocument()));
    EXPECT_EQ(reply["revision"], 2);
    EXPECT_EQ(makeDocumentRevisionReply(*full).size(), 2u);
}

TEST(ChangeReport, WithoutAPreviousRevisionEverythingCounts) {
    const auto next = revisionOf(sampleDocument(), 0, voicings({voicing({60})}));
    const std::string_view names[] = {"progression", "gesture"};
    const json report = makeDocumentChangeReport(nullptr, *next, "t", 0, names);
    EXPECT_TRUE(report["changes"].contains("gesture"));
    EXPECT_EQ(report["progressionPatch"]["start"], 0);
    EXPECT_EQ(report["derivedPatch"]["start"], 0);
    EXPECT_EQ(report["clipPlanChanged"], true);
}

}  // namespace
}  // namespace quillex
