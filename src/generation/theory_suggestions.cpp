// Secondary dominants, borrowed chords, tritone substitutes, passing diminished chords and chromatic mediants.
#include "generation/theory_suggestions.h"

#include <algorithm>
#include <array>
#include <set>
#include <span>
#include <stdexcept>
#include <utility>

#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {

namespace {

using QualityList = std::span<const std::string_view>;

constexpr std::array<std::string_view, 18> kDominantColourQualities = {
    "7",    "9",    "13",   "7sus4", "9sus4", "13sus4", "7b9",    "7#9",    "7#5",
    "7b13", "13b9", "7#11", "9#11",  "13#11", "7#5b9",  "7b9b13", "7#9b13", "7alt"};
constexpr std::array<std::string_view, 7> kMinorBorrowedQualities = {"m", "m6", "madd9", "m7", "m9", "m11", "m13"};
constexpr std::array<std::string_view, 3> kDiminishedQualities = {"dim", "dim7", "m7b5"};
constexpr std::array<std::string_view, 7> kMajorMediantQualities = {"",     "add9",  "6",      "maj7",
                                                                    "maj9", "maj13", "maj7#11"};
constexpr std::array<std::string_view, 7> kMinorMediantQualities = {"m", "madd9", "m6", "m7", "m9", "m11", "m13"};
// The diminished-seventh rows, each named by its lowest pitch class.
constexpr std::array<std::array<PitchClass, 4>, 3> kCommonToneRows = {{{0, 3, 6, 9}, {1, 4, 7, 10}, {2, 5, 8, 11}}};

constexpr SpellingHint kFlats = true;
constexpr SpellingHint kSharps = false;
constexpr SpellingHint kNoHint = std::nullopt;

// The major-borrowed list, optionally with "maj7#11" and "7" after it.
std::vector<std::string_view> majorBorrowedQualities(bool withSharpEleven, bool withDominant) {
    std::vector<std::string_view> list = {"", "6", "add9", "maj7", "maj9", "maj13"};
    if (withSharpEleven) list.push_back("maj7#11");
    if (withDominant) list.push_back("7");
    return list;
}

// (quality, root) pairs already tried in one generator run.
class PairClaims {
public:
    // True the first time the pair is seen.
    // The quality texts come from the constant lists, so views stay valid.
    bool claim(std::string_view quality, PitchClass root) { return seen_.emplace(quality, root).second; }

private:
    std::set<std::pair<std::string_view, PitchClass>> seen_;
};

struct SuggestionTarget {
    PitchClass root = 0;
    std::string quality;
    std::string numeral;
    bool fromNextChord = false;
};

[[noreturn]] void throwNoNumeral() {
    throw std::runtime_error("Could not derive Roman numeral from chord symbol and key");
}

// The next chord, then the non-diminished diatonic triads from `firstDegree`.
std::vector<SuggestionTarget> dominantTargets(const SuggestionContext& context, int firstDegree) {
    const KeyContext keyContext = context.keyContext();
    std::vector<SuggestionTarget> targets;
    if (context.nextChord) {
        targets.push_back({context.nextChord->root, context.nextChord->quality,
                           requireRomanNumeralFromSymbol(context.nextChord->symbol, keyContext), true});
    }
    for (int degree = firstDegree; degree <= 7; ++degree) {
        const DiatonicChord triad = diatonicChordOfDegree(context.key, degree, false);
        if (triad.quality.find("dim") != std::string::npos) continue;
        const std::optional<std::string> note = spellDiatonicDegreeRoot(keyContext, degree);
        if (!note) continue;
        const std::optional<Chord> chord = parseChordSymbol(*note + triad.quality);
        if (!chord) throwNoNumeral();
        std::optional<std::string> numeral = deriveRomanNumeral(*chord, keyContext);
        if (!numeral) throwNoNumeral();
        targets.push_back({triad.root, triad.quality, std::move(*numeral), false});
    }
    return targets;
}

void append(std::vector<ChordSuggestion>& list, std::optional<ChordSuggestion> suggestion) {
    if (suggestion) list.push_back(std::move(*suggestion));
}

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> options) {
    return std::find(options.begin(), options.end(), text) != options.end();
}

bool startsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return text.starts_with(p); });
}

enum class MediantClass { Major, Minor, Other };

MediantClass mediantClassOf(std::string_view quality) {
    if (isOneOf(quality, {"dim", "dim7", "m7b5", "ø"})) return MediantClass::Other;
    if (quality.empty() || startsWithAny(quality, {"maj", "6", "69", "add9", "7", "9", "11", "13"}) ||
        quality.find("sus") != std::string_view::npos) {
        return MediantClass::Major;
    }
    if (quality == "-" || quality.starts_with('m')) return MediantClass::Minor;
    return MediantClass::Other;
}

