// Single-chord voicing in a style, with inversion, slash bass and drop bass.
#include "voicing/chord_voicing.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "protocol/json_number.h"
#include "theory/pitch_class.h"
#include "voicing/voicing_descriptor.h"
#include "voicing/voicing_plan_builders.h"
#include "voicing/voicing_template.h"

namespace quillex {

namespace {

constexpr std::int32_t kMidiMin = 0;
constexpr std::int32_t kMidiMax = 127;
// Spacing raises no note that already lies above this.
constexpr std::int32_t kSpacingCeiling = 115;

bool holds(std::span<const std::int32_t> values, std::int32_t v) {
    return std::find(values.begin(), values.end(), v) != values.end();
}

void sortUnique(std::vector<std::int32_t>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

bool usesPlans(VoicingStyle style) {
    return style == VoicingStyle::Anthem || style == VoicingStyle::Split || style == VoicingStyle::GuideColor ||
           style == VoicingStyle::Tessaro;
}

// Split, guide-color and tessaro invert by chord tone only on three-tone chords.
bool invertsByTone(VoicingStyle style, std::span<const std::int32_t> intervals) {
    if (style == VoicingStyle::Anthem) return true;
    if (style != VoicingStyle::Split && style != VoicingStyle::GuideColor && style != VoicingStyle::Tessaro) {
        return false;
    }
    const std::vector<std::int32_t> tones = distinctPitchClasses(intervals);
    return tones.size() == 3 && tones.front() == 0;
}

std::int32_t bassGap(VoicingStyle style) {
    return (style == VoicingStyle::Anthem || style == VoicingStyle::Split) ? 5 : 3;
}

std::vector<VoicingPlan> plansForIntervals(std::span<const std::int32_t> intervals, VoicingStyle style) {
    if (!usesPlans(style)) return {};
    const ChordToneSet tones = chordToneDegrees(ChordQuality{std::string(), {intervals.begin(), intervals.end()}});
    std::vector<VoicingPlan> plans;
    switch (style) {
        case VoicingStyle::Anthem:
            plans = anthemPlans(tones);
            break;
        case VoicingStyle::GuideColor:
            if (auto plan = buildGuideColorSimplePlan(tones)) plans.push_back(std::move(*plan));
            break;
        case VoicingStyle::Tessaro:
            if (auto plan = buildTessaroPlan(tones)) plans.push_back(std::move(*plan));
            break;
        default:
            break;
    }
    if (!plans.empty()) return plans;
    for (const VoicingPlanTemplate& tmpl : planTemplatesForStyle(style)) {
        if (auto plan = evaluatePlanTemplate(tmpl, tones, style)) plans.push_back(std::move(*plan));
    }
    if (!plans.empty()) return plans;
    return descriptorPlansForStyle(intervals, style);
}

}  // namespace

std::int32_t effectiveVoicingOctave(std::int64_t octave, std::int64_t octaveShift) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(octave + octaveShift, kMinVoicingOctave, kMaxVoicingOctave));
}

std::vector<std::int32_t> shellIntervals(std::span<const std::int32_t> intervals) {
    auto firstPresent = [&](std::initializer_list<std::int32_t> candidates) -> std::optional<std::int32_t> {
        for (std::int32_t c : candidates) {
            if (holds(intervals, c)) return c;
        }
        return std::nullopt;
    };
    std::vector<std::int32_t> result{0};
    if (auto third = firstPresent({5, 4, 3, 2})) result.push_back(*third);
    std::optional<std::int32_t> seventh = firstPresent({11, 10});
    if (!seventh && holds(intervals, 9)) seventh = 9;
    if (seventh) {
        result.push_back(*seventh);
        if (*seventh == 9) {
            if (auto ninth = firstPresent({14, 13, 15})) result.push_back(*ninth);
        }
    } else if (auto tension = firstPresent({14, 13, 15, 17, 18, 21, 20})) {
        result.push_back(*tension);
    }
    sortUnique(result);
    return result;
}

