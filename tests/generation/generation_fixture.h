// Small corpus models for generation tests, written through the corpus file writers.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "generation/chord_transition_model.h"
#include "generation/chord_transition_writer.h"
#include "generation/progression_corpus.h"
#include "generation/progression_corpus_writer.h"

namespace quillex::testing {

struct FollowerRow {
    std::string from;
    std::vector<std::pair<std::string, float>> followers;
};

inline SourceProgression makeSource(std::vector<std::string> tokens, std::string family = "",
                                    std::string subcategory = "", std::vector<std::string> sourceRoman = {}) {
    SourceProgression record;
    record.romanTokens = std::move(tokens);
    record.modeFamily = std::move(family);
    record.subcategory = std::move(subcategory);
    record.sourceRoman = sourceRoman.empty() ? record.romanTokens : std::move(sourceRoman);
    record.sourceLength = static_cast<std::uint8_t>(record.sourceRoman.size());
    return record;
}

// Both models from a few records of one style and length and a follower table.
struct GenerationFixture {
    ProgressionCorpus corpus;
    ChordTransitionModel model;

    GenerationFixture(const std::string& genre, std::uint8_t length, std::vector<SourceProgression> records,
                      const std::vector<FollowerRow>& rows) {
        for (std::size_t i = 0; i < records.size(); ++i) records[i].sourceIndex = static_cast<std::uint16_t>(i);
        const auto pc = writeProgressionCorpus({{genre, {{length, std::move(records)}}}});
        loadProgressionCorpus(corpus, pc.data(), pc.size());
        ChordTransitionImage image;
        const auto indexOf = [&](const std::string& token) {
            for (std::size_t i = 0; i < image.tokens.size(); ++i) {
                if (image.tokens[i] == token) return static_cast<std::uint16_t>(i);
            }
            image.tokens.push_back(token);
            return static_cast<std::uint16_t>(image.tokens.size() - 1);
        };
        for (const FollowerRow& row : rows) {
            for (const auto& [to, weight] : row.followers)
                image.pairs.push_back({indexOf(row.from), indexOf(to), weight});
        }
        const auto cc = writeChordTransitionCorpus(image);
        loadChordTransitionCorpus(model, cc.data(), cc.size());
    }
};

}  // namespace quillex::testing
