// Preview rendering: the attack checked against the document shape, one page struck once.
#include "performance/performance_preview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "document/document_schema.h"
#include "performance/attack_timing_json.h"
#include "protocol/json_number.h"

namespace quillex {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

bool hasExactPreviewShape(const json& payload) {
    if (!payload.is_object() || payload.size() != 5) return false;
    const auto notes = payload.find("notes");
    const auto attack = payload.find("attack");
    const auto orders = payload.find("attackOrders");
    const auto velocity = payload.find("velocity");
    const auto ordinal = payload.find("hitOrdinal");
    const auto end = payload.end();
    if (notes == end || attack == end || orders == end || velocity == end || ordinal == end) return false;
    return notes->is_array() && attack->is_object() && orders->is_array() && velocity->is_number_integer() &&
           readUint64Integer(*ordinal).has_value();
}

// A whole number in range, or `outOfRange`; a value that is no number raises the JSON
// library's type error, as reading it as an integer would.
std::int32_t readWholeNumber(const json& value, std::int32_t outOfRange) {
    if (const std::optional<std::int32_t> exact = readInt32Exact(value)) return *exact;
    if (!value.is_number()) return value.get<std::int32_t>();
    return outOfRange;
}

double beatsAt(const json& shape, const char* key, std::size_t index) { return shape.at(key).at(index).get<double>(); }

}  // namespace

bool writePreviewNotes(void* context, const ExpandedNote& note) noexcept {
    auto& writer = *static_cast<PreviewNoteWriter*>(context);
    try {
        json event = {{"pitch", note.pitch},
                      {"offsetBeats", note.onset},
                      {"velocity", note.velocity},
                      {"velocityMultiplier", static_cast<double>(note.velocity) / writer.velocity}};
        if (writer.step && note.end < writer.end - kTriggerBeatEpsilon) event["durationBeats"] = note.end - note.onset;
        writer.events->push_back(std::move(event));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

json renderPerformancePreview(const json& payload) {
    if (!hasExactPreviewShape(payload)) fail("Performance preview request is invalid");
    std::vector<std::int32_t> notes;
    for (const json& note : payload.at("notes")) notes.push_back(readWholeNumber(note, -1));
    const std::int32_t velocity = readWholeNumber(payload.at("velocity"), 0);
    const std::uint64_t hitOrdinal = *readUint64Integer(payload.at("hitOrdinal"));
    if (notes.empty() || notes.size() > kTriggerNotesPerPage || velocity < 1 || velocity > 127) {
        fail("Performance preview values are invalid");
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i] < 0 || notes[i] > 127 ||
            std::find(notes.begin(), notes.begin() + i, notes[i]) != notes.begin() + i) {
            fail("Performance preview notes are invalid");
        }
    }
    const json& attack = payload.at("attack");
    const json& attackOrders = payload.at("attackOrders");
    const json& schema = documentShapeSchema();
    if (!isValidAttackSettings(attack, schema) || !isValidAttackOrders(attackOrders, schema)) {
        fail("Performance preview Gesture is invalid");
    }
    const bool advanced = attack.at("mode").get<std::string>() == "advanced";
    std::uint64_t pageCount = 1;
    if (advanced) {
        const std::optional<std::int32_t> length = readInt32Exact(attack.at("roundRobinLength"));
        if (!length || *length < 1 || *length > static_cast<std::int32_t>(kTriggerPagesPerRow)) {
            fail("Performance preview page count is invalid");
        }
        pageCount = static_cast<std::uint64_t>(*length);
    }
    const std::size_t pageNumber = static_cast<std::size_t>(hitOrdinal % pageCount);

    const AttackPageTiming timing = computeAttackVelocityMultipliers(notes, notes, attack, attackOrders, pageNumber);
    const json shape = computeGestureShape(attack);
    if (timing.onsetOffsets.size() != notes.size() || timing.velocityMultipliers.size() != notes.size()) {
        fail("Performance preview expansion failed");
    }

    TriggerRow row;
    row.velocity = static_cast<std::uint8_t>(velocity);
    row.step = advanced && attack.at("gate").get<std::string>() == "step" ? 1 : 0;
    row.midPosition = static_cast<std::uint8_t>(std::clamp(readInt32Saturating(shape.at("midPosition")), 0, 100));
    row.spreadAtSoftest = beatsAt(shape, "beats", 0);
    row.spreadAtMiddle = beatsAt(shape, "beats", 1);
    row.spreadAtHardest = beatsAt(shape, "beats", 2);
    row.firstBend = beatsAt(shape, "bends", 0);
    row.secondBend = beatsAt(shape, "bends", 1);
    TriggerPage page{};
    page.noteCount = static_cast<std::uint8_t>(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        page.pitches[i] = static_cast<std::uint8_t>(notes[i]);
        page.onsetOffsets[i] = timing.onsetOffsets[i];
        page.velocityMultipliers[i] = timing.velocityMultipliers[i];
    }

    // The preview lasts one beat past its last strum onset.
    const double spread = velocityToSpreadBeats(row, velocity);
    double end = 1.0;
    for (std::size_t i = 0; i < notes.size(); ++i) end = std::max(end, spread * page.onsetOffsets[i] + 1.0);
    json events = json::array();
    PreviewNoteWriter writer{&events, static_cast<std::uint32_t>(velocity), row.step != 0, end};
    const HeldPageHit hit{&row, &page, static_cast<std::uint32_t>(velocity), 0.0, end, end, hitOrdinal, 0};
    bool emitted = false;
    if (!expandHeldPage(hit, &writer, writePreviewNotes, emitted) || !emitted) {
        fail("Performance preview expansion failed");
    }
    return {{"events", std::move(events)}};
}

}  // namespace quillex
