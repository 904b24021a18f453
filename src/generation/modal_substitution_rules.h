// The dark modal-colour style's test that a changed progression keeps its tonic, its bII colour and its mode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillex {

using RomanTokens = std::vector<std::string>;

// True when `candidate` may replace `source`; otherwise `reason` (when given)
// names the first rule it breaks. A passing check empties `reason`.
bool checkSubstitutionRules(const RomanTokens& source, const RomanTokens& candidate, std::string_view modeFamily,
                            std::string_view subcategory, int workingMode, std::string* reason);

// Phrygian families need their tonic-bII motion; other families always pass.
bool keepsPhrygianIdentity(const RomanTokens& tokens, std::string_view modeFamily, std::string_view subcategory);
bool hasPhrygianMotion(const RomanTokens& tokens);
bool hasPhrygianDominantMotion(const RomanTokens& tokens);

// Cyclic neighbour pairs tonic -> bII or bII -> tonic, tonic being `tonic` ("i" or "I").
std::size_t countTonicBiiTransitions(std::string_view tonic, const RomanTokens& tokens);
// Every cyclic pair alternates between the tonic and bII.
bool isTonicBiiLoop(std::string_view tonic, const RomanTokens& tokens);

}  // namespace quillex
