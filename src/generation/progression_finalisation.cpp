// Finalisation and rendering of a generated progression.
#include "generation/progression_finalisation.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "theory/key_inference.h"
#include "theory/quality_family.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {

namespace {

nlohmann::json renderAuthored(const GeneratedChord& slot, const KeyContext& key) {
    const std::optional<Chord> parsed = parseChordSymbol(slot.authoredSymbol);
    if (!parsed) throw std::runtime_error("Locked authored chord could not be parsed");
    const std::optional<std::string> roman = deriveRomanNumeralFromSymbol(slot.authoredSymbol, key);
    if (!roman) throw std::runtime_error("Locked authored chord could not be analyzed in final key");
    nlohmann::json out = nlohmann::json::object();
    out["symbol"] = slot.authoredSymbol;
    out["original"] = slot.authoredSymbol;
    out["root"] = rootSpellingToken(slot.authoredSymbol);
    out["quality"] = parsed->quality;
    out["roman"] = *roman;
    out["degree"] = scaleDegreeOf(key.key, parsed->root);
    out["category"] = familyOfChord(*parsed);
    out["intervals"] = parsed->intervals;
    if (parsed->bass) out["bass"] = slashBassSpellingToken(slot.authoredSymbol);
    return out;
}

// The display symbol is what the page shows; the letter-true spelling names the numeral.
nlohmann::json renderInKey(const GeneratedChord& slot, const KeyContext& key, bool simplify) {
    const SpellingOptions hint{slot.numeralPrefersFlats.value_or(false), slot.numeralPrefersFlats.has_value()};
    const std::optional<RenderedChord> rendered = renderChordInKey(
        RomanChord{slot.chord.root, slot.chord.quality, slot.chord.bass, ""}, key, simplify, hint, slot.placement);
    if (!rendered) throw std::runtime_error("Could not render generated chord in final key context");
    const std::optional<Chord> shown = parseChordSymbol(rendered->displaySymbol);
    if (!shown) throw std::runtime_error("Rendered generated chord is invalid");
    nlohmann::json out = nlohmann::json::object();
    out["symbol"] = rendered->displaySymbol;
    out["original"] = rendered->displaySymbol;
    out["root"] = rootSpellingToken(rendered->displaySymbol);
    out["quality"] = shown->quality;
    out["roman"] = requireRomanNumeralFromSymbol(rendered->spelledSymbol, key);
    out["degree"] = scaleDegreeOf(key.key, slot.chord.root);
    out["category"] = classifyQualityFamily(ChordQuality{shown->quality, shown->intervals});
    out["intervals"] = shown->intervals;
    if (slot.chord.bass) out["bass"] = slashBassSpellingToken(rendered->displaySymbol);
    return out;
}

}  // namespace

std::vector<GeneratedChord> buildGeneratedChords(const LocalGenerationResult& result) {
    std::vector<GeneratedChord> chords;
    chords.reserve(result.items.size());
    for (std::size_t i = 0; i < result.items.size(); ++i) {
        const GeneratedRomanChord& item = result.items[i];
        const std::optional<ChordQuality> quality = lookupChordQuality(item.quality);
        if (!quality) throw std::runtime_error("Generated chord has invalid quality at index " + std::to_string(i));
        GeneratedChord chord;
        chord.chord = makeChord(item.root, *quality, item.bass, "");
        chord.numeralPrefersFlats = romanAccidentalPreference(item.roman);
        chords.push_back(std::move(chord));
    }
    return chords;
}

bool hasLockedChord(const std::vector<LockedSlot>& slots) {
    for (const LockedSlot& slot : slots) {
        if (!slot.rest) return true;
    }
    return false;
}

MusicalKey inferFinalKey(const std::vector<GeneratedChord>& chords, const MusicalKey& fallback) {
    std::vector<WeightedChord> weighted;
    for (const GeneratedChord& slot : chords) {
        if (!slot.rest) weighted.push_back(WeightedChord{slot.chord.root, slot.chord.quality, slot.chord.bass, 1.0});
    }
    if (weighted.empty()) return fallback;
    return inferKey(weighted).key;
}

void placeLockedSlot(std::vector<GeneratedChord>& out, const LockedSlot& slot, int offset) {
    GeneratedChord placed;
    placed.locked = true;
    if (slot.rest) {
        placed.rest = true;
        out.push_back(std::move(placed));
        return;
    }
    placed.chord = slot.chord;
    placed.chord.root = transposePitchClass(slot.chord.root, offset);
    if (slot.chord.bass) placed.chord.bass = transposePitchClass(*slot.chord.bass, offset);
    DegreeHint hint{slot.rootPlacement.degree, std::nullopt};
    if (slot.bassPlacement) hint.bassDegree = slot.bassPlacement->degree;
    placed.placement = hint;
    placed.authoredSymbol = slot.authoredSymbol;
    placed.keepAuthoredSpelling = offset == 0;
    out.push_back(std::move(placed));
}

std::vector<GeneratedChord> applyLockedSlots(const std::vector<GeneratedChord>& generated, const LockContext& locks,
                                             const MusicalKey& finalKey) {
    if (locks.slots.empty()) return generated;
    const int offset = (int{finalKey.root} - int{locks.sourceKey.root} + 12) % 12;
    std::vector<GeneratedChord> out;
    out.reserve(generated.size() + locks.slots.size());
    std::size_t nextGenerated = 0;
    std::size_t nextLock = 0;
    for (std::uint64_t position = 0; nextGenerated < generated.size(); ++position) {
        if (nextLock < locks.slots.size() && locks.slots[nextLock].index == position) {
            const LockedSlot& lock = locks.slots[nextLock++];
            placeLockedSlot(out, lock, offset);
            if (!lock.rest) ++nextGenerated;  // the lock stands where that chord would have
        } else {
            out.push_back(generated[nextGenerated++]);
        }
    }
    for (; nextLock < locks.slots.size(); ++nextLock) placeLockedSlot(out, locks.slots[nextLock], offset);
    return out;
}

std::optional<nlohmann::json> serializeGeneratedKey(const MusicalKey& key, SpellingOptions options,
                                                    std::string_view rootName) {
    std::string root(rootName);
    if (root.empty()) root = spellScaleDegreeNote(key, 1, options.preferFlats, options.simplifyAccidentals);
    if (root.empty()) return std::nullopt;
    nlohmann::json out = nlohmann::json::object();
    out["root"] = root;
    out["mode"] = key.isMinor() ? "minor" : "major";
    out["minorScaleType"] = key.isMelodicMinor() ? "melodic" : "natural";
    return out;
}

nlohmann::json renderGeneratedChord(const GeneratedChord& chord, const KeyContext& key, bool simplify) {
    if (chord.keepAuthoredSpelling && !chord.authoredSymbol.empty()) return renderAuthored(chord, key);
    return renderInKey(chord, key, simplify);
}

nlohmann::json writeProgressionItems(const std::vector<GeneratedChord>& chords, const KeyContext& key, bool simplify) {
    nlohmann::json items = nlohmann::json::array();
    for (const GeneratedChord& slot : chords) {
        if (slot.rest) {
            items.push_back(nlohmann::json{{"type", "rest"}});
        } else {
            items.push_back(nlohmann::json{{"type", "chord"}, {"chord", renderGeneratedChord(slot, key, simplify)}});
        }
    }
    return items;
}

}  // namespace quillex
