// Voicing plans: placed tones in register layers, and their normalisation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voicing/voicing_style.h"

namespace quillex {

// Compact chord-tone degree 0..17: 0 root, 1 second, 2 minor third, 3 major
// third, 4 fourth, 5 flat fifth, 6 fifth, 7 sharp fifth, 8 sixth, 9 minor
// seventh, 10 major seventh, 11 flat ninth, 12 ninth, 13 sharp ninth,
// 14 eleventh, 15 sharp eleventh, 16 flat thirteenth, 17 thirteenth.
using DegreeSlot = std::uint32_t;

// Root and low form the low group, third..color the middle, top the top.
enum class RegisterLayer : std::uint32_t {
    Root = 0,
    Low = 1,
    Third = 2,
    Seventh = 3,
    Fifth = 4,
    Color = 5,
    Top = 6,
};

// What a descriptor layer asks of the chord.
enum class ToneRole : std::uint8_t {
    Root,
    ThirdOrSus,
    Third,
    Sus,
    Seventh,
    Sixth,
    Fifth,
    Ninth,
    Tension,
    UpperDescending,
    Octave,
};

struct PlacedTone {
    RegisterLayer layer = RegisterLayer::Root;
    DegreeSlot slot = 0;
    std::int32_t offset = 0;  // semitones above the root
    bool required = false;
    bool essential = false;
    std::vector<ToneRole> roles;

    friend bool operator==(const PlacedTone&, const PlacedTone&) = default;
};

struct VoicingPlan {
    std::string name;
    VoicingStyle style = VoicingStyle::Closed;
    std::vector<PlacedTone> tones;
    double registerCentre = 60.0;
    bool colorVariant = false;
    bool wideStyle = false;

    friend bool operator==(const VoicingPlan&, const VoicingPlan&) = default;
};

// Degree slot of an interval; unlisted intervals fall back on interval % 12
// (truncating): 2 -> ninth, 5 -> eleventh, 9 -> thirteenth, else fifth.
DegreeSlot intervalToneSlot(std::int32_t interval);

// Brings an offset into the register window -12..36 by whole octaves.
std::int32_t foldIntoRegisterWindow(std::int64_t offset);

// Sorts tones by offset, equal offsets by layer.
void sortPlanTones(std::vector<PlacedTone>& tones);

// Lifts the middle layers above the low group and the top above the middle
// (tessaro also brings high top-layer tensions down an octave); returns the
// distinct offsets, ascending.
std::vector<std::int32_t> normalizeVoicingPlan(const VoicingPlan& plan);

}  // namespace quillex
