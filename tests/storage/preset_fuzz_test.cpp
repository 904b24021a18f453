// Seeded fuzzing of the preset decoders and the store: refuse or accept, never crash, never store a bad file.
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "preset_samples.h"
#include "storage/gesture_preset_codec.h"
#include "storage/preset_library.h"
#include "storage/rhythm_preset_codec.h"
#include "support/fake_preset_file_system.h"

namespace quillex {
namespace {

using nlohmann::json;

#ifdef QUILLEX_SANITIZED
constexpr int kRuns = 300;
#else
constexpr int kRuns = 3000;
#endif

json randomScalar(std::mt19937& rng) {
    static const std::vector<json> pool = {nullptr,
                                           true,
                                           false,
                                           0,
                                           1,
                                           -1,
                                           3,
                                           4,
                                           15,
                                           16,
                                           17,
                                           100,
                                           101,
                                           127,
                                           128,
                                           std::numeric_limits<std::int64_t>::min(),
                                           std::numeric_limits<std::uint64_t>::max(),
                                           (std::int64_t{1} << 32) + 4,
                                           100.0,
                                           0.5,
                                           "",
                                           "bass",
                                           "top",
                                           "middle",
                                           "advanced",
                                           "off",
                                           "x",
                                           testing::kGrooveId,
                                           testing::kGrooveRevision,
                                           json::array(),
                                           json::object()};
    return pool[rng() % pool.size()];
}

// Every value in the tree, by pointer, so one can be picked at random.
void collect(json& value, std::vector<json*>& out) {
    out.push_back(&value);
    if (value.is_structured()) {
        for (auto& child : value) collect(child, out);
    }
}

void mutate(json& root, std::mt19937& rng) {
    std::vector<json*> nodes;
    collect(root, nodes);
    json& node = *nodes[rng() % nodes.size()];
    switch (rng() % 6) {
        case 0:
            node = randomScalar(rng);
            break;
        case 1:
            if (node.is_object() && !node.empty()) {
                auto it = node.begin();
                std::advance(it, rng() % node.size());
                node.erase(it);
            }
            break;
        case 2:
            if (node.is_object()) node["extra"] = randomScalar(rng);
            if (node.is_array()) node.push_back(node.empty() ? randomScalar(rng) : node[rng() % node.size()]);
            break;
        case 3:
            if (node.is_number_integer()) node = node.get<std::int64_t>() + (rng() % 2 ? 1 : -1);
            break;
        case 4:
            if (node.is_array() && node.size() > 1) std::swap(node[0], node[node.size() - 1]);
            break;
        default:
            if (node.is_string()) node = node.get<std::string>() + (rng() % 2 ? " " : "\xc3\xa9");
            break;
    }
}

// Decodes or refuses; an accepted library is canonical, so decoding it again changes nothing.
template <typename Decode>
bool decodesToAFixedPoint(const json& value, Decode decode) {
    json decoded;
    try {
        decoded = decode(value);
    } catch (const std::runtime_error&) {
        return false;
    } catch (const json::exception&) {
        return false;
    }
    EXPECT_EQ(decode(decoded), decoded);
    EXPECT_NO_THROW((void)decoded.dump());
    return true;
}

TEST(PresetFuzz, DecodersRefuseOrReachACanonicalLibrary) {
    using namespace testing;
    const json legacy = {
        {"id", kGrooveId}, {"name", "Groove"}, {"revision", kGrooveV1Revision}, {"events", grooveEvents()}};
    const std::vector<json> rhythmSeeds = {presetLibrary(3, {grooveEntry(), cafeEntry()}), presetLibrary(1, {legacy})};
    const json gestureSeed = presetLibrary(1, {strumEntry()});
    std::mt19937 rng(1507);
    int accepted = 0;
    for (int run = 0; run < kRuns; ++run) {
        json rhythm = rhythmSeeds[rng() % rhythmSeeds.size()];
        json gesture = gestureSeed;
        const int mutations = 1 + static_cast<int>(rng() % 3);
        for (int m = 0; m < mutations; ++m) {
            mutate(rhythm, rng);
            mutate(gesture, rng);
        }
        accepted += decodesToAFixedPoint(rhythm, decodeRhythmPresetLibrary);
        accepted += decodesToAFixedPoint(gesture, decodeGesturePresetLibrary);
    }
    EXPECT_GT(accepted, kRuns / 20);  // the mutations also reach the accepting path
}

// The stored file, whatever happened, is either absent or a canonical library.
void expectDecodableFile(const testing::FakePresetFileSystem& files, const std::string& path,
                         const PresetLibraryDefinition& definition) {
    const auto found = files.files.find(path);
    if (found == files.files.end()) return;
    const json stored = json::parse(found->second);
    EXPECT_EQ(definition.decodeLibrary(stored), stored);
}

TEST(PresetFuzz, RandomPayloadsNeverLeaveAnUndecodableFile) {
    std::mt19937 rng(2026);
    for (const bool rhythmKind : {true, false}) {
        const auto definition = rhythmKind ? rhythmPresetLibraryDefinition() : gesturePresetLibraryDefinition();
        const std::string path = "/data/Quillex/" + definition.fileName;
        auto files = std::make_shared<testing::FakePresetFileSystem>();
        PresetLibrary store(definition, path, files);
        std::vector<std::pair<std::string, std::string>> known;  // id, revision
        int ok = 0;
        for (int run = 0; run < kRuns / 6; ++run) {
            json payload;
            if (rhythmKind) {
                json events = json::array();
                const int count = static_cast<int>(rng() % 6);
                for (int e = 0; e < count; ++e) {
                    events.push_back(testing::rhythmEvent(static_cast<int>(rng() % 18) - 1, static_cast<int>(rng() % 6),
                                                          rng() % 2 ? "bass" : "top", static_cast<int>(rng() % 102)));
                }
                if (rng() % 8 == 0) mutate(events, rng);
                payload = {{"lengthSteps", static_cast<int>(rng() % 18)}, {"events", events}};
            } else {
                payload = testing::advancedGesture();
                if (rng() % 2) mutate(payload, rng);
            }
            const std::string name = rng() % 10 == 0 ? " " : "P" + std::to_string(run);
            const std::string transaction = "t" + std::to_string(run);
            PresetStoreResult result;
            // The library stays small so the run stays cheap; deletions keep it moving.
            if (known.size() >= 12) {
                const auto& [id, revision] = known[rng() % known.size()];
                result = store.deletePreset(transaction, id, revision);
            } else if (known.empty() || rng() % 3 == 0) {
                result = store.create(transaction, name, payload.dump());
            } else {
                const auto& [id, revision] = known[rng() % known.size()];
                result =
                    store.update(transaction, id, rng() % 5 ? revision : std::string(64, 'f'), name, payload.dump());
            }
            if (result.ok) {
                ++ok;
                known.clear();
                const json library = json::parse(result.libraryJson);
                for (const auto& entry : library["presets"]) {
                    known.emplace_back(entry["id"], entry["revision"]);
                }
                EXPECT_EQ(files->files.at(path), result.libraryJson);
            }
            expectDecodableFile(*files, path, definition);
        }
        EXPECT_GT(ok, kRuns / 120);
    }
}

TEST(PresetFuzz, MutatedFileBytesAreReadOrRefusedUntouched) {
    using namespace testing;
    const std::string valid = presetLibrary(3, {grooveEntry(), cafeEntry()}).dump();
    std::mt19937 rng(77);
    const std::string path = "/data/Quillex/rhythm_presets.json";
    for (int run = 0; run < kRuns; ++run) {
        auto files = std::make_shared<FakePresetFileSystem>();
        std::string text = valid;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text[at] = static_cast<char>(rng());
                    break;
                case 1:
                    text.erase(at, 1 + rng() % 8);
                    break;
                default:
                    text.insert(at, 1, "{}[]\",:0-9e\\"[rng() % 13]);
                    break;
            }
            if (text.empty()) text = "x";
        }
        files->files[path] = text;
        PresetLibrary store(rhythmPresetLibraryDefinition(), path, files);
        const auto result = store.list();
        if (result.ok) {
            expectDecodableFile(*files, path, store.definition());
        } else {
            EXPECT_EQ(files->files.at(path), text);
        }
    }
}

}  // namespace
}  // namespace quillex
