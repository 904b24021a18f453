// The settings contract: every type's rule at its boundaries, MIDI mappings, octaves, and whole-object checks.
#include "storage/user_settings_contract.h"

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quillex {
namespace {

using nlohmann::json;

// What a check says: "accepted", its own message, or the kind of anything else.
template <typename Call>
std::string outcome(Call call) {
    try {
        call();
    } catch (const nlohmann::json::exception& e) {
        return std::string("library error: ") + e.what();
    } catch (const std::invalid_argument& e) {
        return std::string("invalid_argument: ") + e.what();
    } catch (const std::out_of_range& e) {
        return std::string("out_of_range: ") + e.what();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

std::string valueOutcome(const std::string& key, const json& value) {
    return outcome([&] { validateUserSettingValue(key, value); });
}

struct ValueCase {
    const char* key;
    json value;
    std::string expected;  // "accepted" or the message
};

void expectValueCases(const std::vector<ValueCase>& cases) {
    for (const ValueCase& c : cases) {
        EXPECT_EQ(valueOutcome(c.key, c.value), c.expected) << c.key << " = " << c.value.dump();
    }
}

const json kNaN = json(std::numeric_limits<double>::quiet_NaN());
const json kInfinity = json(std::numeric_limits<double>::infinity());

TEST(UserSettingsContract, HoldsTheTwentyFourKeysWithTheirDefaults) {
    const json& contract = userSettingsContract();
    ASSERT_EQ(contract.size(), 24u);
    std::string previous;
    for (const auto& [key, entry] : contract.items()) {
        EXPECT_LT(previous, key) << "walked in byte order";
        previous = key;
        // Every default passes its own rule.
        EXPECT_EQ(valueOutcome(key, entry.at("default")), "accepted") << key;
    }
    const json& defaults = userSettingsDefaults();
    EXPECT_EQ(defaults.dump(),
              R"({"chordBlockSubsection":"intervals","chordLabelPriority":"symbol","clipDestination":"arrangement",)"
              R"("clipPosition":"loop","defaultBootProgression":"Dm7 G7 Cmaj7 Am7","defaultChordWheelPage":"smart",)"
              R"("defaultKeyPageDiatonicExtension":7,"defaultVelocity":100,"externalWindowGeometry":null,)"
              R"("gestureKeyswitchOctave":"6","gestureRandomize":{"keepFirst":false,"keepLast":false,"order":true,)"
              R"("scope":"slot","velocity":false},"localGenerationTemperature":0.25,"midiMappings":{},)"
              R"("midiTriggersUseRhythm":true,"patternRandomize":{"perLane":true,"randomizeEvents":true,)"
              R"("randomizeVelocities":true,"resolution":16,"velocityMaximum":100,"velocityMinimum":50},)"
              R"("pickerCollapseMode":false,"pickerMoreMergeVariants":true,"pickerOrdering":"sequential",)"
              R"("pickerShuffleMode":false,"previewOctave":"7","previewOnHover":true,"simplifyAccidentals":true,)"
              R"("spellingPreference":"fifths","theme":"corvane-12"})");
    EXPECT_EQ(&userSettingsDefaults(), &defaults);
    EXPECT_EQ(contract.at("previewOctave").at("values"), json({"-2", "-1", "0", "6", "7"}));
    EXPECT_EQ(contract.at("gestureKeyswitchOctave").at("values").size(), 11u);
    EXPECT_EQ(valueOutcome("undo", true), "Unknown user setting key: undo");
}

TEST(UserSettingsValue, EnumsMatchByJsonEquality) {
    expectValueCases({
        {"theme", "arctic", "accepted"},
        {"theme", "dark", "Invalid value for theme"},
        {"theme", "Arctic", "Invalid value for theme"},
        {"theme", nullptr, "Invalid value for theme"},
        {"defaultKeyPageDiatonicExtension", 7, "accepted"},
        {"defaultKeyPageDiatonicExtension", 7.0, "accepted"},
        {"defaultKeyPageDiatonicExtension", 9u, "accepted"},
        {"defaultKeyPageDiatonicExtension", "7", "Invalid value for defaultKeyPageDiatonicExtension"},
        {"defaultKeyPageDiatonicExtension", 7.5, "Invalid value for defaultKeyPageDiatonicExtension"},
        {"defaultKeyPageDiatonicExtension", 5, "Invalid value for defaultKeyPageDiatonicExtension"},
        {"previewOctave", "-2", "accepted"},
        {"previewOctave", "5", "Invalid value for previewOctave"},
        {"previewOctave", 7, "Invalid value for previewOctave"},
        {"gestureKeyswitchOctave", "8", "accepted"},
        {"gestureKeyswitchOctave", "9", "Invalid value for gestureKeyswitchOctave"},
        {"chordBlockSubsection", "gestureValues", "accepted"},
    });
}

TEST(UserSettingsValue, BooleansAreOnlyBooleans) {
    expectValueCases({
        {"previewOnHover", false, "accepted"},
        {"simplifyAccidentals", true, "accepted"},
        {"previewOnHover", 0, "previewOnHover must be boolean"},
        {"pickerShuffleMode", "true", "pickerShuffleMode must be boolean"},
        {"midiTriggersUseRhythm", nullptr, "midiTriggersUseRhythm must be boolean"},
    });
}

TEST(UserSettingsValue, StringLengthsCountBytes) {
    const std::string e = "\xc3\xa9";  // two bytes
    std::string fullWide;
    for (int i = 0; i < 2048; ++i) fullWide += e;
    expectValueCases({
        {"defaultBootProgression", "C", "accepted"},
        {"defaultBootProgression", "", "Invalid length for defaultBootProgression"},
        {"defaultBootProgression", std::string(4096, 'C'), "accepted"},
        {"defaultBootProgression", std::string(4097, 'C'), "Invalid length for defaultBootProgression"},
        {"defaultBootProgression", fullWide, "accepted"},
        {"defaultBootProgression", fullWide + "C", "Invalid length for defaultBootProgression"},
        {"defaultBootProgression", 5, "defaultBootProgression must be a string"},
        {"defaultBootProgression", json::array({"C"}), "defaultBootProgression must be a string"},
    });
}

TEST(UserSettingsValue, NumbersAreFiniteInRangeAndIntegersWhereAsked) {
    const std::string velocity = "Invalid value for defaultVelocity";
    const std::string temperature = "Invalid value for localGenerationTemperature";
    expectValueCases({
        {"localGenerationTemperature", 0, "accepted"},
        {"localGenerationTemperature", -0.0, "accepted"},
        {"localGenerationTemperature", 1, "accepted"},
        {"localGenerationTemperature", 1.0, "accepted"},
        {"localGenerationTemperature", 0.5, "accepted"},
        {"localGenerationTemperature", 1.0000000000000002, temperature},
        {"localGenerationTemperature", -1e-300, temperature},
        {"localGenerationTemperature", 2u, temperature},
        {"localGenerationTemperature", kNaN, temperature},
        {"localGenerationTemperature", kInfinity, temperature},
        {"localGenerationTemperature", "0.5", "localGenerationTemperature must be numeric"},
        {"localGenerationTemperature", true, "localGenerationTemperature must be numeric"},
        {"defaultVelocity", 1, "accepted"},
        {"defaultVelocity", 127, "accepted"},
        {"defaultVelocity", 127u, "accepted"},
        {"defaultVelocity", 100.0, velocity},
        {"defaultVelocity", 0, velocity},
        {"defaultVelocity", 128, velocity},
        {"defaultVelocity", -1, velocity},
        {"defaultVelocity", std::numeric_limits<std::uint64_t>::max(), velocity},
        {"defaultVelocity", 4294967396ULL, velocity},  // 2^32 + 100: only its low word is in range
        {"defaultVelocity", std::numeric_limits<std::int64_t>::min(), velocity},
    });
}

TEST(UserSettingsValue, WindowGeometryIsNullOrTwoScalesWithinBounds) {
    const std::string shape = "externalWindowGeometry must be null or contain exactly widthScale and heightScale";
    const std::string bounds = "Invalid external window geometry for externalWindowGeometry";
    auto geometry = [](json width, json height) { return json{{"widthScale", width}, {"heightScale", height}}; };
    expectValueCases({
        {"externalWindowGeometry", nullptr, "accepted"},
        {"externalWindowGeometry", geometry(2, 2), "accepted"},
        {"externalWindowGeometry", geometry(1, 1), "accepted"},
        {"externalWindowGeometry", geometry(32767, 2.5), "accepted"},
        {"externalWindowGeometry", geometry(32767.5, 2), bounds},
        {"externalWindowGeometry", geometry(3, 2.6), bounds},
        {"externalWindowGeometry", geometry(1.5, 2), bounds},
        {"externalWindowGeometry", geometry(0.5, 0.5), bounds},
        {"externalWindowGeometry", geometry(2, 0.999), bounds},
        {"externalWindowGeometry", geometry(kInfinity, 2), bounds},
        {"externalWindowGeometry", geometry(kNaN, 1), bounds},
        {"externalWindowGeometry", geometry(std::numeric_limits<std::uint64_t>::max(), 2), bounds},
        {"externalWindowGeometry", geometry("2", 2), shape},
        {"externalWindowGeometry", json{{"widthScale", 2}}, shape},
        {"externalWindowGeometry", json{{"widthScale", 2}, {"heightScale", 2}, {"x", 0}}, shape},
        {"externalWindowGeometry", json::array({2, 2}), shape},
        {"externalWindowGeometry", false, shape},
    });
}

TEST(UserSettingsValue, GestureRandomizeHasFiveTypedMembers) {
    const std::string refused = "Invalid gesture randomize setting for gestureRandomize";
    const json valid = userSettingsDefaults().at("gestureRandomize");
    auto with = [&](const char* member, json value) {
        json copy = valid;
        copy[member] = std::move(value);
        return copy;
    };
    json missing = valid;
    missing.erase("keepLast");
    expectValueCases({
        {"gestureRandomize", valid, "accepted"},
        {"gestureRandomize", with("scope", "all"), "accepted"},
        {"gestureRandomize", with("scope", "ALL"), refused},
        {"gestureRandomize", with("scope", 1), refused},
        {"gestureRandomize", with("order", 1), refused},
        {"gestureRandomize", with("keepFirst", nullptr), refused},
        {"gestureRandomize", with("extra", true), refused},
        {"gestureRandomize", missing, refused},
        {"gestureRandomize", nullptr, refused},
    });
}

TEST(UserSettingsValue, PatternRandomizeComparesExactIntegers) {
    const std::string refused = "Invalid pattern randomize setting for patternRandomize";
    const json valid = userSettingsDefaults().at("patternRandomize");
    auto with = [&](std::initializer_list<std::pair<const char*, json>> changes) {
        json copy = valid;
        for (const auto& [member, value] : changes) copy[member] = value;
        return copy;
    };
    expectValueCases({
        {"patternRandomize", valid, "accepted"},
        {"patternRandomize", with({{"resolution", 4}}), "accepted"},
        {"patternRandomize", with({{"resolution", 8u}}), "accepted"},
        {"patternRandomize", with({{"resolution", 12}}), refused},
        {"patternRandomize", with({{"resolution", 16.0}}), refused},
        {"patternRandomize", with({{"resolution", 4294967312ULL}}), refused},  // 2^32 + 16
        {"patternRandomize", with({{"velocityMinimum", 1}, {"velocityMaximum", 1}}), "accepted"},
        {"patternRandomize", with({{"velocityMinimum", 0}}), refused},
        {"patternRandomize", with({{"velocityMaximum", 101}}), refused},
        {"patternRandomize", with({{"velocityMaximum", 4294967396LL}}), refused},  // 2^32 + 100
        {"patternRandomize", with({{"velocityMinimum", 60}, {"velocityMaximum", 50}}), refused},
        {"patternRandomize", with({{"velocityMinimum", -4294967246LL}}), refused},
        {"patternRandomize", with({{"perLane", 1}}), refused},
        {"patternRandomize", with({{"extra", 1}}), refused},
        {"patternRandomize", json::object(), refused},
    });
}

TEST(MidiMappings, CommandsShapesRangesAndConflicts) {
    auto mapping = [](const char* type, json value) { return json{{"type", type}, {"value", value}}; };
    struct Case {
        json mappings;
        std::string expected;
    };
    const Case cases[] = {
        {json::object(), "accepted"},
        {{{"nav_prev", mapping("note", 60)}, {"nav_next", mapping("cc", 60)}}, "accepted"},
        {{{"tab_prev", mapping("note", 0)}, {"tab_next", mapping("cc", 127u)}}, "accepted"},
        {{{"nav_prev", mapping("note", 60)}, {"regenerate_progression", mapping("note", 60)}},
         "Conflicting MIDI mappings"},
        {{{"nav_prev", mapping("cc", 7)}, {"nav_next", mapping("cc", 7)}}, "Conflicting MIDI mappings"},
        {{{"undo", mapping("note", 1)}}, "Unknown MIDI mapping command: undo"},
        {{{"nav_prev", json{{"type", "note"}}}}, "MIDI mapping must contain exactly type and value"},
        {{{"nav_prev", json{{"type", "note"}, {"value", 1}, {"channel", 1}}}},
         "MIDI mapping must contain exactly type and value"},
        {{{"nav_prev", 60}}, "MIDI mapping must contain exactly type and value"},
        {{{"nav_prev", mapping("pc", 60)}}, "MIDI mapping has invalid type or value"},
        {{{"nav_prev", mapping("note", 60.0)}}, "MIDI mapping has invalid type or value"},
        {{{"nav_prev", mapping("note", "60")}}, "MIDI mapping has invalid type or value"},
        {{{"nav_prev", mapping("note", 128)}}, "MIDI mapping value must be 0..127"},
        {{{"nav_prev", mapping("note", -1)}}, "MIDI mapping value must be 0..127"},
        {{{"nav_prev", mapping("note", 4294967356ULL)}}, "MIDI mapping value must be 0..127"},  // 2^32 + 60
        // Members are checked in key order: nav_prev comes before tab_prev.
        {{{"tab_prev", mapping("note", 200)}, {"nav_prev", mapping("x", 1)}}, "MIDI mapping has invalid type or value"},
        {{{"undo", mapping("note", 1)}, {"nav_next", mapping("note", 500)}}, "MIDI mapping value must be 0..127"},
        {json::array(), "midiMappings must be an object"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outcome([&] { validateMidiMappings(c.mappings); }), c.expected) << c.mappings.dump();
        EXPECT_EQ(valueOutcome("midiMappings", c.mappings), c.expected) << c.mappings.dump();
    }
}

TEST(OctaveSetting, ConvertsLikeStoiThenChecksTheRange) {
    struct Case {
        json value;
        std::string expected;  // the note number or the failure
    };
    const Case cases[] = {
        {"-2", "0"},
        {"0", "24"},
        {"7", "108"},
        {"8", "120"},
        {"+7", "108"},
        {" \t\n\v\f\r-1", "12"},
        {"007", "108"},
        {"7 ", "previewOctave is invalid"},
        {"7x", "previewOctave is invalid"},
        {"9", "previewOctave is invalid"},
        {"-3", "previewOctave is invalid"},
        {"-2147483648", "previewOctave is invalid"},
        {"", "invalid_argument: invalid stoi argument"},
        {" ", "invalid_argument: invalid stoi argument"},
        {"x7", "invalid_argument: invalid stoi argument"},
        {"+", "invalid_argument: invalid stoi argument"},
        {"- 1", "invalid_argument: invalid stoi argument"},
        {"+-1", "invalid_argument: invalid stoi argument"},
        {"2147483648", "out_of_range: stoi argument out of range"},
        {"-2147483649", "out_of_range: stoi argument out of range"},
        {"99999999999999999999999x", "out_of_range: stoi argument out of range"},
        {7, "previewOctave must be an octave string"},
        {nullptr, "previewOctave must be an octave string"},
    };
    for (const Case& c : cases) {
        std::string got = outcome([&] { (void)parseOctaveSetting(c.value, "previewOctave"); });
        if (got == "accepted") got = std::to_string(parseOctaveSetting(c.value, "previewOctave"));
        EXPECT_EQ(got, c.expected) << c.value.dump();
    }
}

// Seeded texts against the standard library's own std::stoi as the oracle.
TEST(OctaveSetting, AgreesWithStoiOnRandomTexts) {
#ifdef QUILLEX_SANITIZED
    constexpr int kTexts = 3000;
#else
    constexpr int kTexts = 20000;
#endif
    std::mt19937 rng(714);
    const std::string alphabet = " \t\n+-0123456789x.";
    for (int i = 0; i < kTexts; ++i) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, i % 10 == 0 ? 24 : 6)(rng), ' ');
        for (char& c : text) c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        std::string expected;
        try {
            std::size_t used = 0;
            const int n = std::stoi(text, &used);
            expected = used == text.size() && n >= -2 && n <= 8 ? std::to_string((n + 2) * 12) : "o is invalid";
        } catch (const std::invalid_argument&) {
            expected = "invalid_argument: invalid stoi argument";
        } catch (const std::out_of_range&) {
            expected = "out_of_range: stoi argument out of range";
        }
        std::string got = outcome([&] { (void)parseOctaveSetting(json(text), "o"); });
        if (got == "accepted") got = std::to_string(parseOctaveSetting(json(text), "o"));
        ASSERT_EQ(got, expected) << "text: \"" << text << "\"";
    }
}

TEST(KeyswitchOctave, MatchesARangeOverlapOracleForEveryPair) {
    const std::vector<std::string> keyswitch = {"-2", "-1", "0", "1", "2", "3", "4", "5", "6", "7", "8"};
    for (const char* preview : {"-2", "-1", "0", "6", "7"}) {
        for (const std::string& octave : keyswitch) {
            const int k = (std::stoi(octave) + 2) * 12;
            const int p = (std::stoi(preview) + 2) * 12;
            bool overlap = false;
            for (int note = k; note <= k + 7; ++note) overlap = overlap || (note >= p && note <= p + 16);
            const json settings = {{"previewOctave", preview}, {"midiMappings", json::object()}};
            EXPECT_EQ(isGestureKeyswitchOctaveFree(settings, octave), !overlap) << preview << " / " << octave;
        }
    }
}

TEST(KeyswitchOctave, LearnedNoteCommandsBlockTheirOctave) {
    auto settingsWith = [](json mappings) { return json{{"previewOctave", "7"}, {"midiMappings", mappings}}; };
    EXPECT_TRUE(isGestureKeyswitchOctaveFree(settingsWith(json::object()), "6"));
    EXPECT_FALSE(isGestureKeyswitchOctaveFree(settingsWith(json::object()), "7"));
    EXPECT_FALSE(isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "note"}, {"value", 100}}}}), "6"));
    EXPECT_FALSE(isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "note"}, {"value", 96}}}}), "6"));
    EXPECT_FALSE(isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "note"}, {"value", 103}}}}), "6"));
    EXPECT_TRUE(isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "note"}, {"value", 104}}}}), "6"));
    EXPECT_TRUE(isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "cc"}, {"value", 100}}}}), "6"));
    // 2^32 + 100 is not note 100.
    EXPECT_TRUE(
        isGestureKeyswitchOctaveFree(settingsWith({{"nav_prev", {{"type", "note"}, {"value", 4294967396ULL}}}}), "6"));
    EXPECT_EQ(outcome([] { (void)isGestureKeyswitchOctaveFree(json::object(), "6"); }),
              "previewOctave must be an octave string");
    EXPECT_EQ(outcome([] {
                  (void)isGestureKeyswitchOctaveFree(json{{"previewOctave", "7"}}, "six");
              }),
              "invalid_argument: invalid stoi argument");
}

