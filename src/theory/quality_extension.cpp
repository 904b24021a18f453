// Merging an extension text (figures, alterations) into a base quality.
#include "theory/quality_extension.h"

#include "theory/chord_symbol.h"

namespace quillex {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool isKnownQuality(std::string_view text) { return lookupChordQuality(text).has_value(); }

struct BaseReading {
    ExtensionBaseFamily family;
    bool hasSeventh = false;
    bool diminishedOrHalf = false;
    std::int32_t degree = 0;
};

BaseReading readBase(std::string_view base) {
    BaseReading r;
    r.family.plainDominant = base == "7" || base == "9" || base == "11" || base == "13" || base == "11add13";
    r.family.minorMajor = base.starts_with("mM");
    r.family.major = !r.family.minorMajor && (contains(base, "maj") || contains(base, "M7"));
    r.family.minor = !r.family.minorMajor && base.starts_with("m") && !contains(base, "maj");
    r.hasSeventh = contains(base, "7") || contains(base, "9") || contains(base, "11") || contains(base, "13");
    const bool halfDiminished = contains(base, "m7b5") || contains(base, "\u00F8");
    r.diminishedOrHalf = halfDiminished || contains(base, "dim");
    r.degree = contains(base, "13") ? 13 : contains(base, "11") ? 11 : contains(base, "9") ? 9 : 0;
    return r;
}

struct ExtensionReading {
    bool sixth = false;
    bool sixNine = false;
    bool suspended = false;
    bool elevenAndThirteen = false;
    std::int32_t degree = 0;
    bool sharpFifth = false;
    bool flatFifth = false;
    bool flatNinth = false;
    bool sharpNinth = false;
    bool sharpEleventh = false;
    bool flatThirteenth = false;
    bool altered = false;
    bool addedNinth = false;
    bool addedEleventh = false;
};

ExtensionReading readExtension(std::string_view ext) {
    ExtensionReading r;
    r.sixth = contains(ext, "6") && !contains(ext, "b6") && !contains(ext, "#6");
    r.sixNine = contains(ext, "69") || contains(ext, "6/9");
    r.suspended = contains(ext, "sus");
    const bool thirteenth = firstOccurrenceFreeOf(ext, "13", "b#");
    const bool eleventh = firstOccurrenceFreeOf(ext, "11", "#");
    const bool ninth = firstOccurrenceFreeOf(ext, "9", "b#d");
    r.degree = thirteenth ? 13 : eleventh ? 11 : ninth ? 9 : 0;
    r.elevenAndThirteen = eleventh && thirteenth;
    const bool halfDiminished = contains(ext, "m7b5") || contains(ext, "\u00F8");
    const std::size_t plus = ext.find('+');
    r.sharpFifth =
        contains(ext, "#5") || contains(ext, "aug") || (plus != std::string_view::npos && plus < ext.find('7'));
    r.flatFifth = contains(ext, "b5") && !halfDiminished;
    r.flatNinth = contains(ext, "b9");
    r.sharpNinth = contains(ext, "#9");
    r.sharpEleventh = contains(ext, "#11");
    r.flatThirteenth = contains(ext, "b13");
    r.altered = contains(ext, "alt");
    r.addedNinth = contains(ext, "add9") || contains(ext, "add2");
    r.addedEleventh = contains(ext, "add11") || contains(ext, "add4");
    return r;
}

}  // namespace

bool firstOccurrenceFreeOf(std::string_view text, std::string_view part, std::string_view blockers) {
    const std::size_t at = text.find(part);
    if (at == std::string_view::npos) return false;
    return at == 0 || blockers.find(text[at - 1]) == std::string_view::npos;
}

std::string spellExtendedQuality(const ExtensionBaseFamily& family, std::int32_t degree, bool addThirteenth) {
    std::string_view prefix;
    if (family.plainDominant) {
        prefix = "";
    } else if (family.major) {
        prefix = "maj";
    } else if (family.minorMajor) {
        prefix = "mM";
    } else if (family.minor) {
        prefix = "m";
    } else {
        return {};
    }
    std::string_view figure = addThirteenth  ? "11add13"
                              : degree == 13 ? "13"
                              : degree == 11 ? "11"
                              : degree == 9  ? "9"
                                             : "7";
    return std::string(prefix).append(figure);
}

std::string mergeQualityExtension(std::string_view extension, std::string_view base) {
    const ExtensionReading ext = readExtension(extension);
    if (ext.suspended) return std::string(extension);
    const BaseReading b = readBase(base);
    if (b.diminishedOrHalf) return std::string(base);

    if (ext.sixth && !b.hasSeventh) {
        if (b.family.minor) return ext.sixNine ? "m69" : "m6";
        return ext.sixNine ? "69" : "6";
    }

    std::string result(base);
    if (b.hasSeventh) {
        if (ext.elevenAndThirteen) {
            std::string spelled = spellExtendedQuality(b.family, 0, true);
            if (!spelled.empty()) result = std::move(spelled);
        } else if (ext.degree > b.degree) {
            std::string spelled = spellExtendedQuality(b.family, ext.degree, false);
            if (!spelled.empty()) result = std::move(spelled);
        }
    }

    if (b.family.plainDominant) {
        if (!ext.altered) {
            std::string suffix;
            if (ext.sharpFifth && !ext.flatFifth) suffix += "#5";
            if (ext.flatFifth && !ext.sharpFifth) suffix += "b5";
            if (ext.flatNinth && !ext.sharpNinth) suffix += "b9";
            if (ext.sharpNinth && !ext.flatNinth) suffix += "#9";
            if (ext.sharpEleventh) suffix += "#11";
            if (ext.flatThirteenth) suffix += "b13";
            if (!suffix.empty() && isKnownQuality(result + suffix)) result += suffix;
        } else if (result == "7" || result == "9" || result == "11" || result == "13") {
            result = "7alt";
        }
    }

    if ((b.family.major || b.family.minor) && ext.sharpEleventh && isKnownQuality(result + "#11")) {
        result += "#11";
    }

    if (!b.hasSeventh) {
        if (ext.addedNinth) {
            const std::string_view added = b.family.minor ? "madd9" : "add9";
            if (isKnownQuality(added)) result = added;
        } else if (ext.addedEleventh && isKnownQuality("add11") && !b.family.minor) {
            result = "add11";
        }
    }
    return result;
}

}  // namespace quillex
