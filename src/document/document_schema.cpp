// The embedded document shape schema text and the checks that read it.
#include "document/document_schema.h"

#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "protocol/json_text.h"

namespace quillex {

namespace {

// One literal piece per top-level member keeps every piece within compiler limits.
constexpr const char kSchemaText[] =
    R"schema({
)schema"
    R"schema(  "schemaVersion": 15,
)schema"
    R"schema(  "shapes": {
    "topLevel": [
      "schemaVersion",
      "progression",
      "progressionLog",
      "key",
      "voicing",
      "rhythm",
      "gesture",
      "bassSplit",
      "clipSync",
      "clipIdentity"
    ],
    "progression": [
      "input",
      "slots",
      "parseError"
    ],
    "key": [
      "root",
      "mode",
      "minorScaleType",
      "transposeOffset",
      "autoKey"
    ],
    "voicing": [
      "autoVoiceLeading",
      "allowBassChanges",
      "dropBass",
      "defaultStyle"
    ],
    "rhythm": [
      "pattern",
      "customPattern",
      "presetId",
      "shift",
      "retriggerOnBlock",
      "legato",
      "swing"
    ],
    "customRhythmPattern": [
      "lengthSteps",
      "events"
    ],
    "preLengthCustomRhythmPattern": [
      "events"
    ],
    "legacyRhythmPresetRef": [
      "id",
      "name",
      "revision"
    ],
    "rhythmEvent": [
      "offset",
      "duration",
      "part",
      "velocity"
    ],
    "swing": [
      "mode",
      "amount"
    ],
    "gesture": [
      "newChordVelocity",
      "newChordAttack",
      "newChordAttackOrders",
      "newChordPresetId"
    ],
    "legacyGesturePresetRef": [
      "source",
      "id",
      "name",
      "revision"
    ],
    "attack": [
      "mode",
      "orderKinds",
      "roundRobinLength",
      "globalFollow",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityRange",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "attackVelocityRange": [
      "minimum",
      "maximum"
    ],
    "preVelocityRandomizationAttack": [
      "mode",
      "orderKinds",
      "roundRobinLength",
      "globalFollow",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preGlobalFollowAttack": [
      "mode",
      "orderKinds",
      "roundRobinLength",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preUnifiedAttack": [
      "mode",
      "direction",
      "alternateDirection",
      "roundRobinLength",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preRoundRobinToggleAttack": [
      "mode",
      "direction",
      "alternateDirection",
      "roundRobin",
      "roundRobinLength",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preRoundRobinLengthAttack": [
      "mode",
      "direction",
      "alternateDirection",
      "roundRobin",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preRoundRobinAttack": [
      "mode",
      "direction",
      "alternateDirection",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve",
      "rateContour",
      "velocityRateCurve"
    ],
    "preRateCurveAttack": [
      "mode",
      "direction",
      "alternateDirection",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve"
    ],
    "preAlternateDirectionAttack": [
      "mode",
      "direction",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve"
    ],
    "legacyAttack": [
      "mode",
      "timingBasis",
      "gate",
      "dynamic",
      "spread",
      "includeBass",
      "velocityCurve"
    ],
    "velocityCurve": [
      "start",
      "mid",
      "midPosition",
      "end",
      "firstBend",
      "secondBend"
    ],
    "preMidPositionVelocityCurve": [
      "start",
      "mid",
      "end",
      "firstBend",
      "secondBend"
    ],
    "legacyVelocityCurve": [
      "start",
      "end",
      "bend"
    ],
    "legacyPerformance": [
      "velocity"
    ],
    "attackOrderPage": [
      "order",
      "velocitySeed"
    ],
    "preVelocityRandomizationAttackOrderPage": [
      "order"
    ],
    "legacyAttackOrderPage": [
      "enabled",
      "order"
    ],
    "legacyBassSplit": [
      "target",
      "trackName",
      "trackIndex"
    ],
    "preModeBassSplit": [
      "target"
    ],
    "bassSplit": [
      "target",
      "mode"
    ],
    "clipSync": [
      "mode"
    ],
    "legacyClipIdentity": [
      "mainClipId",
      "bassClipId",
      "mainTrackId",
      "bassTrackId",
      "destination",
      "sessionSlotIdx"
    ],
    "clipIdentity": [
      "mainClipId",
      "bassClipId",
      "mainTrackId",
      "bassTrackId",
      "destination",
      "sessionSlotIdx",
      "ownerDeviceId",
      "mainClipFingerprint",
      "bassClipFingerprint",
      "mainClipStartTime"
    ]
  },
)schema"
    R"schema(  "versions": {
    "1": {
      "hasProgressionLog": false,
      "progressionHasParseError": false,
      "clipIdentityOptional": true,
      "hasGesture": false,
      "requiresExactRhythm": false
    },
    "2": {
      "hasProgressionLog": false,
      "progressionHasParseError": false,
      "clipIdentityOptional": true,
      "hasGesture": false,
      "requiresExactRhythm": false
    },
    "3": {
      "hasProgressionLog": true,
      "progressionHasParseError": false,
      "clipIdentityOptional": true,
      "hasGesture": false,
      "requiresExactRhythm": false
    },
    "4": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": true,
      "hasGesture": false,
      "requiresExactRhythm": false
    },
    "5": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": true,
      "requiresSlotVelocity": false
    },
    "6": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": false
    },
    "8": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true
    },
    "9": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true
    },
    "10": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true
    },
    "11": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true,
      "requiresGlobalFollow": true
    },
    "12": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true,
      "requiresGlobalFollow": true,
      "requiresPatternLength": true,
      "requiresGesturePresetState": true,
      "usesLegacyBassSplit": true,
      "usesLegacyClipIdentity": true
    },
    "13": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true,
      "requiresGlobalFollow": true,
      "requiresPatternLength": true,
      "requiresGesturePresetState": true,
      "usesLegacyBassSplit": false,
      "usesLegacyClipIdentity": false,
      "requiresBassClipFingerprint": false
    },
    "14": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true,
      "requiresGlobalFollow": true,
      "requiresPatternLength": true,
      "requiresGesturePresetState": true,
      "usesLegacyBassSplit": false,
      "usesLegacyClipIdentity": false,
      "requiresBassClipFingerprint": true,
      "requiresGestureVelocityRandomization": true,
      "usesScalarGestureVelocityVariation": true,
      "requiresBassSplitMode": true
    },
    "15": {
      "hasProgressionLog": true,
      "progressionHasParseError": true,
      "clipIdentityOptional": false,
      "hasGesture": true,
      "requiresExactRhythm": true,
      "legacyPerformance": false,
      "requiresSlotVelocity": true,
      "requiresAttack": true,
      "requiresAttackOrders": true,
      "usesGesture": true,
      "requiresGlobalFollow": true,
      "requiresPatternLength": true,
      "requiresGesturePresetState": true,
      "usesLegacyBassSplit": false,
      "usesLegacyClipIdentity": false,
      "requiresBassClipFingerprint": true,
      "requiresGestureVelocityRandomization": true,
      "requiresBassSplitMode": true,
      "usesPresetIds": true
    }
  },
)schema"
    R"schema(  "defaults": {
    "bassSplit": {
      "mode": "migrate"
    },
    "rhythm": {
      "customPattern": null,
      "presetId": null,
      "retriggerOnBlock": false,
      "legato": false,
      "swing": {
        "mode": "swing16",
        "amount": 0
      }
    },
    "clipIdentity": {
      "mainClipId": null,
      "bassClipId": null,
      "mainTrackId": null,
      "bassTrackId": null,
      "destination": null,
      "sessionSlotIdx": -1,
      "ownerDeviceId": null,
      "mainClipFingerprint": null,
      "bassClipFingerprint": null,
      "mainClipStartTime": null
    },
    "gesture": {
      "newChordVelocity": 100,
      "newChordAttack": {
        "mode": "off",
        "orderKinds": [
          "up",
          "up",
          "up",
          "up",
          "up",
          "up",
          "up",
          "up"
        ],
        "roundRobinLength": 1,
        "globalFollow": false,
        "timingBasis": "total",
        "gate": "hold",
        "dynamic": false,
        "spread": "1/64",
        "includeBass": true,
        "velocityRange": {
          "minimum": 100,
          "maximum": 100
        },
        "velocityCurve": {
          "start": 100,
          "mid": 100,
          "midPosition": 50,
          "end": 100,
          "firstBend": 0,
          "secondBend": 0
        },
        "rateContour": {
          "start": 50,
          "mid": 50,
          "midPosition": 50,
          "end": 50,
          "firstBend": 0,
          "secondBend": 0
        },
        "velocityRateCurve": {
          "start": 100,
          "mid": 50,
          "midPosition": 50,
          "end": 0,
          "firstBend": 0,
          "secondBend": 0
        }
      },
      "newChordAttackOrders": [
        {
          "order": [],
          "velocitySeed": 1
        },
        {
          "order": [],
          "velocitySeed": 2
        },
        {
          "order": [],
          "velocitySeed": 3
        },
        {
          "order": [],
          "velocitySeed": 4
        },
        {
          "order": [],
          "velocitySeed": 5
        },
        {
          "order": [],
          "velocitySeed": 6
        },
        {
          "order": [],
          "velocitySeed": 7
        },
        {
          "order": [],
          "velocitySeed": 8
        }
      ],
      "newChordPresetId": null
    }
  },
)schema"
    R"schema(  "constraints": {
    "triggerProgram": {
      "schemaVersion": 6,
      "transportSchemaVersion": 3,
      "rowTypes": [
        "chord",
        "rest"
      ],
      "gates": [
        "hold",
        "step"
      ],
      "maximumRows": 128,
      "maximumPagesPerRow": 8,
      "maximumHitsPerRow": 16,
      "maximumNotesPerRow": 16,
      "maximumScheduledEventsPerBlock": 4096,
      "beatEpsilon": 0.0001,
      "midiNoteMinimum": 0,
      "midiNoteMaximum": 127,
      "timingCurvePointCount": 3,
      "timingBendPointCount": 2,
      "timingMidpointMinimum": 10,
      "timingMidpointMaximum": 90,
      "timingMidpointStep": 5,
      "timingBendMinimum": -100,
      "timingBendMaximum": 100,
      "timingBendStep": 5,
      "maximumOffsetMultiplier": 60,
      "maximumGestureVelocityMultiplier": 4,
      "maximumRhythmVelocityMultiplier": 1.27,
      "rhythmCycleBeatsMinimum": 0.25,
      "rhythmCycleBeatsMaximum": 4,
      "rhythmCycleBeatStep": 0.25
    },
    "rhythmEventVelocity": {
      "minimum": 1,
      "maximum": 100,
      "step": 1
    },
    "rhythmSwingAmount": {
      "minimum": 0,
      "maximum": 100,
      "step": 1
    },
    "rhythmPattern": {
      "minimumStepCount": 1,
      "maximumStepCount": 16,
      "defaultStepCount": 16,
      "maximumEvents": 48
    },
    "attackVelocityCurveLevel": {
      "minimum": 0,
      "maximum": 200,
      "step": 5
    },
    "attackVelocityRange": {
      "minimum": 0,
      "maximum": 200,
      "step": 1
    },
    "scalarAttackVelocityVariation": {
      "minimum": 0,
      "maximum": 100,
      "step": 1
    },
    "attackVelocitySeed": {
      "minimum": 1,
      "maximum": 2147483647,
      "step": 1
    },
    "attackRateCurveLevel": {
      "minimum": 0,
      "maximum": 100,
      "step": 5
    },
    "attackCurveMidPosition": {
      "minimum": 10,
      "maximum": 90,
      "step": 5
    },
    "attackVelocityCurveBend": {
      "minimum": -100,
      "maximum": 100,
      "step": 5
    },
    "attackOrderPageCount": 8
  },
)schema"
    R"schema(  "enums": {
    "bassSplitMode": [
      "duplicate",
      "migrate"
    ],
    "clipSyncMode": [
      "off",
      "bound",
      "detached"
    ],
    "clipDestination": [
      "session",
      "arrangement"
    ],
    "attackMode": [
      "off",
      "advanced"
    ],
    "preUnifiedAttackMode": [
      "off",
      "directional",
      "custom"
    ],
    "attackDirection": [
      "up",
      "down"
    ],
    "attackOrderKind": [
      "up",
      "down",
      "custom"
    ],
    "gesturePresetSource": [
      "factory",
      "user"
    ],
    "preAlternateDirectionAttackMode": [
      "off",
      "directional",
      "alternating",
      "custom"
    ],
    "legacyAttackMode": [
      "off",
      "up",
      "down",
      "alternate",
      "custom"
    ],
    "attackTimingBasis": [
      "total",
      "perNote"
    ],
    "attackGate": [
      "hold",
      "step"
    ],
    "attackSpread": [
      "1/256T",
      "1/256",
      "1/128T",
      "1/256D",
      "1/128",
      "1/64T",
      "1/128D",
      "1/64",
      "1/32T",
      "1/64D",
      "1/32",
      "1/16T",
      "1/32D",
      "1/16",
      "1/8T",
      "1/16D",
      "1/8",
      "1/4T",
      "1/8D",
      "1/4"
    ],
    "rhythmSwingMode": [
      "swing8",
      "swing16"
    ],
    "rhythmPart": [
      "bass",
      "middle",
      "top"
    ]
  }
)schema"
    R"schema(})schema";

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// An integer JSON number (signed or unsigned kind) that fits 32 bits.
std::optional<std::int32_t> exactInteger(const nlohmann::json& value) {
    if (!value.is_number_integer()) return std::nullopt;
    return readInt32Exact(value);
}

