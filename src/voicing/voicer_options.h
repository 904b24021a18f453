// Voice-leading solver options, the learned weights and the per-style profiles.
#pragma once

#include <array>
#include <cstdint>

#include "voicing/voicing_style.h"

namespace quillex {

// A set of voicing styles: bit (1 << style value).
using StyleMask = std::uint8_t;

inline constexpr StyleMask kAllStyles = 0xFF;
inline constexpr StyleMask kNoStyles = 0x00;

constexpr bool styleMaskContains(StyleMask mask, VoicingStyle style) {
    const auto bit = static_cast<unsigned>(style);
    return bit < 8 && ((mask >> bit) & 1u) != 0;
}

inline constexpr std::size_t kLearnedWeightCount = 12;
using LearnedWeights = std::array<double, kLearnedWeightCount>;

// Base values of the twelve learned weights; scores are maximised, so a
// negative weight is a penalty.
inline constexpr LearnedWeights kLearnedWeightBase = {
    -2.48914450280972,    // 0 parallel perfect intervals between voices
    0.00770292873839696,  // 1 change of note count
    -1.32050057453009,    // 2 note count away from the target
    -0.237290733012646,   // 3 highest note above top
    -0.172725275871618,   // 4 lowest note below bottom
    -0.128380740914212,   // 5 mean note away from middle
    0.204282036350433,    // 6 hidden octave between outer voices
    -8.65279702164732,    // 7 roughness
    -0.23979933576161,    // 8 motion of the highest note
    -2.3226944657203,     // 9 parallel outer voices
    -0.66865980398893,    // 10 voice overlap
    -0.374935348715094,   // 11 total voice movement
};

struct LearnedWeightOverride {
    double factor = 1.0;
    StyleMask styles = kNoStyles;

    friend bool operator==(const LearnedWeightOverride&, const LearnedWeightOverride&) = default;
};

using LearnedWeightOverrides = std::array<LearnedWeightOverride, kLearnedWeightCount>;

// The style-gated rule terms, shared by the options and the style profile.
struct VoicerRuleTerms {
    double sameTopWeight = -3.0;
    StyleMask sameTopStyles = kAllStyles;
    double sameBassWeight = -12.0;
    StyleMask sameBassStyles = kAllStyles;
    double bassOctaveLeapWeight = -1000.0;
    StyleMask bassOctaveLeapStyles = kAllStyles;
    double closedGapWeight = -5.0;
    StyleMask closedGapStyles = 0x01;
    std::int32_t closedGapLimit = 5;
    double lowIntervalWeight = -25.0;
    StyleMask lowIntervalStyles = 0x2C;
    std::int32_t lowIntervalMin = 5;
    double splitFifthWeight = -18.0;
    StyleMask splitFifthStyles = 0x08;
    std::int32_t splitFifthCeiling = 62;
    double lowClusterWeight = -18.0;
    StyleMask lowClusterStyles = 0x01;
    std::int32_t lowClusterMin = 3;
    std::int32_t lowClusterCeiling = 60;
    double lowTensionWeight = -8.0;
    StyleMask lowTensionStyles = 0x04;
    std::int32_t lowTensionCount = 2;
    double inversionWeight = 0.0;
    StyleMask inversionStyles = kAllStyles;
    double bassDegreeWeight = -4.0;
    StyleMask bassDegreeStyles = kAllStyles;
    double bassFifthFactor = 1.0;
    double bassSeventhFactor = 4.0;
    double bassOtherFactor = 4.0;
    double highBassWeight = -5.0;
    StyleMask highBassStyles = kAllStyles;
    std::int32_t highBassAllowance = 7;
    double lowRootWeight = -6.0;
    StyleMask lowRootStyles = kAllStyles;
    double wideSpanWeight = -1.0;
    StyleMask wideSpanStyles = kNoStyles;
    std::int32_t wideSpanLimit = 13;
    double upperGapWeight = -2.0;
    StyleMask upperGapStyles = kNoStyles;
    std::int32_t upperGapLimit = 5;
    LearnedWeightOverrides learnedWeightOverrides{};

    friend bool operator==(const VoicerRuleTerms&, const VoicerRuleTerms&) = default;
};

// The options of one voice-leading segment. Doubles compare numerically.
struct VoicerOptions : VoicerRuleTerms {
    std::int32_t lowOctaveOffset = -2;
    std::int32_t highOctaveOffset = 1;
    bool allowBassChanges = false;
    bool allowDoubling = true;
    std::int32_t minNotes = 1;
    std::int32_t maxNotes = 4;
    std::int32_t minSpan = 0;
    std::int32_t maxSpan = 127;
    std::int32_t top = 72;
    std::int32_t middle = 60;
    std::int32_t bottom = 48;
    std::int32_t targetNotes = 4;
    double middleWeightScale = 1.0;
    double bottomWeightScale = 1.0;
    double topWeightScale = 1.0;
    VoicingStyle style = VoicingStyle::Closed;

    VoicerRuleTerms& ruleTerms() { return *this; }
    const VoicerRuleTerms& ruleTerms() const { return *this; }

    friend bool operator==(const VoicerOptions&, const VoicerOptions&) = default;
};

// True when a rule term takes part: a non-zero weight whose mask holds the style.
constexpr bool ruleTermApplies(double weight, StyleMask styles, VoicingStyle style) {
    return weight != 0.0 && styleMaskContains(styles, style);
}

// What a style changes in the options of a segment it anchors.
struct VoicerStyleProfile {
    std::int32_t topMargin = 4;
    std::int32_t bottomMargin = 5;
    double middleWeightScale = 2.0;
    double bottomWeightScale = 1.5;
    std::int32_t extraNotes = 1;
    std::int32_t noteCap = 12;
    std::int32_t wideAnchorNotes = 5;
    std::int32_t wideAnchorSpan = 18;
    std::int32_t spanSlack = 8;
    std::int32_t fixedMaxSpan = -1;
    VoicerRuleTerms ruleTerms{};

    friend bool operator==(const VoicerStyleProfile&, const VoicerStyleProfile&) = default;
};

VoicerStyleProfile defaultVoicerOptionsForStyle(VoicingStyle style);

// The learned weights with the style's overrides and the three register scales.
LearnedWeights effectiveCostWeights(const VoicerOptions& options);

}  // namespace quillex
