// Hand-written plan builders of the anthem, guide-color and tessaro styles.
#pragma once

#include <optional>
#include <vector>

#include "theory/chord_symbol.h"
#include "theory/quality_family.h"
#include "voicing/voicing_plan.h"

namespace quillex {

// "anthem-dense" when `dense`, else "anthem-full"; nothing without a root
// and a third-group tone or when too few tones result.
std::optional<VoicingPlan> buildAnthemPlans(const ChordToneSet& tones, bool dense);
std::optional<VoicingPlan> buildAnthemPlans(const Chord& chord, bool dense);

// The primary anthem plan, then the other one when its offsets differ.
std::vector<VoicingPlan> anthemPlans(const ChordToneSet& tones);
std::vector<VoicingPlan> anthemPlans(const Chord& chord);

// Root, third and seventh with the third doubled on top; nothing when the
// chord lacks one of them or has a tension or an altered fifth.
std::optional<VoicingPlan> buildGuideColorSimplePlan(const ChordToneSet& tones);
std::optional<VoicingPlan> buildGuideColorSimplePlan(const Chord& chord);

// Left hand root, fifth and ninth, right hand third, tensions and seventh;
// nothing when a core tone is missing or more than six tones would sound.
std::optional<VoicingPlan> buildTessaroPlan(const ChordToneSet& tones);
std::optional<VoicingPlan> buildTessaroPlan(const Chord& chord);

// The chord-tone reading the builders and templates share.
ChordToneSet chordToneSetOf(const Chord& chord);

}  // namespace quillex
