// Note labels of voicings and implied slash basses.
#include "voicing/voicing_display.h"
#include "chord_samples.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillex {
namespace {

using testing::chordOf;

KeyContext keyOf(PitchClass root, std::string token, bool minor = false) {
    KeyContext key;
    key.key.root = root;
    key.key.mode = minor ? kMinorMode : kMajorMode;
    key.rootSpelling = std::move(token);
    return key;
}

using Labels = std::vector<std::string>;

TEST(DisplayMetadata, RootPositionHasNoSlashBass) {
    const auto m =
        buildVoicingDisplayMetadata(chordOf("C"), keyOf(0, "C"), true, std::vector<std::int32_t>{60, 64, 67});
    EXPECT_EQ(m.noteLabels, (Labels{"C", "E", "G"}));
    EXPECT_FALSE(m.slashBass.has_value());
}

TEST(DisplayMetadata, InversionImpliesASlashBassSpelledInTheKey) {
    const auto m =
        buildVoicingDisplayMetadata(chordOf("C"), keyOf(0, "C"), true, std::vector<std::int32_t>{64, 67, 72});
    EXPECT_EQ(m.noteLabels, (Labels{"E", "G", "C"}));
    EXPECT_EQ(m.slashBass, "E");
}

TEST(DisplayMetadata, ExplicitSlashBassKeepsItsOwnLetter) {
    const auto m =
        buildVoicingDisplayMetadata(chordOf("C/E"), keyOf(0, "C"), true, std::vector<std::int32_t>{52, 60, 67});
    EXPECT_EQ(m.noteLabels, (Labels{"E", "C", "G"}));
    EXPECT_FALSE(m.slashBass.has_value());
    const auto flat =
        buildVoicingDisplayMetadata(chordOf("Ab/Gb"), keyOf(0, "C"), false, std::vector<std::int32_t>{54, 56, 60, 63});
    EXPECT_EQ(flat.noteLabels.front(), "Gb");
}

TEST(DisplayMetadata, LettersComeFromChordDegreesNotTheKey) {
    for (const auto& [root, token] :
         {std::pair{PitchClass{3}, "Eb"}, std::pair{PitchClass{6}, "Gb"}, std::pair{PitchClass{0}, "C"}}) {
        const auto m =
            buildVoicingDisplayMetadata(chordOf("D"), keyOf(root, token), true, std::vector<std::int32_t>{62, 66, 69});
        EXPECT_EQ(m.noteLabels, (Labels{"D", "F#", "A"}));
    }
}

TEST(DisplayMetadata, DiminishedSeventhIsWrittenAsASeventhAndSimplified) {
    const std::vector<std::int32_t> notes{60, 63, 66, 69};
    EXPECT_EQ(buildVoicingDisplayMetadata(chordOf("Cdim7"), keyOf(0, "C"), false, notes).noteLabels,
              (Labels{"C", "Eb", "Gb", "Bbb"}));
    EXPECT_EQ(buildVoicingDisplayMetadata(chordOf("Cdim7"), keyOf(0, "C"), true, notes).noteLabels,
              (Labels{"C", "Eb", "Gb", "A"}));
}

TEST(DisplayMetadata, RespelledRootSimplifies) {
    const std::vector<std::int32_t> notes{60, 64, 67};
    EXPECT_EQ(buildVoicingDisplayMetadata(chordOf("B#"), keyOf(0, "C"), true, notes).noteLabels.front(), "C");
    EXPECT_EQ(buildVoicingDisplayMetadata(chordOf("B#"), keyOf(0, "C"), false, notes).noteLabels,
              (Labels{"B#", "D##", "F##"}));
}

TEST(DisplayMetadata, NotesKeepTheirOrderAndTheFirstLowestIsReplaced) {
    const auto m =
        buildVoicingDisplayMetadata(chordOf("C"), keyOf(0, "C"), true, std::vector<std::int32_t>{67, 64, 72, 64});
    EXPECT_EQ(m.noteLabels, (Labels{"G", "E", "C", "E"}));
    EXPECT_EQ(m.slashBass, "E");
}

TEST(DisplayMetadata, FailuresCarryTheirReasons) {
    auto message = [](auto&& call) {
        try {
            call();
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message([] { buildVoicingDisplayMetadata(chordOf("C"), keyOf(0, "C"), true, {}); }),
              "Cannot build voicing display metadata without MIDI notes");
    Chord bad = chordOf("C");
    bad.symbol = "?";
    EXPECT_EQ(message([&] { buildVoicingDisplayMetadata(bad, keyOf(0, "C"), true, std::vector<std::int32_t>{60}); }),
              "Voicing display metadata requires a valid chord root token");
    Chord slash = chordOf("C/E");
    slash.symbol = "C";
    EXPECT_EQ(message([&] {
                  buildVoicingDisplayMetadata(slash, keyOf(0, "C"), true, std::vector<std::int32_t>{52, 60});
              }),
              "Voicing display metadata requires a valid slash-bass token for explicit slash chords");
    EXPECT_EQ(message([] {
                  buildVoicingDisplayMetadata(chordOf("C"), keyOf(0, ""), true, std::vector<std::int32_t>{64, 72});
              }),
              "Could not derive key-context slash-bass spelling");
}

TEST(DisplaySpelling, KeySpellingOfABassNote) {
    EXPECT_EQ(spellChordForDisplay(4, keyOf(0, "C"), true, std::nullopt), "E");
    EXPECT_EQ(spellChordForDisplay(10, keyOf(5, "F"), true, std::nullopt), "Bb");
    EXPECT_EQ(spellChordForDisplay(11, keyOf(6, "Gb"), false, std::nullopt), "Cb");
    EXPECT_EQ(spellChordForDisplay(11, keyOf(6, "Gb"), true, std::nullopt), "B");
    EXPECT_FALSE(spellChordForDisplay(4, keyOf(0, ""), true, std::nullopt).has_value());
}

TEST(DisplaySpelling, EveryPitchClassInEveryKeyNamesThatPitchClass) {
    const std::pair<PitchClass, const char*> roots[] = {{0, "C"},  {1, "Db"}, {1, "C#"},  {2, "D"},  {3, "Eb"},
                                                        {4, "E"},  {5, "F"},  {6, "F#"},  {6, "Gb"}, {7, "G"},
                                                        {8, "Ab"}, {9, "A"},  {10, "Bb"}, {11, "B"}, {11, "Cb"}};
    for (const auto& [root, token] : roots) {
        for (const bool minor : {false, true}) {
            for (PitchClass pc = 0; pc < 12; ++pc) {
                for (const bool simplify : {false, true}) {
                    const auto name = spellChordForDisplay(pc, keyOf(root, token, minor), simplify, std::nullopt);
                    ASSERT_TRUE(name.has_value()) << token << " " << int(pc);
                    EXPECT_EQ(parseKeyRoot(*name), pc) << *name;
                    if (simplify) {
                        EXPECT_TRUE(*name != "Cb" && *name != "Fb" && *name != "E#" && *name != "B#" &&
                                    name->find("bb") == std::string::npos && name->find("##") == std::string::npos)
                            << *name;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace quillex
