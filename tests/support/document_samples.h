// Sample project documents in JSON form for the document tests and benchmarks.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/json_text.h"

namespace quillex::testing {

inline nlohmann::json fullAttackJson() {
    return parseJsonText(R"({
      "mode": "advanced", "orderKinds": ["up", "down", "custom", "up", "up", "down", "up", "up"],
      "roundRobinLength": 3, "globalFollow": true, "timingBasis": "perNote", "gate": "step",
      "dynamic": true, "spread": "1/32T", "includeBass": false,
      "velocityRange": {"minimum": 40, "maximum": 160},
      "velocityCurve": {"start": 80, "mid": 120, "midPosition": 35, "end": 60, "firstBend": -25, "secondBend": 40},
      "rateContour": {"start": 10, "mid": 20, "midPosition": 70, "end": 90, "firstBend": 5, "secondBend": -5},
      "velocityRateCurve": {"start": 100, "mid": 50, "midPosition": 50, "end": 0, "firstBend": 0, "secondBend": 0}
    })");
}

inline nlohmann::json attackOrdersJson() {
    nlohmann::json pages = nlohmann::json::array();
    for (unsigned page = 0; page < 8; ++page) {
        nlohmann::json order = nlohmann::json::array();
        for (unsigned note = 0; note < page; ++note) order.push_back((note * 5 + page) % 12);
        pages.push_back({{"order", order}, {"velocitySeed", page + 1}});
    }
    return pages;
}

// A chord slot that uses every optional member.
inline nlohmann::json fullChordSlotJson(const std::string& id) {
    nlohmann::json slot = {
        {"id", id},
        {"type", "chord"},
        {"duration", 2.5},
        {"lockState", "locked"},
        {"chord",
         {{"original", "Ebmaj7/G"},
          {"root", "Eb"},
          {"quality", "maj7"},
          {"symbol", "Ebmaj7/G"},
          {"category", "major"},
          {"roman", "IVmaj7"},
          {"degree", 4.0},
          {"bassNote", "G"},
          {"intervals", {0, 4, 7, 11}}}},
        {"inversion", 1},
        {"octaveShift", -1},
        {"voicingStyle", "shell"},
        {"isAutoVoiced", false},
        {"velocity", 96},
        {"attack", fullAttackJson()},
        {"attackOrders", attackOrdersJson()},
        {"gesturePresetId", "user-strum"},
    };
    return slot;
}

// A document that uses every optional member and presence flag.
inline nlohmann::json fullDocumentJson() {
    nlohmann::json legacyBassSlot = fullChordSlotJson("s2");
    legacyBassSlot["chord"] = {{"original", "C/E"}, {"bass", "E"}};
    legacyBassSlot["attack"] = {{"mode", "off"}, {"gate", "hold"}, {"globalFollow", false}};
    legacyBassSlot["attackOrders"] = nlohmann::json::array();
    legacyBassSlot["gesturePresetId"] = nullptr;
    legacyBassSlot.erase("inversion");

    nlohmann::json document = {
        {"schemaVersion", 15},
        {"progression",
         {{"input", "Ebmaj7/G C/E | r"},
          {"slots",
           {fullChordSlotJson("s1"),
            legacyBassSlot,
            {{"id", "s3"}, {"type", "rest"}, {"duration", 1.5}, {"lockState", "free"}}}},
          {"parseError",
           {{"message", "Some tokens could not be read"}, {"errors", {{{"token", "X#q"}}, {{"token", "??"}}}}}}}},
        {"progressionLog", {"Ebmaj7/G", "C/E"}},
        {"key",
         {{"root", "Eb"},
          {"mode", "minor"},
          {"minorScaleType", "melodic"},
          {"transposeOffset", -3},
          {"autoKey", true}}},
        {"voicing",
         {{"autoVoiceLeading", true}, {"allowBassChanges", false}, {"dropBass", true}, {"defaultStyle", "anthem"}}},
        {"rhythm",
         {{"pattern", "custom"},
          {"customPattern",
           {{"lengthSteps", 12},
            {"events",
             {{{"offset", 0}, {"duration", 2}, {"part", "bass"}, {"velocity", 90}},
              {{"offset", 4}, {"duration", 1}, {"part", "top"}, {"velocity", 70}}}}}},
          {"presetId", "user-groove"},
          {"shift", 2},
          {"retriggerOnBlock", true},
          {"legato", true},
          {"swing", {{"mode", "swing8"}, {"amount", 35}}}}},
        {"gesture",
         {{"newChordVelocity", 88},
          {"newChordAttack", fullAttackJson()},
          {"newChordAttackOrders", attackOrdersJson()},
          {"newChordPresetId", "factory-harp"}}},
        {"bassSplit", {{"target", "track"}, {"mode", "duplicate"}}},
        {"clipSync", {{"mode", "bound"}}},
    };
    return document;
}

// The smallest accepted document: empty progression, default-like sections.
inline nlohmann::json minimalDocumentJson() {
    return parseJsonText(R"({
      "schemaVersion": 15,
      "progression": {"input": "", "slots": []},
      "progressionLog": [],
      "key": {"root": "C", "mode": "major", "minorScaleType": "natural", "transposeOffset": 0, "autoKey": false},
      "voicing": {"autoVoiceLeading": true, "allowBassChanges": true, "dropBass": false, "defaultStyle": "closed"},
      "rhythm": {"pattern": "none", "shift": 0, "retriggerOnBlock": false, "legato": false,
                 "swing": {"mode": "swing16", "amount": 0}},
      "gesture": {},
      "bassSplit": {},
      "clipSync": {}
    })");
}

// A document of `slotCount` full chord slots.
inline nlohmann::json documentWithSlots(int slotCount) {
    nlohmann::json document = fullDocumentJson();
    auto& slots = document["progression"]["slots"];
    slots = nlohmann::json::array();
    for (int i = 0; i < slotCount; ++i) {
        std::string id = std::to_string(i + 1);
        id.insert(id.begin(), 's');
        slots.push_back(fullChordSlotJson(id));
    }
    return document;
}

}  // namespace quillex::testing
