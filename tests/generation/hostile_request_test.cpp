// Every request handler given hostile members (deep nesting, long glyph runs, huge lists) answers or refuses.
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "generation/corpus_loader.h"
#include "generation/local_progression_request.h"
#include "generation/recent_progression_history.h"
#include "generation/suggestions_request.h"
#include "performance/rhythm_patterns_request.h"
#include "protocol/json_text.h"
#include "theory/catalogue_requests.h"
#include "theory/chord_list_transpose.h"
#include "theory/parallel_mode_recalculation.h"
#include "voicing/chord_modifier_requests.h"
#include "voicing/diatonic_chords_request.h"
#include "voicing/generate_voicing_request.h"
#include "voicing/progression_voicing_request.h"
#include "voicing/voicing_catalogue_requests.h"

namespace quillex {
namespace {

using nlohmann::json;
using Handler = std::function<BridgeReply(const json&)>;

constexpr std::size_t kLevelsForFuzz = 100000;

// Built level by level, so neither building nor destroying it recurses.
json deepValue(std::size_t levels, bool objects) {
    json value = 0;
    for (std::size_t i = 0; i < levels; ++i) {
        json outer = objects ? json::object() : json::array();
        if (objects) {
            outer["k"] = std::move(value);
        } else {
            outer.push_back(std::move(value));
        }
        value = std::move(outer);
    }
    return value;
}

// Every member of `value`, at any depth, as a JSON pointer.
void collectPointers(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& out) {
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            out.push_back(at / key);
            collectPointers(member, at / key, out);
        }
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            out.push_back(at / i);
            collectPointers(value[i], at / i, out);
        }
    }
}

struct HandlerCase {
    const char* name;
    Handler handler;
    json request;  // every member the handler reads, each with a usable value
};

std::vector<HandlerCase> handlerCases() {
    const json key = {{"root", "C"}, {"mode", "major"}, {"minorScaleType", "natural"}, {"extra", 1}};
    const json slot = {{"chord", "Dm7"},      {"style", "closed"},  {"octave", 4},
                       {"inversion", 0},      {"drop_bass", false}, {"octave_shift", 0},
                       {"manual_midi", {60}}, {"notes", {60}},      {"auto_voiced", true}};
    json progression = {{"slots", {slot, slot}},
                        {"key", key},
                        {"allow_bass_changes", false},
                        {"include_avl_debug", false},
                        {"semitone_transpose", 0},
                        {"simplifyAccidentals", true},
                        {"spellingPreference", "fifths"},
                        {"auto_mode", "auto"},
                        {"source", "s"},
                        {"request_id", "r"},
                        {"fingerprint", "f"}};
    json led = progression;
    progression["auto_voice_lead"] = false;
    led["auto_voice_lead"] = true;
    const json chordList = {{"chords", {"C", json{{"symbol", "G7"}}}},
                            {"key", key},
                            {"keyLinked", true},
                            {"semitones", 2},
                            {"targetRoot", "D"},
                            {"spellingPreference", "fifths"},
                            {"simplifyAccidentals", true},
                            {"request_id", "r"}};
    json unlinked = chordList;
    unlinked["keyLinked"] = false;
    unlinked.erase("targetRoot");
    const json voicing = {{"chord", "C"},
                          {"style", "closed"},
                          {"octave", 4},
                          {"inversion", 0},
                          {"drop_bass", false},
                          {"octave_shift", 0},
                          {"semitone_transpose", 0},
                          {"voicingStyle", "closed"},
                          {"request_id", "r"}};
    json modifiers = voicing;
    modifiers["selected"] = {"seventh-flat7"};
    modifiers["modifiers"] = {"seventh-flat7"};
    modifiers["bass"] = "E";
    json diatonic = voicing;
    diatonic.erase("chord");
    diatonic.update(json{{"root", "C"},
                         {"mode", "minor"},
                         {"minorScaleType", "melodic"},
                         {"diatonicExtension", 7},
                         {"relativeToRoot", "A"},
                         {"relativeToMode", "minor"},
                         {"spellingPreference", "flats"},
                         {"simplifyAccidentals", true}});
    const json catalogue = {{"chord", "C"}, {"intervals", {0, 4, 7}}, {"request_id", "r"}};
    const json romans = {{"chords", {"C", json{{"symbol", "Am"}}}},
                         {"key", key},
                         {"keyLinked", true},
                         {"oldMode", "minor"},
                         {"oldMinorScaleType", "natural"},
                         {"respellChordSymbols", true},
                         {"spellingPreference", "fifths"},
                         {"simplifyAccidentals", true},
                         {"request_id", "r"}};
    const json suggestions = {
        {"root", "C"},          {"mode", "major"},       {"prevChords", {"Dm7", json{{"symbol", "Am"}}}},
        {"currentChord", "G7"}, {"nextChord", "C"},      {"shuffleSeed", "s1"},
        {"shuffleMode", true},  {"mergeVariants", true}, {"position", "append"},
        {"request_id", "r"}};
    json contextual = suggestions;
    contextual.erase("prevChords");
    contextual["context"] = {"G7"};
    const json local = {
        {"genre", "Rock"},
        {"length", 4},
        {"temperature", 0.5},
        {"key", key},
        {"spellingPreference", "fifths"},
        {"simplifyAccidentals", true},
        {"debug_trace", true},
        {"debug_sequential", true},
        {"debug_sequence_index", 1},
        {"lockContext", {{"sourceKey", key}, {"slots", {json{{"index", 0}, {"type", "chord"}, {"symbol", "C"}}}}}},
        {"request_id", "r"}};
    json autoKey = local;
    autoKey.erase("key");
    autoKey["auto_key"] = true;
    autoKey["debug_key_root"] = "D";
    const auto generateLocal = [](const json& request) {
        clearRecentProgressionsForTesting();
        return handleGenerateLocalProgression(request);
    };
    const auto suggest = [](const json& request) { return handleGetSuggestions(request); };
    return {
        {"get_suggestions", suggest, suggestions},
        {"get_suggestions by context", suggest, contextual},
        {"generate_local_progression", generateLocal, local},
        {"generate_local_progression auto key", generateLocal, autoKey},
        {"generate_voicing", handleGenerateVoicing, voicing},
        {"generate_progression", handleGenerateProgression, progression},
        {"generate_progression voice-led", handleGenerateProgression, led},
        {"get_diatonic_chords", handleGetDiatonicChords, diatonic},
        {"get_available_modifiers", handleGetAvailableModifiers, modifiers},
        {"apply_modifiers", handleApplyModifiers, modifiers},
        {"parse_chord", handleParseChord, catalogue},
        {"get_relevant_voicings", handleGetRelevantVoicings, catalogue},
        {"get_relevant_voicings by intervals", handleGetRelevantVoicings, json{{"intervals", {0, 4, 7}}}},
        {"get_voicing_styles", handleGetVoicingStyles, catalogue},
        {"get_range_presets", handleGetRangePresets, catalogue},
        {"get_supported_qualities", handleGetSupportedQualities, catalogue},
        {"get_rhythm_patterns", handleGetRhythmPatterns, catalogue},
        {"transpose", handleTransposeChords, chordList},
        {"transpose unlinked", handleTransposeChords, unlinked},
        {"recalculate_romans", handleRecalculateRomans, romans},
    };
}

