// The embedded document shape schema: its contents and the checks that read it.
#include "document/document_schema.h"

#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/refusal.h"
#include "support/page_reply.h"

namespace quillex {
namespace {

using nlohmann::json;
using testing::libraryRefusal;

const json& schema() { return documentShapeSchema(); }

json defaultAttack() { return schema().at("defaults").at("gesture").at("newChordAttack"); }
json defaultOrders() { return schema().at("defaults").at("gesture").at("newChordAttackOrders"); }

TEST(SchemaText, ParsesOnceToTheCurrentVersion) {
    EXPECT_EQ(schema().at("schemaVersion"), 15);
    EXPECT_EQ(&documentShapeSchema(), &schema());
    std::vector<const json*> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &documentShapeSchema(); });
    for (auto& thread : threads) thread.join();
    for (const auto* address : seen) EXPECT_EQ(address, &schema());
    EXPECT_EQ(schema().size(), 6u);
}

// The shapes the text derives from others ("as ... without ...").
TEST(SchemaText, DerivedShapesDropTheirKeys) {
    const json& shapes = schema().at("shapes");
    EXPECT_EQ(shapes.size(), 36u);
    EXPECT_EQ(shapes.at("preGlobalFollowAttack"),
              json({"mode", "orderKinds", "roundRobinLength", "timingBasis", "gate", "dynamic", "spread", "includeBass",
                    "velocityCurve", "rateContour", "velocityRateCurve"}));
    EXPECT_EQ(shapes.at("preRoundRobinAttack"),
              json({"mode", "direction", "alternateDirection", "timingBasis", "gate", "dynamic", "spread",
                    "includeBass", "velocityCurve", "rateContour", "velocityRateCurve"}));
}

TEST(SchemaText, VersionFlagsAreTrueFalseOrAbsent) {
    const json& versions = schema().at("versions");
    EXPECT_EQ(versions.size(), 14u);
    EXPECT_FALSE(versions.contains("7"));
    EXPECT_FALSE(versions.at("4").contains("legacyPerformance"));
    EXPECT_EQ(versions.at("5").at("legacyPerformance"), true);
    EXPECT_EQ(versions.at("6").at("legacyPerformance"), false);
    EXPECT_EQ(versions.at("13").at("requiresBassClipFingerprint"), false);
    EXPECT_FALSE(versions.at("15").contains("usesScalarGestureVelocityVariation"));
    EXPECT_EQ(versions.at("15").size(), 19u);
    EXPECT_EQ(versions.at("1").size(), 5u);
}

TEST(SchemaText, DefaultsAreValidUnderTheirOwnChecks) {
    const json& defaults = schema().at("defaults");
    EXPECT_EQ(defaults.size(), 4u);
    EXPECT_EQ(defaults.at("bassSplit"), json({{"mode", "migrate"}}));
    EXPECT_EQ(defaults.at("clipIdentity").at("sessionSlotIdx"), -1);
    EXPECT_EQ(defaults.at("gesture").at("newChordVelocity"), 100);
    EXPECT_EQ(defaultAttack().at("orderKinds"), json(std::vector<std::string>(8, "up")));
    for (int page = 0; page < 8; ++page) EXPECT_EQ(defaultOrders()[page].at("velocitySeed"), page + 1);
    EXPECT_TRUE(isValidAttackSettings(defaultAttack(), schema()));
    EXPECT_TRUE(isValidAttackOrders(defaultOrders(), schema()));
    EXPECT_EQ(defaults.at("rhythm").at("swing"), json({{"mode", "swing16"}, {"amount", 0}}));
}

void collectFloats(const json& value, const std::string& path, std::set<std::string>& out) {
    if (value.is_number_float()) out.insert(path);
    if (value.is_structured()) {
        for (const auto& [key, child] : value.items()) collectFloats(child, path + "/" + key, out);
    }
}

