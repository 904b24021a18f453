// Small helpers of the host object: transaction claims, octave base notes, UTF-8 repair.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/midi_input_config.h"
#include "host/persistence_transaction_guard.h"

namespace quillex {
namespace {

using nlohmann::json;

TEST(PersistenceTransactionGuard, ClaimsAreExclusiveUntilReleased) {
    PersistenceTransactionRegistry registry;
    auto first = PersistenceTransactionGuard::acquire(registry, "a");
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(PersistenceTransactionGuard::acquire(registry, "a").has_value());
    EXPECT_TRUE(PersistenceTransactionGuard::acquire(registry, "b").has_value());  // released at once
    first->release();
    EXPECT_FALSE(registry.isPending("a"));
    {
        auto again = PersistenceTransactionGuard::acquire(registry, "a");
        ASSERT_TRUE(again.has_value());
        auto moved = std::move(*again);
        EXPECT_TRUE(registry.isPending("a"));
    }
    EXPECT_FALSE(registry.isPending("a"));  // the destructor released it
    EXPECT_THROW(PersistenceTransactionGuard::acquire(registry, ""), std::invalid_argument);
}

TEST(MidiInputConfig, OctaveTextsGiveBaseNotes) {
    const std::vector<std::pair<std::string, int>> cases{{"-2", 0},  {"6", 96},    {"7", 108},
                                                         {"8", 120}, {"  3x", 60}, {"+1", 36}};
    for (const auto& [text, note] : cases) EXPECT_EQ(octaveToBaseNote(json(text)), note) << text;
    EXPECT_THROW(octaveToBaseNote(json("abc")), std::invalid_argument);
    EXPECT_THROW(octaveToBaseNote(json("")), std::invalid_argument);
    EXPECT_THROW(octaveToBaseNote(json("99999999999")), std::out_of_range);
    EXPECT_THROW(octaveToBaseNote(json("2147483647")), std::out_of_range);
    EXPECT_THROW(octaveToBaseNote(json(4)), std::invalid_argument);

    const json settings = {{"previewOctave", "-2"}, {"gestureKeyswitchOctave", "8"}, {"midiMappings", {{"a", 1}}}};
    EXPECT_EQ(buildMidiInputConfig(settings),
              (json{{"previewBaseNote", 0}, {"keyswitchBaseNote", 120}, {"mappings", {{"a", 1}}}}));
    EXPECT_THROW(buildMidiInputConfig(json::object()), json::out_of_range);
}

}  // namespace
}  // namespace quillex
