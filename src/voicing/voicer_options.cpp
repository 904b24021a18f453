// Style profiles and effective learned weights of the voice-leading solver.
#include "voicing/voicer_options.h"

namespace quillex {

VoicerStyleProfile defaultVoicerOptionsForStyle(VoicingStyle style) {
    VoicerStyleProfile profile;
    switch (style) {
        case VoicingStyle::Closed:
            profile.ruleTerms.inversionWeight = -1.5;
            profile.extraNotes = 0;
            break;
        case VoicingStyle::Shell:
            profile.ruleTerms.inversionWeight = -2.5;
            break;
        case VoicingStyle::Anthem:
            profile.ruleTerms.inversionWeight = -5.0;
            profile.topMargin = 2;
            break;
        case VoicingStyle::Split:
            profile.ruleTerms.inversionWeight = -7.0;
            break;
        case VoicingStyle::GuideColor:
            profile.ruleTerms.inversionWeight = -2.5;
            profile.ruleTerms.lowClusterWeight = -22.0;
            profile.ruleTerms.lowClusterStyles = 0x10;
            profile.ruleTerms.lowClusterMin = 5;
            break;
        case VoicingStyle::Tessaro:
            profile.ruleTerms.inversionWeight = -4.0;
            break;
        default:
            break;
    }
    return profile;
}

LearnedWeights effectiveCostWeights(const VoicerOptions& options) {
    LearnedWeights weights = kLearnedWeightBase;
    for (std::size_t i = 0; i < kLearnedWeightCount; ++i) {
        const LearnedWeightOverride& override = options.learnedWeightOverrides[i];
        if (styleMaskContains(override.styles, options.style)) weights[i] *= override.factor;
    }
    weights[3] *= options.topWeightScale;
    weights[4] *= options.bottomWeightScale;
    weights[5] *= options.middleWeightScale;
    return weights;
}

}  // namespace quillex