TEST(SchemaText, ConstraintsAndEnums) {
    const json& constraints = schema().at("constraints");
    EXPECT_EQ(constraints.size(), 12u);
    EXPECT_EQ(constraints.at("attackOrderPageCount"), 8);
    EXPECT_EQ(constraints.at("rhythmPattern").at("maximumEvents"), 48);
    EXPECT_EQ(constraints.at("attackVelocitySeed").at("maximum"), 2147483647);
    EXPECT_EQ(constraints.at("triggerProgram").size(), 26u);
    std::set<std::string> floats;
    collectFloats(schema(), "", floats);
    EXPECT_EQ(floats, (std::set<std::string>{"/constraints/triggerProgram/beatEpsilon",
                                             "/constraints/triggerProgram/maximumRhythmVelocityMultiplier",
                                             "/constraints/triggerProgram/rhythmCycleBeatsMinimum",
                                             "/constraints/triggerProgram/rhythmCycleBeatStep"}));

    const json& enums = schema().at("enums");
    EXPECT_EQ(enums.size(), 15u);
    EXPECT_EQ(enums.at("attackSpread").size(), 20u);
    EXPECT_EQ(enums.at("attackSpread").front(), "1/256T");
    EXPECT_EQ(enums.at("attackSpread").back(), "1/4");
    EXPECT_EQ(enums.at("clipSyncMode"), json({"off", "bound", "detached"}));
    EXPECT_EQ(enums.at("rhythmPart"), json({"bass", "middle", "top"}));
}

TEST(ReadSchemaVersion, ObjectsMembersAndErrors) {
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", 3}}, 0), 3);
    EXPECT_EQ(readSchemaVersion(json::object(), 0), 0);
    EXPECT_EQ(readSchemaVersion(json::object(), -1), -1);
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", 2.9}}, 0), 2);
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", true}}, 0), 1);
    EXPECT_EQ(libraryRefusal([] { readSchemaVersion(json::array(), 0); }),
              testing::libraryValueErrorText(json::array()));
    EXPECT_EQ(libraryRefusal([] {
                  readSchemaVersion(json{{"schemaVersion", "3"}}, 0);
              }),
              testing::libraryTypeErrorText<int>(json("3")));
    EXPECT_EQ(libraryRefusal([] {
                  readSchemaVersion(json{{"schemaVersion", nullptr}}, 0);
              }),
              testing::libraryTypeErrorText<int>(json(nullptr)));
}

TEST(ReadSchemaVersion, OutOfRangeNumbersNeverWrapOntoARealVersion) {
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", 4294967299ULL}}, 0), 2147483647);  // 2^32 + 3
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", -4294967293LL}}, 0), -2147483647 - 1);
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", json(std::int64_t{4294967299})}}, 0), 2147483647);
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", 1e40}}, 0), 2147483647);
    EXPECT_EQ(readSchemaVersion(json{{"schemaVersion", -1e40}}, 0), -2147483647 - 1);
}

TEST(ShapeMatching, ExactKeySetsInAnyOrder) {
    const json shape = {"a", "b"};
    EXPECT_TRUE(matchesSchemaShape(json{{"b", 1}, {"a", nullptr}}, shape));
    EXPECT_FALSE(matchesSchemaShape(json{{"a", 1}}, shape));
    EXPECT_FALSE(matchesSchemaShape(json{{"a", 1}, {"b", 2}, {"c", 3}}, shape));
    EXPECT_FALSE(matchesSchemaShape(json{{"a", 1}, {"c", 2}}, shape));
    EXPECT_FALSE(matchesSchemaShape(json::array({"a", "b"}), shape));
    EXPECT_FALSE(matchesSchemaShape(json{{"a", 1}, {"b", 2}}, json{{"a", 1}, {"b", 2}}));
    EXPECT_FALSE(matchesSchemaShape(json{{"1", 1}}, json::array({1})));
    EXPECT_TRUE(matchesSchemaShape(json::object(), json::array()));
}

TEST(RangeChecks, IntegersOnTheStepWithinTheBounds) {
    const json range = {{"minimum", 10}, {"maximum", 90}, {"step", 5}};
    EXPECT_TRUE(isWithinSchemaRange(json(10), range));
    EXPECT_TRUE(isWithinSchemaRange(json(15), range));
    EXPECT_TRUE(isWithinSchemaRange(json(90), range));
    EXPECT_TRUE(isWithinSchemaRange(json(15u), range));
    EXPECT_FALSE(isWithinSchemaRange(json(12), range));
    EXPECT_FALSE(isWithinSchemaRange(json(5), range));
    EXPECT_FALSE(isWithinSchemaRange(json(95), range));
    EXPECT_FALSE(isWithinSchemaRange(json(15.0), range));
    EXPECT_FALSE(isWithinSchemaRange(json("15"), range));
    EXPECT_FALSE(isWithinSchemaRange(json(true), range));

    const json velocity = {{"minimum", 0}, {"maximum", 200}, {"step", 1}};
    EXPECT_TRUE(isWithinSchemaRange(json(100), velocity));
    EXPECT_FALSE(isWithinSchemaRange(json(100.0), velocity));
    EXPECT_FALSE(isWithinSchemaRange(json(4294967396ULL), velocity));  // 2^32 + 100
    EXPECT_FALSE(isWithinSchemaRange(json(-4294967196LL), velocity));  // -2^32 + 100

    EXPECT_FALSE(isWithinSchemaRange(json(1), json{{"minimum", 0}, {"maximum", 2}, {"step", 0}}));
    EXPECT_FALSE(isWithinSchemaRange(json(1), json{{"minimum", 0}, {"maximum", 2}}));
    EXPECT_FALSE(isWithinSchemaRange(json(1), json::array({0, 2, 1})));
    const json seed = schema().at("constraints").at("attackVelocitySeed");
    EXPECT_TRUE(isWithinSchemaRange(json(2147483647), seed));
    EXPECT_FALSE(isWithinSchemaRange(json(2147483648LL), seed));
    EXPECT_FALSE(isWithinSchemaRange(json(0), seed));
}

