// The process-wide list of the ten most recently answered generated progressions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "generation/local_generation_request.h"

namespace quillex {

inline constexpr std::size_t kRecentProgressionCapacity = 10;

// "root:quality:bass" per chord ("-" for no bass), joined by "|", ASCII lower case.
std::string makeProgressionSignature(const LocalGenerationResult& result);

// Used on the host's main thread only, without locks. An empty signature is
// never found and never stored.
bool isRecentProgression(std::string_view signature);
// Moves or adds the signature to the front and keeps the ten most recent.
void rememberProgressionSignature(std::string_view signature);

// Test hooks.
void clearRecentProgressionsForTesting();
std::vector<std::string> recentProgressionsForTesting();

}  // namespace quillex
