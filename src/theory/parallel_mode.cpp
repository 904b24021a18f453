// Carrying chord qualities and slash basses into the parallel mode of a key.
#include "theory/parallel_mode.h"

#include "theory/quality_extension.h"
#include "theory/quality_family.h"

namespace quillex {

namespace {

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A minor or major third above the root; power chords and "no3" qualities have neither.
bool holdsThird(const ChordQuality& quality) {
    for (std::int32_t interval : quality.intervals) {
        if (interval == 3 || interval == 4) return true;
    }
    return false;
}

std::optional<BassToneRole> roleOfInterval(std::int32_t interval, std::string_view qualityName) {
    switch (reducePitchClass(interval)) {
        case 0:
            return BassToneRole::Root;
        case 3:
        case 4:
            return BassToneRole::Third;
        case 6:
        case 7:
        case 8:
            return BassToneRole::Fifth;
        case 10:
        case 11:
            return BassToneRole::Seventh;
        case 9:
            if (qualityName.starts_with("dim")) return BassToneRole::Seventh;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool isExtendedQuality(std::string_view q) {
    if (q.empty()) return false;
    if (has(q, "6") && !has(q, "b6") && !has(q, "#6")) return false;
    if (has(q, "add9") || has(q, "add2") || has(q, "add11") || has(q, "add4")) return false;
    if (has(q, "7")) return true;
    if (firstOccurrenceFreeOf(q, "9", "b#d")) return true;
    if (firstOccurrenceFreeOf(q, "11", "b#")) return true;
    return firstOccurrenceFreeOf(q, "13", "b#");
}

bool hasAlteredTension(std::string_view q) {
    for (std::string_view part : {"alt", "#5", "b5", "#9", "b9", "#11", "b13"}) {
        if (has(q, part)) return true;
    }
    return false;
}

bool isNaturalMinorMinorDominant(const ChordQuality& quality, const MusicalKey& oldKey, std::int32_t degree,
                                 bool extended) {
    if (!oldKey.isMinor() || oldKey.isMelodicMinor() || degree != 5) return false;
    const std::optional<ChordQuality> reference = lookupChordQuality(extended ? "m7" : "m");
    return reference && coarseQualityFamily(quality) == coarseQualityFamily(*reference);
}

bool isNaturalMinorMajorSubtonic(const ChordQuality& quality, const MusicalKey& oldKey, const MusicalKey& newKey,
                                 std::int32_t degree) {
    if (!oldKey.isMinor() || oldKey.isMelodicMinor() || newKey.isMinor() || degree != 7) return false;
    const QualityFamily family = classifyQualityFamily(quality);
    return family == "major" || family == "dominant";
}

std::string parallelModeQuality(std::string_view text, const MusicalKey& oldKey, const MusicalKey& newKey,
                                std::int32_t degree) {
    const std::string keep(text);
    if (has(text, "sus")) return keep;
    const std::optional<ChordQuality> q = lookupChordQuality(text);
    if (!q) return keep;
    // Without a third a chord has no mode to change, like a suspended one.
    if (!holdsThird(*q)) return keep;
    const bool extended = isExtendedQuality(text);
    const DiatonicChord oldDiatonic = diatonicChordOfDegree(oldKey, degree, extended);
    const std::optional<ChordQuality> oq = lookupChordQuality(oldDiatonic.quality);
    if (!oq) return keep;
    if (isNaturalMinorMajorSubtonic(*q, oldKey, newKey, degree)) return keep;
    if (coarseQualityFamily(*oq) != coarseQualityFamily(*q) &&
        !isNaturalMinorMinorDominant(*q, oldKey, degree, extended)) {
        return keep;
    }
    const DiatonicChord newDiatonic = diatonicChordOfDegree(newKey, degree, extended);
    const std::optional<ChordQuality> nq = lookupChordQuality(newDiatonic.quality);
    if (!nq) return keep;
    // An altered dominant stays a dominant.
    if (classifyQualityFamily(*q) == "dominant" && hasAlteredTension(text) &&
        classifyQualityFamily(*nq) != "dominant") {
        return keep;
    }
    return mergeQualityExtension(text, newDiatonic.quality);
}

std::optional<BassToneRole> bassChordTone(const Chord& chord, PitchClass bass) {
    for (std::int32_t interval : chord.intervals) {
        if (reducePitchClass(std::int64_t{chord.root} + interval) == reducePitchClass(bass)) {
            return roleOfInterval(interval, chord.quality);
        }
    }
    return std::nullopt;
}

std::optional<PitchClass> chordToneOfRole(PitchClass root, std::string_view text, BassToneRole role) {
    const std::optional<ChordQuality> q = lookupChordQuality(text);
    if (!q) return std::nullopt;
    for (std::int32_t interval : q->intervals) {
        if (roleOfInterval(interval, q->name) == role) return reducePitchClass(std::int64_t{root} + interval);
    }
    return std::nullopt;
}

}  // namespace quillex