TEST(EnumChecks, StringsFromTheList) {
    const json& modes = schema().at("enums").at("attackMode");
    EXPECT_TRUE(isSchemaEnumMember(modes, json("advanced")));
    EXPECT_FALSE(isSchemaEnumMember(modes, json("Advanced")));
    EXPECT_FALSE(isSchemaEnumMember(modes, json(0)));
    EXPECT_FALSE(isSchemaEnumMember(json("advanced"), json("advanced")));
    for (const auto& spread : schema().at("enums").at("attackSpread")) {
        EXPECT_TRUE(isSchemaEnumMember(schema().at("enums").at("attackSpread"), spread));
    }
}

TEST(CurveChecks, LevelsMidPositionAndBendsAtTheirBoundaries) {
    json curve = defaultAttack().at("velocityCurve");
    EXPECT_TRUE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    curve["midPosition"] = 12;
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    for (int position : {10, 15, 90}) {
        curve["midPosition"] = position;
        EXPECT_TRUE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel")) << position;
    }
    for (int position : {5, 95}) {
        curve["midPosition"] = position;
        EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel")) << position;
    }
    curve["midPosition"] = 50;
    curve["firstBend"] = -100;
    curve["secondBend"] = 100;
    EXPECT_TRUE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    curve["firstBend"] = -105;
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    curve["firstBend"] = 3;
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    curve["firstBend"] = 0;
    curve["start"] = 200;
    EXPECT_TRUE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackRateCurveLevel"));
    curve["start"] = 205;
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    curve["start"] = 100;
    EXPECT_TRUE(isValidVelocityCurve(schema(), curve, "attackRateCurveLevel"));
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "noSuchConstraint"));
    curve["extra"] = 0;
    EXPECT_FALSE(isValidVelocityCurve(schema(), curve, "attackVelocityCurveLevel"));
    EXPECT_FALSE(isValidVelocityCurve(schema(), json::array(), "attackVelocityCurveLevel"));
}

TEST(CurveChecks, BendConstraintAccess) {
    EXPECT_EQ(attackCurveBendConstraint(schema().at("constraints")).at("minimum"), -100);
    EXPECT_EQ(libraryRefusal([] { attackCurveBendConstraint(json::object()); }),
              testing::libraryNotFoundText("attackVelocityCurveBend"));
}

TEST(AttackChecks, RefusesEachFieldOutsideItsRule) {
    const auto rejects = [](const char* key, const json& value) {
        json attack = defaultAttack();
        attack[key] = value;
        return !isValidAttackSettings(attack, schema());
    };
    EXPECT_TRUE(rejects("mode", "up"));
    EXPECT_TRUE(rejects("orderKinds", std::vector<std::string>(7, "up")));
    EXPECT_TRUE(rejects("orderKinds", std::vector<std::string>(9, "up")));
    EXPECT_TRUE(rejects("orderKinds", {"up", "down", "custom", "up", "up", "up", "up", "sideways"}));
    EXPECT_TRUE(rejects("roundRobinLength", 0));
    EXPECT_TRUE(rejects("roundRobinLength", 9));
    EXPECT_TRUE(rejects("roundRobinLength", 1.0));
    EXPECT_TRUE(rejects("roundRobinLength", 4294967297ULL));
    EXPECT_TRUE(rejects("globalFollow", 0));
    EXPECT_TRUE(rejects("dynamic", "false"));
    EXPECT_TRUE(rejects("includeBass", nullptr));
    EXPECT_TRUE(rejects("timingBasis", "pernote"));
    EXPECT_TRUE(rejects("gate", "release"));
    EXPECT_TRUE(rejects("spread", "1/2"));
    EXPECT_TRUE(rejects("velocityRange", {{"minimum", 0}}));
    EXPECT_TRUE(rejects("velocityRange", {{"minimum", 120}, {"maximum", 110}}));
    EXPECT_TRUE(rejects("velocityRange", {{"minimum", 0}, {"maximum", 201}}));
    EXPECT_TRUE(rejects("velocityRange", {{"minimum", -1}, {"maximum", 20}}));
    EXPECT_TRUE(
        rejects("rateContour",
                {{"start", 150}, {"mid", 50}, {"midPosition", 50}, {"end", 50}, {"firstBend", 0}, {"secondBend", 0}}));
    EXPECT_TRUE(rejects(
        "velocityCurve",
        {{"start", 201}, {"mid", 100}, {"midPosition", 50}, {"end", 100}, {"firstBend", 0}, {"secondBend", 0}}));
}

