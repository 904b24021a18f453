// The names of rendered clips: the chords of the progression, or the bass notes of its rows.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "document/project_document.h"
#include "performance/trigger_row.h"

namespace quillex {

// prefix + " [" + text + "]"; an empty text reads "Empty", a long one is cut and ends in "...".
std::string formatClipLabel(std::string_view prefix, std::string_view text);

// "QX [...]" over each slot's chord text, "Rest" for rests.
std::string mainClipLabel(const ProjectDocument& document);

// "QX Bass [...]" over each slot's bass note name; throws std::runtime_error when a chord
// slot has no row with a page.
std::string bassClipLabel(const ProjectDocument& document, std::span<const TriggerRow> rows,
                          std::string_view spellingPreference);

}  // namespace quillex
