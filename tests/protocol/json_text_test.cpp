// Parsing JSON text with the nesting limit.
#include "protocol/json_text.h"

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillex {
namespace {

using nlohmann::json;

std::string nested(std::size_t depth, std::string_view open, std::string_view inner, std::string_view close) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += open;
    text += inner;
    for (std::size_t i = 0; i < depth; ++i) text += close;
    return text;
}

// What a parse gives: the value's dump, or the error's id (byte) and text.
std::string outcome(const std::function<json()>& parse) {
    try {
        return "value " + parse().dump();
    } catch (const json::parse_error& e) {
        return "parse_error " + std::to_string(e.id) + " " + std::to_string(e.byte) + " " + e.what();
    } catch (const json::exception& e) {
        return "error " + std::to_string(e.id) + " " + e.what();
    }
}

TEST(ParseJsonText, MatchesTheLibraryWithinTheLimit) {
    const std::vector<std::string> texts = {
        "{}",
        " [1, 2.5, -3, 1e400, \"\\u00e9\", true, null, {\"a\": [\"]\"]}] ",
        "{\"a\":1,\"a\":2}",
        "18446744073709551615",
        "\"unterminated",
        "[1,]",
        "{\"a\" 1}",
        "[1] [2]",
        "",
        "   ",
        "\"\\ud800\"",
        "[01]",
        "/* comment */ 1",
        nested(kJsonNestingLimit, "[", "0", "]"),
        nested(kJsonNestingLimit, "{\"k\":", "0", "}"),
        nested(kJsonNestingLimit / 2, "[{\"k\":", "\"[[[{{{\"", "}]"),
        nested(kJsonNestingLimit, "[", "0", ""),  // unterminated within the limit
        nested(100, "[", "x", "]"),               // a syntax error before the limit is the library's own
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(outcome([&] { return parseJsonText(text); }), outcome([&] { return json::parse(text); })) << text;
    }
}

TEST(ParseJsonText, RefusesNestingPastTheLimitAtTheOffendingBracket) {
    struct Case {
        std::string text;
        std::size_t byte;
    };
    const std::string prefix = "{\"s\":\"[{\\\"[\",\"v\":";  // brackets inside strings do not count
    const std::vector<Case> cases = {
        {nested(kJsonNestingLimit + 1, "[", "0", "]"), kJsonNestingLimit + 1},
        {nested(kJsonNestingLimit + 1, "{\"k\":", "0", "}"), 5 * kJsonNestingLimit + 1},
        {prefix + nested(kJsonNestingLimit, "[", "0", "]") + "}", prefix.size() + kJsonNestingLimit},
        {nested(100000, "[", "0", "]"), kJsonNestingLimit + 1},
        {nested(100000, "[", "", ""), kJsonNestingLimit + 1},  // refused before the missing end is seen
    };
    for (const Case& c : cases) {
        try {
            (void)parseJsonText(c.text);
            ADD_FAILURE() << "accepted " << c.text.substr(0, 40);
        } catch (const json::parse_error& e) {
            EXPECT_EQ(e.id, 101);
            EXPECT_EQ(e.byte, c.byte);
            EXPECT_NE(std::string(e.what()).find("nesting deeper than 512 levels"), std::string::npos) << e.what();
        }
    }
}

// Random texts, some nesting past the limit: within it the library's own
// outcome, past it (when the library would accept) the nesting refusal.
TEST(ParseJsonText, FuzzedTextsFollowTheLibraryOrAreRefusedForDepth) {
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 800;
#else
    constexpr int kRounds = 6000;
#endif
    const std::vector<std::string> pieces = {"[",  "]",  "{",      "}",    "\"k\":", ",", "0", "-1.5e3",
                                             "\"", "\\", "\"[{\"", "true", "null",   " ", "x", "\xE2\x99\xAF"};
    std::mt19937 rng(512);
    int refused = 0;
    int accepted = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::string text;
        if (round % 2 == 0) {
            // One nested value around the limit, sometimes with a piece dropped in.
            const std::size_t depth = kJsonNestingLimit - 8 + rng() % 16;
            text = rng() % 2 == 0 ? nested(depth, "[", "0", "]") : nested(depth / 2, "[{\"k\":", "\"]\"", "}]");
            if (rng() % 3 == 0) text.insert(rng() % text.size(), pieces[rng() % pieces.size()]);
        } else {
            const int length = static_cast<int>(rng() % 24);
            for (int i = 0; i < length; ++i) text += pieces[rng() % pieces.size()];
        }
        std::optional<json> library;
        try {
            library = json::parse(text);
        } catch (const json::exception&) {}
        const std::string ours = outcome([&] { return parseJsonText(text); });
        if (library && nestsDeeperThan(*library, kJsonNestingLimit)) {
            EXPECT_NE(ours.find("nesting deeper than 512 levels"), std::string::npos) << ours;
            ++refused;
        } else if (library) {
            EXPECT_EQ(ours, "value " + library->dump());
            ++accepted;
        } else {
            EXPECT_NE(ours.rfind("value ", 0), 0u) << text.substr(0, 80);
        }
    }
    EXPECT_GT(refused, kRounds / 100);
    EXPECT_GT(accepted, kRounds / 100);
}

TEST(NestsDeeperThan, CountsArraysAndObjectsAlike) {
    EXPECT_FALSE(nestsDeeperThan(json(1), 0));
    EXPECT_TRUE(nestsDeeperThan(json::array(), 0));
    EXPECT_FALSE(nestsDeeperThan(json::array(), 1));
    const json mixed = parseJsonText(nested(255, "[1,{\"k\":", "{}", "}]"));  // 511 levels
    EXPECT_FALSE(nestsDeeperThan(mixed, 511));
    EXPECT_TRUE(nestsDeeperThan(mixed, 510));
    // The deep branch is found beside shallow ones, whatever their order.
    const json wide = {{"a", 1}, {"b", parseJsonText(nested(40, "[", "", "]"))}, {"c", {1, 2}}};
    EXPECT_TRUE(nestsDeeperThan(wide, 40));
    EXPECT_FALSE(nestsDeeperThan(wide, 41));
}

}  // namespace
}  // namespace quillex