TEST(AttackChecks, AcceptsTheBoundaries) {
    const auto accepts = [](const char* key, const json& value) {
        json attack = defaultAttack();
        attack[key] = value;
        return isValidAttackSettings(attack, schema());
    };
    EXPECT_TRUE(accepts("roundRobinLength", 1));
    EXPECT_TRUE(accepts("roundRobinLength", 8));
    EXPECT_TRUE(accepts("velocityRange", {{"minimum", 120}, {"maximum", 120}}));
    EXPECT_TRUE(accepts("velocityRange", {{"minimum", 0}, {"maximum", 200}}));
    EXPECT_TRUE(accepts("mode", "advanced"));
    EXPECT_TRUE(accepts("spread", "1/256T"));
    EXPECT_TRUE(accepts("timingBasis", "perNote"));

    json extra = defaultAttack();
    extra["direction"] = "up";
    EXPECT_FALSE(isValidAttackSettings(extra, schema()));
    json missing = defaultAttack();
    missing.erase("velocityRange");
    EXPECT_FALSE(isValidAttackSettings(missing, schema()));
    EXPECT_FALSE(isValidAttackSettings(json("attack"), schema()));
    EXPECT_FALSE(isValidAttackSettings(defaultAttack(), json::object()));
}

TEST(AttackOrderChecks, DistinctMidiNotes) {
    EXPECT_TRUE(isValidAttackOrder(json::array()));
    EXPECT_TRUE(isValidAttackOrder(json{0, 127, 64}));
    EXPECT_FALSE(isValidAttackOrder(json{3, 3}));
    EXPECT_FALSE(isValidAttackOrder(json{128}));
    EXPECT_FALSE(isValidAttackOrder(json{-1}));
    EXPECT_FALSE(isValidAttackOrder(json{1.0}));
    EXPECT_FALSE(isValidAttackOrder(json{"1"}));
    EXPECT_FALSE(isValidAttackOrder(json{4294967297ULL}));  // 2^32 + 1
    EXPECT_FALSE(isValidAttackOrder(json(1)));
}

TEST(AttackOrderChecks, ExactlyEightAllowedPages) {
    json orders = defaultOrders();
    EXPECT_TRUE(isValidAttackOrders(orders, schema()));
    json seven = orders;
    seven.erase(seven.size() - 1);
    EXPECT_FALSE(isValidAttackOrders(seven, schema()));
    json nine = orders;
    nine.push_back(orders[0]);
    EXPECT_FALSE(isValidAttackOrders(nine, schema()));

    json extraKey = orders;
    extraKey[2]["enabled"] = true;
    EXPECT_FALSE(isValidAttackOrders(extraKey, schema()));
    json noSeed = orders;
    noSeed[2].erase("velocitySeed");
    EXPECT_FALSE(isValidAttackOrders(noSeed, schema()));
    json badOrder = orders;
    badOrder[0]["order"] = {5, 5};
    EXPECT_FALSE(isValidAttackOrders(badOrder, schema()));

    json seeds = orders;
    seeds[0]["velocitySeed"] = 2147483647;
    EXPECT_TRUE(isValidAttackOrders(seeds, schema()));
    seeds[0]["velocitySeed"] = 2147483648LL;
    EXPECT_FALSE(isValidAttackOrders(seeds, schema()));
    seeds[0]["velocitySeed"] = 0;
    EXPECT_FALSE(isValidAttackOrders(seeds, schema()));
    EXPECT_FALSE(isValidAttackOrders(json::object(), schema()));
}

}  // namespace
}  // namespace quillex
