// Attack arithmetic: every operation is a pure function of its inputs.
#include "performance/attack_timing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace quillex {
namespace {

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

constexpr double kTripletFactor = 0.6666666666666666;
constexpr double kSwingEpsilon = 0.0001;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads a decimal integer as the standard string-to-integer conversion does
// (white space, a sign, digits up to the first other character), with its
// messages; the messages of std::stoi itself differ between libraries.
std::int32_t readStoiInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    std::int64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            if (magnitude > 2147483648LL) overflow = true;
        }
    }
    if (i == digitsStart) fail("invalid stoi argument");
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (overflow || value > std::numeric_limits<std::int32_t>::max()) fail("stoi argument out of range");
    return static_cast<std::int32_t>(value);
}

constexpr double noteValueBeats(std::int32_t n, char suffix) {
    double beats = 4.0 / n;
    if (suffix == 'D') beats *= 1.5;
    if (suffix == 'T') beats *= kTripletFactor;
    return beats;
}

constexpr double kShortestSpread = noteValueBeats(256, 'T');
constexpr double kLongestSpread = 1.0;

std::uint32_t lowbias32(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

attack_detail::PageTimingInputs typedInputs(const AttackSettings& attack, const AttackOrders& orders,
                                            std::size_t page) {
    attack_detail::PageTimingInputs inputs;
    inputs.includeBass = attack.includeBass;
    inputs.minimum = attack.velocityRange.minimum;
    inputs.maximum = attack.velocityRange.maximum;
    // The page order was resolved first, so the page exists.
    inputs.velocitySeed = orders[page].velocitySeed;
    inputs.rateContour = attack_detail::contourValues(attack.rateContour);
    inputs.velocityCurve = attack_detail::contourValues(attack.velocityCurve);
    inputs.perNote = attack.timingBasis == "perNote";
    return inputs;
}

}  // namespace

namespace attack_detail {

std::vector<std::size_t> pageStrikeOrder(std::string_view kind, std::size_t noteCount,
                                         std::span<const std::uint64_t> custom) {
    std::vector<std::size_t> order(noteCount);
    for (std::size_t i = 0; i < noteCount; ++i) order[i] = i;
    if (kind == "down") {
        std::reverse(order.begin(), order.end());
    } else if (kind == "custom") {
        std::vector<bool> taken(noteCount, false);
        order.clear();
        for (const std::uint64_t index : custom) {
            if (index < noteCount && !taken[index]) {
                taken[index] = true;
                order.push_back(static_cast<std::size_t>(index));
            }
        }
        for (std::size_t i = 0; i < noteCount; ++i) {
            if (!taken[i]) order.push_back(i);
        }
    }
    return order;
}

ContourValues contourValues(const AttackContour& c) {
    return {static_cast<double>(c.start), static_cast<double>(c.mid),       static_cast<double>(c.midPosition),
            static_cast<double>(c.end),   static_cast<double>(c.firstBend), static_cast<double>(c.secondBend)};
}

double shapeByBend(double local, double bend) {
    const double b = bend / 100.0;
    const double e = std::fabs(b) * 3.0 + 1.0;
    if (b > 0) return std::pow(local, e);
    if (b < 0) return 1.0 - std::pow(1.0 - local, e);
    return local;
}

double evaluateContourValues(const ContourValues& c, double x) {
    const double m = c.midPosition / 100.0;
    if (x <= m) return c.start + (c.mid - c.start) * shapeByBend(x / m, c.firstBend);
    return c.mid + (c.end - c.mid) * shapeByBend((x - m) / (1.0 - m), c.secondBend);
}

double spreadBeatsAtLevel(double level) {
    return kShortestSpread * std::pow(kLongestSpread / kShortestSpread, level / 100.0);
}

StrikeShape strikeShape(std::size_t count, const PageTimingInputs& inputs) {
    StrikeShape shape{std::vector<double>(count, 0.0), std::vector<double>(count, 1.0)};
    if (count < 2) return shape;
    std::vector<double> gaps(count - 1);
    double total = 0.0;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        const double x = count == 2 ? 0.0 : static_cast<double>(k) / static_cast<double>(count - 2);
        const double c = evaluateContourValues(inputs.rateContour, x);
        gaps[k] = std::pow(16.0, c / 100.0) * 0.25;
        total += gaps[k];
    }
    double cumulative = 0.0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) cumulative += gaps[k - 1];
        shape.offsets[k] = inputs.perNote ? cumulative : cumulative / total;
        const double x = static_cast<double>(k) / static_cast<double>(count - 1);
        shape.curveFactors[k] = evaluateContourValues(inputs.velocityCurve, x) / 100.0;
    }
    return shape;
}

const StrikeShape& StrikeShapeCache::get(std::size_t count, const PageTimingInputs& inputs) {
    if (shapes_.size() <= count) shapes_.resize(count + 1);
    if (!shapes_[count]) shapes_[count] = strikeShape(count, inputs);
    return *shapes_[count];
}

