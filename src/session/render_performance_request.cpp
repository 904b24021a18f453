// Reading render requests, rendering from a kept revision, and the reply objects.
#include "session/render_performance_request.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/document_writer.h"
#include "performance/clip_notes.h"
#include "performance/performance_preview.h"
#include "protocol/json_number.h"

namespace quillex {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

constexpr const char* kRenderFailed = "performance_render_failed";

std::string readText(const json& request, const char* key) {
    const auto it = request.find(key);
    return it == request.end() ? std::string() : it->get<std::string>();
}

bool isText(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string();
}

// The bridge passes a render request whole, so an exact shape may also carry "responseTarget".
bool hasExactMembers(const json& object, std::size_t count) {
    return object.size() == count + (object.contains("responseTarget") ? 1 : 0);
}

const ResolvedDocumentRevision& usableRevision(const RevisionPtr& revision) {
    if (!revision || !revision->document || !revision->userSettings || !revision->plan) {
        fail("Resolved document revision is unavailable");
    }
    return *revision;
}

RenderedPhrase renderPhraseOf(const ResolvedDocumentRevision& revision, BassDisposition disposition,
                              const std::vector<double>* durations) {
    const std::string& spelling = revision.userSettings->spellingPreference;
    if (durations) {
        return renderSessionPhrasePreview(*revision.document, spelling, *revision.plan, disposition, *durations);
    }
    return renderSessionPhrase(*revision.document, spelling, *revision.plan, disposition);
}

void addClipDocuments(json& reply, const RenderedPhrase& phrase) {
    reply["mainDocument"] = buildClipPayload(phrase.mainNotes, phrase.length, phrase.mainLabel);
    reply["bassDocument"] =
        phrase.hasBass ? buildClipPayload(phrase.bassNotes, phrase.length, phrase.bassLabel) : json(nullptr);
}

void renderPhrase(const json& request, const DocumentSession& session, bool clipPayload, json& reply) {
    const auto revisionMember = request.find("documentRevision");
    const std::optional<std::uint64_t> number =
        revisionMember == request.end() ? std::nullopt : readUint64Integer(*revisionMember);
    if (!number || !isText(request, "bassDisposition") || request.contains("documentState")) {
        fail("Phrase render requires documentRevision and bassDisposition");
    }
    const RevisionPtr kept = session.requireRevision(*number);
    const ResolvedDocumentRevision& revision = usableRevision(kept);
    const BassDisposition disposition = parseBassDisposition(request.at("bassDisposition"));
    const RenderedPhrase phrase = renderPhraseOf(revision, disposition, nullptr);

    if (clipPayload) {
        reply["notesFlat"] = writeNotesFlat(phrase.mainNotes);
        reply["notesFingerprint"] = computeNotesFingerprint(phrase.mainNotes);
        reply["length"] = phrase.length;
        reply["clipLabel"] = phrase.mainLabel;
        if (phrase.hasBass) {
            reply["bassNotesFlat"] = writeNotesFlat(phrase.bassNotes);
            reply["bassNotesFingerprint"] = computeNotesFingerprint(phrase.bassNotes);
            reply["bassLength"] = phrase.length;
            reply["bassClipLabel"] = phrase.bassLabel;
        } else {
            reply["bassNotesFlat"] = nullptr;
            reply["bassNotesFingerprint"] = nullptr;
            reply["bassLength"] = nullptr;
            reply["bassClipLabel"] = nullptr;
        }
        reply["documentState"] = writeProjectDocument(*revision.document);
        reply["originatingTransactionId"] = revision.originatingTransactionId;
    } else {
        addClipDocuments(reply, phrase);
    }
    reply["documentRevision"] = *number;
    reply["render_source"] = "session";
}

bool isDurationEdit(const json& edit) {
    if (!edit.is_object() || edit.size() != 2) return false;
    const auto slotId = edit.find("slotId");
    const auto duration = edit.find("duration");
    return slotId != edit.end() && slotId->is_string() && duration != edit.end() && duration->is_number();
}

void renderPhrasePreview(const json& request, const DocumentSession& session, json& reply) {
    const auto revisionMember = request.find("documentRevision");
    const auto edits = request.find("durationEdits");
    const std::optional<std::uint64_t> number =
        revisionMember == request.end() ? std::nullopt : readUint64Integer(*revisionMember);
    if (!hasExactMembers(request, 5) || !number || edits == request.end() || !edits->is_array() ||
        !isText(request, "bassDisposition")) {
        fail("Phrase preview requires documentRevision, durationEdits, and bassDisposition");
    }
    for (const json& edit : *edits) {
        if (!isDurationEdit(edit)) fail("Phrase preview duration edit is invalid");
    }
    const BassDisposition disposition = parseBassDisposition(request.at("bassDisposition"));
    const RevisionPtr kept = session.requireRevision(*number);
    const ResolvedDocumentRevision& revision = usableRevision(kept);

    const std::vector<ProgressionSlot> noSlots;
    const std::vector<ProgressionSlot>& slots =
        revision.document->progression ? revision.document->progression->slots : noSlots;
    std::vector<double> durations;
    durations.reserve(slots.size());
    for (const ProgressionSlot& slot : slots) durations.push_back(slot.duration);
    for (const json& edit : *edits) {
        const double duration = edit.at("duration").get<double>();
        if (!std::isfinite(duration) || !(duration > 0.0)) fail("Preview slot duration is invalid");
        const std::string& slotId = edit.at("slotId").get_ref<const std::string&>();
        bool found = false;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].id && *slots[i].id == slotId) {
                durations[i] = duration;
                found = true;
            }
        }
        if (!found) fail("Preview references an unknown slot ID");
    }
    const RenderedPhrase phrase = renderPhraseOf(revision, disposition, &durations);
    addClipDocuments(reply, phrase);
    reply["documentRevision"] = *number;
    reply["render_source"] = "session_preview";
}

