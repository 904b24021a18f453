// Harmonic-function tests on chord-quality text.
#include "theory/quality_predicates.h"

namespace quillex {

namespace {

constexpr std::string_view kHalfDimSign = "\xC3\xB8";  // ø U+00F8
constexpr std::string_view kDegreeSign = "\xC2\xB0";   // ° U+00B0

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

bool isMinorLikeQuality(std::string_view q) {
    if (q.empty()) return false;
    if (q.starts_with("maj")) return false;
    if (q.starts_with("M")) return false;
    if (q.starts_with("m") || q.starts_with("-")) return true;
    if (has(q, "dim")) return true;
    return has(q, kHalfDimSign);
}

bool isDiminishedQuality(std::string_view q) {
    if (has(q, "m7b5") || has(q, kHalfDimSign)) return false;
    if (has(q, "dim") || has(q, kDegreeSign)) return true;
    return q.starts_with("o");
}

bool isDominantQuality(std::string_view q) {
    if (q.empty() || isMinorLikeQuality(q)) return false;
    if (has(q, "m7b5") || has(q, kHalfDimSign)) return false;
    if (isDiminishedQuality(q)) return false;
    if (has(q, "aug") || has(q, "+")) return false;
    if (has(q, "maj") || has(q, "M")) return false;
    if (has(q, "7") || has(q, "9")) return true;
    if (has(q, "11") || has(q, "13")) return true;
    return has(q, "alt") || has(q, "sus");
}

bool isMajorSeventhQuality(std::string_view q) {
    for (std::string_view part : {"maj7", "maj9", "maj11", "maj13", "M7", "M9", "M11", "M13"}) {
        if (has(q, part)) return true;
    }
    return false;
}

bool isMelodicMinorTonicQuality(std::string_view q) { return q == "mM7" || q == "mMaj7" || q == "mM9" || q == "mMaj9"; }

int qualityFunctionClass(std::string_view q) {
    if (has(q, "m7b5") || has(q, kHalfDimSign)) return kFunctionHalfDiminished;
    if (isDiminishedQuality(q)) return kFunctionDiminished;
    if (has(q, "aug") || has(q, "+")) return kFunctionAugmented;
    if (has(q, "sus")) return kFunctionSuspended;
    if (isDominantQuality(q)) return kFunctionDominant;
    if (isMinorLikeQuality(q)) return kFunctionMinor;
    if (q.empty() || q == "6" || has(q, "maj") || has(q, "add")) return kFunctionMajor;
    return kFunctionOther;
}

}  // namespace quillex