std::vector<std::int32_t> anthemFallbackIntervals(std::span<const std::int32_t> intervals) {
    std::vector<std::int32_t> sorted(intervals.begin(), intervals.end());
    std::sort(sorted.begin(), sorted.end());
    auto firstPresent = [&](std::initializer_list<std::int32_t> candidates) -> std::optional<std::int32_t> {
        for (std::int32_t c : candidates) {
            if (holds(sorted, c)) return c;
        }
        return std::nullopt;
    };
    const std::optional<std::int32_t> third = firstPresent({4, 3, 5, 2});
    const std::optional<std::int32_t> fifth = firstPresent({7, 6, 8});

    std::vector<std::int32_t> result{-12};
    auto add = [&](std::int32_t v) {
        if (!holds(result, v)) result.push_back(v);
    };
    for (std::int32_t x : sorted) {
        if (x == 0) continue;
        add(x < 15 ? x : x - 12);
    }
    std::vector<std::int32_t> extras{0, 12};
    if (third) extras.push_back(*third + 12);
    if (fifth) extras.push_back(*fifth + 12);
    for (std::int32_t candidate : extras) {
        if (result.size() >= 6) break;
        add(candidate);
    }
    std::sort(result.begin(), result.end());
    while (result.size() > 6) {
        std::optional<std::int32_t> victim;
        for (std::int32_t v : {7, 6, 8, 0, 12}) {
            if (holds(result, v)) {
                victim = v;
                break;
            }
        }
        if (victim) {
            result.erase(std::find(result.begin(), result.end(), *victim));
        } else {
            result.pop_back();
        }
    }
    return result;
}

bool isRootedTriad(std::span<const std::int32_t> intervals) {
    std::vector<std::int32_t> distinct;
    for (std::int32_t v : intervals) {
        if (v < 0 || v > 11) return false;
        if (!holds(distinct, v)) distinct.push_back(v);
    }
    return distinct.size() == 3 && holds(distinct, 0);
}

std::vector<std::int32_t> spreadUpperStructure(VoicingStyle style, std::span<const std::int32_t> intervals,
                                               std::vector<std::int32_t> offsets) {
    const bool spreads =
        style == VoicingStyle::Split || style == VoicingStyle::GuideColor || style == VoicingStyle::Tessaro;
    if (spreads && isRootedTriad(intervals)) {
        if (offsets.empty()) {
            offsets.push_back(0);
        } else {
            const std::int32_t m = *std::max_element(offsets.begin(), offsets.end());
            const std::int32_t above = m < 0 ? 0 : (m / 12 + 1) * 12;
            if (!holds(offsets, above)) offsets.push_back(above);
        }
    }
    sortUnique(offsets);
    return offsets;
}

std::vector<std::int32_t> styleIntervals(VoicingStyle style, std::span<const std::int32_t> intervals) {
    if (style == VoicingStyle::Shell) return shellIntervals(intervals);
    if (!usesPlans(style)) {
        std::vector<std::int32_t> offsets(intervals.begin(), intervals.end());
        sortUnique(offsets);
        if (offsets.empty()) offsets.push_back(0);
        return offsets;
    }
    const std::vector<VoicingPlan> plans = plansForIntervals(intervals, style);
    if (plans.empty()) {
        if (style == VoicingStyle::Anthem) return anthemFallbackIntervals(intervals);
        throw std::runtime_error("No descriptor-based voicing plan available for style");
    }
    return spreadUpperStructure(style, intervals, normalizeVoicingPlan(plans.front()));
}

std::vector<VoicingPlan> voicingPlansForStyle(const Chord& chord, VoicingStyle style) {
    return plansForIntervals(chord.intervals, style);
}

std::vector<Pitch> styledPitches(const Chord& chord, VoicingStyle style, std::int32_t octave) {
    const std::vector<std::int32_t> offsets = styleIntervals(style, chord.intervals);
    const std::int64_t base = static_cast<std::int64_t>(chord.root) + 12 * (static_cast<std::int64_t>(octave) + 1);
    std::vector<Pitch> pitches;
    pitches.reserve(offsets.size());
    for (std::int32_t o : offsets) pitches.push_back(pitchFromMidi(saturateToInt32(base + o)));
    std::sort(pitches.begin(), pitches.end());
    return pitches;
}

