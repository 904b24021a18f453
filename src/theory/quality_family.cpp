// Quality families and chord-tone degree slots.
#include "theory/quality_family.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "theory/pitch_class.h"

namespace quillex {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool containsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
    return std::any_of(parts.begin(), parts.end(), [text](std::string_view part) { return contains(text, part); });
}

// Degree slot of an interval 0..21 named directly; -1 where the pitch class decides.
constexpr std::array<std::int8_t, 22> kDirectDegree = {0,  -1, 1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                       10, -1, 11, 12, 13, -1, 14, 15, -1, 16, 17};

// Degree slot by pitch class, for the other intervals.
constexpr std::array<std::uint8_t, 12> kPitchClassDegree = {0, 6, 12, 2, 3, 14, 5, 6, 7, 17, 9, 10};

// Role of each degree slot.
constexpr std::array<std::uint8_t, 18> kDegreeRole = {
    kRoleRoot,    kRoleThird,   kRoleThird,   kRoleThird,   kRoleThird,   kRoleFifth,
    kRoleFifth,   kRoleFifth,   kRoleSeventh, kRoleSeventh, kRoleSeventh, kRoleTension,
    kRoleTension, kRoleTension, kRoleTension, kRoleTension, kRoleTension, kRoleTension};

std::uint8_t degreeOfInterval(std::int32_t interval) {
    if (interval >= 0 && interval < static_cast<std::int32_t>(kDirectDegree.size()) &&
        kDirectDegree[static_cast<std::size_t>(interval)] >= 0) {
        return static_cast<std::uint8_t>(kDirectDegree[static_cast<std::size_t>(interval)]);
    }
    return kPitchClassDegree[reducePitchClass(interval)];
}

}  // namespace

QualityFamily classifyQualityFamily(const ChordQuality& quality) {
    const std::string_view name = quality.name;
    if (contains(name, "sus")) {
        const bool hasMinorSeventh =
            std::find(quality.intervals.begin(), quality.intervals.end(), 10) != quality.intervals.end();
        return hasMinorSeventh ? "dominant" : "suspended";
    }
    if (contains(name, "m7b5") || contains(name, "\u00F8")) return "half-diminished";
    if (contains(name, "dim") || name == "o" || name == "o7") return "diminished";
    if (contains(name, "aug") || contains(name, "+")) return "augmented";
    const bool minor = isMinorQuality(name);
    if (contains(name, "#5") && !minor) return "augmented";
    if (minor) return "minor";
    if (name == "6" || name == "69") return "major";
    const bool seventhLike = containsAny(name, {"7", "9", "11", "13"});
    const bool majorMarked = containsAny(name, {"maj", "M7", "M9", "M11", "M13"});
    const bool added = contains(name, "add") && !contains(name, "11add13");
    if (seventhLike && !majorMarked && !added) return "dominant";
    return "major";
}

QualityFamily coarseQualityFamily(const ChordQuality& quality) {
    QualityFamily family = classifyQualityFamily(quality);
    if (family == "half-diminished") return "diminished";
    return family;
}

QualityFamily familyOfQuality(const ChordQuality& quality) { return classifyQualityFamily(quality); }

QualityFamily familyOfChord(const Chord& chord) {
    return classifyQualityFamily(ChordQuality{chord.quality, chord.intervals});
}

ChordToneSet chordToneDegrees(const ChordQuality& quality) {
    std::vector<std::int32_t> intervals = quality.intervals;
    std::sort(intervals.begin(), intervals.end());
    intervals.erase(std::unique(intervals.begin(), intervals.end()), intervals.end());

    ChordToneSet set;
    set.tones.reserve(intervals.size() + 1);
    // The root always leads, even ahead of a negative interval.
    if (std::find(intervals.begin(), intervals.end(), 0) == intervals.end()) {
        set.tones.push_back({0, 0, kRoleRoot, true});
        ++set.requiredCount;
    }
    bool hasOptionalFifth = false;
    for (std::int32_t interval : intervals) {
        const std::uint8_t degree = degreeOfInterval(interval);
        const bool required = interval != 7;
        set.tones.push_back({interval, degree, kDegreeRole[degree], required});
        if (required) {
            ++set.requiredCount;
        } else {
            hasOptionalFifth = true;
        }
    }
    set.totalCount = set.requiredCount + (hasOptionalFifth ? 1 : 0);
    return set;
}

}  // namespace quillex
