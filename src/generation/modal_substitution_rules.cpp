// Modal substitution rules of the dark modal-colour style.
#include "generation/modal_substitution_rules.h"

#include <set>

#include "generation/corpus_roman_token.h"
#include "generation/progression_corpus.h"
#include "theory/roman_progression_profile.h"

namespace quillex {

namespace {

constexpr std::string_view kFlatTwo = "bII";

std::string headNumeral(std::string_view token) { return canonicalRomanNumeral(romanTokenHead(token)); }

bool isPhrygianDominant(std::string_view modeFamily, std::string_view subcategory) {
    return normalizeGenreId(modeFamily) == "phrygiandominant" || normalizeGenreId(subcategory) == "phrygiandominant";
}

bool isPhrygian(std::string_view modeFamily, std::string_view subcategory) {
    return normalizeGenreId(modeFamily) == "phrygian" || normalizeGenreId(subcategory) == "phrygian";
}

// A token written as tonic over bII or bII over tonic, or a cyclic pair in `pairs`.
bool hasMotion(const RomanTokens& tokens, std::string_view tonic,
               std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
    if (tokens.size() < 2) return false;
    for (const std::string& token : tokens) {
        const std::string before = canonicalRomanNumeral(romanTokenHead(token));
        const std::string after = canonicalRomanNumeral(romanTokenSlashPart(token));
        if ((before == kFlatTwo && after == tonic) || (before == tonic && after == kFlatTwo)) return true;
    }
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::string a = headNumeral(tokens[k]);
        const std::string b = headNumeral(tokens[(k + 1) % tokens.size()]);
        for (const auto& [first, second] : pairs) {
            if (a == first && b == second) return true;
        }
    }
    return false;
}

std::size_t distinctNumerals(const RomanTokens& tokens) {
    std::set<std::string> numerals;
    for (const std::string& token : tokens) numerals.insert(headNumeral(token));
    return numerals.size();
}

bool reject(std::string* reason, const char* text) {
    if (reason != nullptr) *reason = text;
    return false;
}

}  // namespace

bool hasPhrygianMotion(const RomanTokens& tokens) {
    return hasMotion(tokens, "i", {{"i", kFlatTwo}, {kFlatTwo, "i"}, {kFlatTwo, "V"}});
}

bool hasPhrygianDominantMotion(const RomanTokens& tokens) {
    return hasMotion(tokens, "I", {{"I", kFlatTwo}, {kFlatTwo, "I"}});
}

bool keepsPhrygianIdentity(const RomanTokens& tokens, std::string_view modeFamily, std::string_view subcategory) {
    if (isPhrygianDominant(modeFamily, subcategory)) return hasPhrygianDominantMotion(tokens);
    if (isPhrygian(modeFamily, subcategory)) return hasPhrygianMotion(tokens);
    return true;
}

std::size_t countTonicBiiTransitions(std::string_view tonic, const RomanTokens& tokens) {
    std::size_t count = 0;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::string a = headNumeral(tokens[k]);
        const std::string b = headNumeral(tokens[(k + 1) % tokens.size()]);
        if ((a == tonic && b == kFlatTwo) || (a == kFlatTwo && b == tonic)) ++count;
    }
    return count;
}

bool isTonicBiiLoop(std::string_view tonic, const RomanTokens& tokens) {
    if (tokens.size() < 2) return false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const std::string a = headNumeral(tokens[k]);
        const std::string b = headNumeral(tokens[(k + 1) % tokens.size()]);
        if (!((a == tonic && b == kFlatTwo) || (a == kFlatTwo && b == tonic))) return false;
    }
    return true;
}

bool checkSubstitutionRules(const RomanTokens& source, const RomanTokens& candidate, std::string_view modeFamily,
                            std::string_view subcategory, int workingMode, std::string* reason) {
    if (candidate.size() != source.size() || candidate.size() < 2) return reject(reason, "invalid progression shape");
    if (!keepsPhrygianIdentity(candidate, modeFamily, subcategory)) {
        return reject(reason, "would lose Phrygian identity");
    }
    const bool majorTonic = isPhrygianDominant(modeFamily, subcategory);
    const std::string_view tonic = majorTonic ? "I" : "i";
    const std::string_view otherTonic = majorTonic ? "i" : "I";
    bool anchored = false;
    for (const std::string& token : candidate) {
        const std::string numeral = headNumeral(token);
        if (numeral == otherTonic) return reject(reason, "would introduce the wrong tonic quality");
        if (numeral == tonic) anchored = true;
    }
    if (!anchored) return reject(reason, "would remove the tonic anchor");
    if (distinctNumerals(candidate) < distinctNumerals(source)) {
        return reject(reason, "would reduce main-degree diversity");
    }
    if (!isTonicBiiLoop(tonic, source) && isTonicBiiLoop(tonic, candidate)) {
        return reject(reason, "would create a tonic-bII alternating loop");
    }
    if (countTonicBiiTransitions(tonic, candidate) > countTonicBiiTransitions(tonic, source)) {
        return reject(reason, "would increase tonic-bII transition density");
    }
    const int candidateMode = scoreRomanProgression(candidate).isMinor ? 1 : 0;
    if (candidateMode != workingMode) return reject(reason, "would change the inferred mode");
    if (reason != nullptr) reason->clear();
    return true;
}

}  // namespace quillex
