// Token checks in all 36 keys and the mode check of progression records.
#include "generation/corpus_source_validation.h"

#include <set>
#include <sstream>

#include "theory/chord_symbol.h"
#include "theory/key_spelling.h"
#include "theory/musical_key.h"
#include "theory/pitch_class.h"
#include "theory/roman_numeral_derivation.h"
#include "theory/roman_numeral_resolution.h"

namespace quillex {
namespace {

std::optional<std::string> canonicalQuality(std::string_view quality) {
    const auto found = lookupChordQuality(quality.empty() ? std::string_view("maj") : quality);
    if (!found) return std::nullopt;
    return found->name;
}

bool sameChord(const RomanChord& x, const RomanChord& y) {
    return x.root == y.root && x.bass == y.bass && canonicalQuality(x.quality) == canonicalQuality(y.quality);
}

// The numeral of a rendered symbol as corpus tokens write it: a slash bass
// becomes the numeral of a major triad on the bass note.
std::optional<std::string> deriveCorpusToken(std::string_view spelledSymbol, const KeyContext& context,
                                             std::optional<PitchClass> bass, SpellingOptions options) {
    const auto derived = deriveRomanNumeralFromSymbol(spelledSymbol, context);
    if (!derived) return std::nullopt;
    std::string token = derived->substr(0, derived->find('/'));
    if (!bass) return token;
    const auto bassSymbol = spellChordSymbolInKey(context, *bass, "", std::nullopt, options, std::nullopt);
    if (!bassSymbol) return std::nullopt;
    const auto bassNumeral = deriveRomanNumeralFromSymbol(*bassSymbol, context);
    if (!bassNumeral) return std::nullopt;
    return token + "/" + bassNumeral->substr(0, bassNumeral->find('/'));
}

std::string keyName(const KeyContext& context) {
    const auto& key = context.key;
    return context.rootSpelling + (key.isMinor() ? (key.isMelodicMinor() ? " melodic minor" : " minor") : " major");
}

}  // namespace

std::optional<std::string> checkRomanTokenInAllKeys(std::string_view token) {
    const std::string shown(token);
    for (PitchClass root = 0; root < 12; ++root) {
        for (int variant = 0; variant < 3; ++variant) {
            KeyContext context;
            context.key.root = root;
            context.key.mode = variant == 0 ? kMajorMode : kMinorMode;
            context.key.minorScaleType = variant == 2 ? kMelodicMinorScale : kNaturalMinorScale;
            context.rootSpelling = std::string(defaultNoteNames[root]);
            const auto chord = romanNumeralToChord(token, context.key);
            if (!chord) return shown + " does not resolve in " + keyName(context);
            if (!canonicalQuality(chord->quality)) {
                return shown + " names an unknown quality in " + keyName(context);
            }
            SpellingOptions options = resolveSpellingOptions(SpellingPreference::Fifths, false, root, "");
            if (const auto flats = romanAccidentalPreference(token)) options.preferFlats = *flats;
            for (const bool simplify : {false, true}) {
                options.simplifyAccidentals = simplify;
                const auto rendered = renderChordInKey(*chord, context, simplify, options, std::nullopt);
                if (!rendered) return shown + " does not render in " + keyName(context);
                const auto derived = deriveCorpusToken(rendered->spelledSymbol, context, chord->bass, options);
                if (!derived) {
                    return shown + " rendered as " + rendered->spelledSymbol + " derives no numeral in " +
                           keyName(context);
                }
                const auto back = romanNumeralToChord(*derived, context.key);
                if (!back || !sameChord(*back, *chord)) {
                    return shown + " re-derives as " + *derived + ", another chord, in " + keyName(context);
                }
            }
        }
    }
    return std::nullopt;
}

std::string describeProgressionReading(const RomanProgressionProfile& profile) {
    if (!profile.isMinor) return "major";
    return profile.isMelodic ? "minor melodic" : "minor natural";
}

std::optional<std::string> checkRecordMode(const ProgressionSourceRecord& record) {
    const auto profile = scoreRomanProgression(record.tokens);
    if (profile.isMinor == (record.mode == 1)) return std::nullopt;
    return "reads as " + describeProgressionReading(profile) + " but is filed under " +
           (record.mode == 1 ? "minor" : "major");
}

void validateCorpusSources(CorpusSources& sources) {
    std::set<std::string> tokens;
    std::set<std::string> seen;
    for (const auto& record : sources.records) {
        const std::string where = record.genreId + ".txt:" + std::to_string(record.lineNumber) + ": ";
        if (const auto problem = checkRecordMode(record)) sources.errors.push_back(where + *problem);
        if (record.tokens.size() != 4 && record.tokens.size() != 6 && record.tokens.size() != 8) {
            sources.errors.push_back(where + "length must be 4, 6 or 8");
        }
        std::ostringstream key;
        key << record.genreId << '|' << int(record.mode);
        for (const auto& token : record.tokens) key << ' ' << token;
        if (!seen.insert(key.str()).second) sources.errors.push_back(where + "duplicate progression");
        tokens.insert(record.tokens.begin(), record.tokens.end());
        tokens.insert(record.sourceTokens.begin(), record.sourceTokens.end());
    }
    for (const auto& [pair, count] : sources.counts.pairs) {
        tokens.insert(pair.first);
        tokens.insert(pair.second);
    }
    for (const auto& [triple, count] : sources.counts.triples) {
        tokens.insert(std::get<0>(triple));
        tokens.insert(std::get<1>(triple));
        tokens.insert(std::get<2>(triple));
    }
    for (const auto& token : tokens) {
        if (const auto problem = checkRomanTokenInAllKeys(token)) sources.errors.push_back(*problem);
        const std::string glyph = glyphRomanToken(token);
        if (glyph != token) {
            if (const auto problem = checkRomanTokenInAllKeys(glyph)) sources.errors.push_back(*problem);
        }
    }
}

}  // namespace quillex
