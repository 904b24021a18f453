// Clip notes as the page receives them: clip payloads, flat arrays, the compact text and its fingerprint.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "performance/phrase_notes.h"

namespace quillex {

// x × 10000 rounded half away from zero, written with at most four decimals and no trailing
// zeros ("1.5", "-0.125", "2", "0"); a value not finite or beyond 64 bits writes "0".
std::string formatCompactNumber(double x);

// [{"pitch":P,"start_time":S,"duration":D,"velocity":V},...] without blanks.
std::string writeNotesCompactText(std::span<const PhraseNote> notes);

// Lower-case hexadecimal SHA-256 of the compact text.
std::string computeNotesFingerprint(std::span<const PhraseNote> notes);

// [{"pitch", "start_time", "duration", "velocity"}, ...]
nlohmann::json writeClipNotesJson(std::span<const PhraseNote> notes);

// [[pitch, start, duration, velocity], ...]
nlohmann::json writeNotesFlat(std::span<const PhraseNote> notes);

// {"notes": ..., "length": ..., "metadata": {"clipLabel": ...}}
nlohmann::json buildClipPayload(std::span<const PhraseNote> notes, double length, std::string_view label);

}  // namespace quillex