AttackPageTiming timePage(std::span<const std::int32_t> pageNotes, const std::vector<std::int32_t>& sortedChord,
                          const std::vector<std::size_t>& order, const PageTimingInputs& inputs,
                          StrikeShapeCache* cache) {
    AttackPageTiming timing{std::vector<double>(pageNotes.size(), 0.0), std::vector<double>(pageNotes.size(), 1.0)};

    // (position on the page, rank in the chord) in strike order.
    std::vector<std::pair<std::size_t, std::size_t>> sequence;
    sequence.reserve(order.size());
    for (const std::size_t i : order) {
        const auto found = std::find(pageNotes.begin(), pageNotes.end(), sortedChord[i]);
        if (found == pageNotes.end()) continue;
        if (!inputs.includeBass && i == 0) continue;
        sequence.emplace_back(static_cast<std::size_t>(found - pageNotes.begin()), i);
    }

    // 64-bit difference: the same value as 32-bit arithmetic within the document's ranges, never an overflow.
    const double span = static_cast<double>(inputs.maximum - inputs.minimum);
    for (const auto& [position, i] : sequence) {
        const double u = attackVelocityHashUnit(static_cast<std::uint32_t>(i), inputs.velocitySeed);
        timing.velocityMultipliers[position] = static_cast<double>(inputs.minimum) / 100.0 + u * span / 100.0;
    }

    const std::size_t count = sequence.size();
    if (count < 2) return timing;  // no gaps and no velocity curve
    std::optional<StrikeShape> own;
    const StrikeShape& shape = cache ? cache->get(count, inputs) : own.emplace(strikeShape(count, inputs));
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t position = sequence[k].first;
        timing.onsetOffsets[position] = shape.offsets[k];
        timing.velocityMultipliers[position] *= shape.curveFactors[k];
    }
    return timing;
}

AttackPageTiming compileSortedTriggerPage(std::span<const std::int32_t> pageNotes,
                                          const std::vector<std::int32_t>& sortedChord, const AttackSettings& attack,
                                          const AttackOrders& orders, std::size_t page, StrikeShapeCache& cache) {
    if (attack.mode != "advanced") {
        return {std::vector<double>(pageNotes.size(), 0.0), std::vector<double>(pageNotes.size(), 1.0)};
    }
    const auto order = resolveAttackPageOrder(attack, orders, sortedChord.size(), page);
    return timePage(pageNotes, sortedChord, order, typedInputs(attack, orders, page), &cache);
}

}  // namespace attack_detail

double parseAttackSpreadNoteValue(std::string_view text) {
    if (text.size() < 3 || text[0] != '1' || text[1] != '/') fail("Trigger attack spread is malformed");
    char suffix = '\0';
    std::string_view number = text.substr(2);
    if (text.back() == 'D' || text.back() == 'T') {
        suffix = text.back();
        number.remove_suffix(1);
    }
    const std::int32_t n = readStoiInteger(number);
    if (n < 2 || n > 256 || (n & (n - 1)) != 0) fail("Trigger attack spread is unsupported");
    return noteValueBeats(n, suffix);
}

double evaluateContour(const AttackContour& contour, double x) {
    return attack_detail::evaluateContourValues(attack_detail::contourValues(contour), x);
}

double spreadBeatsAtVelocityPosition(const AttackSettings& attack, double x) {
    return attack_detail::spreadBeatsAtLevel(evaluateContour(attack.velocityRateCurve, x));
}

double applySwing(double time, double cycleLength, const RhythmSection& rhythm) {
    const double a = rhythm.swing.amount / 100.0;
    if (a == 0.0) return time;
    const double u = rhythm.swing.mode == "swing8" ? 1.0 : 0.5;
    const double cellStart = std::floor(time / cycleLength) * cycleLength;
    const double pairStart = std::floor((time - cellStart) / u) * u;
    if (pairStart + u > cycleLength + kSwingEpsilon) return time;
    const double p0 = pairStart + cellStart;
    const double d = time - p0;
    const double h = u / 2.0;
    const double m = h + a * u / 6.0;
    if (d <= h) return p0 + m * d / h;
    return p0 + m + (d - h) * (u - m) / h;
}

std::vector<std::size_t> resolveAttackPageOrder(const AttackSettings& attack, const AttackOrders& orders,
                                                std::size_t noteCount, std::size_t page) {
    if (attack.mode != "advanced") return attack_detail::pageStrikeOrder({}, noteCount, {});
    if (page >= attack.orderKinds.size() || page >= orders.size()) fail("Trigger attack page is unavailable");
    return attack_detail::pageStrikeOrder(attack.orderKinds[page], noteCount, orders[page].order);
}

AttackPageTiming compileTriggerPage(std::span<const std::int32_t> pageNotes, std::span<const std::int32_t> chordNotes,
                                    const AttackSettings& attack, const AttackOrders& orders, std::size_t page) {
    if (attack.mode != "advanced") {
        return {std::vector<double>(pageNotes.size(), 0.0), std::vector<double>(pageNotes.size(), 1.0)};
    }
    std::vector<std::int32_t> sorted(chordNotes.begin(), chordNotes.end());
    std::sort(sorted.begin(), sorted.end());
    const auto order = resolveAttackPageOrder(attack, orders, sorted.size(), page);
    return attack_detail::timePage(pageNotes, sorted, order, typedInputs(attack, orders, page));
}

double attackVelocityHashUnit(std::uint32_t chordIndex, std::uint32_t seed) {
    const std::uint32_t key = (chordIndex + 0x9e3779b9u) ^ seed;
    return static_cast<double>(lowbias32(key)) / 4294967295.0;
}

}  // namespace quillex