TEST(UserSettingsObject, FillsOrRequiresEveryKeyAndKeepsExactlyTheContract) {
    EXPECT_EQ(validateUserSettings(json::object(), true), userSettingsDefaults());
    EXPECT_EQ(validateUserSettings(userSettingsDefaults(), false), userSettingsDefaults());

    json missingTheme = userSettingsDefaults();
    missingTheme.erase("theme");
    EXPECT_EQ(outcome([&] { (void)validateUserSettings(missingTheme, false); }),
              "User settings missing required key: theme");
    EXPECT_EQ(validateUserSettings(missingTheme, true).at("theme"), "corvane-12");

    const json changed = {{"theme", "arctic"}, {"defaultVelocity", 90}};
    const json filled = validateUserSettings(changed, true);
    EXPECT_EQ(filled.size(), 24u);
    EXPECT_EQ(filled.at("theme"), "arctic");
    EXPECT_EQ(filled.at("defaultVelocity"), 90);
}

TEST(UserSettingsObject, TheFirstFailureInKeyOrderDecides) {
    auto outcomeOf = [](json settings, bool fill) {
        return outcome([&] { (void)validateUserSettings(settings, fill); });
    };
    EXPECT_EQ(outcomeOf(json::array(), true), "User settings must be a JSON object");
    EXPECT_EQ(outcomeOf(nullptr, true), "User settings must be a JSON object");
    // Unknown keys are looked for before any value is checked.
    EXPECT_EQ(outcomeOf({{"theme", "dark"}, {"zebra", 1}, {"alpha", 1}}, true), "Unknown user setting key: alpha");
    EXPECT_EQ(outcomeOf({{"theme", "dark"}, {"clipPosition", "middle"}}, true), "Invalid value for clipPosition");
    // Without filling, a missing key earlier in order wins over a later bad value.
    EXPECT_EQ(outcomeOf({{"theme", "dark"}}, false), "User settings missing required key: chordBlockSubsection");
    json conflict = userSettingsDefaults();
    conflict["gestureKeyswitchOctave"] = "7";
    EXPECT_EQ(outcomeOf(conflict, false),
              "Gesture keyswitch range conflicts with the trigger range or a learned note command");
    conflict["midiMappings"] = {{"nav_prev", {{"type", "note"}, {"value", 500}}}};
    EXPECT_EQ(outcomeOf(conflict, false), "MIDI mapping value must be 0..127");
}

}  // namespace
}  // namespace quillex