// The per-degree quality rules of the diatonic test.
bool matchesDegreeQualities(std::string_view q, std::string_view t, std::string_view s) {
    if (t.empty() && (q.empty() || q == "maj")) return true;
    if (q == t || q == s) return true;
    if (t == "m" && isOneOf(q, {"m6", "m69", "madd9"})) return true;
    if (t == "dim") return q == "m7b5";
    if (t.empty() && isOneOf(q, {"6", "69", "add9", "sus4"})) return true;
    if (s == "maj7" && isOneOf(q, {"maj9", "maj11", "maj13", "maj11add13"})) return true;
    if (s == "m7" && isOneOf(q, {"m9", "m11", "m13", "m11add13"})) return true;
    if (s == "7" && isOneOf(q, {"9", "11", "13", "11add13", "7sus4", "9sus4", "13sus4"})) return true;
    if (s == "mM7" && isOneOf(q, {"mM9", "mM11", "mM13", "mM11add13"})) return true;
    if (s == "m7b5") return q == "m7b5";
    return false;
}

}  // namespace

SpellingOptions applySpellingHint(SpellingOptions options, SpellingHint hint) {
    if (hint) options.preferFlats = *hint;
    return options;
}

std::optional<ChordSuggestion> makeTheorySuggestion(PitchClass root, std::string_view quality, std::uint8_t category,
                                                    std::string label, const SuggestionContext& context,
                                                    std::optional<PitchClass> target, std::string targetRoman,
                                                    std::string targetQuality, SuggestionKind kind, SpellingHint hint) {
    const std::optional<ChordQuality> resolved = lookupChordQuality(quality);
    if (!resolved) return std::nullopt;
    const KeyContext keyContext = context.keyContext();
    const SpellingOptions options = applySpellingHint(context.spellingOptions, hint);
    const std::optional<RenderedChord> rendered =
        renderChordInKey(RomanChord{root, resolved->name, std::nullopt, {}}, keyContext,
                         context.spellingOptions.simplifyAccidentals, options, std::nullopt);
    if (!rendered) return std::nullopt;

    ChordSuggestion suggestion;
    suggestion.chord = makeChord(root, *resolved, std::nullopt, rendered->displaySymbol);
    suggestion.roman = requireRomanNumeralFromSymbol(rendered->spelledSymbol, keyContext);
    suggestion.spelledSymbol = rendered->spelledSymbol;
    suggestion.category = category;
    suggestion.label = std::move(label);
    suggestion.isDiatonic = isDiatonicSuggestionChord(suggestion.chord, context);
    suggestion.target = target;
    suggestion.targetRoman = std::move(targetRoman);
    suggestion.targetQuality = std::move(targetQuality);
    suggestion.kind = kind;
    return suggestion;
}

bool isDiatonicSuggestionChord(const Chord& chord, const SuggestionContext& context) {
    static constexpr std::array<std::string_view, 36> kPlainQualities = {
        "",        "maj",  "m",     "-",     "dim",      "aug",  "+",     "6",     "69",
        "add9",    "m6",   "m69",   "madd9", "maj7",     "maj9", "maj11", "maj13", "maj11add13",
        "m7",      "m9",   "m11",   "m13",   "m11add13", "7",    "9",     "11",    "13",
        "11add13", "sus4", "7sus4", "9sus4", "13sus4",   "m7b5", "ø",     "mM7",   "mM9"};
    const std::string_view q = chord.quality;
    if (std::find(kPlainQualities.begin(), kPlainQualities.end(), q) == kPlainQualities.end()) return false;
    // The degree chords of `diatonicChordOfDegree`, read from the tables without copies.
    const ScaleKind scale = scaleKindOf(context.key);
    const ScaleIntervals& steps = scaleIntervals(scale);
    const DiatonicQualityList& triads = diatonicQualityList(scale, DiatonicChordSize::Triad);
    const DiatonicQualityList& sevenths = diatonicQualityList(scale, DiatonicChordSize::Seventh);
    for (int degree = 0; degree < 7; ++degree) {
        if (transposePitchClass(context.key.root, steps[degree]) != chord.root) continue;
        if (matchesDegreeQualities(q, triads[degree], sevenths[degree])) return true;
    }
    if (!context.key.isMinor() || context.key.isMelodicMinor()) return false;
    for (const PitchClass pc : chordPitchClasses(chord)) {
        if (scaleDegreeOf(context.key, pc) == 0) return false;
    }
    return !chord.bass || scaleDegreeOf(context.key, *chord.bass) != 0;
}