void renderPreview(const json& request, json& reply) {
    const auto preview = request.find("preview");
    if (!hasExactMembers(request, 3) || preview == request.end() || !preview->is_object()) {
        fail("Preview render requires preview payload");
    }
    reply.update(renderPerformancePreview(*preview));
}

BridgeReply renderPerformance(const json& request, const DocumentSession& session) {
    if (!request.is_object()) fail("Performance render request must be an object");
    const std::string requestId = readText(request, "request_id");
    const std::string operation = readText(request, "operation");
    if (requestId.empty() || operation.empty()) {
        fail("Performance render requires a non-empty request_id and operation");
    }
    json reply = {{"request_id", requestId}, {"operation", operation}};
    if (operation == "phrase" || operation == "clip_payload") {
        renderPhrase(request, session, operation == "clip_payload", reply);
    } else if (operation == "phrase_preview") {
        renderPhrasePreview(request, session, reply);
    } else if (operation == "preview") {
        renderPreview(request, reply);
    } else {
        fail("Unsupported performance render operation");
    }
    return {"performance_rendered", std::move(reply)};
}

}  // namespace

BridgeReply makePerformanceRenderError(const json& request, std::string_view code, std::string_view message) {
    const auto textOf = [&](const char* key) {
        return request.is_object() && isText(request, key) ? request.at(key).get<std::string>() : std::string();
    };
    return {"performance_render_error",
            {{"request_id", textOf("request_id")},
             {"operation", textOf("operation")},
             {"error", {{"code", code}, {"message", message}}}}};
}

BassDisposition parseBassDisposition(const json& value) {
    if (!value.is_string()) fail("Phrase render bassDisposition must be a string");
    const std::string& text = value.get_ref<const std::string&>();
    if (text == "none") return BassDisposition::none;
    if (text == "duplicate") return BassDisposition::duplicate;
    if (text == "migrate") return BassDisposition::migrate;
    fail("Phrase render bassDisposition is invalid");
}

BridgeReply handleRenderPerformance(const json& request, const DocumentSession& session) noexcept {
    try {
        return renderPerformance(request, session);
    } catch (const std::exception& e) {
        return makePerformanceRenderError(request, kRenderFailed, e.what());
    } catch (...) {
        return makePerformanceRenderError(request, kRenderFailed, "Performance render failed");
    }
}

}  // namespace quillex
