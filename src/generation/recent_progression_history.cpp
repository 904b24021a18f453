// Signatures of generated progressions and the recent-progression history.
#include "generation/recent_progression_history.h"

#include <algorithm>

namespace quillex {

namespace {

std::vector<std::string>& history() {
    static std::vector<std::string> signatures;
    return signatures;
}

}  // namespace

std::string makeProgressionSignature(const LocalGenerationResult& result) {
    std::string signature;
    for (const GeneratedRomanChord& item : result.items) {
        if (!signature.empty()) signature += '|';
        signature += std::to_string(item.root);
        signature += ':';
        signature += item.quality;
        signature += ':';
        signature += item.bass ? std::to_string(*item.bass) : std::string("-");
    }
    for (char& c : signature) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return signature;
}

bool isRecentProgression(std::string_view signature) {
    if (signature.empty()) return false;
    const std::vector<std::string>& list = history();
    return std::find(list.begin(), list.end(), signature) != list.end();
}

void rememberProgressionSignature(std::string_view signature) {
    if (signature.empty()) return;
    std::vector<std::string>& list = history();
    std::erase(list, signature);
    list.insert(list.begin(), std::string(signature));
    if (list.size() > kRecentProgressionCapacity) list.resize(kRecentProgressionCapacity);
}

void clearRecentProgressionsForTesting() { history().clear(); }

std::vector<std::string> recentProgressionsForTesting() { return history(); }

}  // namespace quillex