void invertMidiNotes(std::vector<std::int32_t>& midi, std::int32_t inversion) {
    if (midi.empty() || inversion == 0) return;
    std::sort(midi.begin(), midi.end());
    const auto n = static_cast<std::int64_t>(midi.size());
    if (inversion == n || inversion == -n) {
        const std::int32_t step = inversion > 0 ? 12 : -12;
        for (std::int32_t& m : midi) m += step;
        return;
    }
    if (inversion > 0) {
        for (std::int32_t i = 0; i < inversion; ++i) {
            std::int32_t m = midi.front() + 12;
            midi.erase(midi.begin());
            while (holds(midi, m) && m <= 115) m += 12;
            midi.push_back(m);
            std::sort(midi.begin(), midi.end());
        }
    } else {
        for (std::int32_t i = 0; i < -inversion; ++i) {
            std::int32_t m = midi.back() - 12;
            midi.pop_back();
            while (holds(midi, m) && m >= 12) m -= 12;
            midi.push_back(m);
            std::sort(midi.begin(), midi.end());
        }
    }
}

std::vector<Pitch> invertVoicing(const Chord& chord, VoicingStyle style, std::int32_t octave, std::int32_t inversion) {
    const std::vector<std::int32_t> tones = distinctPitchClasses(chord.intervals);
    const auto n = std::max<std::int32_t>(1, static_cast<std::int32_t>(tones.size()));
    const std::int32_t k = std::clamp(inversion, -n, n);
    const std::vector<Pitch> v = styledPitches(chord, style, octave);
    std::vector<std::int32_t> midi = uniqueMidiNotes(v);
    if (midi.empty() || k == 0) return v;
    if (k == n || k == -n) {
        for (std::int32_t& m : midi) m += k > 0 ? 12 : -12;
        return midiToPitches(std::move(midi));
    }
    const std::int32_t r = ((k % n) + n) % n;
    const std::int32_t q = (k - r) / n;
    for (std::int32_t& m : midi) m += 12 * q;
    const std::int64_t bass = static_cast<std::int64_t>(tones[static_cast<std::size_t>(r)]) + chord.root +
                              12 * (static_cast<std::int64_t>(octave) + q);
    return insertBassNote(std::move(midi), chord, style, saturateToInt32(bass), v.size());
}

std::vector<Pitch> placeSlashBass(const std::vector<Pitch>& voicing, const Chord& chord, VoicingStyle style,
                                  std::optional<std::int32_t> lowest, std::size_t count) {
    if (voicing.empty() || !chord.bass) return voicing;
    std::vector<std::int32_t> midi = uniqueMidiNotes(voicing);
    const std::int32_t bassPc = reducePitchClass(*chord.bass);
    const std::vector<PitchClass> chordPcs = chordPitchClasses(chord);
    const bool chordTone = std::find(chordPcs.begin(), chordPcs.end(), bassPc) != chordPcs.end();

    std::int32_t target = ((lowest && *lowest >= 0) ? *lowest : midi.front()) - 1;
    std::int32_t floor = 0;
    if (!chordTone && (style == VoicingStyle::Anthem || style == VoicingStyle::Split)) floor = 48;
    target = std::max(target, floor);

    std::int32_t bass = bassPc;
    for (std::int32_t note = bassPc; note <= kMidiMax; note += 12) {
        if (std::abs(note - target) <= std::abs(bass - target)) bass = note;
    }
    return insertBassNote(std::move(midi), chord, style, bass, count);
}

std::vector<Pitch> insertBassNote(std::vector<std::int32_t> midi, const Chord& chord, VoicingStyle style,
                                  std::int32_t bassNote, std::size_t count) {
    midi.push_back(bassNote);
    const std::int32_t gap = bassGap(style);
    spaceNotesAboveBass(midi, midi.size() - 1, gap);
    const auto it = std::find(midi.begin(), midi.end(), bassNote);
    std::size_t bassPosition = it == midi.end() ? 0 : static_cast<std::size_t>(it - midi.begin());
    while (midi.size() > count) {
        if (dropDoubledPitchClass(midi, bassPosition)) continue;
        if (dropChordFifth(midi, chord, bassPosition)) continue;
        break;
    }
    spaceNotesAboveBass(midi, bassPosition, gap);
    return midiToPitches(std::move(midi));
}

