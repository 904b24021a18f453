// Clip labels, cut on character boundaries.
#include "performance/clip_label.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace quillex {
namespace {

constexpr std::size_t kLongestWholeText = 96;
constexpr std::size_t kCutLength = 93;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

const std::array<const char*, 12>& pitchNames(std::string_view preference) {
    static constexpr std::array<const char*, 12> sharps = {"C",  "C#", "D",  "D#", "E",  "F",
                                                           "F#", "G",  "G#", "A",  "A#", "B"};
    static constexpr std::array<const char*, 12> fifths = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                           "F#", "G",  "Ab", "A",  "Bb", "B"};
    static constexpr std::array<const char*, 12> flats = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                          "Gb", "G",  "Ab", "A",  "Bb", "B"};
    if (preference == "sharps") return sharps;
    if (preference == "fifths") return fifths;
    return flats;
}

const std::vector<ProgressionSlot>& slotsOf(const ProjectDocument& document) {
    static const std::vector<ProgressionSlot> none;
    return document.progression ? document.progression->slots : none;
}

}  // namespace

std::string formatClipLabel(std::string_view prefix, std::string_view text) {
    std::string body;
    if (text.empty()) {
        body = "Empty";
    } else if (text.size() <= kLongestWholeText) {
        body = text;
    } else {
        // Never inside a multi-byte character: a split one could not be sent as JSON.
        std::size_t cut = kCutLength;
        while (cut > 0 && isContinuationByte(text[cut])) --cut;
        while (cut > 0 && isBlank(text[cut - 1])) --cut;
        body.assign(text.substr(0, cut));
        body += "...";
    }
    std::string label(prefix);
    label += " [";
    label += body;
    label += "]";
    return label;
}

std::string mainClipLabel(const ProjectDocument& document) {
    const std::vector<ProgressionSlot>& slots = slotsOf(document);
    std::string text;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i > 0) text += ' ';
        text += slots[i].isRest ? std::string_view("Rest") : std::string_view(slots[i].chord.original);
    }
    return formatClipLabel("QX", text);
}

std::string bassClipLabel(const ProjectDocument& document, std::span<const TriggerRow> rows,
                          std::string_view spellingPreference) {
    const auto& names = pitchNames(spellingPreference);
    const std::vector<ProgressionSlot>& slots = slotsOf(document);
    std::string text;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i > 0) text += ' ';
        if (slots[i].isRest) {
            text += "Rest";
            continue;
        }
        const TriggerPage* page = i < rows.size() && rows[i].pageCount > 0 ? &rows[i].pages[0] : nullptr;
        if (!page || page->noteCount == 0) throw std::runtime_error("Bass clip label is missing a resolved row");
        const std::size_t count = std::min<std::size_t>(page->noteCount, kTriggerNotesPerPage);
        const std::uint8_t lowest = *std::min_element(page->pitches.begin(), page->pitches.begin() + count);
        text += names[lowest % 12];
    }
    return formatClipLabel("QX Bass", text);
}

}  // namespace quillex
