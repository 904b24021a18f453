// The quality option table and the heuristic reader of quality texts.
#include "theory/quality_options.h"

#include <array>
#include <utility>

namespace quillex {
namespace {

struct OptionRowInit {
    std::string_view name;
    QualityOptionRow row;
};

// One row per canonical quality, in the canonical table's order. Supported
// rows hold the codes that follow from the quality's intervals; the rows
// with supported 0 are ignored by the lookup.
constexpr std::array<OptionRowInit, 382> kOptionRows{{
    {"11", {1, 0, 0, 1, 4, 3, 0}},
    {"11#11", {0, 0, 0, 0, 0, 0, 0}},
    {"11#5", {1, 0, 2, 1, 4, 3, 0}},
    {"11#5#9", {1, 0, 2, 1, 5, 3, 0}},
    {"11#5b9", {1, 0, 2, 1, 2, 3, 0}},
    {"11#5b9#9", {1, 0, 2, 1, 3, 3, 0}},
    {"11#9", {1, 0, 0, 1, 5, 3, 0}},
    {"11#9b13", {1, 0, 0, 1, 5, 3, 2}},
    {"11add13", {1, 0, 0, 1, 4, 3, 3}},
    {"11add13#5", {1, 0, 2, 1, 4, 3, 3}},
    {"11add13#5#9", {1, 0, 2, 1, 5, 3, 3}},
    {"11add13#5b9", {1, 0, 2, 1, 2, 3, 3}},
    {"11add13#5b9#9", {1, 0, 2, 1, 3, 3, 3}},
    {"11add13#9", {1, 0, 0, 1, 5, 3, 3}},
    {"11add13b5", {1, 0, 1, 1, 4, 3, 3}},
    {"11add13b5#9", {1, 0, 1, 1, 5, 3, 3}},
    {"11add13b5b9", {1, 0, 1, 1, 2, 3, 3}},
    {"11add13b5b9#9", {1, 0, 1, 1, 3, 3, 3}},
    {"11add13b9", {1, 0, 0, 1, 2, 3, 3}},
    {"11add13b9#9", {1, 0, 0, 1, 3, 3, 3}},
    {"11b13", {1, 0, 0, 1, 4, 3, 2}},
    {"11b5", {1, 0, 1, 1, 4, 3, 0}},
    {"11b5#9", {1, 0, 1, 1, 5, 3, 0}},
    {"11b5#9b13", {1, 0, 1, 1, 5, 3, 2}},
    {"11b5b13", {1, 0, 1, 1, 4, 3, 2}},
    {"11b5b9", {1, 0, 1, 1, 2, 3, 0}},
    {"11b5b9#9", {1, 0, 1, 1, 3, 3, 0}},
    {"11b5b9#9b13", {1, 0, 1, 1, 3, 3, 2}},
    {"11b5b9b13", {1, 0, 1, 1, 2, 3, 2}},
    {"11b9", {1, 0, 0, 1, 2, 3, 0}},
    {"11b9#9", {1, 0, 0, 1, 3, 3, 0}},
    {"11b9#9b13", {1, 0, 0, 1, 3, 3, 2}},
    {"11b9b13", {1, 0, 0, 1, 2, 3, 2}},
    {"13", {1, 0, 0, 1, 4, 0, 3}},
    {"13#11", {1, 0, 0, 1, 4, 4, 3}},
    {"13#5", {1, 0, 2, 1, 4, 0, 3}},
    {"13#5#11", {1, 0, 2, 1, 4, 4, 3}},
    {"13#5#9", {1, 0, 2, 1, 5, 0, 3}},
    {"13#5#9#11", {1, 0, 2, 1, 5, 4, 3}},
    {"13#5b9", {1, 0, 2, 1, 2, 0, 3}},
    {"13#5b9#11", {1, 0, 2, 1, 2, 4, 3}},
    {"13#5b9#9", {1, 0, 2, 1, 3, 0, 3}},
    {"13#5b9#9#11", {1, 0, 2, 1, 3, 4, 3}},
    {"13#9", {1, 0, 0, 1, 5, 0, 3}},
    {"13#9#11", {1, 0, 0, 1, 5, 4, 3}},
    {"13b5", {1, 0, 1, 1, 4, 0, 3}},
    {"13b5#9", {1, 0, 1, 1, 5, 0, 3}},
    {"13b5b9", {1, 0, 1, 1, 2, 0, 3}},
    {"13b5b9#9", {1, 0, 1, 1, 3, 0, 3}},
    {"13b9", {1, 0, 0, 1, 2, 0, 3}},
    {"13b9#11", {1, 0, 0, 1, 2, 4, 3}},
    {"13b9#9", {1, 0, 0, 1, 3, 0, 3}},
    {"13b9#9#11", {1, 0, 0, 1, 3, 4, 3}},
    {"13sus4", {1, 3, 0, 1, 4, 0, 3}},
    {"13sus4#5", {1, 3, 2, 1, 4, 0, 3}},
    {"13sus4b5", {1, 3, 1, 1, 4, 0, 3}},
    {"7", {1, 0, 0, 1, 0, 0, 0}},
    {"7#11", {1, 0, 0, 1, 0, 4, 0}},
    {"7#11b13", {1, 0, 0, 1, 0, 4, 2}},
    {"7#11no5", {0, 0, 0, 0, 0, 0, 0}},
    {"7#5", {1, 0, 2, 1, 0, 0, 0}},
    {"7#5#11", {1, 0, 2, 1, 0, 4, 0}},
    {"7#5#9", {1, 0, 2, 1, 5, 0, 0}},
    {"7#5#9#11", {1, 0, 2, 1, 5, 4, 0}},
    {"7#5b9", {1, 0, 2, 1, 2, 0, 0}},
    {"7#5b9#11", {1, 0, 2, 1, 2, 4, 0}},
    {"7#5b9#9", {1, 0, 2, 1, 3, 0, 0}},
    {"7#5b9#9#11", {1, 0, 2, 1, 3, 4, 0}},
    {"7#9", {1, 0, 0, 1, 5, 0, 0}},
    {"7#9#11", {1, 0, 0, 1, 5, 4, 0}},
    {"7#9#11b13", {1, 0, 0, 1, 5, 4, 2}},
    {"7#9b13", {1, 0, 0, 1, 5, 0, 2}},
    {"7add13", {1, 0, 0, 1, 0, 0, 1}},
    {"7add13#11", {1, 0, 0, 1, 0, 4, 1}},
    {"7add13#5", {1, 0, 2, 1, 0, 0, 1}},
    {"7add13#5#11", {1, 0, 2, 1, 0, 4, 1}},
    {"7add13b5", {1, 0, 1, 1, 0, 0, 1}},
    {"7alt", {0, 0, 0, 0, 0, 0, 0}},
    {"7b13", {1, 0, 0, 1, 0, 0, 2}},
    {"7b5", {1, 0, 1, 1, 0, 0, 0}},
    {"7b5#9", {1, 0, 1, 1, 5, 0, 0}},
    {"7b5#9b13", {1, 0, 1, 1, 5, 0, 2}},
    {"7b5b13", {1, 0, 1, 1, 0, 0, 2}},
    {"7b5b9", {1, 0, 1, 1, 2, 0, 0}},
    {"7b5b9#9", {1, 0, 1, 1, 3, 0, 0}},
    {"7b5b9#9b13", {1, 0, 1, 1, 3, 0, 2}},
    {"7b5b9b13", {1, 0, 1, 1, 2, 0, 2}},
    {"7b9", {1, 0, 0, 1, 2, 0, 0}},
    {"7b9#11", {1, 0, 0, 1, 2, 4, 0}},
    {"7b9#11b13", {1, 0, 0, 1, 2, 4, 2}},
    {"7b9#9", {1, 0, 0, 1, 3, 0, 0}},
    {"7b9#9#11", {1, 0, 0, 1, 3, 4, 0}},
    {"7b9#9#11b13", {1, 0, 0, 1, 3, 4, 2}},
    {"7b9#9b13", {1, 0, 0, 1, 3, 0, 2}},
    {"7b9b13", {1, 0, 0, 1, 2, 0, 2}},
    {"7b9sus4", {1, 3, 0, 1, 2, 0, 0}},
    {"7b9sus4#5", {1, 3, 2, 1, 2, 0, 0}},
    {"7b9sus4b5", {1, 3, 1, 1, 2, 0, 0}},
    {"7no5", {0, 0, 0, 0, 0, 0, 0}},
    {"7sus2", {1, 2, 0, 1, 0, 0, 0}},
    {"7sus2#5", {1, 2, 2, 1, 0, 0, 0}},
    {"7sus2b5", {1, 2, 1, 1, 0, 0, 0}},
    {"7sus4", {1, 3, 0, 1, 0, 0, 0}},
    {"7sus4#5", {1, 3, 2, 1, 0, 0, 0}},
    {"7sus4b5", {1, 3, 1, 1, 0, 0, 0}},
    {"9", {1, 0, 0, 1, 4, 0, 0}},
    {"9#11", {1, 0, 0, 1, 4, 4, 0}},
    {"9#11b13", {1, 0, 0, 1, 4, 4, 2}},
    {"9#5", {1, 0, 2, 1, 4, 0, 0}},
    {"9#5#11", {1, 0, 2, 1, 4, 4, 0}},
    {"9b13", {1, 0, 0, 1, 4, 0, 2}},
    {"9b5", {1, 0, 1, 1, 4, 0, 0}},
    {"9b5b13", {1, 0, 1, 1, 4, 0, 2}},
    {"9sus4", {1, 3, 0, 1, 4, 0, 0}},
    {"9sus4#5", {1, 3, 2, 1, 4, 0, 0}},
    {"9sus4b5", {1, 3, 1, 1, 4, 0, 0}},
    {"maj", {1, 0, 0, 0, 0, 0, 0}},
    {"maj11", {1, 0, 0, 2, 4, 3, 0}},
    {"maj11#11", {0, 0, 0, 0, 0, 0, 0}},
    {"maj11#5", {1, 0, 2, 2, 4, 3, 0}},
    {"maj11#5#9", {1, 0, 2, 2, 5, 3, 0}},
    {"maj11#5b9", {1, 0, 2, 2, 2, 3, 0}},
    {"maj11#9", {1, 0, 0, 2, 5, 3, 0}},
    {"maj11#9b13", {1, 0, 0, 2, 5, 3, 2}},
    {"maj11add13", {1, 0, 0, 2, 4, 3, 3}},
    {"maj11add13#5", {1, 0, 2, 2, 4, 3, 3}},
    {"maj11add13#5#9", {1, 0, 2, 2, 5, 3, 3}},
    {"maj11add13#5b9", {1, 0, 2, 2, 2, 3, 3}},
    {"maj11add13#9", {1, 0, 0, 2, 5, 3, 3}},
    {"maj11add13b5", {1, 0, 1, 2, 4, 3, 3}},
    {"maj11add13b5#9", {1, 0, 1, 2, 5, 3, 3}},
    {"maj11add13b5b9", {1, 0, 1, 2, 2, 3, 3}},
    {"maj11add13b9", {1, 0, 0, 2, 2, 3, 3}},
    {"maj11b13", {1, 0, 0, 2, 4, 3, 2}},
    {"maj11b5", {1, 0, 1, 2, 4, 3, 0}},
    {"maj11b5#9", {1, 0, 1, 2, 5, 3, 0}},
    {"maj11b5#9b13", {1, 0, 1, 2, 5, 3, 2}},
    {"maj11b5b13", {1, 0, 1, 2, 4, 3, 2}},
    {"maj11b5b9", {1, 0, 1, 2, 2, 3, 0}},
    {"maj11b5b9b13", {1, 0, 1, 2, 2, 3, 2}},
    {"maj11b9", {1, 0, 0, 2, 2, 3, 0}},
    {"maj11b9b13", {1, 0, 0, 2, 2, 3, 2}},
    {"maj13", {1, 0, 0, 2, 4, 0, 3}},
    {"maj13#11", {1, 0, 0, 2, 4, 4, 3}},
    {"maj13#5", {1, 0, 2, 2, 4, 0, 3}},
    {"maj13#5#11", {1, 0, 2, 2, 4, 4, 3}},
    {"maj13#5#9", {1, 0, 2, 2, 5, 0, 3}},
    {"maj13#5#9#11", {1, 0, 2, 2, 5, 4, 3}},
    {"maj13#5b9", {1, 0, 2, 2, 2, 0, 3}},
    {"maj13#5b9#11", {1, 0, 2, 2, 2, 4, 3}},
    {"maj13#9", {1, 0, 0, 2, 5, 0, 3}},
    {"maj13#9#11", {1, 0, 0, 2, 5, 4, 3}},
    {"maj13b5", {1, 0, 1, 2, 4, 0, 3}},
    {"maj13b5#9", {1, 0, 1, 2, 5, 0, 3}},
    {"maj13b5b9", {1, 0, 1, 2, 2, 0, 3}},
    {"maj13b9", {1, 0, 0, 2, 2, 0, 3}},
    {"maj13b9#11", {1, 0, 0, 2, 2, 4, 3}},
    {"maj7", {1, 0, 0, 2, 0, 0, 0}},
    {"maj7#11", {1, 0, 0, 2, 0, 4, 0}},
    {"maj7#11b13", {1, 0, 0, 2, 0, 4, 2}},
    {"maj7#5", {1, 0, 2, 2, 0, 0, 0}},
    {"maj7#5#11", {1, 0, 2, 2, 0, 4, 0}},
    {"maj7#5#9", {1, 0, 2, 2, 5, 0, 0}},
    {"maj7#5#9#11", {1, 0, 2, 2, 5, 4, 0}},
    {"maj7#5b9", {1, 0, 2, 2, 2, 0, 0}},
    {"maj7#5b9#11", {1, 0, 2, 2, 2, 4, 0}},
    {"maj7#9", {1, 0, 0, 2, 5, 0, 0}},
    {"maj7#9#11", {1, 0, 0, 2, 5, 4, 0}},
    {"maj7#9#11b13", {1, 0, 0, 2, 5, 4, 2}},
    {"maj7#9b13", {1, 0, 0, 2, 5, 0, 2}},
    {"maj7add13", {1, 0, 0, 2, 0, 0, 1}},
    {"maj7add13#11", {1, 0, 0, 2, 0, 4, 1}},
    {"maj7add13#5", {1, 0, 2, 2, 0, 0, 1}},
    {"maj7add13#5#11", {1, 0, 2, 2, 0, 4, 1}},
    {"maj7add13b5", {1, 0, 1, 2, 0, 0, 1}},
    {"maj7b13", {1, 0, 0, 2, 0, 0, 2}},
    {"maj7b5", {1, 0, 1, 2, 0, 0, 0}},
    {"maj7b5#9", {1, 0, 1, 2, 5, 0, 0}},
    {"maj7b5#9b13", {1, 0, 1, 2, 5, 0, 2}},
    {"maj7b5b13", {1, 0, 1, 2, 0, 0, 2}},
    {"maj7b5b9", {1, 0, 1, 2, 2, 0, 0}},
    {"maj7b5b9b13", {1, 0, 1, 2, 2, 0, 2}},
    {"maj7b9", {1, 0, 0, 2, 2, 0, 0}},
    {"maj7b9#11", {1, 0, 0, 2, 2, 4, 0}},
    {"maj7b9#11b13", {1, 0, 0, 2, 2, 4, 2}},
    {"maj7b9b13", {1, 0, 0, 2, 2, 0, 2}},
    {"maj9", {1, 0, 0, 2, 4, 0, 0}},
    {"maj9#11", {1, 0, 0, 2, 4, 4, 0}},
    {"maj9#11b13", {1, 0, 0, 2, 4, 4, 2}},
    {"maj9#5", {1, 0, 2, 2, 4, 0, 0}},
    {"maj9#5#11", {1, 0, 2, 2, 4, 4, 0}},
    {"maj9b13", {1, 0, 0, 2, 4, 0, 2}},
    {"maj9b5", {1, 0, 1, 2, 4, 0, 0}},
    {"maj9b5b13", {1, 0, 1, 2, 4, 0, 2}},
    {"m", {1, 1, 0, 0, 0, 0, 0}},
    {"m#5", {1, 1, 2, 0, 0, 0, 0}},
    {"m11", {1, 1, 0, 1, 4, 3, 0}},
    {"m11#5", {1, 1, 2, 1, 4, 3, 0}},
    {"m11#5#9", {1, 1, 2, 1, 5, 3, 0}},
    {"m11#5b9", {1, 1, 2, 1, 2, 3, 0}},
    {"m11#9", {1, 1, 0, 1, 5, 3, 0}},
    {"m11#9b13", {1, 1, 0, 1, 5, 3, 2}},
    {"m11add13", {1, 1, 0, 1, 4, 3, 3}},
    {"m11add13#5", {1, 1, 2, 1, 4, 3, 3}},
    {"m11add13#5#9", {1, 1, 2, 1, 5, 3, 3}},
    {"m11add13#5b9", {1, 1, 2, 1, 2, 3, 3}},
    {"m11add13#9", {1, 1, 0, 1, 5, 3, 3}},
    {"m11add13b5", {1, 1, 1, 1, 4, 3, 3}},
    {"m11add13b5#9", {1, 1, 1, 1, 5, 3, 3}},
    {"m11add13b5b9", {1, 1, 1, 1, 2, 3, 3}},
    {"m11add13b9", {1, 1, 0, 1, 2, 3, 3}},
    {"m11b13", {1, 1, 0, 1, 4, 3, 2}},
    {"m11b5", {1, 1, 1, 1, 4, 3, 0}},
    {"m11b5#9", {1, 1, 1, 1, 5, 3, 0}},
    {"m11b5#9b13", {1, 1, 1, 1, 5, 3, 2}},
    {"m11b5b13", {1, 1, 1, 1, 4, 3, 2}},
    {"m11b5b9", {1, 1, 1, 1, 2, 3, 0}},
    {"m11b5b9b13", {1, 1, 1, 1, 2, 3, 2}},
    {"m11b9", {1, 1, 0, 1, 2, 3, 0}},
    {"m11b9b13", {1, 1, 0, 1, 2, 3, 2}},
    {"m13", {1, 1, 0, 1, 4, 0, 3}},
    {"m13#11", {1, 1, 0, 1, 4, 4, 3}},
    {"m13#5", {1, 1, 2, 1, 4, 0, 3}},
    {"m13#5#11", {1, 1, 2, 1, 4, 4, 3}},
    {"m13#5#9", {1, 1, 2, 1, 5, 0, 3}},
    {"m13#5#9#11", {1, 1, 2, 1, 5, 4, 3}},
    {"m13#5#9b11", {1, 1, 2, 1, 5, 2, 3}},
    {"m13#5b11", {1, 1, 2, 1, 4, 2, 3}},
    {"m13#5b9", {1, 1, 2, 1, 2, 0, 3}},
    {"m13#5b9#11", {1, 1, 2, 1, 2, 4, 3}},
    {"m13#5b9b11", {1, 1, 2, 1, 2, 2, 3}},
    {"m13#9", {1, 1, 0, 1, 5, 0, 3}},
    {"m13#9#11", {1, 1, 0, 1, 5, 4, 3}},
    {"m13#9b11", {1, 1, 0, 1, 5, 2, 3}},
    {"m13b11", {1, 1, 0, 1, 4, 2, 3}},
    {"m13b5", {1, 1, 1, 1, 4, 0, 3}},
    {"m13b5#9", {1, 1, 1, 1, 5, 0, 3}},
    {"m13b5#9b11", {1, 1, 1, 1, 5, 2, 3}},
    {"m13b5b11", {1, 1, 1, 1, 4, 2, 3}},
    {"m13b5b9", {1, 1, 1, 1, 2, 0, 3}},
    {"m13b5b9b11", {1, 1, 1, 1, 2, 2, 3}},
    {"m13b9", {1, 1, 0, 1, 2, 0, 3}},
    {"m13b9#11", {1, 1, 0, 1, 2, 4, 3}},
    {"m13b9b11", {1, 1, 0, 1, 2, 2, 3}},
    {"m6", {1, 1, 0, 0, 0, 0, 1}},
    {"m6#11", {1, 1, 0, 0, 0, 4, 1}},
    {"m611", {1, 1, 0, 0, 0, 1, 1}},
    {"m69", {1, 1, 0, 0, 4, 0, 1}},
    {"m69#11", {1, 1, 0, 0, 4, 4, 1}},
    {"m6b11", {1, 1, 0, 0, 0, 2, 1}},
    {"m6b9", {1, 1, 0, 0, 2, 0, 1}},
    {"m6b9#11", {1, 1, 0, 0, 2, 4, 1}},
    {"m6b9b11", {1, 1, 0, 0, 2, 2, 1}},
    {"m6b9b11b13", {0, 0, 0, 0, 0, 0, 0}},
    {"m7", {1, 1, 0, 1, 0, 0, 0}},
    {"m7#11", {1, 1, 0, 1, 0, 4, 0}},
    {"m7#11b13", {1, 1, 0, 1, 0, 4, 2}},
    {"m7#5", {1, 1, 2, 1, 0, 0, 0}},
    {"m7#5#11", {1, 1, 2, 1, 0, 4, 0}},
    {"m7#5#9", {1, 1, 2, 1, 5, 0, 0}},
    {"m7#5#9#11", {1, 1, 2, 1, 5, 4, 0}},
    {"m7#5#9b11", {1, 1, 2, 1, 5, 2, 0}},
    {"m7#5b11", {1, 1, 2, 1, 0, 2, 0}},
    {"m7#5b9", {1, 1, 2, 1, 2, 0, 0}},
    {"m7#5b9#11", {1, 1, 2, 1, 2, 4, 0}},
    {"m7#5b9b11", {1, 1, 2, 1, 2, 2, 0}},
    {"m7#9", {1, 1, 0, 1, 5, 0, 0}},
    {"m7#9#11", {1, 1, 0, 1, 5, 4, 0}},
    {"m7#9#11b13", {1, 1, 0, 1, 5, 4, 2}},
    {"m7#9b11", {1, 1, 0, 1, 5, 2, 0}},
    {"m7#9b11b13", {1, 1, 0, 1, 5, 2, 2}},
    {"m7#9b13", {1, 1, 0, 1, 5, 0, 2}},
    {"m7add13", {1, 1, 0, 1, 0, 0, 1}},
    {"m7add13#11", {1, 1, 0, 1, 0, 4, 1}},
    {"m7add13#5", {1, 1, 2, 1, 0, 0, 1}},
    {"m7add13#5#11", {1, 1, 2, 1, 0, 4, 1}},
    {"m7add13#5b11", {1, 1, 2, 1, 0, 2, 1}},
    {"m7add13b11", {1, 1, 0, 1, 0, 2, 1}},
    {"m7add13b5", {1, 1, 1, 1, 0, 0, 1}},
    {"m7add13b5b11", {1, 1, 1, 1, 0, 2, 1}},
    {"m7b11", {1, 1, 0, 1, 0, 2, 0}},
    {"m7b11b13", {1, 1, 0, 1, 0, 2, 2}},
    {"m7b13", {1, 1, 0, 1, 0, 0, 2}},
    {"m7b5", {1, 1, 1, 1, 0, 0, 0}},
    {"m7b5#9", {1, 1, 1, 1, 5, 0, 0}},
    {"m7b5#9b11", {1, 1, 1, 1, 5, 2, 0}},
    {"m7b5#9b11b13", {1, 1, 1, 1, 5, 2, 2}},
    {"m7b5#9b13", {1, 1, 1, 1, 5, 0, 2}},
    {"m7b5b11", {1, 1, 1, 1, 0, 2, 0}},
    {"m7b5b11b13", {1, 1, 1, 1, 0, 2, 2}},
    {"m7b5b13", {1, 1, 1, 1, 0, 0, 2}},
    {"m7b5b9", {1, 1, 1, 1, 2, 0, 0}},
    {"m7b5b9b11", {1, 1, 1, 1, 2, 2, 0}},
    {"m7b5b9b11b13", {1, 1, 1, 1, 2, 2, 2}},
    {"m7b5b9b13", {1, 1, 1, 1, 2, 0, 2}},
    {"m7b9", {1, 1, 0, 1, 2, 0, 0}},
    {"m7b9#11", {1, 1, 0, 1, 2, 4, 0}},
    {"m7b9#11b13", {1, 1, 0, 1, 2, 4, 2}},
    {"m7b9b11", {1, 1, 0, 1, 2, 2, 0}},
    {"m7b9b11b13", {1, 1, 0, 1, 2, 2, 2}},
    {"m7b9b13", {1, 1, 0, 1, 2, 0, 2}},
    {"m9", {1, 1, 0, 1, 4, 0, 0}},
    {"m9#11", {1, 1, 0, 1, 4, 4, 0}},
    {"m9#11b13", {1, 1, 0, 1, 4, 4, 2}},
    {"m9#5", {1, 1, 2, 1, 4, 0, 0}},
    {"m9#5#11", {1, 1, 2, 1, 4, 4, 0}},
    {"m9#5b11", {1, 1, 2, 1, 4, 2, 0}},
    {"m9b11", {1, 1, 0, 1, 4, 2, 0}},
    {"m9b11b13", {1, 1, 0, 1, 4, 2, 2}},
    {"m9b13", {1, 1, 0, 1, 4, 0, 2}},
    {"m9b5", {1, 1, 1, 1, 4, 0, 0}},
    {"m9b5b11", {1, 1, 1, 1, 4, 2, 0}},
    {"m9b5b11b13", {1, 1, 1, 1, 4, 2, 2}},
    {"m9b5b13", {1, 1, 1, 1, 4, 0, 2}},
    {"madd#11", {0, 0, 0, 0, 0, 0, 0}},
    {"madd11", {1, 1, 0, 0, 0, 1, 0}},
    {"madd11b13", {0, 0, 0, 0, 0, 0, 0}},
    {"madd9", {1, 1, 0, 0, 1, 0, 0}},
    {"madd9#11", {0, 0, 0, 0, 0, 0, 0}},
    {"madd911", {1, 1, 0, 0, 1, 1, 0}},
    {"madd9b5", {1, 1, 1, 0, 1, 0, 0}},
    {"mb6", {0, 0, 0, 0, 0, 0, 0}},
    {"mM11", {1, 1, 0, 2, 4, 3, 0}},
    {"mM11add13", {1, 1, 0, 2, 4, 3, 3}},
    {"mM11add13b5", {1, 1, 1, 2, 4, 3, 3}},
    {"mM11add13b5b9", {1, 1, 1, 2, 2, 3, 3}},
    {"mM11add13b9", {1, 1, 0, 2, 2, 3, 3}},
    {"mM11b5", {1, 1, 1, 2, 4, 3, 0}},
    {"mM11b5b9", {1, 1, 1, 2, 2, 3, 0}},
    {"mM11b9", {1, 1, 0, 2, 2, 3, 0}},
    {"mM13", {1, 1, 0, 2, 4, 0, 3}},
    {"mM13#11", {1, 1, 0, 2, 4, 4, 3}},
    {"mM13b5", {1, 1, 1, 2, 4, 0, 3}},
    {"mM13b5b9", {1, 1, 1, 2, 2, 0, 3}},
    {"mM13b9", {1, 1, 0, 2, 2, 0, 3}},
    {"mM13b9#11", {1, 1, 0, 2, 2, 4, 3}},
    {"mM7", {1, 1, 0, 2, 0, 0, 0}},
    {"mM7#11", {1, 1, 0, 2, 0, 4, 0}},
    {"mM7add13", {1, 1, 0, 2, 0, 0, 1}},
    {"mM7add13#11", {1, 1, 0, 2, 0, 4, 1}},
    {"mM7add13b5", {1, 1, 1, 2, 0, 0, 1}},
    {"mM7b5", {1, 1, 1, 2, 0, 0, 0}},
    {"mM7b5b9", {1, 1, 1, 2, 2, 0, 0}},
    {"mM7b9", {1, 1, 0, 2, 2, 0, 0}},
    {"mM7b9#11", {1, 1, 0, 2, 2, 4, 0}},
    {"mM9", {1, 1, 0, 2, 4, 0, 0}},
    {"mM9#11", {1, 1, 0, 2, 4, 4, 0}},
    {"mM9b5", {1, 1, 1, 2, 4, 0, 0}},
    {"dim", {1, 1, 1, 0, 0, 0, 0}},
    {"dim#5", {0, 0, 0, 0, 0, 0, 0}},
    {"dim11", {0, 0, 0, 0, 0, 0, 0}},
    {"dim7", {1, 1, 1, 3, 0, 0, 0}},
    {"dim7b9", {1, 1, 1, 3, 2, 0, 0}},
    {"dim7b911", {1, 1, 1, 3, 2, 3, 0}},
    {"dim7b911b13", {1, 1, 1, 3, 2, 3, 2}},
    {"dimadd9", {1, 1, 1, 0, 1, 0, 0}},
    {"dimb9", {0, 0, 0, 0, 0, 0, 0}},
    {"aug", {1, 0, 2, 0, 0, 0, 0}},
    {"sus2", {1, 2, 0, 0, 0, 0, 0}},
    {"sus2#5", {1, 2, 2, 0, 0, 0, 0}},
    {"sus2b5", {1, 2, 1, 0, 0, 0, 0}},
    {"sus4", {1, 3, 0, 0, 0, 0, 0}},
    {"sus4#5", {1, 3, 2, 0, 0, 0, 0}},
    {"sus4b5", {1, 3, 1, 0, 0, 0, 0}},
    {"sus4b9", {0, 0, 0, 0, 0, 0, 0}},
    {"6", {1, 0, 0, 0, 0, 0, 1}},
    {"6#11", {1, 0, 0, 0, 0, 4, 1}},
    {"69", {1, 0, 0, 0, 4, 0, 1}},
    {"69#11", {1, 0, 0, 0, 4, 4, 1}},
    {"6b9", {1, 0, 0, 0, 2, 0, 1}},
    {"6b9#11", {1, 0, 0, 0, 2, 4, 1}},
    {"add#11", {0, 0, 0, 0, 0, 0, 0}},
    {"add11", {1, 0, 0, 0, 0, 1, 0}},
    {"add11#5", {1, 0, 2, 0, 0, 1, 0}},
    {"add11b5", {1, 0, 1, 0, 0, 1, 0}},
    {"add9", {1, 0, 0, 0, 1, 0, 0}},
    {"add9#11", {0, 0, 0, 0, 0, 0, 0}},
    {"add9#5", {1, 0, 2, 0, 1, 0, 0}},
    {"add9#5#11", {0, 0, 0, 0, 0, 0, 0}},
    {"add911", {1, 0, 0, 0, 1, 1, 0}},
    {"add9b5", {1, 0, 1, 0, 1, 0, 0}},
    {"5", {0, 0, 0, 0, 0, 0, 0}},
}};

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

const QualityOptionTable& qualityOptionTable() {
    static const QualityOptionTable table = [] {
        QualityOptionTable built;
        built.reserve(kOptionRows.size());
        for (const auto& init : kOptionRows) {
            built.emplace(std::string(init.name), init.row);
        }
        return built;
    }();
    return table;
}

QualityOptions optionsOfRow(const QualityOptionRow& row) {
    QualityOptions options;
    options.third = row.third;
    options.fifth = row.fifth;
    options.seventh = row.seventh;
    options.ninth = row.ninth;
    options.eleventh = row.eleventh;
    options.thirteenth = row.thirteenth;
    return options;
}

std::optional<QualityOptions> lookupQualityOptions(std::string_view quality) {
    const auto& table = qualityOptionTable();
    const auto it = table.find(quality);
    if (it == table.end() || it->second.supported == 0) {
        return std::nullopt;
    }
    const QualityOptionRow& row = it->second;
    QualityOptions options = optionsOfRow(row);
    options.suffix = std::string(quality);
    return options;
}

QualityOptions parseQualityOptions(std::string_view quality) {
    QualityOptions options;
    options.third = parseThirdOption(quality);
    options.fifth = parseFifthOption(quality);
    options.seventh = parseSeventhOption(quality);
    options.ninth = parseNinthOption(quality);
    options.eleventh = parseEleventhOption(quality, options.seventh != 0);
    options.thirteenth = parseThirteenthOption(quality);
    options.alt = contains(quality, "alt");
    options.suffix = std::string(quality);
    return options;
}

std::uint8_t parseThirdOption(std::string_view quality) {
    if (contains(quality, "sus2")) return 2;
    if (contains(quality, "sus")) return 3;
    if (impliesMinorThird(quality)) return 1;
    return 0;
}

std::uint8_t parseFifthOption(std::string_view quality) {
    if (contains(quality, "#5") || quality.starts_with("aug")) return 2;
    if (contains(quality, "b5")) return 1;
    if (quality.starts_with("dim") || quality == "o" || quality == "o7") return 1;
    return 0;
}

std::uint8_t parseSeventhOption(std::string_view quality) {
    if (quality == "o7" || quality.starts_with("dim7")) return 3;
    static constexpr std::array<std::string_view, 8> kMajorSevenths{"maj7", "maj9", "maj11", "maj13",
                                                                    "mM7",  "mM9",  "mM11",  "mM13"};
    for (std::string_view prefix : kMajorSevenths) {
        if (quality.starts_with(prefix)) return 2;
    }
    if (quality.starts_with("7sus") || quality.starts_with("9sus") || quality.starts_with("13sus")) {
        return 1;
    }
    if (contains(quality, "alt")) return 1;
    if (containsAdd911(quality)) return 0;
    for (std::string_view token : {"13", "11", "9", "7"}) {
        if (containsBareToken(quality, token)) return 1;
    }
    return 0;
}

std::uint8_t parseNinthOption(std::string_view quality) {
    const bool flat = contains(quality, "b9");
    const bool sharp = contains(quality, "#9");
    if (flat && sharp) return 3;
    if (sharp) return 5;
    if (flat) return 2;
    if (contains(quality, "add9") || contains(quality, "add2")) return 1;
    if (containsBareToken(quality, "9")) return 4;
    return 0;
}

std::uint8_t parseEleventhOption(std::string_view quality, bool hasSeventh) {
    if (contains(quality, "#11")) return 4;
    if (contains(quality, "b11")) return 2;
    if (contains(quality, "add11") || contains(quality, "add4")) return 1;
    if (containsAdd911(quality)) return 1;
    if (containsBareToken(quality, "11")) return hasSeventh ? 3 : 1;
    return 0;
}

std::uint8_t parseThirteenthOption(std::string_view quality) {
    if (contains(quality, "add13") && !containsBareToken(quality, "11")) return 1;
    if (containsBareToken(quality, "6") || contains(quality, "69") || contains(quality, "6/9")) {
        return 1;
    }
    if (contains(quality, "b13")) return 2;
    if (containsBareToken(quality, "13")) return 3;
    return 0;
}

bool containsAdd911(std::string_view text) { return contains(text, "add911"); }

bool containsBareToken(std::string_view text, std::string_view token) {
    if (token.size() > text.size()) return false;
    const std::size_t at = text.find(token);
    if (at == std::string_view::npos) return false;
    const std::string_view before = text.substr(0, at);
    if (before.ends_with('b') || before.ends_with('#')) return false;
    if (before.ends_with("add")) return false;
    if (token == "11" && before.ends_with("add9")) return false;
    return true;
}

bool impliesMinorThird(std::string_view text) {
    if (contains(text, "sus")) return false;
    if (text.starts_with("dim")) return true;
    if (text == "o" || text == "o7") return true;
    if (contains(text, "m7b5")) return true;
    if (contains(text, "\u00f8")) return true;  // "ø"
    if (text.starts_with("m") && !text.starts_with("maj")) return true;
    if (text.starts_with("-")) return true;
    return false;
}

}  // namespace quillex
