// Preset names: trimming, length in code points, and strict UTF-8 against an independent decoder.
#include "storage/preset_name.h"

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace quillex {
namespace {

using Status = PresetNameScan::Status;

std::string refusal(std::string_view name) {
    try {
        return canonicalPresetName(name, "Rhythm preset");
    } catch (const std::runtime_error& e) {
        return std::string("refused: ") + e.what();
    }
}

// Well-formed sequences after the Unicode standard's byte table (Table 3-7): a range
// table per lead byte rather than bit arithmetic, so it shares no logic with the decoder.
PresetNameScan oracleScan(const std::string& text) {
    std::size_t count = 0;
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    while (i < text.size()) {
        const std::uint8_t b0 = byte(i);
        std::size_t length = 0;
        std::uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b0 <= 0x7F)
            length = 1;
        else if (b0 >= 0xC2 && b0 <= 0xDF)
            length = 2;
        else if (b0 == 0xE0)
            length = 3, lo = 0xA0;
        else if ((b0 >= 0xE1 && b0 <= 0xEC) || b0 == 0xEE || b0 == 0xEF)
            length = 3;
        else if (b0 == 0xED)
            length = 3, hi = 0x9F;
        else if (b0 == 0xF0)
            length = 4, lo = 0x90;
        else if (b0 >= 0xF1 && b0 <= 0xF3)
            length = 4;
        else if (b0 == 0xF4)
            length = 4, hi = 0x8F;
        else
            return {Status::invalidUtf8, 0};
        if (i + length > text.size()) return {Status::invalidUtf8, 0};
        if (length > 1 && (byte(i + 1) < lo || byte(i + 1) > hi)) return {Status::invalidUtf8, 0};
        for (std::size_t k = 2; k < length; ++k) {
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return {Status::invalidUtf8, 0};
        }
        // C0 controls and DEL are single bytes; the C1 controls U+0080..U+009F are C2 80..C2 9F.
        const bool control = (length == 1 && (b0 < 0x20 || b0 == 0x7F)) || (b0 == 0xC2 && byte(i + 1) <= 0x9F);
        if (control) return {Status::controlCharacter, 0};
        i += length;
        ++count;
    }
    return {Status::valid, count};
}

TEST(PresetName, TrimsBlanksAndCountsCodePoints) {
    EXPECT_EQ(refusal("  a  "), "a");
    EXPECT_EQ(refusal("\t\r\n Lead line \n"), "Lead line");
    EXPECT_EQ(refusal(""), "refused: Rhythm preset name must not be empty");
    EXPECT_EQ(refusal(" \t\r\n"), "refused: Rhythm preset name must not be empty");
    EXPECT_EQ(refusal("two\twords"), "refused: Preset name cannot contain control characters");
    EXPECT_EQ(refusal("bell\x07"), "refused: Preset name cannot contain control characters");
    EXPECT_EQ(refusal("c1 \xc2\x85"), "refused: Preset name cannot contain control characters");
    EXPECT_EQ(refusal("del\x7f"), "refused: Preset name cannot contain control characters");
    EXPECT_EQ(refusal("nbsp\xc2\xa0"), "nbsp\xc2\xa0");  // U+00A0 is neither blank here nor a control

    const std::string emoji = "\xf0\x9f\x8e\xb5";  // U+1F3B5, four bytes
    std::string sixtyFour;
    for (int i = 0; i < 64; ++i) sixtyFour += emoji;
    EXPECT_EQ(refusal(sixtyFour), sixtyFour);
    EXPECT_EQ(refusal(sixtyFour + emoji), "refused: Rhythm preset name must contain 1 to 64 characters");
    EXPECT_EQ(refusal(std::string(64, 'x')), std::string(64, 'x'));
    EXPECT_EQ(refusal(std::string(65, 'x')), "refused: Rhythm preset name must contain 1 to 64 characters");
    EXPECT_EQ(refusal("  " + std::string(64, 'x') + "  "), std::string(64, 'x'));
}

TEST(PresetName, RefusesEveryMalformedForm) {
    for (const char* bad : {"\x80", "\xbf", "\xc0\xaf", "\xc1\xbf", "\xe0\x80\xaf", "\xe0\x9f\xbf", "\xed\xa0\x80",
                            "\xed\xbf\xbf", "\xf0\x8f\xbf\xbf", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xf8", "\xff",
                            "\xc3", "\xe2\x98", "\xf0\x9f\x8e", "\xc3\x28", "a\xe2\x28\xa1"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(bad)));
        EXPECT_EQ(refusal(bad), "refused: Preset name is not valid UTF-8");
    }
    // The first fault wins: a control character before a broken byte is reported as such.
    EXPECT_EQ(refusal("a\x01\xff"), "refused: Preset name cannot contain control characters");
    EXPECT_EQ(refusal("a\xff\x01"), "refused: Preset name is not valid UTF-8");
    EXPECT_EQ(countPresetNameCodePoints("\xef\xbf\xbf\xf4\x8f\xbf\xbf\xed\x9f\xbf\xee\x80\x80"), 4u);
}

#ifndef QUILLEX_SANITIZED
// Every text of one, two and three bytes: 16.8 million cases, so only in the optimised build.
TEST(PresetName, AgreesWithTheIndependentDecoderOnEveryShortText) {
    std::string text;
    std::size_t disagreements = 0;
    const auto check = [&] {
        if (scanPresetName(text) != oracleScan(text) && ++disagreements <= 5) {
            ADD_FAILURE() << ::testing::PrintToString(text);
        }
    };
    for (int a = 0; a < 256; ++a) {
        text.assign(1, static_cast<char>(a));
        check();
        for (int b = 0; b < 256; ++b) {
            text.assign({static_cast<char>(a), static_cast<char>(b)});
            check();
            text.push_back('\0');
            for (int c = 0; c < 256; ++c) {
                text[2] = static_cast<char>(c);
                check();
            }
        }
    }
    EXPECT_EQ(disagreements, 0u);
}
#endif

// Longer texts built from valid sequences of every length with occasional corrupt bytes.
TEST(PresetName, AgreesWithTheIndependentDecoderOnRandomLongerTexts) {
    std::mt19937 rng(20261207);
#ifdef QUILLEX_SANITIZED
    constexpr int kTexts = 20000;
#else
    constexpr int kTexts = 200000;
#endif
    const auto encode = [](std::uint32_t cp, std::string& out) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    };
    const std::uint32_t limits[] = {0x80, 0x800, 0x10000, 0x110000};
    std::size_t valid = 0;
    for (int n = 0; n < kTexts; ++n) {
        std::string text;
        const int points = static_cast<int>(rng() % 12) + 4;
        for (int p = 0; p < points; ++p) {
            encode(rng() % limits[rng() % 4], text);  // surrogates included: the oracle must refuse them
        }
        if (rng() % 3 == 0) text[rng() % text.size()] = static_cast<char>(rng());
        const auto expected = oracleScan(text);
        valid += expected.status == Status::valid;
        ASSERT_EQ(scanPresetName(text), expected) << ::testing::PrintToString(text);
    }
    EXPECT_GT(valid, static_cast<std::size_t>(kTexts / 10));  // the sample reaches the valid path
}

}  // namespace
}  // namespace quillex