std::optional<std::string> spellDiatonicDegreeRoot(const KeyContext& key, int degree) {
    if (degree < 1 || degree > 7 || key.rootSpelling.empty()) return std::nullopt;
    const std::int32_t keyLetter = noteLetterIndex(static_cast<std::uint8_t>(key.rootSpelling[0]));
    if (keyLetter < 0) return std::nullopt;
    const std::string letter(1, noteLetters[(keyLetter + degree - 1) % 7]);
    const PitchClass pitchClass = transposePitchClass(key.key.root, scaleIntervalsOf(key.key)[degree - 1]);
    std::string note = spellPitchClassOnLetter(pitchClass, letter);
    if (note.empty()) return std::nullopt;
    return note;
}

std::string romanNumeralHead(std::string_view numeral) {
    std::size_t at = 0;
    const auto skipRun = [&](std::initializer_list<std::string_view> marks) {
        for (bool moved = true; moved;) {
            moved = false;
            for (const std::string_view mark : marks) {
                if (numeral.substr(at).starts_with(mark)) {
                    at += mark.size();
                    moved = true;
                    break;
                }
            }
        }
    };
    skipRun({"b", "#", "♭", "♯"});
    skipRun({"I", "V", "i", "v"});
    skipRun({"o", "+", "°", "ø"});
    return std::string(at == 0 ? numeral : numeral.substr(0, at));
}

std::vector<ChordSuggestion> suggestSecondaryDominants(const SuggestionContext& context) {
    std::vector<ChordSuggestion> list;
    PairClaims claims;
    for (const SuggestionTarget& target : dominantTargets(context, 2)) {
        if (target.root == context.key.root) continue;
        const PitchClass root = transposePitchClass(target.root, 7);
        const SpellingHint hint = target.fromNextChord ? romanAccidentalPreference(target.numeral) : kNoHint;
        const std::string label = "V of " + romanNumeralHead(target.numeral);
        for (const std::string_view quality : kDominantColourQualities) {
            if (!claims.claim(quality, root)) continue;
            append(list, makeTheorySuggestion(root, quality, kSecondaryDominantCategory, label, context, target.root,
                                              target.numeral, target.quality, SuggestionKind::SecondaryDominant, hint));
        }
    }
    return list;
}

std::vector<ChordSuggestion> suggestTritoneSubstitutions(const SuggestionContext& context) {
    std::vector<ChordSuggestion> list;
    PairClaims claims;
    for (const SuggestionTarget& target : dominantTargets(context, 1)) {
        const PitchClass root = transposePitchClass(target.root, 1);
        const std::string label = "→ " + romanNumeralHead(target.numeral);
        for (const std::string_view quality : kDominantColourQualities) {
            if (!claims.claim(quality, root)) continue;
            append(list,
                   makeTheorySuggestion(root, quality, kTritoneSubCategory, label, context, target.root, target.numeral,
                                        target.quality, SuggestionKind::TritoneSubstitute, kFlats));
        }
    }
    return list;
}

std::vector<ChordSuggestion> suggestBorrowedChords(const SuggestionContext& context) {
    MusicalKey parallel = context.key;
    parallel.mode = context.key.isMinor() ? kMajorMode : kMinorMode;
    parallel.minorScaleType = kNaturalMinorScale;

    std::vector<ChordSuggestion> list;
    PairClaims claims;
    const auto propose = [&](PitchClass root, const std::vector<std::string_view>& qualities, const std::string& family,
                             SpellingHint hint) {
        for (const std::string_view quality : qualities) {
            if (!claims.claim(quality, root)) continue;
            std::optional<ChordSuggestion> made =
                makeTheorySuggestion(root, quality, kModalInterchangeCategory, {}, context, std::nullopt, {}, family,
                                     SuggestionKind::Borrowed, hint);
            if (!made) continue;
            made->label = romanNumeralHead(made->roman);
            list.push_back(std::move(*made));
        }
    };
    const auto borrowDegree = [&](int degree, bool withSharpEleven, SpellingHint hint) {
        const DiatonicChord triad = diatonicChordOfDegree(parallel, degree, false);
        const DiatonicChord seventh = diatonicChordOfDegree(parallel, degree, true);
        std::string family = "major";
        if (isOneOf(triad.quality, {"dim", "m7b5", "ø"})) {
            family = "diminished";
        } else if (isOneOf(triad.quality, {"m", "-"})) {
            family = "minor";
        } else if (seventh.quality == "7") {
            family = "major_dominant";
        }
        std::vector<std::string_view> qualities;
        if (family == "minor") {
            qualities.assign(kMinorBorrowedQualities.begin(), kMinorBorrowedQualities.end());
        } else if (family == "diminished") {
            qualities.assign(kDiminishedQualities.begin(), kDiminishedQualities.end());
        } else {
            qualities = majorBorrowedQualities(withSharpEleven, seventh.quality == "7");
        }
        propose(triad.root, qualities, family, hint);
    };

    if (context.key.isMinor()) {
        borrowDegree(4, true, kNoHint);
        borrowDegree(6, false, kSharps);
        borrowDegree(1, false, kNoHint);
    } else {
        for (const int degree : {4, 6, 7, 1, 3, 2}) borrowDegree(degree, false, kFlats);
        propose(transposePitchClass(context.key.root, 1), majorBorrowedQualities(true, false), "major", kFlats);
    }
    return list;
}

