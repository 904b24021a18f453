// The document fuzz generator: seeded random edits of a document value, shared by every fuzz test that reads documents.
#pragma once

#include <cstddef>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"

namespace quillex::testing {

using nlohmann::json;

inline json randomScalar(std::mt19937& rng) {
    static const std::vector<json> pool = {nullptr,
                                           true,
                                           false,
                                           0,
                                           1,
                                           -1,
                                           15,
                                           100,
                                           99.9,
                                           -0.5,
                                           2147483647,
                                           -2147483648LL,
                                           2147483648LL,
                                           4294967296ULL,
                                           4294967396ULL,
                                           18446744073709551615ULL,
                                           -9223372036854775807LL,
                                           1e300,
                                           -1e300,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           "",
                                           "rest",
                                           "bass",
                                           "C",
                                           "\xc3\xa9",
                                           json::array(),
                                           json::object(),
                                           json::array({1, 2}),
                                           json{{"original", "C"}},
                                           json{{"token", 1}}};
    return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(rng)];
}

// Every node of the value, as JSON pointers.
inline void collectPointers(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& out) {
    out.push_back(at);
    if (value.is_object()) {
        for (const auto& [key, child] : value.items()) collectPointers(child, at / key, out);
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) collectPointers(value[i], at / i, out);
    }
}

// One to three random edits of a document value, kept to what JSON text can carry.
inline json mutateDocument(json document, std::mt19937& rng) {
    const int edits = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int e = 0; e < edits; ++e) {
        std::vector<json::json_pointer> pointers;
        collectPointers(document, json::json_pointer(), pointers);
        const auto& target = pointers[std::uniform_int_distribution<std::size_t>(0, pointers.size() - 1)(rng)];
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
                document[target] = randomScalar(rng);
                break;
            case 1:  // drop the node from its parent
                if (!target.empty()) {
                    json& parent = document[target.parent_pointer()];
                    if (parent.is_object())
                        parent.erase(target.back());
                    else if (parent.is_array())
                        parent.erase(std::stoul(target.back()));
                }
                break;
            case 2:  // copy another node over it
                document[target] =
                    json(document[pointers[std::uniform_int_distribution<std::size_t>(0, pointers.size() - 1)(rng)]]);
                break;
            default:  // grow a container
                if (document[target].is_array())
                    document[target].push_back(randomScalar(rng));
                else if (document[target].is_object())
                    document[target]["fuzz"] = randomScalar(rng);
                break;
        }
    }
    return parseJsonText(document.dump());  // keep only what text can carry (NaN becomes null)
}

}  // namespace quillex::testing
