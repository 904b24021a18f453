// Attack JSON read into the same arithmetic as the document's attack records.
#include "performance/attack_timing_json.h"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"

namespace quillex {
namespace {

using nlohmann::json;

attack_detail::ContourValues readContour(const json& contour) {
    return {contour.at("start").get<double>(),       contour.at("mid").get<double>(),
            contour.at("midPosition").get<double>(), contour.at("end").get<double>(),
            contour.at("firstBend").get<double>(),   contour.at("secondBend").get<double>()};
}

bool isAdvanced(const json& attack) { return attack.at("mode").get<std::string>() == "advanced"; }

// An order entry as an unsigned index; a negative entry names no note.
std::uint64_t readIndex(const json& entry) {
    if (entry.is_number_integer() && !entry.is_number_unsigned() && entry.get<std::int64_t>() < 0) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    if (entry.is_number_float()) {
        return static_cast<std::uint64_t>(
            saturateToRange(entry.get<double>(), -1, std::numeric_limits<std::int64_t>::max()));
    }
    return entry.get<std::uint64_t>();
}

std::uint32_t readSeed(const json& seed) {
    if (const auto exact = readUint32Exact(seed)) return *exact;
    if (!seed.is_number()) return seed.get<std::uint32_t>();  // booleans and the library's type error
    return static_cast<std::uint32_t>(
        saturateToRange(seed.get<double>(), 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

double evaluateJsonContour(const json& contour, double x) {
    return attack_detail::evaluateContourValues(readContour(contour), x);
}

double spreadBeatsFromJsonCurve(const json& velocityRateCurve, double x) {
    return attack_detail::spreadBeatsAtLevel(evaluateJsonContour(velocityRateCurve, x));
}

std::vector<std::size_t> resolveJsonAttackPageOrder(const json& attack, const json& attackOrders, std::size_t noteCount,
                                                    std::size_t page) {
    if (!isAdvanced(attack)) return attack_detail::pageStrikeOrder({}, noteCount, {});
    const std::string kind = attack.at("orderKinds").at(page).get<std::string>();
    const json& pageOrder = attackOrders.at(page).at("order");
    std::vector<std::uint64_t> custom;
    if (kind == "custom") {
        for (const json& entry : pageOrder) custom.push_back(readIndex(entry));
    }
    return attack_detail::pageStrikeOrder(kind, noteCount, custom);
}

AttackPageTiming computeAttackVelocityMultipliers(std::span<const std::int32_t> pageNotes,
                                                  std::span<const std::int32_t> chordNotes, const json& attack,
                                                  const json& attackOrders, std::size_t page) {
    if (!isAdvanced(attack)) {
        return {std::vector<double>(pageNotes.size(), 0.0), std::vector<double>(pageNotes.size(), 1.0)};
    }
    std::vector<std::int32_t> sorted(chordNotes.begin(), chordNotes.end());
    std::sort(sorted.begin(), sorted.end());
    const auto order = resolveJsonAttackPageOrder(attack, attackOrders, sorted.size(), page);

    attack_detail::PageTimingInputs inputs;
    inputs.includeBass = attack.at("includeBass").get<bool>();  // a non-boolean raises type error 302
    const json& range = attack.at("velocityRange");
    inputs.minimum = readInt32Saturating(range.at("minimum"));
    inputs.maximum = readInt32Saturating(range.at("maximum"));
    inputs.velocitySeed = readSeed(attackOrders.at(page).at("velocitySeed"));
    inputs.rateContour = readContour(attack.at("rateContour"));
    inputs.perNote = attack.at("timingBasis").get<std::string>() == "perNote";
    inputs.velocityCurve = readContour(attack.at("velocityCurve"));
    return attack_detail::timePage(pageNotes, sorted, order, inputs);
}

json computeGestureShape(const json& attack) {
    if (!isAdvanced(attack)) {
        return {{"beats", {0.0, 0.0, 0.0}}, {"bends", {0, 0}}, {"midPosition", 50}};
    }
    if (attack.at("dynamic").get<bool>()) {  // a non-boolean raises type error 302
        const json& curve = attack.at("velocityRateCurve");
        const double middle = curve.at("midPosition").get<double>() / 100.0;
        return {{"beats",
                 {spreadBeatsFromJsonCurve(curve, 0.0), spreadBeatsFromJsonCurve(curve, middle),
                  spreadBeatsFromJsonCurve(curve, 1.0)}},
                {"bends", {curve.at("firstBend"), curve.at("secondBend")}},
                {"midPosition", curve.at("midPosition")}};
    }
    const double spread = parseAttackSpreadNoteValue(attack.at("spread").get<std::string>());
    return {{"beats", {spread, spread, spread}}, {"bends", {0, 0}}, {"midPosition", 50}};
}

}  // namespace quillex
