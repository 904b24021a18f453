// Attack arithmetic: note values, contours, spreads, swing, page order and seeded page timing.
#include "performance/attack_timing.h"

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "performance/attack_timing_json.h"
#include "performance_samples.h"

namespace quillex {
namespace {

std::string refusal(std::string_view text) {
    try {
        (void)parseAttackSpreadNoteValue(text);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(AttackNoteValue, TheTwentyDocumentValues) {
    const std::vector<std::pair<std::string, double>> table = {
        {"1/256T", 4.0 / 256 * 0.6666666666666666},
        {"1/256", 0.015625},
        {"1/128T", 4.0 / 128 * 0.6666666666666666},
        {"1/256D", 0.0234375},
        {"1/128", 0.03125},
        {"1/64T", 4.0 / 64 * 0.6666666666666666},
        {"1/128D", 0.046875},
        {"1/64", 0.0625},
        {"1/32T", 4.0 / 32 * 0.6666666666666666},
        {"1/64D", 0.09375},
        {"1/32", 0.125},
        {"1/16T", 4.0 / 16 * 0.6666666666666666},
        {"1/32D", 0.1875},
        {"1/16", 0.25},
        {"1/8T", 0.5 * 0.6666666666666666},
        {"1/16D", 0.375},
        {"1/8", 0.5},
        {"1/4T", 0.6666666666666666},
        {"1/8D", 0.75},
        {"1/4", 1.0},
    };
    double previous = 0.0;
    for (const auto& [text, beats] : table) {
        const double read = parseAttackSpreadNoteValue(text);
        EXPECT_EQ(read, beats) << text;
        EXPECT_GT(read, previous) << text << " is listed shortest first";
        previous = read;
    }
    EXPECT_DOUBLE_EQ(parseAttackSpreadNoteValue("1/256T"), 1.0 / 96);
}

TEST(AttackNoteValue, EveryDenominatorUpTo1024WithEachSuffix) {
    for (int n = 0; n <= 1024; ++n) {
        for (const std::string suffix : {"", "D", "T"}) {
            const std::string text = "1/" + std::to_string(n) + suffix;
            const bool supported = n >= 2 && n <= 256 && (n & (n - 1)) == 0;
            if (!supported) {
                EXPECT_EQ(refusal(text), "Trigger attack spread is unsupported") << text;
                continue;
            }
            const double factor = suffix == "D" ? 1.5 : suffix == "T" ? 0.6666666666666666 : 1.0;
            EXPECT_EQ(parseAttackSpreadNoteValue(text), 4.0 / n * factor) << text;
        }
    }
}

TEST(AttackNoteValue, MalformedAndIntegerReadingFailures) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"1/", "Trigger attack spread is malformed"},
        {"2/4", "Trigger attack spread is malformed"},
        {"", "Trigger attack spread is malformed"},
        {"1-4", "Trigger attack spread is malformed"},
        {"1/1", "Trigger attack spread is unsupported"},
        {"1/3", "Trigger attack spread is unsupported"},
        {"1/-4", "Trigger attack spread is unsupported"},
        {"1/-2147483648", "Trigger attack spread is unsupported"},
        {"1/D", "invalid stoi argument"},
        {"1/x4", "invalid stoi argument"},
        {"1/ +", "invalid stoi argument"},
        {"1/--4", "invalid stoi argument"},
        {"1/2147483648", "stoi argument out of range"},
        {"1/-2147483649", "stoi argument out of range"},
        {"1/99999999999999999999999T", "stoi argument out of range"},
        // Read as the standard conversion reads: white space, a sign, digits up to the first other character.
        {"1/ \t+8", "accepted"},
        {"1/4x", "accepted"},
        {"1/16 D", "accepted"},
        {"1/0004", "accepted"},
    };
    for (const auto& [text, expected] : table) EXPECT_EQ(refusal(text), expected) << text;
    EXPECT_EQ(parseAttackSpreadNoteValue("1/ \t+8"), 0.5);
    EXPECT_EQ(parseAttackSpreadNoteValue("1/16 D"), 0.375);
}

TEST(AttackContourShape, PartExamplesAndBends) {
    const AttackContour peak{0, 100, 50, 0, 0, 0};
    EXPECT_EQ(evaluateContour(peak, 0.0), 0.0);
    EXPECT_EQ(evaluateContour(peak, 0.5), 100.0);
    EXPECT_EQ(evaluateContour(peak, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(evaluateContour({0, 100, 50, 0, 100, 0}, 0.25), 6.25);
    // A negative bend mirrors the curve: 1 - (1 - 0.5)^4.
    EXPECT_DOUBLE_EQ(evaluateContour({0, 100, 50, 0, -100, 0}, 0.25), 100.0 * (1.0 - std::pow(0.5, 4)));
    EXPECT_DOUBLE_EQ(evaluateContour({0, 100, 20, 50, 0, 0}, 0.6), 75.0);
}

TEST(AttackSpread, LevelsMapExponentiallyFromOneNinetySixthToOneBeat) {
    AttackSettings attack;
    const auto spreadAtLevel = [&](std::int32_t level) {
        attack.velocityRateCurve = {level, level, 50, level, 0, 0};
        return spreadBeatsAtVelocityPosition(attack, 0.3);
    };
    EXPECT_DOUBLE_EQ(spreadAtLevel(0), 1.0 / 96);
    EXPECT_DOUBLE_EQ(spreadAtLevel(100), 1.0);
    EXPECT_NEAR(spreadAtLevel(50), std::pow(96.0, -0.5), 1e-12);
    attack.velocityRateCurve = {100, 50, 50, 0, 0, 0};  // the document default: soft strums long
    EXPECT_DOUBLE_EQ(spreadBeatsAtVelocityPosition(attack, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(spreadBeatsAtVelocityPosition(attack, 1.0), 1.0 / 96);
}

TEST(AttackSwing, ZeroLeavesTimesAndFullSwingMovesOffbeats) {
    RhythmSection rhythm;
    rhythm.swing = {"swing16", 0};
    for (double t = 0.0; t < 8.0; t += 0.125) EXPECT_EQ(applySwing(t, 4.0, rhythm), t);
    rhythm.swing = {"swing8", 0};
    EXPECT_EQ(applySwing(0.5, 4.0, rhythm), 0.5);

    rhythm.swing = {"swing16", 100};
    EXPECT_DOUBLE_EQ(applySwing(0.25, 4.0, rhythm), 1.0 / 3);
    EXPECT_DOUBLE_EQ(applySwing(4.25, 4.0, rhythm), 4.0 + 1.0 / 3);  // the next cycle swings alike
    EXPECT_DOUBLE_EQ(applySwing(0.5, 4.0, rhythm), 0.5);             // pair ends stay put
    rhythm.swing = {"swing8", 100};
    EXPECT_DOUBLE_EQ(applySwing(0.5, 4.0, rhythm), 2.0 / 3);
    EXPECT_DOUBLE_EQ(applySwing(0.75, 4.0, rhythm), 2.0 / 3 + 0.25 * (1.0 - 2.0 / 3) / 0.5);
    // A 3.5-beat cycle: the last pair (3.0..4.0) does not fit and stays straight.
    EXPECT_EQ(applySwing(3.25, 3.5, rhythm), 3.25);
    rhythm.swing = {"swing16", 50};
    EXPECT_DOUBLE_EQ(applySwing(0.25, 4.0, rhythm), 0.25 + 0.5 * 0.5 / 6);
}

TEST(AttackPageOrder, KindsCustomOrdersAndUnavailablePages) {
    AttackSettings attack = testing::advancedAttack();
    AttackOrders orders = testing::sampleAttackOrders();
    EXPECT_EQ(resolveAttackPageOrder(attack, orders, 4, 0), (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(resolveAttackPageOrder(attack, orders, 4, 1), (std::vector<std::size_t>{3, 2, 1, 0}));
    orders[2].order = {2, 2, 9};
    EXPECT_EQ(resolveAttackPageOrder(attack, orders, 4, 2), (std::vector<std::size_t>{2, 0, 1, 3}));
    EXPECT_EQ(resolveAttackPageOrder(attack, orders, 0, 2), std::vector<std::size_t>{});

    EXPECT_THROW(resolveAttackPageOrder(attack, orders, 4, 8), std::runtime_error);
    orders.resize(2);
    try {
        (void)resolveAttackPageOrder(attack, orders, 4, 2);
        ADD_FAILURE() << "page 2 of two order pages";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Trigger attack page is unavailable");
    }
    // Mode "off" never fails and always strikes upward.
    attack.mode = "off";
    EXPECT_EQ(resolveAttackPageOrder(attack, orders, 3, 7), (std::vector<std::size_t>{0, 1, 2}));
}

TEST(AttackPageTimingTest, SeededMultipliersMatchTheHash) {
    AttackSettings attack = testing::advancedAttack();
    attack.velocityRange = {50, 150};
    attack.velocityCurve = {100, 100, 50, 100, 0, 0};
    AttackOrders orders = testing::sampleAttackOrders();
    const std::vector<std::int32_t> notes{64, 60};
    const AttackPageTiming timing = compileTriggerPage(notes, notes, attack, orders, 0);
    EXPECT_EQ(attackVelocityHashUnit(0, 1), 0.6444021120305178);
    EXPECT_EQ(attackVelocityHashUnit(1, 1), 0.02977459459327501);
    // 60 is the chord's index 0, 64 its index 1.
    EXPECT_EQ(timing.velocityMultipliers[1], 1.1444021120305177);
    EXPECT_EQ(timing.velocityMultipliers[0], 0.529774594593275);
    EXPECT_EQ(timing.onsetOffsets[1], 0.0);
    EXPECT_EQ(timing.onsetOffsets[0], 1.0);
}

TEST(AttackPageTimingTest, OffModeBassExclusionAndSingleNotes) {
    const std::vector<std::int32_t> chord{60, 64, 67, 71};
    AttackOrders orders = testing::sampleAttackOrders();
    const AttackPageTiming off = compileTriggerPage(chord, chord, AttackSettings{}, orders, 5);
    EXPECT_EQ(off.onsetOffsets, std::vector<double>(4, 0.0));
    EXPECT_EQ(off.velocityMultipliers, std::vector<double>(4, 1.0));

    AttackSettings attack = testing::advancedAttack();
    attack.includeBass = false;
    const AttackPageTiming noBass = compileTriggerPage(chord, chord, attack, orders, 0);
    EXPECT_EQ(noBass.onsetOffsets[0], 0.0);
    EXPECT_EQ(noBass.velocityMultipliers[0], 1.0);
    EXPECT_EQ(noBass.onsetOffsets[1], 0.0);
    EXPECT_EQ(noBass.onsetOffsets[3], 1.0);

    // One sequenced note: no gap and no velocity curve, only the seeded range.
    const std::vector<std::int32_t> top{71};
    attack.includeBass = true;
    const AttackPageTiming single = compileTriggerPage(top, chord, attack, orders, 0);
    EXPECT_EQ(single.onsetOffsets[0], 0.0);
    EXPECT_EQ(single.velocityMultipliers[0], 0.4 + attackVelocityHashUnit(3, 1) * 120 / 100.0);

    // An equal range gives 1.0 before the curve, whatever the seed; "perNote" offsets are cumulative gaps.
    attack.velocityRange = {100, 100};
    attack.velocityCurve = {100, 100, 50, 100, 0, 0};
    attack.rateContour = {50, 50, 50, 50, 0, 0};
    attack.timingBasis = "perNote";
    for (std::size_t page = 0; page < 3; ++page) {
        const AttackPageTiming flat = compileTriggerPage(chord, chord, attack, orders, page);
        EXPECT_EQ(flat.velocityMultipliers, std::vector<double>(4, 1.0));
        std::vector<double> sorted = flat.onsetOffsets;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<double>{0.0, 1.0, 2.0, 3.0})) << page;
    }
}

// The JSON forms read attack JSON into the same arithmetic: random attacks agree exactly.
TEST(AttackJsonForms, AgreeWithTheTypedForms) {
    std::mt19937 rng(0xa77ac4u);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto contourJson = [](const AttackContour& c) {
        return nlohmann::json{{"start", c.start},
                              {"mid", c.mid},
                              {"midPosition", c.midPosition},
                              {"end", c.end},
                              {"firstBend", c.firstBend},
                              {"secondBend", c.secondBend}};
    };
    for (int run = 0; run < 300; ++run) {
        AttackSettings attack = testing::advancedAttack(8, pick(0, 1) == 1);
        attack.mode = pick(0, 5) == 0 ? "off" : "advanced";
        for (auto& kind : attack.orderKinds) kind = std::vector<std::string>{"up", "down", "custom"}[pick(0, 2)];
        attack.includeBass = pick(0, 1) == 1;
        attack.timingBasis = pick(0, 1) == 1 ? "perNote" : "total";
        attack.velocityRange = {pick(0, 200), pick(0, 200)};
        for (AttackContour* c : {&attack.velocityCurve, &attack.rateContour, &attack.velocityRateCurve}) {
            *c = {pick(0, 100), pick(0, 100), pick(2, 18) * 5, pick(0, 100), pick(-20, 20) * 5, pick(-20, 20) * 5};
        }
        AttackOrders orders = testing::sampleAttackOrders();
        for (auto& page : orders) page.velocitySeed = static_cast<std::uint32_t>(pick(1, 2147483647));

        nlohmann::json attackJson = {
            {"mode", attack.mode},
            {"orderKinds", attack.orderKinds},
            {"includeBass", attack.includeBass},
            {"timingBasis", attack.timingBasis},
            {"dynamic", attack.dynamic},
            {"spread", attack.spread},
            {"velocityRange", {{"minimum", attack.velocityRange.minimum}, {"maximum", attack.velocityRange.maximum}}},
            {"velocityCurve", contourJson(attack.velocityCurve)},
            {"rateContour", contourJson(attack.rateContour)},
            {"velocityRateCurve", contourJson(attack.velocityRateCurve)}};
        nlohmann::json ordersJson = nlohmann::json::array();
        for (const auto& page : orders)
            ordersJson.push_back({{"order", page.order}, {"velocitySeed", page.velocitySeed}});

        const std::vector<std::int32_t> chord = testing::spreadVoicing(pick(1, 12));
        const std::size_t page = static_cast<std::size_t>(pick(0, 7));
        EXPECT_EQ(computeAttackVelocityMultipliers(chord, chord, attackJson, ordersJson, page),
                  compileTriggerPage(chord, chord, attack, orders, page));
        EXPECT_EQ(resolveJsonAttackPageOrder(attackJson, ordersJson, chord.size(), page),
                  resolveAttackPageOrder(attack, orders, chord.size(), page));
        const double x = pick(0, 100) / 100.0;
        EXPECT_EQ(spreadBeatsFromJsonCurve(attackJson["velocityRateCurve"], x),
                  spreadBeatsAtVelocityPosition(attack, x));
        EXPECT_EQ(evaluateJsonContour(attackJson["rateContour"], x), evaluateContour(attack.rateContour, x));
    }
}

TEST(AttackJsonForms, GestureShapeSummaries) {
    nlohmann::json attack = {{"mode", "off"}};
    EXPECT_EQ(computeGestureShape(attack),
              (nlohmann::json{{"beats", {0.0, 0.0, 0.0}}, {"bends", {0, 0}}, {"midPosition", 50}}));
    attack = {{"mode", "advanced"}, {"dynamic", false}, {"spread", "1/16"}};
    EXPECT_EQ(computeGestureShape(attack),
              (nlohmann::json{{"beats", {0.25, 0.25, 0.25}}, {"bends", {0, 0}}, {"midPosition", 50}}));
    attack["dynamic"] = true;
    attack["velocityRateCurve"] = {{"start", 100}, {"mid", 50},       {"midPosition", 40},
                                   {"end", 0},     {"firstBend", 15}, {"secondBend", -30}};
    const nlohmann::json shape = computeGestureShape(attack);
    EXPECT_DOUBLE_EQ(shape["beats"][0].get<double>(), 1.0);
    EXPECT_DOUBLE_EQ(shape["beats"][1].get<double>(), std::pow(96.0, -0.5));
    EXPECT_DOUBLE_EQ(shape["beats"][2].get<double>(), 1.0 / 96);
    EXPECT_EQ(shape["bends"], (nlohmann::json{15, -30}));
    EXPECT_EQ(shape["midPosition"], 40);
    attack["dynamic"] = 1;
    EXPECT_THROW(computeGestureShape(attack), nlohmann::json::type_error);
}

}  // namespace
}  // namespace quillex
