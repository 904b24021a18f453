// Attack records of a slot or of the gesture defaults: settings, contours and order pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillex {

// Six percentages shaping an attack curve.
struct AttackContour {
    std::int32_t start = 100;
    std::int32_t mid = 100;
    std::int32_t midPosition = 50;
    std::int32_t end = 100;
    std::int32_t firstBend = 0;
    std::int32_t secondBend = 0;

    friend bool operator==(const AttackContour&, const AttackContour&) = default;
};

struct AttackVelocityRange {
    std::int32_t minimum = 100;
    std::int32_t maximum = 100;

    friend bool operator==(const AttackVelocityRange&, const AttackVelocityRange&) = default;
};

struct AttackSettings {
    // Carries every field; when false only mode, gate and globalFollow mean anything.
    bool isFullForm = false;
    std::string mode = "off";
    std::vector<std::string> orderKinds;
    std::uint64_t roundRobinLength = 1;
    bool globalFollow = false;
    std::string timingBasis = "total";
    std::string gate = "hold";
    bool dynamic = false;
    std::string spread = "1/64";
    bool includeBass = true;
    AttackVelocityRange velocityRange;
    AttackContour velocityCurve{100, 100, 50, 100, 0, 0};
    AttackContour rateContour{50, 50, 50, 50, 0, 0};
    AttackContour velocityRateCurve{100, 50, 50, 0, 0, 0};

    // Every field counts, whatever isFullForm says.
    friend bool operator==(const AttackSettings&, const AttackSettings&) = default;
};

// One page of an attack order: note indices and the seed of its velocity variation.
struct AttackOrderPage {
    std::vector<std::uint64_t> order;
    std::uint32_t velocitySeed = 1;

    friend bool operator==(const AttackOrderPage&, const AttackOrderPage&) = default;
};

using AttackOrders = std::vector<AttackOrderPage>;

}  // namespace quillex
