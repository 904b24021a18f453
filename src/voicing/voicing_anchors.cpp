// Anchors, segments and the per-segment solver options of automatic voice leading.
#include "voicing/voicing_anchors.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "protocol/json_number.h"
#include "voicing/chord_voicing.h"
#include "voicing/voicer_solve.h"
#include "voicing/voicing_candidates.h"

namespace quillex {
namespace {

constexpr std::int32_t kAnchorOctave = 3;

const std::vector<std::int32_t>& anchorNotesOf(const std::vector<VoicingSlot>& slots, AnchorNotes& anchors,
                                               std::size_t i) {
    if (!anchors[i]) anchors[i] = voiceAnchorSlot(slots[i]);
    return *anchors[i];
}

VoicerOptions segmentOptions(const VoicingSlot& anchorSlot, const std::vector<std::int32_t>& anchor,
                             std::int64_t largestPitchClassCount, bool allowBassChanges) {
    const VoicerStyleProfile profile = defaultVoicerOptionsForStyle(anchorSlot.style);
    VoicerOptions options;
    options.ruleTerms() = profile.ruleTerms;
    const std::int64_t n = static_cast<std::int64_t>(anchor.size());
    const std::int64_t span = anchor.empty() ? 0 : static_cast<std::int64_t>(anchor.back()) - anchor.front();

    const std::int64_t maxNotes =
        std::min<std::int64_t>(profile.noteCap, std::max<std::int64_t>(n + profile.extraNotes, largestPitchClassCount));
    const std::int64_t minNotes = std::min<std::int64_t>(maxNotes, std::max<std::int64_t>(n, 1));
    options.maxNotes = saturateToInt32(maxNotes);
    options.minNotes = saturateToInt32(minNotes);
    options.targetNotes = options.minNotes;
    if (!anchor.empty()) {
        std::int64_t sum = 0;
        for (const std::int32_t note : anchor) sum += note;
        options.middle =
            saturateToInt32(static_cast<std::int64_t>(std::round(static_cast<double>(sum) / static_cast<double>(n))));
        options.top = saturateToInt32(static_cast<std::int64_t>(anchor.back()) + profile.topMargin);
        options.bottom = saturateToInt32(static_cast<std::int64_t>(anchor.front()) - profile.bottomMargin);
    }
    options.allowBassChanges = allowBassChanges;
    options.middleWeightScale = profile.middleWeightScale;
    options.bottomWeightScale = profile.bottomWeightScale;
    if (profile.fixedMaxSpan >= 0) {
        options.maxSpan = profile.fixedMaxSpan;
    } else if (n >= profile.wideAnchorNotes || span >= profile.wideAnchorSpan) {
        options.minSpan = saturateToInt32(std::max<std::int64_t>(span - profile.spanSlack, 0));
        options.maxSpan = saturateToInt32(span + profile.spanSlack);
    }
    options.style = anchorSlot.style;
    return options;
}

std::string segmentLine(const AvlSegment& segment, const VoicingSlot& anchorSlot) {
    const VoicerOptions& o = segment.options;
    std::string line = "AVL segment start=" + std::to_string(segment.start) + " end=" + std::to_string(segment.end) +
                       " anchor_style=" + std::string(voicingStyleId(anchorSlot.style)) +
                       " anchor_octave=" + std::to_string(anchorSlot.octave) + " anchor_midi=[";
    for (std::size_t i = 0; i < segment.anchorMidi.size(); ++i) {
        if (i > 0) line += ",";
        line += std::to_string(segment.anchorMidi[i]);
    }
    line += "] top=" + std::to_string(o.top) + " bottom=" + std::to_string(o.bottom) +
            " middle=" + std::to_string(o.middle) + " minSpan=" + std::to_string(o.minSpan) +
            " maxSpan=" + std::to_string(o.maxSpan) + " minNotes=" + std::to_string(o.minNotes) +
            " maxNotes=" + std::to_string(o.maxNotes);
    return line;
}

}  // namespace

std::vector<std::int32_t> voiceAnchorSlot(const VoicingSlot& slot) {
    if (!slot.manualMidi.empty()) {
        std::vector<std::int32_t> notes = slot.manualMidi;
        for (std::int32_t& note : notes) note = std::clamp(note, 0, 127);
        std::sort(notes.begin(), notes.end());
        return notes;
    }
    const std::vector<Pitch> pitches = voiceChordInStyle(slot.chord, slot.style, kAnchorOctave,
                                                         ChordVoicingOptions{slot.octaveShift, false, slot.inversion});
    return notesToMidi(pitches);
}

std::vector<Pitch> summarizeVoicing(std::span<const std::int32_t> midi) {
    std::vector<std::int32_t> sorted(midi.begin(), midi.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<Pitch> pitches;
    pitches.reserve(sorted.size());
    for (const std::int32_t note : sorted) pitches.push_back(pitchFromMidi(note));
    return pitches;
}

std::vector<AvlSegment> buildAvlSegments(const std::vector<VoicingSlot>& slots, AnchorNotes& anchorNotes,
                                         bool allowBassChanges) {
    std::vector<AvlSegment> segments;
    if (slots.empty()) return segments;
    anchorNotes.resize(slots.size());
    std::vector<std::size_t> anchors{0};
    for (std::size_t i = 1; i < slots.size(); ++i) {
        if (!slots[i].autoVoiced) anchors.push_back(i);
    }
    for (std::size_t a = 0; a < anchors.size(); ++a) {
        const std::size_t start = anchors[a];
        const std::size_t end = a + 1 < anchors.size() ? anchors[a + 1] : slots.size() - 1;
        if (end <= start) continue;
        bool anyAuto = false;
        for (std::size_t i = start + 1; i <= end; ++i) anyAuto = anyAuto || slots[i].autoVoiced;
        if (!anyAuto) continue;

        AvlSegment segment;
        segment.start = start;
        segment.end = end;
        segment.anchorMidi = anchorNotesOf(slots, anchorNotes, start);
        std::int64_t largestPitchClassCount = 0;
        for (std::size_t i = start; i <= end; ++i) {
            segment.chords.push_back(slots[i].chord);
            if (i == start || !slots[i].autoVoiced) {
                segment.fixedChords.emplace_back(anchorNotesOf(slots, anchorNotes, i));
            } else {
                segment.fixedChords.emplace_back(std::nullopt);
            }
            largestPitchClassCount = std::max<std::int64_t>(
                largestPitchClassCount, static_cast<std::int64_t>(voicerChordPitchClasses(slots[i].chord).size()));
        }
        segment.options = segmentOptions(slots[start], segment.anchorMidi, largestPitchClassCount, allowBassChanges);
        segments.push_back(std::move(segment));
    }
    return segments;
}

std::vector<std::vector<Pitch>> planAutoVoiceLeading(const std::vector<VoicingSlot>& slots, bool allowBassChanges,
                                                     VoicerPort* port) {
    std::vector<std::vector<Pitch>> result(slots.size());
    if (slots.empty()) return result;
    AnchorNotes anchorNotes(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i == 0 || !slots[i].autoVoiced) result[i] = summarizeVoicing(anchorNotesOf(slots, anchorNotes, i));
    }
    const std::vector<AvlSegment> segments = buildAvlSegments(slots, anchorNotes, allowBassChanges);
    for (const AvlSegment& segment : segments) {
        if (isAvlDebugEnabled()) appendAvlDebugLine(segmentLine(segment, slots[segment.start]));
        const std::vector<CandidateVoicing> voicings =
            voicerSolve(segment.chords, segment.options, segment.fixedChords, port);
        for (std::size_t j = 0; j < voicings.size(); ++j) result[segment.start + j] = summarizeVoicing(voicings[j]);
    }
    return result;
}

}  // namespace quillex
