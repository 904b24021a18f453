// Document command reply payloads.
#include "session/document_replies.h"

#include <algorithm>

#include "document/document_writer.h"

namespace quillex {

using nlohmann::json;

namespace {

bool sameVoicing(const ResolvedVoicing& a, const ResolvedVoicing& b) {
    return a.notes == b.notes && a.maxManualInversions == b.maxManualInversions && a.slashBass == b.slashBass &&
           a.noteLabels == b.noteLabels;
}

json slashBassJson(const ResolvedVoicing& voicing) { return writeOptionalString(voicing.slashBass); }

// The section pointer a name selects, as an untyped identity; null for other names.
const void* sectionObject(const ProjectDocument& document, std::string_view name) {
    if (name == "progression") return document.progression.get();
    if (name == "progressionLog") return document.progressionLog.get();
    if (name == "key") return document.key.get();
    if (name == "voicing") return document.voicing.get();
    if (name == "rhythm") return document.rhythm.get();
    if (name == "gesture") return document.gesture.get();
    if (name == "bassSplit") return document.bassSplit.get();
    if (name == "clipSync") return document.clipSync.get();
    return nullptr;
}

json writeSection(const ProjectDocument& document, std::string_view name) {
    if (name == "progressionLog") return writeProgressionLog(*document.progressionLog);
    if (name == "key") return writeKeySection(*document.key);
    if (name == "voicing") return writeVoicingSection(*document.voicing);
    if (name == "rhythm") return writeRhythmSection(*document.rhythm);
    if (name == "gesture") return writeGestureSection(*document.gesture);
    if (name == "bassSplit") return writeBassSplitSection(*document.bassSplit);
    if (name == "clipSync") return writeClipSyncSection(*document.clipSync);
    return writeProgressionSection(*document.progression);
}

}  // namespace

json writeVoicingView(const ResolvedDocumentRevision& revision) {
    json inversions = json::array();
    json labels = json::array();
    json basses = json::array();
    json notes = json::array();
    for (const auto& voicing : *revision.voicings) {
        inversions.push_back(voicing.maxManualInversions);
        labels.push_back(voicing.noteLabels);
        basses.push_back(slashBassJson(voicing));
        notes.push_back(voicing.notes);
    }
    json view = json::object();
    view["max_manual_inversions"] = std::move(inversions);
    view["revision"] = revision.revision;
    view["source"] = "display";
    view["voicing_note_labels"] = std::move(labels);
    view["voicing_slash_basses"] = std::move(basses);
    view["voicings"] = std::move(notes);
    return view;
}

json makeDocumentViewReply(const ResolvedDocumentRevision& revision) {
    json reply = makeDocumentRevisionReply(revision);
    reply["derivedVoicings"] = writeVoicingView(revision);
    return reply;
}

json makeDocumentRevisionReply(const ResolvedDocumentRevision& revision) {
    json reply = json::object();
    reply["documentState"] = writeProjectDocument(*revision.document);
    reply["revision"] = revision.revision;
    return reply;
}

bool sectionChanged(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                    std::string_view name) {
    const void* now = sectionObject(*next.document, name);
    if (now == nullptr) return false;
    return previous == nullptr || sectionObject(*previous->document, name) != now;
}

json writeDocumentChanges(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                          SectionNames sections) {
    json changes = json::object();
    for (const auto name : sections) {
        if (name == "progression" || !sectionChanged(previous, next, name)) continue;
        changes[std::string(name)] = writeSection(*next.document, name);
    }
    return changes;
}

json writeProgressionParseResult(const ProgressionSection* previous, const ProgressionSection& next) {
    std::size_t start = 0;
    if (previous != nullptr) {
        const auto shorter = std::min(previous->slots.size(), next.slots.size());
        while (start < shorter && previous->slots[start] == next.slots[start]) ++start;
    }
    json slots = json::array();
    for (std::size_t i = start; i < next.slots.size(); ++i) slots.push_back(writeProgressionSlot(next.slots[i]));
    json patch = json::object();
    patch["input"] = next.input;
    patch["parseError"] = writeProgressionParseErrors(next.parseError);
    patch["slots"] = std::move(slots);
    patch["start"] = start;
    patch["total"] = next.slots.size();
    return patch;
}

json writeVoicingsPatch(const ResolvedVoicings* previous, const ResolvedVoicings& next) {
    const auto& now = next;
    std::size_t start = 0;
    if (previous == &next) {
        start = now.size();  // shared voicings: nothing to compare
    } else if (previous != nullptr) {
        const auto& before = *previous;
        const auto shorter = std::min(before.size(), now.size());
        while (start < shorter && sameVoicing(before[start], now[start])) ++start;
    }
    json inversions = json::array();
    json labels = json::array();
    json basses = json::array();
    json notes = json::array();
    for (std::size_t i = start; i < now.size(); ++i) {
        inversions.push_back(now[i].maxManualInversions);
        labels.push_back(now[i].noteLabels);
        basses.push_back(slashBassJson(now[i]));
        notes.push_back(now[i].notes);
    }
    json patch = json::object();
    patch["inversionLimits"] = std::move(inversions);
    patch["noteLabels"] = std::move(labels);
    patch["slashBasses"] = std::move(basses);
    patch["start"] = start;
    patch["total"] = now.size();
    patch["voicings"] = std::move(notes);
    return patch;
}

json makeDocumentChangeReport(const ResolvedDocumentRevision* previous, const ResolvedDocumentRevision& next,
                              const std::string& transactionId, std::uint64_t baseRevision, SectionNames sections) {
    json report = json::object();
    report["baseRevision"] = baseRevision;
    report["changes"] = writeDocumentChanges(previous, next, sections);
    report["clipPlanChanged"] = previous == nullptr || previous->plan != next.plan;
    report["derivedPatch"] =
        writeVoicingsPatch(previous != nullptr ? previous->voicings.get() : nullptr, *next.voicings);
    if (previous == nullptr || previous->document->progression != next.document->progression) {
        report["progressionPatch"] = writeProgressionParseResult(
            previous != nullptr ? previous->document->progression.get() : nullptr, *next.document->progression);
    }
    report["revision"] = next.revision;
    report["transactionId"] = transactionId;
    return report;
}

}  // namespace quillex
