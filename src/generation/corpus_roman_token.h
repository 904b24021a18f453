// Text helpers for the Roman-numeral tokens of the progression corpus.
#pragma once

#include <string>
#include <string_view>

namespace quillex {

// After the leading ASCII 'b'/'#', the run of 'I', 'V', 'i', 'v'.
std::string romanNumeralLetters(std::string_view token);
// Text before the first '/', the whole token without one.
std::string romanTokenHead(std::string_view token);
// Text after the first '/', empty without one.
std::string romanTokenSlashPart(std::string_view token);
// Leading accidentals folded to 'b'/'#' ("♭"/"♯" included) plus the numeral
// letters; quality marks dropped ("♭IImaj7" gives "bII").
std::string canonicalRomanNumeral(std::string_view token);
// The head or the slash part reads "bII".
bool isFlatTwoToken(std::string_view token);
// Display form of one token: "♭"/"♯" accidentals, "ø" for m7b5, "°" for dim,
// triad marks "maj" and a lower-case "m" dropped.
std::string romanDisplayToken(std::string_view token);
// `romanDisplayToken` of each side of the first '/'.
std::string romanDisplayText(std::string_view token);

}  // namespace quillex