void spaceNotesAboveBass(std::vector<std::int32_t>& midi, std::size_t bassPosition, std::int32_t gap) {
    if (bassPosition >= midi.size()) return;
    const std::int32_t bass = midi[bassPosition];
    auto doubled = [&](std::size_t i) {
        for (std::size_t j = 0; j < midi.size(); ++j) {
            if (j != i && midi[j] == midi[i]) return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < midi.size(); ++i) {
        if (i == bassPosition) continue;
        while (midi[i] <= kSpacingCeiling && (static_cast<std::int64_t>(midi[i]) - bass < gap || doubled(i))) {
            midi[i] += 12;
        }
    }
    std::sort(midi.begin(), midi.end());
}

namespace {

// Removes the note at `index`, keeping `bassPosition` on the same note.
void eraseKeepingBass(std::vector<std::int32_t>& midi, std::size_t index, std::size_t& bassPosition) {
    midi.erase(midi.begin() + static_cast<std::ptrdiff_t>(index));
    if (index < bassPosition) --bassPosition;
}

}  // namespace

bool dropDoubledPitchClass(std::vector<std::int32_t>& midi, std::size_t& bassPosition) {
    std::array<int, 12> counts{};
    for (std::int32_t m : midi) ++counts[static_cast<std::size_t>(reducePitchClass(m))];
    for (std::size_t i = midi.size(); i-- > 0;) {
        if (i == bassPosition) continue;
        if (counts[static_cast<std::size_t>(reducePitchClass(midi[i]))] > 1) {
            eraseKeepingBass(midi, i, bassPosition);
            return true;
        }
    }
    return false;
}

bool dropChordFifth(std::vector<std::int32_t>& midi, const Chord& chord, std::size_t& bassPosition) {
    const bool hasFifth = std::any_of(chord.intervals.begin(), chord.intervals.end(),
                                      [](std::int32_t v) { return reducePitchClass(v) == 7; });
    if (!hasFifth) return false;
    const std::int32_t fifthPc = reducePitchClass(static_cast<std::int64_t>(chord.root) + 7);
    for (std::size_t i = midi.size(); i-- > 0;) {
        if (i == bassPosition) continue;
        if (reducePitchClass(midi[i]) == fifthPc) {
            eraseKeepingBass(midi, i, bassPosition);
            return true;
        }
    }
    return false;
}

std::vector<Pitch> voiceChordInStyle(const Chord& chord, VoicingStyle style, std::int32_t octave,
                                     const ChordVoicingOptions& options) {
    const std::int32_t effective = effectiveVoicingOctave(octave, options.octaveShift);
    std::vector<Pitch> voicing;
    std::optional<std::int32_t> lowest;
    if (options.inversion != 0 && invertsByTone(style, chord.intervals)) {
        const std::vector<Pitch> plain = styledPitches(chord, style, effective);
        if (!plain.empty()) lowest = pitchToMidi(plain.front());
        voicing = invertVoicing(chord, style, effective, options.inversion);
    } else {
        const std::vector<Pitch> v = styledPitches(chord, style, effective);
        if (!v.empty()) lowest = pitchToMidi(v.front());
        const auto n = static_cast<std::int32_t>(v.size());
        const std::int32_t k = std::clamp(options.inversion, -n, n);
        std::vector<std::int32_t> midi = notesToMidi(v);
        raiseDuplicateNotes(midi);
        invertMidiNotes(midi, k);
        voicing = midiToPitches(std::move(midi));
    }

    if (chord.bass) voicing = placeSlashBass(voicing, chord, style, lowest, voicing.size());

    if (options.dropBass && !voicing.empty()) {
        const std::int32_t m = pitchToMidi(voicing.front()) - 12;
        if (m >= 0) {
            voicing.front() = pitchFromMidi(m);
            std::sort(voicing.begin(), voicing.end());
        }
    }

    for (Pitch& p : voicing) {
        const std::int32_t m = pitchToMidi(p);
        if (m < kMidiMin) p = pitchFromMidi(kMidiMin);
        if (m > kMidiMax) p = pitchFromMidi(kMidiMax);
    }
    std::sort(voicing.begin(), voicing.end());
    return voicing;
}

std::int32_t maxManualInversion(const Chord& chord, VoicingStyle style, std::int32_t octave, std::int32_t octaveShift) {
    const std::vector<Pitch> v = styledPitches(chord, style, effectiveVoicingOctave(octave, octaveShift));
    if (v.empty()) return 1;
    if (invertsByTone(style, chord.intervals)) {
        std::array<bool, 12> seen{};
        std::int32_t distinct = 0;
        for (const Pitch& p : v) {
            if (!seen[p.pitchClass]) {
                seen[p.pitchClass] = true;
                ++distinct;
            }
        }
        return std::max(distinct, 1);
    }
    return static_cast<std::int32_t>(v.size());
}

}  // namespace quillex
