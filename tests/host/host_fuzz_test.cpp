// Seeded fuzzing of every host message: random atoms, bytes, bad UTF-8, malformed, deep and huge JSON.
#include <gtest/gtest.h>

#include <random>

#include "host_harness.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kRounds = 1000;
#else
constexpr int kRounds = 10000;
#endif

class Fuzzer {
public:
    explicit Fuzzer(std::uint32_t seed) : random_(seed) {}

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::string bytes() {
        std::string text;
        const int length = pick(12);
        for (int i = 0; i < length; ++i) {
            // Mostly printable, sometimes any byte but TAB and newline (the line format's own).
            char c = static_cast<char>(pick(4) == 0 ? pick(256) : 32 + pick(95));
            if (c == '\t' || c == '\n' || c == '\r' || c == '\0') c = '?';
            text += c;
        }
        return text;
    }

    json value(int depth) {
        static const std::vector<json> numbers{
            0,   -1,   1e308,  -1e308, 4294967296.0, 18446744073709551615ull, -9223372036854775807LL - 1, 2147483648LL,
            0.5, -0.0, 1e-320, 127};
        static const std::vector<const char*> words{"C",      "Cmaj7", "closed", "major", "minor",  "bridge",  "list",
                                                    "create", "G7/B",  "",       "x",     "anthem", "natural", "pop"};
        switch (pick(depth > 2 ? 4 : 6)) {
            case 0:
                return numbers[pick(static_cast<int>(numbers.size()))];
            case 1:
                return pick(3) == 0 ? json(repairable(bytes())) : json(words[pick(static_cast<int>(words.size()))]);
            case 2:
                return pick(2) == 0 ? json(nullptr) : json(pick(2) == 0);
            case 3:
                return json(pick(100));
            case 4: {
                json array = json::array();
                for (int i = pick(4); i > 0; --i) array.push_back(value(depth + 1));
                return array;
            }
            default:
                return object(depth + 1);
        }
    }

    json object(int depth) {
        static const std::vector<const char*> keys{"chord",
                                                   "style",
                                                   "slots",
                                                   "root",
                                                   "mode",
                                                   "position",
                                                   "intervals",
                                                   "genre",
                                                   "length",
                                                   "modifiers",
                                                   "getModifiers",
                                                   "octave",
                                                   "request_id",
                                                   "type",
                                                   "payload",
                                                   "responseTarget",
                                                   "transactionId",
                                                   "key",
                                                   "value",
                                                   "action",
                                                   "name",
                                                   "id",
                                                   "expectedRevision",
                                                   "lengthSteps",
                                                   "events",
                                                   "gesture",
                                                   "command",
                                                   "baseRevision",
                                                   "schemaVersion",
                                                   "inversion",
                                                   "voicingStyle",
                                                   "minorScaleType",
                                                   "seed",
                                                   "semitones"};
        json result = json::object();
        for (int i = pick(5); i > 0; --i) result[keys[pick(static_cast<int>(keys.size()))]] = value(depth);
        return result;
    }

    // JSON text of many kinds: valid, cut short, deeply nested, huge numbers, raw bad bytes.
    std::string jsonText() {
        switch (pick(7)) {
            case 0: {
                const std::string text = object(0).dump();
                return text.substr(0, pick(static_cast<int>(text.size()) + 1));
            }
            case 1: {
                const int depth = 400 + pick(400);
                return std::string(depth, '[') + std::string(depth, ']');
            }
            case 2:
                return "{\"chord\":" + std::string(1 + pick(400), '9') + "}";
            case 3:
                return "{\"chord\":\"" + bytes() + "\",\"request_id\":\"" + bytes() + "\"}";
            case 4:
                return "{" + bytes();
            default:
                return object(0).dump();
        }
    }

    // Text that is valid UTF-8 by construction of json strings: bad bytes only as escapes are not possible,
    // so strings in values stay printable.
    static std::string repairable(std::string text) {
        for (char& c : text) {
            if (static_cast<unsigned char>(c) >= 0x80 || c < 0x20) c = '#';
        }
        return text;
    }

    std::string atom() {
        switch (pick(6)) {
            case 0:
                return "\\i" + std::to_string(static_cast<long long>(random_()) - (1LL << 31));
            case 1:
                return "\\f" + std::to_string(std::uniform_real_distribution<double>(-1e12, 1e12)(random_));
            case 2:
                return bytes();
            default:
                return jsonText();
        }
    }

    std::string line() {
        const auto& names = quillex_ext::message_names();
        std::string line = pick(8) == 0 ? bytes() : std::string(names[pick(static_cast<int>(names.size()))]);
        if (line.empty() || line.front() == '#' || line.front() == ':') line = "x" + line;
        for (int i = pick(4); i > 0; --i) line += "\t" + atom();
        return line;
    }

private:
    std::mt19937 random_;
};

TEST(HostFuzz, EveryMessageSurvivesRandomAtomsAndAnswersWellFormed) {
    Fuzzer fuzzer(20261207);
    testing::HostHarness host;
    // Settings exist so that writes reach the store's own checks.
    host.run("get_user_settings");
    for (int round = 0; round < kRounds; ++round) {
        const std::string line = fuzzer.line();
        for (const std::string& out : host.run(line)) {
            // A token such as "\\fk" is the line format's own refusal, not the engine's.
            if (out.starts_with("! bad-line")) continue;
            ASSERT_FALSE(out.starts_with("! ")) << line << "\n" << out;
            const auto parts = testing::splitOutletLine(out);
            ASSERT_TRUE(parts.selector == "toJweb" || parts.selector == "toBridge") << out;
            for (char c : parts.text) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << line;
            ASSERT_TRUE(json::accept(parts.text)) << line << "\n" << out;
        }
    }
    // Nothing reached the framework's catch-all (which reports as an error line).
    EXPECT_EQ(host.console().find(" error: "), std::string::npos) << host.console().substr(0, 2000);
    EXPECT_FALSE(host.session().failed());
}

}  // namespace
}  // namespace quillex