TEST(RequestNesting, EveryMemberOfEveryHandlerTakesDeepNesting) {
    ensureCorporaInitialized();
    constexpr std::size_t kLevels = 100000;
    json deep[2] = {deepValue(kLevels, false), deepValue(kLevels, true)};
    std::size_t sent = 0;
    for (const HandlerCase& c : handlerCases()) {
        // The base request itself must be a working one, so each case tests one member.
        const BridgeReply base = c.handler(c.request);
        ASSERT_FALSE(base.payload.contains("error")) << c.name << ": " << base.payload.dump();
        std::vector<json::json_pointer> pointers;
        collectPointers(c.request, json::json_pointer(), pointers);
        for (const json::json_pointer& pointer : pointers) {
            json& nested = deep[sent++ % 2];
            json request = c.request;
            request[pointer] = std::move(nested);
            try {
                const BridgeReply reply = c.handler(request);
                // An answer holds nothing of the deep value, so it can be written out.
                EXPECT_FALSE(nestsDeeperThan(reply.payload, 16)) << c.name << " " << pointer;
                EXPECT_FALSE(reply.payload.dump().empty());
            } catch (const json::exception& e) {
                // The library's type errors, as for any member of the wrong type.
                EXPECT_TRUE(e.id == 302 || e.id == 306) << c.name << " " << pointer << ": " << e.what();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Key object nests too deeply") << c.name << " " << pointer;
            }
            nested = std::move(request[pointer]);
        }
    }
    EXPECT_GT(sent, 150u);
}

// Long texts made of one glyph or parenthesis (and of slashed qualities),
// lists of many entries and deep values, each dropped into a random member of
// a random handler's request, and whole requests made of many slots.
std::vector<json> hostileValues() {
#ifdef QUILLEX_SANITIZED
    constexpr std::size_t kLong = 1 << 14;
#else
    constexpr std::size_t kLong = 1 << 17;
#endif
    std::vector<json> values;
    for (const std::string unit : {"\u266F", "\u266D", "\u25B3", "(", ")", "/", "6/9/", "#", "b", "[", "\xE2"}) {
        std::string run;
        while (run.size() < kLong) run += unit;
        values.emplace_back("C" + run);
        values.emplace_back(run);
        values.push_back(json::array({"C" + run, "V" + run}));
    }
    values.emplace_back(json::array());
    for (const json& element : {json("C"), json("seventh-flat7"), json(60), json(nullptr), json::array()}) {
        values.emplace_back(json::array());
        for (std::size_t i = 0; i < kLong / 8; ++i) values.back().push_back(element);
    }
    values.push_back(deepValue(kLevelsForFuzz, false));
    values.push_back(deepValue(kLevelsForFuzz, true));
    return values;
}

TEST(HostileRequests, RandomMembersTakeHostileShapes) {
    ensureCorporaInitialized();
#ifdef QUILLEX_SANITIZED
    constexpr int kRounds = 150;
#else
    constexpr int kRounds = 600;
#endif
    const std::vector<HandlerCase> cases = handlerCases();
    std::vector<json> values = hostileValues();
    std::mt19937 rng(13);
    for (int round = 0; round < kRounds; ++round) {
        const HandlerCase& c = cases[rng() % cases.size()];
        std::vector<json::json_pointer> pointers;
        collectPointers(c.request, json::json_pointer(), pointers);
        json request = c.request;
        json& value = values[rng() % values.size()];
        const json::json_pointer pointer = pointers[rng() % pointers.size()];
        request[pointer] = std::move(value);
        try {
            const BridgeReply reply = c.handler(request);
            EXPECT_TRUE(reply.payload.is_object()) << c.name << " " << pointer;
            EXPECT_FALSE(reply.payload.dump().empty());
        } catch (const std::exception&) {
            // The library's type errors and the services' own errors: the request boundary answers them.
        }
        value = std::move(request[pointer]);
    }
}

}  // namespace
}  // namespace quillex