bool withinNamedRange(const nlohmann::json& value, const nlohmann::json& constraints, std::string_view name) {
    const auto* range = member(constraints, name);
    return range != nullptr && isWithinSchemaRange(value, *range);
}

bool isEnumValue(const nlohmann::json& enums, std::string_view name, const nlohmann::json& value) {
    const auto* list = member(enums, name);
    return list != nullptr && isSchemaEnumMember(*list, value);
}

std::optional<std::int64_t> pageCount(const nlohmann::json& constraints) {
    const auto* count = member(constraints, "attackOrderPageCount");
    if (count == nullptr) return std::nullopt;
    const auto value = exactInteger(*count);
    if (!value) return std::nullopt;
    return *value;
}

}  // namespace

const nlohmann::json& documentShapeSchema() {
    static const nlohmann::json schema = parseJsonText(kSchemaText);
    return schema;
}

std::int32_t readSchemaVersion(const nlohmann::json& value, std::int32_t defaultVersion) {
    if (!value.is_object()) {
        return value.value("schemaVersion", defaultVersion);  // the library's own type error
    }
    const auto it = value.find("schemaVersion");
    if (it == value.end()) return defaultVersion;
    if (!it->is_number()) return it->get<std::int32_t>();  // booleans read as 0/1, others raise
    if (const auto exact = readInt32Exact(*it)) return *exact;
    if (it->is_number_float()) {
        return static_cast<std::int32_t>(saturateToRange(it->get<double>(), std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
    }
    return it->is_number_unsigned() || it->get<std::int64_t>() > 0 ? std::numeric_limits<std::int32_t>::max()
                                                                   : std::numeric_limits<std::int32_t>::min();
}

bool matchesSchemaShape(const nlohmann::json& value, const nlohmann::json& shape) {
    if (!value.is_object() || !shape.is_array() || value.size() != shape.size()) return false;
    for (const auto& key : shape) {
        if (!key.is_string() || !value.contains(key.get_ref<const std::string&>())) return false;
    }
    return true;
}

bool isWithinSchemaRange(const nlohmann::json& value, const nlohmann::json& range) {
    const auto v = exactInteger(value);
    const auto* minimum = member(range, "minimum");
    const auto* maximum = member(range, "maximum");
    const auto* step = member(range, "step");
    if (!v || minimum == nullptr || maximum == nullptr || step == nullptr) return false;
    const auto lo = exactInteger(*minimum);
    const auto hi = exactInteger(*maximum);
    const auto st = exactInteger(*step);
    if (!lo || !hi || !st || *st <= 0) return false;
    if (*v < *lo || *v > *hi) return false;
    return (static_cast<std::int64_t>(*v) - *lo) % *st == 0;
}

bool isSchemaEnumMember(const nlohmann::json& list, const nlohmann::json& value) {
    if (!list.is_array() || !value.is_string()) return false;
    for (const auto& entry : list) {
        if (entry == value) return true;
    }
    return false;
}

bool isValidVelocityCurve(const nlohmann::json& schema, const nlohmann::json& curve, std::string_view level) {
    const auto* shapes = member(schema, "shapes");
    const auto* constraints = member(schema, "constraints");
    if (shapes == nullptr || constraints == nullptr) return false;
    const auto* shape = member(*shapes, "velocityCurve");
    if (shape == nullptr || !matchesSchemaShape(curve, *shape)) return false;
    for (const char* key : {"start", "mid", "end"}) {
        if (!withinNamedRange(curve.at(key), *constraints, level)) return false;
    }
    if (!withinNamedRange(curve.at("midPosition"), *constraints, "attackCurveMidPosition")) {
        return false;
    }
    for (const char* key : {"firstBend", "secondBend"}) {
        if (!withinNamedRange(curve.at(key), *constraints, "attackVelocityCurveBend")) return false;
    }
    return true;
}

const nlohmann::json& attackCurveBendConstraint(const nlohmann::json& constraints) {
    return constraints.at("attackVelocityCurveBend");
}

bool isValidAttackSettings(const nlohmann::json& attack, const nlohmann::json& schema) {
    const auto* shapes = member(schema, "shapes");
    const auto* constraints = member(schema, "constraints");
    const auto* enums = member(schema, "enums");
    if (shapes == nullptr || constraints == nullptr || enums == nullptr) return false;
    const auto* shape = member(*shapes, "attack");
    if (shape == nullptr || !matchesSchemaShape(attack, *shape)) return false;
    if (!isEnumValue(*enums, "attackMode", attack.at("mode"))) return false;

    const auto count = pageCount(*constraints);
    if (!count) return false;
    const auto& kinds = attack.at("orderKinds");
    if (!kinds.is_array() || static_cast<std::int64_t>(kinds.size()) != *count) return false;
    for (const auto& kind : kinds) {
        if (!isEnumValue(*enums, "attackOrderKind", kind)) return false;
    }
    const auto roundRobin = exactInteger(attack.at("roundRobinLength"));
    if (!roundRobin || *roundRobin < 1 || *roundRobin > *count) return false;

    for (const char* key : {"globalFollow", "dynamic", "includeBass"}) {
        if (!attack.at(key).is_boolean()) return false;
    }
    if (!isEnumValue(*enums, "attackTimingBasis", attack.at("timingBasis")) ||
        !isEnumValue(*enums, "attackGate", attack.at("gate")) ||
        !isEnumValue(*enums, "attackSpread", attack.at("spread"))) {
        return false;
    }

    const auto& range = attack.at("velocityRange");
    const auto* rangeShape = member(*shapes, "attackVelocityRange");
    if (rangeShape == nullptr || !matchesSchemaShape(range, *rangeShape)) return false;
    if (!withinNamedRange(range.at("minimum"), *constraints, "attackVelocityRange") ||
        !withinNamedRange(range.at("maximum"), *constraints, "attackVelocityRange") ||
        *exactInteger(range.at("minimum")) > *exactInteger(range.at("maximum"))) {
        return false;
    }

    return isValidVelocityCurve(schema, attack.at("velocityCurve"), "attackVelocityCurveLevel") &&
           isValidVelocityCurve(schema, attack.at("rateContour"), "attackRateCurveLevel") &&
           isValidVelocityCurve(schema, attack.at("velocityRateCurve"), "attackRateCurveLevel");
}

bool isValidAttackOrder(const nlohmann::json& order) {
    if (!order.is_array()) return false;
    bool seen[128] = {};
    for (const auto& entry : order) {
        const auto note = exactInteger(entry);
        if (!note || *note < 0 || *note > 127 || seen[*note]) return false;
        seen[*note] = true;
    }
    return true;
}

bool isValidAttackOrders(const nlohmann::json& orders, const nlohmann::json& schema) {
    const auto* shapes = member(schema, "shapes");
    const auto* constraints = member(schema, "constraints");
    if (shapes == nullptr || constraints == nullptr || !orders.is_array()) return false;
    const auto count = pageCount(*constraints);
    const auto* shape = member(*shapes, "attackOrderPage");
    if (!count || shape == nullptr || static_cast<std::int64_t>(orders.size()) != *count) {
        return false;
    }
    for (const auto& page : orders) {
        if (!matchesSchemaShape(page, *shape) || !isValidAttackOrder(page.at("order")) ||
            !withinNamedRange(page.at("velocitySeed"), *constraints, "attackVelocitySeed")) {
            return false;
        }
    }
    return true;
}

}  // namespace quillex
