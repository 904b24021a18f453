// Keys, the three seven-note scales, diatonic chords and the key-aware note spellers.
#include "theory/musical_key.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "theory/chord_symbol.h"
#include "theory/pitch_class.h"
#include "theory/chord_tone_degree.h"

namespace quillex {

namespace {

constexpr ScaleIntervals kMajorIntervals = {0, 2, 4, 5, 7, 9, 11};
constexpr ScaleIntervals kNaturalMinorIntervals = {0, 2, 3, 5, 7, 8, 10};
constexpr ScaleIntervals kMelodicMinorIntervals = {0, 2, 3, 5, 7, 9, 11};

// Rows: major, natural minor, melodic minor; columns: triads, sevenths, ninths.
constexpr DiatonicQualityList kDiatonicQualityLists[3][3] = {
    {
        {"", "m", "m", "", "", "m", "dim"},
        {"maj7", "m7", "m7", "maj7", "7", "m7", "m7b5"},
        {"maj9", "m9", "m9", "maj9", "9", "m9", "m9b5"},
    },
    {
        {"m", "dim", "", "m", "", "", ""},
        {"m7", "m7b5", "maj7", "m7", "7", "maj7", "7"},
        {"m9", "m9b5", "maj9", "m9", "9", "maj9", "9"},
    },
    {
        {"m", "m", "+", "", "", "dim", "dim"},
        {"mM7", "m7", "maj7#5", "7", "7", "m7b5", "m7b5"},
        {"mM9", "m9", "maj9#5", "9", "9", "m9b5", "m9b5"},
    },
};

std::int32_t accidentalSum(std::string_view accidentals) {
    std::int32_t sum = 0;
    for (char c : accidentals) {
        if (c == '#') ++sum;
        if (c == 'b') --sum;
    }
    return sum;
}

std::string letterWithAccidentals(char letter, std::int32_t alteration) {
    std::string name(1, letter);
    name.append(static_cast<std::size_t>(std::abs(alteration)), alteration > 0 ? '#' : 'b');
    return name;
}

bool simplificationAsked(std::optional<bool> simplifyAccidentals) { return simplifyAccidentals.value_or(false); }

}  // namespace

ScaleKind scaleKindOf(const MusicalKey& key) {
    if (!key.isMinor()) return ScaleKind::Major;
    return key.minorScaleType == kMelodicMinorScale ? ScaleKind::MelodicMinor : ScaleKind::NaturalMinor;
}

const ScaleIntervals& scaleIntervals(ScaleKind kind) {
    switch (kind) {
        case ScaleKind::Major:
            return kMajorIntervals;
        case ScaleKind::NaturalMinor:
            return kNaturalMinorIntervals;
        case ScaleKind::MelodicMinor:
            return kMelodicMinorIntervals;
    }
    return kMajorIntervals;
}

const ScaleIntervals& scaleIntervalsOf(const MusicalKey& key) { return scaleIntervals(scaleKindOf(key)); }

const DiatonicQualityList& diatonicQualityList(ScaleKind kind, DiatonicChordSize size) {
    return kDiatonicQualityLists[static_cast<int>(kind)][static_cast<int>(size)];
}

int scaleDegreeOf(const MusicalKey& key, PitchClass pitchClass) {
    const std::int32_t rel = reducePitchClass(std::int64_t{pitchClass} - key.root);
    const ScaleIntervals& scale = scaleIntervalsOf(key);
    for (int i = 0; i < 7; ++i) {
        if (scale[i] == rel) return i + 1;
    }
    return 0;
}

DiatonicChord diatonicChordOfDegree(const MusicalKey& key, std::int32_t degree, bool seventh) {
    DiatonicChord chord;
    chord.degree = degree;
    if (degree < 1 || degree > 7) {
        chord.root = key.root;
        return chord;
    }
    const ScaleKind kind = scaleKindOf(key);
    chord.root = reducePitchClass(std::int64_t{key.root} + scaleIntervals(kind)[degree - 1]);
    const auto size = seventh ? DiatonicChordSize::Seventh : DiatonicChordSize::Triad;
    chord.quality = std::string(diatonicQualityList(kind, size)[degree - 1]);
    return chord;
}

std::vector<DiatonicChord> diatonicChordsOfKey(const MusicalKey& key, std::uint8_t minorScaleType,
                                               std::int32_t diatonicExtension) {
    MusicalKey scaleKey = key;
    scaleKey.minorScaleType = minorScaleType == kMelodicMinorScale ? kMelodicMinorScale : kNaturalMinorScale;
    const ScaleKind kind = scaleKindOf(scaleKey);
    const DiatonicChordSize size = diatonicExtension == 3   ? DiatonicChordSize::Triad
                                   : diatonicExtension == 9 ? DiatonicChordSize::Ninth
                                                            : DiatonicChordSize::Seventh;
    const ScaleIntervals& scale = scaleIntervals(kind);
    const DiatonicQualityList& qualities = diatonicQualityList(kind, size);
    std::vector<DiatonicChord> chords;
    chords.reserve(7);
    for (int i = 0; i < 7; ++i) {
        chords.push_back({reducePitchClass(std::int64_t{key.root} + scale[i]), std::string(qualities[i]), i + 1, {}});
    }
    return chords;
}

int degreeOfChordRoot(const MusicalKey& key, PitchClass pitchClass) {
    if (const int degree = scaleDegreeOf(key, pitchClass); degree != 0) return degree;
    if (key.isMinor()) {
        const PitchClass rel = reducePitchClass(std::int64_t{pitchClass} - key.root);
        if (rel == 9) return 6;
        if (rel == 11) return 7;
    }
    return 0;
}

bool keyPrefersFlatsByDefault(const MusicalKey& key) {
    switch (reducePitchClass(key.root)) {
        case 1:
        case 8:
            return !key.isMinor();
        case 0:
        case 2:
        case 7:
            return key.isMinor();
        case 3:
        case 5:
        case 10:
            return true;
        default:
            return false;
    }
}

int keyRootLetterIndex(const MusicalKey& key, bool preferFlats) {
    // Letter below (sharp spelling) and letter above (flat spelling) per root.
    constexpr int kSharpLetter[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    constexpr int kFlatLetter[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
    const PitchClass root = reducePitchClass(key.root);
    return preferFlats ? kFlatLetter[root] : kSharpLetter[root];
}

std::string spellScaleDegreeNote(const MusicalKey& key, std::int32_t degree, std::optional<bool> preferFlats,
                                 std::optional<bool> simplifyAccidentals) {
    if (degree < 1 || degree > 7) return {};
    const bool flats = preferFlats.value_or(keyPrefersFlatsByDefault(key));
    const int letterIndex = (keyRootLetterIndex(key, flats) + degree - 1) % 7;
    const PitchClass pitch = reducePitchClass(std::int64_t{key.root} + scaleIntervalsOf(key)[degree - 1]);
    const int difference = reducePitchClass(std::int64_t{pitch} - naturalPitchClasses[letterIndex]);
    std::string name(1, noteLetters[letterIndex]);
    switch (difference) {
        case 1:
            name += "#";
            break;
        case 2:
            name += "##";
            break;
        case 10:
            name += "bb";
            break;
        case 11:
            name += "b";
            break;
        default:
            break;
    }
    return simplificationAsked(simplifyAccidentals) ? simplifyNoteName(name) : name;
}

std::optional<DegreeSpelling> spellPitchClassOnDegree(const MusicalKey& key, std::int32_t degree, PitchClass pitchClass,
                                                      bool preferFlats) {
    if (degree < 1 || degree > 7) return std::nullopt;
    const std::int32_t rel = reducePitchClass(std::int64_t{pitchClass} - key.root);
    const std::int32_t offset = wrapToTritone(rel - scaleIntervalsOf(key)[degree - 1]);
    const std::string degreeName = spellScaleDegreeNote(key, degree, preferFlats, false);
    if (degreeName.empty()) return std::nullopt;
    const std::int32_t total = offset + accidentalSum(std::string_view(degreeName).substr(1));
    if (total < -2 || total > 2) return std::nullopt;
    DegreeSpelling spelling;
    spelling.name = letterWithAccidentals(degreeName[0], total);
    spelling.distance = std::abs(offset);
    spelling.directionPenalty = (total > 0 && preferFlats) || (total < 0 && !preferFlats) ? 2 : 0;
    spelling.accidentalCount = std::abs(total);
    spelling.degree = degree;
    return spelling;
}

std::string spellPitchClassInKey(const MusicalKey& key, PitchClass pitchClass, std::optional<bool> preferFlats,
                                 std::optional<bool> simplifyAccidentals) {
    const bool given = preferFlats.has_value();
    const bool flats = preferFlats.value_or(keyPrefersFlatsByDefault(key));
    // Lexicographic rank; lower is better, ties keep the lower degree.
    const auto rank = [given](const DegreeSpelling& s) {
        return given ? std::make_tuple(s.distance != 0 ? 1 : 0, s.directionPenalty != 0 ? 1 : 0, s.distance,
                                       s.accidentalCount)
                     : std::make_tuple(0, s.distance, s.directionPenalty, s.accidentalCount);
    };
    std::optional<DegreeSpelling> best;
    for (int degree = 1; degree <= 7; ++degree) {
        auto candidate = spellPitchClassOnDegree(key, degree, pitchClass, flats);
        if (candidate && (!best || rank(*candidate) < rank(*best))) best = std::move(candidate);
    }
    std::string name = best ? best->name : std::string(pitchClassName(reducePitchClass(pitchClass), flats));
    return simplificationAsked(simplifyAccidentals) ? simplifyNoteName(name) : name;
}

std::string spellChordToneInKey(const MusicalKey& key, const Chord& chord, PitchClass pitchClass,
                                std::optional<bool> preferFlats, std::optional<bool> simplifyAccidentals) {
    const std::string rootName = spellPitchClassInKey(key, chord.root, preferFlats, false);
    const std::int32_t rootLetter = std::max<std::int32_t>(0, noteLetterIndex(rootName.empty() ? 'C' : rootName[0]));
    const std::vector<std::int32_t>& intervals = qualityIntervals(chord.quality);
    std::int32_t interval = reducePitchClass(std::int64_t{pitchClass} - chord.root);
    for (std::int32_t candidate : intervals) {
        if (reducePitchClass(std::int64_t{chord.root} + candidate) == reducePitchClass(pitchClass)) {
            interval = candidate;
            break;
        }
    }
    const int letterIndex = (rootLetter + chordToneDegreeOfInterval(chord.quality, interval)) % 7;
    std::string name = noteNameOnLetter(pitchClass, letterIndex);
    return simplificationAsked(simplifyAccidentals) ? simplifyNoteName(name) : name;
}

std::string simplifyNoteName(std::string_view name) {
    if (name.size() < 2) return std::string(name);
    const std::optional<PitchClass> pitch = parseKeyRoot(name);
    if (!pitch) return std::string(name);
    if (name.size() == 2) {
        if (name == "Cb" || name == "Fb") return std::string(pitchClassName(*pitch, true));
        if (name == "E#" || name == "B#") return std::string(pitchClassName(*pitch, false));
        return std::string(name);
    }
    if (name[1] == 'b' && name[2] == 'b') return std::string(pitchClassName(*pitch, true));
    if (name[1] == '#' && name[2] == '#') return std::string(pitchClassName(*pitch, false));
    return std::string(name);
}

}  // namespace quillex
