// Chord-list transposition service: a chord list analysed in its key, or moved by semitones into a new key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/bridge_reply.h"
#include "theory/chord_symbol.h"
#include "theory/musical_key.h"

namespace quillex {

// One parsed entry of a request's chord list.
struct ChordListEntry {
    std::string source;       // the entry text exactly as given
    Chord chord;              // parsed from it; its symbol is the trimmed text
    std::uint64_t index = 0;  // position in the list

    friend bool operator==(const ChordListEntry&, const ChordListEntry&) = default;
};

// Always of type "transpose_result".
using TransposeReply = BridgeReply;

// Offset 0 analyses every chord in the key; any other offset moves every chord
// and spells it in the resulting key. Invalid requests come back as error
// payloads; a chord that cannot be spelled or numbered throws
// std::runtime_error, and wrongly typed members raise the JSON library's errors.
TransposeReply handleTransposeChords(const nlohmann::json& request);

// Reads every entry in order; on the first bad entry gives false with its
// message and position, keeping the entries read before it.
bool readChordList(const nlohmann::json& chords, std::vector<ChordListEntry>& entries, std::string& message,
                   std::uint64_t& index);

// A string, or an object's string "symbol"; nothing for anything else.
std::optional<std::string> readChordEntrySymbol(const nlohmann::json& entry);

// The chord spelled on the letters the user wrote, numbered in the key.
nlohmann::json writeChordAnalysis(const Chord& chord, const MusicalKey& key, std::string_view keyToken);

// true when the entry's numeral in the source key is a flat degree, false for
// a sharp one, nothing for a diatonic one.
std::optional<bool> accidentalDirectionOfRoman(const ChordListEntry& entry, const MusicalKey& sourceKey,
                                               std::string_view sourceToken);

// The entry moved by `offset`, spelled and numbered in the target key.
nlohmann::json writeTransposedChord(const ChordListEntry& entry, const MusicalKey& sourceKey,
                                    std::string_view sourceToken, const MusicalKey& targetKey,
                                    std::string_view targetSpelling, std::int32_t offset, bool simplifyAccidentals);

// The key object's "minorScaleType" is exactly "melodic".
bool requestWantsMelodicMinor(const nlohmann::json& keyObject);

}  // namespace quillex
