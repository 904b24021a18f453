// The canonical chord-quality table and the quality alias table.
#include "theory/chord_quality_table.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>

namespace quillex {

namespace {

// The canonical quality names; their intervals follow from the name grammar
// below. Grouped as dominant, major, minor, minor-major, diminished,
// augmented, suspended, sixth, added-tone and power chord.
constexpr std::array<std::string_view, 382> kCanonicalNames = {
    "11",
    "11#11",
    "11#5",
    "11#5#9",
    "11#5b9",
    "11#5b9#9",
    "11#9",
    "11#9b13",
    "11add13",
    "11add13#5",
    "11add13#5#9",
    "11add13#5b9",
    "11add13#5b9#9",
    "11add13#9",
    "11add13b5",
    "11add13b5#9",
    "11add13b5b9",
    "11add13b5b9#9",
    "11add13b9",
    "11add13b9#9",
    "11b13",
    "11b5",
    "11b5#9",
    "11b5#9b13",
    "11b5b13",
    "11b5b9",
    "11b5b9#9",
    "11b5b9#9b13",
    "11b5b9b13",
    "11b9",
    "11b9#9",
    "11b9#9b13",
    "11b9b13",
    "13",
    "13#11",
    "13#5",
    "13#5#11",
    "13#5#9",
    "13#5#9#11",
    "13#5b9",
    "13#5b9#11",
    "13#5b9#9",
    "13#5b9#9#11",
    "13#9",
    "13#9#11",
    "13b5",
    "13b5#9",
    "13b5b9",
    "13b5b9#9",
    "13b9",
    "13b9#11",
    "13b9#9",
    "13b9#9#11",
    "13sus4",
    "13sus4#5",
    "13sus4b5",
    "7",
    "7#11",
    "7#11b13",
    "7#11no5",
    "7#5",
    "7#5#11",
    "7#5#9",
    "7#5#9#11",
    "7#5b9",
    "7#5b9#11",
    "7#5b9#9",
    "7#5b9#9#11",
    "7#9",
    "7#9#11",
    "7#9#11b13",
    "7#9b13",
    "7add13",
    "7add13#11",
    "7add13#5",
    "7add13#5#11",
    "7add13b5",
    "7alt",
    "7b13",
    "7b5",
    "7b5#9",
    "7b5#9b13",
    "7b5b13",
    "7b5b9",
    "7b5b9#9",
    "7b5b9#9b13",
    "7b5b9b13",
    "7b9",
    "7b9#11",
    "7b9#11b13",
    "7b9#9",
    "7b9#9#11",
    "7b9#9#11b13",
    "7b9#9b13",
    "7b9b13",
    "7b9sus4",
    "7b9sus4#5",
    "7b9sus4b5",
    "7no5",
    "7sus2",
    "7sus2#5",
    "7sus2b5",
    "7sus4",
    "7sus4#5",
    "7sus4b5",
    "9",
    "9#11",
    "9#11b13",
    "9#5",
    "9#5#11",
    "9b13",
    "9b5",
    "9b5b13",
    "9sus4",
    "9sus4#5",
    "9sus4b5",
    "maj",
    "maj11",
    "maj11#11",
    "maj11#5",
    "maj11#5#9",
    "maj11#5b9",
    "maj11#9",
    "maj11#9b13",
    "maj11add13",
    "maj11add13#5",
    "maj11add13#5#9",
    "maj11add13#5b9",
    "maj11add13#9",
    "maj11add13b5",
    "maj11add13b5#9",
    "maj11add13b5b9",
    "maj11add13b9",
    "maj11b13",
    "maj11b5",
    "maj11b5#9",
    "maj11b5#9b13",
    "maj11b5b13",
    "maj11b5b9",
    "maj11b5b9b13",
    "maj11b9",
    "maj11b9b13",
    "maj13",
    "maj13#11",
    "maj13#5",
    "maj13#5#11",
    "maj13#5#9",
    "maj13#5#9#11",
    "maj13#5b9",
    "maj13#5b9#11",
    "maj13#9",
    "maj13#9#11",
    "maj13b5",
    "maj13b5#9",
    "maj13b5b9",
    "maj13b9",
    "maj13b9#11",
    "maj7",
    "maj7#11",
    "maj7#11b13",
    "maj7#5",
    "maj7#5#11",
    "maj7#5#9",
    "maj7#5#9#11",
    "maj7#5b9",
    "maj7#5b9#11",
    "maj7#9",
    "maj7#9#11",
    "maj7#9#11b13",
    "maj7#9b13",
    "maj7add13",
    "maj7add13#11",
    "maj7add13#5",
    "maj7add13#5#11",
    "maj7add13b5",
    "maj7b13",
    "maj7b5",
    "maj7b5#9",
    "maj7b5#9b13",
    "maj7b5b13",
    "maj7b5b9",
    "maj7b5b9b13",
    "maj7b9",
    "maj7b9#11",
    "maj7b9#11b13",
    "maj7b9b13",
    "maj9",
    "maj9#11",
    "maj9#11b13",
    "maj9#5",
    "maj9#5#11",
    "maj9b13",
    "maj9b5",
    "maj9b5b13",
    "m",
    "m#5",
    "m11",
    "m11#5",
    "m11#5#9",
    "m11#5b9",
    "m11#9",
    "m11#9b13",
    "m11add13",
    "m11add13#5",
    "m11add13#5#9",
    "m11add13#5b9",
    "m11add13#9",
    "m11add13b5",
    "m11add13b5#9",
    "m11add13b5b9",
    "m11add13b9",
    "m11b13",
    "m11b5",
    "m11b5#9",
    "m11b5#9b13",
    "m11b5b13",
    "m11b5b9",
    "m11b5b9b13",
    "m11b9",
    "m11b9b13",
    "m13",
    "m13#11",
    "m13#5",
    "m13#5#11",
    "m13#5#9",
    "m13#5#9#11",
    "m13#5#9b11",
    "m13#5b11",
    "m13#5b9",
    "m13#5b9#11",
    "m13#5b9b11",
    "m13#9",
    "m13#9#11",
    "m13#9b11",
    "m13b11",
    "m13b5",
    "m13b5#9",
    "m13b5#9b11",
    "m13b5b11",
    "m13b5b9",
    "m13b5b9b11",
    "m13b9",
    "m13b9#11",
    "m13b9b11",
    "m6",
    "m6#11",
    "m611",
    "m69",
    "m69#11",
    "m6b11",
    "m6b9",
    "m6b9#11",
    "m6b9b11",
    "m6b9b11b13",
    "m7",
    "m7#11",
    "m7#11b13",
    "m7#5",
    "m7#5#11",
    "m7#5#9",
    "m7#5#9#11",
    "m7#5#9b11",
    "m7#5b11",
    "m7#5b9",
    "m7#5b9#11",
    "m7#5b9b11",
    "m7#9",
    "m7#9#11",
    "m7#9#11b13",
    "m7#9b11",
    "m7#9b11b13",
    "m7#9b13",
    "m7add13",
    "m7add13#11",
    "m7add13#5",
    "m7add13#5#11",
    "m7add13#5b11",
    "m7add13b11",
    "m7add13b5",
    "m7add13b5b11",
    "m7b11",
    "m7b11b13",
    "m7b13",
    "m7b5",
    "m7b5#9",
    "m7b5#9b11",
    "m7b5#9b11b13",
    "m7b5#9b13",
    "m7b5b11",
    "m7b5b11b13",
    "m7b5b13",
    "m7b5b9",
    "m7b5b9b11",
    "m7b5b9b11b13",
    "m7b5b9b13",
    "m7b9",
    "m7b9#11",
    "m7b9#11b13",
    "m7b9b11",
    "m7b9b11b13",
    "m7b9b13",
    "m9",
    "m9#11",
    "m9#11b13",
    "m9#5",
    "m9#5#11",
    "m9#5b11",
    "m9b11",
    "m9b11b13",
    "m9b13",
    "m9b5",
    "m9b5b11",
    "m9b5b11b13",
    "m9b5b13",
    "madd#11",
    "madd11",
    "madd11b13",
    "madd9",
    "madd9#11",
    "madd911",
    "madd9b5",
    "mb6",
    "mM11",
    "mM11add13",
    "mM11add13b5",
    "mM11add13b5b9",
    "mM11add13b9",
    "mM11b5",
    "mM11b5b9",
    "mM11b9",
    "mM13",
    "mM13#11",
    "mM13b5",
    "mM13b5b9",
    "mM13b9",
    "mM13b9#11",
    "mM7",
    "mM7#11",
    "mM7add13",
    "mM7add13#11",
    "mM7add13b5",
    "mM7b5",
    "mM7b5b9",
    "mM7b9",
    "mM7b9#11",
    "mM9",
    "mM9#11",
    "mM9b5",
    "dim",
    "dim#5",
    "dim11",
    "dim7",
    "dim7b9",
    "dim7b911",
    "dim7b911b13",
    "dimadd9",
    "dimb9",
    "aug",
    "sus2",
    "sus2#5",
    "sus2b5",
    "sus4",
    "sus4#5",
    "sus4b5",
    "sus4b9",
    "6",
    "6#11",
    "69",
    "69#11",
    "6b9",
    "6b9#11",
    "add#11",
    "add11",
    "add11#5",
    "add11b5",
    "add9",
    "add9#11",
    "add9#5",
    "add9#5#11",
    "add911",
    "add9b5",
    "5",
};
constexpr std::array<std::pair<std::string_view, std::string_view>, 127> kExplicitAliases = {{
    {"+11", "11#5"},
    {"aug11", "11#5"},
    {"9add13", "13"},
    {"+13", "13#5"},
    {"aug13", "13#5"},
    {"13#11#9", "13#9#11"},
    {"13#11b9", "13b9#11"},
    {"13sus", "13sus4"},
    {"sus413", "13sus4"},
    {"no3", "5"},
    {"add13", "6"},
    {"Add13", "6"},
    {"maj6", "6"},
    {"6/9", "69"},
    {"maj6/9", "69"},
    {"Maj6/9", "69"},
    {"MAJ6/9", "69"},
    {"maj69", "69"},
    {"dom7", "7"},
    {"7#11omit5", "7#11no5"},
    {"+7", "7#5"},
    {"+aug7", "7#5"},
    {"aug7", "7#5"},
    {"7#9#5", "7#5#9"},
    {"7b9#5", "7#5b9"},
    {"67", "7add13"},
    {"alt", "7alt"},
    {"Alt", "7alt"},
    {"ALT", "7alt"},
    {"7#9b5", "7b5#9"},
    {"7b9b5", "7b5b9"},
    {"7b9sus", "7b9sus4"},
    {"7sus4b9", "7b9sus4"},
    {"7susb9", "7b9sus4"},
    {"7omit5", "7no5"},
    {"sus27", "7sus2"},
    {"7sus", "7sus4"},
    {"sus47", "7sus4"},
    {"7add9", "9"},
    {"+9", "9#5"},
    {"+aug9", "9#5"},
    {"aug9", "9#5"},
    {"9sus", "9sus4"},
    {"sus49", "9sus4"},
    {"Add11", "add11"},
    {"ADD11", "add11"},
    {"add4", "add11"},
    {"add2", "add9"},
    {"Add9", "add9"},
    {"ADD9", "add9"},
    {"+", "aug"},
    {"Aug", "aug"},
    {"AUG", "aug"},
    {"°", "dim"},
    {"mb5", "dim"},
    {"o", "dim"},
    {"°7", "dim7"},
    {"o7", "dim7"},
    {"dimb911", "dim7b911"},
    {"dimb911b13", "dim7b911b13"},
    {"m9add13", "m13"},
    {"madd13", "m6"},
    {"Madd13", "m6"},
    {"MADD13", "m6"},
    {"m6/9", "m69"},
    {"min6/9", "m69"},
    {"Min6/9", "m69"},
    {"MIN6/9", "m69"},
    {"m#11b13", "m7#11b13"},
    {"m11#11b13", "m7#11b13"},
    {"min#11b13", "m7#11b13"},
    {"m67", "m7add13"},
    {"ø", "m7b5"},
    {"ø7", "m7b5"},
    {"mb9", "m7b9"},
    {"minb9", "m7b9"},
    {"m11b9#11", "m7b9#11"},
    {"m7add9", "m9"},
    {"m11#11", "m9#11"},
    {"m11b11", "m9b11"},
    {"m11b11b13", "m9b11b13"},
    {"ø9", "m9b5"},
    {"madd4", "madd11"},
    {"madd2", "madd9"},
    {"maj9add13", "maj13"},
    {"Δ", "maj7"},
    {"maj11#11b13", "maj7#11b13"},
    {"+M7", "maj7#5"},
    {"+maj7", "maj7#5"},
    {"+Maj7", "maj7#5"},
    {"augmaj7", "maj7#5"},
    {"augMaj7", "maj7#5"},
    {"maj67", "maj7add13"},
    {"maj11b9#11", "maj7b9#11"},
    {"maj#11b9b13", "maj7b9#11b13"},
    {"M7add9", "maj9"},
    {"maj7add9", "maj9"},
    {"+M9", "maj9#5"},
    {"+maj9", "maj9#5"},
    {"+Maj9", "maj9#5"},
    {"augmaj9", "maj9#5"},
    {"augMaj9", "maj9#5"},
    {"mM9add13", "mM13"},
    {"-M7", "mM7"},
    {"-maj7", "mM7"},
    {"mM67", "mM7add13"},
    {"°M7", "mM7b5"},
    {"°maj7", "mM7b5"},
    {"°Maj7", "mM7b5"},
    {"dimM7", "mM7b5"},
    {"dimmaj7", "mM7b5"},
    {"dimMaj7", "mM7b5"},
    {"Dimmaj7", "mM7b5"},
    {"DimMaj7", "mM7b5"},
    {"DIMmaj7", "mM7b5"},
    {"DIMMAJ7", "mM7b5"},
    {"oM7", "mM7b5"},
    {"omaj7", "mM7b5"},
    {"oMaj7", "mM7b5"},
    {"-M9", "mM9"},
    {"-maj9", "mM9"},
    {"sus", "sus4"},
    {"Sus", "sus4"},
    {"SUS", "sus4"},
    {"b9sus", "sus4b9"},
    {"b9sus4", "sus4b9"},
    {"susb9", "sus4b9"},
}};

// Intervals of a canonical name, read as base, degree number and modifiers;
// empty for a text outside the grammar.
std::vector<std::int32_t> intervalsOfName(std::string_view name) {
    if (name == "5") return {0, 7};
    if (name == "dim#5") return {0, 3, 6, 8};
    if (name == "dim11") return {0, 3, 6, 9, 17};

    // Base: the longest of these that begins the name.
    std::string_view base;
    for (std::string_view candidate : {"maj", "dim", "aug", "mM", "m"}) {
        if (name.starts_with(candidate)) {
            base = candidate;
            break;
        }
    }
    std::string_view rest = name.substr(base.size());

    std::int32_t degree = 0;
    for (std::string_view candidate : {"11", "13", "7", "9"}) {
        if (rest.starts_with(candidate)) {
            degree = candidate == "7" ? 7 : candidate == "9" ? 9 : candidate == "11" ? 11 : 13;
            rest.remove_prefix(candidate.size());
            break;
        }
    }

    std::int32_t third = (base == "m" || base == "mM" || base == "dim") ? 3 : 4;
    std::int32_t fifth = base == "dim" ? 6 : base == "aug" ? 8 : 7;
    bool hasFifth = true;
    bool ninthReplaced = false;
    std::set<std::int32_t> added;

    // Modifiers, longest token first.
    static constexpr std::array<std::string_view, 19> kTokens = {
        "add#11", "add11", "add13", "add9", "sus2", "sus4", "no5", "alt", "#11", "b11",
        "b13",    "69",    "#5",    "b5",   "b6",   "b9",   "#9",  "11",  "6"};
    while (!rest.empty()) {
        std::string_view token;
        for (std::string_view candidate : kTokens) {
            if (rest.starts_with(candidate)) {
                token = candidate;
                break;
            }
        }
        if (token.empty()) return {};  // not a name of the grammar
        rest.remove_prefix(token.size());
        if (token == "sus2")
            third = 2;
        else if (token == "sus4")
            third = 5;
        else if (token == "#5")
            fifth = 8;
        else if (token == "b5")
            fifth = 6;
        else if (token == "no5")
            hasFifth = false;
        else if (token == "alt") {
            fifth = 8;
            ninthReplaced = true;
            added.insert({13, 15});
        } else if (token == "6")
            added.insert(9);
        else if (token == "69")
            added.insert({9, 14});
        else if (token == "b6")
            added.insert(8);
        else if (token == "b9") {
            added.insert(13);
            ninthReplaced = true;
        } else if (token == "#9") {
            added.insert(15);
            ninthReplaced = true;
        } else if (token == "add9")
            added.insert(14);
        else if (token == "11" || token == "add11")
            added.insert(17);
        else if (token == "#11" || token == "add#11")
            added.insert(18);
        else if (token == "b11")
            added.insert(16);
        else if (token == "add13")
            added.insert(21);
        else if (token == "b13")
            added.insert(20);
    }

    std::set<std::int32_t> intervals = {0, third};
    if (hasFifth) intervals.insert(fifth);
    if (degree != 0) {
        intervals.insert(base == "maj" || base == "mM" ? 11 : base == "dim" ? 9 : 10);
    }
    if (degree >= 9 && !ninthReplaced) intervals.insert(14);
    if (degree == 11) intervals.insert(17);
    if (degree == 13) intervals.insert(21);
    intervals.insert(added.begin(), added.end());
    return {intervals.begin(), intervals.end()};
}

// One alias family: every canonical name with `prefix` gets each of the
// `spellings` in place of the prefix.
struct AliasFamily {
    std::string_view prefix;
    std::vector<std::string_view> spellings;
    bool (*accepts)(std::string_view rest);
};

bool anyRest(std::string_view) { return true; }
bool minorRest(std::string_view rest) { return !rest.starts_with("M") && !rest.starts_with("aj"); }

}  // namespace

const CanonicalQualityTable& canonicalQualityTable() {
    static const CanonicalQualityTable table = [] {
        CanonicalQualityTable built;
        built.reserve(kCanonicalNames.size());
        for (std::string_view name : kCanonicalNames) {
            built.emplace(std::string(name), intervalsOfName(name));
        }
        return built;
    }();
    return table;
}

const QualityAliasTable& qualityAliasTable() {
    static const QualityAliasTable table = [] {
        QualityAliasTable built;
        built.reserve(1700);
        const auto add = [&built](std::string key, std::string_view target) {
            built.emplace(std::move(key), std::string(target));
        };

        const std::array<AliasFamily, 4> families = {{
            {"m", {"-", "mi", "Mi", "MI", "min", "Min", "MIN"}, minorRest},
            {"maj", {"M", "Maj", "MAJ", "\u0394"}, anyRest},
            {"mM", {"m-M", "m-maj", "m/M", "min-maj", "minmaj", "minMaj", "MinMaj", "MINMAJ", "mmaj", "mMaj"}, anyRest},
            {"dim", {"Dim", "DIM"}, anyRest},
        }};
        for (const AliasFamily& family : families) {
            for (std::string_view name : kCanonicalNames) {
                if (!name.starts_with(family.prefix)) continue;
                const std::string_view rest = name.substr(family.prefix.size());
                if (!family.accepts(rest)) continue;
                for (std::string_view spelling : family.spellings) {
                    // A lone "Δ" means the major seventh, not the triad.
                    if (spelling == "\u0394" && rest.empty()) continue;
                    add(std::string(spelling).append(rest), name);
                }
            }
        }

        // X"13add11"R spells X"11add13"R.
        for (std::string_view name : kCanonicalNames) {
            for (std::string_view head : {"", "m", "maj", "mM"}) {
                const std::string marked = std::string(head) + "11add13";
                if (!name.starts_with(marked)) continue;
                add(std::string(head) + "13add11" + std::string(name.substr(marked.size())), name);
            }
        }

        for (const auto& [alias, target] : kExplicitAliases) add(std::string(alias), target);
        return built;
    }();
    return table;
}

}  // namespace quillex