std::vector<ChordSuggestion> suggestPassingDiminished(const SuggestionContext& context) {
    const KeyContext keyContext = context.keyContext();
    std::vector<std::pair<PitchClass, std::string>> targets;
    if (context.nextChord) targets.emplace_back(context.nextChord->root, context.nextChord->quality);
    for (int degree = 1; degree <= 7; ++degree) {
        const DiatonicChord triad = diatonicChordOfDegree(context.key, degree, false);
        if (triad.quality.find("dim") == std::string::npos) targets.emplace_back(triad.root, triad.quality);
    }

    std::vector<ChordSuggestion> list;
    std::array<bool, 12> handled{};
    for (const auto& [root, quality] : targets) {
        if (handled[root]) continue;
        handled[root] = true;
        const std::optional<RenderedChord> rendered =
            renderChordInKey(RomanChord{root, quality, std::nullopt, {}}, keyContext,
                             context.spellingOptions.simplifyAccidentals, context.spellingOptions, std::nullopt);
        if (!rendered) continue;
        const std::string note = rootSpellingToken(rendered->displaySymbol);
        const std::string numeral = requireRomanNumeralFromSymbol(rendered->spelledSymbol, keyContext);
        const auto side = [&](int offset, const char* arrow, SuggestionKind kind, SpellingHint hint) {
            for (const std::string_view dim : kDiminishedQualities) {
                append(list, makeTheorySuggestion(transposePitchClass(root, offset), dim, kDiminishedApproachCategory,
                                                  arrow + note, context, root, numeral, quality, kind, hint));
            }
        };
        side(11, "↑ ", SuggestionKind::PassingFromBelow, kSharps);
        side(1, "↓ ", SuggestionKind::PassingFromAbove, kFlats);
    }

    if (!context.prevChords.empty()) {
        const Chord& previous = context.prevChords.back();
        const std::vector<PitchClass> tones = chordPitchClasses(previous);
        for (const auto& row : kCommonToneRows) {
            const auto shared = std::count_if(row.begin(), row.end(), [&](PitchClass pc) {
                return std::find(tones.begin(), tones.end(), pc) != tones.end();
            });
            if (shared < 2) continue;
            const std::optional<RenderedChord> rendered =
                renderChordInKey(RomanChord{previous.root, previous.quality, std::nullopt, {}}, keyContext,
                                 context.spellingOptions.simplifyAccidentals, context.spellingOptions, std::nullopt);
            if (!rendered) continue;
            append(list, makeTheorySuggestion(row[0], "dim7", kDiminishedApproachCategory,
                                              "CT on " + rootSpellingToken(rendered->displaySymbol), context,
                                              std::nullopt, {}, {}, SuggestionKind::CommonTone, kNoHint));
        }
    }
    return list;
}

std::vector<ChordSuggestion> suggestChromaticMediants(const SuggestionContext& context) {
    PitchClass reference = context.key.root;
    MediantClass kind = context.key.isMinor() ? MediantClass::Minor : MediantClass::Major;
    if (!context.prevChords.empty()) {
        reference = context.prevChords.back().root;
        kind = mediantClassOf(context.prevChords.back().quality);
    }
    if (kind == MediantClass::Other) return {};
    const QualityList qualities =
        kind == MediantClass::Major ? QualityList(kMajorMediantQualities) : QualityList(kMinorMediantQualities);
    struct Step {
        int interval;
        const char* label;
        SpellingHint hint;
    };
    static constexpr std::array<Step, 4> kSteps = {
        {{3, "m3 ↑", kFlats}, {4, "M3 ↑", kNoHint}, {8, "M3 ↓", kFlats}, {9, "m3 ↓", kNoHint}}};

    std::vector<ChordSuggestion> list;
    for (const Step& step : kSteps) {
        const PitchClass root = transposePitchClass(reference, step.interval);
        for (const std::string_view quality : qualities) {
            std::optional<ChordSuggestion> made =
                makeTheorySuggestion(root, quality, kChromaticMediantCategory, step.label, context, std::nullopt, {},
                                     {}, SuggestionKind::ChromaticMediant, step.hint);
            if (made && !made->isDiatonic) list.push_back(std::move(*made));
        }
    }
    return list;
}

}  // namespace quillex
