// corpus-builder: writes "pc.bin" and "cc.bin" from the text sources in data/corpus.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generation/chord_transition_model.h"
#include "generation/corpus_source.h"
#include "generation/corpus_source_validation.h"
#include "generation/progression_corpus.h"

namespace fs = std::filesystem;
using namespace quillex;

namespace {

constexpr const char* kUsage =
    "usage: corpus-builder --data <data/corpus> --out <folder>   build pc.bin and cc.bin\n"
    "       corpus-builder --data <data/corpus> --report         print the corpus counts\n"
    "       corpus-builder --classify                           read token lines, print their mode\n"
    "       corpus-builder --check-tokens                       read tokens, print the failing ones\n";

bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    return !error;
}

void printReport(const CorpusSources& sources, const ChordTransitionImage& image) {
    std::map<std::string, std::map<int, std::pair<int, int>>> counts;
    std::set<std::string> vocabulary;
    for (const auto& record : sources.records) {
        auto& cell = counts[record.genreId][static_cast<int>(record.tokens.size())];
        (record.mode == 0 ? cell.first : cell.second) += 1;
        vocabulary.insert(record.tokens.begin(), record.tokens.end());
    }
    std::cout << "| Style | Length 4 (major / minor) | Length 6 | Length 8 |\n|---|---|---|---|\n";
    for (const auto& [genre, lengths] : counts) {
        std::cout << "| " << genre;
        for (const int length : {4, 6, 8}) {
            const auto found = lengths.find(length);
            const auto cell = found == lengths.end() ? std::pair<int, int>{0, 0} : found->second;
            std::cout << " | " << cell.first << " / " << cell.second;
        }
        std::cout << " |\n";
    }
    std::size_t glyphTokens = 0;
    for (const auto& token : image.tokens) glyphTokens += token.find("\xE2\x99") != std::string::npos;
    std::cout << "\nProgression records: " << sources.records.size()
              << "; distinct progression tokens: " << vocabulary.size() << "\n"
              << "Transition tokens: " << image.tokens.size() << " (" << glyphTokens << " of them in the glyph form)\n"
              << "Pair records: " << image.pairs.size() << "; triple records: " << image.triples.size() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto option = [&](const std::string& name) -> std::string {
        const auto found = std::find(args.begin(), args.end(), name);
        return (found != args.end() && found + 1 != args.end()) ? *(found + 1) : std::string();
    };
    auto flag = [&](const std::string& name) { return std::find(args.begin(), args.end(), name) != args.end(); };

    if (flag("--classify")) {
        for (std::string line; std::getline(std::cin, line);) {
            std::istringstream words(line);
            std::vector<std::string> tokens;
            for (std::string token; words >> token;) tokens.push_back(token);
            std::cout << describeProgressionReading(scoreRomanProgression(tokens)) << '\n';
        }
        return 0;
    }
    if (flag("--check-tokens")) {
        for (std::string token; std::cin >> token;) {
            const auto problem = checkRomanTokenInAllKeys(token);
            std::cout << token << '\t' << (problem ? *problem : "ok") << '\n';
        }
        return 0;
    }

    const std::string data = option("--data");
    const std::string out = option("--out");
    if (data.empty() || (out.empty() && !flag("--report"))) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        CorpusSources sources = readCorpusSources(data);
        validateCorpusSources(sources);
        if (!sources.errors.empty()) {
            for (const auto& error : sources.errors) std::cerr << "corpus-builder: " << error << '\n';
            std::cerr << "corpus-builder: " << sources.errors.size() << " problem(s); nothing written\n";
            return 1;
        }
        const auto groups = assembleProgressionGroups(sources.records);
        const auto image = assembleTransitionImage(sources.counts);
        if (flag("--report")) {
            printReport(sources, image);
            return 0;
        }
        const auto progressionBytes = writeProgressionCorpus(groups);
        const auto transitionBytes = writeChordTransitionCorpus(image);
        // Read both back through the engine's own loaders before installing them.
        ProgressionCorpus corpus;
        ChordTransitionModel model;
        if (!loadProgressionCorpus(corpus, progressionBytes.data(), progressionBytes.size()) ||
            corpus.recordCount() != sources.records.size() ||
            loadChordTransitionCorpus(model, transitionBytes.data(), transitionBytes.size()) == 0) {
            std::cerr << "corpus-builder: the written files do not read back\n";
            return 1;
        }
        fs::create_directories(out);
        if (!writeFile(fs::path(out) / "pc.bin", progressionBytes) ||
            !writeFile(fs::path(out) / "cc.bin", transitionBytes)) {
            std::cerr << "corpus-builder: could not write into " << out << '\n';
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "corpus-builder: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
