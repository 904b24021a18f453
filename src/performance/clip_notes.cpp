// Clip note writers; compact numbers use integer arithmetic only, so no printf rounding enters a fingerprint.
#include "performance/clip_notes.h"

#include <cmath>
#include <cstdint>

#include "digest/sha256.h"

namespace quillex {
namespace {

void appendUnsigned(std::string& out, std::uint64_t value) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out += digits[--n];
}

void appendInteger(std::string& out, std::int64_t value) {
    if (value < 0) {
        out += '-';
        appendUnsigned(out, 0 - static_cast<std::uint64_t>(value));
    } else {
        appendUnsigned(out, static_cast<std::uint64_t>(value));
    }
}

void appendCompactNumber(std::string& out, double x) {
    const double scaled = std::round(x * 10000.0);
    std::int64_t n = 0;
    // 2^63 is the first value past the range; the test is false for NaN.
    if (scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0) n = static_cast<std::int64_t>(scaled);
    if (n == 0) {
        out += '0';
        return;
    }
    const std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    if (n < 0) out += '-';
    appendUnsigned(out, magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction == 0) return;
    char digits[4];
    for (int i = 3; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    int used = 4;
    while (digits[used - 1] == '0') --used;
    out += '.';
    out.append(digits, static_cast<std::size_t>(used));
}

}  // namespace

std::string formatCompactNumber(double x) {
    std::string out;
    appendCompactNumber(out, x);
    return out;
}

std::string writeNotesCompactText(std::span<const PhraseNote> notes) {
    std::string out;
    out.reserve(2 + notes.size() * 64);
    out += '[';
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const PhraseNote& note = notes[i];
        if (i > 0) out += ',';
        out += "{\"pitch\":";
        appendInteger(out, note.pitch);
        out += ",\"start_time\":";
        appendCompactNumber(out, note.start);
        out += ",\"duration\":";
        appendCompactNumber(out, note.duration);
        out += ",\"velocity\":";
        appendInteger(out, note.velocity);
        out += '}';
    }
    out += ']';
    return out;
}

std::string computeNotesFingerprint(std::span<const PhraseNote> notes) {
    const std::string text = writeNotesCompactText(notes);
    std::uint8_t digest[kSha256DigestSize];
    sha256(text.data(), text.size(), digest);
    return toLowerHex(digest, sizeof digest);
}

nlohmann::json writeClipNotesJson(std::span<const PhraseNote> notes) {
    nlohmann::json out = nlohmann::json::array();
    out.get_ref<nlohmann::json::array_t&>().reserve(notes.size());
    for (const PhraseNote& note : notes) {
        out.push_back({{"pitch", note.pitch},
                       {"start_time", note.start},
                       {"duration", note.duration},
                       {"velocity", note.velocity}});
    }
    return out;
}

nlohmann::json writeNotesFlat(std::span<const PhraseNote> notes) {
    nlohmann::json out = nlohmann::json::array();
    out.get_ref<nlohmann::json::array_t&>().reserve(notes.size());
    for (const PhraseNote& note : notes) out.push_back({note.pitch, note.start, note.duration, note.velocity});
    return out;
}

nlohmann::json buildClipPayload(std::span<const PhraseNote> notes, double length, std::string_view label) {
    return {{"notes", writeClipNotesJson(notes)}, {"length", length}, {"metadata", {{"clipLabel", label}}}};
}

}  // namespace quillex
